#include "quarn/testing/input.h"

#include <X11/extensions/XTest.h>
#include <poll.h>

#include <chrono>
#include <stdexcept>

#include "quarn/frame/frame.h"
#include "quarn/init.h"
#include "quarn/input/state.h"
#include "quarn/testing/pump.h"

namespace Quarn {
namespace Testing {

// The server Quarn is connected to, once the library is started; $DISPLAY
// before, which a Server made later may change.
Input::Input() : display_(XOpenDisplay(_quarn_display ? DisplayString(_quarn_display) : nullptr)) {
    if (!display_) throw std::runtime_error("Quarn::Testing::Input: cannot connect to the X server");
}

Input::~Input() { XCloseDisplay(display_); }

// The frame's window once the server has it on screen.
Window Input::shown(const Frame::FrameBase& frame) {
    if (!wait_shown(frame))
        throw std::runtime_error("Quarn::Testing::Input: the frame is not shown (call set_show first)");
    return frame._quarn_backing->window;
}

void Input::focus(const Frame::FrameBase& frame) {
    const Window window = shown(frame);
    Window focused = None;
    int revert = 0;
    XGetInputFocus(display_, &focused, &revert);
    if (focused != window) XSetInputFocus(display_, window, RevertToPointerRoot, CurrentTime);
}

void Input::fake_key(const Frame::FrameBase& frame, KeySym keysym, bool press) {
    const KeyCode code = XKeysymToKeycode(display_, keysym);
    if (code == 0) throw std::runtime_error("Quarn::Testing::Input: the keyboard has no key for this key symbol");
    focus(frame);
    XTestFakeKeyEvent(display_, code, press, CurrentTime);
    XSync(display_, False);
}

void Input::key(const Frame::FrameBase& frame, KeySym keysym) {
    fake_key(frame, keysym, true);
    fake_key(frame, keysym, false);
}

void Input::press_key(const Frame::FrameBase& frame, KeySym keysym) { fake_key(frame, keysym, true); }
void Input::release_key(const Frame::FrameBase& frame, KeySym keysym) { fake_key(frame, keysym, false); }

XPoint Input::on_screen(const Frame::FrameBase& frame, int x, int y) {
    int root_x = 0, root_y = 0;
    Window child = None;
    XTranslateCoordinates(display_, shown(frame), DefaultRootWindow(display_), x, y, &root_x, &root_y, &child);
    return XPoint{static_cast<short>(root_x), static_cast<short>(root_y)};
}

void Input::fake_motion(XPoint to) {
    XTestFakeMotionEvent(display_, DefaultScreen(display_), to.x, to.y, CurrentTime);
    XSync(display_, False);
}

void Input::move(const Frame::FrameBase& frame, int x, int y) { fake_motion(on_screen(frame, x, y)); }

void Input::fake_button(const Frame::FrameBase& frame, int x, int y, unsigned int button, bool press) {
    // XTest reports a motion even to the point the pointer is at already.
    // Button events carry no position for the frame, so a press is preceded
    // by a motion there unless the pointer is there and the frame's state has
    // that point already; a release moves the pointer only when it must (a drag).
    const XPoint to = on_screen(frame, x, y);
    Window root = None, child = None;
    int pointer_x = 0, pointer_y = 0, window_x = 0, window_y = 0;
    unsigned int modifiers = 0;
    XQueryPointer(display_, DefaultRootWindow(display_), &root, &child, &pointer_x, &pointer_y, &window_x, &window_y,
                  &modifiers);
    const bool elsewhere = pointer_x != to.x || pointer_y != to.y;
    const int* known = frame.input_state->mouse_position;
    if (elsewhere || (press && (known[0] != x || known[1] != y))) fake_motion(to);
    XTestFakeButtonEvent(display_, button, press, CurrentTime);
    XSync(display_, False);
}

void Input::click(const Frame::FrameBase& frame, int x, int y, unsigned int button) {
    fake_button(frame, x, y, button, true);
    fake_button(frame, x, y, button, false);
}

void Input::press_button(const Frame::FrameBase& frame, int x, int y, unsigned int button) {
    fake_button(frame, x, y, button, true);
}

void Input::release_button(const Frame::FrameBase& frame, int x, int y, unsigned int button) {
    fake_button(frame, x, y, button, false);
}

void Input::close(const Frame::FrameBase& frame) {
    const Window window = frame._quarn_backing->window;
    if (_quarn_display) XSync(_quarn_display, False);
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display_, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display_, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    // An empty event mask delivers the message to the window's creator.
    XSendEvent(display_, window, False, NoEventMask, &event);
    XSync(display_, False);
}

}  // namespace Testing
}  // namespace Quarn
