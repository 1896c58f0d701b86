// Quarn's handle() with a frame whose callbacks count; with a second argument
// "reports", the frame reports the wheel, its size and text as well; with
// "gamepad", a gamepad (the test kit's) is open and idle meanwhile.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "bench/common.h"
#include "quarn/frame/frame.h"
#include "quarn/init.h"
#include "quarn/input/events/events.h"
#include "quarn/input/events/helpers.h"
#include "quarn/input/gamepad.h"
#include "quarn/testing/gamepad.h"

using namespace Quarn::Input::Events;

class CountingFrame : public Quarn::Frame::FrameBase {
public:
    explicit CountingFrame(bench::Delivered& delivered)
        : FrameBase(nullptr, Quarn::Flags::Style::BORDER | Quarn::Flags::Style::TITLEBAR, Quarn::Flags::Button::CLOSE),
          delivered(delivered) {
        set_size(200, 200);
        set_show(true, 0);
    }
    using FrameBase::callback_input;
    void callback_input(const Quarn::Input::State*, const EventMouseMove*) override { ++delivered.motion; }
    void callback_input(const Quarn::Input::State*, const EventKeyBase*) override { ++delivered.key; }
    void callback_input(const Quarn::Input::State*, const EventMouseButtonBase*) override { ++delivered.button; }
    void callback_input(const Quarn::Input::State*, const EventMouseScroll*) override { ++delivered.wheel; }
    void callback_input(const Quarn::Input::State*, const EventFrameClose*) override { delivered.marker = true; }
    bench::Delivered& delivered;
};

int main(int argc, char** argv) {
    Quarn::init();
    bench::Delivered delivered;
    int status = 0;
    {
        CountingFrame frame(delivered);
        const bool reports = argc > 2 && std::string(argv[2]) == "reports";
        const bool gamepad = argc > 2 && std::string(argv[2]) == "gamepad";
        std::unique_ptr<Quarn::Testing::Gamepad> pad;
        if (gamepad) {
            pad = std::make_unique<Quarn::Testing::Gamepad>("Idle Pad", 3, 0x045e, 0x028e, 0x0114);
            if (Quarn::Input::get_joysticks().empty()) return 1;
        }
        if (reports) {
            using Quarn::Flags::Report;
            frame.set_report(Report::WHEEL | Report::RESIZE | Report::TEXT | Report::REPEAT | Report::FOCUS |
                             Report::CROSSING | Report::REFRESH | Report::BUTTONS);
        }
        XSync(Quarn::_quarn_display, False);
        status = bench::run_pump(argc, argv,
                                 reports   ? "quarn-reports"
                                 : gamepad ? "quarn-gamepad"
                                           : "quarn",
                                 frame._quarn_backing->window, delivered, [] { Quarn::Input::Events::handle(); });
        // Quarn's own allocations, without Xlib's reading: the same events
        // replayed straight into the translation, once to warm up (the first
        // entry of a key code, Xlib's keysym table), once counted. They are
        // marked as sent by a client, as the pump got them: taken for real
        // input, their states (no button ever held) would make up releases.
        std::vector<XEvent> replay =
            bench::make_workload(Quarn::_quarn_display, frame._quarn_backing->window, bench::kBurst);
        long own = 0;
        for (int pass = 0; pass < 2; ++pass) {
            const long before = bench::allocations();
            for (XEvent& event : replay) {
                event.xany.display = Quarn::_quarn_display;
                event.xany.send_event = True;
                Quarn::Input::Events::_quarn_handle(event);
            }
            own = bench::allocations() - before;
        }
        std::printf("pump quarn-own events=%d allocations=%ld\n", bench::kBurst, own);
    }
    Quarn::deinit();
    return status;
}
