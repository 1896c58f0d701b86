#pragma once

#include <string>

#include "quarn/input/gamepad.h"

namespace Quarn {
namespace Input {

/// Where one of a gamepad's buttons or axes comes from on the joystick.
struct _quarn_GamepadSource {
    /// What the source is: nothing (the gamepad's button or axis stays at rest), or one of the joystick's.
    enum Kind : unsigned char { NONE, BUTTON, AXIS, HAT };
    Kind kind = NONE;     ///< What the source is.
    int index = 0;        ///< b#, a# or h#: the joystick's button, axis or hat.
    int hat_mask = 0;     ///< The hat's bit (HAT).
    int half = 0;         ///< An axis's positive (+1) or negative (-1) half alone, or all of it (0).
    bool invert = false;  ///< An axis read the other way round (a1~).
};

/// One line of the database: for each gamepad button a source, for each
/// axis a source for all of it or one for each half ("+leftx:b1,-leftx:b2").
struct _quarn_GamepadMapping {
    std::string name;                                    ///< The line's name for the pad.
    _quarn_GamepadSource buttons[GAMEPAD_BUTTON_COUNT];  ///< Indexed by GamepadButton.
    _quarn_GamepadSource axes[GAMEPAD_AXIS_COUNT];       ///< Indexed by GamepadAxis: all of it.
    _quarn_GamepadSource positive[GAMEPAD_AXIS_COUNT];   ///< Its positive half alone (+leftx).
    _quarn_GamepadSource negative[GAMEPAD_AXIS_COUNT];   ///< Its negative half alone (-leftx).
};

/// Parses one line of the database ("GUID,name,a:b0,...,platform:Linux,").
/// False for a line that does not parse, maps nothing, or is for another platform.
bool _quarn_parse_mapping(const std::string& line, std::string* guid, _quarn_GamepadMapping* mapping);

/// The mapping for `guid` (lower-case hex): one added at run time, else the
/// built-in one, else null. The built-in database is parsed at the first call.
const _quarn_GamepadMapping* _quarn_find_mapping(const std::string& guid);

/// Adds the valid lines of `text`, each replacing any for its GUID; returns how many.
int _quarn_add_mappings(const std::string& text);

/// Forgets the mappings added at run time (the built-in ones stay parsed).
void _quarn_forget_added_mappings();

/// Reads `joystick` through `mapping` into `state`.
void _quarn_apply_mapping(const _quarn_GamepadMapping& mapping, const Joystick& joystick, GamepadState* state);

/// The built-in database's Linux lines, generated at build time from
/// data/gamecontrollerdb/gamecontrollerdb.txt.
extern const char* const _quarn_gamecontrollerdb[];
extern const int _quarn_gamecontrollerdb_lines;

}  // namespace Input
}  // namespace Quarn
