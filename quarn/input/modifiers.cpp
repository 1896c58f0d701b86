#include "quarn/input/modifiers.h"

#include <X11/keysym.h>

#include <memory>

#include "quarn/init.h"

namespace Quarn {
namespace Input {

namespace {

using Flags::Modifier;

// What each combination of X's eight modifier bits (Shift, Lock, Control,
// Mod1 to Mod5) means; valid while `mapping_read` holds.
Modifier meanings[256];
bool mapping_read = false;

struct FreeModifierMap {
    void operator()(XModifierKeymap* map) const { XFreeModifiermap(map); }
};

// What holding the key `code` means, from the symbols the keyboard mapping
// gives it: the left Alt key often carries Meta_L beside Alt_L, and a key of
// its own may carry Meta_L or Hyper_L alone in its second column.
Modifier meaning_of(KeyCode code) {
    XKeyEvent key{};
    key.display = _quarn_display;
    key.keycode = code;
    Modifier meaning = Modifier::NONE;
    for (int column = 0; column < 4; ++column) {
        switch (XLookupKeysym(&key, column)) {
            case XK_Alt_L:
            case XK_Alt_R:
            case XK_Meta_L:
            case XK_Meta_R: meaning = meaning | Modifier::ALT; break;
            case XK_Super_L:
            case XK_Super_R:
            case XK_Hyper_L:
            case XK_Hyper_R: meaning = meaning | Modifier::SUPER; break;
            case XK_Num_Lock: meaning = meaning | Modifier::NUM_LOCK; break;
            default: break;
        }
    }
    return meaning;
}

// Kept out of line: the lookup stays a few instructions.
[[gnu::noinline]] void read_mapping() {
    // The core protocol fixes the first three bits: Shift, Lock, Control.
    Modifier bit_meaning[8] = {Modifier::SHIFT, Modifier::CAPS_LOCK, Modifier::CONTROL};
    const std::unique_ptr<XModifierKeymap, FreeModifierMap> map(XGetModifierMapping(_quarn_display));
    if (map) {
        for (int bit = Mod1MapIndex; bit <= Mod5MapIndex; ++bit)
            for (int i = 0; i < map->max_keypermod; ++i)
                if (const KeyCode code = map->modifiermap[bit * map->max_keypermod + i])
                    bit_meaning[bit] = bit_meaning[bit] | meaning_of(code);
    }
    // Each combination is a smaller one and its highest bit.
    meanings[0] = Modifier::NONE;
    for (int bit = 0; bit < 8; ++bit)
        for (unsigned int below = 0; below < (1u << bit); ++below)
            meanings[below | (1u << bit)] = meanings[below] | bit_meaning[bit];
    mapping_read = true;
}

}  // namespace

Modifier _quarn_modifiers(unsigned int state) {
    if (!mapping_read) read_mapping();
    // The bits above the eight modifiers are the buttons and the XKB group.
    return meanings[state & 0xFF];
}

// A new key mapping can move Alt to another key code as much as a new
// modifier mapping can move it to another bit.
void _quarn_modifiers_changed() { mapping_read = false; }

void _quarn_modifiers_deinit() { mapping_read = false; }

}  // namespace Input
}  // namespace Quarn
