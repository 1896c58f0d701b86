#pragma once

namespace Quarn {
namespace Flags {

// Every constructor, operator and named constant here is constexpr, so the
// constants are constant-initialized: an application's own namespace-scope
// constant made from them (`const auto kStyle = Style::BORDER | Style::TITLEBAR;`
// in another file) is right whatever order the linker put the files in.
// Built at run time, it could read 0 before this library's initializers ran.

/// The bit set shared by Style, Button, Report and Modifier. Converts to true
/// when any bit is set.
class _quarn_InternalFlag {
public:
    /// True when any bit is set: `if (style & Style::TITLEBAR)`.
    constexpr operator bool() const { return _quarn_flag != 0; }

protected:
    /// Stores `flag` unchanged.
    constexpr explicit _quarn_InternalFlag(unsigned int flag) : _quarn_flag(flag) {}

    unsigned int _quarn_flag;  ///< The bits.
};

/// Title-bar buttons a frame asks for. Combine with `|`, test with `&`.
class Button : public _quarn_InternalFlag {
public:
    /// An empty set.
    constexpr Button() : _quarn_InternalFlag(0) {}
    /// A copy of `other`.
    constexpr Button(const Button& other) = default;
    /// A set holding exactly the bits of `flag`, named or not.
    constexpr Button(unsigned int flag) : _quarn_InternalFlag(flag) {}
    /// Copies the bits of `other`.
    constexpr Button& operator=(const Button& other) = default;

    /// Whether both sets hold the same bits.
    constexpr bool operator==(const Button& val) const { return _quarn_flag == val._quarn_flag; }
    /// Whether the sets differ in any bit.
    constexpr bool operator!=(const Button& val) const { return _quarn_flag != val._quarn_flag; }
    /// The complement of every bit.
    constexpr Button operator~() const { return Button(~_quarn_flag); }

    friend constexpr Button operator|(const Button& val1, const Button& val2);
    friend constexpr Button operator&(const Button& val1, const Button& val2);

    static const Button NONE;      ///< No button (0).
    static const Button MINIMIZE;  ///< A minimize button (1).
    static const Button MAXIMIZE;  ///< A maximize button (2).
    static const Button CLOSE;     ///< A close button (4).
};

/// How a frame's window should look. NOBORDER is a bit of its own: a style is
/// borderless when it lacks BORDER, whatever else it holds.
class Style : public _quarn_InternalFlag {
public:
    /// An empty set.
    constexpr Style() : _quarn_InternalFlag(0) {}
    /// A copy of `other`.
    constexpr Style(const Style& other) = default;
    /// A set holding exactly the bits of `flag`, named or not.
    constexpr Style(unsigned int flag) : _quarn_InternalFlag(flag) {}
    /// Copies the bits of `other`.
    constexpr Style& operator=(const Style& other) = default;

    /// Whether both sets hold the same bits.
    constexpr bool operator==(const Style& val) const { return _quarn_flag == val._quarn_flag; }
    /// Whether the sets differ in any bit.
    constexpr bool operator!=(const Style& val) const { return _quarn_flag != val._quarn_flag; }
    /// The complement of every bit.
    constexpr Style operator~() const { return Style(~_quarn_flag); }

    friend constexpr Style operator|(const Style& val1, const Style& val2);
    friend constexpr Style operator&(const Style& val1, const Style& val2);

    static const Style NONE;       ///< Nothing (0).
    static const Style NOBORDER;   ///< A bit of its own (16), not the absence of BORDER.
    static const Style BORDER;     ///< A border (1).
    static const Style MINI;       ///< A mini frame, with a close button only (2).
    static const Style RESIZABLE;  ///< Resizable by the user (4).
    static const Style TITLEBAR;   ///< A title bar (8).
};

/// What a frame reports beyond the events every frame gets (set_report).
/// Combine with `|`, test with `&`.
class Report : public _quarn_InternalFlag {
public:
    /// An empty set.
    constexpr Report() : _quarn_InternalFlag(0) {}
    /// A copy of `other`.
    constexpr Report(const Report& other) = default;
    /// A set holding exactly the bits of `flag`, named or not.
    constexpr Report(unsigned int flag) : _quarn_InternalFlag(flag) {}
    /// Copies the bits of `other`.
    constexpr Report& operator=(const Report& other) = default;

    /// Whether both sets hold the same bits.
    constexpr bool operator==(const Report& val) const { return _quarn_flag == val._quarn_flag; }
    /// Whether the sets differ in any bit.
    constexpr bool operator!=(const Report& val) const { return _quarn_flag != val._quarn_flag; }
    /// The complement of every bit.
    constexpr Report operator~() const { return Report(~_quarn_flag); }

    friend constexpr Report operator|(const Report& val1, const Report& val2);
    friend constexpr Report operator&(const Report& val1, const Report& val2);

    static const Report NONE;    ///< Nothing beyond the default events (0).
    static const Report WHEEL;   ///< The wheel, as EventMouseScroll (1).
    static const Report RESIZE;  ///< The window's size and state, as EventFrameResize, Minimize, Maximize (2).
    static const Report TEXT;    ///< Typed text, as EventText (4).
    /// The keyboard's auto-repeat as presses alone (8): EventKeyDown with
    /// `repeat` true, without the EventKeyUp X sends before each, so the key
    /// reads held throughout. Frames without it get both, as X sends them.
    /// Remark: a release that arrives with nothing after it waits for the
    /// next event, or 20 ms, to be told from a repeat's, and comes with the
    /// handle() after that (wait() wakes for it).
    static const Report REPEAT;
    static const Report FOCUS;     ///< The keyboard focus coming and going, as EventFrameFocus (16).
    static const Report CROSSING;  ///< The pointer entering and leaving, as EventMouseEnter and Leave (32).
    static const Report REFRESH;   ///< The window to be drawn again, as EventFrameRefresh (64).
    static const Report BUTTONS;   ///< Buttons 8 and up (back, forward), as EventMouseButtonExtraDown and Up (128).
    static const Report MONITORS;  ///< Monitors added, removed or changed, as EventFrameMonitors (256).
    static const Report MOVE;      ///< The window's place on the screen, as EventFrameMove (512).
    /// Joysticks and gamepads coming and going, as EventGamepadConnection
    /// (1024), once the application uses them (Input::get_joysticks). Selects
    /// no X event.
    static const Report GAMEPAD;
    static const Report DROP;  ///< Files and text dropped on the window (XDND), as EventFrameDrop (2048).
};

/// The modifiers held at a key or button event (EventKeyBase::modifiers,
/// EventMouseButtonBase::modifiers). Alt, Super and NumLock are whichever of
/// X's Mod1 to Mod5 the keyboard mapping gives those keys. Combine with `|`,
/// test with `&`: `if (event->modifiers & Modifier::CONTROL)`.
class Modifier : public _quarn_InternalFlag {
public:
    /// An empty set.
    constexpr Modifier() : _quarn_InternalFlag(0) {}
    /// A copy of `other`.
    constexpr Modifier(const Modifier& other) = default;
    /// A set holding exactly the bits of `flag`, named or not.
    constexpr Modifier(unsigned int flag) : _quarn_InternalFlag(flag) {}
    /// Copies the bits of `other`.
    constexpr Modifier& operator=(const Modifier& other) = default;

    /// Whether both sets hold the same bits.
    constexpr bool operator==(const Modifier& val) const { return _quarn_flag == val._quarn_flag; }
    /// Whether the sets differ in any bit.
    constexpr bool operator!=(const Modifier& val) const { return _quarn_flag != val._quarn_flag; }
    /// The complement of every bit.
    constexpr Modifier operator~() const { return Modifier(~_quarn_flag); }

    friend constexpr Modifier operator|(const Modifier& val1, const Modifier& val2);
    friend constexpr Modifier operator&(const Modifier& val1, const Modifier& val2);

    static const Modifier NONE;       ///< No modifier (0).
    static const Modifier SHIFT;      ///< Shift (1).
    static const Modifier CONTROL;    ///< Control (2).
    static const Modifier ALT;        ///< Alt or Meta (4).
    static const Modifier SUPER;      ///< Super or Hyper, the "Windows" key (8).
    static const Modifier CAPS_LOCK;  ///< Caps Lock on (16).
    static const Modifier NUM_LOCK;   ///< Num Lock on (32).
};

// Defined here, after each class is complete, so that every file sees their
// values at compile time (usable in constant expressions and static_assert).
inline constexpr Button Button::NONE{0};
inline constexpr Button Button::MINIMIZE{1};
inline constexpr Button Button::MAXIMIZE{2};
inline constexpr Button Button::CLOSE{4};

inline constexpr Style Style::NONE{0};
inline constexpr Style Style::NOBORDER{0x10};
inline constexpr Style Style::BORDER{1};
inline constexpr Style Style::MINI{2};
inline constexpr Style Style::RESIZABLE{4};
inline constexpr Style Style::TITLEBAR{8};

inline constexpr Report Report::NONE{0};
inline constexpr Report Report::WHEEL{1};
inline constexpr Report Report::RESIZE{2};
inline constexpr Report Report::TEXT{4};
inline constexpr Report Report::REPEAT{8};
inline constexpr Report Report::FOCUS{16};
inline constexpr Report Report::CROSSING{32};
inline constexpr Report Report::REFRESH{64};
inline constexpr Report Report::BUTTONS{128};
inline constexpr Report Report::MONITORS{256};
inline constexpr Report Report::MOVE{512};
inline constexpr Report Report::GAMEPAD{1024};
inline constexpr Report Report::DROP{2048};

inline constexpr Modifier Modifier::NONE{0};
inline constexpr Modifier Modifier::SHIFT{1};
inline constexpr Modifier Modifier::CONTROL{2};
inline constexpr Modifier Modifier::ALT{4};
inline constexpr Modifier Modifier::SUPER{8};
inline constexpr Modifier Modifier::CAPS_LOCK{16};
inline constexpr Modifier Modifier::NUM_LOCK{32};

/// The bits of either operand.
inline constexpr Button operator|(const Button& val1, const Button& val2) {
    return Button(val1._quarn_flag | val2._quarn_flag);
}
/// The bits of both operands.
inline constexpr Button operator&(const Button& val1, const Button& val2) {
    return Button(val1._quarn_flag & val2._quarn_flag);
}
/// The bits of either operand.
inline constexpr Style operator|(const Style& val1, const Style& val2) {
    return Style(val1._quarn_flag | val2._quarn_flag);
}
/// The bits of both operands.
inline constexpr Style operator&(const Style& val1, const Style& val2) {
    return Style(val1._quarn_flag & val2._quarn_flag);
}
/// The bits of either operand.
inline constexpr Report operator|(const Report& val1, const Report& val2) {
    return Report(val1._quarn_flag | val2._quarn_flag);
}
/// The bits of both operands.
inline constexpr Report operator&(const Report& val1, const Report& val2) {
    return Report(val1._quarn_flag & val2._quarn_flag);
}
/// The bits of either operand.
inline constexpr Modifier operator|(const Modifier& val1, const Modifier& val2) {
    return Modifier(val1._quarn_flag | val2._quarn_flag);
}
/// The bits of both operands.
inline constexpr Modifier operator&(const Modifier& val1, const Modifier& val2) {
    return Modifier(val1._quarn_flag & val2._quarn_flag);
}

}  // namespace Flags
}  // namespace Quarn
