#pragma once

#include <map>

#include "quarn/flags.h"

namespace Quarn {
namespace Frame {
class FrameBase;
}

namespace Input {
class State;
namespace Events {
void _quarn_issue_keydown(Frame::FrameBase* frame, int code, unsigned int scancode, Flags::Modifier modifiers,
                          bool repeat);
void _quarn_issue_keyup(Frame::FrameBase* frame, int code, unsigned int scancode, Flags::Modifier modifiers);
void _quarn_issue_focusout(Frame::FrameBase* frame);
void _quarn_issue_keymap(Frame::FrameBase* frame, const char (&down)[32]);
bool _quarn_holds_keys(const State& state);
}  // namespace Events

/// What the user is doing with mouse and keyboard in one frame's window. The
/// event pump updates it just before each event is delivered, so callbacks
/// see the state that includes the event in hand. Applications only read it.
class State {
public:
    State();
    ~State() = default;
    State(const State&) = delete;
    State& operator=(const State&) = delete;

    /// Whether the key with X key symbol `key` (index 0, so independent of
    /// Shift: XK_a for the A key) is held. False for keys never seen.
    bool key_pressed(int key) const;

    /// Left, middle and right button held.
    bool mouse_buttons[3];
    /// Pointer position before the most recent move; (-1, -1) until the first.
    int mouse_position_last[2];
    /// Pointer position at the most recent move, in window pixels. Button
    /// events carry no position: at a press or release this is the last
    /// motion's place, which is the click's point when the pointer moved into
    /// the frame first; keep it from the press callback to know where a click
    /// happened. (0, 0) until the first move.
    int mouse_position[2];
    /// The move in progress (position minus last); (0, 0) outside move callbacks.
    int mouse_relative[2];
    /// The wheel turn in progress; (0, 0) outside scroll callbacks.
    int mouse_wheel_relative[2];

private:
    friend void Events::_quarn_issue_keydown(Frame::FrameBase* frame, int code, unsigned int scancode,
                                             Flags::Modifier modifiers, bool repeat);
    friend void Events::_quarn_issue_keyup(Frame::FrameBase* frame, int code, unsigned int scancode,
                                           Flags::Modifier modifiers);
    friend void Events::_quarn_issue_focusout(Frame::FrameBase* frame);
    friend void Events::_quarn_issue_keymap(Frame::FrameBase* frame, const char (&down)[32]);
    friend bool Events::_quarn_holds_keys(const State& state);

    std::map<int, bool> _quarn_keys;
};

}  // namespace Input
}  // namespace Quarn
