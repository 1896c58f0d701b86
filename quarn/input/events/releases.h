#pragma once

#include <X11/Xlib.h>

namespace Quarn {
namespace Frame {
class FrameBase;
}

namespace Input {
class State;
namespace Events {

// Releases that X will never deliver to a frame, made up so that its input
// state reads a key or button as held exactly while the real release can
// still reach it. Each marks the state first and then delivers from a list of
// its own, so a callback that throws leaves nothing reading held, and the
// releases not yet delivered come with the next handle().

/// The keyboard focus left `frame`: every key it holds is released, in
/// key-symbol order.
void _quarn_issue_focusout(Frame::FrameBase* frame);

/// The pointer left `frame` (`crossing`). Where the keyboard's focus follows
/// the pointer (PointerRoot, or an ancestor of the window holds it), the
/// releases of the keys `frame` holds go to another window now: they are
/// released. Asks the server where the focus is, only when a key is held.
/// Returns whether it released any: a callback may have destroyed `frame`.
bool _quarn_issue_keys_left(Frame::FrameBase* frame, const XCrossingEvent& crossing);

/// Whether `state` reads any key held.
bool _quarn_holds_keys(const State& state);

/// Whether a real press or release of the key `symbol` in `window` is to be
/// delivered: not so for the real release of a key whose release was made up
/// while it was still down, and that reached the window after all (the focus
/// or the pointer came back before the key went up). A new press of the key
/// is delivered, and so is its release.
bool _quarn_key_is_new(Window window, int symbol, bool press);

/// The keyboard's state after a FocusIn or EnterNotify of `frame`, from
/// KeymapNotify: keys that `frame` holds and that are up now (released during
/// another client's grab) are released, and keys released early that are up
/// now will send no release to skip.
void _quarn_issue_keymap(Frame::FrameBase* frame, const char (&down)[32]);

/// The buttons `frame` holds that can no longer be released in it: those of
/// the left, middle and right not down in `buttons_mask` (an X event's state),
/// or all of them, the buttons beyond the wheel whose press it delivered
/// (BUTTONS) included, when `ungrabbed` (the implicit pointer grab ended
/// because the window stopped being viewable). Returns whether it released
/// any: a callback may have destroyed `frame`.
bool _quarn_issue_lost_buttons(Frame::FrameBase* frame, unsigned int buttons_mask, bool ungrabbed);

/// Whether a real press or release of `button` (1 to 3) in `window` is to be
/// delivered: not so for the real release of a button whose release was made
/// up when its window stopped being viewable, and that reached the window
/// after all (the button was still down when it was shown again).
bool _quarn_button_is_new(Window window, unsigned int button, bool press);

/// Delivers the made-up releases that a throwing callback left undelivered.
/// Frames destroyed meanwhile are skipped.
void _quarn_issue_owed_releases();

}  // namespace Events
}  // namespace Input
}  // namespace Quarn
