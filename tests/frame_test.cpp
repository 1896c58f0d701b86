#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "quarn/frame/frame.h"
#include "quarn/frame/helpers.h"
#include "quarn/init.h"
#include "quarn/input/state.h"
#include "tests/support/capture.h"
#include "tests/support/fixture.h"
#include "tests/support/recording_frame.h"
#include "tests/support/x_client.h"

// Counts Xlib's size-hint allocations (this binary links with --wrap=XAllocSizeHints).
static int size_hint_allocations = 0;
extern "C" XSizeHints* __real_XAllocSizeHints();
extern "C" XSizeHints* __wrap_XAllocSizeHints() {
    ++size_hint_allocations;
    return __real_XAllocSizeHints();
}

namespace {

using quarn_test::Call;
using quarn_test::RecordingFrame;
using quarn_test::StdoutCapture;

class Frames : public quarn_test::ClientTest {
protected:
    // What the server knows of `frame`'s window once the library's requests reached it.
    XWindowAttributes server_view(const Quarn::Frame::FrameBase& frame) {
        XSync(Quarn::_quarn_display, False);
        return client->attributes(frame._quarn_backing->window);
    }

    std::vector<Call> log;
};

TEST_F(Frames, NewFrameIsHiddenDefaultSizedAndRegistered) {
    RecordingFrame frame(log);
    EXPECT_EQ(frame.dimensions[0], 118);
    EXPECT_EQ(frame.dimensions[1], 33);
    EXPECT_EQ(frame.position[0], 0);
    EXPECT_EQ(frame.position[1], 0);
    EXPECT_FALSE(frame.visible);
    EXPECT_FALSE(frame.has_menubar);
    ASSERT_NE(frame.input_state, nullptr);
    const XWindowAttributes attributes = server_view(frame);
    EXPECT_EQ(attributes.map_state, IsUnmapped);
    EXPECT_EQ(attributes.width, 118);
    EXPECT_EQ(attributes.height, 33);
    EXPECT_EQ(client->title(frame._quarn_backing->window), "[default title]");
    ASSERT_EQ(Quarn::Frame::_quarn_windows->size(), 1u);
    EXPECT_EQ(Quarn::Frame::_quarn_windows->at(frame._quarn_backing->window), &frame);
}

TEST_F(Frames, TwoFramesHaveTwoEntriesAndDestructionRemovesEach) {
    auto* first = new RecordingFrame(log);
    auto* second = new RecordingFrame(log);
    const Window first_window = first->_quarn_backing->window;
    ASSERT_EQ(Quarn::Frame::_quarn_windows->size(), 2u);
    EXPECT_EQ(Quarn::Frame::_quarn_windows->at(first_window), first);
    EXPECT_EQ(Quarn::Frame::_quarn_windows->at(second->_quarn_backing->window), second);
    delete first;
    ASSERT_EQ(Quarn::Frame::_quarn_windows->size(), 1u);
    EXPECT_EQ(Quarn::Frame::_quarn_windows->count(first_window), 0u);
    delete second;
    EXPECT_TRUE(Quarn::Frame::_quarn_windows->empty());
}

TEST_F(Frames, DestructionLeavesAnEntryThatNamesAnotherFrame) {
    auto* frame = new RecordingFrame(log);
    RecordingFrame other(log);
    const Window window = frame->_quarn_backing->window;
    (*Quarn::Frame::_quarn_windows)[window] = &other;
    delete frame;
    EXPECT_EQ(Quarn::Frame::_quarn_windows->at(window), &other);
    Quarn::Frame::_quarn_windows->erase(window);
}

TEST_F(Frames, SetShowMapsOnceAndWarnsWhenAlreadyInState) {
    RecordingFrame frame(log);
    {
        StdoutCapture capture;
        frame.set_show(true, 0);
        EXPECT_EQ(capture.finish(), "");
    }
    XFlush(Quarn::_quarn_display);
    EXPECT_TRUE(frame.visible);
    EXPECT_TRUE(client->wait_viewable(frame._quarn_backing->window));
    {
        StdoutCapture capture;
        frame.set_show(true, 0);
        frame.set_show(true, 250);
        EXPECT_EQ(capture.lines(),
                  std::vector<std::string>(2, "Quarn: Warning: already in the requested state!  Ignoring .set_show!"));
    }
    EXPECT_EQ(server_view(frame).map_state, IsViewable);
    {
        StdoutCapture capture;
        frame.set_show(false, 250);
        EXPECT_EQ(capture.lines(), std::vector<std::string>{"Quarn: Blend is not supported on Linux!"});
    }
    EXPECT_FALSE(frame.visible);
    EXPECT_EQ(server_view(frame).map_state, IsUnmapped);
    {
        StdoutCapture capture;
        frame.set_show(false, 250);
        EXPECT_EQ(capture.lines(),
                  std::vector<std::string>{"Quarn: Warning: already in the requested state!  Ignoring .set_show!"});
    }
}

TEST_F(Frames, SizeAndPositionAreStoredAndSentToTheServer) {
    RecordingFrame frame(log);
    frame.set_size(200, 200);
    EXPECT_EQ(frame.dimensions[0], 200);
    EXPECT_EQ(frame.dimensions[1], 200);
    EXPECT_EQ(server_view(frame).width, 200);
    const int pair[2] = {300, 100};
    frame.set_size(pair);
    EXPECT_EQ(frame.dimensions[0], 300);
    EXPECT_EQ(frame.dimensions[1], 100);
    XWindowAttributes attributes = server_view(frame);
    EXPECT_EQ(attributes.width, 300);
    EXPECT_EQ(attributes.height, 100);

    frame.set_position(40, 50);
    EXPECT_EQ(frame.position[0], 40);
    EXPECT_EQ(frame.position[1], 50);
    const int to[2] = {-20, 70};
    frame.set_position(to);
    attributes = server_view(frame);
    EXPECT_EQ(attributes.x, -20);
    EXPECT_EQ(attributes.y, 70);
    EXPECT_EQ(frame.position[0], -20);
}

TEST_F(Frames, SizeAndPositionAreRecordedInTheNormalHintsBesideOthers) {
    RecordingFrame frame(log);
    const Window window = frame._quarn_backing->window;
    // A hint the application set itself must survive.
    XSizeHints minimum{};
    minimum.flags = PMinSize;
    minimum.min_width = 50;
    minimum.min_height = 40;
    XSetWMNormalHints(Quarn::_quarn_display, window, &minimum);
    const auto hints = [&] {
        XSync(Quarn::_quarn_display, False);
        XSizeHints read{};
        long supplied = 0;
        EXPECT_TRUE(XGetWMNormalHints(client->display(), window, &read, &supplied));
        return read;
    };

    size_hint_allocations = 0;
    frame.set_size(200, 150);
    XSizeHints read = hints();
    EXPECT_EQ(read.flags, PMinSize | USSize | PSize);
    EXPECT_EQ(read.width, 200);
    EXPECT_EQ(read.height, 150);

    frame.set_position(500, 300);
    {
        StdoutCapture quiet;
        frame.set_position(40000, 0);  // refused: the hints keep the last accepted position
    }
    read = hints();
    EXPECT_EQ(read.flags, PMinSize | USSize | PSize | USPosition | PPosition);
    EXPECT_EQ(read.x, 500);
    EXPECT_EQ(read.y, 300);
    EXPECT_EQ(read.width, 200);
    EXPECT_EQ(read.min_width, 50);
    EXPECT_EQ(read.min_height, 40);
    EXPECT_EQ(size_hint_allocations, 0);  // the setters keep the hints on the stack
}

TEST_F(Frames, SizesAndPositionsTheProtocolCannotCarryAreRefused) {
    RecordingFrame frame(log);
    frame.set_size(64, 48);
    frame.set_position(10, 20);
    const std::string size_warning = "Quarn: Cannot set a window size outside 1 to 65535 pixels!  Ignoring .set_size!";
    const std::string position_warning =
        "Quarn: Cannot set a window position outside -32768 to 32767!  Ignoring .set_position!";
    StdoutCapture capture;
    frame.set_size(0, 10);
    frame.set_size(10, -5);
    frame.set_size(65536, 10);
    frame.set_position(32768, 0);
    frame.set_position(0, -32769);
    EXPECT_EQ(frame.dimensions[0], 64);
    EXPECT_EQ(frame.dimensions[1], 48);
    EXPECT_EQ(frame.position[0], 10);
    EXPECT_EQ(frame.position[1], 20);
    frame.set_size(nullptr);
    frame.set_position(nullptr);
    EXPECT_EQ(capture.lines(), (std::vector<std::string>{
                                   size_warning,
                                   size_warning,
                                   size_warning,
                                   position_warning,
                                   position_warning,
                                   "Quarn: Cannot set a window size from a null pointer!  Ignoring .set_size!",
                                   "Quarn: Cannot set a window position from a null pointer!  Ignoring .set_position!",
                               }));
    frame.set_size(65535, 1);
    frame.set_position(-32768, 32767);
    const XWindowAttributes attributes = server_view(frame);
    EXPECT_EQ(attributes.width, 65535);
    EXPECT_EQ(attributes.x, -32768);
    EXPECT_EQ(attributes.y, 32767);
}

TEST_F(Frames, NarrowTitlesChangeTheNameWideTitlesOnlyWarn) {
    RecordingFrame frame(log);
    frame.set_title("hello");
    XSync(Quarn::_quarn_display, False);
    EXPECT_EQ(client->title(frame._quarn_backing->window), "hello");
    frame.set_title(std::string("cut\0here", 8));
    XSync(Quarn::_quarn_display, False);
    EXPECT_EQ(client->title(frame._quarn_backing->window), "cut");
    StdoutCapture capture;
    frame.set_title(std::wstring(L"wide"));
    EXPECT_EQ(capture.lines(),
              std::vector<std::string>{"Quarn: Wide string not yet supported for window titles on Linux!"});
    XSync(Quarn::_quarn_display, False);
    EXPECT_EQ(client->title(frame._quarn_backing->window), "cut");
}

TEST_F(Frames, ChildFrameIsAnXChildOfItsParent) {
    RecordingFrame parent(log);
    RecordingFrame child(log, &parent);
    child.set_position(7, 9);
    XSync(Quarn::_quarn_display, False);
    EXPECT_EQ(client->parent(child._quarn_backing->window), parent._quarn_backing->window);
    EXPECT_EQ(client->parent(parent._quarn_backing->window), client->root());
    const XWindowAttributes attributes = client->attributes(child._quarn_backing->window);
    EXPECT_EQ(attributes.x, 7);
    EXPECT_EQ(attributes.y, 9);
}

// Counts its draw callbacks.
class CountingFrame : public RecordingFrame {
public:
    using RecordingFrame::RecordingFrame;
    void callback_draw() override { ++draws; }
    int draws = 0;
};

TEST_F(Frames, DrawWithoutABoundContextOnlyWarns) {
    CountingFrame frame(log);
    StdoutCapture capture;
    frame.draw();
    EXPECT_EQ(capture.lines(), std::vector<std::string>{
                                   "Quarn: Cannot draw a frame without a bound rendering context!  Ignoring .draw!"});
    EXPECT_EQ(frame.draws, 0);
}

}  // namespace
