#pragma once

#include <chrono>
#include <functional>

namespace Quarn {
namespace Frame {
class FrameBase;
}

namespace Testing {

/// Runs Quarn::Input::Events::handle() until `predicate` holds, sleeping in
/// Quarn::Input::Events::wait() while nothing is pending. Returns true as soon
/// as the predicate holds (it is tested after every handle()), false when
/// `timeout` passed first.
bool pump_until(const std::function<bool()>& predicate,
                std::chrono::milliseconds timeout = std::chrono::milliseconds(5000));

/// Waits until the server shows `frame` (its window is viewable: mapped, and
/// under a window manager also managed), at most `timeout`. Returns whether
/// it is shown. Sends the application's pending requests (set_show) first.
/// Input's calls and capture() wait this way (10 s) themselves; call it to
/// wait for a frame before checks of your own.
bool wait_shown(const Frame::FrameBase& frame, std::chrono::milliseconds timeout = std::chrono::seconds(10));

}  // namespace Testing
}  // namespace Quarn
