#include <gtest/gtest.h>

#include <X11/Xatom.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "quarn/frame/drop.h"
#include "quarn/helpers.h"
#include "quarn/init.h"
#include "quarn/input/events/events.h"
#include "quarn/input/events/helpers.h"
#include "quarn/testing/testing.h"
#include "tests/support/fixture.h"

// Files and text dropped on a frame (XDND), with the kit's Input as the drag
// source: what arrives, what a frame that does not take drops answers, and
// sources that stop answering. Built twice: on a bare server and under
// openbox, which reparents the frame's window.
namespace {

using Quarn::Testing::Input;

struct Dropped {
    std::vector<std::string> paths;
    std::string text;
    int x, y;
};

// Records its drops, that they came through EventFrameBase too, and close requests.
class DropFrame : public Quarn::Frame::FrameBase {
public:
    DropFrame()
        : FrameBase(nullptr, Quarn::Flags::Style::BORDER | Quarn::Flags::Style::TITLEBAR, Quarn::Flags::Button::CLOSE) {
    }
    void callback_input(const Quarn::Input::State*, const Quarn::Input::Events::EventFrameBase* event) override {
        if (event->type == 33554432) ++frame_level;
    }
    void callback_input(const Quarn::Input::State*, const Quarn::Input::Events::EventFrameDrop* event) override {
        drops.push_back({event->paths, event->text, event->x, event->y});
    }
    void callback_input(const Quarn::Input::State*, const Quarn::Input::Events::EventFrameClose*) override { ++closes; }

    std::vector<Dropped> drops;
    int frame_level = 0;
    int closes = 0;
};

class Drop : public quarn_test::LibraryTest {
protected:
    void show(DropFrame& frame, bool drop = true) {
        if (drop) frame.set_report(Quarn::Flags::Report::DROP);
        frame.set_size(200, 150);
        frame.set_show(true, 0);
        ASSERT_TRUE(Quarn::Testing::wait_shown(frame));
        Quarn::Input::Events::handle();
    }

    Input input;
};

TEST_F(Drop, FilesWithSpacesAndNonAsciiNamesArriveAsLocalPaths) {
    DropFrame frame;
    show(frame);
    const std::vector<std::string> paths = {"/tmp/a file with spaces.txt", "/home/zoë/Grüße/日本語 名前.png",
                                            "/tmp/100%/#hash?.txt"};
    const Input::Drag drag = input.drag_files(frame, paths, 30, 40);
    EXPECT_TRUE(drag.aware);
    EXPECT_TRUE(drag.accepted);
    EXPECT_TRUE(drag.asked);
    EXPECT_TRUE(drag.finished);
    EXPECT_TRUE(drag.succeeded);
    // Under a manager the window sits in the manager's frame, and the drop's
    // position is still the frame's own.
    if (QUARN_TEST_WINDOW_MANAGER) {
        EXPECT_NE(Quarn::_quarn_parent_of(frame._quarn_backing->window), DefaultRootWindow(Quarn::_quarn_display));
    }
    ASSERT_EQ(frame.drops.size(), 1u);
    EXPECT_EQ(frame.drops[0].paths, paths);
    EXPECT_EQ(frame.drops[0].text, "");
    EXPECT_EQ(frame.drops[0].x, 30);
    EXPECT_EQ(frame.drops[0].y, 40);
    EXPECT_EQ(frame.frame_level, 1) << "the drop goes through EventFrameBase first";
    EXPECT_EQ(frame.closes, 0) << "a drag's messages are no close request";
}

TEST_F(Drop, TextArrivesAsUtf8FromASourceThatListsItsForms) {
    DropFrame frame;
    show(frame);
    // Four forms: the source lists them in XdndTypeList.
    const Input::Drag drag = input.drag_text(frame, "héllo wörld ✓\nsecond line", 5, 6);
    EXPECT_TRUE(drag.accepted);
    EXPECT_TRUE(drag.succeeded);
    ASSERT_EQ(frame.drops.size(), 1u);
    EXPECT_TRUE(frame.drops[0].paths.empty());
    EXPECT_EQ(frame.drops[0].text, "héllo wörld ✓\nsecond line");
    EXPECT_EQ(frame.drops[0].x, 5);
    EXPECT_EQ(frame.drops[0].y, 6);
}

TEST_F(Drop, ALargeTextArrivesWholeInPieces) {
    DropFrame frame;
    show(frame);
    std::string text;
    for (int i = 0; text.size() < 1100000; ++i) text += std::to_string(i) + " Grüße ✓\n";
    const Input::Drag drag = input.drag_text(frame, text);
    EXPECT_TRUE(drag.succeeded);
    ASSERT_EQ(frame.drops.size(), 1u);
    EXPECT_EQ(frame.drops[0].text.size(), text.size());
    EXPECT_TRUE(frame.drops[0].text == text) << "the pieces arrived out of order, twice or not at all";
}

TEST_F(Drop, AFormWantedFourthInTheTypeListIsFound) {
    DropFrame frame;
    show(frame);
    const Input::Drag drag = input.drag(frame, {"text/html", "image/png", "application/x-quarn", "text/uri-list"},
                                        "file:///tmp/listed%20fourth\r\n", 10, 10);
    EXPECT_TRUE(drag.accepted);
    EXPECT_TRUE(drag.succeeded);
    ASSERT_EQ(frame.drops.size(), 1u);
    EXPECT_EQ(frame.drops[0].paths, (std::vector<std::string>{"/tmp/listed fourth"}));
}

TEST_F(Drop, NothingWantedOfferedIsDeclined) {
    DropFrame frame;
    show(frame);
    const Input::Drag drag = input.drag(frame, {"image/png"}, "\x89PNG", 10, 10, Input::DragEnd::DROP_ANYWAY);
    EXPECT_TRUE(drag.aware);
    EXPECT_FALSE(drag.accepted);
    EXPECT_FALSE(drag.asked);
    EXPECT_TRUE(drag.finished);
    EXPECT_FALSE(drag.succeeded);
    EXPECT_TRUE(frame.drops.empty());
}

TEST_F(Drop, AFrameThatDoesNotReportDropIsNotAwareAndDeclinesAForcedDrop) {
    DropFrame frame;
    show(frame, false);
    Input::Drag drag = input.drag_files(frame, {"/tmp/x"});
    EXPECT_FALSE(drag.aware);
    EXPECT_FALSE(drag.accepted);
    EXPECT_FALSE(drag.finished) << "a source that was not accepted leaves, and is told nothing more";
    drag = input.drag(frame, {"text/uri-list"}, "file:///tmp/x\r\n", 10, 10, Input::DragEnd::DROP_ANYWAY);
    EXPECT_FALSE(drag.accepted);
    EXPECT_FALSE(drag.asked);
    EXPECT_TRUE(drag.finished) << "a forced drop is answered";
    EXPECT_FALSE(drag.succeeded);
    EXPECT_TRUE(frame.drops.empty());
    EXPECT_EQ(frame.closes, 0) << "a drag's messages are no close request";

    // Turned on and off again: the window stops saying it takes drops.
    frame.set_report(Quarn::Flags::Report::DROP);
    XSync(Quarn::_quarn_display, False);
    EXPECT_TRUE(input.drag_files(frame, {"/tmp/y"}).aware);
    frame.set_report(Quarn::Flags::Report::NONE);
    XSync(Quarn::_quarn_display, False);
    drag = input.drag(frame, {"text/uri-list"}, "file:///tmp/z\r\n", 10, 10, Input::DragEnd::DROP_ANYWAY);
    EXPECT_FALSE(drag.aware);
    EXPECT_FALSE(drag.succeeded);
    ASSERT_EQ(frame.drops.size(), 1u);
    EXPECT_EQ(frame.drops[0].paths, (std::vector<std::string>{"/tmp/y"}));
}

TEST_F(Drop, ASourceThatStopsAnsweringIsGivenUpAndToldSo) {
    DropFrame frame;
    show(frame);
    const Input::Drag drag = input.drag(frame, {"text/uri-list"}, "file:///tmp/x\r\n", 10, 10, Input::DragEnd::SILENT);
    EXPECT_TRUE(drag.asked);
    EXPECT_TRUE(drag.finished) << "the frame never gave the drop up";
    EXPECT_FALSE(drag.succeeded);
    EXPECT_TRUE(frame.drops.empty());
    // The pump stays healthy: the next drop arrives.
    EXPECT_TRUE(input.drag_files(frame, {"/tmp/next"}).succeeded);
    ASSERT_EQ(frame.drops.size(), 1u);
    EXPECT_EQ(frame.drops[0].paths, (std::vector<std::string>{"/tmp/next"}));
}

TEST_F(Drop, ASourceThatVanishesMidDropDeliversNothingAndTheNextDropArrives) {
    DropFrame frame;
    show(frame);
    const Input::Drag drag = input.drag(frame, {"text/uri-list"}, "file:///tmp/x\r\n", 10, 10, Input::DragEnd::VANISH);
    EXPECT_TRUE(drag.asked);
    // Longer than the frame waits for a source.
    EXPECT_FALSE(Quarn::Testing::pump_until([&] { return !frame.drops.empty(); }, std::chrono::seconds(4)));
    EXPECT_TRUE(input.drag_text(frame, "after").succeeded);
    ASSERT_EQ(frame.drops.size(), 1u);
    EXPECT_EQ(frame.drops[0].text, "after");
}

// A source by hand, so the application can sleep in wait() while the
// frame waits for data that never come.
class SilentSource {
public:
    explicit SilentSource(Window target) : display_(XOpenDisplay(nullptr)), target_(target) {
        window_ = XCreateSimpleWindow(display_, DefaultRootWindow(display_), 0, 0, 1, 1, 0, 0, 0);
    }
    ~SilentSource() {
        XDestroyWindow(display_, window_);
        XCloseDisplay(display_);
    }
    void send(const char* type, long l1, long l2) {
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = target_;
        event.xclient.message_type = XInternAtom(display_, type, False);
        event.xclient.format = 32;
        event.xclient.data.l[0] = static_cast<long>(window_);
        event.xclient.data.l[1] = l1;
        event.xclient.data.l[2] = l2;
        XSendEvent(display_, target_, False, NoEventMask, &event);
        XSync(display_, False);
    }
    // Enters with files, points, takes XdndSelection and drops.
    void drop() {
        send("XdndEnter", 5L << 24, static_cast<long>(XInternAtom(display_, "text/uri-list", False)));
        send("XdndPosition", 0, (20L << 16) | 20);
        XSetSelectionOwner(display_, XInternAtom(display_, "XdndSelection", False), window_, CurrentTime);
        send("XdndDrop", 0, CurrentTime);
    }
    // Whether an XdndFinished came, reading what has arrived.
    bool finished() {
        const Atom finished = XInternAtom(display_, "XdndFinished", False);
        XSync(display_, False);
        XEvent event;
        while (XPending(display_)) {
            XNextEvent(display_, &event);
            if (event.type == ClientMessage && event.xclient.message_type == finished) return true;
        }
        return false;
    }

private:
    Display* display_;
    Window target_;
    Window window_;
};

TEST_F(Drop, AWaitWithoutLimitReturnsToGiveUpASilentSource) {
    DropFrame frame;
    show(frame);
    const Window window = frame._quarn_backing->window;
    SilentSource source(window);
    source.drop();
    XSync(Quarn::_quarn_display, False);
    Quarn::Input::Events::handle();  // the frame answers and asks for the data
    ASSERT_FALSE(source.finished());
    // Ends the wait after ten seconds if nothing else does.
    std::atomic<bool> rescued{false}, stop{false};
    std::thread rescue([&] {
        for (int i = 0; i < 100 && !stop; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(100));
        if (stop) return;
        rescued = true;
        quarn_test::XClient rescuer;
        rescuer.send_client_message(window);
        rescuer.sync();
    });
    const bool woke = Quarn::Input::Events::wait(-1);
    stop = true;
    rescue.join();
    EXPECT_TRUE(woke);
    EXPECT_FALSE(rescued) << "the wait slept on past the drop's deadline";
    Quarn::Input::Events::handle();
    EXPECT_TRUE(source.finished()) << "the handle() after the wait gave the drop up and told the source";
    EXPECT_TRUE(frame.drops.empty());
}

TEST(DropPaths, FileUrisOfThisMachineBecomeLocalPathsOthersStayAsTheyCame) {
    struct Case {
        const char* list;
        std::vector<std::string> paths;
    };
    const Case cases[] = {
        {"file:///tmp/a%20b\r\nfile:///tmp/c\r\n", {"/tmp/a b", "/tmp/c"}},
        {"file://localhost/tmp/a\r\n", {"/tmp/a"}},
        {"file://thishost/tmp/a\r\n", {"/tmp/a"}},
        {"file://otherhost/tmp/a\r\n", {"file://otherhost/tmp/a"}},
        {"file:/tmp/short\n", {"/tmp/short"}},
        {"# a comment\r\n\r\nhttps://example.org/x%20y\r\n", {"https://example.org/x%20y"}},
        {"file:///tmp/%C3%BC%e2%9c%93", {"/tmp/ü✓"}},
        {"file:///tmp/bad%zzescape%4", {"/tmp/bad%zzescape%4"}},
        {"file:///tmp/nul%00byte\r\n", {"file:///tmp/nul%00byte"}},
        {"file://hostwithoutpath\r\n", {"file://hostwithoutpath"}},
        {"", {}},
    };
    for (const Case& c : cases) EXPECT_EQ(Quarn::Frame::_quarn_drop_paths(c.list, "thishost"), c.paths) << c.list;
}

}  // namespace
