#pragma once

#include <memory>
#include <string>

namespace Quarn {
namespace Testing {

/// A virtual gamepad with an Xbox 360 pad's buttons (BTN_SOUTH, BTN_EAST,
/// BTN_NORTH, BTN_WEST, BTN_TL, BTN_TR, BTN_SELECT, BTN_START, BTN_MODE,
/// BTN_THUMBL, BTN_THUMBR) and axes (ABS_X, ABS_Y, ABS_RX, ABS_RY from -32768
/// to 32767; ABS_Z, ABS_RZ from 0 to 255; ABS_HAT0X, ABS_HAT0Y from -1 to 1),
/// all at rest when it is plugged in. It is plugged in when built and
/// unplugged when destroyed; run the pump (pump_until) for the application
/// to see either, and the input between.
///
///     Quarn::Testing::Gamepad pad("Pad", 3, 0x045e, 0x028e, 0x0114);
///     pad.button(BTN_SOUTH, true);
///     Quarn::Testing::pump_until([&] { return state_of(pad_id).buttons[0]; });
///
/// Where /dev/uinput can be opened for writing (and QUARN_GAMEPAD_STAND_IN is
/// unset), it is a kernel device made through uinput, which the application
/// finds in /dev/input like any pad. Elsewhere it is a stand-in: the library
/// is pointed at a private directory, where each pad is a file whose ioctls
/// and reads the kit answers from the pad's state, and whose input comes
/// through a pipe; a node whose permissions allow no reading cannot be opened
/// there, as for a user without the rights. Throws std::runtime_error where
/// neither can be made, std::invalid_argument for a code the pad lacks.
class Gamepad {
public:
    /// Plugs in a pad called `name` with the bus, vendor, product and version
    /// given (its GUID's parts; an Xbox 360 pad is 3, 0x045e, 0x028e, 0x0114).
    Gamepad(const std::string& name, unsigned short bus, unsigned short vendor, unsigned short product,
            unsigned short version);
    /// Unplugs it.
    ~Gamepad();
    Gamepad(const Gamepad&) = delete;
    Gamepad& operator=(const Gamepad&) = delete;

    /// Presses (`down` true) or releases a button: an evdev code, BTN_SOUTH, BTN_START, ...
    void button(int code, bool down);
    /// Moves an axis to `value`: ABS_X, ABS_Y, ABS_RX, ABS_RY from -32768 to
    /// 32767; ABS_Z, ABS_RZ from 0 to 255; ABS_HAT0X, ABS_HAT0Y from -1 to 1.
    /// Values outside the range are clamped.
    void axis(int code, int value);

    /// Whether this process's pads go through uinput (else the stand-in).
    static bool uses_uinput();

    struct Pad;

private:
    std::unique_ptr<Pad> pad_;
};

}  // namespace Testing
}  // namespace Quarn
