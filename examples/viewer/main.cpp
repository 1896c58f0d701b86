// A viewer: resize the window and the picture follows, zoom with the wheel,
// type and the title shows it; while the window is minimized nothing is
// drawn. Escape or closing the window ends it.
#include "quarn/context.h"
#include "quarn/init.h"
#include "quarn/input/events/helpers.h"
#include "viewer_frame.h"

int main() {
    Quarn::init();
    if (!Quarn::_quarn_display) return 1;
    try {
        Quarn::Context::Context context(2, 1);
        ViewerFrame window;
        context.set_target(&window);
        while (window.running) {
            Quarn::Input::Events::wait(-1);  // input, or the window shown or uncovered
            Quarn::Input::Events::handle();
            if (!window.minimized) window.draw();
        }
        context.set_target(nullptr);
    } catch (const char*) {
        Quarn::deinit();
        return 1;  // the library has printed the error
    }
    Quarn::deinit();
    return 0;
}
