// A game loop: sixty steps a second, each handling the input that came
// (keys, and the gamepads read by handle()), moving the square and drawing.
// wait() sleeps until the next step is due, waking early for input.
#include <chrono>

#include "game_frame.h"
#include "quarn/context.h"
#include "quarn/init.h"
#include "quarn/input/events/helpers.h"

int main() {
    Quarn::init();
    if (!Quarn::_quarn_display) return 1;
    try {
        Quarn::Context::Context context(2, 1);
        GameFrame window;
        context.set_target(&window);
        glViewport(0, 0, window.dimensions[0], window.dimensions[1]);
        using Clock = std::chrono::steady_clock;
        const auto step = std::chrono::microseconds(16667);
        auto next = Clock::now() + step;
        while (window.running) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(next - Clock::now()).count();
            if (left > 0) Quarn::Input::Events::wait(static_cast<int>(left));
            Quarn::Input::Events::handle();
            if (Clock::now() < next) continue;
            window.step(std::chrono::duration<float>(step).count());
            window.draw();
            next += step;
        }
        context.set_target(nullptr);
    } catch (const char*) {
        Quarn::deinit();
        return 1;  // the library has printed the error
    }
    Quarn::deinit();
    return 0;
}
