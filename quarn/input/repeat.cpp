#include "quarn/input/repeat.h"

#include "quarn/flags.h"
#include "quarn/frame/frame.h"
#include "quarn/init.h"

namespace Quarn {
namespace Input {

bool _quarn_release_held = false;

namespace {

// The last real key release of a frame's window.
struct Release {
    Window window;
    unsigned int keycode;
    Time time;
};
Release last_release{None, 0, 0};

XKeyEvent held{};
std::chrono::steady_clock::time_point held_due;

bool repeats(const XEvent& next, const XKeyEvent& release) {
    return next.type == KeyPress && !next.xkey.send_event && next.xkey.window == release.window &&
           next.xkey.keycode == release.keycode && next.xkey.time == release.time;
}

}  // namespace

bool _quarn_release_repeats(Frame::FrameBase* frame, const XKeyEvent& release) {
    // A forged event (another client's XSendEvent) repeats nothing.
    if (release.send_event) {
        last_release = Release{None, 0, 0};
        return false;
    }
    last_release = Release{release.window, release.keycode, release.time};
    if (!(frame->_quarn_backing->report & Flags::Report::REPEAT)) return false;
    // QueuedAfterReading also reads what has arrived, without waiting.
    if (XEventsQueued(_quarn_display, QueuedAfterReading)) {
        XEvent next;
        XPeekEvent(_quarn_display, &next);
        return repeats(next, release);
    }
    // HACK: the X server writes a repeat's press apart from its release, and a
    // pump that was waiting may read the release alone; it waits for the next.
    held = release;
    held_due = std::chrono::steady_clock::now() + kReleaseHold;
    _quarn_release_held = true;
    return true;
}

bool _quarn_press_repeats(const XKeyEvent& press) {
    return !press.send_event && press.time == last_release.time && press.keycode == last_release.keycode &&
           press.window == last_release.window;
}

bool _quarn_settle_held_release(const XEvent* next, XKeyEvent& release) {
    if (!_quarn_release_held) return false;
    if (!next && std::chrono::steady_clock::now() < held_due) return false;
    _quarn_release_held = false;
    if (next && repeats(*next, held)) return false;
    release = held;
    return true;
}

int _quarn_held_release_due_ms() {
    if (!_quarn_release_held) return -1;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(held_due - std::chrono::steady_clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

void _quarn_repeat_deinit() {
    _quarn_release_held = false;
    last_release = Release{None, 0, 0};
}

}  // namespace Input
}  // namespace Quarn
