// An application that sleeps while nothing happens: it waits for the X server
// instead of spinning, and draws only when its picture is stale: when the
// window asks for it (shown, uncovered or resized) or a key press changed the
// colour, not for every event (a move of the pointer over it draws nothing).
#include "idle_frame.h"
#include "quarn/context.h"
#include "quarn/init.h"
#include "quarn/input/events/helpers.h"

int main() {
    Quarn::init();
    if (!Quarn::_quarn_display) return 1;
    try {
        Quarn::Context::Context context(2, 1);
        ColourFrame window;
        context.set_target(&window);
        // GL set the viewport to the context's 10 x 10 host window: the
        // frame's own size first, then each EventFrameResize.
        glViewport(0, 0, window.dimensions[0], window.dimensions[1]);
        while (window.running) {
            // Sleeps, using no CPU, until the server sends something. Give a
            // timeout instead of -1 for work of your own, such as a clock.
            Quarn::Input::Events::wait(-1);
            Quarn::Input::Events::handle();
            if (window.stale) window.draw();
        }
        context.set_target(nullptr);
    } catch (const char*) {
        Quarn::deinit();
        return 1;  // the library has printed the error
    }
    Quarn::deinit();
    return 0;
}
