#pragma once

#include <functional>

namespace Quarn {

/// Runs `requests` on the library's display with X errors trapped instead of
/// reaching Xlib's handler, whose default ends the process. Requests made
/// before are synced first, so their errors still reach the application's
/// handler, and that handler is in place again when this returns. Returns
/// the code of the last error `requests` caused, or Success (0).
int _quarn_trap_x_errors(const std::function<void()>& requests);

}  // namespace Quarn
