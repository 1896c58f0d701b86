#include <gtest/gtest.h>

#include <X11/keysym.h>

#include <memory>
#include <string>
#include <vector>

#include "quarn/flags.h"
#include "quarn/frame/frame.h"
#include "quarn/init.h"
#include "quarn/input/events/helpers.h"
#include "quarn/testing/testing.h"
#include "tests/support/fixture.h"
#include "tests/support/pump.h"
#include "tests/support/recording_frame.h"
#include "tests/support/x_client.h"

// The focus, crossing, refresh and extra-button reports, with input as a
// user's: XTest from a second connection, that connection's own focus
// changes and grabs (as a window manager or another application makes
// them), and its windows covering the frame. Built twice: under openbox
// (report_events_test) and without a window manager (report_events_bare_test),
// where the keyboard's focus can follow the pointer.
namespace {

using Quarn::Flags::Report;
using quarn_test::Call;
using quarn_test::calls_at;
using quarn_test::RecordingFrame;

constexpr long kDefaultMask = Quarn::Frame::_quarn_FrameBacking::event_mask;
const Report kAll = Report::FOCUS | Report::CROSSING | Report::REFRESH | Report::BUTTONS;

class ReportEvents : public quarn_test::ClientTest {
protected:
    // A frame shown at (x, 100) on the screen, 200 x 150, with the pointer
    // resting outside every frame and nothing logged.
    std::unique_ptr<RecordingFrame> shown_frame(int x, const Report& report = Report::NONE) {
        // Frames at 100 log into `log`, the others into `other_log`.
        auto frame = std::make_unique<RecordingFrame>(x == 100 ? log : other_log);
        frame->set_report(report);
        frame->set_size(200, 150);
        frame->set_position(x, 100);
        frame->set_show(true, 0);
        EXPECT_TRUE(Quarn::Testing::wait_shown(*frame));
        client->point_on_screen(5, 1000);
        // A manager may decorate or focus the window a moment after it shows.
        Quarn::Testing::pump_until([] { return false; }, std::chrono::milliseconds(100));
        quarn_test::settle(*client);
        log.clear();
        other_log.clear();
        return frame;
    }
    void focus(Window window) {
        XSetInputFocus(client->display(), window, RevertToPointerRoot, CurrentTime);
        quarn_test::settle(*client);
    }
    void point(const RecordingFrame& frame, int x, int y) {
        client->point(frame._quarn_backing->window, x, y);
        quarn_test::settle(*client);
    }
    // The final levels of the calls logged, without the bases of each chain.
    std::vector<std::string> finals() const {
        std::vector<std::string> result;
        for (const Call& call : log)
            if (call.level.find("Base") == std::string::npos) result.push_back(call.level);
        return result;
    }
    // Another client's window over (x, y, width, height) of the frame, not
    // shown yet; override-redirect, so that no manager moves it.
    Window cover_window(const RecordingFrame& frame, int x, int y, int width, int height) {
        int at_x = 0, at_y = 0;
        Window child = None;
        XTranslateCoordinates(client->display(), frame._quarn_backing->window, client->root(), x, y, &at_x, &at_y,
                              &child);
        XSetWindowAttributes attributes{};
        attributes.override_redirect = True;
        return XCreateWindow(client->display(), client->root(), at_x, at_y, static_cast<unsigned int>(width),
                             static_cast<unsigned int>(height), 0, CopyFromParent, InputOutput, CopyFromParent,
                             CWOverrideRedirect, &attributes);
    }
    // What the library's connection selects on the frame's window.
    static long selected(const RecordingFrame& frame) {
        XWindowAttributes attributes{};
        XGetWindowAttributes(Quarn::_quarn_display, frame._quarn_backing->window, &attributes);
        return attributes.your_event_mask;
    }

    Quarn::Testing::Input input;
    std::vector<Call> log;
    std::vector<Call> other_log;
};

TEST_F(ReportEvents, AFrameThatReportsNoneOfThemSelectsAndDeliversWhatItDidBefore) {
    auto frame = shown_frame(100);
    auto other = shown_frame(400);
    focus(frame->_quarn_backing->window);
    point(*frame, 20, 30);
    input.click(*frame, 20, 30, 8);
    input.click(*frame, 20, 30, 9);
    focus(other->_quarn_backing->window);
    point(*other, 20, 30);
    frame->set_show(false, 0);
    frame->set_show(true, 0);
    ASSERT_TRUE(Quarn::Testing::wait_shown(*frame));
    quarn_test::settle(*client);
    EXPECT_EQ(finals(), (std::vector<std::string>{"EventMouseMove"})) << "the move into it, nothing else";

    frame->set_report(kAll);
    EXPECT_EQ(selected(*frame), kDefaultMask) << "every frame selects what these reports need";
    frame->set_report(Report::NONE);
    EXPECT_EQ(selected(*frame), kDefaultMask);
}

TEST_F(ReportEvents, TheFocusComesAndGoesOncePerChangeAfterTheKeysItHeld) {
    auto frame = shown_frame(100);
    auto other = shown_frame(400);
    focus(other->_quarn_backing->window);
    frame->set_report(Report::FOCUS);
    focus(frame->_quarn_backing->window);
    focus(frame->_quarn_backing->window);  // again: no change
    ASSERT_EQ(finals(), (std::vector<std::string>{"EventFrameFocus"}));
    EXPECT_TRUE(log.back().focused);
    EXPECT_EQ(frame->levels(), (std::vector<std::string>{"EventBase", "EventFrameBase", "EventFrameFocus"}));
    EXPECT_EQ(log.back().type, 65536);

    // A key held when the focus goes is up before the frame hears of it.
    log.clear();
    input.press_key(*frame, XK_a);
    focus(other->_quarn_backing->window);
    input.release_key(*other, XK_a);
    quarn_test::settle(*client);
    EXPECT_EQ(finals(), (std::vector<std::string>{"EventKeyDown", "EventKeyUp", "EventFrameFocus"}));
    EXPECT_FALSE(log.back().focused);
    EXPECT_FALSE(log.back().key_held);

    // Turned on while the frame has the focus: the first event is its loss.
    focus(frame->_quarn_backing->window);
    frame->set_report(Report::NONE);
    frame->set_report(Report::FOCUS);
    log.clear();
    focus(frame->_quarn_backing->window);
    focus(other->_quarn_backing->window);
    ASSERT_EQ(finals(), (std::vector<std::string>{"EventFrameFocus"}));
    EXPECT_FALSE(log.back().focused);
}

TEST_F(ReportEvents, AKeyboardGrabTellsNothingAndTheFocusStays) {
    auto frame = shown_frame(100, Report::FOCUS);
    auto other = shown_frame(400);
    // Another client takes the keyboard, as a manager's Alt+Tab does: X
    // moves the focus away from the frame for the grab, and back after it.
    const auto grab_and_let_go = [&] {
        ASSERT_EQ(XGrabKeyboard(client->display(), client->root(), False, GrabModeAsync, GrabModeAsync, CurrentTime),
                  GrabSuccess);
        quarn_test::settle(*client);
        XUngrabKeyboard(client->display(), CurrentTime);
        quarn_test::settle(*client);
    };
    focus(frame->_quarn_backing->window);
    log.clear();
    grab_and_let_go();
    EXPECT_TRUE(log.empty()) << finals().size() << " events";
    // The frame still has it: losing it is the next change.
    focus(other->_quarn_backing->window);
    ASSERT_EQ(finals(), (std::vector<std::string>{"EventFrameFocus"}));
    EXPECT_FALSE(log.back().focused);

    // With the pointer in the frame, X gives it the grabbed keyboard's focus
    // for the grab (NotifyPointer): the frame gets no keys from it.
    point(*frame, 50, 50);
    log.clear();
    grab_and_let_go();
    EXPECT_TRUE(calls_at(log, "EventFrameFocus").empty());
    focus(frame->_quarn_backing->window);
    ASSERT_EQ(calls_at(log, "EventFrameFocus").size(), 1u) << "it has not had the focus";
    EXPECT_TRUE(calls_at(log, "EventFrameFocus")[0].focused);
}

TEST_F(ReportEvents, ForgedFocusAndCrossingsTellNothingAForgedExposeAsksForARefresh) {
    auto frame = shown_frame(100, Report::FOCUS | Report::CROSSING | Report::REFRESH);
    auto other = shown_frame(400);
    const Window window = frame->_quarn_backing->window;
    const auto forge = [&](int type) {
        XEvent event{};
        event.type = type;
        event.xany.window = window;
        if (type == FocusIn) event.xfocus.detail = NotifyNonlinear;
        if (type == EnterNotify) event.xcrossing.detail = NotifyNonlinear;
        XSendEvent(client->display(), window, False, NoEventMask, &event);
    };
    focus(other->_quarn_backing->window);
    log.clear();
    forge(FocusIn);
    forge(EnterNotify);
    forge(Expose);
    quarn_test::settle(*client);
    EXPECT_EQ(finals(), (std::vector<std::string>{"EventFrameRefresh"}));
}

TEST_F(ReportEvents, ThePointerEntersAndLeavesWhereItIs) {
    auto frame = shown_frame(100, Report::CROSSING);
    point(*frame, 30, 40);
    point(*frame, 60, 40);
    point(*frame, 260, 50);  // beyond its right edge
    EXPECT_EQ(finals(),
              (std::vector<std::string>{"EventMouseEnter", "EventMouseMove", "EventMouseMove", "EventMouseLeave"}));
    const auto enters = calls_at(log, "EventMouseEnter");
    ASSERT_EQ(enters.size(), 1u);
    EXPECT_EQ(enters[0].at[0], 30);
    EXPECT_EQ(enters[0].at[1], 40);
    EXPECT_EQ(enters[0].type, 131072);
    const auto leaves = calls_at(log, "EventMouseLeave");
    ASSERT_EQ(leaves.size(), 1u);
    EXPECT_EQ(leaves[0].at[0], 260);
    EXPECT_EQ(leaves[0].at[1], 50);
    EXPECT_EQ(leaves[0].type, 262144);
    const std::vector<std::string> levels = frame->levels();
    EXPECT_EQ(std::vector<std::string>(levels.begin(), levels.begin() + 3),
              (std::vector<std::string>{"EventBase", "EventMouseBase", "EventMouseEnter"}));

    // A window put over the pointer takes it; taken away, gives it back.
    log.clear();
    point(*frame, 50, 50);
    const Window cover = cover_window(*frame, 20, 20, 80, 80);
    XMapWindow(client->display(), cover);
    quarn_test::settle(*client);
    XDestroyWindow(client->display(), cover);
    quarn_test::settle(*client);
    EXPECT_EQ(finals(),
              (std::vector<std::string>{"EventMouseEnter", "EventMouseMove", "EventMouseLeave", "EventMouseEnter"}));
}

TEST_F(ReportEvents, AGrabThatTakesThePointerWhereItIsTellsNothing) {
    auto frame = shown_frame(100, Report::CROSSING | Report::BUTTONS);
    point(*frame, 50, 50);
    log.clear();
    // Another client grabs the pointer, as a manager does around a click.
    ASSERT_EQ(XGrabPointer(client->display(), client->root(), False, ButtonPressMask, GrabModeAsync, GrabModeAsync,
                           None, None, CurrentTime),
              GrabSuccess);
    quarn_test::settle(*client);
    XUngrabPointer(client->display(), CurrentTime);
    quarn_test::settle(*client);
    EXPECT_TRUE(log.empty()) << finals().size() << " events";
    // A grab on the frame's own window while the pointer is elsewhere: X
    // reports the pointer entering it, and leaving at the grab's end.
    point(*frame, 300, 50);
    log.clear();
    ASSERT_EQ(XGrabPointer(client->display(), frame->_quarn_backing->window, False, ButtonPressMask, GrabModeAsync,
                           GrabModeAsync, None, None, CurrentTime),
              GrabSuccess);
    quarn_test::settle(*client);
    XUngrabPointer(client->display(), CurrentTime);
    quarn_test::settle(*client);
    EXPECT_TRUE(log.empty()) << finals().size() << " events";
    point(*frame, 50, 50);
    log.clear();

    // A drag out of the frame leaves it once: the release's end of the
    // button's grab says again that the pointer is elsewhere. (A button the
    // manager binds to nothing, so that the press is the frame's at once.)
    input.press_button(*frame, 50, 50, 8);
    client->point(frame->_quarn_backing->window, 300, 50);
    quarn_test::settle(*client);
    client->button(8, false);
    quarn_test::settle(*client);
    EXPECT_EQ(finals(), (std::vector<std::string>{"EventMouseButtonExtraDown", "EventMouseLeave", "EventMouseMove",
                                                  "EventMouseButtonExtraUp"}));
}

TEST_F(ReportEvents, ARefreshOnceShownAndOnceWhenUncovered) {
    client->point_on_screen(5, 1000);
    auto frame = std::make_unique<RecordingFrame>(log);
    frame->set_report(Report::REFRESH);
    frame->set_size(200, 150);
    frame->set_position(100, 100);
    frame->set_show(true, 0);
    ASSERT_TRUE(Quarn::Testing::pump_until([&] { return !calls_at(log, "EventFrameRefresh").empty(); }));
    Quarn::Testing::pump_until([] { return false; }, std::chrono::milliseconds(100));
    quarn_test::settle(*client);
    EXPECT_EQ(finals(), (std::vector<std::string>{"EventFrameRefresh"})) << "once after being shown";
    EXPECT_EQ(frame->levels(), (std::vector<std::string>{"EventBase", "EventFrameBase", "EventFrameRefresh"}));
    EXPECT_EQ(log.back().type, 524288);

    // Other windows over part of it, a small one on a larger one: the larger
    // one gone uncovers a ring, which X sends as several rectangles, and
    // asks for one refresh; the small one gone, for one more.
    log.clear();
    const Window cover = cover_window(*frame, 20, 20, 120, 100);
    const Window patch = cover_window(*frame, 60, 60, 20, 20);
    XMapWindow(client->display(), cover);
    XMapWindow(client->display(), patch);
    quarn_test::settle(*client);
    EXPECT_TRUE(log.empty()) << "covering asks for nothing";
    XUnmapWindow(client->display(), cover);
    quarn_test::settle(*client);
    EXPECT_EQ(finals(), (std::vector<std::string>{"EventFrameRefresh"}));
    XDestroyWindow(client->display(), patch);
    quarn_test::settle(*client);
    EXPECT_EQ(finals(), (std::vector<std::string>{"EventFrameRefresh", "EventFrameRefresh"}));
    XDestroyWindow(client->display(), cover);

    log.clear();
    frame->set_report(Report::NONE);
    frame->set_show(false, 0);
    frame->set_show(true, 0);
    ASSERT_TRUE(Quarn::Testing::wait_shown(*frame));
    quarn_test::settle(*client);
    EXPECT_TRUE(calls_at(log, "EventFrameRefresh").empty());
}

TEST_F(ReportEvents, BackAndForwardButtonsOnlyForFramesThatAskForThem) {
    auto frame = shown_frame(100);
    input.click(*frame, 20, 20, 8);
    quarn_test::settle(*client);
    EXPECT_TRUE(calls_at(log, "EventMouseButtonBase").empty()) << "dropped, as always";

    frame->set_report(Report::BUTTONS);
    log.clear();
    input.click(*frame, 20, 20, 8);
    input.click(*frame, 20, 20, 9);
    quarn_test::settle(*client);
    EXPECT_EQ(finals(), (std::vector<std::string>{"EventMouseButtonExtraDown", "EventMouseButtonExtraUp",
                                                  "EventMouseButtonExtraDown", "EventMouseButtonExtraUp"}));
    const auto downs = calls_at(log, "EventMouseButtonExtraDown");
    ASSERT_EQ(downs.size(), 2u);
    EXPECT_EQ(downs[0].button, 8u);
    EXPECT_EQ(downs[1].button, 9u);
    EXPECT_EQ(downs[0].type, 1048576);
    EXPECT_EQ(calls_at(log, "EventMouseButtonExtraUp")[1].type, 2097152);
    const std::vector<std::string> levels = frame->levels();
    EXPECT_EQ(std::vector<std::string>(levels.begin(), levels.begin() + 5),
              (std::vector<std::string>{"EventBase", "EventMouseBase", "EventMouseButtonBase",
                                        "EventMouseButtonExtraBase", "EventMouseButtonExtraDown"}));
    for (const Call& call : log) EXPECT_FALSE(call.buttons[0] || call.buttons[1] || call.buttons[2]);
}

TEST_F(ReportEvents, AnExtraButtonGetsOneReleaseForEachPressDelivered) {
    auto frame = shown_frame(100, Report::BUTTONS);
    // Held while the window is hidden: X sends its release nowhere, so it
    // comes at once, and the real one, once the window is back, not again.
    input.press_button(*frame, 20, 20, 9);
    frame->set_show(false, 0);
    quarn_test::settle(*client);
    EXPECT_EQ(finals(),
              (std::vector<std::string>{"EventMouseMove", "EventMouseButtonExtraDown", "EventMouseButtonExtraUp"}));
    frame->set_show(true, 0);
    ASSERT_TRUE(Quarn::Testing::wait_shown(*frame));
    point(*frame, 20, 20);
    client->button(9, false);
    quarn_test::settle(*client);
    EXPECT_EQ(calls_at(log, "EventMouseButtonExtraUp").size(), 1u);

    // A press delivered is released also when the report was turned off
    // meanwhile; a press not delivered gives no release.
    log.clear();
    input.press_button(*frame, 20, 20, 8);
    quarn_test::settle(*client);
    frame->set_report(Report::NONE);
    input.release_button(*frame, 20, 20, 8);
    input.press_button(*frame, 20, 20, 9);
    quarn_test::settle(*client);
    frame->set_report(Report::BUTTONS);
    input.release_button(*frame, 20, 20, 9);
    quarn_test::settle(*client);
    EXPECT_EQ(finals(), (std::vector<std::string>{"EventMouseButtonExtraDown", "EventMouseButtonExtraUp"}));
    ASSERT_EQ(calls_at(log, "EventMouseButtonExtraUp").size(), 1u);
    EXPECT_EQ(calls_at(log, "EventMouseButtonExtraUp")[0].button, 8u);
}

#if QUARN_TEST_WINDOW_MANAGER
TEST_F(ReportEvents, ClickingAnotherWindowTakesTheFocusThroughTheManager) {
    auto frame = shown_frame(100, Report::FOCUS);
    auto other = shown_frame(400);
    input.click(*frame, 50, 50);
    ASSERT_TRUE(Quarn::Testing::pump_until([&] { return !calls_at(log, "EventFrameFocus").empty(); }));
    EXPECT_TRUE(calls_at(log, "EventFrameFocus")[0].focused);
    log.clear();
    input.click(*other, 50, 50);
    ASSERT_TRUE(Quarn::Testing::pump_until([&] { return !calls_at(log, "EventFrameFocus").empty(); }));
    quarn_test::settle(*client);
    const auto changes = calls_at(log, "EventFrameFocus");
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_FALSE(changes[0].focused);
}
#else
TEST_F(ReportEvents, WhereKeysFollowThePointerTheFocusComesAndGoesWithIt) {
    auto frame = shown_frame(100, Report::FOCUS | Report::CROSSING);
    focus(PointerRoot);
    point(*frame, 50, 50);
    point(*frame, 300, 50);
    EXPECT_EQ(finals(), (std::vector<std::string>{"EventMouseEnter", "EventFrameFocus", "EventMouseMove",
                                                  "EventMouseLeave", "EventFrameFocus"}));
    const auto changes = calls_at(log, "EventFrameFocus");
    ASSERT_EQ(changes.size(), 2u);
    EXPECT_TRUE(changes[0].focused);
    EXPECT_FALSE(changes[1].focused);

    // Focused by the pointer, then given the focus itself: no change, and
    // the focus stays when the pointer goes.
    point(*frame, 50, 50);
    log.clear();
    focus(frame->_quarn_backing->window);
    point(*frame, 300, 50);
    EXPECT_EQ(finals(), (std::vector<std::string>{"EventMouseLeave"}));
    focus(PointerRoot);
    EXPECT_EQ(calls_at(log, "EventFrameFocus").size(), 1u);
    EXPECT_FALSE(calls_at(log, "EventFrameFocus")[0].focused);
}
#endif

}  // namespace
