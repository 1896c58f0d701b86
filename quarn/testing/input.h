#pragma once

#include <X11/Xlib.h>

#include <string>
#include <utility>
#include <vector>

#include "quarn/flags.h"

namespace Quarn {
namespace Frame {
class FrameBase;
}

namespace Testing {

/// Sends input to frames the way a user does: keys, buttons and pointer
/// motion through XTest, and close requests as a window manager sends them,
/// over a connection of its own to the server Quarn is connected to ($DISPLAY
/// when Quarn::init() has not run yet). Every call returns once the server has
/// processed the input; run the pump (pump_until) to deliver it. The frame
/// must be shown; keys first give it the keyboard focus, and pointer input
/// lands on whatever window is on top at that point of the screen.
///
///     Quarn::Testing::Input input;
///     input.key(frame, XK_a);
///     Quarn::Testing::pump_until([&] { return frame.typed == "a"; });
///
/// Throws std::runtime_error when there is no display, the frame never
/// becomes viewable, or the keyboard has no key for a key symbol.
class Input {
public:
    Input();
    ~Input();
    Input(const Input&) = delete;
    Input& operator=(const Input&) = delete;

    /// Presses and releases the key of `keysym` (XK_a, XK_Escape, or one the
    /// keymap lacks, such as XK_dead_acute: see type) in `frame`.
    void key(const Frame::FrameBase& frame, KeySym keysym);
    /// Presses and releases the key of `keysym` in `frame` with `modifiers`
    /// held, as a user does: Control, Shift, Alt and Super (their left keys,
    /// wherever the modifier mapping puts them) go down in that order before
    /// the key and up in the reverse order after it; Caps Lock and Num Lock,
    /// when they are off, are turned on before and off again after.
    ///
    ///     input.key(frame, XK_s, Quarn::Flags::Modifier::CONTROL);   // Ctrl+S
    void key(const Frame::FrameBase& frame, KeySym keysym, Flags::Modifier modifiers);
    /// Presses the key of `keysym` in `frame` and keeps it held.
    void press_key(const Frame::FrameBase& frame, KeySym keysym);
    /// Releases the key of `keysym` while `frame` has the focus.
    void release_key(const Frame::FrameBase& frame, KeySym keysym);

    /// Moves the pointer to (x, y) in `frame`'s window (a motion event even
    /// when the pointer is there already).
    void move(const Frame::FrameBase& frame, int x, int y);
    /// Moves the pointer by (dx, dy) from where it is, as a mouse does: the
    /// motion a frame that holds the pointer (set_pointer_locked) gets. The
    /// other calls here move the pointer to a point, which XInput2 reports
    /// as a position: use only this one while a frame holds the pointer.
    void move_by(int dx, int dy);
    /// Moves the pointer to (x, y) in `frame` and presses and releases
    /// `button` (1 left, 2 middle, 3 right, 4 and 5 the wheel). Button events
    /// carry no position, so the frame first gets a motion event at (x, y),
    /// also when the pointer rests there already (a frame created under it);
    /// only when the frame's state holds that point already is none sent.
    void click(const Frame::FrameBase& frame, int x, int y, unsigned int button = Button1);
    /// click's first half: the pointer to (x, y) in `frame` (with click's
    /// motion event), then `button` pressed and held.
    void press_button(const Frame::FrameBase& frame, int x, int y, unsigned int button = Button1);
    /// The pointer to (x, y) in `frame` (a drag, when it moved), then `button` released.
    void release_button(const Frame::FrameBase& frame, int x, int y, unsigned int button = Button1);

    /// Types `utf8` into `frame`, a character at a time, as key presses and
    /// releases (with Shift where the keyboard has the character there). A
    /// character or key symbol the keymap lacks is put on a spare keycode
    /// first, as xdotool does, with and without Shift alike, so it arrives
    /// as asked ("É" as "É", not "é"); the keymap is restored when the Input goes.
    void type(const Frame::FrameBase& frame, const std::string& utf8);
    /// Turns the wheel over (x, y) in `frame`: `notches` up (positive) or
    /// down, then `sideways` right (positive) or left, a press and release of
    /// X button 4, 5, 7 or 6 each.
    void scroll(const Frame::FrameBase& frame, int x, int y, int notches, int sideways = 0);

    /// @name As a window manager's buttons do
    /// The requests a manager's own controls make: resize through
    /// _NET_MOVERESIZE_WINDOW (a plain configure without a manager), maximize
    /// through _NET_WM_STATE, minimize as XIconifyWindow, restore by taking
    /// back the maximized state and activating the window as a task bar does
    /// (_NET_ACTIVE_WINDOW; mapping it again without a manager). Each returns
    /// once the server has the request; the manager acts on it soon after.
    //@{
    void resize(const Frame::FrameBase& frame, int width, int height);
    void maximize(const Frame::FrameBase& frame);
    void minimize(const Frame::FrameBase& frame);
    void restore(const Frame::FrameBase& frame);
    //@}

    /// Asks `frame` to close: the WM_DELETE_WINDOW message a window manager
    /// sends for its close button.
    void close(const Frame::FrameBase& frame);

    /// What a drag ended with, as the source saw it.
    struct Drag {
        bool aware = false;      ///< The window said it takes drops (XdndAware).
        bool accepted = false;   ///< Its XdndStatus accepted the drop.
        bool asked = false;      ///< It asked for the data (a SelectionRequest).
        bool finished = false;   ///< Its XdndFinished came.
        bool succeeded = false;  ///< The XdndFinished said the data were taken.
    };
    /// How the source ends the drag.
    enum class DragEnd {
        AS_USUAL,     ///< Drops where accepted, leaves (XdndLeave) elsewhere; hands the data over.
        DROP_ANYWAY,  ///< Drops also where it was not accepted, or the window is not aware.
        SILENT,       ///< Drops, then never answers the request for the data.
        VANISH,       ///< Drops, then destroys its window when asked for the data.
    };

    /// @name As a drag source does (XDND version 5)
    /// What a file manager or an editor does when the user drags files or
    /// text over `frame` and lets go at (x, y): XdndEnter, XdndPosition, then
    /// XdndDrop once the frame accepts (XdndLeave where it does not), the
    /// data handed over when the frame asks (the source owns XdndSelection
    /// through an unmapped window of this connection), until XdndFinished.
    /// drag_files offers text/uri-list, each path as a `file://` URI with its
    /// bytes beyond letters, digits, "-._~/" percent-encoded; drag_text
    /// offers text/plain;charset=utf-8, UTF8_STRING, text/plain and
    /// COMPOUND_TEXT (more than three: listed in XdndTypeList). Data larger
    /// than 256 KiB are handed over in pieces (ICCCM's INCR). Where Quarn
    /// runs in this process its pump runs while the source waits, so the
    /// frame's EventFrameDrop is delivered before the call returns. Each
    /// answer is waited for at most 5 seconds. The window need not report
    /// DROP: the result says what it answered.
    //@{
    Drag drag_files(const Frame::FrameBase& frame, const std::vector<std::string>& paths, int x = 10, int y = 10);
    Drag drag_text(const Frame::FrameBase& frame, const std::string& utf8, int x = 10, int y = 10);
    /// The data `data` offered in the forms `types` (MIME types or atom
    /// names; the same bytes for each), ended as `end` says.
    Drag drag(const Frame::FrameBase& frame, const std::vector<std::string>& types, const std::string& data, int x,
              int y, DragEnd end = DragEnd::AS_USUAL);
    /// The same onto any client's top-level window, (x, y) in that window.
    Drag drag(Window window, const std::vector<std::string>& types, const std::string& data, int x, int y,
              DragEnd end = DragEnd::AS_USUAL);
    //@}

    /// Switches the server's keyboard to `layout` for every client, as the
    /// user's `setxkbmap -layout` does: "us", "de", "fr", or "us,de" for two
    /// groups. Needs the setxkbmap command (Debian x11-xkb-utils); throws
    /// std::runtime_error when it is missing or refuses the layout. Returns
    /// once the server has the new keymap: this connection's copy follows at
    /// once (key, type), the application's at its next pump. Keycodes lent
    /// to missing key symbols are forgotten with the old keymap. The layout
    /// stays for the server's lifetime: put "us" back for later tests.
    void set_layout(const std::string& layout);

    /// The connection the input goes through, for checks of your own.
    Display* display() const { return display_; }

private:
    Window shown(const Frame::FrameBase& frame);
    void focus(const Frame::FrameBase& frame);
    XPoint on_screen(const Frame::FrameBase& frame, int x, int y);
    void fake_motion(XPoint to);
    void send_key(KeyCode code, bool press);
    void fake_key(const Frame::FrameBase& frame, KeySym keysym, bool press);
    void fake_button(const Frame::FrameBase& frame, int x, int y, unsigned int button, bool press);
    KeyCode keycode_for(KeySym keysym, bool& shifted);
    void send_wm_state(Window window, long action);

    Display* display_;
    std::vector<std::pair<KeySym, KeyCode>> borrowed_;  // spare keycodes lent to key symbols, emptied at the end
    KeyCode last_released_ = 0;                         // the key released last, while no press followed
};

}  // namespace Testing
}  // namespace Quarn
