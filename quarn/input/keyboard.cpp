#include "quarn/input/keyboard.h"

#include <X11/XKBlib.h>
#include <X11/Xlib-xcb.h>
#include <xkbcommon/xkbcommon-x11.h>
#include <xkbcommon/xkbcommon.h>

#include <cstdarg>
#include <cstdint>
#include <memory>
#include <string>

#include "quarn/init.h"
#include "quarn/warning.h"

namespace Quarn {
namespace Input {

int _quarn_keyboard_event_type = -1;

namespace {

// What a key gives, read from an xkbcommon keymap and state alone: nothing
// here knows where the keymap came from.

bool is_text(char32_t codepoint) { return codepoint >= 0x20 && !(codepoint >= 0x7F && codepoint <= 0x9F); }

std::string symbol_name(xkb_keysym_t symbol) {
    char buffer[64] = {};
    if (is_text(xkb_keysym_to_utf32(symbol)) && xkb_keysym_to_utf8(symbol, buffer, sizeof buffer) > 0) return buffer;
    if (xkb_keysym_get_name(symbol, buffer, sizeof buffer) < 0) return {};
    return buffer;
}

// The first symbol of `key`'s first level in the layout `state` gives it:
// the group in effect, or the key's only one (function keys often exist in
// the first group alone).
std::string name_in(xkb_keymap* keymap, xkb_state* state, xkb_keycode_t key) {
    const xkb_layout_index_t layout = xkb_state_key_get_layout(state, key);
    if (layout == XKB_LAYOUT_INVALID) return {};
    const xkb_keysym_t* symbols = nullptr;
    if (xkb_keymap_key_get_syms_by_level(keymap, key, layout, 0, &symbols) < 1) return {};
    return symbol_name(symbols[0]);
}

// The lowest key code that gives `wanted` at the lowest level; 0 for none.
xkb_keycode_t code_in(xkb_keymap* keymap, xkb_state* state, xkb_keysym_t wanted) {
    xkb_keycode_t found = 0;
    xkb_level_index_t found_level = XKB_LEVEL_INVALID;
    const xkb_keycode_t last = xkb_keymap_max_keycode(keymap);
    for (xkb_keycode_t key = xkb_keymap_min_keycode(keymap); key <= last && found_level > 0; ++key) {
        const xkb_layout_index_t layout = xkb_state_key_get_layout(state, key);
        if (layout == XKB_LAYOUT_INVALID) continue;
        const xkb_level_index_t levels = xkb_keymap_num_levels_for_key(keymap, key, layout);
        for (xkb_level_index_t level = 0; level < levels && level < found_level; ++level) {
            const xkb_keysym_t* symbols = nullptr;
            const int count = xkb_keymap_key_get_syms_by_level(keymap, key, layout, level, &symbols);
            for (int i = 0; i < count && found_level != level; ++i) {
                if (symbols[i] != wanted) continue;
                found = key;
                found_level = level;
            }
        }
    }
    return found;
}

// Where the keymap comes from: the X server, through libxkbcommon-x11 on
// the XCB side of the library's connection.

struct Unref {
    void operator()(xkb_context* context) const { xkb_context_unref(context); }
    void operator()(xkb_keymap* keymap) const { xkb_keymap_unref(keymap); }
    void operator()(xkb_state* state) const { xkb_state_unref(state); }
};

std::unique_ptr<xkb_context, Unref> context;
std::unique_ptr<xkb_keymap, Unref> keymap;
int32_t device = -1;
// Whether the server's notifications keep `keymap` current; where they
// cannot be selected, it is read again at every call.
bool watched = false;
bool stale = false;
bool unreadable = false;  // warned once, asked no more

void warn_unreadable() {
    unreadable = true;
    _quarn_print_warning("Cannot read the keyboard's layout from the X server!");
}

// Selects the keymap's change notifications before the first reading, so
// that no change can fall between the two.
bool watch(xcb_connection_t* connection) {
    if (_quarn_keyboard_event_type >= 0) return true;
    uint8_t event_base = 0;
    if (!xkb_x11_setup_xkb_extension(connection, XKB_X11_MIN_MAJOR_XKB_VERSION, XKB_X11_MIN_MINOR_XKB_VERSION,
                                     XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS, nullptr, nullptr, &event_base, nullptr))
        return false;
    const unsigned int changes = XkbNewKeyboardNotifyMask | XkbMapNotifyMask;
    watched = XkbSelectEvents(_quarn_display, XkbUseCoreKbd, changes, changes);
    _quarn_keyboard_event_type = event_base;
    return true;
}

// The server's keymap, read again when it changed; null (warned once) where
// it cannot be read.
xkb_keymap* current_keymap(xcb_connection_t* connection) {
    if (unreadable) return nullptr;
    if (keymap && !stale) return keymap.get();
    if (!watch(connection)) {
        warn_unreadable();
        return nullptr;
    }
    if (!context) {
        // A keymap from the server needs no files and no environment; its
        // problems are reported by the warning, not on standard error.
        context.reset(xkb_context_new(
            static_cast<xkb_context_flags>(XKB_CONTEXT_NO_DEFAULT_INCLUDES | XKB_CONTEXT_NO_ENVIRONMENT_NAMES)));
        if (context) xkb_context_set_log_fn(context.get(), [](xkb_context*, xkb_log_level, const char*, va_list) {});
    }
    device = xkb_x11_get_core_keyboard_device_id(connection);
    xkb_keymap* read = context && device >= 0 ? xkb_x11_keymap_new_from_device(context.get(), connection, device,
                                                                               XKB_KEYMAP_COMPILE_NO_FLAGS)
                                              : nullptr;
    if (!read) {
        warn_unreadable();
        return nullptr;
    }
    keymap.reset(read);
    stale = !watched;
    return read;
}

// The keymap with the server's state (the group in effect), for one answer.
struct Keyboard {
    xkb_keymap* keymap = nullptr;
    std::unique_ptr<xkb_state, Unref> state;
};

Keyboard read_keyboard() {
    xcb_connection_t* connection = XGetXCBConnection(_quarn_display);
    Keyboard keyboard;
    keyboard.keymap = current_keymap(connection);
    if (!keyboard.keymap) return keyboard;
    keyboard.state.reset(xkb_x11_state_new_from_device(keyboard.keymap, connection, device));
    if (!keyboard.state) warn_unreadable();
    return keyboard;
}

}  // namespace

std::string key_name(unsigned int scancode) {
    _quarn_require_display("Cannot name a key without a display connection!");
    const Keyboard keyboard = read_keyboard();
    if (!keyboard.state) return {};
    return name_in(keyboard.keymap, keyboard.state.get(), scancode);
}

unsigned int key_scancode(int key) {
    _quarn_require_display("Cannot find a key's scancode without a display connection!");
    if (key <= 0) return 0;
    const Keyboard keyboard = read_keyboard();
    if (!keyboard.state) return 0;
    return code_in(keyboard.keymap, keyboard.state.get(), static_cast<xkb_keysym_t>(key));
}

// Only marked here: the pump makes no round trip for it, and a layout switch
// (several notifications) is read once, at the next call that needs it.
// Xlib's own copy of the keymap, which the pump's XLookupKeysym reads, is
// marked out of date by Xlib itself as it takes these in.
void _quarn_keyboard_changed(XEvent& event) {
    const int kind = reinterpret_cast<const XkbEvent&>(event).any.xkb_type;
    if (kind == XkbNewKeyboardNotify || kind == XkbMapNotify) stale = true;
}

void _quarn_keyboard_deinit() {
    keymap.reset();
    context.reset();
    device = -1;
    watched = false;
    stale = false;
    unreadable = false;
    _quarn_keyboard_event_type = -1;
}

}  // namespace Input
}  // namespace Quarn
