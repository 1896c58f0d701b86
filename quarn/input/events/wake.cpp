#include "quarn/input/events/wake.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>

#include "quarn/input/events/helpers.h"

namespace Quarn {
namespace Input {
namespace Events {

namespace {

// Made at init, before any other thread can post: making it on first use
// could miss a wait() already polling without it.
int descriptor = -1;

// Set after each write, so handle() reads the descriptor only when a wake-up
// came: it costs a load otherwise. A lock-free atomic is safe in a signal handler.
std::atomic<bool> posted{false};
static_assert(std::atomic<bool>::is_always_lock_free, "post_wake must be async-signal-safe");

}  // namespace

void _quarn_wake_init() {
    descriptor = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    posted.store(false);
}

void _quarn_wake_deinit() {
    if (descriptor >= 0) close(descriptor);
    descriptor = -1;
}

int _quarn_wake_descriptor() { return descriptor; }

void _quarn_wake_drain() {
    if (!posted.load(std::memory_order_relaxed)) return;
    // Cleared before the read: a wake-up written after the read sets it again.
    posted.store(false);
    std::uint64_t count = 0;
    while (read(descriptor, &count, sizeof count) < 0 && errno == EINTR) {
    }
}

void post_wake() {
    const int fd = descriptor;
    if (fd < 0) return;
    // A signal handler's caller must find errno as it left it.
    const int saved = errno;
    const std::uint64_t one = 1;
    // The counter only saturates after 2^64 - 2 posts; EAGAIN then still leaves it readable.
    while (write(fd, &one, sizeof one) < 0 && errno == EINTR) {
    }
    posted.store(true);
    errno = saved;
}

}  // namespace Events
}  // namespace Input
}  // namespace Quarn
