#include "tests/support/pump.h"

#include <poll.h>

#include <chrono>
#include <stdexcept>

#include "quarn/init.h"
#include "quarn/input/events/helpers.h"
#include "tests/support/capture.h"

namespace quarn_test {

void start_library() {
    for (int attempt = 0; attempt < 20; ++attempt) {
        StdoutCapture quiet;  // a refused attempt prints the library's warning
        Quarn::init();
        if (Quarn::_quarn_display) return;
        Quarn::deinit();
        poll(nullptr, 0, 50);
    }
    throw std::runtime_error("Quarn::init cannot connect to the test X server");
}

bool pump_until(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    for (;;) {
        Quarn::Input::Events::handle();
        if (done()) return true;
        if (std::chrono::steady_clock::now() > deadline) return false;
        pollfd connection{ConnectionNumber(Quarn::_quarn_display), POLLIN, 0};
        poll(&connection, 1, 20);
    }
}

void queue_pending(XClient& client) {
    client.sync();
    XSync(Quarn::_quarn_display, False);
}

void settle(XClient& client) {
    queue_pending(client);
    Quarn::Input::Events::handle();
}

}  // namespace quarn_test
