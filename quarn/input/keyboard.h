#pragma once

#include <X11/Xlib.h>

#include <string>

namespace Quarn {
namespace Input {

/// What the key of `scancode` (the X key code, 8 to 255) types in the
/// keyboard's current layout and group, without modifiers, as UTF-8: key code
/// 52, "z" on a US layout, gives "y" on a German one, so a settings screen can
/// show a key bound by position under the name the user sees on it. A key that
/// types nothing (or only a control character) gives its key symbol's name:
/// "Escape", "F1", "Shift_L", "Return", a dead key's "dead_circumflex". Empty
/// for a key code without a symbol.
///
/// The first call of key_name or key_scancode reads the keymap from the server
/// (a few round trips) and selects its change notifications, which
/// Input::Events::handle() then receives, so a layout switched meanwhile
/// (setxkbmap, the desktop's layout menu) is read again at the next call. Each
/// call asks the server for the current group (one round trip). An
/// application that never calls these selects nothing. Needs an open display
/// (refused through the error routine otherwise); where the server's keymap
/// cannot be read, prints a warning once and returns an empty string.
///
///     bindings.forward = 25;  // where W is on a US keyboard: Z on a French one
///     label = "Forward: " + Quarn::Input::key_name(bindings.forward);
std::string key_name(unsigned int scancode);

/// The scancode (X key code) of the key that gives the key symbol `key`
/// (XK_w, XK_Escape, as the events' `key`) in the keyboard's current layout
/// and group: from a key's first level if any key has it there (XK_less is the
/// key beside left Shift, not Shift and comma), else from a higher one (XK_1
/// on a French layout, where it needs Shift); the lowest such key code. 0 when
/// no key gives it. Costs what key_name costs, and follows the layout as it
/// does; where the keymap cannot be read, warns once and returns 0.
unsigned int key_scancode(int key);

/// The XKB extension's event type once key_name or key_scancode selected the
/// keymap's notifications; -1 (never an event's type) before.
extern int _quarn_keyboard_event_type;

/// Takes an event of the XKB extension (the keymap changed: it is read again
/// at the next key_name or key_scancode, and Xlib's own copy refreshed).
void _quarn_keyboard_changed(XEvent& event);

/// Whether `event` is the XKB extension's, which the event pump hands here
/// before anything else: its `xany.window` holds a time, not a window. One
/// comparison for every other event.
inline bool _quarn_keyboard_event(XEvent& event) {
    if (event.type != _quarn_keyboard_event_type) return false;
    _quarn_keyboard_changed(event);
    return true;
}

/// Frees the keymap and forgets the selection (Quarn::deinit).
void _quarn_keyboard_deinit();

}  // namespace Input
}  // namespace Quarn
