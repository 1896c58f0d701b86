// A test of the minimal application with Quarn's test kit, and no test
// framework: a private X server, a key typed into the frame, a click, the
// picture (the triangle filling the frame, the dot) compared with a golden
// image, and the window manager's close request.
// Exits 0 when every check holds.
#include <cstdio>
#include <exception>

#include "main_frame.h"
#include "quarn/context.h"
#include "quarn/init.h"
#include "quarn/testing/testing.h"

namespace {

int failures = 0;

void check(bool holds, const char* what) {
    if (holds) return;
    std::fprintf(stderr, "FAILED: %s\n", what);
    ++failures;
}

void run() {
    Quarn::Context::Context context(2, 1);
    MainFrame window;
    Quarn::Testing::Input input;

    input.key(window, XK_a);
    check(Quarn::Testing::pump_until([&] { return window.last_key == XK_a; }), "the A key reaches the frame");

    input.click(window, 80, 60);  // a motion to the point, then the press and release
    check(Quarn::Testing::pump_until([&] { return window.dot[0] == 80 && window.dot[1] == 60; }),
          "the press is read at the click's point");

    context.set_target(&window);
    window.draw();
    const long differing = Quarn::Testing::compare(Quarn::Testing::capture(window), MINIMAL_GOLDEN, 2);
    check(differing == 0, "the frame shows the golden picture");

    input.close(window);
    check(Quarn::Testing::pump_until([&] { return !window.running; }), "a close request ends the loop");
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
    std::printf("%s\n", failures ? "minimal_test: FAILED" : "minimal_test: passed");
    return failures ? 1 : 0;
}
