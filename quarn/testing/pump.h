#pragma once

#include <chrono>
#include <functional>

namespace Quarn {
namespace Testing {

/// Runs Quarn::Input::Events::handle() until `predicate` holds, sleeping in
/// Quarn::Input::Events::wait() while nothing is pending. Returns true as soon
/// as the predicate holds (it is tested after every handle()), false when
/// `timeout` passed first.
bool pump_until(const std::function<bool()>& predicate,
                std::chrono::milliseconds timeout = std::chrono::milliseconds(5000));

}  // namespace Testing
}  // namespace Quarn
