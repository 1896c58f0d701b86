#pragma once

namespace Quarn {
namespace Flags {

/// The bit set shared by Style and Button. Converts to true when any bit is set.
class _quarn_InternalFlag {
public:
    operator bool() const { return _quarn_flag != 0; }

protected:
    explicit _quarn_InternalFlag(unsigned int flag) : _quarn_flag(flag) {}

    unsigned int _quarn_flag;
};

/// Title-bar buttons a frame asks for. Combine with `|`, test with `&`.
class Button : public _quarn_InternalFlag {
public:
    /// An empty set.
    Button() : _quarn_InternalFlag(0) {}
    Button(const Button& other) = default;
    /// A set holding exactly the bits of `flag`, named or not.
    Button(unsigned int flag) : _quarn_InternalFlag(flag) {}
    Button& operator=(const Button& other) = default;

    bool operator==(const Button& val) const { return _quarn_flag == val._quarn_flag; }
    bool operator!=(const Button& val) const { return _quarn_flag != val._quarn_flag; }
    Button operator~() const { return Button(~_quarn_flag); }

    friend Button operator|(const Button& val1, const Button& val2);
    friend Button operator&(const Button& val1, const Button& val2);

    static const Button NONE;
    static const Button MINIMIZE;
    static const Button MAXIMIZE;
    static const Button CLOSE;
};

/// How a frame's window should look. NOBORDER is a bit of its own: a style is
/// borderless when it lacks BORDER, whatever else it holds.
class Style : public _quarn_InternalFlag {
public:
    /// An empty set.
    Style() : _quarn_InternalFlag(0) {}
    Style(const Style& other) = default;
    /// A set holding exactly the bits of `flag`, named or not.
    Style(unsigned int flag) : _quarn_InternalFlag(flag) {}
    Style& operator=(const Style& other) = default;

    bool operator==(const Style& val) const { return _quarn_flag == val._quarn_flag; }
    bool operator!=(const Style& val) const { return _quarn_flag != val._quarn_flag; }
    Style operator~() const { return Style(~_quarn_flag); }

    friend Style operator|(const Style& val1, const Style& val2);
    friend Style operator&(const Style& val1, const Style& val2);

    static const Style NONE;
    static const Style NOBORDER;
    static const Style BORDER;
    static const Style MINI;
    static const Style RESIZABLE;
    static const Style TITLEBAR;
};

/// The bits of either operand.
inline Button operator|(const Button& val1, const Button& val2) { return Button(val1._quarn_flag | val2._quarn_flag); }
/// The bits of both operands.
inline Button operator&(const Button& val1, const Button& val2) { return Button(val1._quarn_flag & val2._quarn_flag); }
/// The bits of either operand.
inline Style operator|(const Style& val1, const Style& val2) { return Style(val1._quarn_flag | val2._quarn_flag); }
/// The bits of both operands.
inline Style operator&(const Style& val1, const Style& val2) { return Style(val1._quarn_flag & val2._quarn_flag); }

}  // namespace Flags
}  // namespace Quarn
