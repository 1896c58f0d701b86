#include <gtest/gtest.h>

#include <X11/keysym.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "quarn/flags.h"
#include "quarn/frame/frame.h"
#include "quarn/init.h"
#include "quarn/testing/testing.h"
#include "tests/support/recording_frame.h"
#include "tests/support/x_client.h"

// Text through IBus, the input method server of GNOME and many desktops: it
// takes every key event and hands it back, and a naive pump would deliver
// each key twice. The test starts ibus-daemon (as an XIM server, on a session
// bus of its own) against its private X server, and stops it at the end.
namespace {

using quarn_test::calls_at;
using quarn_test::RecordingFrame;

// Whether IBus serves input methods on the display: an XIM server owns the
// selection named for it while it runs (XIM_SERVERS on the root may outlive it).
bool ibus_serves(Display* display) {
    return XGetSelectionOwner(display, XInternAtom(display, "@server=ibus", False)) != None;
}

class IBus : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("XMODIFIERS", "@im=ibus", 1);
        Quarn::init();
        start_daemon();
    }
    void start_daemon() {
        daemon = fork();
        if (daemon == 0) {
            setpgid(0, 0);
            execlp("dbus-run-session", "dbus-run-session", "--", "ibus-daemon", "--xim", "--replace", "--panel=disable",
                   static_cast<char*>(nullptr));
            _exit(127);
        }
        quarn_test::XClient client;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!ibus_serves(client.display()) && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        ASSERT_TRUE(ibus_serves(client.display()))
            << "ibus-daemon --xim did not start (is the ibus package installed?)";
    }
    void stop_daemon() {
        if (daemon <= 0) return;
        kill(-daemon, SIGTERM);
        waitpid(daemon, nullptr, 0);
        daemon = -1;
        // Its XIM server (ibus-x11) leaves the selection as it ends.
        quarn_test::XClient client;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (ibus_serves(client.display()) && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    void TearDown() override {
        Quarn::deinit();
        unsetenv("XMODIFIERS");
        stop_daemon();
    }
    pid_t daemon = -1;
};

TEST_F(IBus, EveryKeyIsDeliveredOnceAndItsTextAfterIt) {
    std::vector<quarn_test::Call> log;
    RecordingFrame frame(log);
    frame.set_size(200, 150);
    frame.set_report(Quarn::Flags::Report::TEXT);
    frame.set_show(true, 0);
    ASSERT_NE(frame._quarn_backing->input_context, nullptr) << "an input context with IBus";
    Quarn::Testing::Input input;
    input.type(frame, "hello");  // two real presses of L, maybe in one millisecond
    const auto typed = [&] {
        std::string text;
        for (const auto& call : calls_at(log, "EventText")) text += call.text;
        return text;
    };
    ASSERT_TRUE(Quarn::Testing::pump_until([&] { return typed() == "hello"; })) << typed();
    Quarn::Testing::pump_until([] { return false; }, std::chrono::milliseconds(300));
    EXPECT_EQ(typed(), "hello");
    EXPECT_EQ(calls_at(log, "EventKeyDown").size(), 5u) << "IBus hands each key back: delivered once";
    EXPECT_EQ(calls_at(log, "EventKeyUp").size(), 5u);
    // Each character comes after its own key went down.
    std::size_t downs = 0;
    for (const auto& call : log) {
        if (call.level == "EventKeyDown") ++downs;
        if (call.level == "EventText") {
            EXPECT_GE(downs, 1u);
        }
    }
}

// Types "hi" into `frame` and returns once its text arrived.
bool types_through(Quarn::Testing::Input& input, RecordingFrame& frame, std::vector<quarn_test::Call>& log) {
    log.clear();
    input.type(frame, "hi");
    return Quarn::Testing::pump_until([&] {
        std::string text;
        for (const auto& call : calls_at(log, "EventText")) text += call.text;
        return text == "hi";
    });
}

TEST_F(IBus, AMethodThatGoesAwayOrStartsLaterIsFollowed) {
    std::vector<quarn_test::Call> log;
    RecordingFrame frame(log);
    frame.set_size(200, 150);
    frame.set_report(Quarn::Flags::Report::TEXT);
    frame.set_show(true, 0);
    Quarn::Testing::Input input;
    ASSERT_NE(frame._quarn_backing->input_context, nullptr);
    ASSERT_TRUE(types_through(input, frame, log));

    // IBus ends: the context goes with it, and text comes from the key symbols.
    stop_daemon();
    ASSERT_TRUE(Quarn::Testing::pump_until([&] { return frame._quarn_backing->input_context == nullptr; }));
    EXPECT_TRUE(types_through(input, frame, log));
    EXPECT_EQ(calls_at(log, "EventKeyDown").size(), 2u);

    // IBus starts again: the frame gets a context of the new method.
    start_daemon();
    ASSERT_TRUE(Quarn::Testing::pump_until([&] { return frame._quarn_backing->input_context != nullptr; }));
    EXPECT_TRUE(types_through(input, frame, log));
    EXPECT_EQ(calls_at(log, "EventKeyDown").size(), 2u);
}

}  // namespace
