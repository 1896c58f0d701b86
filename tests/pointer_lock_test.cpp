#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <utility>
#include <vector>

#include "quarn/frame/frame.h"
#include "quarn/init.h"
#include "quarn/input/events/helpers.h"
#include "quarn/testing/testing.h"
#include "tests/support/pointer_fixture.h"
#include "tests/support/pump.h"
#include "tests/support/recording_frame.h"
#include "tests/support/x_client.h"

// Pointer lock under a window manager, with the mouse moved as a user's
// would: XTest's relative motion, which XInput2 reports as raw motion. (XTest
// also has absolute motion, reported as positions from the same device: the
// tests do not use it while a frame holds the pointer.)
namespace {

using quarn_test::Call;
using quarn_test::RecordingFrame;

class PointerLock : public quarn_test::PointerTest {};

TEST_F(PointerLock, MovesAddUpPastTheEdgeWhileThePointerStaysHiddenInside) {
    auto frame = shown_frame(100);
    const Window window = frame->_quarn_backing->window;
    focus(window, 50, 40);
    frame->set_cursor(Quarn::Frame::Cursor::HAND);
    log.clear();

    frame->set_pointer_locked(true);
    EXPECT_TRUE(pointer_grabbed());
    XSync(Quarn::_quarn_display, False);
    EXPECT_FALSE(client->shown_cursor().second) << "hidden while locked";
    frame->set_cursor(Quarn::Frame::Cursor::TEXT);  // remembered, still hidden
    XSync(Quarn::_quarn_display, False);
    EXPECT_FALSE(client->shown_cursor().second);

    for (int i = 0; i < 5; ++i) client->move_pointer_by(60, 0);
    client->move_pointer_by(0, -70);
    const auto locked_moves = moves();
    ASSERT_EQ(locked_moves.size(), 6u);
    EXPECT_EQ(locked_moves[0], (std::vector<int>{110, 40, 60, 0, 60, 0}));
    EXPECT_EQ(locked_moves[4], (std::vector<int>{350, 40, 60, 0, 60, 0})) << "past the frame's width of 200";
    EXPECT_EQ(locked_moves[5], (std::vector<int>{350, -30, 0, -70, 0, -70}));
    const auto [inside_x, inside_y] = client->pointer_in(window);
    EXPECT_TRUE(inside_x >= 0 && inside_x < 200 && inside_y >= 0 && inside_y < 150) << inside_x << "," << inside_y;

    frame->set_pointer_locked(false);
    EXPECT_FALSE(pointer_grabbed());
    EXPECT_EQ(client->pointer_in(window), std::make_pair(50, 40)) << "back where it was";
    XSync(Quarn::_quarn_display, False);
    EXPECT_TRUE(client->shown_cursor().second);
    for (const auto& move : moves()) EXPECT_EQ(move[2] | move[3], 0) << "no jump reported";
    client->move_pointer_by(5, 2);
    EXPECT_EQ(moves(), (std::vector<std::vector<int>>{{55, 42, 5, 2, 5, 2}}));
}

TEST_F(PointerLock, TheLockLetsGoWithTheFocusAndTakesThePointerAgainWhenItComesBack) {
    auto frame = shown_frame(100);
    auto other = shown_frame(500);
    const Window window = frame->_quarn_backing->window;
    focus(window, 50, 40);
    frame->set_pointer_locked(true);
    ASSERT_TRUE(pointer_grabbed());
    log.clear();

    focus(other->_quarn_backing->window, 20, 20);
    EXPECT_FALSE(pointer_grabbed()) << "free while another window has the focus";
    XSync(Quarn::_quarn_display, False);
    EXPECT_TRUE(client->shown_cursor().second);
    log.clear();
    client->move_pointer_by(7, 0);
    for (const auto& move : moves()) EXPECT_NE(move[2], 7) << "raw motion is not the locked frame's meanwhile";

    focus(window, 50, 40);
    EXPECT_TRUE(pointer_grabbed());
    XSync(Quarn::_quarn_display, False);
    EXPECT_FALSE(client->shown_cursor().second);
    log.clear();
    client->move_pointer_by(7, 0);
    const auto again = moves();
    ASSERT_EQ(again.size(), 1u);
    EXPECT_EQ(again[0][2], 7);

    // Given back while another window has the focus: the pointer stays with it.
    focus(other->_quarn_backing->window, 20, 20);
    client->point(other->_quarn_backing->window, 20, 20);  // held inside the frame until the focus moved
    quarn_test::settle(*client);
    frame->set_pointer_locked(false);
    XSync(Quarn::_quarn_display, False);
    EXPECT_EQ(client->pointer_in(other->_quarn_backing->window), std::make_pair(20, 20));
}

TEST_F(PointerLock, OneFrameHoldsItAtATimeAndADestroyedFrameGivesItBack) {
    auto frame = shown_frame(100);
    auto other = shown_frame(500);
    focus(frame->_quarn_backing->window, 50, 40);
    frame->set_pointer_locked(true);
    focus(other->_quarn_backing->window, 20, 20);
    other->set_pointer_locked(true);  // takes it from the first
    ASSERT_TRUE(pointer_grabbed());
    log.clear();
    client->move_pointer_by(3, 4);
    quarn_test::settle(*client);
    std::vector<const Quarn::Input::State*> movers;
    for (const Call& call : log)
        if (call.level == "EventMouseMove" && (call.move[2] || call.move[3])) movers.push_back(call.state);
    EXPECT_EQ(movers, std::vector<const Quarn::Input::State*>{other->input_state});
    frame->set_pointer_locked(false);  // not the holder: changes nothing
    EXPECT_TRUE(pointer_grabbed());
    other.reset();
    EXPECT_FALSE(pointer_grabbed());
    client->move_pointer_by(3, 4);
    quarn_test::settle(*client);  // raw motion for no frame is dropped
}

TEST_F(PointerLock, LockedWhileAnotherWindowHasTheFocusTheGrabWaitsForTheFocus) {
    auto frame = shown_frame(100);
    auto other = shown_frame(500);
    const Window window = frame->_quarn_backing->window;
    focus(other->_quarn_backing->window, 20, 20);
    frame->set_pointer_locked(true);
    EXPECT_FALSE(pointer_grabbed()) << "the user is in another window";
    EXPECT_EQ(client->pointer_in(other->_quarn_backing->window), std::make_pair(20, 20));
    XSync(Quarn::_quarn_display, False);
    EXPECT_TRUE(client->shown_cursor().second);

    focus(window, 50, 40);
    EXPECT_TRUE(pointer_grabbed());
    XSync(Quarn::_quarn_display, False);
    EXPECT_FALSE(client->shown_cursor().second);
    log.clear();
    client->move_pointer_by(6, 0);
    const auto locked_moves = moves();
    ASSERT_EQ(locked_moves.size(), 1u);
    EXPECT_EQ(locked_moves[0][2], 6);
}

TEST_F(PointerLock, AGrabRefusedWhenTheFocusCameIsTakenOnceTheOtherGrabEnds) {
    auto frame = shown_frame(100);
    auto other = shown_frame(500);
    const Window window = frame->_quarn_backing->window;
    // Asked again, or left to the pump: either takes the pointer once it is free.
    for (const bool ask_again : {false, true}) {
        SCOPED_TRACE(ask_again ? "locked again" : "left to the pump");
        focus(other->_quarn_backing->window, 20, 20);
        frame->set_pointer_locked(true);
        // As a window manager's passive grab does on the click that focuses the frame.
        ASSERT_EQ(XGrabPointer(client->display(), client->root(), False, ButtonPressMask, GrabModeAsync, GrabModeAsync,
                               None, None, CurrentTime),
                  GrabSuccess);
        focus(window, 50, 40);
        XSync(Quarn::_quarn_display, False);
        EXPECT_TRUE(client->shown_cursor().second) << "not held, so not hidden";
        XUngrabPointer(client->display(), CurrentTime);
        client->sync();
        if (ask_again) {
            frame->set_pointer_locked(true);
            EXPECT_TRUE(pointer_grabbed());
        } else {
            EXPECT_TRUE(Quarn::Testing::pump_until([&] { return pointer_grabbed(); }, std::chrono::seconds(2)));
        }
        XSync(Quarn::_quarn_display, False);
        EXPECT_FALSE(client->shown_cursor().second);
        log.clear();
        client->move_pointer_by(5, 0);
        const auto locked_moves = moves();
        ASSERT_EQ(locked_moves.size(), 1u);
        EXPECT_EQ(locked_moves[0][2], 5);
        frame->set_pointer_locked(false);
    }
}

TEST_F(PointerLock, TheLockFollowsTheServerEndingTheGrabOfAHiddenFrame) {
    auto frame = shown_frame(100);
    const Window window = frame->_quarn_backing->window;
    focus(window, 50, 40);
    frame->set_pointer_locked(true);
    ASSERT_TRUE(pointer_grabbed());

    frame->set_show(false, 0);
    quarn_test::settle(*client);
    EXPECT_FALSE(pointer_grabbed()) << "the server ends the grab of a window that is not viewable";
    log.clear();
    client->move_pointer_by(4, 0);
    EXPECT_TRUE(moves().empty()) << "the pointer is free: its moves are not the frame's";

    // Shown again under the pointer, with the keys going to it: held again.
    frame->set_show(true, 0);
    XFlush(Quarn::_quarn_display);
    ASSERT_TRUE(client->wait_viewable(window));
    client->focus_and_point(window, 60, 40);
    EXPECT_TRUE(Quarn::Testing::pump_until([&] { return pointer_grabbed(); }, std::chrono::seconds(2)));
    XSync(Quarn::_quarn_display, False);
    EXPECT_FALSE(client->shown_cursor().second);
    frame->set_pointer_locked(false);
    XSync(Quarn::_quarn_display, False);
    EXPECT_EQ(client->pointer_in(window), std::make_pair(50, 40));
}

#if !QUARN_TEST_WINDOW_MANAGER
// Without a manager nothing gives a frame shown again the focus: with the
// pointer elsewhere, the lock stays without a grab, and giving it back leaves
// the pointer where the user has it.
TEST_F(PointerLock, AFrameShownAgainAwayFromThePointerDoesNotTakeIt) {
    auto frame = shown_frame(100);
    const Window window = frame->_quarn_backing->window;
    XSetInputFocus(client->display(), PointerRoot, RevertToPointerRoot, CurrentTime);
    client->point(window, 50, 40);
    quarn_test::settle(*client);
    frame->set_pointer_locked(true);
    ASSERT_TRUE(pointer_grabbed()) << "the focus follows the pointer, which is in the frame";

    frame->set_show(false, 0);
    quarn_test::settle(*client);
    client->point_on_screen(900, 800);
    frame->set_show(true, 0);
    XFlush(Quarn::_quarn_display);
    ASSERT_TRUE(client->wait_viewable(window));
    quarn_test::settle(*client);
    EXPECT_FALSE(pointer_grabbed());
    XSync(Quarn::_quarn_display, False);
    EXPECT_TRUE(client->shown_cursor().second);
    frame->set_pointer_locked(false);
    XSync(Quarn::_quarn_display, False);
    int x = 0, y = 0;
    Window child = None;
    XTranslateCoordinates(client->display(), window, client->root(), client->pointer_in(window).first,
                          client->pointer_in(window).second, &x, &y, &child);
    EXPECT_EQ(std::make_pair(x, y), std::make_pair(900, 800)) << "not warped back into the frame";
}
#endif

TEST_F(PointerLock, AFrameLockedAtDeinitIsDestroyedLaterAndANewStartForgetsIt) {
    auto frame = shown_frame(100);
    focus(frame->_quarn_backing->window, 50, 40);
    frame->set_pointer_locked(true);
    ASSERT_TRUE(pointer_grabbed());
    Quarn::deinit();
    frame.reset();  // after deinit: no connection to give the pointer back on

    quarn_test::start_library();
    auto fresh = shown_frame(100);
    focus(fresh->_quarn_backing->window, 50, 40);
    EXPECT_FALSE(pointer_grabbed()) << "the old lock ended with its connection";
    fresh->set_pointer_locked(true);
    EXPECT_TRUE(pointer_grabbed());
    log.clear();
    client->move_pointer_by(2, 3);
    const auto locked_moves = moves();
    ASSERT_EQ(locked_moves.size(), 1u);
    EXPECT_EQ(locked_moves[0][2], 2);
    fresh->set_pointer_locked(false);
    EXPECT_FALSE(pointer_grabbed());
}

}  // namespace
