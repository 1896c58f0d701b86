// Contexts made through EGL on the X display: OpenGL ES and desktop OpenGL,
// one context drawing two frames, the queries, and what EGL refuses.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/glx.h>

#include <functional>
#include <memory>
#include <string>

#include "quarn/context.h"
#include "quarn/frame/frame.h"
#include "quarn/init.h"
#include "quarn/testing/image.h"
#include "tests/support/capture.h"
#include "tests/support/fixture.h"
#include "tests/support/live_frame.h"

namespace {

using Quarn::Context::Context;
using Quarn::Context::Settings;
using Quarn::Testing::Rgba;
using quarn_test::StdoutCapture;

class ClearFrame : public quarn_test::LiveFrame {
public:
    float red = 0, green = 0, blue = 0;

protected:
    void callback_draw() override {
        glViewport(0, 0, 32, 32);
        glClearColor(red, green, blue, 1);
        glClear(GL_COLOR_BUFFER_BIT);
    }
};

GLint integer(GLenum name) {
    GLint value = -1;
    glGetIntegerv(name, &value);
    return value;
}

Settings through_egl(Settings::Api api) {
    Settings settings;
    settings.api = api;
    settings.creation = Settings::Creation::EGL;
    return settings;
}

class EglTest : public quarn_test::ClientTest {
protected:
    void show(ClearFrame& frame, int x) {
        frame.set_size(32, 32);
        frame.set_position(x, 0);
        frame.set_show(true, 0);
    }
    // Draws each frame in turn, twice, and reads both back.
    void expect_both_frames_drawn(Context& context) {
        ClearFrame red, blue;
        red.red = 1;
        blue.blue = 1;
        show(red, 0);
        show(blue, 40);
        for (int round = 0; round < 2; ++round) {
            context.set_target(&red);
            red.draw();
            context.set_target(&blue);
            blue.draw();
        }
        EXPECT_EQ(context.target, &blue);
        EXPECT_EQ(Quarn::Testing::capture(red).pixel(16, 16), (Rgba{255, 0, 0, 255}));
        EXPECT_EQ(Quarn::Testing::capture(blue).pixel(16, 16), (Rgba{0, 0, 255, 255}));
        context.set_target(nullptr);
    }
};

TEST_F(EglTest, OpenGlEsContextDrawsTwoFrames) {
    Context context(3, 0, through_egl(Settings::Api::OPENGL_ES));
    EXPECT_EQ(glXGetCurrentContext(), nullptr);  // not GLX's
    EXPECT_EQ(std::string(context.get_version_gl()).rfind("OpenGL ES 3.", 0), 0u) << context.get_version_gl();
    EXPECT_TRUE(context.supports_platform_extension("EGL_KHR_create_context"));
    EXPECT_FALSE(context.supports_platform_extension("GLX_ARB_create_context"));
    expect_both_frames_drawn(context);
}

TEST_F(EglTest, DesktopCoreContextThroughEglDrawsTwoFramesAndAnswersQueries) {
    Settings settings = through_egl(Settings::Api::OPENGL);
    settings.profile = Settings::Profile::CORE;
    settings.debug = true;
    settings.robustness = Settings::Robustness::LOSE_CONTEXT_ON_RESET;
    Context context(3, 3, settings);
    EXPECT_EQ(integer(GL_CONTEXT_PROFILE_MASK), GL_CONTEXT_CORE_PROFILE_BIT);
    EXPECT_NE(integer(GL_CONTEXT_FLAGS) & GL_CONTEXT_FLAG_DEBUG_BIT, 0);
    EXPECT_NE(integer(GL_CONTEXT_FLAGS) & GL_CONTEXT_FLAG_ROBUST_ACCESS_BIT, 0);
    EXPECT_EQ(integer(GL_RESET_NOTIFICATION_STRATEGY), GL_LOSE_CONTEXT_ON_RESET);
    EXPECT_STRNE(context.get_renderer(), "Quarn::Unknown");
    EXPECT_TRUE(context.supports_extension("GL_KHR_debug"));
    EXPECT_NE(context.get_proc_address("glGenVertexArrays"), nullptr);
    expect_both_frames_drawn(context);
}

TEST_F(EglTest, RobustnessReadsBackItsStrategy) {
    Settings settings = through_egl(Settings::Api::OPENGL_ES);
    settings.robustness = Settings::Robustness::NO_RESET_NOTIFICATION;
    Context context(3, 0, settings);
    EXPECT_EQ(integer(GL_RESET_NOTIFICATION_STRATEGY), GL_NO_RESET_NOTIFICATION);
}

TEST_F(EglTest, FramesOfAnEglContextLoseTheirSurfaceWithThem) {
    Context context(2, 1, through_egl(Settings::Api::OPENGL));
    auto first = std::make_unique<ClearFrame>();
    ClearFrame second;
    context.set_target(first.get());
    first->draw();
    context.set_target(&second);
    first.reset();
    second.draw();
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    EXPECT_EQ(context.target, &second);
}

TEST_F(EglTest, TransparentFramebufferIsRefusedWhereEglHasNoVisualWithAlpha) {
    // Mesa's EGL lists only visuals of the root window's depth (24 on Xvfb):
    // none a compositor would blend. Through GLX the same request succeeds.
    Settings settings = through_egl(Settings::Api::OPENGL);
    settings.transparent = true;
    quarn_test::StdoutCapture capture;
    std::string thrown;
    try {
        Context context(2, 1, settings);
    } catch (const char* error) {
        thrown = error;
    }
    capture.finish();
    EXPECT_NE(thrown.find("transparent visual"), std::string::npos) << thrown;
}

TEST_F(EglTest, SwapIntervals) {
    Context context(2, 0, through_egl(Settings::Api::OPENGL_ES));
    ClearFrame frame;
    context.set_target(&frame);
    StdoutCapture capture;
    context.set_target_swap_interval(0);
    context.set_target_swap_interval(1);
    context.set_target_swap_interval(-1);
    EXPECT_EQ(capture.finish(), "Quarn: Cannot swap at once when late: EGL offers no adaptive swap interval!\n");
}

TEST_F(EglTest, RefusedVersionIsReportedAndLeavesNothingBehind) {
    XSync(Quarn::_quarn_display, False);
    const std::size_t windows_before = client->children(client->root()).size();
    StdoutCapture capture;
    std::string thrown;
    try {
        Context context(9, 0, through_egl(Settings::Api::OPENGL_ES));
    } catch (const char* error) {
        thrown = error;
    }
    EXPECT_EQ(capture.finish(), "Quarn: " + thrown + "\n");
    EXPECT_EQ(thrown.rfind("Cannot create an OpenGL ES 9.0 context through EGL", 0), 0u) << thrown;
    XSync(Quarn::_quarn_display, False);
    EXPECT_EQ(client->children(client->root()).size(), windows_before);

    // Frames made now get the specified visual, which the GLX context draws.
    ClearFrame frame;
    StdoutCapture quiet;
    Context context(2, 1);
    context.set_target(&frame);
    EXPECT_EQ(glXGetCurrentDrawable(), frame._quarn_backing->window);
}

}  // namespace

namespace {

// EGL initializes a display once per process: a second context refused, or
// one destroyed, must not end the display under a context that lives on.
TEST_F(EglTest, AContextLivesOnThroughAnotherRefusedOrDestroyed) {
    Context context(3, 0, through_egl(Settings::Api::OPENGL_ES));
    {
        StdoutCapture capture;
        EXPECT_THROW(Context(9, 0, through_egl(Settings::Api::OPENGL_ES)), const char*);
    }
    { Context other(2, 0, through_egl(Settings::Api::OPENGL_ES)); }
    expect_both_frames_drawn(context);
}

}  // namespace
