// The main of every test binary: a private X server for the whole run (with
// openbox where the binary needs a window manager), then the tests.
#include <gtest/gtest.h>

#include "quarn/testing/server.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    Quarn::Testing::ServerOptions options;
    options.window_manager = QUARN_TEST_WINDOW_MANAGER;
    const Quarn::Testing::Server server(options);
    return RUN_ALL_TESTS();
}
