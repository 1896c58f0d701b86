#include "quarn/input/events/releases.h"

#include <algorithm>
#include <bitset>
#include <vector>

#include "quarn/frame/frame.h"
#include "quarn/frame/helpers.h"
#include "quarn/init.h"
#include "quarn/input/events/events.h"
#include "quarn/input/state.h"

namespace Quarn {
namespace Input {
namespace Events {

namespace {

// A release already marked in its frame's state and not yet delivered. The
// window, not the frame, is kept: a callback may destroy the frame meanwhile.
struct Release {
    Window window;
    int key;              // for keys
    unsigned int button;  // X's number (1 left, 2 middle, 3 right, 8 and up); 0 for keys
};

// Delivered in order from `next_owed`; emptied (its capacity kept, so that
// made-up releases allocate nothing once it has grown) when all are out.
std::vector<Release> owed;
std::size_t next_owed = 0;

// Buttons released early because their grab was lost, and keys released
// early while they were still down, whose real release may still come
// (empty nearly always). An entry of a destroyed frame is harmless: Xlib
// does not reuse a connection's window ids.
std::vector<Release> released_early;

const unsigned int kButtonMasks[3] = {Button1Mask, Button2Mask, Button3Mask};

void deliver(Frame::FrameBase* frame, const Release& release) {
    switch (release.button) {
        case 0: {
            // X sent no release to take the key code and modifiers from: the
            // key code is the one the keyboard mapping gives the symbol (Xlib's
            // copy, no round trip), and no modifier is known.
            const auto symbol = static_cast<KeySym>(release.key);
            const unsigned int scancode = symbol == NoSymbol ? 0 : XKeysymToKeycode(_quarn_display, symbol);
            EventKeyUp event(static_cast<unsigned int>(release.key), scancode, Flags::Modifier::NONE);
            event._quarn_handle(frame);
            break;
        }
        case Button1: {
            EventMouseButtonLeftUp event;
            event._quarn_handle(frame);
            break;
        }
        case Button2: {
            EventMouseButtonMiddleUp event;
            event._quarn_handle(frame);
            break;
        }
        case Button3: {
            EventMouseButtonRightUp event;
            event._quarn_handle(frame);
            break;
        }
        default: {
            EventMouseButtonExtraUp event(release.button);
            event._quarn_handle(frame);
            break;
        }
    }
}

// The key symbol the pump gives the key code `code` (index 0, as XLookupKeysym).
int key_symbol(KeyCode code) {
    XKeyEvent key{};
    key.display = _quarn_display;
    key.keycode = code;
    return static_cast<int>(XLookupKeysym(&key, 0));
}

bool any_key_down(const char (&down)[32], int symbol) {
    for (int code = 8; code < 256; ++code)
        if ((down[code / 8] >> (code % 8)) & 1 && key_symbol(static_cast<KeyCode>(code)) == symbol) return true;
    return false;
}

}  // namespace

bool _quarn_key_is_new(Window window, int symbol, bool press) {
    if (released_early.empty()) return true;
    const auto entry = std::find_if(released_early.begin(), released_early.end(), [&](const Release& release) {
        return release.window == window && release.button == 0 && release.key == symbol;
    });
    if (entry == released_early.end()) return true;
    released_early.erase(entry);
    return press;
}

bool _quarn_button_is_new(Window window, unsigned int button, bool press) {
    // The buttons beyond the wheel need no entry: their release is delivered
    // only while the frame holds them.
    if (released_early.empty() || button < Button1 || button > Button3) return true;
    const auto entry = std::find_if(released_early.begin(), released_early.end(), [&](const Release& release) {
        return release.window == window && release.button == button;
    });
    if (entry == released_early.end()) return true;
    released_early.erase(entry);
    return press;
}

void _quarn_issue_owed_releases() {
    while (next_owed < owed.size()) {
        // Taken before its callbacks, which may add releases or throw.
        const Release release = owed[next_owed++];
        if (Frame::FrameBase* frame = Frame::_quarn_frame_of(release.window)) deliver(frame, release);
    }
    owed.clear();
    next_owed = 0;
}

bool _quarn_holds_keys(const State& state) {
    return std::any_of(state._quarn_keys.begin(), state._quarn_keys.end(), [](const auto& key) { return key.second; });
}

// Every key `frame` holds is marked released, to be delivered; their real
// releases, should they reach the window later, are skipped.
void _quarn_issue_focusout(Frame::FrameBase* frame) {
    for (auto& [code, held] : frame->input_state->_quarn_keys) {
        if (!held) continue;
        held = false;
        owed.push_back({frame->_quarn_backing->window, code, 0});
        released_early.push_back(owed.back());
    }
    _quarn_issue_owed_releases();
}

bool _quarn_issue_keys_left(Frame::FrameBase* frame, const XCrossingEvent& crossing) {
    if (crossing.send_event || crossing.mode != NotifyNormal || crossing.detail == NotifyInferior) return false;
    if (!_quarn_holds_keys(*frame->input_state)) return false;
    // Focused itself, the window keeps its keys wherever the pointer goes.
    Window focus = None;
    int revert = 0;
    XGetInputFocus(_quarn_display, &focus, &revert);
    if (focus == frame->_quarn_backing->window) return false;
    _quarn_issue_focusout(frame);
    return true;
}

void _quarn_issue_keymap(Frame::FrameBase* frame, const char (&down)[32]) {
    const Window window = frame->_quarn_backing->window;
    released_early.erase(std::remove_if(released_early.begin(), released_early.end(),
                                        [&](const Release& release) {
                                            return release.window == window && release.button == 0 &&
                                                   !any_key_down(down, release.key);
                                        }),
                         released_early.end());
    for (auto& [code, held] : frame->input_state->_quarn_keys) {
        if (!held || any_key_down(down, code)) continue;
        held = false;
        owed.push_back({frame->_quarn_backing->window, code, 0});
    }
    _quarn_issue_owed_releases();
}

bool _quarn_issue_lost_buttons(Frame::FrameBase* frame, unsigned int buttons_mask, bool ungrabbed) {
    bool* const held = frame->input_state->mouse_buttons;
    const Window window = frame->_quarn_backing->window;
    // Cheap on every event: nothing to do unless a held button is up.
    bool lost = false;
    for (int button = 0; button < 3; ++button) {
        if (!held[button] || (!ungrabbed && (buttons_mask & kButtonMasks[button]))) continue;
        held[button] = false;
        owed.push_back({window, 0, static_cast<unsigned int>(Button1 + button)});
        if (ungrabbed) released_early.push_back(owed.back());
        lost = true;
    }
    // An event's state shows buttons 1 to 5 only: the buttons beyond the
    // wheel are known lost only when the grab is.
    std::bitset<256>& extra = frame->_quarn_backing->extra_buttons;
    if (ungrabbed && extra.any()) {
        for (unsigned int button = 8; button < extra.size(); ++button) {
            if (!extra[button]) continue;
            extra[button] = false;
            owed.push_back({window, 0, button});
        }
        lost = true;
    }
    if (lost) _quarn_issue_owed_releases();
    return lost;
}

}  // namespace Events
}  // namespace Input
}  // namespace Quarn
