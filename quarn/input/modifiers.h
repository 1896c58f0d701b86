#pragma once

#include <X11/Xlib.h>

#include "quarn/flags.h"

namespace Quarn {
namespace Input {

/// The modifiers an X event's `state` shows held: Shift, Control and Caps
/// Lock from their own bits, Alt, Super and Num Lock from whichever of Mod1
/// to Mod5 the keyboard mapping gives their keys (Alt_L or Meta_L, Super_L or
/// Hyper_L, Num_Lock), not from Mod1 and Mod4 by habit. A table lookup; the
/// mapping is read (one round trip) at the first call on a connection and at
/// the first after it changed.
Flags::Modifier _quarn_modifiers(unsigned int state);

/// The keyboard or modifier mapping changed (a MappingNotify, or XKB's notices
/// once key names selected them): the modifier mapping is read again when
/// next needed.
void _quarn_modifiers_changed();

/// Forgets the mapping of the connection that closes (Quarn::deinit).
void _quarn_modifiers_deinit();

}  // namespace Input
}  // namespace Quarn
