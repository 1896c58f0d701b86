#pragma once

#include <string>
#include <vector>

namespace Quarn {
namespace Input {

/// A gamepad's buttons, named by their place on an Xbox pad (A is the bottom
/// face button). Indexes GamepadState::buttons.
enum class GamepadButton {
    A,
    B,
    X,
    Y,
    LEFT_BUMPER,
    RIGHT_BUMPER,
    BACK,
    START,
    GUIDE,
    LEFT_THUMB,
    RIGHT_THUMB,
    DPAD_UP,
    DPAD_RIGHT,
    DPAD_DOWN,
    DPAD_LEFT
};

/// A gamepad's axes. Indexes GamepadState::axes.
enum class GamepadAxis { LEFT_X, LEFT_Y, RIGHT_X, RIGHT_Y, LEFT_TRIGGER, RIGHT_TRIGGER };

constexpr int GAMEPAD_BUTTON_COUNT = 15;  // not an enumerator: X's XI.h defines a macro COUNT
constexpr int GAMEPAD_AXIS_COUNT = 6;

/// A joystick or gamepad as the kernel reports it: its axes, buttons and hats
/// in the order of their evdev codes (the order the mappings' a0, b0, h0 count in).
struct Joystick {
    int id;                     ///< Stable while it stays connected; a device plugged in again gets a new one.
    std::string name;           ///< The device's own name.
    std::string guid;           ///< SDL's 32-hex-digit form (bus, vendor, product, version).
    std::vector<float> axes;    ///< -1 to 1.
    std::vector<bool> buttons;  ///< Whether each is held.
    std::vector<int> hats;      ///< Bits: 1 up, 2 right, 4 down, 8 left.
    bool is_gamepad;            ///< A mapping is known for it: get_gamepad_state reads it.
};

/// A gamepad's state through its mapping.
struct GamepadState {
    bool buttons[GAMEPAD_BUTTON_COUNT];  ///< Indexed by GamepadButton.
    float axes[GAMEPAD_AXIS_COUNT];  ///< Indexed by GamepadAxis; sticks -1 to 1 (down and right positive), triggers 0
                                     ///< to 1.
};

/// The joysticks and gamepads connected now: the kernel's evdev devices
/// (/dev/input/event*) with joystick or gamepad buttons and absolute axes.
/// The first call of this, get_gamepad_state or update_gamepad_mappings finds
/// them and starts following them (inotify on the directory); from then on
/// Input::Events::handle() reads their input without blocking, delivers
/// EventGamepadConnection to the frames that report Flags::Report::GAMEPAD as
/// they come and go, and wait() wakes for them. Before it nothing is opened.
/// A device that cannot be opened (permissions) is left out, and tried again
/// when its permissions change. Needs no display. Costs one open and a few
/// ioctls per device at the first call, none later.
///
///     for (const Quarn::Input::Joystick& pad : Quarn::Input::get_joysticks())
///         if (pad.is_gamepad) use(pad.id);
///
/// Remark: the reference stays valid, the contents change at handle().
const std::vector<Joystick>& get_joysticks();

/// Fills `state` with the gamepad `id`'s buttons and axes read through its
/// mapping and returns true; returns false, leaving `state` as it was, for an
/// id not connected, a joystick with no mapping (is_gamepad false), or a null
/// `state`. No system call.
bool get_gamepad_state(int id, GamepadState* state);

/// Adds mappings in the SDL_GameControllerDB format, one per line
/// ("GUID,name,a:b0,b:b1,...,platform:Linux,"), replacing any for the same
/// GUID, built in or added before. Lines for other platforms and lines that
/// do not parse are skipped. Returns whether any line was taken; false
/// changes nothing. The joysticks connected now follow the new mappings.
/// They last until Quarn::deinit(), which leaves the built-in ones alone.
bool update_gamepad_mappings(const std::string& mappings);

/// Whether the joysticks are in use (one of the three calls above ran): the
/// pump's one branch before it spends anything on them.
extern bool _quarn_gamepads_on;

/// Reads what the devices sent and follows them coming and going; calls
/// `connection` for each joystick connected or disconnected since the last
/// call, once the state is up to date. One poll of the devices when nothing
/// happened. Used by handle().
void _quarn_gamepad_update(void (*connection)(int id, bool connected));

/// A descriptor that polls readable when a device or the device directory has
/// something to read, or -1 while the joysticks are not in use. Used by wait().
int _quarn_gamepad_descriptor();

/// Closes the devices, stops following them and forgets the mappings added
/// at run time (called by Quarn::deinit); the next call of the three starts again.
void _quarn_gamepad_deinit();

}  // namespace Input
}  // namespace Quarn
