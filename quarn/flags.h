#pragma once

namespace Quarn {
namespace Flags {

/// The bit set shared by Style, Button and Report. Converts to true when any bit is set.
class _quarn_InternalFlag {
public:
    /// True when any bit is set: `if (style & Style::TITLEBAR)`.
    operator bool() const { return _quarn_flag != 0; }

protected:
    /// Stores `flag` unchanged.
    explicit _quarn_InternalFlag(unsigned int flag) : _quarn_flag(flag) {}

    unsigned int _quarn_flag;  ///< The bits.
};

/// Title-bar buttons a frame asks for. Combine with `|`, test with `&`.
class Button : public _quarn_InternalFlag {
public:
    /// An empty set.
    Button() : _quarn_InternalFlag(0) {}
    /// A copy of `other`.
    Button(const Button& other) = default;
    /// A set holding exactly the bits of `flag`, named or not.
    Button(unsigned int flag) : _quarn_InternalFlag(flag) {}
    /// Copies the bits of `other`.
    Button& operator=(const Button& other) = default;

    /// Whether both sets hold the same bits.
    bool operator==(const Button& val) const { return _quarn_flag == val._quarn_flag; }
    /// Whether the sets differ in any bit.
    bool operator!=(const Button& val) const { return _quarn_flag != val._quarn_flag; }
    /// The complement of every bit.
    Button operator~() const { return Button(~_quarn_flag); }

    friend Button operator|(const Button& val1, const Button& val2);
    friend Button operator&(const Button& val1, const Button& val2);

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
    Style() : _quarn_InternalFlag(0) {}
    /// A copy of `other`.
    Style(const Style& other) = default;
    /// A set holding exactly the bits of `flag`, named or not.
    Style(unsigned int flag) : _quarn_InternalFlag(flag) {}
    /// Copies the bits of `other`.
    Style& operator=(const Style& other) = default;

    /// Whether both sets hold the same bits.
    bool operator==(const Style& val) const { return _quarn_flag == val._quarn_flag; }
    /// Whether the sets differ in any bit.
    bool operator!=(const Style& val) const { return _quarn_flag != val._quarn_flag; }
    /// The complement of every bit.
    Style operator~() const { return Style(~_quarn_flag); }

    friend Style operator|(const Style& val1, const Style& val2);
    friend Style operator&(const Style& val1, const Style& val2);

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
    Report() : _quarn_InternalFlag(0) {}
    /// A copy of `other`.
    Report(const Report& other) = default;
    /// A set holding exactly the bits of `flag`, named or not.
    Report(unsigned int flag) : _quarn_InternalFlag(flag) {}
    /// Copies the bits of `other`.
    Report& operator=(const Report& other) = default;

    /// Whether both sets hold the same bits.
    bool operator==(const Report& val) const { return _quarn_flag == val._quarn_flag; }
    /// Whether the sets differ in any bit.
    bool operator!=(const Report& val) const { return _quarn_flag != val._quarn_flag; }
    /// The complement of every bit.
    Report operator~() const { return Report(~_quarn_flag); }

    friend Report operator|(const Report& val1, const Report& val2);
    friend Report operator&(const Report& val1, const Report& val2);

    static const Report NONE;    ///< Nothing beyond the default events (0).
    static const Report WHEEL;   ///< The wheel, as EventMouseScroll (1).
    static const Report RESIZE;  ///< The window's size and state, as EventFrameResize, Minimize, Maximize (2).
    static const Report TEXT;    ///< Typed text, as EventText (4).

    static const Report FOCUS;     ///< The keyboard focus coming and going, as EventFrameFocus (16).
    static const Report CROSSING;  ///< The pointer entering and leaving, as EventMouseEnter and Leave (32).
    static const Report REFRESH;   ///< The window to be drawn again, as EventFrameRefresh (64).
    static const Report BUTTONS;   ///< Buttons 8 and up (back, forward), as EventMouseButtonExtraDown and Up (128).
};

/// The bits of either operand.
inline Button operator|(const Button& val1, const Button& val2) { return Button(val1._quarn_flag | val2._quarn_flag); }
/// The bits of both operands.
inline Button operator&(const Button& val1, const Button& val2) { return Button(val1._quarn_flag & val2._quarn_flag); }
/// The bits of either operand.
inline Style operator|(const Style& val1, const Style& val2) { return Style(val1._quarn_flag | val2._quarn_flag); }
/// The bits of both operands.
inline Style operator&(const Style& val1, const Style& val2) { return Style(val1._quarn_flag & val2._quarn_flag); }
/// The bits of either operand.
inline Report operator|(const Report& val1, const Report& val2) { return Report(val1._quarn_flag | val2._quarn_flag); }
/// The bits of both operands.
inline Report operator&(const Report& val1, const Report& val2) { return Report(val1._quarn_flag & val2._quarn_flag); }

}  // namespace Flags
}  // namespace Quarn
