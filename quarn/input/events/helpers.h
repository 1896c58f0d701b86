#pragma once

#include <X11/Xlib.h>

#include <string>
#include <vector>

#include "quarn/flags.h"

namespace Quarn {
namespace Frame {
class FrameBase;
}

namespace Input {
namespace Events {

/// Delivers every pending X event to its frame's callbacks and returns; never
/// waits for input. Call once per iteration of the application's loop. Events
/// of windows that belong to no frame are dropped. Refused through the error
/// routine when Quarn::init() found no display. Remark: for a frame that
/// reports REPEAT, a key release that arrived last, with nothing after it,
/// is kept until the next event or 20 ms show it is no auto-repeat's. Once
/// the application uses the joysticks (Input::get_joysticks), it first reads
/// their input, one poll when they sent none, and delivers
/// EventGamepadConnection for those that came or went.
void handle();

/// Waits until at least one event is pending, already read by Xlib or
/// arriving on the connection, and returns true; returns false when
/// `timeout_ms` milliseconds pass without one. 0 only looks; a negative value
/// waits without limit. Flushes the requests not yet sent first, and
/// dispatches nothing: call handle() after it. A key release that handle()
/// kept back (REPEAT) counts as pending once it is due, and so does a drop
/// whose source stopped answering, once it is to be given up. Once the
/// application uses the joysticks (Input::get_joysticks), their input and
/// their coming and going wake it too (it returns true; handle() reads them).
/// Refused through the error routine when Quarn::init() found no display,
/// and when the connection is lost under an I/O error handler that returns
/// ("Cannot wait for events on a lost display connection!"), where waiting
/// could only spin.
///
///     while (running) {
///         Quarn::Input::Events::wait(-1);    // sleep until there is input
///         Quarn::Input::Events::handle();
///         if (changed) redraw();
///     }
bool wait(int timeout_ms);

/// Wakes the application's loop: a wait() in progress returns true, or, when
/// none is, the next one returns true at once. The handle() after it
/// delivers nothing for the wake-up and uses it up, so a later wait() sleeps
/// as usual; several posted before that handle() count as one. Callable from
/// any thread and from a signal handler: it only write()s to a descriptor
/// the library made at Quarn::init() (errno is kept), and touches no Xlib
/// state. Does nothing before init() or after deinit(). Costs no round trip;
/// handle() pays one flag load for it when nothing was posted.
///
///     // a worker thread, when its file is loaded:
///     loaded = true;                         // std::atomic<bool>
///     Quarn::Input::Events::post_wake();
void post_wake();

/// Translates one X event: finds its frame, updates the frame's input state
/// and delivers the matching event. Used by handle().
void _quarn_handle(XEvent& event);

// The issue functions: each updates `frame`'s input state, then builds its
// event on the stack and dispatches it. The X pump and the reports call them
// all but the menu click, which has no X source on Linux. A key event's
// `scancode` is its X key code, 0 where unknown; `modifiers` are those held
// before the key or button changed, NONE for made-up releases.
void _quarn_issue_keydown(Frame::FrameBase* frame, int code, unsigned int scancode = 0,
                          Flags::Modifier modifiers = Flags::Modifier::NONE, bool repeat = false);
void _quarn_issue_keyup(Frame::FrameBase* frame, int code, unsigned int scancode = 0,
                        Flags::Modifier modifiers = Flags::Modifier::NONE);
void _quarn_issue_close(Frame::FrameBase* frame);
void _quarn_issue_menuclick(Frame::FrameBase* frame, int which_menu);
void _quarn_issue_resize(Frame::FrameBase* frame, int w, int h, bool minimized, bool maximized);
void _quarn_issue_mousemove(Frame::FrameBase* frame, int x, int y);
void _quarn_issue_mousescroll(Frame::FrameBase* frame, int dx, int dy);
void _quarn_issue_mouseldown(Frame::FrameBase* frame, Flags::Modifier modifiers = Flags::Modifier::NONE);
void _quarn_issue_mousemdown(Frame::FrameBase* frame, Flags::Modifier modifiers = Flags::Modifier::NONE);
void _quarn_issue_mouserdown(Frame::FrameBase* frame, Flags::Modifier modifiers = Flags::Modifier::NONE);
void _quarn_issue_mouselup(Frame::FrameBase* frame, Flags::Modifier modifiers = Flags::Modifier::NONE);
void _quarn_issue_mousemup(Frame::FrameBase* frame, Flags::Modifier modifiers = Flags::Modifier::NONE);
void _quarn_issue_mouserup(Frame::FrameBase* frame, Flags::Modifier modifiers = Flags::Modifier::NONE);
void _quarn_issue_focus(Frame::FrameBase* frame, bool focused);
void _quarn_issue_mouseenter(Frame::FrameBase* frame, int x, int y);
void _quarn_issue_mouseleave(Frame::FrameBase* frame, int x, int y);
void _quarn_issue_refresh(Frame::FrameBase* frame);
// Delivers EventGamepadConnection to every frame that reports GAMEPAD.
void _quarn_issue_gamepadconnection(int id, bool connected);
// Marks `button` (8 to 255) held, then delivers its press.
void _quarn_issue_mouseextradown(Frame::FrameBase* frame, unsigned int button,
                                 Flags::Modifier modifiers = Flags::Modifier::NONE);
// Marks `button` released, then delivers its release.
void _quarn_issue_mouseextraup(Frame::FrameBase* frame, unsigned int button,
                               Flags::Modifier modifiers = Flags::Modifier::NONE);
void _quarn_issue_monitors(Frame::FrameBase* frame);

// Delivers files (`paths`) or `text` dropped at (x, y) in `frame`.
void _quarn_issue_drop(Frame::FrameBase* frame, std::vector<std::string> paths, std::string text, int x, int y);
// Keeps `position` to (x, y), then delivers the move.
void _quarn_issue_move(Frame::FrameBase* frame, int x, int y);

}  // namespace Events
}  // namespace Input
}  // namespace Quarn
