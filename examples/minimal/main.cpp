// The smallest Quarn application: one frame, the context, a triangle and a dot.
// Prints each key press; ends on Escape or when the window is closed.
#include "main_frame.h"
#include "quarn/context.h"
#include "quarn/init.h"
#include "quarn/input/events/helpers.h"

int main() {
    Quarn::init();
    if (!Quarn::_quarn_display) return 1;
    try {
        Quarn::Context::Context context(2, 1);  // one GL 2.1 context for every frame
        MainFrame window;
        while (window.running) {
            Quarn::Input::Events::handle();  // every pending event, never waits
            context.set_target(&window);     // no GLX call when already bound
            window.draw();                   // callback_draw, swap, glFinish
        }
        context.set_target(nullptr);  // unbind before the window goes
    } catch (const char*) {
        Quarn::deinit();
        return 1;  // the library has printed the error
    }
    Quarn::deinit();
    return 0;
}
