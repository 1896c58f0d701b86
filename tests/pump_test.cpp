#include <gtest/gtest.h>

#include <X11/keysym.h>

#include <string>
#include <vector>

#include "quarn/context.h"
#include "quarn/frame/helpers.h"
#include "quarn/init.h"
#include "quarn/input/events/helpers.h"
#include "quarn/input/state.h"
#include "quarn/testing/testing.h"
#include "tests/support/capture.h"
#include "tests/support/fixture.h"
#include "tests/support/recording_frame.h"
#include "tests/support/x_client.h"

// Counts the library's XPending calls (this binary links with --wrap=XPending).
static int xpending_calls = 0;
extern "C" int __real_XPending(Display* display);
extern "C" int __wrap_XPending(Display* display) {
    ++xpending_calls;
    return __real_XPending(display);
}

namespace {

using quarn_test::Call;
using quarn_test::calls_at;
using quarn_test::RecordingFrame;
using quarn_test::StdoutCapture;

const std::vector<std::string> kLeftDown = {"EventBase", "EventMouseBase", "EventMouseButtonBase",
                                            "EventMouseButtonLeftBase", "EventMouseButtonLeftDown"};
const std::vector<std::string> kLeftUp = {"EventBase", "EventMouseBase", "EventMouseButtonBase",
                                          "EventMouseButtonLeftBase", "EventMouseButtonLeftUp"};

class Pump : public quarn_test::LibraryTest {
protected:
    void SetUp() override {
        LibraryTest::SetUp();
        client = std::make_unique<quarn_test::XClient>();
        // Park the pointer away from where the test windows appear.
        client->point_on_screen(1200, 1000);
    }
    void TearDown() override {
        client.reset();
        LibraryTest::TearDown();
    }

    // Shows `frame` at (x, 0), 200 x 200, waits until it is viewable, drains
    // what that caused, and forgets the calls so far.
    void show(RecordingFrame& frame, int x = 0) {
        frame.set_size(200, 200);
        frame.set_position(x, 0);
        frame.set_show(true, 0);
        XFlush(Quarn::_quarn_display);
        ASSERT_TRUE(client->wait_viewable(frame._quarn_backing->window));
        quarn_test::settle(*client);
        frame.log.clear();
    }
    // Shows and points into `frame`, then forgets the calls so far.
    void show_and_point(RecordingFrame& frame, int x = 0) {
        show(frame, x);
        input.move(frame, 50, 50);
        quarn_test::settle(*client);
        frame.log.clear();
    }
    bool wait_for_calls(std::size_t count) {
        return Quarn::Testing::pump_until([&] { return log.size() >= count; });
    }

    Quarn::Testing::Input input;
    std::unique_ptr<quarn_test::XClient> client;
    std::vector<Call> log;
    std::vector<Call> right_log;  // a second frame's, where a test has one
};

TEST_F(Pump, NothingPendingMeansOneXPendingAndNoCallback) {
    RecordingFrame frame(log);
    show(frame);
    xpending_calls = 0;
    Quarn::Input::Events::handle();
    EXPECT_EQ(xpending_calls, 1);
    EXPECT_TRUE(log.empty());
}

TEST_F(Pump, LeftPressAndReleaseDeliverBothChainsWithButtonState) {
    RecordingFrame frame(log);
    show_and_point(frame);
    input.click(frame, 50, 50);
    ASSERT_TRUE(wait_for_calls(10));
    std::vector<std::string> expected = kLeftDown;
    expected.insert(expected.end(), kLeftUp.begin(), kLeftUp.end());
    EXPECT_EQ(frame.levels(), expected);
    for (std::size_t i = 0; i < log.size(); ++i) EXPECT_EQ(log[i].buttons[0], i < 5) << "call " << i;
    EXPECT_EQ(log[0].type, 4);
    EXPECT_EQ(log[5].type, 32);
}

TEST_F(Pump, MiddleAndRightButtonsMapToTheirEventsWheelButtonsToNothing) {
    RecordingFrame frame(log);
    show_and_point(frame);
    input.click(frame, 50, 50, 4);
    input.click(frame, 50, 50, 5);
    input.click(frame, 50, 50, 2);
    input.press_button(frame, 50, 50, 3);
    ASSERT_TRUE(wait_for_calls(15));
    quarn_test::settle(*client);
    const auto finals = calls_at(log, "EventMouseButtonBase");
    ASSERT_EQ(finals.size(), 3u);
    EXPECT_EQ(finals[0].type, 8);
    EXPECT_EQ(finals[1].type, 64);
    EXPECT_EQ(finals[2].type, 16);
    EXPECT_TRUE(finals[2].buttons[2]);
    EXPECT_TRUE(frame.input_state->mouse_buttons[2]);
    EXPECT_FALSE(frame.input_state->mouse_buttons[1]);
    EXPECT_TRUE(calls_at(log, "EventMouseScroll").empty());
    EXPECT_EQ(frame.input_state->mouse_wheel_relative[0], 0);
    EXPECT_EQ(frame.input_state->mouse_wheel_relative[1], 0);
    input.release_button(frame, 50, 50, 3);
}

TEST_F(Pump, MotionReportsPositionAndRelativeMovement) {
    RecordingFrame frame(log);
    show(frame);
    EXPECT_EQ(frame.input_state->mouse_position_last[0], -1);
    input.move(frame, 10, 20);
    ASSERT_TRUE(wait_for_calls(3));
    input.move(frame, 15, 18);
    ASSERT_TRUE(wait_for_calls(6));
    const auto moves = calls_at(log, "EventMouseMove");
    ASSERT_EQ(moves.size(), 2u);
    EXPECT_EQ((std::vector<int>(moves[0].move, moves[0].move + 4)), (std::vector<int>{10, 20, 10, 20}));
    EXPECT_EQ((std::vector<int>(moves[1].move, moves[1].move + 4)), (std::vector<int>{15, 18, 5, -2}));
    // Inside the callbacks the state already holds the move.
    EXPECT_EQ(moves[1].relative[0], 5);
    EXPECT_EQ(moves[1].relative[1], -2);
    EXPECT_EQ(moves[1].position_last[0], 10);
    EXPECT_EQ(moves[1].position[1], 18);
    // Between events the relative motion reads zero; the last position stays.
    const Quarn::Input::State& state = *frame.input_state;
    EXPECT_EQ(state.mouse_relative[0], 0);
    EXPECT_EQ(state.mouse_relative[1], 0);
    EXPECT_EQ(state.mouse_position_last[0], 10);
    EXPECT_EQ(state.mouse_position_last[1], 20);
    EXPECT_EQ(state.mouse_position[0], 15);
}

TEST_F(Pump, KeysUseTheUnshiftedSymbolAndStateIsUpdatedFirst) {
    RecordingFrame frame(log);
    show_and_point(frame);
    EXPECT_FALSE(frame.input_state->key_pressed(XK_a));
    input.press_key(frame, XK_Shift_L);
    input.key(frame, XK_a);
    input.release_key(frame, XK_Shift_L);
    ASSERT_TRUE(wait_for_calls(12));
    const auto downs = calls_at(log, "EventKeyDown");
    const auto ups = calls_at(log, "EventKeyUp");
    ASSERT_EQ(downs.size(), 2u);
    ASSERT_EQ(ups.size(), 2u);
    EXPECT_EQ(downs[0].key, static_cast<unsigned int>(XK_Shift_L));
    EXPECT_EQ(downs[1].key, 0x61u);
    EXPECT_EQ(downs[1].type, 1);
    EXPECT_TRUE(downs[1].key_held);
    EXPECT_EQ(ups[0].key, 0x61u);
    EXPECT_EQ(ups[0].type, 2);
    EXPECT_FALSE(ups[0].key_held);
    // Every level of the A press saw the key already held.
    for (const Call& call : std::vector<Call>(log.begin() + 3, log.begin() + 6)) EXPECT_TRUE(call.key_held);
    EXPECT_FALSE(frame.input_state->key_pressed(XK_a));
    EXPECT_FALSE(frame.input_state->key_pressed(XK_Shift_L));
    EXPECT_FALSE(frame.input_state->key_pressed(XK_b));
}

TEST_F(Pump, AnyClientMessageIsACloseRequest) {
    RecordingFrame frame(log);
    show(frame);
    client->send_client_message(frame._quarn_backing->window, "SOMETHING_ELSE");
    ASSERT_TRUE(wait_for_calls(3));
    EXPECT_EQ(frame.levels(), (std::vector<std::string>{"EventBase", "EventFrameBase", "EventFrameClose"}));
    EXPECT_EQ(log[0].type, 2048);
    EXPECT_TRUE(frame.visible);  // the library closes nothing by itself
}

TEST_F(Pump, ConfigureNotifyPrintsItsTraceAndDeliversNothing) {
    RecordingFrame frame(log);
    show(frame);
    // A window of the library's connection that no frame owns: printed all the same.
    Display* display = Quarn::_quarn_display;
    const Window stranger = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 10, 10, 0, 0, 0);
    XSync(display, False);
    StdoutCapture capture;
    client->send_configure(frame._quarn_backing->window, 640, 480);
    client->send_configure(stranger, 10, 20);
    quarn_test::settle(*client);
    XDestroyWindow(display, stranger);
    EXPECT_EQ(capture.finish(), "ConfigureNotify! (resize: 640x480)\nConfigureNotify! (resize: 10x20)\n");
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(frame.dimensions[0], 200);

    // The application may silence the trace line.
    StdoutCapture silenced;
    Quarn::Context::set_trace(false);
    client->send_configure(frame._quarn_backing->window, 640, 480);
    quarn_test::settle(*client);
    Quarn::Context::set_trace(true);
    EXPECT_EQ(silenced.finish(), "");
}

TEST_F(Pump, EventsOfWindowsWithoutAFrameAreDropped) {
    RecordingFrame frame(log);
    show(frame, 300);
    // A window of the library's own connection that no frame owns.
    Display* display = Quarn::_quarn_display;
    const Window stranger = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 100, 100, 0, 0, 0);
    XSelectInput(display, stranger, KeyPressMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask);
    XMapWindow(display, stranger);
    XFlush(display);
    ASSERT_TRUE(client->wait_viewable(stranger));
    client->focus_and_point(stranger, 20, 20);
    client->click(1);
    client->tap(XK_a);
    client->send_client_message(stranger);
    quarn_test::settle(*client);
    EXPECT_TRUE(log.empty());
    EXPECT_FALSE(frame.input_state->key_pressed(XK_a));
    EXPECT_EQ(frame.input_state->mouse_position[0], 0);
    EXPECT_EQ(Quarn::Frame::_quarn_windows->count(stranger), 0u);
    XDestroyWindow(display, stranger);
}

TEST_F(Pump, QueuedEventsOfADestroyedFrameAreDropped) {
    auto* doomed = new RecordingFrame(log);
    RecordingFrame survivor(log);
    show(*doomed);
    show(survivor, 300);
    input.click(*doomed, 30, 30);
    input.key(*doomed, XK_a);
    input.close(*doomed);
    quarn_test::queue_pending(*client);
    ASSERT_GT(XEventsQueued(Quarn::_quarn_display, QueuedAlready), 0);
    delete doomed;
    Quarn::Input::Events::handle();
    EXPECT_TRUE(log.empty());
}

TEST_F(Pump, TwoFramesKeepSeparateStates) {
    RecordingFrame left(log), right(right_log);
    show(left);
    show(right, 300);
    input.press_button(left, 40, 40);
    input.press_key(left, XK_a);
    ASSERT_TRUE(Quarn::Testing::pump_until([&] { return left.input_state->key_pressed(XK_a); }));
    EXPECT_TRUE(left.input_state->mouse_buttons[0]);
    EXPECT_FALSE(right.input_state->mouse_buttons[0]);
    EXPECT_FALSE(right.input_state->key_pressed(XK_a));
    EXPECT_EQ(right.input_state->mouse_position[0], 0);
    input.release_button(left, 40, 40);
    input.release_key(left, XK_a);
    ASSERT_TRUE(Quarn::Testing::pump_until([&] { return !left.input_state->key_pressed(XK_a); }));
    EXPECT_TRUE(right_log.empty());
}

const std::vector<std::string> kKeyUp = {"EventBase", "EventKeyBase", "EventKeyUp"};

TEST_F(Pump, LosingTheFocusReleasesHeldKeysButButtonsWaitForTheirRealRelease) {
    RecordingFrame left(log), right(right_log);
    show(left);
    show(right, 300);
    input.press_key(left, XK_w);
    input.press_key(left, XK_Shift_L);
    input.press_button(left, 40, 40, 1);
    ASSERT_TRUE(Quarn::Testing::pump_until([&] { return left.input_state->mouse_buttons[0]; }));
    log.clear();

    XSetInputFocus(client->display(), right._quarn_backing->window, RevertToPointerRoot, CurrentTime);
    quarn_test::settle(*client);
    std::vector<std::string> expected = kKeyUp;
    expected.insert(expected.end(), kKeyUp.begin(), kKeyUp.end());
    EXPECT_EQ(left.levels(), expected);
    const auto ups = calls_at(log, "EventKeyUp");
    ASSERT_EQ(ups.size(), 2u);
    EXPECT_EQ(ups[0].key, static_cast<unsigned int>(XK_w));  // in key-symbol order
    EXPECT_EQ(ups[1].key, static_cast<unsigned int>(XK_Shift_L));
    EXPECT_FALSE(ups[1].key_held);
    EXPECT_FALSE(left.input_state->key_pressed(XK_w));
    // The press gave the frame the implicit pointer grab: the user is still dragging.
    EXPECT_TRUE(left.input_state->mouse_buttons[0]);
    log.clear();

    // The real release reaches the frame that got the press, exactly once.
    input.release_button(left, 40, 40, 1);
    ASSERT_TRUE(Quarn::Testing::pump_until([&] { return !left.input_state->mouse_buttons[0]; }));
    quarn_test::settle(*client);
    EXPECT_EQ(left.levels(), kLeftUp);
    EXPECT_TRUE(calls_at(right_log, "EventMouseButtonBase").empty());

    // The keys' real releases go to whichever frame has the focus now.
    input.release_key(right, XK_w);
    ASSERT_TRUE(Quarn::Testing::pump_until([&] { return !calls_at(right_log, "EventKeyUp").empty(); }));
    EXPECT_EQ(calls_at(right_log, "EventKeyUp")[0].key, static_cast<unsigned int>(XK_w));
    input.release_key(right, XK_Shift_L);
}

TEST_F(Pump, AKeyStillHeldWhenTheFocusComesBackIsReleasedOnlyOnce) {
    RecordingFrame left(log), right(right_log);
    show(left);
    show(right, 300);
    input.press_key(left, XK_w);
    ASSERT_TRUE(Quarn::Testing::pump_until([&] { return left.input_state->key_pressed(XK_w); }));
    log.clear();

    XSetInputFocus(client->display(), right._quarn_backing->window, RevertToPointerRoot, CurrentTime);
    quarn_test::settle(*client);
    ASSERT_EQ(left.levels(), kKeyUp) << "made up as the focus left";
    XSetInputFocus(client->display(), left._quarn_backing->window, RevertToPointerRoot, CurrentTime);
    quarn_test::settle(*client);
    EXPECT_FALSE(left.input_state->key_pressed(XK_w)) << "no press is made up when the focus comes back";
    log.clear();

    // The real release reaches the frame after all: it was delivered already.
    client->key(XK_w, false);
    quarn_test::settle(*client);
    EXPECT_TRUE(log.empty()) << "a second release";
    EXPECT_TRUE(right_log.empty());

    // The next press of the key is new, and so is its release.
    input.press_key(left, XK_w);
    input.release_key(left, XK_w);
    quarn_test::settle(*client);
    EXPECT_EQ(calls_at(log, "EventKeyDown").size(), 1u);
    EXPECT_EQ(calls_at(log, "EventKeyUp").size(), 1u);
}

TEST_F(Pump, WhereTheFocusFollowsThePointerAKeyIsReleasedWhenThePointerLeavesTheFrame) {
    RecordingFrame frame(log);
    show_and_point(frame);
    const Window window = frame._quarn_backing->window;
    for (const bool back_before_release : {false, true}) {
        SCOPED_TRACE(back_before_release ? "the pointer back before the release" : "released outside");
        XSetInputFocus(client->display(), PointerRoot, RevertToPointerRoot, CurrentTime);
        client->point(window, 50, 50);
        client->key(XK_w, true);
        ASSERT_TRUE(Quarn::Testing::pump_until([&] { return frame.input_state->key_pressed(XK_w); }));
        log.clear();

        // The key's release goes where the pointer is now, not to the frame.
        client->point_on_screen(1200, 1000);
        quarn_test::settle(*client);
        EXPECT_FALSE(frame.input_state->key_pressed(XK_w));
        EXPECT_EQ(calls_at(log, "EventKeyUp").size(), 1u);
        if (back_before_release) {
            client->point(window, 50, 50);
            quarn_test::settle(*client);
        }
        client->key(XK_w, false);
        quarn_test::settle(*client);
        EXPECT_EQ(calls_at(log, "EventKeyUp").size(), 1u) << "one press, one release";
        EXPECT_FALSE(frame.input_state->key_pressed(XK_w));
        log.clear();
    }

    // Focused itself, the frame keeps its keys wherever the pointer goes.
    XSetInputFocus(client->display(), window, RevertToPointerRoot, CurrentTime);
    client->point(window, 50, 50);
    client->key(XK_w, true);
    ASSERT_TRUE(Quarn::Testing::pump_until([&] { return frame.input_state->key_pressed(XK_w); }));
    client->point_on_screen(1200, 1000);
    quarn_test::settle(*client);
    EXPECT_TRUE(frame.input_state->key_pressed(XK_w));
    client->key(XK_w, false);
    quarn_test::settle(*client);
    EXPECT_FALSE(frame.input_state->key_pressed(XK_w));
    EXPECT_EQ(calls_at(log, "EventKeyUp").size(), 1u);
}

TEST_F(Pump, AKeyReleasedDuringAnotherClientsGrabIsReleasedOnceTheGrabEnds) {
    RecordingFrame frame(log);
    show_and_point(frame);
    input.press_key(frame, XK_Shift_L);
    input.press_key(frame, XK_w);
    ASSERT_TRUE(Quarn::Testing::pump_until([&] { return frame.input_state->key_pressed(XK_w); }));
    log.clear();
    // A window manager's Alt+Tab: the keyboard is grabbed, Shift goes up meanwhile.
    ASSERT_EQ(XGrabKeyboard(client->display(), client->root(), False, GrabModeAsync, GrabModeAsync, CurrentTime),
              GrabSuccess);
    client->key(XK_Shift_L, false);
    quarn_test::settle(*client);
    XUngrabKeyboard(client->display(), CurrentTime);
    quarn_test::settle(*client);
    EXPECT_EQ(frame.levels(), kKeyUp);
    ASSERT_EQ(calls_at(log, "EventKeyUp").size(), 1u);
    EXPECT_EQ(calls_at(log, "EventKeyUp")[0].key, static_cast<unsigned int>(XK_Shift_L));
    EXPECT_FALSE(frame.input_state->key_pressed(XK_Shift_L));
    EXPECT_TRUE(frame.input_state->key_pressed(XK_w));  // still down, and its release will come
    log.clear();
    input.release_key(frame, XK_w);
    ASSERT_TRUE(Quarn::Testing::pump_until([&] { return !frame.input_state->key_pressed(XK_w); }));
    quarn_test::settle(*client);
    EXPECT_EQ(frame.levels(), kKeyUp);
}

TEST_F(Pump, AButtonWhoseWindowIsHiddenWhileHeldIsReleasedOnce) {
    // Released while hidden, and while shown again.
    for (const bool release_hidden : {true, false}) {
        SCOPED_TRACE(release_hidden ? "released while hidden" : "released after");
        log.clear();
        RecordingFrame frame(log);
        show_and_point(frame);
        input.press_button(frame, 50, 50, 1);
        ASSERT_TRUE(Quarn::Testing::pump_until([&] { return frame.input_state->mouse_buttons[0]; }));
        log.clear();
        // Hiding the window ends the press's implicit grab: the real release
        // goes elsewhere, so it is delivered now.
        frame.set_show(false, 0);
        XSync(Quarn::_quarn_display, False);
        quarn_test::settle(*client);
        EXPECT_EQ(frame.levels(), kLeftUp);
        EXPECT_FALSE(frame.input_state->mouse_buttons[0]);
        log.clear();
        if (release_hidden) client->button(1, false);
        frame.set_show(true, 0);
        XFlush(Quarn::_quarn_display);
        ASSERT_TRUE(client->wait_viewable(frame._quarn_backing->window));
        input.move(frame, 60, 60);
        ASSERT_TRUE(Quarn::Testing::pump_until([&] { return !calls_at(log, "EventMouseMove").empty(); }));
        if (!release_hidden) client->button(1, false);
        quarn_test::settle(*client);
        // Once either way: the real release that reached the shown frame was delivered already.
        EXPECT_EQ(frame.levels(), (std::vector<std::string>{"EventBase", "EventMouseBase", "EventMouseMove"}));
        EXPECT_EQ(calls_at(log, "EventMouseButtonBase").size(), 0u);
        EXPECT_FALSE(frame.input_state->mouse_buttons[0]);
    }
}

// Throws from the first key release it sees.
class ThrowOnFirstKeyUp : public RecordingFrame {
public:
    using RecordingFrame::callback_input;
    using RecordingFrame::RecordingFrame;
    void callback_input(const Quarn::Input::State* state, const Quarn::Input::Events::EventKeyUp* event) override {
        RecordingFrame::callback_input(state, event);
        if (!thrown) {
            thrown = true;
            throw 7;
        }
    }
    bool thrown = false;
};

TEST_F(Pump, AThrowingReleaseLeavesNothingHeldAndTheRestComesWithTheNextHandle) {
    ThrowOnFirstKeyUp left(log);
    RecordingFrame right(right_log);
    show(left);
    show(right, 300);
    input.press_key(left, XK_w);
    input.press_key(left, XK_s);
    ASSERT_TRUE(Quarn::Testing::pump_until([&] { return left.input_state->key_pressed(XK_w); }));
    log.clear();
    XSetInputFocus(client->display(), right._quarn_backing->window, RevertToPointerRoot, CurrentTime);
    quarn_test::queue_pending(*client);
    EXPECT_THROW(Quarn::Input::Events::handle(), int);
    EXPECT_FALSE(left.input_state->key_pressed(XK_s));
    EXPECT_FALSE(left.input_state->key_pressed(XK_w));
    ASSERT_EQ(calls_at(log, "EventKeyUp").size(), 1u);
    EXPECT_EQ(calls_at(log, "EventKeyUp")[0].key, static_cast<unsigned int>(XK_s));
    Quarn::Input::Events::handle();
    quarn_test::settle(*client);
    const auto ups = calls_at(log, "EventKeyUp");
    ASSERT_EQ(ups.size(), 2u);
    EXPECT_EQ(ups[1].key, static_cast<unsigned int>(XK_w));
    input.release_key(right, XK_w);
    input.release_key(right, XK_s);
}

// On its first key release, runs the pump again, or destroys itself.
class ReenteringFrame : public RecordingFrame {
public:
    using RecordingFrame::callback_input;
    using RecordingFrame::RecordingFrame;
    void callback_input(const Quarn::Input::State* state, const Quarn::Input::Events::EventKeyUp* event) override {
        RecordingFrame::callback_input(state, event);
        if (++releases != 1) return;
        if (destroy)
            delete this;
        else
            Quarn::Input::Events::handle();
    }
    bool destroy = false;
    int releases = 0;
};

TEST_F(Pump, AReleaseCallbackMayRunThePumpOrDestroyItsFrame) {
    for (const bool destroy : {false, true}) {
        SCOPED_TRACE(destroy ? "destroy" : "handle");
        log.clear();
        auto* left = new ReenteringFrame(log);
        left->destroy = destroy;
        RecordingFrame right(right_log);
        show(*left);
        show(right, 300);
        input.press_key(*left, XK_w);
        input.press_key(*left, XK_s);
        ASSERT_TRUE(Quarn::Testing::pump_until([&] { return left->input_state->key_pressed(XK_w); }));
        log.clear();
        XSetInputFocus(client->display(), right._quarn_backing->window, RevertToPointerRoot, CurrentTime);
        quarn_test::settle(*client);
        // Each key is released once; a destroyed frame gets nothing more.
        EXPECT_EQ(calls_at(log, "EventKeyUp").size(), destroy ? 1u : 2u);
        if (!destroy) delete left;
        input.release_key(right, XK_w);
        input.release_key(right, XK_s);
        quarn_test::settle(*client);
    }
}

TEST_F(Pump, AKeyboardGrabKeepsHeldKeys) {
    RecordingFrame frame(log);
    show(frame);
    input.press_key(frame, XK_w);
    ASSERT_TRUE(Quarn::Testing::pump_until([&] { return frame.input_state->key_pressed(XK_w); }));
    log.clear();
    // A window manager's key binding grabs the keyboard: focus events with
    // mode NotifyGrab and NotifyUngrab, but the focus stays with the frame.
    ASSERT_EQ(XGrabKeyboard(client->display(), client->root(), False, GrabModeAsync, GrabModeAsync, CurrentTime),
              GrabSuccess);
    quarn_test::settle(*client);
    XUngrabKeyboard(client->display(), CurrentTime);
    quarn_test::settle(*client);
    EXPECT_TRUE(log.empty());
    EXPECT_TRUE(frame.input_state->key_pressed(XK_w));
    input.release_key(frame, XK_w);
    ASSERT_TRUE(Quarn::Testing::pump_until([&] { return !frame.input_state->key_pressed(XK_w); }));
}

TEST_F(Pump, MappingNotifyRefreshesTheKeyboardMapping) {
    RecordingFrame frame(log);
    show(frame);
    Display* injector = client->display();
    const KeyCode code = XKeysymToKeycode(injector, XK_a);
    int per_code = 0;
    KeySym* original = XGetKeyboardMapping(injector, code, 1, &per_code);
    input.key(frame, XK_a);  // the library now holds the old mapping
    ASSERT_TRUE(wait_for_calls(6));

    std::vector<KeySym> remapped(original, original + per_code);
    remapped[0] = XK_q;
    XChangeKeyboardMapping(injector, code, per_code, remapped.data(), 1);
    client->sync();
    quarn_test::settle(*client);
    // The raw key code: the kit's own connection still has the old mapping.
    client->key_code(code, true);
    client->key_code(code, false);
    ASSERT_TRUE(wait_for_calls(12));
    XChangeKeyboardMapping(injector, code, per_code, original, 1);
    XFree(original);
    client->sync();

    const auto downs = calls_at(log, "EventKeyDown");
    ASSERT_EQ(downs.size(), 2u);
    EXPECT_EQ(downs[0].key, static_cast<unsigned int>(XK_a));
    EXPECT_EQ(downs[1].key, static_cast<unsigned int>(XK_q));
}

// Throws from the left press, so the release stays queued for the next call.
class ThrowOnPress : public RecordingFrame {
public:
    using RecordingFrame::callback_input;
    using RecordingFrame::RecordingFrame;
    void callback_input(const Quarn::Input::State* state,
                        const Quarn::Input::Events::EventMouseButtonLeftDown* event) override {
        RecordingFrame::callback_input(state, event);
        throw 7;
    }
};

TEST_F(Pump, CallbackExceptionLeavesHandleAndKeepsLaterEventsQueued) {
    ThrowOnPress frame(log);
    show_and_point(frame);
    input.click(frame, 50, 50);
    quarn_test::queue_pending(*client);
    EXPECT_THROW(Quarn::Input::Events::handle(), int);
    EXPECT_EQ(frame.levels(), kLeftDown);
    log.clear();
    Quarn::Input::Events::handle();
    EXPECT_EQ(frame.levels(), kLeftUp);
}

TEST(InputState, StartsEmpty) {
    Quarn::Input::State state;
    EXPECT_FALSE(state.mouse_buttons[0] || state.mouse_buttons[1] || state.mouse_buttons[2]);
    EXPECT_EQ(state.mouse_position[0], 0);
    EXPECT_EQ(state.mouse_position[1], 0);
    EXPECT_EQ(state.mouse_position_last[0], -1);
    EXPECT_EQ(state.mouse_position_last[1], -1);
    EXPECT_EQ(state.mouse_relative[0], 0);
    EXPECT_EQ(state.mouse_wheel_relative[1], 0);
    for (int key : {0, 0x61, 0xff1b, -1}) EXPECT_FALSE(state.key_pressed(key));
}

}  // namespace
