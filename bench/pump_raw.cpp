// The floor: Xlib's own drain, XPending and XNextEvent, nothing else.
#include "bench/common.h"

int main(int argc, char** argv) {
    Display* display = XOpenDisplay(nullptr);
    const Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 200, 200, 0, 0, 0);
    XSelectInput(
        display, window,
        KeyPressMask | KeyReleaseMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask | ExposureMask);
    XMapWindow(display, window);
    XSync(display, False);
    bench::Delivered delivered;
    XEvent event;
    const int status = bench::run_pump(argc, argv, "raw", window, delivered, [&] {
        while (XPending(display)) {
            XNextEvent(display, &event);
            if (event.type == ClientMessage) delivered.marker = true;
        }
    });
    XCloseDisplay(display);
    return status;
}
