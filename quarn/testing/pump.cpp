#include "quarn/testing/pump.h"

#include "quarn/input/events/helpers.h"

namespace Quarn {
namespace Testing {

bool pump_until(const std::function<bool()>& predicate, std::chrono::milliseconds timeout) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        Input::Events::handle();
        if (predicate()) return true;
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) return false;
        Input::Events::wait(static_cast<int>(left));
    }
}

}  // namespace Testing
}  // namespace Quarn
