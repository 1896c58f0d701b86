#pragma once

#include <X11/Xlib.h>

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

    /// Presses and releases the key of `keysym` (XK_a, XK_Escape) in `frame`.
    void key(const Frame::FrameBase& frame, KeySym keysym);
    /// Presses the key of `keysym` in `frame` and keeps it held.
    void press_key(const Frame::FrameBase& frame, KeySym keysym);
    /// Releases the key of `keysym` while `frame` has the focus.
    void release_key(const Frame::FrameBase& frame, KeySym keysym);

    /// Moves the pointer to (x, y) in `frame`'s window (a motion event even
    /// when the pointer is there already).
    void move(const Frame::FrameBase& frame, int x, int y);
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

    /// Asks `frame` to close: the WM_DELETE_WINDOW message a window manager
    /// sends for its close button.
    void close(const Frame::FrameBase& frame);

    /// The connection the input goes through, for checks of your own.
    Display* display() const { return display_; }

private:
    Window shown(const Frame::FrameBase& frame);
    void focus(const Frame::FrameBase& frame);
    XPoint on_screen(const Frame::FrameBase& frame, int x, int y);
    void fake_motion(XPoint to);
    void fake_key(const Frame::FrameBase& frame, KeySym keysym, bool press);
    void fake_button(const Frame::FrameBase& frame, int x, int y, unsigned int button, bool press);

    Display* display_;
};

}  // namespace Testing
}  // namespace Quarn
