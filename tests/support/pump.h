#pragma once

#include <functional>

#include "tests/support/x_client.h"

namespace quarn_test {

// Quarn::init(), retried while Xvfb refuses the connection.
void start_library();

// Runs Quarn's pump until `done` holds, waiting on the library's connection
// between rounds; false when the (generous) deadline passed first.
bool pump_until(const std::function<bool()>& done);

// Brings every event the server generated for the library so far into
// Xlib's queue (a round trip on both connections), then runs the pump.
void settle(XClient& client);

// Round trips on both connections, leaving the events queued but unhandled.
void queue_pending(XClient& client);

}  // namespace quarn_test
