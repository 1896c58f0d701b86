#pragma once

namespace Quarn {

/// Prints "Quarn: <message>" as one line on standard output, then throws the
/// pointer `message` itself as a `const char*`. Never returns. The text must
/// outlive the catcher's use of it (callers pass literals or static storage).
[[noreturn]] void _quarn_throw_error(const char* message);

}  // namespace Quarn
