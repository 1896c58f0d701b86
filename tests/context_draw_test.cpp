// draw() waits for the GPU with glFinish; draw(false) leaves that to the swap.
// This binary links with --wrap=glFinish to count the waits.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include "quarn/context.h"
#include "quarn/frame/frame.h"
#include "tests/support/capture.h"
#include "tests/support/fixture.h"
#include "tests/support/live_frame.h"

namespace {
int finish_calls = 0;
int draw_calls = 0;
}  // namespace

extern "C" {
void __real_glFinish();
void __wrap_glFinish() {
    ++finish_calls;
    __real_glFinish();
}
}

namespace {

using Quarn::Context::Context;
using Quarn::Context::Settings;

class CountingFrame : public quarn_test::LiveFrame {
protected:
    void callback_draw() override {
        ++draw_calls;
        glClear(GL_COLOR_BUFFER_BIT);
    }
};

class DrawTest : public quarn_test::LibraryTest {};

TEST_F(DrawTest, DrawWaitsAndDrawFalseDoesNot) {
    Settings egl;
    egl.creation = Settings::Creation::EGL;
    for (int kind = 0; kind < 3; ++kind) {
        quarn_test::StdoutCapture quiet;
        std::unique_ptr<Context> context(kind == 0   ? new Context(2, 1)
                                         : kind == 1 ? new Context(2, 1, Settings())
                                                     : new Context(2, 1, egl));
        quiet.finish();
        CountingFrame frame;
        context->set_target(&frame);
        finish_calls = draw_calls = 0;
        frame.draw();
        EXPECT_EQ(finish_calls, 1) << "context " << kind;
        frame.draw(true);
        EXPECT_EQ(finish_calls, 2) << "context " << kind;
        frame.draw(false);
        EXPECT_EQ(finish_calls, 2) << "context " << kind;
        EXPECT_EQ(draw_calls, 3) << "context " << kind;
        context->set_target(nullptr);
    }
}

}  // namespace
