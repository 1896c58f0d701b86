#pragma once

#include <string>
#include <utility>
#include <vector>

#include "quarn/flags.h"
#include "quarn/frame/frame.h"

namespace Quarn {
namespace Menuing {
class Menu;
}

namespace Input {
namespace Events {

// Every class's _quarn_handle first runs its base class's version, then calls
// the frame's callback_input overload for its own class: the callbacks of one
// event run from the root EventBase down to the concrete class, each once.

/// Root of all input events. `type` is the code of the concrete class.
class EventBase {
public:
    /// Passes the concrete class's type code up.
    explicit EventBase(int type) : type(type) {}
    /// Delivers the event through its whole class chain onto `frame`.
    virtual void _quarn_handle(Frame::FrameBase* frame) { _quarn_issue(frame, this); }

    const int type;  ///< The concrete class's code: a power of two from 1 to 33554432.

protected:
    /// Calls the frame's callback_input overload for `type_event` with the
    /// frame's input state.
    template <typename type_event>
    void _quarn_issue(Frame::FrameBase* frame, const type_event* me) const {
        frame->callback_input(frame->input_state, me);
    }
};

/// Any key event; `key` is the X key symbol at index 0 (XK_a for A, with or
/// without Shift), `scancode` the physical key and `modifiers` those held.
///
///     if (event->key == XK_s && (event->modifiers & Quarn::Flags::Modifier::CONTROL)) save();
class EventKeyBase : public EventBase {
public:
    /// Passes the concrete class's type code up; no scancode (0), no modifiers.
    EventKeyBase(unsigned int key, int type) : EventKeyBase(key, 0, Flags::Modifier::NONE, type) {}
    /// Passes the concrete class's type code up, with the key's `scancode` and
    /// the `modifiers` held.
    EventKeyBase(unsigned int key, unsigned int scancode, Flags::Modifier modifiers, int type)
        : EventBase(type), key(key), scancode(scancode), modifiers(modifiers) {}
    void _quarn_handle(Frame::FrameBase* frame) override {
        EventBase::_quarn_handle(frame);
        _quarn_issue(frame, this);
    }

    const unsigned int key;  ///< The X key symbol (index 0: independent of Shift).
    /// The X key code (8 to 255): the key's place on the keyboard, whatever
    /// the layout says it types, so a binding by position (W, A, S, D on a US
    /// keyboard) stays under the same fingers on AZERTY. A release that X
    /// never sent (the focus left while the key was held) carries the key code
    /// the keyboard mapping gives its symbol; 0 in an event built without one.
    const unsigned int scancode;
    /// The modifiers held when the event happened, as X reports them: before
    /// this key's own change, so Shift's own press has no SHIFT and its
    /// release has it. NONE in a release that X never sent.
    const Flags::Modifier modifiers;
};

/// A key went down (type 1). `repeat` tells the keyboard's auto-repeat of a
/// held key from a new press.
class EventKeyDown : public EventKeyBase {
public:
    /// Builds the event with its own type code: no scancode, no modifiers, no repeat.
    explicit EventKeyDown(unsigned int key) : EventKeyDown(key, 0, Flags::Modifier::NONE, false) {}
    /// Builds the event with its own type code and every field given.
    EventKeyDown(unsigned int key, unsigned int scancode, Flags::Modifier modifiers, bool repeat)
        : EventKeyBase(key, scancode, modifiers, 1), repeat(repeat) {}
    void _quarn_handle(Frame::FrameBase* frame) override {
        EventKeyBase::_quarn_handle(frame);
        _quarn_issue(frame, this);
    }

    /// True when the key was held already and this press is the keyboard
    /// repeating it. X sends each repeat as a release and a press: frames that
    /// report Flags::Report::REPEAT get the presses alone (the key reads held
    /// throughout), the others the release (an EventKeyUp) before each press.
    /// X marks a repeat only by the release and the press having the same
    /// time, to the millisecond, which no hand but a program's input can match.
    const bool repeat;
};

/// A key went up (type 2).
class EventKeyUp : public EventKeyBase {
public:
    /// Builds the event with its own type code: no scancode, no modifiers.
    explicit EventKeyUp(unsigned int key) : EventKeyBase(key, 2) {}
    /// Builds the event with its own type code, the key's `scancode` and the `modifiers` held.
    EventKeyUp(unsigned int key, unsigned int scancode, Flags::Modifier modifiers)
        : EventKeyBase(key, scancode, modifiers, 2) {}
    void _quarn_handle(Frame::FrameBase* frame) override {
        EventKeyBase::_quarn_handle(frame);
        _quarn_issue(frame, this);
    }
};

/// Any mouse event.
class EventMouseBase : public EventBase {
public:
    /// Passes the concrete class's type code up.
    explicit EventMouseBase(int type) : EventBase(type) {}
    void _quarn_handle(Frame::FrameBase* frame) override {
        EventBase::_quarn_handle(frame);
        _quarn_issue(frame, this);
    }
};

/// Any press or release of a button: the left, middle or right one, or one
/// beyond the wheel (EventMouseButtonExtraBase). The pointer position is in
/// the frame's input state; `modifiers` are the keys held.
class EventMouseButtonBase : public EventMouseBase {
public:
    /// Passes the concrete class's type code up; no modifiers.
    explicit EventMouseButtonBase(int type) : EventMouseButtonBase(type, Flags::Modifier::NONE) {}
    /// Passes the concrete class's type code up, with the `modifiers` held.
    EventMouseButtonBase(int type, Flags::Modifier modifiers) : EventMouseBase(type), modifiers(modifiers) {}
    void _quarn_handle(Frame::FrameBase* frame) override {
        EventMouseBase::_quarn_handle(frame);
        _quarn_issue(frame, this);
    }

    /// The modifiers held at the press or release (Control-click), as X
    /// reports them. NONE in a release that X never sent (the button's window
    /// was hidden while it was held).
    const Flags::Modifier modifiers;
};

/// Press or release of the left button.
class EventMouseButtonLeftBase : public EventMouseButtonBase {
public:
    /// Passes the concrete class's type code up.
    explicit EventMouseButtonLeftBase(int type) : EventMouseButtonBase(type) {}
    /// Passes the concrete class's type code up, with the `modifiers` held.
    EventMouseButtonLeftBase(int type, Flags::Modifier modifiers) : EventMouseButtonBase(type, modifiers) {}
    void _quarn_handle(Frame::FrameBase* frame) override {
        EventMouseButtonBase::_quarn_handle(frame);
        _quarn_issue(frame, this);
    }
};

/// Left button pressed (type 4).
class EventMouseButtonLeftDown : public EventMouseButtonLeftBase {
public:
    /// Builds the event with its own type code; no modifiers.
    EventMouseButtonLeftDown() : EventMouseButtonLeftBase(4) {}
    /// Builds the event with its own type code and the `modifiers` held.
    explicit EventMouseButtonLeftDown(Flags::Modifier modifiers) : EventMouseButtonLeftBase(4, modifiers) {}
    void _quarn_handle(Frame::FrameBase* frame) override {
        EventMouseButtonLeftBase::_quarn_handle(frame);
        _quarn_issue(frame, this);
    }
};

/// Left button released (type 32).
class EventMouseButtonLeftUp : public EventMouseButtonLeftBase {
public:
    /// Builds the event with its own type code; no modifiers.
    EventMouseButtonLeftUp() : EventMouseButtonLeftBase(32) {}
    /// Builds the event with its own type code and the `modifiers` held.
    explicit EventMouseButtonLeftUp(Flags::Modifier modifiers) : EventMouseButtonLeftBase(32, modifiers) {}
    void _quarn_handle(Frame::FrameBase* frame) override {
        EventMouseButtonLeftBase::_quarn_handle(frame);
        _quarn_issue(frame, this);
    }
};

/// Press or release of the middle button.
class EventMouseButtonMiddleBase : public EventMouseButtonBase {
public:
    /// Passes the concrete class's type code up.
    explicit EventMouseButtonMiddleBase(int type) : EventMouseButtonBase(type) {}
    /// Passes the concrete class's type code up, with the `modifiers` held.
    EventMouseButtonMiddleBase(int type, Flags::Modifier modifiers) : EventMouseButtonBase(type, modifiers) {}
    void _quarn_handle(Frame::FrameBase* frame) override {
        EventMouseButtonBase::_quarn_handle(frame);
        _quarn_issue(frame, this);
    }
};

/// Middle button pressed (type 8).
class EventMouseButtonMiddleDown : public EventMouseButtonMiddleBase {
public:
    /// Builds the event with its own type code; no modifiers.
    EventMouseButtonMiddleDown() : EventMouseButtonMiddleBase(8) {}
    /// Builds the event with its own type code and the `modifiers` held.
    explicit EventMouseButtonMiddleDown(Flags::Modifier modifiers) : EventMouseButtonMiddleBase(8, modifiers) {}
    void _quarn_handle(Frame::FrameBase* frame) override {
        EventMouseButtonMiddleBase::_quarn_handle(frame);
        _quarn_issue(frame, this);
    }
};

/// Middle button released (type 64).
class EventMouseButtonMiddleUp : public EventMouseButtonMiddleBase {
public:
    /// Builds the event with its own type code; no modifiers.
    EventMouseButtonMiddleUp() : EventMouseButtonMiddleBase(64) {}
    /// Builds the event with its own type code and the `modifiers` held.
    explicit EventMouseButtonMiddleUp(Flags::Modifier modifiers) : EventMouseButtonMiddleBase(64, modifiers) {}
    void _quarn_handle(Frame::FrameBase* frame) override {
        EventMouseButtonMiddleBase::_quarn_handle(frame);
        _quarn_issue(frame, this);
    }
};

/// Press or release of the right button.
class EventMouseButtonRightBase : public EventMouseButtonBase {
public:
    /// Passes the concrete class's type code up.
    explicit EventMouseButtonRightBase(int type) : EventMouseButtonBase(type) {}
    /// Passes the concrete class's type code up, with the `modifiers` held.
    EventMouseButtonRightBase(int type, Flags::Modifier modifiers) : EventMouseButtonBase(type, modifiers) {}
    void _quarn_handle(Frame::FrameBase* frame) override {
        EventMouseButtonBase::_quarn_handle(frame);
        _quarn_issue(frame, this);
    }
};

/// Right button pressed (type 16).
class EventMouseButtonRightDown : public EventMouseButtonRightBase {
public:
    /// Builds the event with its own type code; no modifiers.
    EventMouseButtonRightDown() : EventMouseButtonRightBase(16) {}
    /// Builds the event with its own type code and the `modifiers` held.
    explicit EventMouseButtonRightDown(Flags::Modifier modifiers) : EventMouseButtonRightBase(16, modifiers) {}
    void _quarn_handle(Frame::FrameBase* frame) override {
        EventMouseButtonRightBase::_quarn_handle(frame);
        _quarn_issue(frame, this);
    }
};

/// Right button released (type 128).
class EventMouseButtonRightUp : public EventMouseButtonRightBase {
public:
    /// Builds the event with its own type code; no modifiers.
    EventMouseButtonRightUp() : EventMouseButtonRightBase(128) {}
    /// Builds the event with its own type code and the `modifiers` held.
    explicit EventMouseButtonRightUp(Flags::Modifier modifiers) : EventMouseButtonRightBase(128, modifiers) {}
    void _quarn_handle(Frame::FrameBase* frame) override {
        EventMouseButtonRightBase::_quarn_handle(frame);
        _quarn_issue(frame, this);
    }
};

/// Wheel turn (type 256): `delta` is (horizontal, vertical). Delivered to
/// frames that report Flags::Report::WHEEL, one per notch.
class EventMouseScroll : public EventMouseBase {
public:
    /// Builds the event with its own type code.
    explicit EventMouseScroll(const int* delta) : EventMouseBase(256), delta{delta[0], delta[1]} {}
    void _quarn_handle(Frame::FrameBase* frame) override {
        EventMouseBase::_quarn_handle(frame);
        _quarn_issue(frame, this);
    }

    int delta[2];  ///< Horizontal, then vertical wheel movement.
};

/// Pointer moved (type 512) to (`x`, `y`) in window pixels, by (`x_rel`,
/// `y_rel`) since the previous move seen by this frame.
class EventMouseMove : public EventMouseBase {
public:
    /// Builds the event with its own type code.
    EventMouseMove(int x, int y, int x_rel, int y_rel) : EventMouseBase(512), x(x), y(y), x_rel(x_rel), y_rel(y_rel) {}
    void _quarn_handle(Frame::FrameBase* frame) override {
        EventMouseBase::_quarn_handle(frame);
        _quarn_issue(frame, this);
    }

    const int x;      ///< New pointer position, window pixels.
    const int y;      ///< New pointer position, window pixels.
    const int x_rel;  ///< Movement since the previous move on this frame.
    const int y_rel;  ///< Movement since the previous move on this frame.
};

/// Any event about the frame's window itself (close, minimize, maximize,
/// resize, focus, refresh).
class EventFrameBase : public EventBase {
public:
    /// Passes the concrete class's type code up.
    explicit EventFrameBase(int type) : EventBase(type) {}
    void _quarn_handle(Frame::FrameBase* frame) override {
        EventBase::_quarn_handle(frame);
        _quarn_issue(frame, this);
    }
};

/// A menu item was chosen (type 1024). Derives from EventBase directly, so it
/// does not reach the EventFrameBase callback. Never delivered on Linux.
class EventFrameMenuItem : public EventBase {
public:
    /// Builds the event with its own type code.
    EventFrameMenuItem(Menuing::Menu* menu, void* optional_data)
        : EventBase(1024), menu(menu), optional_data(optional_data) {}
    void _quarn_handle(Frame::FrameBase* frame) override {
        EventBase::_quarn_handle(frame);
        _quarn_issue(frame, this);
    }

    Menuing::Menu* const menu;  ///< The menu holding the chosen item.
    void* optional_data;        ///< The application's datum for the item.
};

/// The window manager asks to close the window (type 2048). Nothing is closed
/// by the library; the application decides.
class EventFrameClose : public EventFrameBase {
public:
    /// Builds the event with its own type code.
    EventFrameClose() : EventFrameBase(2048) {}
    void _quarn_handle(Frame::FrameBase* frame) override {
        EventFrameBase::_quarn_handle(frame);
        _quarn_issue(frame, this);
    }
};

/// The window was minimized (type 4096). Delivered to frames that report
/// Flags::Report::RESIZE.
class EventFrameMinimize : public EventFrameBase {
public:
    /// Builds the event with its own type code.
    EventFrameMinimize() : EventFrameBase(4096) {}
    void _quarn_handle(Frame::FrameBase* frame) override {
        EventFrameBase::_quarn_handle(frame);
        _quarn_issue(frame, this);
    }
};

/// The window was maximized (type 8192). Delivered to frames that report
/// Flags::Report::RESIZE.
class EventFrameMaximize : public EventFrameBase {
public:
    /// Builds the event with its own type code.
    EventFrameMaximize() : EventFrameBase(8192) {}
    void _quarn_handle(Frame::FrameBase* frame) override {
        EventFrameBase::_quarn_handle(frame);
        _quarn_issue(frame, this);
    }
};

/// The drawing area is now `width` x `height` (type 16384). Delivered to
/// frames that report Flags::Report::RESIZE.
class EventFrameResize : public EventFrameBase {
public:
    /// Builds the event with its own type code.
    EventFrameResize(int width, int height) : EventFrameBase(16384), width(width), height(height) {}
    void _quarn_handle(Frame::FrameBase* frame) override {
        EventFrameBase::_quarn_handle(frame);
        _quarn_issue(frame, this);
    }

    const int width;   ///< New drawing-area width in pixels.
    const int height;  ///< New drawing-area height in pixels.
};

/// One character typed (type 32768), after the EventKeyDown of the key that
/// produced it; a composed character after the key that completes it.
/// Delivered to frames that report Flags::Report::TEXT.
class EventText : public EventBase {
public:
    /// Builds the event for `codepoint`, with its UTF-8 form `text` (at most
    /// four bytes, NUL-terminated).
    EventText(char32_t codepoint, const char* text) : EventBase(32768), codepoint(codepoint), utf8{} {
        for (int i = 0; i < 4 && text[i]; ++i) utf8[i] = text[i];
    }
    void _quarn_handle(Frame::FrameBase* frame) override {
        EventBase::_quarn_handle(frame);
        _quarn_issue(frame, this);
    }

    const char32_t codepoint;  ///< One Unicode scalar value.
    char utf8[5];              ///< The same character in UTF-8, NUL-terminated.
};

/// The keyboard focus came to the frame (`focused` true) or left it (type
/// 65536); only real changes, never twice the same in a row. Delivered to
/// frames that report Flags::Report::FOCUS.
class EventFrameFocus : public EventFrameBase {
public:
    /// Builds the event with its own type code.
    explicit EventFrameFocus(bool focused) : EventFrameBase(65536), focused(focused) {}
    void _quarn_handle(Frame::FrameBase* frame) override {
        EventFrameBase::_quarn_handle(frame);
        _quarn_issue(frame, this);
    }

    const bool focused;  ///< Whether the keys now come to this frame.
};

/// The pointer entered the frame's window at (`x`, `y`), window pixels (type
/// 131072). Delivered to frames that report Flags::Report::CROSSING.
class EventMouseEnter : public EventMouseBase {
public:
    /// Builds the event with its own type code.
    EventMouseEnter(int x, int y) : EventMouseBase(131072), x(x), y(y) {}
    void _quarn_handle(Frame::FrameBase* frame) override {
        EventMouseBase::_quarn_handle(frame);
        _quarn_issue(frame, this);
    }

    const int x;  ///< Where the pointer came in, window pixels.
    const int y;  ///< Where the pointer came in, window pixels.
};

/// The pointer left the frame's window at (`x`, `y`), window pixels, which
/// may lie outside it (type 262144). Delivered to frames that report
/// Flags::Report::CROSSING.
class EventMouseLeave : public EventMouseBase {
public:
    /// Builds the event with its own type code.
    EventMouseLeave(int x, int y) : EventMouseBase(262144), x(x), y(y) {}
    void _quarn_handle(Frame::FrameBase* frame) override {
        EventMouseBase::_quarn_handle(frame);
        _quarn_issue(frame, this);
    }

    const int x;  ///< Where the pointer went, window pixels (outside, unless the window was covered or hidden).
    const int y;  ///< Where the pointer went, window pixels.
};

/// Part of the window must be drawn again: it was shown, uncovered or resized
/// (type 524288). One per series of exposures. Delivered to frames that
/// report Flags::Report::REFRESH.
class EventFrameRefresh : public EventFrameBase {
public:
    /// Builds the event with its own type code.
    EventFrameRefresh() : EventFrameBase(524288) {}
    void _quarn_handle(Frame::FrameBase* frame) override {
        EventFrameBase::_quarn_handle(frame);
        _quarn_issue(frame, this);
    }
};

/// Press or release of a button beyond the wheel: `button` is X's number, 8
/// back and 9 forward on most mice. Delivered to frames that report
/// Flags::Report::BUTTONS.
class EventMouseButtonExtraBase : public EventMouseButtonBase {
public:
    /// Passes the concrete class's type code up, with the `modifiers` held.
    EventMouseButtonExtraBase(unsigned int button, int type, Flags::Modifier modifiers = Flags::Modifier::NONE)
        : EventMouseButtonBase(type, modifiers), button(button) {}
    void _quarn_handle(Frame::FrameBase* frame) override {
        EventMouseButtonBase::_quarn_handle(frame);
        _quarn_issue(frame, this);
    }

    const unsigned int button;  ///< X's button number, 8 and up.
};

/// A button beyond the wheel pressed (type 1048576).
class EventMouseButtonExtraDown : public EventMouseButtonExtraBase {
public:
    /// Builds the event with its own type code.
    explicit EventMouseButtonExtraDown(unsigned int button, Flags::Modifier modifiers = Flags::Modifier::NONE)
        : EventMouseButtonExtraBase(button, 1048576, modifiers) {}
    void _quarn_handle(Frame::FrameBase* frame) override {
        EventMouseButtonExtraBase::_quarn_handle(frame);
        _quarn_issue(frame, this);
    }
};

/// A button beyond the wheel released (type 2097152); exactly once for each
/// press delivered, also when the report was turned off meanwhile.
class EventMouseButtonExtraUp : public EventMouseButtonExtraBase {
public:
    /// Builds the event with its own type code.
    explicit EventMouseButtonExtraUp(unsigned int button, Flags::Modifier modifiers = Flags::Modifier::NONE)
        : EventMouseButtonExtraBase(button, 2097152, modifiers) {}
    void _quarn_handle(Frame::FrameBase* frame) override {
        EventMouseButtonExtraBase::_quarn_handle(frame);
        _quarn_issue(frame, this);
    }
};

/// The display's monitors changed (type 4194304): one was added or removed,
/// switched off or on, or shows another mode; Quarn::get_monitors() answers
/// with the new set. One per run of RandR notifications. Delivered to frames
/// that report Flags::Report::MONITORS. The server sends nothing when a
/// client only defines or deletes a monitor (`xrandr --setmonitor`).
class EventFrameMonitors : public EventFrameBase {
public:
    /// Builds the event with its own type code.
    EventFrameMonitors() : EventFrameBase(4194304) {}
    void _quarn_handle(Frame::FrameBase* frame) override {
        EventFrameBase::_quarn_handle(frame);
        _quarn_issue(frame, this);
    }
};

/// The window moved (type 8388608), whoever moved it: its content's top-left
/// is now at (`x`, `y`) on the root window, decorations left out. A frame
/// inside another frame is told its place in that frame's window instead.
/// Delivered to frames that report Flags::Report::MOVE.
class EventFrameMove : public EventFrameBase {
public:
    /// Builds the event with its own type code.
    EventFrameMove(int x, int y) : EventFrameBase(8388608), x(x), y(y) {}
    void _quarn_handle(Frame::FrameBase* frame) override {
        EventFrameBase::_quarn_handle(frame);
        _quarn_issue(frame, this);
    }

    const int x;  ///< The content's left edge on the root window.
    const int y;  ///< The content's top edge on the root window.
};

/// A joystick or gamepad was connected (`connected` true) or disconnected
/// (type 16777216); `id` is its Input::Joystick::id. Not tied to a window:
/// delivered to every frame that reports Flags::Report::GAMEPAD, from the
/// handle() that notices it, once the application has used the joysticks
/// (Input::get_joysticks). Those found by the first call come without one.
class EventGamepadConnection : public EventBase {
public:
    /// Builds the event with its own type code.
    EventGamepadConnection(int id, bool connected) : EventBase(16777216), id(id), connected(connected) {}
    void _quarn_handle(Frame::FrameBase* frame) override {
        EventBase::_quarn_handle(frame);
        _quarn_issue(frame, this);
    }

    const int id;          ///< The joystick's id.
    const bool connected;  ///< Whether it came (true) or went.
};

/// Files or text were dropped on the frame at (`x`, `y`), window pixels
/// (type 33554432): `paths` for files, `text` for text, the other empty.
/// Delivered to frames that report Flags::Report::DROP, once the source has
/// handed the data over.
class EventFrameDrop : public EventFrameBase {
public:
    /// Builds the event with its own type code.
    EventFrameDrop(std::vector<std::string> paths, std::string text, int x, int y)
        : EventFrameBase(33554432), paths(std::move(paths)), text(std::move(text)), x(x), y(y) {}
    void _quarn_handle(Frame::FrameBase* frame) override {
        EventFrameBase::_quarn_handle(frame);
        _quarn_issue(frame, this);
    }

    /// The files dropped, in the source's order: `file://` URIs as local
    /// paths (percent escapes decoded), any other URI as it came.
    const std::vector<std::string> paths;
    const std::string text;  ///< The text dropped, UTF-8.
    const int x;             ///< Where it was dropped, window pixels.
    const int y;             ///< Where it was dropped, window pixels.
};

}  // namespace Events
}  // namespace Input
}  // namespace Quarn
