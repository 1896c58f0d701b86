#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/shape.h>

#include <unistd.h>

#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "quarn/frame/frame.h"
#include "quarn/init.h"
#include "quarn/input/events/events.h"
#include "quarn/input/events/helpers.h"
#include "quarn/testing/testing.h"
#include "tests/support/capture.h"
#include "tests/support/fixture.h"
#include "tests/support/pump.h"
#include "tests/support/x_client.h"

// The window controls as other clients see them: the hints each writes, read
// back from a second connection, and the report MOVE. Built twice: on a bare
// server (controls_test), where the hints are all there is, and under
// openbox (controls_wm_test), which applies them to the window's geometry
// and state.
namespace {

using Quarn::Flags::Report;
using quarn_test::StdoutCapture;

// A frame that keeps the moves it is told of.
class MovingFrame : public Quarn::Frame::FrameBase {
public:
    MovingFrame()
        : FrameBase(nullptr, Quarn::Flags::Style::BORDER | Quarn::Flags::Style::TITLEBAR, Quarn::Flags::Button::CLOSE) {
    }
    void callback_input(const Quarn::Input::State*, const Quarn::Input::Events::EventFrameMove* event) override {
        moves.push_back({event->x, event->y, position[0], position[1], event->type});
    }
    void callback_input(const Quarn::Input::State*, const Quarn::Input::Events::EventMouseButtonLeftDown*) override {
        ++presses;
    }
    struct Move {
        int x, y, position_x, position_y, type;
    };
    std::vector<Move> moves;
    int presses = 0;
};

class Controls : public quarn_test::ClientTest {
protected:
    Window window(const Quarn::Frame::FrameBase& frame) { return frame._quarn_backing->window; }
    Display* other() { return client->display(); }
    Atom atom(const char* name) { return XInternAtom(other(), name, False); }

    // A property of `window` as the second client reads it: its items, format 32.
    std::vector<unsigned long> items(Window window, const char* name) {
        XSync(Quarn::_quarn_display, False);
        Atom type = None;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        XGetWindowProperty(other(), window, atom(name), 0, 1024, False, AnyPropertyType, &type, &format, &count, &after,
                           &data);
        std::vector<unsigned long> values;
        for (unsigned long i = 0; i < count && format == 32; ++i)
            values.push_back(reinterpret_cast<unsigned long*>(data)[i] & 0xFFFFFFFFUL);
        if (data) XFree(data);
        return values;
    }
    bool has_state(Window window, const char* state) {
        for (const unsigned long item : items(window, "_NET_WM_STATE"))
            if (item == atom(state)) return true;
        return false;
    }
    XSizeHints normal_hints(Window window) {
        XSync(Quarn::_quarn_display, False);
        XSizeHints hints{};
        long supplied = 0;
        if (!XGetWMNormalHints(other(), window, &hints, &supplied)) hints.flags = 0;
        return hints;
    }
    XWMHints wm_hints(Window window) {
        XSync(Quarn::_quarn_display, False);
        XWMHints hints{};
        if (XWMHints* read = XGetWMHints(other(), window)) {
            hints = *read;
            XFree(read);
        }
        return hints;
    }
    long wm_state(Window window) {
        const auto state = items(window, "WM_STATE");
        return state.empty() ? -1 : static_cast<long>(state[0]);
    }
    // Pumps the library's events until `holds`, or gives up after 5 seconds.
    // What it waits for is often the server's or the manager's state, which
    // no event of the library's tells: it looks again every 10 ms.
    bool until(const std::function<bool()>& holds) {
        for (int tries = 0; tries < 500; ++tries) {
            Quarn::Input::Events::handle();
            XSync(Quarn::_quarn_display, False);
            if (holds()) return true;
            usleep(10000);
        }
        return false;
    }
    std::unique_ptr<MovingFrame> shown_frame(int x = 40, int y = 50, int width = 200, int height = 150) {
        auto frame = std::make_unique<MovingFrame>();
        frame->set_position(x, y);
        frame->set_size(width, height);
        frame->set_show(true, 0);
        EXPECT_TRUE(Quarn::Testing::wait_shown(*frame));
        quarn_test::settle(*client);
        return frame;
    }
    // Whether the pointer, put at (x, y) on the screen, is over the frame's top
    // level (its manager's frame, or the frame itself), as the server finds
    // the window under it, input shapes and all.
    bool over_frame(Window frame_window, int x, int y) {
        client->point_on_screen(x, y);
        Window top = frame_window;
        while (client->parent(top) != client->root()) top = client->parent(top);
        Window at = client->root(), root = None, child = None;
        int root_x = 0, root_y = 0, win_x = 0, win_y = 0;
        unsigned int mask = 0;
        while (XQueryPointer(other(), at, &root, &child, &root_x, &root_y, &win_x, &win_y, &mask) && child) {
            if (child == top) return true;
            at = child;
        }
        return false;
    }
    // Where the second client sees the content's top-left on the root window.
    std::pair<int, int> root_place(Window window) {
        XSync(Quarn::_quarn_display, False);
        int x = 0, y = 0;
        Window child = None;
        XTranslateCoordinates(other(), window, client->root(), 0, 0, &x, &y, &child);
        return {x, y};
    }
};

TEST_F(Controls, SizeLimitsAndAspectMergeWithThePlacementHints) {
    MovingFrame frame;
    frame.set_position(30, 40);
    frame.set_size(200, 150);
    frame.set_size_limits(100, 80, 400, 300);
    frame.set_aspect_ratio(16, 9);
    XSizeHints hints = normal_hints(window(frame));
    EXPECT_TRUE(hints.flags & USPosition);
    EXPECT_TRUE(hints.flags & PSize);
    EXPECT_EQ(hints.x, 30);
    EXPECT_EQ(hints.width, 200);
    ASSERT_TRUE(hints.flags & PMinSize);
    ASSERT_TRUE(hints.flags & PMaxSize);
    ASSERT_TRUE(hints.flags & PAspect);
    EXPECT_EQ(hints.min_width, 100);
    EXPECT_EQ(hints.min_height, 80);
    EXPECT_EQ(hints.max_width, 400);
    EXPECT_EQ(hints.max_height, 300);
    EXPECT_EQ(hints.min_aspect.x, 16);
    EXPECT_EQ(hints.min_aspect.y, 9);
    EXPECT_EQ(hints.max_aspect.x, 16);
    EXPECT_EQ(hints.max_aspect.y, 9);

    // A later set_size and set_position keep the limits.
    frame.set_size(250, 160);
    frame.set_position(10, 20);
    hints = normal_hints(window(frame));
    EXPECT_TRUE(hints.flags & PMinSize);
    EXPECT_EQ(hints.max_width, 400);

    // One side only: the other has none.
    frame.set_size_limits(50, -1, -1, -1);
    frame.set_aspect_ratio(0, 0);
    hints = normal_hints(window(frame));
    ASSERT_TRUE(hints.flags & PMinSize);
    EXPECT_EQ(hints.min_width, 50);
    EXPECT_EQ(hints.min_height, 0);
    EXPECT_FALSE(hints.flags & PMaxSize);
    EXPECT_FALSE(hints.flags & PAspect);
    EXPECT_TRUE(hints.flags & USPosition);
    EXPECT_EQ(hints.x, 10);
    EXPECT_EQ(hints.width, 250);

    frame.set_size_limits(-1, -1, -1, -1);
    EXPECT_FALSE(normal_hints(window(frame)).flags & (PMinSize | PMaxSize));
}

TEST_F(Controls, AnUnresizableWindowIsHeldToItsSize) {
    MovingFrame frame;
    frame.set_size(200, 150);
    frame.set_size_limits(100, 80, 400, 300);
    frame.set_resizable(false);
    XSizeHints hints = normal_hints(window(frame));
    EXPECT_EQ(hints.min_width, 200);
    EXPECT_EQ(hints.max_width, 200);
    EXPECT_EQ(hints.min_height, 150);
    EXPECT_EQ(hints.max_height, 150);
    std::vector<unsigned long> motif = items(window(frame), "_MOTIF_WM_HINTS");
    ASSERT_EQ(motif.size(), 5u);
    EXPECT_TRUE(motif[0] & 1) << "the functions are given";
    EXPECT_FALSE(motif[1] & 2) << "no resize among them";
    EXPECT_FALSE(motif[1] & 16) << "no maximize among them";

    // The program may still resize it: the limits follow.
    frame.set_size(300, 210);
    hints = normal_hints(window(frame));
    EXPECT_EQ(hints.min_width, 300);
    EXPECT_EQ(hints.max_height, 210);

    // Resizable again: the limits asked for come back, and the Motif hints
    // say every function outright (a manager may keep what it last read
    // when they go).
    frame.set_resizable(true);
    hints = normal_hints(window(frame));
    EXPECT_EQ(hints.min_width, 100);
    EXPECT_EQ(hints.max_width, 400);
    motif = items(window(frame), "_MOTIF_WM_HINTS");
    ASSERT_EQ(motif.size(), 5u);
    EXPECT_EQ(motif[1], 1u) << "all functions";
    EXPECT_EQ(motif[2], 1u) << "all decorations";
}

TEST_F(Controls, DecorationsFollowTheMotifHints) {
    MovingFrame frame;
    EXPECT_TRUE(items(window(frame), "_MOTIF_WM_HINTS").empty());
    frame.set_decorated(false);
    std::vector<unsigned long> motif = items(window(frame), "_MOTIF_WM_HINTS");
    ASSERT_EQ(motif.size(), 5u);
    EXPECT_TRUE(motif[0] & 2) << "the decorations are given";
    EXPECT_EQ(motif[2], 0u) << "none of them";
    EXPECT_EQ(motif[1], 1u) << "every function still";
    frame.set_decorated(true);
    motif = items(window(frame), "_MOTIF_WM_HINTS");
    ASSERT_EQ(motif.size(), 5u);
    EXPECT_EQ(motif[2], 1u) << "all decorations";
}

TEST_F(Controls, OpacityIsACardinalOfTheWholeRange) {
    MovingFrame frame;
    frame.set_opacity(0.5f);
    EXPECT_EQ(items(window(frame), "_NET_WM_WINDOW_OPACITY"), std::vector<unsigned long>{0x80000000UL});
    frame.set_opacity(0.0f);
    EXPECT_EQ(items(window(frame), "_NET_WM_WINDOW_OPACITY"), std::vector<unsigned long>{0UL});
    frame.set_opacity(1.0f);
    EXPECT_TRUE(items(window(frame), "_NET_WM_WINDOW_OPACITY").empty());
}

TEST_F(Controls, BadInputIsRefusedOrClampedWithAWarning) {
    MovingFrame frame;
    frame.set_size_limits(100, 80, 400, 300);
    frame.set_aspect_ratio(4, 3);
    const std::string limits =
        "Quarn: Cannot set size limits other than -1 or 1 to 65535 pixels, or a minimum above its maximum!  Ignoring "
        ".set_size_limits!\n";
    const std::string aspect =
        "Quarn: Cannot set an aspect ratio from a value below 1 (0 and 0 for none)!  Ignoring .set_aspect_ratio!\n";
    struct Case {
        std::function<void()> call;
        std::string warning;
    };
    const std::vector<Case> refused = {
        {[&] { frame.set_size_limits(-2, 10, 100, 100); }, limits},
        {[&] { frame.set_size_limits(10, 10, 70000, 100); }, limits},
        {[&] { frame.set_size_limits(0, 10, 100, 100); }, limits},
        {[&] { frame.set_size_limits(200, 10, 100, 100); }, limits},
        {[&] { frame.set_size_limits(10, 200, -1, 100); }, limits},
        {[&] { frame.set_aspect_ratio(-1, 1); }, aspect},
        {[&] { frame.set_aspect_ratio(0, 5); }, aspect},
        {[&] { frame.set_aspect_ratio(5, 0); }, aspect},
    };
    for (const Case& bad : refused) {
        StdoutCapture capture;
        bad.call();
        EXPECT_EQ(capture.finish(), bad.warning);
    }
    const XSizeHints hints = normal_hints(window(frame));
    EXPECT_EQ(hints.min_width, 100);
    EXPECT_EQ(hints.max_width, 400);
    EXPECT_EQ(hints.min_aspect.x, 4);

    frame.set_opacity(0.25f);
    {
        StdoutCapture capture;
        frame.set_opacity(std::nanf(""));
        EXPECT_EQ(capture.finish(), "Quarn: Cannot set an opacity that is not a number!  Ignoring .set_opacity!\n");
    }
    EXPECT_EQ(items(window(frame), "_NET_WM_WINDOW_OPACITY"), std::vector<unsigned long>{0x40000000UL});
    {
        StdoutCapture capture;
        frame.set_opacity(-3.0f);
        EXPECT_EQ(capture.finish(), "Quarn: Cannot set an opacity outside 0 to 1!  Clamping it in .set_opacity!\n");
    }
    EXPECT_EQ(items(window(frame), "_NET_WM_WINDOW_OPACITY"), std::vector<unsigned long>{0UL});
    {
        StdoutCapture capture;
        frame.get_frame_extents(nullptr);
        frame.get_position(nullptr);
        EXPECT_EQ(capture.lines(),
                  (std::vector<std::string>{
                      "Quarn: Cannot write frame extents to a null pointer!  Ignoring .get_frame_extents!",
                      "Quarn: Cannot write a window position to a null pointer!  Ignoring .get_position!"}));
    }
}

// A hidden window's states are its own property, which the manager reads as
// it takes the window.
TEST_F(Controls, AHiddenFrameOpensInTheStatesAskedFor) {
    MovingFrame frame;
    frame.set_floating(true);
    frame.maximize();
    frame.request_attention();
    EXPECT_TRUE(has_state(window(frame), "_NET_WM_STATE_ABOVE"));
    EXPECT_TRUE(has_state(window(frame), "_NET_WM_STATE_MAXIMIZED_VERT"));
    EXPECT_TRUE(has_state(window(frame), "_NET_WM_STATE_MAXIMIZED_HORZ"));
    EXPECT_TRUE(has_state(window(frame), "_NET_WM_STATE_DEMANDS_ATTENTION"));
    EXPECT_TRUE(wm_hints(window(frame)).flags & XUrgencyHint);
    frame.minimize();
    XWMHints hints = wm_hints(window(frame));
    ASSERT_TRUE(hints.flags & StateHint);
    EXPECT_EQ(hints.initial_state, IconicState);
    EXPECT_TRUE(hints.flags & XUrgencyHint) << "kept beside the state";

    frame.restore();
    EXPECT_EQ(wm_hints(window(frame)).initial_state, NormalState);
    EXPECT_FALSE(has_state(window(frame), "_NET_WM_STATE_MAXIMIZED_VERT"));
    EXPECT_FALSE(has_state(window(frame), "_NET_WM_STATE_MAXIMIZED_HORZ"));
    EXPECT_TRUE(has_state(window(frame), "_NET_WM_STATE_ABOVE"));
    frame.set_floating(false);
    EXPECT_FALSE(has_state(window(frame), "_NET_WM_STATE_ABOVE"));
}

TEST_F(Controls, PassthroughEmptiesTheInputShape) {
    MovingFrame frame;
    frame.set_size(200, 150);
    const auto rectangles = [&] {
        XSync(Quarn::_quarn_display, False);
        int count = -1, ordering = 0;
        XRectangle* shape = XShapeGetRectangles(other(), window(frame), ShapeInput, &count, &ordering);
        std::vector<XRectangle> all(shape, shape + (count > 0 ? count : 0));
        if (shape) XFree(shape);
        return all;
    };
    frame.set_mouse_passthrough(true);
    EXPECT_TRUE(rectangles().empty());
    frame.set_mouse_passthrough(false);
    const std::vector<XRectangle> whole = rectangles();
    ASSERT_EQ(whole.size(), 1u);
    // The window's own shape: its size (a manager applies a hidden window's
    // set_size in its own time).
    const XWindowAttributes attributes = client->attributes(window(frame));
    EXPECT_EQ(whole[0].width, attributes.width);
    EXPECT_EQ(whole[0].height, attributes.height);
}

// The click goes where the pointer input shape lets it: to a second client's
// window below the frame while it lets the pointer through.
TEST_F(Controls, AClickThroughAPassthroughFrameReachesTheWindowBelow) {
    XSetWindowAttributes attributes{};
    attributes.override_redirect = True;
    attributes.event_mask = ButtonPressMask;
    const Screen* screen = DefaultScreenOfDisplay(other());
    const Window below = XCreateWindow(other(), client->root(), 0, 0, static_cast<unsigned int>(WidthOfScreen(screen)),
                                       static_cast<unsigned int>(HeightOfScreen(screen)), 0, CopyFromParent,
                                       InputOutput, CopyFromParent, CWOverrideRedirect | CWEventMask, &attributes);
    XMapWindow(other(), below);
    auto frame = shown_frame();
    XLowerWindow(other(), below);
    client->sync();
    const std::pair<int, int> corner = root_place(window(*frame));
    const int x = corner.first, y = corner.second;
    const auto clicks_below = [&] {
        client->point_on_screen(x + 60, y + 60);
        client->click(1);
        client->sync();
        XEvent press;
        bool reached = false;
        while (XCheckTypedWindowEvent(other(), below, ButtonPress, &press)) reached = true;
        return reached;
    };

    frame->set_mouse_passthrough(true);
    // A reparenting manager gives its frame the window's input shape when it
    // hears of the change (openbox does), in its own time.
    EXPECT_TRUE(until([&] { return !over_frame(window(*frame), x + 60, y + 60); }));
    EXPECT_TRUE(clicks_below());
    quarn_test::settle(*client);
    EXPECT_EQ(frame->presses, 0);

    frame->set_mouse_passthrough(false);
    EXPECT_TRUE(until([&] { return over_frame(window(*frame), x + 60, y + 60); }));
    EXPECT_FALSE(clicks_below());
    EXPECT_TRUE(until([&] { return frame->presses == 1; }));
    XDestroyWindow(other(), below);
}

TEST_F(Controls, PositionIsAskedFromTheServer) {
    auto frame = shown_frame(40, 50);
    int xy[2] = {-1, -1};
    frame->get_position(xy);
    const std::pair<int, int> corner = root_place(window(*frame));
    const int x = corner.first, y = corner.second;
    EXPECT_EQ(xy[0], x);
    EXPECT_EQ(xy[1], y);
    // Moved by someone else: `position` does not know, the server does.
    XMoveWindow(other(), window(*frame), 90, 100);
    client->sync();
    EXPECT_TRUE(until([&] {
        frame->get_position(xy);
        return std::make_pair(xy[0], xy[1]) == root_place(window(*frame)) && xy[0] != x;
    }));
    EXPECT_EQ(frame->position[0], 40) << "a frame that does not report MOVE keeps what it asked for";
    EXPECT_TRUE(frame->moves.empty());
}

TEST_F(Controls, MovesAreReportedWhoeverMovesTheWindow) {
    auto frame = shown_frame(40, 50);
    frame->set_report(Report::MOVE);
    // By another client, as a user's tool would.
    XMoveWindow(other(), window(*frame), 90, 100);
    client->sync();
    ASSERT_TRUE(until([&] { return !frame->moves.empty(); }));
    auto place = root_place(window(*frame));
    EXPECT_EQ(frame->moves.back().x, place.first);
    EXPECT_EQ(frame->moves.back().y, place.second);
    EXPECT_EQ(frame->moves.back().position_x, place.first) << "position is kept before the callbacks";
    EXPECT_EQ(frame->moves.back().type, 8388608);
    EXPECT_EQ(frame->position[1], place.second);

    // By the program.
    frame->moves.clear();
    frame->set_position(20, 30);
    ASSERT_TRUE(until([&] { return !frame->moves.empty() && root_place(window(*frame)) != place; }));
    place = root_place(window(*frame));
    EXPECT_EQ(frame->moves.back().x, place.first);
    EXPECT_EQ(frame->moves.back().y, place.second);

    // A resize alone moves nothing.
    frame->moves.clear();
    // Under a manager the server's own event for it is relative to the
    // manager's frame: it must not read as a move.
    frame->set_size(260, 170);
    ASSERT_TRUE(until([&] { return client->attributes(window(*frame)).width == 260; }));
    quarn_test::settle(*client);
    for (const auto& move : frame->moves) EXPECT_EQ(std::make_pair(move.x, move.y), place);

    // Off: nothing more, and `position` left alone.
    frame->set_report(Report::NONE);
    XSync(Quarn::_quarn_display, False);
    frame->moves.clear();
    XMoveWindow(other(), window(*frame), 140, 150);
    quarn_test::settle(*client);
    EXPECT_TRUE(frame->moves.empty());
    EXPECT_EQ(frame->position[0], place.first);
}

#if QUARN_TEST_WINDOW_MANAGER
// The manager moves the frame (a pager's or task bar's request).
TEST_F(Controls, AMoveByTheManagerIsReported) {
    auto frame = shown_frame(40, 50);
    frame->set_report(Report::MOVE | Report::RESIZE);
    XEvent message{};
    message.xclient.type = ClientMessage;
    message.xclient.window = window(*frame);
    message.xclient.message_type = atom("_NET_MOVERESIZE_WINDOW");
    message.xclient.format = 32;
    // Gravity from the window, x and y given, from a pager (2).
    message.xclient.data.l[0] = (1 << 8) | (1 << 9) | (2 << 12);
    message.xclient.data.l[1] = 300;
    message.xclient.data.l[2] = 200;
    XSendEvent(other(), client->root(), False, SubstructureRedirectMask | SubstructureNotifyMask, &message);
    client->sync();
    ASSERT_TRUE(until([&] { return !frame->moves.empty() && root_place(window(*frame)).first > 250; }));
    const auto place = root_place(window(*frame));
    EXPECT_EQ(frame->moves.back().x, place.first);
    EXPECT_EQ(frame->moves.back().y, place.second);
    EXPECT_EQ(frame->position[0], place.first);
    int xy[2];
    frame->get_position(xy);
    EXPECT_EQ(xy[0], place.first);

    // The frame's decorations are the manager's: the content sits inside them.
    int extents[4] = {-1, -1, -1, -1};
    ASSERT_TRUE(until([&] {
        frame->get_frame_extents(extents);
        return extents[0] + extents[1] + extents[2] + extents[3] > 0;
    }));
    EXPECT_GT(extents[2], 0) << "a title bar";
}

TEST_F(Controls, TheManagerHonoursLimitsAndStates) {
    auto frame = shown_frame(40, 50, 200, 150);
    frame->set_size_limits(100, 80, 300, 220);
    XSync(Quarn::_quarn_display, False);
    // A resize beyond the maximum, asked by another client.
    XResizeWindow(other(), window(*frame), 600, 500);
    client->sync();
    ASSERT_TRUE(until([&] { return client->attributes(window(*frame)).width != 200; }));
    XWindowAttributes attributes = client->attributes(window(*frame));
    EXPECT_EQ(attributes.width, 300);
    EXPECT_EQ(attributes.height, 220);

    frame->set_floating(true);
    EXPECT_TRUE(until([&] { return has_state(window(*frame), "_NET_WM_STATE_ABOVE"); }));
    frame->maximize();
    EXPECT_TRUE(until([&] {
        return has_state(window(*frame), "_NET_WM_STATE_MAXIMIZED_VERT") &&
               has_state(window(*frame), "_NET_WM_STATE_MAXIMIZED_HORZ");
    }));
    frame->restore();
    EXPECT_TRUE(until([&] { return !has_state(window(*frame), "_NET_WM_STATE_MAXIMIZED_VERT"); }));
    frame->minimize();
    EXPECT_TRUE(until([&] { return wm_state(window(*frame)) == IconicState; }));
    frame->restore();
    EXPECT_TRUE(until([&] { return wm_state(window(*frame)) == NormalState; }));

    // Floating holds across a hide and a show (the manager forgets a
    // withdrawn window's states).
    frame->set_show(false, 0);
    EXPECT_TRUE(until([&] { return wm_state(window(*frame)) != NormalState; }));
    frame->set_show(true, 0);
    ASSERT_TRUE(Quarn::Testing::wait_shown(*frame));
    EXPECT_TRUE(until([&] { return has_state(window(*frame), "_NET_WM_STATE_ABOVE"); }));
    frame->set_floating(false);
    EXPECT_TRUE(until([&] { return !has_state(window(*frame), "_NET_WM_STATE_ABOVE"); }));

    // Openbox flags only a window that does not have the focus.
    auto focused = shown_frame(300, 50);
    frame->request_attention();
    EXPECT_TRUE(until([&] { return has_state(window(*frame), "_NET_WM_STATE_DEMANDS_ATTENTION"); }));
}

TEST_F(Controls, FocusGoesThroughTheManager) {
    auto first = shown_frame(40, 50);
    auto second = shown_frame(300, 50);
    for (MovingFrame* frame : {first.get(), second.get()}) {
        frame->focus();
        EXPECT_TRUE(until([&] {
            const auto active = items(client->root(), "_NET_ACTIVE_WINDOW");
            Window focus = None;
            int revert = 0;
            XGetInputFocus(other(), &focus, &revert);
            return active == std::vector<unsigned long>{window(*frame)} && focus == window(*frame);
        }));
    }
}
#else
TEST_F(Controls, WithoutAManagerTheFrameHasNoExtentsAndTakesTheFocusItselfEndingTheUrgency) {
    auto frame = shown_frame(40, 50);
    int extents[4] = {-1, -1, -1, -1};
    frame->get_frame_extents(extents);
    EXPECT_EQ(std::vector<int>(extents, extents + 4), std::vector<int>(4, 0));
    XSetInputFocus(other(), client->root(), RevertToPointerRoot, CurrentTime);
    client->sync();
    frame->request_attention();
    EXPECT_TRUE(wm_hints(window(*frame)).flags & XUrgencyHint);
    frame->focus();
    XSync(Quarn::_quarn_display, False);
    Window focus = None;
    int revert = 0;
    XGetInputFocus(other(), &focus, &revert);
    EXPECT_EQ(focus, window(*frame));
    // The user has turned to it: the urgency hint goes.
    EXPECT_TRUE(until([&] { return !(wm_hints(window(*frame)).flags & XUrgencyHint); }));
    // A hidden frame is left alone (its focus would be an X error).
    frame->set_show(false, 0);
    frame->focus();
    XSync(Quarn::_quarn_display, False);
}

// Shown, with no manager: the state is the window's property still.
TEST_F(Controls, WithoutAManagerAShownFrameWritesItsStates) {
    auto frame = shown_frame(40, 50);
    frame->set_floating(true);
    frame->maximize();
    EXPECT_TRUE(has_state(window(*frame), "_NET_WM_STATE_ABOVE"));
    EXPECT_TRUE(has_state(window(*frame), "_NET_WM_STATE_MAXIMIZED_HORZ"));
    frame->restore();
    EXPECT_FALSE(has_state(window(*frame), "_NET_WM_STATE_MAXIMIZED_HORZ"));
}
#endif

}  // namespace
