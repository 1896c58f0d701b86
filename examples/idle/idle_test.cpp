// A test of the idle example with Quarn's test kit, and no test framework:
// the frame is drawn when shown, not for the pointer moving over it, again
// when another window uncovers it or it is resized, and when a key changes
// its colour; Escape ends the loop. Exits 0 when every check holds.
#include <X11/Xlib.h>

#include <cstdio>
#include <cstdlib>
#include <exception>

#include "idle_frame.h"
#include "quarn/context.h"
#include "quarn/init.h"
#include "quarn/input/state.h"
#include "quarn/testing/testing.h"

namespace {

int failures = 0;

void check(bool holds, const char* what) {
    if (holds) return;
    std::fprintf(stderr, "FAILED: %s\n", what);
    ++failures;
}

// Whether the pixel is the background of colour `colour` (0 red, 1 green, 2 blue).
bool background(const Quarn::Testing::Rgba& pixel, int colour) {
    const int channels[3] = {pixel.r, pixel.g, pixel.b};
    for (int channel = 0; channel < 3; ++channel)
        if (std::abs(channels[channel] - (channel == colour ? 204 : 26)) > 3) return false;
    return true;
}

bool white(const Quarn::Testing::Rgba& pixel) { return pixel.r == 255 && pixel.g == 255 && pixel.b == 255; }

void run() {
    Quarn::Context::set_trace(false);  // keep the test's output its own
    Quarn::Context::Context context(2, 1);
    ColourFrame window;
    context.set_target(&window);
    glViewport(0, 0, window.dimensions[0], window.dimensions[1]);
    Quarn::Testing::Input input;
    using Quarn::Testing::pump_until;
    // What the example's loop does after each handle().
    const auto loop = [&] {
        if (window.stale) window.draw();
    };

    check(pump_until([&] { return window.stale; }), "shown, the window asks to be drawn");
    loop();
    Quarn::Testing::Image picture = Quarn::Testing::capture(window);
    check(background(picture.pixel(5, 5), 0) && white(picture.pixel(160, 120)), "the red picture is shown");

    const int draws = window.draws;
    input.move(window, 30, 30);
    input.move(window, 60, 50);
    check(pump_until([&] { return window.input_state->mouse_position[0] == 60; }), "the pointer moves over it");
    loop();
    check(window.draws == draws, "moving the pointer draws nothing");

    // Another application's window over it, then gone: what it showed there is lost.
    Display* other = input.display();
    int x = 0, y = 0;
    Window child = None;
    XTranslateCoordinates(other, window._quarn_backing->window, DefaultRootWindow(other), 0, 0, &x, &y, &child);
    XSetWindowAttributes attributes{};
    attributes.override_redirect = True;
    attributes.background_pixel = BlackPixel(other, DefaultScreen(other));
    const Window cover = XCreateWindow(other, DefaultRootWindow(other), x, y, 100, 100, 0, CopyFromParent, InputOutput,
                                       CopyFromParent, CWOverrideRedirect | CWBackPixel, &attributes);
    XMapWindow(other, cover);
    XSync(other, False);
    XDestroyWindow(other, cover);
    XSync(other, False);
    check(pump_until([&] { return window.stale; }), "uncovered, the window asks to be drawn again");
    loop();
    check(window.draws == draws + 1, "drawn once");
    check(background(Quarn::Testing::capture(window).pixel(5, 5), 0), "the picture is whole again");

    input.key(window, XK_space);
    check(pump_until([&] { return window.stale; }), "a key changes the colour");
    loop();
    check(background(Quarn::Testing::capture(window).pixel(5, 5), 1), "the green picture is shown");

    input.resize(window, 400, 300);
    check(pump_until([&] { return window.dimensions[0] == 400 && window.stale; }), "resized, it asks to be drawn");
    loop();
    picture = Quarn::Testing::capture(window);
    check(picture.width() == 400 && white(picture.pixel(200, 150)) && background(picture.pixel(395, 5), 1),
          "the picture fills the new size");

    input.key(window, XK_Escape);
    check(pump_until([&] { return !window.running; }), "Escape ends the loop");
    context.set_target(nullptr);
}

}  // namespace

int main() {
    try {
        const Quarn::Testing::Server server;
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
    std::printf("%s\n", failures ? "idle_test: FAILED" : "idle_test: passed");
    return failures ? 1 : 0;
}
