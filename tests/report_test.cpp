#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/keysym.h>

#include <algorithm>
#include <chrono>
#include <clocale>
#include <string>
#include <vector>

#include "quarn/flags.h"
#include "quarn/frame/frame.h"
#include "quarn/init.h"
#include "quarn/input/events/helpers.h"
#include "quarn/testing/testing.h"
#include "tests/support/capture.h"
#include "tests/support/fixture.h"
#include "tests/support/recording_frame.h"
#include "tests/support/x_client.h"

// What frames report beyond the default events, under openbox: the wheel, the
// window's size and state, and typed text; and that a frame reporting nothing
// selects and delivers what it always did.
namespace {

using Quarn::Flags::Report;
using quarn_test::Call;
using quarn_test::calls_at;
using quarn_test::RecordingFrame;

constexpr long kDefaultMask = Quarn::Frame::_quarn_FrameBacking::event_mask;

class Reports : public quarn_test::ClientTest {
protected:
    void show(RecordingFrame& frame) {
        frame.set_size(200, 150);
        frame.set_position(100, 100);
        frame.set_show(true, 0);
        ASSERT_TRUE(Quarn::Testing::wait_shown(frame));
        input.move(frame, 20, 20);
        quarn_test::settle(*client);
        log.clear();
    }
    // What the library's connection selects on the frame's window.
    static long selected(const RecordingFrame& frame) {
        XWindowAttributes attributes{};
        XGetWindowAttributes(Quarn::_quarn_display, frame._quarn_backing->window, &attributes);
        return attributes.your_event_mask;
    }
    // The request a window manager's own maximize button makes.
    void maximize(const RecordingFrame& frame) {
        Display* display = client->display();
        XEvent message{};
        message.xclient.type = ClientMessage;
        message.xclient.window = frame._quarn_backing->window;
        message.xclient.message_type = XInternAtom(display, "_NET_WM_STATE", False);
        message.xclient.format = 32;
        message.xclient.data.l[0] = 1;  // add
        message.xclient.data.l[1] = static_cast<long>(XInternAtom(display, "_NET_WM_STATE_MAXIMIZED_VERT", False));
        message.xclient.data.l[2] = static_cast<long>(XInternAtom(display, "_NET_WM_STATE_MAXIMIZED_HORZ", False));
        message.xclient.data.l[3] = 1;
        XSendEvent(display, client->root(), False, SubstructureRedirectMask | SubstructureNotifyMask, &message);
        client->sync();
    }

    Quarn::Testing::Input input;
    std::vector<Call> log;
};

TEST_F(Reports, ANewFrameReportsNothingAndEachReportAddsAndRemovesOnlyItsMasks) {
    RecordingFrame frame(log);
    EXPECT_EQ(selected(frame), kDefaultMask);
    frame.set_report(Report::RESIZE);
    EXPECT_EQ(selected(frame), kDefaultMask | StructureNotifyMask | PropertyChangeMask);
    frame.set_report(Report::WHEEL | Report::RESIZE | Report::TEXT);
    EXPECT_EQ(selected(frame) & kDefaultMask, kDefaultMask);
    frame.set_report(Report::TEXT);
    EXPECT_EQ(selected(frame) & (StructureNotifyMask | PropertyChangeMask), 0);
    frame.set_report(Report::NONE);
    EXPECT_EQ(selected(frame), kDefaultMask);
}

TEST_F(Reports, TheWheelGivesOneScrollPerNotchOnlyToFramesThatAskForIt) {
    RecordingFrame frame(log);
    show(frame);
    input.click(frame, 20, 20, 4);
    quarn_test::settle(*client);
    EXPECT_TRUE(calls_at(log, "EventMouseScroll").empty()) << "NONE: the wheel gives nothing";

    frame.set_report(Report::WHEEL);
    for (unsigned int button : {4u, 5u, 6u, 7u}) input.click(frame, 20, 20, button);
    ASSERT_TRUE(Quarn::Testing::pump_until([&] { return calls_at(log, "EventMouseScroll").size() == 4; }));
    quarn_test::settle(*client);
    const auto scrolls = calls_at(log, "EventMouseScroll");
    const int expected[4][2] = {{0, 1}, {0, -1}, {-1, 0}, {1, 0}};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(scrolls[i].delta[0], expected[i][0]) << "notch " << i;
        EXPECT_EQ(scrolls[i].delta[1], expected[i][1]) << "notch " << i;
        EXPECT_EQ(scrolls[i].wheel[0], expected[i][0]) << "the state holds it during the callbacks";
        EXPECT_EQ(scrolls[i].wheel[1], expected[i][1]);
        EXPECT_EQ(scrolls[i].type, 256);
    }
    EXPECT_EQ(frame.levels(),
              (std::vector<std::string>{"EventBase", "EventMouseBase", "EventMouseScroll", "EventBase",
                                        "EventMouseBase", "EventMouseScroll", "EventBase", "EventMouseBase",
                                        "EventMouseScroll", "EventBase", "EventMouseBase", "EventMouseScroll"}));
    EXPECT_EQ(frame.input_state->mouse_wheel_relative[0], 0);
    EXPECT_EQ(frame.input_state->mouse_wheel_relative[1], 0);
    EXPECT_FALSE(frame.input_state->mouse_buttons[0] || frame.input_state->mouse_buttons[1] ||
                 frame.input_state->mouse_buttons[2]);
}

TEST_F(Reports, ResizeFollowsTheWindowsSizeInsteadOfPrintingTheTrace) {
    RecordingFrame frame(log);
    show(frame);
    quarn_test::StdoutCapture capture;
    frame.set_report(Report::RESIZE);
    frame.set_size(300, 220);
    ASSERT_TRUE(Quarn::Testing::pump_until([&] { return !calls_at(log, "EventFrameResize").empty(); }));
    quarn_test::settle(*client);
    const auto resizes = calls_at(log, "EventFrameResize");
    ASSERT_EQ(resizes.size(), 1u);
    EXPECT_EQ(resizes[0].size[0], 300);
    EXPECT_EQ(resizes[0].size[1], 220);
    EXPECT_EQ(resizes[0].dimensions[0], 300);
    EXPECT_EQ(frame.levels(), (std::vector<std::string>{"EventBase", "EventFrameBase", "EventFrameResize"}));
    // Someone else resizes it (a user's drag, a tiling manager): the same.
    log.clear();
    XResizeWindow(client->display(), frame._quarn_backing->window, 250, 180);
    client->sync();
    ASSERT_TRUE(Quarn::Testing::pump_until([&] { return !calls_at(log, "EventFrameResize").empty(); }));
    EXPECT_EQ(frame.dimensions[0], 250);
    EXPECT_EQ(frame.dimensions[1], 180);
    // A move only: nothing.
    log.clear();
    frame.set_position(150, 120);
    quarn_test::settle(*client);
    EXPECT_TRUE(calls_at(log, "EventFrameResize").empty());
    EXPECT_EQ(capture.finish(), "") << "no ConfigureNotify trace for a frame that reports RESIZE";
}

TEST_F(Reports, MaximizeAndMinimizeThroughTheWindowManager) {
    RecordingFrame frame(log);
    show(frame);
    frame.set_report(Report::RESIZE);
    maximize(frame);
    ASSERT_TRUE(Quarn::Testing::pump_until([&] { return !calls_at(log, "EventFrameMaximize").empty(); }));
    ASSERT_TRUE(Quarn::Testing::pump_until([&] { return frame.dimensions[0] > 1000; }))
        << "the maximized size follows: " << frame.dimensions[0];
    // The maximize and its resize come as one chain; X does not order the
    // manager's property change and its configure, so the size may come first.
    const std::vector<std::string> levels = frame.levels();
    const auto at = std::find(levels.begin(), levels.end(), "EventFrameMaximize");
    ASSERT_TRUE(at - levels.begin() >= 2 && levels.end() - at >= 4);
    EXPECT_EQ(std::vector<std::string>(at - 2, at + 4),
              (std::vector<std::string>{"EventBase", "EventFrameBase", "EventFrameMaximize", "EventBase",
                                        "EventFrameBase", "EventFrameResize"}));
    quarn_test::settle(*client);
    XSync(Quarn::_quarn_display, False);
    EXPECT_EQ(frame.dimensions[0], client->attributes(frame._quarn_backing->window).width);

    log.clear();
    XIconifyWindow(client->display(), frame._quarn_backing->window, DefaultScreen(client->display()));
    client->sync();
    ASSERT_TRUE(Quarn::Testing::pump_until([&] { return !calls_at(log, "EventFrameMinimize").empty(); }));
    EXPECT_EQ(frame.levels(), (std::vector<std::string>{"EventBase", "EventFrameBase", "EventFrameMinimize",
                                                        "EventBase", "EventFrameBase", "EventFrameResize"}));
    log.clear();
    XMapWindow(client->display(), frame._quarn_backing->window);  // restored
    client->sync();
    ASSERT_TRUE(Quarn::Testing::pump_until([&] { return !calls_at(log, "EventFrameResize").empty(); }));
    EXPECT_TRUE(calls_at(log, "EventFrameMinimize").empty());
}

std::string typed(const std::vector<Call>& log) {
    std::string text;
    for (const Call& call : calls_at(log, "EventText")) text += call.text;
    return text;
}

TEST_F(Reports, TextComesAfterItsKeyAndNotForControlOrShortcuts) {
    RecordingFrame frame(log);
    show(frame);
    const std::string locale_before = std::setlocale(LC_CTYPE, nullptr);
    frame.set_report(Report::TEXT);
    EXPECT_EQ(std::setlocale(LC_CTYPE, nullptr), locale_before) << "the application's locale is left alone";
    input.key(frame, XK_a);
    input.press_key(frame, XK_Shift_L);
    input.key(frame, XK_b);
    input.release_key(frame, XK_Shift_L);
    input.key(frame, XK_Return);  // a control character: no text
    input.press_key(frame, XK_Control_L);
    input.key(frame, XK_c);  // a shortcut: no text
    input.release_key(frame, XK_Control_L);
    input.key(frame, XK_z);
    ASSERT_TRUE(Quarn::Testing::pump_until([&] { return typed(log) == "aBz"; })) << typed(log);
    // The chain: the key's own event first, then its text.
    const std::vector<std::string> levels = frame.levels();
    EXPECT_EQ(std::vector<std::string>(levels.begin(), levels.begin() + 5),
              (std::vector<std::string>{"EventBase", "EventKeyBase", "EventKeyDown", "EventBase", "EventText"}));
    EXPECT_EQ(calls_at(log, "EventText")[0].type, 32768);
    EXPECT_EQ(calls_at(log, "EventText")[0].codepoint, U'a');
    EXPECT_EQ(calls_at(log, "EventKeyDown").size(), 7u) << "every press still gives its own key event";

    log.clear();
    frame.set_report(Report::NONE);
    input.key(frame, XK_a);
    ASSERT_TRUE(Quarn::Testing::pump_until([&] { return !calls_at(log, "EventKeyUp").empty(); }));
    EXPECT_TRUE(calls_at(log, "EventText").empty());
}

TEST_F(Reports, ADeadKeyComposesWithTheNextKeyAndBothKeepTheirKeyEvents) {
    RecordingFrame frame(log);
    show(frame);
    frame.set_report(Report::TEXT);
    input.type(frame, "h");
    input.key(frame, XK_dead_acute);  // the keymap has none: the kit lends it a spare keycode
    input.type(frame, "ello");        // two real presses of L, maybe in one millisecond
    ASSERT_TRUE(Quarn::Testing::pump_until([&] { return typed(log) == "h\u00e9llo"; })) << typed(log);
    quarn_test::settle(*client);
    EXPECT_EQ(typed(log), "h\u00e9llo");
    const auto downs = calls_at(log, "EventKeyDown");
    ASSERT_EQ(downs.size(), 6u) << "the dead key's own press is a key event too";
    EXPECT_EQ(downs[1].key, static_cast<unsigned int>(XK_dead_acute));
    EXPECT_EQ(calls_at(log, "EventKeyUp").size(), 6u);
    // The composed character comes after the key that completes it.
    std::size_t e_down = 0, e_acute = 0;
    for (std::size_t i = 0; i < log.size(); ++i) {
        if (log[i].level == "EventKeyDown" && log[i].key == XK_e) e_down = i;
        if (log[i].level == "EventText" && log[i].codepoint == 0xE9) e_acute = i;
    }
    EXPECT_LT(e_down, e_acute);
}

TEST_F(Reports, CharactersTheKeymapLacksAreTypedThroughLentKeycodes) {
    RecordingFrame frame(log);
    show(frame);
    frame.set_report(Report::TEXT);
    input.type(frame, "A\u00e9\u20ac!\u00e9");  // Shift, Latin-1, beyond Latin-1, again
    ASSERT_TRUE(Quarn::Testing::pump_until([&] { return typed(log) == "A\u00e9\u20ac!\u00e9"; })) << typed(log);
    const auto texts = calls_at(log, "EventText");
    EXPECT_EQ(texts[2].codepoint, U'\u20ac');
    EXPECT_EQ(texts[2].text, "\xe2\x82\xac");
}

TEST_F(Reports, TheKitResizesMaximizesMinimizesAndScrollsAsAUserDoes) {
    RecordingFrame frame(log);
    show(frame);
    frame.set_report(Report::RESIZE | Report::WHEEL);
    input.resize(frame, 320, 240);
    ASSERT_TRUE(Quarn::Testing::pump_until([&] { return frame.dimensions[0] == 320 && frame.dimensions[1] == 240; }));
    input.maximize(frame);
    ASSERT_TRUE(Quarn::Testing::pump_until([&] { return !calls_at(log, "EventFrameMaximize").empty(); }));
    input.restore(frame);
    ASSERT_TRUE(Quarn::Testing::pump_until([&] { return frame.dimensions[0] == 320; })) << frame.dimensions[0];
    input.minimize(frame);
    ASSERT_TRUE(Quarn::Testing::pump_until([&] { return !calls_at(log, "EventFrameMinimize").empty(); }));
    // The manager may mark the window iconic before it unmaps it: wait for that.
    ASSERT_TRUE(
        Quarn::Testing::pump_until([&] { return !Quarn::Testing::wait_shown(frame, std::chrono::milliseconds(0)); }));
    log.clear();
    input.restore(frame);  // a restore is a plain resize event
    ASSERT_TRUE(Quarn::Testing::pump_until([&] { return !calls_at(log, "EventFrameResize").empty(); }));
    EXPECT_TRUE(calls_at(log, "EventFrameMinimize").empty());
    ASSERT_TRUE(Quarn::Testing::wait_shown(frame));
    // openbox animates the restore: the frame takes pointer input once the
    // animation has ended.
    bool pointed = false;
    for (int tries = 0; tries < 25 && !pointed; ++tries) {
        input.move(frame, 20 + tries % 2, 20);
        pointed = Quarn::Testing::pump_until([&] { return !calls_at(log, "EventMouseMove").empty(); },
                                             std::chrono::milliseconds(200));
    }
    ASSERT_TRUE(pointed);
    log.clear();
    input.scroll(frame, 20, 20, 2, -1);

    ASSERT_TRUE(Quarn::Testing::pump_until([&] { return calls_at(log, "EventMouseScroll").size() == 3; }));
    const auto scrolls = calls_at(log, "EventMouseScroll");
    EXPECT_EQ(scrolls[0].delta[1], 1);
    EXPECT_EQ(scrolls[1].delta[1], 1);
    EXPECT_EQ(scrolls[2].delta[0], -1);
}

TEST_F(Reports, InputContextsComeAndGoWithTheTextReport) {
    for (int round = 0; round < 3; ++round) {
        auto* frame = new RecordingFrame(log);
        frame->set_report(Report::TEXT);
        EXPECT_NE(frame->_quarn_backing->input_context, nullptr);
        frame->set_report(Report::WHEEL);
        EXPECT_EQ(frame->_quarn_backing->input_context, nullptr);
        frame->set_report(Report::TEXT | Report::RESIZE);
        delete frame;  // with its context
    }
}

// Where `window` is on the screen and how large: x, y, width, height.
std::vector<int> on_screen(quarn_test::XClient& client, Window window) {
    XSync(Quarn::_quarn_display, False);
    const XWindowAttributes attributes = client.attributes(window);
    int x = 0, y = 0;
    Window child = None;
    XTranslateCoordinates(client.display(), window, client.root(), 0, 0, &x, &y, &child);
    return {x, y, attributes.width, attributes.height};
}

bool holds_fullscreen(quarn_test::XClient& client, Window window) {
    XSync(Quarn::_quarn_display, False);
    Display* display = client.display();
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    XGetWindowProperty(display, window, XInternAtom(display, "_NET_WM_STATE", False), 0, 64, False, XA_ATOM, &type,
                       &format, &count, &after, &data);
    bool found = false;
    for (unsigned long i = 0; i < count; ++i)
        found = found || static_cast<Atom>(reinterpret_cast<long*>(data)[i]) ==
                             XInternAtom(display, "_NET_WM_STATE_FULLSCREEN", False);
    if (data) XFree(data);
    return found;
}

TEST_F(Reports, FullscreenThroughTheWindowManagerAndBackWhereItWas) {
    RecordingFrame frame(log);
    show(frame);
    frame.set_report(Report::RESIZE);
    const Window window = frame._quarn_backing->window;
    const std::vector<int> windowed = on_screen(*client, window);
    frame.set_fullscreen(true);
    ASSERT_TRUE(Quarn::Testing::pump_until([&] { return frame.dimensions[0] == 1280 && frame.dimensions[1] == 1024; }))
        << frame.dimensions[0] << "x" << frame.dimensions[1];
    // The manager may move its frame a moment after resizing the window.
    EXPECT_TRUE(Quarn::Testing::pump_until([&] {
        return on_screen(*client, window) == std::vector<int>{0, 0, 1280, 1024};
    }));
    EXPECT_TRUE(holds_fullscreen(*client, window));
    // Asking for the state it is in changes nothing.
    log.clear();
    frame.set_fullscreen(true);
    quarn_test::settle(*client);
    EXPECT_TRUE(log.empty());
    frame.set_fullscreen(false);
    ASSERT_TRUE(Quarn::Testing::pump_until([&] { return frame.dimensions[0] == 200 && frame.dimensions[1] == 150; }));
    ASSERT_TRUE(Quarn::Testing::pump_until([&] { return on_screen(*client, window) == windowed; }))
        << "back where it was";
    EXPECT_FALSE(holds_fullscreen(*client, window));
}

TEST_F(Reports, FullscreenAskedBeforeTheFrameIsShownStartsFullscreen) {
    RecordingFrame frame(log);
    frame.set_size(200, 150);
    frame.set_fullscreen(true);  // no manager manages it yet: the property itself
    EXPECT_TRUE(holds_fullscreen(*client, frame._quarn_backing->window));
    frame.set_show(true, 0);
    ASSERT_TRUE(Quarn::Testing::wait_shown(frame));
    ASSERT_TRUE(Quarn::Testing::pump_until([&] {
        return on_screen(*client, frame._quarn_backing->window) == std::vector<int>{0, 0, 1280, 1024};
    }));
}

}  // namespace
