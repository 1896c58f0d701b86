#include "quarn/input/events/helpers.h"

#include <poll.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <utility>
#include <vector>

#include "quarn/clipboard.h"
#include "quarn/error.h"
#include "quarn/frame/controls.h"
#include "quarn/frame/desktop.h"
#include "quarn/frame/drop.h"
#include "quarn/frame/helpers.h"
#include "quarn/frame/pointer_lock.h"
#include "quarn/frame/report.h"
#include "quarn/init.h"
#include "quarn/input/events/events.h"
#include "quarn/input/events/releases.h"
#include "quarn/input/events/wake.h"
#include "quarn/input/gamepad.h"
#include "quarn/input/keyboard.h"
#include "quarn/input/modifiers.h"
#include "quarn/input/repeat.h"
#include "quarn/input/state.h"
#include "quarn/input/text.h"
#include "quarn/menu/helpers.h"
#include "quarn/monitor.h"

namespace Quarn {
namespace Input {
namespace Events {

namespace {
void issue_held_release(const XEvent* next);
}

void handle() {
    _quarn_require_display("Cannot handle events without a display connection!");
    _quarn_wake_drain();
    _quarn_clipboard_drop_abandoned();
    Frame::_quarn_drop_expire();
    _quarn_issue_owed_releases();
    Frame::_quarn_pointer_lock_retry();
    if (_quarn_gamepads_on) _quarn_gamepad_update(_quarn_issue_gamepadconnection);
    // A key release held back for REPEAT, with nothing after it since, is
    // delivered once it is due.
    if (_quarn_release_held && !XPending(_quarn_display)) issue_held_release(nullptr);
    XEvent event;
    while (XPending(_quarn_display)) {
        // A key release held back for REPEAT is settled by the event after it,
        // looked at before it is taken, so a throwing callback leaves it
        // queued; the release's callbacks may have run the pump meanwhile.
        if (_quarn_release_held) {
            XPeekEvent(_quarn_display, &event);
            issue_held_release(&event);
            continue;
        }
        XNextEvent(_quarn_display, &event);
        _quarn_handle(event);
    }
}

bool wait(int timeout_ms) {
    _quarn_require_display("Cannot wait for events without a display connection!");
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
    // XPending flushes, then reads whatever has arrived. Events that an
    // earlier call (GLX, XSync) already read sit in Xlib's queue and would
    // never wake a poll on the socket, so it is asked before every poll.
    while (!XPending(_quarn_display)) {
        // A key release held back for REPEAT falls due without any input, and
        // so does giving up a drop whose source went silent.
        int due_ms = _quarn_held_release_due_ms();
        const int drop_ms = Frame::_quarn_drop_due_ms();
        if (drop_ms >= 0 && (due_ms < 0 || drop_ms < due_ms)) due_ms = drop_ms;
        if (due_ms == 0) return true;
        int wait_ms = -1;
        if (timeout_ms >= 0) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
            wait_ms = static_cast<int>(std::max<decltype(left)>(left, 0));
        }
        if (due_ms > 0) wait_ms = wait_ms < 0 ? due_ms : std::min(wait_ms, due_ms);
        // post_wake's descriptor and the joysticks' (-1, which poll skips, while
        // there is none).
        pollfd connection[3] = {{ConnectionNumber(_quarn_display), POLLIN, 0},
                                {_quarn_wake_descriptor(), POLLIN, 0},
                                {_quarn_gamepad_descriptor(), POLLIN, 0}};
        // A signal (EINTR) only sends the loop round with the time that is left.
        const int ready = poll(connection, 3, wait_ms);
        if ((connection[1].revents & POLLIN) || (connection[2].revents & POLLIN)) return true;
        if (ready == 0 && wait_ms == 0 && timeout_ms >= 0) return false;
        if (ready > 0 && (connection[0].revents & (POLLERR | POLLHUP | POLLNVAL)) && !XPending(_quarn_display)) {
            // The server is gone, and an I/O error handler that returns (libX11's
            // XSetIOErrorExitHandler) let the process go on: every poll would
            // report the hang-up at once, so waiting would spin.
            _quarn_throw_error("Cannot wait for events on a lost display connection!");
        }
    }
    return true;
}

namespace {

Frame::FrameBase* lookup(Window window) { return Frame::_quarn_frame_of(window); }

int key_symbol(XKeyEvent& key) { return static_cast<int>(XLookupKeysym(&key, 0)); }

// The buttons beyond the wheel; X numbers buttons in one byte.
bool extra_button(unsigned int button) { return button >= 8 && button <= 255; }

void issue_key_release(Frame::FrameBase* frame, XKeyEvent& key) {
    const int symbol = key_symbol(key);
    if (_quarn_key_is_new(key.window, symbol, false))
        _quarn_issue_keyup(frame, symbol, key.keycode, _quarn_modifiers(key.state));
}

void issue_held_release(const XEvent* next) {
    XKeyEvent release;
    if (!_quarn_settle_held_release(next, release)) return;
    if (Frame::FrameBase* frame = lookup(release.window)) issue_key_release(frame, release);
}

// `state` is the event's: the wheel's notches carry no modifiers.
void issue_button_press(Frame::FrameBase* frame, unsigned int button, unsigned int state) {
    switch (button) {
        case Button1: _quarn_issue_mouseldown(frame, _quarn_modifiers(state)); break;
        case Button2: _quarn_issue_mousemdown(frame, _quarn_modifiers(state)); break;
        case Button3: _quarn_issue_mouserdown(frame, _quarn_modifiers(state)); break;
        default: break;
    }
    // X reports each notch of the wheel as a press of 4 to 7 (and a release,
    // which says nothing more): only frames that report WHEEL get them.
    if (button >= 4 && button <= 7 && Frame::_quarn_reports(frame, Flags::Report::WHEEL)) {
        static const int kNotches[4][2] = {{0, 1}, {0, -1}, {-1, 0}, {1, 0}};  // up, down, left, right
        _quarn_issue_mousescroll(frame, kNotches[button - 4][0], kNotches[button - 4][1]);
    }
    if (extra_button(button) && Frame::_quarn_reports(frame, Flags::Report::BUTTONS))
        _quarn_issue_mouseextradown(frame, button, _quarn_modifiers(state));
}

void issue_button_release(Frame::FrameBase* frame, unsigned int button, unsigned int state) {
    switch (button) {
        case Button1: _quarn_issue_mouselup(frame, _quarn_modifiers(state)); break;
        case Button2: _quarn_issue_mousemup(frame, _quarn_modifiers(state)); break;
        case Button3: _quarn_issue_mouserup(frame, _quarn_modifiers(state)); break;
        default: break;
    }
    // Whatever the report says now: the release of each press delivered, and
    // only of those.
    if (extra_button(button) && frame->_quarn_backing->extra_buttons[button])
        _quarn_issue_mouseextraup(frame, button, _quarn_modifiers(state));
}

// X coordinates are 16-bit, so real moves never overflow; wrapping keeps an
// arbitrary (synthetic) event from being undefined behaviour.
int difference(int a, int b) { return static_cast<int>(static_cast<unsigned int>(a) - static_cast<unsigned int>(b)); }

template <typename Event>
void issue_button(Frame::FrameBase* frame, int index, bool held, Flags::Modifier modifiers) {
    frame->input_state->mouse_buttons[index] = held;
    Event event(modifiers);
    event._quarn_handle(frame);
}

// Whether the keyboard focus really went to another window. A grab does not
// move it (the frame's keys, releases included, keep reaching it), and focus
// that comes straight back, as when pointer-root focus becomes explicit focus
// on the window under the pointer, has not left either.
bool focus_leaves(const XFocusChangeEvent& out) {
    if (out.mode == NotifyGrab || out.mode == NotifyUngrab) return false;
    if (!XEventsQueued(_quarn_display, QueuedAfterReading)) return true;
    XEvent next;
    XPeekEvent(_quarn_display, &next);
    return !(next.type == FocusIn && next.xfocus.window == out.window);
}

// Whether the implicit pointer grab of a press in `window` ended early: the
// window stopped being viewable (hidden, iconified). X reports that as an
// ordinary LeaveNotify, like a drag out of the window, so the window is asked:
// one round trip, only when a held button's window is left.
bool grab_lost(const XCrossingEvent& crossing, const Frame::FrameBase& frame) {
    if (crossing.mode == NotifyUngrab) return true;
    if (crossing.type != LeaveNotify) return false;
    const bool* const held = frame.input_state->mouse_buttons;
    if (!(held[0] || held[1] || held[2]) && frame._quarn_backing->extra_buttons.none()) return false;
    XWindowAttributes attributes;
    return XGetWindowAttributes(_quarn_display, crossing.window, &attributes) && attributes.map_state != IsViewable;
}

// Releases the buttons `frame` holds whose release can no longer reach it:
// those `event` shows up, or all of them when the press's grab was lost.
// Forged events (send_event) say nothing about the pointer. Returns whether
// it released any.
bool release_lost_buttons(Frame::FrameBase* frame, const XEvent& event) {
    if (event.xany.send_event) return false;
    switch (event.type) {
        case KeyPress:
        case KeyRelease: return _quarn_issue_lost_buttons(frame, event.xkey.state, false);
        case ButtonPress:
        case ButtonRelease: return _quarn_issue_lost_buttons(frame, event.xbutton.state, false);
        case MotionNotify: return _quarn_issue_lost_buttons(frame, event.xmotion.state, false);
        case EnterNotify:
        case LeaveNotify:
            return _quarn_issue_lost_buttons(frame, event.xcrossing.state, grab_lost(event.xcrossing, *frame));
        default: return false;
    }
}

// KeymapNotify carries no window (Xlib sets None): it follows the FocusIn or
// EnterNotify of the window it belongs to.
Window keymap_window = None;

}  // namespace

void _quarn_handle(XEvent& event) {
    // A layout change (no window, told apart by its type). Once key names
    // selected these, Xlib turns them into no MappingNotify.
    if (_quarn_keyboard_event(event)) {
        _quarn_modifiers_changed();
        return;
    }
    // The monitors changing (the root window's, no frame's).
    if (_quarn_monitors_event(event)) return;
    // An input method, where one is open, sees every event first.
    const _quarn_KeyRoute route = _quarn_text_route(event);
    if (route == _quarn_KeyRoute::DROP) return;
    Frame::FrameBase* const frame = lookup(event.xany.window);

    // These two need no frame: the keyboard mapping is the connection's, and
    // the trace line is printed whatever the window.
    if (event.type == MappingNotify) {
        XRefreshKeyboardMapping(&event.xmapping);
        if (event.xmapping.request != MappingPointer) _quarn_modifiers_changed();
        return;
    }
    if (event.type == ConfigureNotify) {
        if (frame && Frame::_quarn_reports(frame, Flags::Report::RESIZE | Flags::Report::MOVE))
            Frame::_quarn_report_configure(frame, event.xconfigure);
        else if (_quarn_trace)
            std::printf("ConfigureNotify! (resize: %dx%d)\n", event.xconfigure.width, event.xconfigure.height);
        return;
    }
    if (event.type == FocusIn || event.type == EnterNotify) keymap_window = event.xany.window;
    if (event.type == KeymapNotify) {
        Frame::FrameBase* const owner = lookup(keymap_window);
        if (owner && !event.xany.send_event) _quarn_issue_keymap(owner, event.xkeymap.key_vector);
        return;
    }
    if (!frame) {
        // The clipboard's own window and its readers' windows are no frames,
        // and raw motion (a locked frame's) has no window at all.
        if (!_quarn_clipboard_event(event) && !Frame::_quarn_drop_event(event)) Frame::_quarn_raw_motion(event);
        return;
    }

    // A button whose release can no longer reach the frame is released first;
    // its callbacks may have destroyed the frame.
    if (release_lost_buttons(frame, event) && !lookup(event.xany.window)) return;
    switch (event.type) {
        case KeyPress: {
            // Asked before the key's callbacks, which may destroy the frame.
            const bool text = route != _quarn_KeyRoute::KEY_ONLY && Frame::_quarn_reports(frame, Flags::Report::TEXT);
            if (route != _quarn_KeyRoute::TEXT_ONLY) {
                const int symbol = key_symbol(event.xkey);
                _quarn_key_is_new(event.xany.window, symbol, true);
                _quarn_issue_keydown(frame, symbol, event.xkey.keycode, _quarn_modifiers(event.xkey.state),
                                     _quarn_press_repeats(event.xkey));
            }
            // The key's text comes after its own event, if the callbacks left the frame.
            if (text && lookup(event.xany.window)) _quarn_issue_text(frame, event.xkey);
            break;
        }
        case KeyRelease:
            // A frame that reports REPEAT gets the keyboard's auto-repeat as presses alone.
            if (route != _quarn_KeyRoute::TEXT_ONLY && !_quarn_release_repeats(frame, event.xkey))
                issue_key_release(frame, event.xkey);
            break;
        case ButtonPress:
            if (_quarn_button_is_new(event.xany.window, event.xbutton.button, true))
                issue_button_press(frame, event.xbutton.button, event.xbutton.state);
            break;
        case ButtonRelease:
            if (_quarn_button_is_new(event.xany.window, event.xbutton.button, false))
                issue_button_release(frame, event.xbutton.button, event.xbutton.state);
            break;
        case MotionNotify:
            // A locked frame's moves come from raw motion instead.
            if (!Frame::_quarn_pointer_lock_takes(frame, event.xmotion))
                _quarn_issue_mousemove(frame, event.xmotion.x, event.xmotion.y);
            break;
        // Any client message but a drag's counts as the close request;
        // WM_DELETE_WINDOW is the only protocol the window registers.
        case ClientMessage:
            if (!Frame::_quarn_drop_message(frame, event.xclient)) _quarn_issue_close(frame);
            break;
        case LeaveNotify:
            // The made-up releases' callbacks may destroy the frame.
            if (_quarn_issue_keys_left(frame, event.xcrossing) && !lookup(event.xany.window)) return;
            [[fallthrough]];
        case EnterNotify:
            Frame::_quarn_pointer_crossing(frame, event.xcrossing);
            if (Frame::_quarn_reports(frame, Flags::Report::CROSSING | Flags::Report::FOCUS))
                Frame::_quarn_report_crossing(frame, event.xcrossing);
            break;
        case FocusIn:
            Frame::_quarn_attention_answered(frame);
            _quarn_text_focus(frame, true);
            Frame::_quarn_pointer_focus(frame, true);
            if (Frame::_quarn_reports(frame, Flags::Report::FOCUS)) Frame::_quarn_report_focus(frame, event.xfocus);
            break;
        case FocusOut:
            _quarn_text_focus(frame, false);
            if (focus_leaves(event.xfocus)) {
                Frame::_quarn_pointer_focus(frame, false);
                // The keys are up before the frame hears that the focus went.
                _quarn_issue_focusout(frame);
                if (lookup(event.xany.window) && Frame::_quarn_reports(frame, Flags::Report::FOCUS))
                    Frame::_quarn_report_focus(frame, event.xfocus);
            }
            break;
        case Expose:
            if (Frame::_quarn_reports(frame, Flags::Report::REFRESH)) Frame::_quarn_report_expose(frame, event.xexpose);
            break;
        case PropertyNotify:
            Frame::_quarn_fullscreen_property(frame, event.xproperty);
            if (Frame::_quarn_reports(frame, Flags::Report::RESIZE))
                Frame::_quarn_report_property(frame, event.xproperty);
            break;
        case ReparentNotify:
            if (Frame::_quarn_reports(frame, Flags::Report::MOVE))
                Frame::_quarn_report_reparent(frame, event.xreparent);
            break;
        default: break;
    }
}

void _quarn_issue_keydown(Frame::FrameBase* frame, int code, unsigned int scancode, Flags::Modifier modifiers,
                          bool repeat) {
    frame->input_state->_quarn_keys[code] = true;
    EventKeyDown event(static_cast<unsigned int>(code), scancode, modifiers, repeat);
    event._quarn_handle(frame);
}

void _quarn_issue_keyup(Frame::FrameBase* frame, int code, unsigned int scancode, Flags::Modifier modifiers) {
    frame->input_state->_quarn_keys[code] = false;
    EventKeyUp event(static_cast<unsigned int>(code), scancode, modifiers);
    event._quarn_handle(frame);
}

void _quarn_issue_close(Frame::FrameBase* frame) {
    EventFrameClose event;
    event._quarn_handle(frame);
}

void _quarn_issue_menuclick(Frame::FrameBase* frame, int which_menu) {
    const Menuing::_quarn_CallbackInfo& info = (*Menuing::_quarn_menu_callbacks)[which_menu];
    EventFrameMenuItem event(info.originator, info.optional_data);
    event._quarn_handle(frame);
}

void _quarn_issue_resize(Frame::FrameBase* frame, int w, int h, bool minimized, bool maximized) {
    if (minimized) {
        EventFrameMinimize event;
        event._quarn_handle(frame);
    } else if (maximized) {
        EventFrameMaximize event;
        event._quarn_handle(frame);
    }
    frame->dimensions[0] = w;
    frame->dimensions[1] = h;
    EventFrameResize event(w, h);
    event._quarn_handle(frame);
}

void _quarn_issue_mousemove(Frame::FrameBase* frame, int x, int y) {
    State& state = *frame->input_state;
    state.mouse_position_last[0] = state.mouse_position[0];
    state.mouse_position_last[1] = state.mouse_position[1];
    state.mouse_position[0] = x;
    state.mouse_position[1] = y;
    state.mouse_relative[0] = difference(x, state.mouse_position_last[0]);
    state.mouse_relative[1] = difference(y, state.mouse_position_last[1]);
    EventMouseMove event(x, y, state.mouse_relative[0], state.mouse_relative[1]);
    event._quarn_handle(frame);
    state.mouse_relative[0] = 0;
    state.mouse_relative[1] = 0;
}

void _quarn_issue_mousescroll(Frame::FrameBase* frame, int dx, int dy) {
    State& state = *frame->input_state;
    state.mouse_wheel_relative[0] = dx;
    state.mouse_wheel_relative[1] = dy;
    const int delta[2] = {dx, dy};
    EventMouseScroll event(delta);
    event._quarn_handle(frame);
    state.mouse_wheel_relative[0] = 0;
    state.mouse_wheel_relative[1] = 0;
}

void _quarn_issue_focus(Frame::FrameBase* frame, bool focused) {
    EventFrameFocus event(focused);
    event._quarn_handle(frame);
}

void _quarn_issue_mouseenter(Frame::FrameBase* frame, int x, int y) {
    EventMouseEnter event(x, y);
    event._quarn_handle(frame);
}

void _quarn_issue_mouseleave(Frame::FrameBase* frame, int x, int y) {
    EventMouseLeave event(x, y);
    event._quarn_handle(frame);
}

void _quarn_issue_refresh(Frame::FrameBase* frame) {
    EventFrameRefresh event;
    event._quarn_handle(frame);
}

void _quarn_issue_mouseextradown(Frame::FrameBase* frame, unsigned int button, Flags::Modifier modifiers) {
    frame->_quarn_backing->extra_buttons[button] = true;
    EventMouseButtonExtraDown event(button, modifiers);
    event._quarn_handle(frame);
}

void _quarn_issue_mouseextraup(Frame::FrameBase* frame, unsigned int button, Flags::Modifier modifiers) {
    frame->_quarn_backing->extra_buttons[button] = false;
    EventMouseButtonExtraUp event(button, modifiers);
    event._quarn_handle(frame);
}

void _quarn_issue_monitors(Frame::FrameBase* frame) {
    EventFrameMonitors event;
    event._quarn_handle(frame);
}

void _quarn_issue_move(Frame::FrameBase* frame, int x, int y) {
    frame->position[0] = x;
    frame->position[1] = y;
    EventFrameMove event(x, y);
    event._quarn_handle(frame);
}

void _quarn_issue_drop(Frame::FrameBase* frame, std::vector<std::string> paths, std::string text, int x, int y) {
    EventFrameDrop event(std::move(paths), std::move(text), x, y);
    event._quarn_handle(frame);
}

void _quarn_issue_mouseldown(Frame::FrameBase* frame, Flags::Modifier modifiers) {
    issue_button<EventMouseButtonLeftDown>(frame, 0, true, modifiers);
}
void _quarn_issue_mousemdown(Frame::FrameBase* frame, Flags::Modifier modifiers) {
    issue_button<EventMouseButtonMiddleDown>(frame, 1, true, modifiers);
}
void _quarn_issue_mouserdown(Frame::FrameBase* frame, Flags::Modifier modifiers) {
    issue_button<EventMouseButtonRightDown>(frame, 2, true, modifiers);
}
void _quarn_issue_mouselup(Frame::FrameBase* frame, Flags::Modifier modifiers) {
    issue_button<EventMouseButtonLeftUp>(frame, 0, false, modifiers);
}
void _quarn_issue_mousemup(Frame::FrameBase* frame, Flags::Modifier modifiers) {
    issue_button<EventMouseButtonMiddleUp>(frame, 1, false, modifiers);
}
void _quarn_issue_mouserup(Frame::FrameBase* frame, Flags::Modifier modifiers) {
    issue_button<EventMouseButtonRightUp>(frame, 2, false, modifiers);
}

void _quarn_issue_gamepadconnection(int id, bool connected) {
    if (!Frame::_quarn_windows) return;
    // The callbacks may destroy frames or make new ones: the windows are
    // listed first and each looked up again before its turn.
    std::vector<Window> windows;
    windows.reserve(Frame::_quarn_windows->size());
    for (const auto& entry : *Frame::_quarn_windows) windows.push_back(entry.first);
    for (const Window window : windows) {
        Frame::FrameBase* const frame = lookup(window);
        if (!frame || !Frame::_quarn_reports(frame, Flags::Report::GAMEPAD)) continue;
        EventGamepadConnection event(id, connected);
        event._quarn_handle(frame);
    }
}

}  // namespace Events
}  // namespace Input
}  // namespace Quarn
