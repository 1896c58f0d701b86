#include "tests/support/pump.h"

#include <stdexcept>

#include "quarn/init.h"
#include "quarn/input/events/helpers.h"
#include "tests/support/capture.h"

namespace quarn_test {

void start_library() {
    {
        StdoutCapture quiet;  // a refused connection prints the library's warning
        Quarn::init();
    }
    if (!Quarn::_quarn_display) throw std::runtime_error("Quarn::init cannot connect to the test X server");
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
