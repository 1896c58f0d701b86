// Dear ImGui on a Quarn frame: a GL scene with ImGui's widgets on top. The
// loop sleeps until input comes or a sixtieth of a second passes (ImGui's
// text cursor blinks), hands the events to the frame, and draws a frame.
// Escape over the scene or closing the window ends it.
#include "imgui_frame.h"
#include "quarn/context.h"
#include "quarn/init.h"
#include "quarn/input/events/helpers.h"

int main() {
    Quarn::init();
    if (!Quarn::_quarn_display) return 1;
    try {
        Quarn::Context::Context context(2, 1);
        ImGuiFrame window;
        context.set_target(&window);
        start_imgui(window);
        while (window.running) {
            Quarn::Input::Events::wait(16);
            Quarn::Input::Events::handle();  // ImGui's events reach it through the frame
            window.frame();
        }
        stop_imgui();
        context.set_target(nullptr);
    } catch (const char*) {
        Quarn::deinit();
        return 1;  // the library has printed the error
    }
    Quarn::deinit();
    return 0;
}
