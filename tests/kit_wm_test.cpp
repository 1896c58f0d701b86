#include <gtest/gtest.h>

#include <GL/gl.h>

#include <memory>

#include "quarn/context.h"
#include "quarn/init.h"
#include "quarn/testing/testing.h"
#include "tests/support/fixture.h"
#include "tests/support/recording_frame.h"

// The kit under a window manager, where a frame is on screen only once the
// manager has framed and mapped it.
namespace {

using quarn_test::RecordingFrame;

class GreenFrame : public RecordingFrame {
public:
    using RecordingFrame::RecordingFrame;
    void callback_draw() override {
        glClearColor(0, 1, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
    }
};

class KitUnderAWindowManager : public quarn_test::LibraryTest {};

TEST_F(KitUnderAWindowManager, CaptureWaitsUntilTheFrameIsShown) {
    std::vector<quarn_test::Call> log;
    GreenFrame frame(log);
    frame.set_size(60, 40);
    Quarn::Context::set_trace(false);
    Quarn::Context::Context context(2, 1);
    Quarn::Context::set_trace(true);
    frame.set_show(true, 0);
    // No wait of the test's own: capture waits as Input does.
    const Quarn::Testing::Image shown = Quarn::Testing::capture(frame);
    EXPECT_EQ(shown.width(), 60);
    EXPECT_EQ(shown.height(), 40);
    context.set_target(&frame);
    frame.draw();
    EXPECT_EQ(Quarn::Testing::capture(frame).pixel(30, 20), (Quarn::Testing::Rgba{0, 255, 0, 255}));
    context.set_target(nullptr);
}

}  // namespace
