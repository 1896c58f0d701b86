#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "quarn/error_trap.h"
#include "quarn/frame/frame.h"
#include "quarn/init.h"
#include "quarn/testing/testing.h"
#include "tests/support/capture.h"
#include "tests/support/pointer_fixture.h"
#include "tests/support/pump.h"
#include "tests/support/recording_frame.h"

// Moving the pointer, confining it, and cursors made from images, under a
// window manager and without one; the mouse moves as a user's would (XTest's
// relative motion from another client), and the cursor shown is read back
// with XFixes.
namespace {

using Quarn::Frame::Cursor;
using quarn_test::StdoutCapture;

class PointerPosition : public quarn_test::PointerTest {};
class PointerConfinement : public quarn_test::PointerTest {};
class ImageCursor : public quarn_test::PointerTest {
protected:
    // A frame under the pointer, which shows the frame's cursor.
    std::unique_ptr<quarn_test::RecordingFrame> pointed_frame() {
        auto frame = shown_frame(100);
        focus(frame->_quarn_backing->window, 50, 40);
        return frame;
    }
};

// Where the pointer is, as the second client asks the server.
std::pair<int, int> position_in(quarn_test::XClient& client, const Quarn::Frame::FrameBase& frame) {
    return client.pointer_in(frame._quarn_backing->window);
}

// Whether `cursor` names a cursor the server still has: one freed by the
// library is unknown to it (BadCursor), even while a window still shows it.
bool cursor_exists(unsigned long cursor) {
    const Window probe =
        XCreateSimpleWindow(Quarn::_quarn_display, DefaultRootWindow(Quarn::_quarn_display), 0, 0, 1, 1, 0, 0, 0);
    const int error = Quarn::_quarn_trap_x_errors([&] { XDefineCursor(Quarn::_quarn_display, probe, cursor); });
    XDestroyWindow(Quarn::_quarn_display, probe);
    return error == Success;
}

TEST_F(PointerPosition, ThePointerGoesWhereAskedArrivesAsAMoveAndIsAskedFromTheServer) {
    auto frame = shown_frame(100);
    focus(frame->_quarn_backing->window, 50, 40);
    log.clear();

    frame->set_mouse_position(30, 45);
    EXPECT_EQ(position_in(*client, *frame), std::make_pair(30, 45)) << "moved without a call to handle()";
    int xy[2] = {-1, -1};
    EXPECT_TRUE(frame->get_mouse_position(xy));
    EXPECT_EQ(std::make_pair(xy[0], xy[1]), std::make_pair(30, 45));
    EXPECT_EQ(moves(), (std::vector<std::vector<int>>{{30, 45, -20, 5, -20, 5}})) << "as the server reports it";

    // Asked from the server, not the last move delivered: the state's
    // mouse_position keeps that until the pump delivers the next one.
    client->move_pointer_by(7, 3);
    EXPECT_TRUE(frame->get_mouse_position(xy));
    EXPECT_EQ(std::make_pair(xy[0], xy[1]), std::make_pair(37, 48));
    EXPECT_EQ(frame->input_state->mouse_position[0], 30);
    EXPECT_EQ(moves(), (std::vector<std::vector<int>>{{37, 48, 7, 3, 7, 3}}));

    // Outside the frame: the pointer goes there, and is found there.
    frame->set_mouse_position(-20, 170);
    EXPECT_TRUE(frame->get_mouse_position(xy));
    EXPECT_EQ(std::make_pair(xy[0], xy[1]), std::make_pair(-20, 170));
    EXPECT_EQ(position_in(*client, *frame), std::make_pair(-20, 170));
}

// The pointer on another screen of the display (get_mouse_position returns
// false) needs a server with two screens, which the test server is not.
TEST_F(PointerPosition, PositionsTheProtocolCannotCarryAndANullPointerAreRefusedWithAWarning) {
    auto frame = shown_frame(100);
    focus(frame->_quarn_backing->window, 50, 40);
    for (const auto& [x, y] : std::vector<std::pair<int, int>>{{40000, 10}, {10, -40000}, {-32769, 0}}) {
        StdoutCapture capture;
        frame->set_mouse_position(x, y);
        EXPECT_EQ(capture.lines(), std::vector<std::string>{"Quarn: Cannot set a mouse position outside -32768 to "
                                                            "32767!  Ignoring .set_mouse_position!"});
        EXPECT_EQ(position_in(*client, *frame), std::make_pair(50, 40)) << x << "," << y;
    }
    StdoutCapture capture;
    EXPECT_FALSE(frame->get_mouse_position(nullptr));
    EXPECT_EQ(capture.lines(),
              std::vector<std::string>{"Quarn: Cannot get the mouse position into a null pointer!  Ignoring "
                                       ".get_mouse_position!"});
}

TEST_F(PointerPosition, WhileLockedItSetsWhereGivingTheLockBackShowsThePointer) {
    auto frame = shown_frame(100);
    const Window window = frame->_quarn_backing->window;
    focus(window, 50, 40);
    frame->set_pointer_locked(true);
    ASSERT_TRUE(pointer_grabbed());
    log.clear();
    frame->set_mouse_position(120, 90);
    EXPECT_TRUE(moves().empty()) << "no move, real or virtual";
    client->move_pointer_by(3, 0);
    EXPECT_EQ(moves(), (std::vector<std::vector<int>>{{53, 40, 3, 0, 3, 0}})) << "the virtual position goes on";
    frame->set_pointer_locked(false);
    XSync(Quarn::_quarn_display, False);
    EXPECT_EQ(client->pointer_in(window), std::make_pair(120, 90));
    for (const auto& move : moves()) EXPECT_EQ(move[2] | move[3], 0) << "no jump reported";
    client->move_pointer_by(1, 1);
    EXPECT_EQ(moves(), (std::vector<std::vector<int>>{{121, 91, 1, 1, 1, 1}}));
}

TEST_F(PointerConfinement, ThePointerPushedPastTheEdgeStaysInsideVisibleAndMovesAsUsual) {
    auto frame = shown_frame(100);
    const Window window = frame->_quarn_backing->window;
    focus(window, 50, 40);
    frame->set_cursor(Cursor::HAND);
    const unsigned long hand = cursor_image().serial;
    log.clear();

    frame->set_pointer_confined(true);
    EXPECT_TRUE(pointer_grabbed());
    EXPECT_EQ(cursor_image().serial, hand) << "the frame's own cursor, shown";
    client->move_pointer_by(300, 0);
    EXPECT_EQ(client->pointer_in(window), std::make_pair(199, 40));
    client->move_pointer_by(0, -500);
    EXPECT_EQ(client->pointer_in(window), std::make_pair(199, 0));
    client->move_pointer_by(-1000, 1000);
    EXPECT_EQ(client->pointer_in(window), std::make_pair(0, 149));
    // Positions where the pointer is, as any frame's: no raw motion, no
    // virtual position running past the edge.
    EXPECT_EQ(moves(), (std::vector<std::vector<int>>{
                           {199, 40, 149, 0, 149, 0}, {199, 0, 0, -40, 0, -40}, {0, 149, -199, 149, -199, 149}}));
    frame->set_mouse_position(500, -100);  // stops at the edge too
    EXPECT_EQ(client->pointer_in(window), std::make_pair(199, 0));
    EXPECT_TRUE(cursor_image().visible());
    EXPECT_EQ(cursor_image().serial, hand);
    frame->set_cursor(Cursor::TEXT);  // shown at once, unlike a lock's
    const unsigned long text = cursor_image().serial;
    EXPECT_NE(text, hand);

    frame->set_pointer_locked(false);  // not locked: changes nothing
    EXPECT_TRUE(pointer_grabbed());
    frame->set_pointer_confined(false);
    EXPECT_FALSE(pointer_grabbed());
    EXPECT_EQ(client->pointer_in(window), std::make_pair(199, 0)) << "left where it is";
    log.clear();
    client->move_pointer_by(20, 0);
    EXPECT_EQ(client->pointer_in(window), std::make_pair(219, 0)) << "free to leave";
}

TEST_F(PointerConfinement, LetsGoWithTheFocusAndTakesThePointerAgainWhenItComesBack) {
    auto frame = shown_frame(100);
    auto other = shown_frame(500);
    const Window window = frame->_quarn_backing->window;
    focus(window, 50, 40);
    frame->set_pointer_confined(true);
    ASSERT_TRUE(pointer_grabbed());

    focus(other->_quarn_backing->window, 20, 20);
    EXPECT_FALSE(pointer_grabbed()) << "free while another window has the focus";
    client->point(other->_quarn_backing->window, 20, 20);  // held inside the frame until the focus moved
    client->move_pointer_by(15, 0);
    EXPECT_EQ(client->pointer_in(other->_quarn_backing->window), std::make_pair(35, 20));

    focus(window, 50, 40);
    EXPECT_TRUE(pointer_grabbed());
    client->move_pointer_by(400, 0);
    EXPECT_EQ(client->pointer_in(window), std::make_pair(199, 40)) << "held again";
    frame->set_pointer_confined(false);
    EXPECT_FALSE(pointer_grabbed());
}

TEST_F(PointerConfinement, ConfinedWhileAnotherGrabRefusesItTheGrabIsTakenOnceThatEnds) {
    auto frame = shown_frame(100);
    auto other = shown_frame(500);
    const Window window = frame->_quarn_backing->window;
    focus(other->_quarn_backing->window, 20, 20);
    frame->set_pointer_confined(true);
    EXPECT_FALSE(pointer_grabbed()) << "the user is in another window";
    // As a window manager's passive grab does on the click that focuses the frame.
    ASSERT_EQ(XGrabPointer(client->display(), client->root(), False, ButtonPressMask, GrabModeAsync, GrabModeAsync,
                           None, None, CurrentTime),
              GrabSuccess);
    focus(window, 50, 40);
    XUngrabPointer(client->display(), CurrentTime);
    client->sync();
    EXPECT_TRUE(Quarn::Testing::pump_until([&] { return pointer_grabbed(); }, std::chrono::seconds(2)));
    client->move_pointer_by(-300, 0);
    EXPECT_EQ(client->pointer_in(window), std::make_pair(0, 40));
    frame->set_pointer_confined(false);
}

TEST_F(PointerConfinement, TheLaterOfLockingAndConfiningWins) {
    auto frame = shown_frame(100);
    const Window window = frame->_quarn_backing->window;
    focus(window, 50, 40);
    log.clear();

    // Lock, then confine: the lock is given back (the pointer shown where it
    // was) and the pointer is held where the user sees it.
    frame->set_pointer_locked(true);
    client->move_pointer_by(30, 30);
    frame->set_pointer_confined(true);
    EXPECT_TRUE(pointer_grabbed());
    EXPECT_EQ(client->pointer_in(window), std::make_pair(50, 40));
    EXPECT_TRUE(cursor_image().visible());
    for (const auto& move : moves()) EXPECT_EQ(move[2] | move[3], 0) << "no jump reported";
    client->move_pointer_by(400, 0);
    EXPECT_EQ(moves(), (std::vector<std::vector<int>>{{199, 40, 149, 0, 149, 0}})) << "a position, not raw motion";
    frame->set_pointer_locked(false);  // not locked: changes nothing
    EXPECT_TRUE(pointer_grabbed());

    // Confine, then lock: hidden, and the moves add up past the edge.
    frame->set_pointer_locked(true);
    EXPECT_TRUE(pointer_grabbed());
    EXPECT_FALSE(cursor_image().visible());
    moves();
    client->move_pointer_by(25, 0);
    EXPECT_EQ(moves(), (std::vector<std::vector<int>>{{224, 40, 25, 0, 25, 0}}));
    frame->set_pointer_confined(false);  // not confined: changes nothing
    EXPECT_TRUE(pointer_grabbed());
    EXPECT_FALSE(cursor_image().visible());
    frame->set_pointer_locked(false);
    EXPECT_FALSE(pointer_grabbed());
    EXPECT_EQ(client->pointer_in(window), std::make_pair(199, 40)) << "where the lock found it";
    EXPECT_TRUE(cursor_image().visible());
}

TEST_F(PointerConfinement, ConfiningAnotherFrameOrDestroyingTheFrameGivesItUp) {
    auto frame = shown_frame(100);
    auto other = shown_frame(500);
    focus(frame->_quarn_backing->window, 50, 40);
    frame->set_pointer_locked(true);
    focus(other->_quarn_backing->window, 20, 20);
    other->set_pointer_confined(true);  // takes it from the first
    ASSERT_TRUE(pointer_grabbed());
    client->move_pointer_by(-100, 0);
    EXPECT_EQ(client->pointer_in(other->_quarn_backing->window), std::make_pair(0, 20));
    frame->set_pointer_locked(false);  // not the holder: changes nothing
    EXPECT_TRUE(pointer_grabbed());
    other.reset();
    EXPECT_FALSE(pointer_grabbed());
    frame->set_pointer_confined(true);  // a fresh hold, not the destroyed frame's
    focus(frame->_quarn_backing->window, 50, 40);
    EXPECT_TRUE(pointer_grabbed());
}

TEST_F(PointerConfinement, FollowsTheServerEndingTheGrabOfAHiddenFrame) {
    auto frame = shown_frame(100);
    const Window window = frame->_quarn_backing->window;
    focus(window, 50, 40);
    frame->set_pointer_confined(true);
    ASSERT_TRUE(pointer_grabbed());
    frame->set_show(false, 0);
    quarn_test::settle(*client);
    EXPECT_FALSE(pointer_grabbed());
    frame->set_show(true, 0);
    XFlush(Quarn::_quarn_display);
    ASSERT_TRUE(client->wait_viewable(window));
    client->focus_and_point(window, 60, 40);
    EXPECT_TRUE(Quarn::Testing::pump_until([&] { return pointer_grabbed(); }, std::chrono::seconds(2)));
    client->move_pointer_by(0, 500);
    EXPECT_EQ(client->pointer_in(window), std::make_pair(60, 149));
}

TEST_F(PointerConfinement, AConfinementAtDeinitEndsThereAndANewStartForgetsIt) {
    auto frame = shown_frame(100);
    focus(frame->_quarn_backing->window, 50, 40);
    frame->set_pointer_confined(true);
    ASSERT_TRUE(pointer_grabbed());
    Quarn::deinit();
    frame.reset();  // after deinit: nothing to give back

    quarn_test::start_library();
    auto fresh = shown_frame(100);
    focus(fresh->_quarn_backing->window, 50, 40);
    EXPECT_FALSE(pointer_grabbed()) << "the old confinement ended with its connection";
    fresh->set_pointer_confined(true);
    EXPECT_TRUE(pointer_grabbed());
}

// 2 x 2 RGBA pixels: opaque red, half-transparent orange-brown, fully
// transparent, opaque white. (An image with colour under a fully
// transparent pixel is taken for straight alpha and premultiplied on its way
// to the screen, by libXcursor or the server, so that pixel has none here:
// what is shown is Quarn's premultiplying.)
constexpr unsigned char kPixels[] = {255, 0, 0, 255, 200, 100, 50, 128, 0, 0, 0, 0, 255, 255, 255, 255};

TEST_F(ImageCursor, ShowsItsPixelsPremultipliedWithItsHotSpot) {
    auto frame = pointed_frame();
    frame->set_cursor(2, 2, kPixels, 1, 0);
    const auto shown = cursor_image();
    EXPECT_EQ(std::make_pair(shown.width, shown.height), std::make_pair(2, 2));
    EXPECT_EQ(std::make_pair(shown.hot_x, shown.hot_y), std::make_pair(1, 0));
    EXPECT_EQ(shown.pixels, (std::vector<unsigned long>{0xffff0000, 0x80643219, 0x00000000, 0xffffffff}));

    // Colour under no alpha does not show.
    const unsigned char green_under_nothing[] = {0, 255, 0, 0, 40, 80, 120, 64};
    frame->set_cursor(2, 1, green_under_nothing, 0, 0);
    EXPECT_EQ(cursor_image().pixels, (std::vector<unsigned long>{0x00000000, 0x400a141e}));

    // A larger one, its hot spot in the last row and column.
    std::vector<unsigned char> big(std::size_t{48} * 32 * 4);
    for (std::size_t i = 0; i < big.size(); i += 4) big[i + 2] = big[i + 3] = 255;  // opaque blue
    frame->set_cursor(48, 32, big.data(), 47, 31);
    const auto larger = cursor_image();
    EXPECT_EQ(std::make_pair(larger.width, larger.height), std::make_pair(48, 32));
    EXPECT_EQ(std::make_pair(larger.hot_x, larger.hot_y), std::make_pair(47, 31));
    EXPECT_EQ(larger.pixels, std::vector<unsigned long>(std::size_t{48} * 32, 0xff0000ff));
}

TEST_F(ImageCursor, EachCursorHasOneOwnerThatFreesIt) {
    auto frame = pointed_frame();
    frame->set_cursor(2, 2, kPixels, 0, 0);
    const unsigned long first = frame->_quarn_backing->cursor;
    ASSERT_TRUE(cursor_exists(first));
    frame->set_cursor(2, 2, kPixels, 1, 1);  // replaces it
    const unsigned long second = frame->_quarn_backing->cursor;
    EXPECT_FALSE(cursor_exists(first)) << "the replaced image is freed";
    EXPECT_TRUE(cursor_exists(second));
    EXPECT_EQ(cursor_image().hot_x, 1) << "the new one shown";
    frame->set_cursor(Cursor::CROSSHAIR);  // a shape replaces it too
    EXPECT_FALSE(cursor_exists(second));
    const unsigned long crosshair = frame->_quarn_backing->cursor;

    frame->set_cursor(2, 2, kPixels, 0, 1);
    const unsigned long third = frame->_quarn_backing->cursor;
    frame.reset();
    EXPECT_FALSE(cursor_exists(third)) << "the destroyed frame's image is freed";
    EXPECT_TRUE(cursor_exists(crosshair)) << "shapes are shared, kept until deinit";

    // A frame still alive at deinit has its image freed there, and keeps no
    // id of it for its destruction to free again.
    auto alive = pointed_frame();
    alive->set_cursor(2, 2, kPixels, 0, 0);
    Quarn::deinit();
    EXPECT_EQ(alive->_quarn_backing->image_cursor, static_cast<unsigned long>(None));
    EXPECT_EQ(alive->_quarn_backing->cursor, static_cast<unsigned long>(None));
    alive.reset();
    quarn_test::start_library();
}

TEST_F(ImageCursor, SetWhileLockedItIsShownAtUnlockAndWhileConfinedAtOnce) {
    auto frame = pointed_frame();
    frame->set_pointer_locked(true);
    frame->set_cursor(2, 2, kPixels, 1, 1);
    EXPECT_FALSE(cursor_image().visible()) << "still hidden while locked";
    frame->set_pointer_locked(false);
    auto shown = cursor_image();
    EXPECT_EQ(shown.pixels, (std::vector<unsigned long>{0xffff0000, 0x80643219, 0x00000000, 0xffffffff}));
    EXPECT_EQ(shown.hot_x, 1);

    frame->set_pointer_confined(true);
    frame->set_cursor(2, 2, kPixels, 0, 1);
    shown = cursor_image();
    EXPECT_EQ(std::make_pair(shown.hot_x, shown.hot_y), std::make_pair(0, 1));
    EXPECT_TRUE(shown.visible());
    frame->set_pointer_confined(false);
}

TEST_F(ImageCursor, BadImagesAndUnknownShapesAreRefusedWithAWarningAndChangeNothing) {
    auto frame = pointed_frame();
    frame->set_cursor(2, 2, kPixels, 0, 0);
    const unsigned long before = cursor_image().serial;
    const std::string refused =
        "Quarn: Cannot set a cursor from a null pointer, a size below 1 or a hot spot outside the image!  Ignoring "
        ".set_cursor!";
    struct Bad {
        const char* what;
        int width, height;
        const unsigned char* rgba;
        int hot_x, hot_y;
    };
    for (const Bad& bad :
         {Bad{"null pixels", 2, 2, nullptr, 0, 0}, Bad{"no width", 0, 2, kPixels, 0, 0},
          Bad{"negative height", 2, -1, kPixels, 0, 0}, Bad{"hot spot right of it", 2, 2, kPixels, 2, 0},
          Bad{"hot spot below it", 2, 2, kPixels, 0, 2}, Bad{"hot spot left of it", 2, 2, kPixels, -1, 0},
          Bad{"hot spot above it", 2, 2, kPixels, 0, -1}}) {
        StdoutCapture capture;
        frame->set_cursor(bad.width, bad.height, bad.rgba, bad.hot_x, bad.hot_y);
        EXPECT_EQ(capture.lines(), std::vector<std::string>{refused}) << bad.what;
        EXPECT_EQ(cursor_image().serial, before) << bad.what;
    }
    {
        // Wider than libXcursor's images go (32767 a side).
        const std::vector<unsigned char> wide(std::size_t{40000} * 4, 255);
        StdoutCapture capture;
        frame->set_cursor(40000, 1, wide.data(), 0, 0);
        EXPECT_EQ(capture.lines(), std::vector<std::string>{
                                       "Quarn: Cannot make a cursor of an image this large!  Ignoring .set_cursor!"});
        EXPECT_EQ(cursor_image().serial, before);
    }
    StdoutCapture capture;
    frame->set_cursor(static_cast<Cursor>(12));
    frame->set_cursor(static_cast<Cursor>(-1));
    EXPECT_EQ(capture.lines(),
              std::vector<std::string>(2, "Quarn: Cannot set an unknown cursor shape!  Ignoring .set_cursor!"));
    EXPECT_EQ(cursor_image().serial, before);
}

TEST_F(ImageCursor, TheNewShapesShowCursorsOfTheirOwn) {
    // XFixes reads an animated cursor back as the empty 1 x 1 cursor that
    // stands for it (the theme's "wait" is one): with animation off,
    // libXcursor makes each theme cursor of its first frame. It reads the
    // setting when a connection first makes a cursor.
    struct NoAnimation {
        NoAnimation() { setenv("XCURSOR_ANIM", "0", 1); }
        ~NoAnimation() { unsetenv("XCURSOR_ANIM"); }
    } no_animation;
    Quarn::deinit();
    quarn_test::start_library();
    auto frame = pointed_frame();
    std::vector<unsigned long> serials;
    for (Cursor shape : {Cursor::ARROW, Cursor::TEXT, Cursor::HAND, Cursor::CROSSHAIR, Cursor::RESIZE_HORIZONTAL,
                         Cursor::RESIZE_VERTICAL, Cursor::MOVE, Cursor::RESIZE_NWSE, Cursor::RESIZE_NESW,
                         Cursor::NOT_ALLOWED, Cursor::WAIT}) {
        frame->set_cursor(shape);
        const auto shown = cursor_image();
        EXPECT_TRUE(shown.visible()) << static_cast<int>(shape);
        serials.push_back(shown.serial);
    }
    std::vector<unsigned long> distinct = serials;
    std::sort(distinct.begin(), distinct.end());
    EXPECT_EQ(std::unique(distinct.begin(), distinct.end()), distinct.end()) << "each shape its own cursor";
    // The existing shapes keep their numbers.
    EXPECT_EQ(static_cast<int>(Cursor::HIDDEN), 7);
    EXPECT_EQ(static_cast<int>(Cursor::RESIZE_NWSE), 8);
    EXPECT_EQ(static_cast<int>(Cursor::WAIT), 11);
}

}  // namespace
