#include "quarn/testing/pump.h"

#include <poll.h>

#include <algorithm>
#include <limits>

#include "quarn/frame/frame.h"
#include "quarn/init.h"
#include "quarn/input/events/helpers.h"

namespace Quarn {
namespace Testing {

bool pump_until(const std::function<bool()>& predicate, std::chrono::milliseconds timeout) {
    using Clock = std::chrono::steady_clock;
    // A timeout beyond the clock's range (milliseconds::max(), "no limit")
    // must not overflow the deadline.
    const auto now = Clock::now();
    const auto room = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::time_point::max() - now);
    const auto deadline = timeout >= room ? Clock::time_point::max() : now + timeout;
    for (;;) {
        Input::Events::handle();
        if (predicate()) return true;
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) return false;
        Input::Events::wait(static_cast<int>(std::min<long long>(left, std::numeric_limits<int>::max())));
    }
}

bool wait_shown(const Frame::FrameBase& frame, std::chrono::milliseconds timeout) {
    if (!_quarn_display) return false;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        // The round trip also sends what the application has not flushed yet.
        XWindowAttributes attributes{};
        if (XGetWindowAttributes(_quarn_display, frame._quarn_backing->window, &attributes) &&
            attributes.map_state == IsViewable)
            return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        poll(nullptr, 0, 5);
    }
}

}  // namespace Testing
}  // namespace Quarn
