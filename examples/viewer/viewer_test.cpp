// A test of the viewer with Quarn's test kit, and no test framework, under a
// window manager as on a desktop: resized, zoomed with the wheel, typed into
// with a dead key, its text copied and pasted, fullscreen and back, maximized,
// dragged with the pointer locked, minimized and restored, as a user does
// through the manager; each picture compared with a golden image.
// Exits 0 when every check holds.
#include <X11/Xatom.h>

#include <cstdio>
#include <exception>
#include <string>

#include "quarn/clipboard.h"
#include "quarn/context.h"
#include "quarn/helpers.h"
#include "quarn/init.h"
#include "quarn/testing/testing.h"
#include "viewer_frame.h"

namespace {

int failures = 0;

void check(bool holds, const char* what) {
    if (holds) return;
    std::fprintf(stderr, "FAILED: %s\n", what);
    ++failures;
}

std::string golden(const char* name) { return std::string(VIEWER_GOLDEN_DIR) + "/" + name; }

// Draws the frame and compares what the server shows with a golden image.
void check_picture(Quarn::Context::Context& context, ViewerFrame& window, const char* name) {
    context.set_target(&window);
    window.draw();
    check(Quarn::Testing::compare(Quarn::Testing::capture(window), golden(name), 2) == 0, name);
}

void run() {
    Quarn::Context::set_trace(false);  // keep the test's output its own
    Quarn::Context::Context context(2, 1);
    ViewerFrame window;
    Quarn::Testing::Input input;
    using Quarn::Testing::pump_until;

    input.resize(window, 400, 300);
    check(pump_until([&] { return window.dimensions[0] == 400 && window.dimensions[1] == 300; }),
          "a resize reaches the frame");
    check_picture(context, window, "viewer-resized.png");

    input.scroll(window, 200, 150, 2);
    check(pump_until([&] { return window.zoom == 2; }), "two notches zoom in");
    check_picture(context, window, "viewer-zoomed.png");

    input.type(window, "h");
    input.key(window, XK_dead_acute);
    input.type(window, "ello");
    check(pump_until([&] { return window.text == "h\u00e9llo"; }), "the dead key composes with e");
    check(window.text == "h\u00e9llo", "the typed text");

    const auto with_control = [&](KeySym key) {
        input.press_key(window, XK_Control_L);
        input.key(window, key);
        input.release_key(window, XK_Control_L);
    };
    with_control(XK_c);
    check(pump_until([&] { return Quarn::get_clipboard() == "h\u00e9llo"; }), "Ctrl+C copies the text");
    with_control(XK_v);
    check(pump_until([&] { return window.text == "h\u00e9lloh\u00e9llo"; }), "Ctrl+V pastes it");

    int screen[2];
    Quarn::get_monitor_size(screen);
    input.key(window, XK_F11);
    check(pump_until([&] { return window.dimensions[0] == screen[0] && window.dimensions[1] == screen[1]; }),
          "F11 covers the screen");
    input.key(window, XK_F11);
    check(pump_until([&] { return window.dimensions[0] == 400 && window.dimensions[1] == 300; }),
          "F11 again gives the size back");

    input.maximize(window);
    check(pump_until([&] { return window.dimensions[0] > 1000; }), "maximized, the frame takes the screen's width");
    check_picture(context, window, "viewer-maximized.png");

    // The drag is relative motion: the pointer stays hidden where it is held,
    // and is shown at the press's point again when the button goes up.
    input.press_button(window, 200, 150, Button3);
    check(pump_until([&] { return window.input_state->mouse_buttons[2]; }), "the right button pressed");
    input.move_by(30, -20);
    input.move_by(-1000, 0);  // far past the window's edge
    check(pump_until([&] { return window.pan[0] == -970 && window.pan[1] == 20; }), "a right drag pans");
    Window root = None, child = None;
    int root_xy[2], at[2];
    unsigned int buttons = 0;
    XQueryPointer(input.display(), window._quarn_backing->window, &root, &child, &root_xy[0], &root_xy[1], &at[0],
                  &at[1], &buttons);
    input.release_button(window, at[0], at[1], Button3);  // where the pointer is: no motion
    check(pump_until([&] { return !window.input_state->mouse_buttons[2]; }), "the right button released");
    XQueryPointer(input.display(), window._quarn_backing->window, &root, &child, &root_xy[0], &root_xy[1], &at[0],
                  &at[1], &buttons);
    check(at[0] == 200 && at[1] == 150, "the pointer comes back where the drag began");
    window.pan[0] = window.pan[1] = 0;

    input.minimize(window);
    check(pump_until([&] { return window.minimized; }), "minimized");
    const int draws = window.draws;
    if (!window.minimized) window.draw();  // the application's loop
    check(window.draws == draws, "nothing is drawn while minimized");
    input.restore(window);
    check(pump_until([&] { return !window.minimized; }), "restored");

    input.close(window);
    check(pump_until([&] { return !window.running; }), "a close request ends the loop");
    context.set_target(nullptr);
}

}  // namespace

int main() {
    try {
        Quarn::Testing::ServerOptions options;
        options.window_manager = true;  // openbox: resize, maximize and minimize as on a desktop
        const Quarn::Testing::Server server(options);
        Quarn::init();
        try {
            run();
        } catch (const char*) {
            ++failures;  // the library has printed the error
        }
        Quarn::deinit();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "FAILED: %s\n", error.what());
        return 1;
    }
    std::printf("%s\n", failures ? "viewer_test: FAILED" : "viewer_test: passed");
    return failures ? 1 : 0;
}
