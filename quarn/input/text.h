#pragma once

#include <X11/Xlib.h>

namespace Quarn {
namespace Frame {
class FrameBase;
}

namespace Input {

/// What the pump does with an event once the input method has seen it.
enum class _quarn_KeyRoute {
    KEY_AND_TEXT,  ///< Translate as usual; a key press also gives its text.
    KEY_ONLY,      ///< A key event the input method took: still a physical key, but its text comes later.
    TEXT_ONLY,     ///< Text the input method commits (keycode 0), or a copy of a key event it took.
    DROP,          ///< The input method's own traffic.
};

/// Passes `event` to the input method when one is open (XFilterEvent); with
/// none open it only routes: no call, no state.
_quarn_KeyRoute _quarn_text_route(XEvent& event);

/// Turns `frame`'s text input on (its input context, made once an input
/// method is there; the first call opens the method or waits for one to
/// start) or off (the context destroyed, its event masks deselected).
void _quarn_text_enable(Frame::FrameBase* frame, bool on);

/// The keyboard focus came to `frame` (true) or left it: its input context follows.
void _quarn_text_focus(Frame::FrameBase* frame, bool focused);

/// Delivers an EventText for each character that the key press `key`
/// produced in `frame`, when the frame reports TEXT: none for control
/// characters, and none while Control or Alt is held.
void _quarn_issue_text(Frame::FrameBase* frame, XKeyEvent& key);

/// Closes the input method and stops waiting for one (Quarn::deinit).
void _quarn_text_deinit();

}  // namespace Input
}  // namespace Quarn
