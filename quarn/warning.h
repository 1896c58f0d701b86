#pragma once

namespace Quarn {

/// Prints "Quarn: <str>" as one line on standard output and returns; the
/// caller carries on. The text is printed as it is (never used as a format).
/// A null text prints "Quarn: (null)".
void _quarn_print_warning(const char* str);

/// Writes one diagnostic line "Quarn: <text>\n" with printf. Shared by the
/// warning and the error routine.
void _quarn_print_line(const char* text);

}  // namespace Quarn
