#pragma once

#include <gtest/gtest.h>

#include "quarn/init.h"
#include "tests/support/pump.h"

namespace quarn_test {

// Each test runs with a freshly started library on the test X server.
class LibraryTest : public ::testing::Test {
protected:
    void SetUp() override { start_library(); }
    void TearDown() override { Quarn::deinit(); }
};

}  // namespace quarn_test
