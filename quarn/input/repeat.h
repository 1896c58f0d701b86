#pragma once

#include <X11/Xlib.h>

#include <chrono>

namespace Quarn {
namespace Frame {
class FrameBase;
}

namespace Input {

// X sends the keyboard's auto-repeat of a held key as a release and a press of
// the same key code with the same server time; nothing else marks it. The XKB
// control that drops those releases (detectable auto-repeat) is the
// connection's, so it would change what every frame gets: each release is
// looked at instead, and only frames that report REPEAT lose the repeat's.

/// Notes the key release `release` of `frame` (every real one the pump gets)
/// and tells whether to keep it from the frame now: the frame reports REPEAT
/// and the press that repeats the key is next in the queue (the release is
/// dropped), or nothing has arrived after it yet (it is held back, see
/// _quarn_release_held). Looks at what has arrived without a round trip, and
/// only for such frames.
bool _quarn_release_repeats(Frame::FrameBase* frame, const XKeyEvent& release);

/// Whether the key press `press` is an auto-repeat: the release noted last was
/// of the same key code in the same window at the same time. A comparison.
bool _quarn_press_repeats(const XKeyEvent& press);

/// Whether a release of a frame that reports REPEAT is held back: it was the
/// last event to arrive, and the server writes a repeat's press apart from its
/// release, so it waits for the event after it, or at most kReleaseHold.
extern bool _quarn_release_held;

/// How long a release waits for the press that would make it a repeat.
constexpr std::chrono::milliseconds kReleaseHold(20);

/// Settles the held release: with `next`, the event that follows it, the
/// release is dropped when `next` is the repeat's press and is to be delivered
/// otherwise; with none (nothing has arrived), it is to be delivered once
/// kReleaseHold has passed. Returns true and fills `release` when it is to be
/// delivered now; it is no longer held then.
bool _quarn_settle_held_release(const XEvent* next, XKeyEvent& release);

/// The milliseconds until the held release is due without a press (for
/// wait()): 0 when it is due now, -1 when none is held.
int _quarn_held_release_due_ms();

/// Forgets the releases noted and held (Quarn::deinit).
void _quarn_repeat_deinit();

}  // namespace Input
}  // namespace Quarn
