#include "quarn/init.h"

#include "quarn/clipboard.h"
#include "quarn/error.h"
#include "quarn/frame/cursors.h"
#include "quarn/frame/drop.h"
#include "quarn/frame/helpers.h"
#include "quarn/frame/pointer_lock.h"
#include "quarn/input/events/wake.h"
#include "quarn/input/gamepad.h"
#include "quarn/input/keyboard.h"
#include "quarn/input/modifiers.h"
#include "quarn/input/repeat.h"
#include "quarn/input/text.h"
#include "quarn/menu/helpers.h"
#include "quarn/monitor.h"
#include "quarn/warning.h"

namespace Quarn {

Display* _quarn_display = nullptr;
bool _quarn_trace = true;

void init() {
    // A second init would leak the first registries and connection.
    if (Frame::_quarn_windows) {
        _quarn_print_warning("Quarn is already started!  Ignoring Quarn::init!");
        return;
    }
    Menuing::_quarn_init();
    Frame::_quarn_init();
    _quarn_display = XOpenDisplay(nullptr);
    if (!_quarn_display) _quarn_print_warning("Cannot open display (cannot connect to X server)!");
    Input::Events::_quarn_wake_init();
}

void deinit() {
    if (_quarn_display) {
        Input::_quarn_text_deinit();
        Input::_quarn_keyboard_deinit();
        Input::_quarn_modifiers_deinit();
        Input::_quarn_repeat_deinit();
        _quarn_clipboard_deinit();
        Frame::_quarn_pointer_lock_deinit();
        Frame::_quarn_drop_deinit();
        _quarn_monitors_deinit();
    }
    Input::Events::_quarn_wake_deinit();
    Input::_quarn_gamepad_deinit();
    Frame::_quarn_free_cursors();
    Frame::_quarn_deinit();
    Menuing::_quarn_deinit();
    if (_quarn_display) {
        XCloseDisplay(_quarn_display);
        // A closed connection must not be reused by a later call.
        _quarn_display = nullptr;
    }
}

void _quarn_require_display(const char* what) {
    if (!_quarn_display) _quarn_throw_error(what);
}

}  // namespace Quarn
