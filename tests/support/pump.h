#pragma once

#include "tests/support/x_client.h"

namespace quarn_test {

// Quarn::init() on the test X server; throws when it cannot connect.
void start_library();

// Brings every event the server generated for the library so far into
// Xlib's queue (a round trip on both connections), then runs the pump.
void settle(XClient& client);

// Round trips on both connections, leaving the events queued but unhandled.
void queue_pending(XClient& client);

}  // namespace quarn_test
