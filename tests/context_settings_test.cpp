// Contexts made with Settings through GLX: what the driver was asked for reads
// back from GL and shows in the pixels, what it refuses is reported and leaves
// nothing behind, and the queries answer in core profiles.
#include <gtest/gtest.h>

#include <GL/glew.h>
#include <GL/glx.h>

#include <cstring>
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
using quarn_test::StdoutCapture;

// A frame that draws with whatever the test gives it.
class PaintFrame : public quarn_test::LiveFrame {
public:
    std::function<void()> paint;

protected:
    void callback_draw() override {
        if (paint) paint();
    }
};

GLint integer(GLenum name) {
    GLint value = -1;
    glGetIntegerv(name, &value);
    return value;
}

GLint default_framebuffer(GLenum attachment, GLenum name) {
    GLint value = -1;
    glGetFramebufferAttachmentParameteriv(GL_DRAW_FRAMEBUFFER, attachment, name, &value);
    return value;
}

class SettingsTest : public quarn_test::ClientTest {
protected:
    std::size_t windows_under_root() {
        XSync(Quarn::_quarn_display, False);
        return client->children(client->root()).size();
    }
    void show(PaintFrame& frame, int x, int size = 64) {
        frame.set_size(size, size);
        frame.set_position(x, 0);
        frame.set_show(true, 0);
        XSync(Quarn::_quarn_display, False);
        ASSERT_TRUE(client->wait_viewable(frame._quarn_backing->window));
    }
    // The text the refused construction threw, after checking it printed it
    // and left no window and no current context behind.
    std::string refusal(int major, int minor, const Settings& settings) {
        const std::size_t windows_before = windows_under_root();
        StdoutCapture capture;
        std::string thrown;
        try {
            Context context(major, minor, settings);
        } catch (const char* error) {
            thrown = error;
        }
        const std::string output = capture.finish();
        EXPECT_FALSE(thrown.empty()) << "the driver gave what was expected to be refused";
        EXPECT_EQ(output, "Quarn: " + thrown + "\n");
        EXPECT_EQ(glXGetCurrentContext(), nullptr);
        EXPECT_EQ(windows_under_root(), windows_before);
        return thrown;
    }
};

TEST_F(SettingsTest, CoreDebugMultisampledSrgbContextReadsBackAsAsked) {
    Settings settings;
    settings.profile = Settings::Profile::CORE;
    settings.debug = true;
    settings.samples = 4;
    settings.srgb = true;
    settings.stencil_bits = 8;
    Context context(4, 5, settings);
    PaintFrame frame;
    context.set_target(&frame);
    ASSERT_EQ(context.target, &frame);

    int major = 0, minor = 0;
    context.get_version_gl(&major, &minor);
    EXPECT_GE(major * 10 + minor, 45);
    EXPECT_EQ(integer(GL_CONTEXT_PROFILE_MASK), GL_CONTEXT_CORE_PROFILE_BIT);
    EXPECT_NE(integer(GL_CONTEXT_FLAGS) & GL_CONTEXT_FLAG_DEBUG_BIT, 0);
    EXPECT_EQ(integer(GL_SAMPLES), 4);
    EXPECT_EQ(default_framebuffer(GL_BACK_LEFT, GL_FRAMEBUFFER_ATTACHMENT_COLOR_ENCODING), GL_SRGB);
    EXPECT_GE(default_framebuffer(GL_STENCIL, GL_FRAMEBUFFER_ATTACHMENT_STENCIL_SIZE), 8);
    EXPECT_GE(default_framebuffer(GL_DEPTH, GL_FRAMEBUFFER_ATTACHMENT_DEPTH_SIZE), 24);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(SettingsTest, CompatibilityForwardAndNoErrorFlagsReadBack) {
    {
        Settings settings;
        settings.profile = Settings::Profile::COMPATIBILITY;
        Context context(3, 2, settings);
        EXPECT_EQ(integer(GL_CONTEXT_PROFILE_MASK), GL_CONTEXT_COMPATIBILITY_PROFILE_BIT);
        EXPECT_EQ(integer(GL_CONTEXT_FLAGS), 0);
    }
    {
        Settings settings;
        settings.profile = Settings::Profile::CORE;
        settings.forward_compatible = true;
        settings.no_error = true;
        settings.stencil_bits = 0;
        Context context(3, 3, settings);
        EXPECT_NE(integer(GL_CONTEXT_FLAGS) & GL_CONTEXT_FLAG_FORWARD_COMPATIBLE_BIT, 0);
        EXPECT_NE(integer(GL_CONTEXT_FLAGS) & GL_CONTEXT_FLAG_NO_ERROR_BIT, 0);
    }
}

// A diagonal edge, white on black: one sample per pixel draws it hard (every
// pixel all or nothing), four blend the pixels it crosses.
int blended_pixels_on_a_diagonal(int samples) {
    Settings settings;
    settings.profile = Settings::Profile::COMPATIBILITY;
    settings.samples = samples;
    Context context(2, 1, settings);
    PaintFrame frame;
    frame.paint = [] {
        glViewport(0, 0, 64, 64);
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        glColor3f(1, 1, 1);
        glBegin(GL_TRIANGLES);
        glVertex2f(-1, -1);
        glVertex2f(1, -1);
        glVertex2f(-1, 0.7f);
        glEnd();
    };
    frame.set_size(64, 64);
    frame.set_show(true, 0);
    context.set_target(&frame);
    frame.draw();
    const Quarn::Testing::Image image = Quarn::Testing::capture(frame);
    int blended = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y).r > 8 && image.pixel(x, y).r < 247) ++blended;
    context.set_target(nullptr);
    return blended;
}

TEST_F(SettingsTest, MultisamplingBlendsTheEdgesOfACapture) {
    EXPECT_EQ(blended_pixels_on_a_diagonal(0), 0);
    EXPECT_GT(blended_pixels_on_a_diagonal(4), 30);
}

// Linear 0.5 grey is 188 in sRGB: with GL_FRAMEBUFFER_SRGB on, an
// sRGB-capable framebuffer encodes it, else it shows as 128.
int captured_grey(bool encode) {
    Settings settings;
    settings.srgb = true;
    Context context(3, 0, settings);
    PaintFrame frame;
    frame.paint = [encode] {
        if (encode) glEnable(GL_FRAMEBUFFER_SRGB);
        glClearColor(0.5f, 0.5f, 0.5f, 1);
        glClear(GL_COLOR_BUFFER_BIT);
    };
    frame.set_size(32, 32);
    frame.set_show(true, 0);
    context.set_target(&frame);
    frame.draw();
    const int grey = Quarn::Testing::capture(frame).pixel(16, 16).g;
    context.set_target(nullptr);
    return grey;
}

TEST_F(SettingsTest, SrgbFramebufferEncodesWhatACaptureShows) {
    EXPECT_NEAR(captured_grey(false), 128, 2);
    EXPECT_NEAR(captured_grey(true), 188, 2);
}

TEST_F(SettingsTest, TransparentFrameGetsAWindowWithAlpha) {
    Settings settings;
    settings.transparent = true;
    Context context(2, 1, settings);
    PaintFrame frame;
    XSync(Quarn::_quarn_display, False);
    EXPECT_EQ(client->attributes(frame._quarn_backing->window).depth, 32);
    context.set_target(&frame);
    EXPECT_EQ(context.target, &frame);
    EXPECT_GE(integer(GL_ALPHA_BITS), 8);
}

TEST_F(SettingsTest, RefusedRequestsAreReportedAndLeaveNothingBehind) {
    Settings many_samples;
    many_samples.samples = 64;
    EXPECT_NE(refusal(2, 1, many_samples).find("64 samples"), std::string::npos);

    Settings core;
    core.profile = Settings::Profile::CORE;
    EXPECT_NE(refusal(9, 9, core).find("OpenGL 9.9"), std::string::npos);

    // Debug and no-error contradict each other.
    Settings both;
    both.debug = true;
    both.no_error = true;
    EXPECT_NE(refusal(3, 3, both).find("no-error"), std::string::npos);

    // Xvfb's GLX has no GLX_ARB_create_context_robustness (its EGL has).
    const char* const glx = glXQueryExtensionsString(Quarn::_quarn_display, DefaultScreen(Quarn::_quarn_display));
    if (!std::strstr(glx, "GLX_ARB_create_context_robustness")) {
        Settings robust;
        robust.robustness = Settings::Robustness::LOSE_CONTEXT_ON_RESET;
        EXPECT_NE(refusal(3, 3, robust).find("robustness"), std::string::npos);
    }

    // Frames made afterwards are as without such a context: the two-argument
    // context draws them.
    PaintFrame frame;
    StdoutCapture quiet;
    Context context(2, 1);
    context.set_target(&frame);
    EXPECT_EQ(glXGetCurrentDrawable(), frame._quarn_backing->window);
}

TEST_F(SettingsTest, FrameMadeBeforeTheContextIsRefusedWithAWarning) {
    PaintFrame before;
    Settings settings;
    settings.samples = 4;
    Context context(2, 1, settings);
    PaintFrame after;
    context.set_target(&after);
    const GLXDrawable drawable = glXGetCurrentDrawable();

    StdoutCapture capture;
    context.set_target(&before);
    EXPECT_EQ(capture.finish(),
              "Quarn: Cannot bind the context to a frame made before it (its window has another visual)!  Ignoring "
              ".set_target!\n");
    EXPECT_EQ(context.target, &after);
    EXPECT_EQ(glXGetCurrentDrawable(), drawable);
}

TEST_F(SettingsTest, EachFrameKeepsOneGlxWindowUntilItGoes) {
    Settings settings;
    Context context(2, 1, settings);
    auto first = std::make_unique<PaintFrame>();
    PaintFrame second;
    context.set_target(first.get());
    const GLXDrawable first_drawable = glXGetCurrentDrawable();
    EXPECT_NE(first_drawable, first->_quarn_backing->window);  // a GLXWindow of its own
    context.set_target(&second);
    context.set_target(first.get());
    EXPECT_EQ(glXGetCurrentDrawable(), first_drawable);

    context.set_target(&second);
    first.reset();
    second.draw();
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(SettingsTest, CoreProfileListsItsExtensions) {
    // Mesa gives 3.2 and later the core profile by default.
    StdoutCapture quiet;
    Context context(3, 2);
    quiet.finish();
    ASSERT_EQ(integer(GL_CONTEXT_PROFILE_MASK), GL_CONTEXT_CORE_PROFILE_BIT);
    const GLint count = integer(GL_NUM_EXTENSIONS);
    ASSERT_GT(count, 0);
    const std::string first = reinterpret_cast<const char*>(glGetStringi(GL_EXTENSIONS, 0));
    const std::string last = reinterpret_cast<const char*>(glGetStringi(GL_EXTENSIONS, static_cast<GLuint>(count - 1)));

    const char* const list = context.get_extensions();
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    EXPECT_EQ(list, context.get_extensions());  // built once
    const std::string names = list;
    EXPECT_EQ(names.substr(0, first.size() + 1), first + " ");
    EXPECT_EQ(names.substr(names.size() - last.size() - 1), " " + last);
    EXPECT_TRUE(context.supports_extension(first.c_str()));
    EXPECT_TRUE(context.supports_extension(last.c_str()));
    EXPECT_FALSE(context.supports_extension("GL_QUARN_not_an_extension"));
}

TEST_F(SettingsTest, EntryPointsAndPlatformExtensions) {
    Settings settings;
    settings.profile = Settings::Profile::CORE;
    Context context(3, 3, settings);
    using GenVertexArrays = void (*)(GLsizei, GLuint*);
    const auto gen = reinterpret_cast<GenVertexArrays>(context.get_proc_address("glGenVertexArrays"));
    ASSERT_NE(gen, nullptr);
    GLuint array = 0;
    gen(1, &array);
    EXPECT_NE(array, 0u);
    EXPECT_EQ(context.get_proc_address(nullptr), nullptr);

    EXPECT_TRUE(context.supports_platform_extension("GLX_ARB_create_context"));
    EXPECT_FALSE(context.supports_platform_extension("GLX_ARB_create"));
    EXPECT_FALSE(context.supports_platform_extension("GL_ARB_create_context"));
    EXPECT_FALSE(context.supports_platform_extension(""));
}

TEST_F(SettingsTest, SwapIntervalsTheDriverCannotSetAreWarnings) {
    for (const bool with_settings : {false, true}) {
        StdoutCapture quiet;
        std::unique_ptr<Context> context(with_settings ? new Context(2, 1, Settings()) : new Context(2, 1));
        quiet.finish();
        PaintFrame frame;
        context->set_target(&frame);
        const bool tear = context->supports_platform_extension("GLX_EXT_swap_control_tear");
        StdoutCapture capture;
        context->set_target_swap_interval(-1);
        const std::string output = capture.finish();
        // Xvfb's GLX offers no swap control at all, and answers -1 with
        // BadValue where it is asked anyway.
        EXPECT_EQ(output, tear ? "" : "Quarn: Cannot swap at once when late: GLX_EXT_swap_control_tear is missing!\n");
        frame.draw();  // still alive, and drawing
        context->set_target(nullptr);
    }
}

}  // namespace
