#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "quarn/init.h"
#include "tests/support/pump.h"
#include "tests/support/x_client.h"

namespace quarn_test {

// Each test runs with a freshly started library on the test X server.
class LibraryTest : public ::testing::Test {
protected:
    void SetUp() override { start_library(); }
    void TearDown() override { Quarn::deinit(); }
};

// The same, with a second client for checks from outside (properties, raw input).
class ClientTest : public LibraryTest {
protected:
    void SetUp() override {
        LibraryTest::SetUp();
        client = std::make_unique<XClient>();
    }
    void TearDown() override {
        client.reset();
        LibraryTest::TearDown();
    }

    std::unique_ptr<XClient> client;
};

}  // namespace quarn_test
