#include "quarn/error_trap.h"

#include <X11/Xlib.h>

#include "quarn/init.h"

namespace Quarn {

namespace {

int trapped_error_code = Success;

int trap_error(Display*, XErrorEvent* error) {
    trapped_error_code = error->error_code;
    return 0;
}

}  // namespace

int _quarn_trap_x_errors(const std::function<void()>& requests) {
    XSync(_quarn_display, False);
    trapped_error_code = Success;
    const XErrorHandler saved = XSetErrorHandler(trap_error);
    // Restored also when `requests` throws.
    struct Restore {
        XErrorHandler handler;
        ~Restore() { XSetErrorHandler(handler); }
    } restore{saved};
    requests();
    XSync(_quarn_display, False);
    return trapped_error_code;
}

}  // namespace Quarn
