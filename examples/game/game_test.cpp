// A test of the game example with Quarn's test kit, and no test framework:
// the frame takes the gamepad that is plugged in (and lets it go when it is
// unplugged), the left stick and the arrow keys move the square and the
// picture shows it there, a stick at rest within its dead zone moves
// nothing, and Escape ends the loop. Exits 0 when every check holds.
#include <linux/input.h>

#include <cstdio>
#include <exception>
#include <memory>

#include "game_frame.h"
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

bool white(const Quarn::Testing::Rgba& pixel) { return pixel.r == 255 && pixel.g == 255 && pixel.b == 255; }

// The pixel at the square's centre, in the 320 x 240 picture.
bool square_at(const GameFrame& window, const Quarn::Testing::Image& picture) {
    const int px = static_cast<int>((window.x + 1.0f) / 2.0f * 320.0f);
    const int py = static_cast<int>((window.y + 1.0f) / 2.0f * 240.0f);
    return white(picture.pixel(px, py));
}

void run() {
    Quarn::Context::set_trace(false);  // keep the test's output its own
    Quarn::Context::Context context(2, 1);
    GameFrame window;
    context.set_target(&window);
    glViewport(0, 0, window.dimensions[0], window.dimensions[1]);
    using Quarn::Testing::pump_until;
    check(Quarn::Testing::wait_shown(window), "the window is shown");
    check(window.pad_id < 0, "no gamepad at the start");

    auto pad = std::make_unique<Quarn::Testing::Gamepad>("Test Pad", 3, 0x045e, 0x028e, 0x0114);
    check(pump_until([&] { return window.pad_id >= 0; }), "the gamepad plugged in is taken");

    // A worn stick a little off centre moves nothing.
    pad->axis(ABS_X, 3000);
    check(pump_until([&] {
              Quarn::Input::GamepadState state;
              return Quarn::Input::get_gamepad_state(window.pad_id, &state) && state.axes[0] > 0.05f;
          }),
          "the stick leans a little");
    window.step(0.1f);
    check(window.x == 0.0f && window.y == 0.0f, "within the dead zone the square stays");

    pad->axis(ABS_X, 32767);
    check(pump_until([&] {
              Quarn::Input::GamepadState state;
              return Quarn::Input::get_gamepad_state(window.pad_id, &state) && state.axes[0] == 1.0f;
          }),
          "the stick is pushed right");
    window.step(0.1f);
    check(window.x > 0.15f && window.x < 0.25f && window.y == 0.0f, "the stick moves the square right");
    window.draw();
    check(square_at(window, Quarn::Testing::capture(window)), "the picture shows it there");
    pad->axis(ABS_X, 0);
    check(pump_until([&] {
              Quarn::Input::GamepadState state;
              return Quarn::Input::get_gamepad_state(window.pad_id, &state) && state.axes[0] == 0.0f;
          }),
          "the stick is let go");

    Quarn::Testing::Input input;
    input.press_key(window, XK_Down);
    check(pump_until([&] { return window.input_state->key_pressed(XK_Down); }), "the down arrow is held");
    const float x = window.x;
    window.step(0.1f);
    input.release_key(window, XK_Down);
    check(window.x == x && window.y > 0.15f, "the down arrow moves the square down");
    window.draw();
    check(square_at(window, Quarn::Testing::capture(window)), "the picture shows it there");

    pad.reset();
    check(pump_until([&] { return window.pad_id < 0; }), "the gamepad unplugged is let go");

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
    std::printf("%s\n", failures ? "game_test: FAILED" : "game_test: passed");
    return failures ? 1 : 0;
}
