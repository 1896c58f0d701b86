// Quarn: two frames and the one context, as the demo draws them. A second
// argument picks another context: "settings" (a GLX context made with
// Settings, binding GLXWindows), "nowait" (the same, drawing with draw(false))
// or "egl" (made through EGL).
#include <cstring>
#include <string>

#include "bench/common.h"
#include "quarn/context.h"
#include "quarn/frame/frame.h"
#include "quarn/init.h"
#include "quarn/input/events/helpers.h"
#include "test_twowindows/scene.h"

// The scene's own time, measured inside the draw callback, so that draw()
// splits into scene and present like the other contenders.
static double scene_seconds = 0;

class SceneFrame : public Quarn::Frame::FrameBase {
public:
    explicit SceneFrame(bool triangles)
        : FrameBase(nullptr, Quarn::Flags::Style::BORDER | Quarn::Flags::Style::TITLEBAR, Quarn::Flags::Button::CLOSE),
          triangles(triangles) {
        set_size(200, 200);
        set_position(triangles ? 0 : 200, 0);
        set_show(true, 0);
    }
    void callback_draw() override {
        const double start = bench::seconds_now();
        if (triangles)
            scene::draw_triangles(theta++);
        else
            scene::draw_square();
        scene_seconds += bench::seconds_now() - start;
    }
    const bool triangles;
    float theta = 0;
};

int main(int argc, char** argv) {
    const double started = bench::seconds_now();
    Quarn::init();
    const std::string mode = argc > 2 ? argv[2] : "";
    const std::string contender = mode.empty() ? "quarn" : "quarn-" + mode;
    Quarn::Context::Settings settings;
    if (mode == "egl") settings.creation = Quarn::Context::Settings::Creation::EGL;
    Quarn::Context::set_trace(mode.empty());
    auto* context = mode.empty() ? new Quarn::Context::Context(2, 1) : new Quarn::Context::Context(2, 1, settings);
    const bool wait = mode != "nowait";
    int status = 0;
    {
        SceneFrame first(true), second(false);
        SceneFrame* frames[2] = {&first, &second};
        for (SceneFrame* frame : frames) {
            context->set_target(frame);
            context->set_target_vsync(false);
        }
        scene::set_shared_state();
        // draw() runs the scene, swaps and waits in one call: the driver takes
        // the scene's share (printed below) out of it to get the present time.
        status = bench::run_draw(
            argc, argv, contender.c_str(), started,
            {[] { Quarn::Input::Events::handle(); }, [&](int frame) { context->set_target(frames[frame]); }, [](int) {},
             [&](int frame) { frames[frame]->draw(wait); }});
        delete context;
    }
    Quarn::deinit();
    std::printf("draw %s-scene seconds=%.6f\n", contender.c_str(), scene_seconds);
    return status;
}
