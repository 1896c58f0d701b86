// The pump's translation of one X event, fed with arbitrary event structures
// of every core type, for registered and foreign windows, with any button
// number and keycode, for a frame that reports nothing and one that reports
// everything. Callbacks may only ever reach a live frame.
#include <X11/Xlib.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "quarn/frame/frame.h"
#include "quarn/init.h"
#include "quarn/input/events/events.h"
#include "quarn/input/events/helpers.h"
#include "tests/support/live_frame.h"

namespace {

class CheckedFrame : public quarn_test::LiveFrame {
public:
    using LiveFrame::callback_input;
    void callback_input(const Quarn::Input::State* state, const Quarn::Input::Events::EventBase*) override {
        if (!alive() || state != input_state) std::abort();
    }
};

CheckedFrame* frames[2];
Window foreign;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::freopen("/dev/null", "w", stdout);  // ConfigureNotify trace lines
    Quarn::init();
    frames[0] = new CheckedFrame();
    frames[1] = new CheckedFrame();
    // The second frame takes every report: the wheel, size and state, text,
    // auto-repeat, focus, crossings, refreshes and the buttons beyond the wheel.
    using Quarn::Flags::Report;
    frames[1]->set_report(Report::WHEEL | Report::RESIZE | Report::TEXT | Report::REPEAT | Report::FOCUS |
                          Report::CROSSING | Report::REFRESH | Report::BUTTONS);
    Display* display = Quarn::_quarn_display;
    foreign = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 10, 10, 0, 0, 0);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    XEvent event;
    std::memset(&event, 0, sizeof event);
    std::memcpy(&event, data + 2, std::min(size - 2, sizeof event));
    // What Xlib always fills in: a core event type and the connection.
    event.type = KeyPress + data[0] % (LASTEvent - KeyPress);
    event.xany.display = Quarn::_quarn_display;
    switch (data[1] % 4) {
        case 0: event.xany.window = frames[0]->_quarn_backing->window; break;
        case 1: event.xany.window = frames[1]->_quarn_backing->window; break;
        case 2: event.xany.window = foreign; break;
        default: break;  // whatever id the input holds
    }
    if (event.type == KeyPress || event.type == KeyRelease) {
        // Keycodes travel as one byte (Xlib widens them), and the server sends
        // 8 to 255; a key event with keycode 0 comes only from Xlib's input
        // method, right after an event it took, which a structure cannot
        // forge: here it can only be another client's XSendEvent.
        event.xkey.keycode &= 0xFF;
        if (event.xkey.keycode == 0) event.xany.send_event = True;
    }
    if (event.type == MappingNotify) {
        // The server only reports mappings it has: keep the range valid.
        int min_code = 0, max_code = 0;
        XDisplayKeycodes(Quarn::_quarn_display, &min_code, &max_code);
        event.xmapping.request = MappingModifier + static_cast<int>(static_cast<unsigned>(event.xmapping.request) % 3);
        event.xmapping.first_keycode = min_code + static_cast<int>(static_cast<unsigned>(event.xmapping.first_keycode) %
                                                                   static_cast<unsigned>(max_code - min_code + 1));
        event.xmapping.count = 1 + static_cast<int>(static_cast<unsigned>(event.xmapping.count) %
                                                    static_cast<unsigned>(max_code - event.xmapping.first_keycode + 1));
    }
    Quarn::Input::Events::_quarn_handle(event);
    return 0;
}
