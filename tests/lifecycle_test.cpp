#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <string>

#include "quarn/error.h"
#include "quarn/error_trap.h"
#include "quarn/frame/helpers.h"
#include "quarn/helpers.h"
#include "quarn/init.h"
#include "quarn/input/events/helpers.h"
#include "quarn/menu/helpers.h"
#include "quarn/warning.h"
#include "tests/support/capture.h"
#include "tests/support/fixture.h"
#include "tests/support/recording_frame.h"

using quarn_test::StdoutCapture;

namespace {

// Points $DISPLAY at a server that does not exist for the life of the object.
class NoXServer {
public:
    NoXServer() : saved_(std::getenv("DISPLAY")) { setenv("DISPLAY", ":4093", 1); }
    ~NoXServer() { setenv("DISPLAY", saved_.c_str(), 1); }

private:
    std::string saved_;
};

TEST(Lifecycle, InitCreatesEmptyRegistriesAndOpensTheDisplay) {
    quarn_test::start_library();
    ASSERT_NE(Quarn::_quarn_display, nullptr);
    ASSERT_NE(Quarn::Frame::_quarn_windows, nullptr);
    ASSERT_NE(Quarn::Menuing::_quarn_menu_callbacks, nullptr);
    EXPECT_TRUE(Quarn::Frame::_quarn_windows->empty());
    EXPECT_TRUE(Quarn::Menuing::_quarn_menu_callbacks->empty());
    Quarn::deinit();
    EXPECT_EQ(Quarn::Frame::_quarn_windows, nullptr);
    EXPECT_EQ(Quarn::Menuing::_quarn_menu_callbacks, nullptr);
    EXPECT_EQ(Quarn::_quarn_display, nullptr);
}

TEST(Lifecycle, SecondInitOnlyWarns) {
    quarn_test::start_library();
    auto* const windows = Quarn::Frame::_quarn_windows;
    Display* const display = Quarn::_quarn_display;
    StdoutCapture capture;
    Quarn::init();
    EXPECT_EQ(capture.lines(), std::vector<std::string>{"Quarn: Quarn is already started!  Ignoring Quarn::init!"});
    EXPECT_EQ(Quarn::Frame::_quarn_windows, windows);
    EXPECT_EQ(Quarn::_quarn_display, display);
    Quarn::deinit();
    Quarn::deinit();  // a second deinit finds nothing to release
    EXPECT_EQ(Quarn::_quarn_display, nullptr);
}

TEST(Lifecycle, FrameOutlivingDeinitIsDestroyedWithoutTheConnection) {
    quarn_test::start_library();
    std::vector<quarn_test::Call> log;
    auto* frame = new quarn_test::RecordingFrame(log);
    Quarn::deinit();
    delete frame;  // the server freed its window with the connection
    EXPECT_EQ(Quarn::Frame::_quarn_windows, nullptr);
}

TEST(Lifecycle, AFrameOutlivingDeinitLeavesTheNextConnectionsWindowsAlone) {
    quarn_test::start_library();
    std::vector<quarn_test::Call> log;
    auto* old = new quarn_test::RecordingFrame(log);
    Quarn::deinit();
    // The next connection is likely to get the old one's ids: its frame's
    // window may have the number the old frame's had.
    quarn_test::start_library();
    quarn_test::RecordingFrame fresh(log);
    delete old;
    XWindowAttributes attributes{};
    EXPECT_EQ(Quarn::_quarn_trap_x_errors(
                  [&] { XGetWindowAttributes(Quarn::_quarn_display, fresh._quarn_backing->window, &attributes); }),
              Success)
        << "the new frame's window was destroyed";
    Quarn::deinit();
}

TEST(Lifecycle, InitWithoutXServerWarnsOnceAndKeepsRegistries) {
    NoXServer no_server;
    StdoutCapture capture;
    Quarn::init();
    const auto lines = capture.lines();
    ASSERT_EQ(lines, std::vector<std::string>{"Quarn: Cannot open display (cannot connect to X server)!"});
    EXPECT_EQ(Quarn::_quarn_display, nullptr);
    EXPECT_NE(Quarn::Frame::_quarn_windows, nullptr);
    EXPECT_NE(Quarn::Menuing::_quarn_menu_callbacks, nullptr);

    StdoutCapture quiet;
    Quarn::deinit();
    EXPECT_EQ(quiet.finish(), "");
}

TEST(Lifecycle, WithoutDisplayFramesThePumpWaitingAndMonitorQueriesAreRefused) {
    NoXServer no_server;
    {
        StdoutCapture quiet;
        Quarn::init();
    }
    std::vector<quarn_test::Call> log;
    StdoutCapture capture;
    EXPECT_THROW(quarn_test::RecordingFrame frame(log), const char*);
    EXPECT_THROW(Quarn::Input::Events::handle(), const char*);
    EXPECT_THROW(Quarn::Input::Events::wait(0), const char*);
    int size[2] = {-1, -1};
    EXPECT_THROW(Quarn::get_monitor_size(size), const char*);
    const auto lines = capture.lines();
    EXPECT_EQ(lines, (std::vector<std::string>{
                         "Quarn: Cannot create a window without a display connection!",
                         "Quarn: Cannot handle events without a display connection!",
                         "Quarn: Cannot wait for events without a display connection!",
                         "Quarn: Cannot get the monitor size without a display connection!",
                     }));
    EXPECT_TRUE(Quarn::Frame::_quarn_windows->empty());
    EXPECT_EQ(size[0], -1);
    Quarn::deinit();
}

TEST(Diagnostics, WarningPrintsTextVerbatimAfterPrefix) {
    StdoutCapture capture;
    Quarn::_quarn_print_warning("100% done \\n %s %d");
    Quarn::_quarn_print_warning("second");
    Quarn::_quarn_print_warning(nullptr);
    EXPECT_EQ(capture.finish(), "Quarn: 100% done \\n %s %d\nQuarn: second\nQuarn: (null)\n");
}

TEST(Diagnostics, ErrorPrintsFirstThenThrowsTheSamePointer) {
    static const char message[] = "Something broke\n";
    StdoutCapture capture;
    const char* caught = nullptr;
    try {
        Quarn::_quarn_throw_error(message);
    } catch (const char* thrown) {
        caught = thrown;
    }
    EXPECT_EQ(caught, message);
    // The message's own newline and the format's: an empty line follows.
    EXPECT_EQ(capture.finish(), "Quarn: Something broke\n\n");
}

TEST(Helpers, ToWstringWidensEachByteWithSignExtension) {
    EXPECT_EQ(Quarn::_quarn_to_wstring(""), L"");
    EXPECT_EQ(Quarn::_quarn_to_wstring("abc"), L"abc");
    const std::wstring accented = Quarn::_quarn_to_wstring("\xE9");
    ASSERT_EQ(accented.size(), 1u);
    EXPECT_EQ(static_cast<int>(accented[0]), -23);
    const std::wstring with_nul = Quarn::_quarn_to_wstring(std::string("a\0b", 3));
    ASSERT_EQ(with_nul.size(), 3u);
    EXPECT_EQ(with_nul[1], L'\0');
    EXPECT_EQ(with_nul[2], L'b');
}

TEST(Helpers, NextIdCountsFromOneAndWrapsToOneAfterIntMax) {
    EXPECT_EQ(Quarn::_quarn_get_next_id(), 1);
    EXPECT_EQ(Quarn::_quarn_get_next_id(), 2);
    EXPECT_EQ(Quarn::_quarn_get_next_id(), 3);
    // Walk the counter up to the largest int: no overflow, and ids stay positive.
    int id = 3;
    while (id != INT_MAX) id = Quarn::_quarn_get_next_id();
    EXPECT_EQ(Quarn::_quarn_get_next_id(), 1);
    EXPECT_EQ(Quarn::_quarn_get_next_id(), 2);
}

class MonitorSize : public quarn_test::LibraryTest {};

TEST_F(MonitorSize, ReportsTheDefaultScreen) {
    int size[2] = {0, 0};
    Quarn::get_monitor_size(size);
    // The test server's screen is 1280 x 1024 (Quarn::Testing::Server's default).
    EXPECT_EQ(size[0], 1280);
    EXPECT_EQ(size[1], 1024);
}

}  // namespace
