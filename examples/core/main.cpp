// A core-profile application: an OpenGL 3.3 core context with 4x
// multisampling, one frame, a triangle drawn with shaders and a vertex array.
// Ends on Escape or when the window is closed.
#include "core_frame.h"
#include "quarn/context.h"
#include "quarn/init.h"
#include "quarn/input/events/helpers.h"

int main() {
    Quarn::init();
    if (!Quarn::_quarn_display) return 1;
    try {
        Quarn::Context::Settings settings;
        settings.profile = Quarn::Context::Settings::Profile::CORE;
        settings.samples = 4;
        Quarn::Context::Context context(3, 3, settings);  // before the frame: it takes the context's visual
        {
            CoreFrame window;
            context.set_target(&window);
            context.set_target_vsync(true);
            while (window.running) {
                Quarn::Input::Events::handle();
                window.draw(false);  // swap without glFinish: the GPU may run a frame ahead
            }
        }  // the frame deletes its GL objects while the context is still bound to it
        context.set_target(nullptr);
    } catch (const char*) {
        Quarn::deinit();
        return 1;  // the library has printed the error
    }
    Quarn::deinit();
    return 0;
}
