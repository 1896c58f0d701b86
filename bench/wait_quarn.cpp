// Quarn: wait, then handle, then draw once per batch (the idle loop of the
// guide); spinning is handle() alone.
#include <GL/gl.h>

#include "bench/common.h"
#include "quarn/context.h"
#include "quarn/frame/frame.h"
#include "quarn/init.h"
#include "quarn/input/events/events.h"
#include "quarn/input/events/helpers.h"

static std::atomic<long> keys{0};

class Frame : public Quarn::Frame::FrameBase {
public:
    Frame()
        : FrameBase(nullptr, Quarn::Flags::Style::BORDER | Quarn::Flags::Style::TITLEBAR, Quarn::Flags::Button::CLOSE) {
        set_size(200, 200);
        set_show(true, 0);
    }
    using FrameBase::callback_input;
    void callback_input(const Quarn::Input::State*, const Quarn::Input::Events::EventKeyDown*) override { ++keys; }
    void callback_draw() override { glClear(GL_COLOR_BUFFER_BIT); }
};

int main(int argc, char** argv) {
    Quarn::init();
    int status = 1;
    {
        Quarn::Context::Context context(2, 1);
        Frame frame;
        context.set_target(&frame);
        status = bench::run_wait(
            argc, argv, "quarn", frame._quarn_backing->window, keys,
            [&](int timeout_ms) {
                const bool woke = Quarn::Input::Events::wait(timeout_ms);
                const double now = bench::seconds_now();
                if (woke) {
                    Quarn::Input::Events::handle();
                    frame.draw();
                }
                return now;
            },
            [] { Quarn::Input::Events::handle(); }, [] { Quarn::Input::Events::post_wake(); });
        context.set_target(nullptr);
    }
    Quarn::deinit();
    return status;
}
