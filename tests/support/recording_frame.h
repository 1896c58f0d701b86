#pragma once

#include <string>
#include <vector>

#include "quarn/frame/frame.h"
#include "quarn/input/events/events.h"
#include "quarn/input/state.h"

namespace quarn_test {

// One callback_input call as a frame saw it, with the input state copied at
// that moment.
struct Call {
    std::string level;  // the overload's event class, e.g. "EventMouseButtonBase"
    const void* event;
    int type;
    const Quarn::Input::State* state;
    unsigned int key;  // key events only
    int move[4];       // move events only: x, y, x_rel, y_rel
    bool buttons[3];
    int position[2];
    int position_last[2];
    int relative[2];
    int wheel[2];
    bool key_held;       // state.key_pressed(key) for key events
    int delta[2];        // scroll events only
    int size[2];         // resize events only: width, height
    int dimensions[2];   // the frame's dimensions at the call
    std::string text;    // text events only: the character in UTF-8
    char32_t codepoint;  // text events only

    // The reports FOCUS, CROSSING and BUTTONS.
    bool focused;         // focus events only
    int at[2];            // enter and leave events only: x, y
    unsigned int button;  // extra button events only: X's number

    unsigned int scancode;             // key events only
    Quarn::Flags::Modifier modifiers;  // key and button events only
    bool repeat;                       // key presses only
};

// A frame that records every input callback into `log`, which lives outside
// the frame so that calls to a destroyed frame would still show.
class RecordingFrame : public Quarn::Frame::FrameBase {
public:
    explicit RecordingFrame(std::vector<Call>& log, Quarn::Frame::FrameBase* parent = nullptr);

    // The levels of the recorded calls, in order.
    std::vector<std::string> levels() const;

    std::vector<Call>& log;

#define QUARN_TEST_RECORD(Class)                                                                               \
    void callback_input(const Quarn::Input::State* state, const Quarn::Input::Events::Class* event) override { \
        record(#Class, state, event);                                                                          \
    }
    QUARN_TEST_RECORD(EventBase)
    QUARN_TEST_RECORD(EventKeyBase)
    QUARN_TEST_RECORD(EventKeyDown)
    QUARN_TEST_RECORD(EventKeyUp)
    QUARN_TEST_RECORD(EventMouseBase)
    QUARN_TEST_RECORD(EventMouseButtonBase)
    QUARN_TEST_RECORD(EventMouseButtonLeftBase)
    QUARN_TEST_RECORD(EventMouseButtonLeftDown)
    QUARN_TEST_RECORD(EventMouseButtonLeftUp)
    QUARN_TEST_RECORD(EventMouseButtonMiddleBase)
    QUARN_TEST_RECORD(EventMouseButtonMiddleDown)
    QUARN_TEST_RECORD(EventMouseButtonMiddleUp)
    QUARN_TEST_RECORD(EventMouseButtonRightBase)
    QUARN_TEST_RECORD(EventMouseButtonRightDown)
    QUARN_TEST_RECORD(EventMouseButtonRightUp)
    QUARN_TEST_RECORD(EventMouseScroll)
    QUARN_TEST_RECORD(EventMouseMove)
    QUARN_TEST_RECORD(EventFrameBase)
    QUARN_TEST_RECORD(EventFrameMenuItem)
    QUARN_TEST_RECORD(EventFrameClose)
    QUARN_TEST_RECORD(EventFrameMinimize)
    QUARN_TEST_RECORD(EventFrameMaximize)
    QUARN_TEST_RECORD(EventFrameResize)
    QUARN_TEST_RECORD(EventText)
    QUARN_TEST_RECORD(EventFrameFocus)
    QUARN_TEST_RECORD(EventMouseEnter)
    QUARN_TEST_RECORD(EventMouseLeave)
    QUARN_TEST_RECORD(EventFrameRefresh)
    QUARN_TEST_RECORD(EventMouseButtonExtraBase)
    QUARN_TEST_RECORD(EventMouseButtonExtraDown)
    QUARN_TEST_RECORD(EventMouseButtonExtraUp)
    QUARN_TEST_RECORD(EventFrameMonitors)
    QUARN_TEST_RECORD(EventFrameMove)
    QUARN_TEST_RECORD(EventGamepadConnection)
    QUARN_TEST_RECORD(EventFrameDrop)
#undef QUARN_TEST_RECORD

private:
    void record(const char* level, const Quarn::Input::State* state, const Quarn::Input::Events::EventBase* event);
};

// The calls of `log` whose level is `level`.
std::vector<Call> calls_at(const std::vector<Call>& log, const std::string& level);

}  // namespace quarn_test
