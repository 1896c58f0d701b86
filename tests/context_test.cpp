#include <gtest/gtest.h>

#include <GL/glew.h>
#include <GL/glxew.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "quarn/context.h"
#include "quarn/frame/frame.h"
#include "quarn/init.h"
#include "tests/support/capture.h"
#include "tests/support/fixture.h"
#include "tests/support/recording_frame.h"
#include "tests/support/x_client.h"

// This binary links with --wrap for the GLX and GLEW calls below, so the tests
// can count bindings and make individual steps of context creation fail.
namespace seam {
int make_current_calls = 0;
std::vector<GLXDrawable> make_current_drawables;
int fail_choose_visual_call = 0;  // fail the n-th glXChooseVisual from now (0: never)
bool fail_create_context = false;
int fail_glew_init_call = 0;  // fail the n-th glewInit from now (0: never)
bool drop_create_context_attribs = false;
std::vector<int> context_attributes;
std::vector<std::pair<GLXDrawable, int>> swap_intervals;
PFNGLXCREATECONTEXTATTRIBSARBPROC real_create_context_attribs = nullptr;
PFNGLXSWAPINTERVALEXTPROC real_swap_interval = nullptr;

void reset() {
    make_current_calls = 0;
    make_current_drawables.clear();
    fail_choose_visual_call = 0;
    fail_create_context = false;
    fail_glew_init_call = 0;
    drop_create_context_attribs = false;
    context_attributes.clear();
    swap_intervals.clear();
}

GLXContext recording_create_context_attribs(Display* display, GLXFBConfig config, GLXContext share, Bool direct,
                                            const int* attributes) {
    context_attributes.clear();
    for (const int* a = attributes; *a != None; a += 2) context_attributes.insert(context_attributes.end(), a, a + 2);
    context_attributes.push_back(None);
    return real_create_context_attribs(display, config, share, direct, attributes);
}

void recording_swap_interval(Display* display, GLXDrawable drawable, int interval) {
    swap_intervals.emplace_back(drawable, interval);
    real_swap_interval(display, drawable, interval);
}
}  // namespace seam

extern "C" {
Bool __real_glXMakeCurrent(Display*, GLXDrawable, GLXContext);
Bool __wrap_glXMakeCurrent(Display* display, GLXDrawable drawable, GLXContext context) {
    ++seam::make_current_calls;
    seam::make_current_drawables.push_back(drawable);
    return __real_glXMakeCurrent(display, drawable, context);
}

XVisualInfo* __real_glXChooseVisual(Display*, int, int*);
XVisualInfo* __wrap_glXChooseVisual(Display* display, int screen, int* attributes) {
    if (seam::fail_choose_visual_call > 0 && --seam::fail_choose_visual_call == 0) return nullptr;
    return __real_glXChooseVisual(display, screen, attributes);
}

GLXContext __real_glXCreateContext(Display*, XVisualInfo*, GLXContext, Bool);
GLXContext __wrap_glXCreateContext(Display* display, XVisualInfo* visual, GLXContext share, Bool direct) {
    if (seam::fail_create_context) return nullptr;
    return __real_glXCreateContext(display, visual, share, direct);
}

GLenum __real_glewInit();
GLenum __wrap_glewInit() {
    if (seam::fail_glew_init_call > 0 && --seam::fail_glew_init_call == 0) return GLEW_ERROR_NO_GL_VERSION;
    const GLenum result = __real_glewInit();
    if (glXCreateContextAttribsARB != seam::recording_create_context_attribs) {
        seam::real_create_context_attribs = glXCreateContextAttribsARB;
        glXCreateContextAttribsARB = seam::recording_create_context_attribs;
    }
    if (glXSwapIntervalEXT && glXSwapIntervalEXT != seam::recording_swap_interval) {
        seam::real_swap_interval = glXSwapIntervalEXT;
        glXSwapIntervalEXT = seam::recording_swap_interval;
    }
    if (seam::drop_create_context_attribs) glXCreateContextAttribsARB = nullptr;
    return result;
}
}

namespace {

using quarn_test::Call;
using quarn_test::RecordingFrame;
using quarn_test::StdoutCapture;

class ContextTest : public quarn_test::LibraryTest {
protected:
    void SetUp() override {
        LibraryTest::SetUp();
        seam::reset();
        client = std::make_unique<quarn_test::XClient>();
    }
    void TearDown() override {
        seam::reset();
        client.reset();
        LibraryTest::TearDown();
    }

    Quarn::Context::Context* make_context() {
        StdoutCapture quiet;
        return new Quarn::Context::Context(2, 1);
    }
    std::size_t windows_under_root() {
        XSync(Quarn::_quarn_display, False);
        return client->children(client->root()).size();
    }
    // Shows `frame` at (x, 0) with 64 x 64 pixels and waits until it is viewable.
    void show(RecordingFrame& frame, int x) {
        frame.set_size(64, 64);
        frame.set_position(x, 0);
        frame.set_show(true, 0);
        XSync(Quarn::_quarn_display, False);
        ASSERT_TRUE(client->wait_viewable(frame._quarn_backing->window));
    }
    // Expects construction to fail with `message` and to leave nothing behind.
    void expect_failure(const std::string& message, int major = 2, int minor = 1) {
        const std::size_t windows_before = windows_under_root();
        StdoutCapture capture;
        const char* thrown = nullptr;
        try {
            Quarn::Context::Context context(major, minor);
        } catch (const char* error) {
            thrown = error;
        }
        const std::string output = capture.finish();
        ASSERT_NE(thrown, nullptr);
        EXPECT_EQ(std::string(thrown), message);
        const std::string line = "Quarn: " + message + "\n";
        ASSERT_GE(output.size(), line.size());
        EXPECT_EQ(output.substr(output.size() - line.size()), line);
        EXPECT_EQ(glXGetCurrentContext(), nullptr);
        EXPECT_EQ(windows_under_root(), windows_before);
    }

    std::unique_ptr<quarn_test::XClient> client;
    std::vector<Call> log;
};

TEST_F(ContextTest, ConstructionPrintsTheTraceAndBindsTheHiddenHost) {
    StdoutCapture capture;
    Quarn::Context::Context context(2, 1);
    const auto lines = capture.lines();
    ASSERT_EQ(lines.size(), 8u);
    EXPECT_EQ(lines[0], "Setting up context: 0");
    char expected_entry[64];
    const auto entry_point = reinterpret_cast<std::uintptr_t>(glXChooseFBConfig);
    std::snprintf(expected_entry, sizeof expected_entry, "Setting up context: 1 %p",
                  reinterpret_cast<void*>(entry_point));  // NOLINT(performance-no-int-to-ptr)
    EXPECT_EQ(lines[1], expected_entry);
    EXPECT_EQ(lines[2], "8012 8010 1 8011 1 8 9 a b c d 5");
    for (int i = 2; i <= 6; ++i)
        EXPECT_EQ(lines[static_cast<std::size_t>(i + 1)], "Setting up context: " + std::to_string(i));

    EXPECT_EQ(context.target, nullptr);
    ASSERT_NE(glXGetCurrentContext(), nullptr);
    const GLXDrawable host = glXGetCurrentDrawable();
    ASSERT_NE(host, 0u);
    const XWindowAttributes host_attributes = client->attributes(host);
    EXPECT_EQ(host_attributes.map_state, IsUnmapped);
    EXPECT_EQ(host_attributes.width, 10);
    EXPECT_EQ(seam::context_attributes, (std::vector<int>{0x2091, 2, 0x2092, 1, 0x2094, 0, 0}));
}

TEST_F(ContextTest, SetTraceSilencesTheTraceLinesButNotWarnings) {
    StdoutCapture capture;
    Quarn::Context::set_trace(false);
    {
        Quarn::Context::Context context(2, 1);
        Quarn::init();  // a warning: "already started"
    }
    Quarn::Context::set_trace(true);
    EXPECT_EQ(capture.finish(), "Quarn: Quarn is already started!  Ignoring Quarn::init!\n");
}

TEST_F(ContextTest, BindingMakesOneCallPerChange) {
    RecordingFrame first(log), second(log);
    auto* context = make_context();
    seam::make_current_calls = 0;

    context->set_target(&first);
    context->set_target(&first);
    EXPECT_EQ(seam::make_current_calls, 1);
    EXPECT_EQ(context->target, &first);
    EXPECT_EQ(glXGetCurrentDrawable(), first._quarn_backing->window);

    context->set_target(&second);
    EXPECT_EQ(seam::make_current_calls, 2);
    EXPECT_EQ(context->target, &second);

    context->set_target(nullptr);
    EXPECT_EQ(seam::make_current_calls, 3);
    EXPECT_EQ(seam::make_current_drawables.back(), static_cast<GLXDrawable>(None));
    EXPECT_EQ(context->target, nullptr);
    EXPECT_EQ(glXGetCurrentContext(), nullptr);
    context->set_target(nullptr);
    EXPECT_EQ(seam::make_current_calls, 3);

    delete context;
    EXPECT_EQ(seam::make_current_calls, 3);  // already unbound: nothing to release
}

TEST_F(ContextTest, DestructionReleasesFromEveryState) {
    RecordingFrame frame(log);
    const std::size_t windows = windows_under_root();

    auto* on_host = make_context();
    seam::make_current_calls = 0;
    delete on_host;
    EXPECT_EQ(seam::make_current_calls, 1);
    EXPECT_EQ(glXGetCurrentContext(), nullptr);
    EXPECT_EQ(windows_under_root(), windows);

    auto* on_frame = make_context();
    on_frame->set_target(&frame);
    seam::make_current_calls = 0;
    delete on_frame;
    EXPECT_EQ(seam::make_current_calls, 1);
    EXPECT_EQ(glXGetCurrentContext(), nullptr);
    EXPECT_EQ(windows_under_root(), windows);
}

// The colour the server shows at (x, y) of `window`: a screenshot of it.
unsigned long screen_pixel(Display* display, Window window, int x, int y) {
    XImage* image = XGetImage(display, window, x, y, 1, 1, AllPlanes, ZPixmap);
    if (!image) return ~0ul;
    const unsigned long pixel = XGetPixel(image, 0, 0) & 0xFFFFFF;
    XDestroyImage(image);
    return pixel;
}

TEST_F(ContextTest, GlCallsDrawIntoTheBoundFrame) {
    RecordingFrame green(log), red(log);
    show(green, 0);
    show(red, 100);
    auto* context = make_context();
    const auto clear_and_read = [](float r, float g, float b) {
        glClearColor(r, g, b, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        unsigned char rgba[4] = {};
        glReadPixels(10, 10, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
        return std::vector<int>{rgba[0], rgba[1], rgba[2]};
    };
    context->set_target(&green);
    EXPECT_EQ(clear_and_read(0, 1, 0), (std::vector<int>{0, 255, 0}));
    green.draw();
    context->set_target(&red);
    EXPECT_EQ(clear_and_read(1, 0, 0), (std::vector<int>{255, 0, 0}));
    red.draw();
    EXPECT_EQ(screen_pixel(client->display(), green._quarn_backing->window, 20, 20), 0x00FF00u);
    EXPECT_EQ(screen_pixel(client->display(), red._quarn_backing->window, 20, 20), 0xFF0000u);

    // Every frame asks for 24 depth and 8 stencil bits; the shared context must give them.
    GLint depth = 0, stencil = 0;
    glGetIntegerv(GL_DEPTH_BITS, &depth);
    glGetIntegerv(GL_STENCIL_BITS, &stencil);
    EXPECT_EQ(depth, 24);
    EXPECT_EQ(stencil, 8);
    delete context;
}

// Clears to blue in its draw callback.
class BlueFrame : public RecordingFrame {
public:
    using RecordingFrame::RecordingFrame;
    void callback_draw() override {
        ++draws;
        glClearColor(0, 0, 1, 1);
        glClear(GL_COLOR_BUFFER_BIT);
    }
    int draws = 0;
};

TEST_F(ContextTest, DrawRunsTheCallbackThenPresentsTheFrame) {
    BlueFrame frame(log);
    show(frame, 0);
    auto* context = make_context();
    context->set_target(&frame);
    frame.draw();
    EXPECT_EQ(frame.draws, 1);
    EXPECT_EQ(screen_pixel(client->display(), frame._quarn_backing->window, 32, 32), 0x0000FFu);

    // A frame without a draw callback of its own still swaps.
    RecordingFrame plain(log);
    show(plain, 100);
    context->set_target(&plain);
    glClearColor(1, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    plain.draw();
    EXPECT_EQ(screen_pixel(client->display(), plain._quarn_backing->window, 5, 5), 0xFF0000u);
    delete context;
}

TEST_F(ContextTest, SwapIntervalFollowsTheBoundWindow) {
    RecordingFrame frame(log);
    auto* context = make_context();
    const GLXDrawable host = glXGetCurrentDrawable();
    const GLXDrawable window = frame._quarn_backing->window;
    ASSERT_NE(glXSwapIntervalEXT, nullptr) << "the test server offers GLX_EXT_swap_control";
    context->set_target_vsync(false);
    context->set_target(&frame);
    context->set_target_vsync(true);
    context->set_target_vsync(false);
    using Interval = std::pair<GLXDrawable, int>;
    EXPECT_EQ(seam::swap_intervals, (std::vector<Interval>{{host, 0}, {window, 1}, {window, 0}}));

    seam::swap_intervals.clear();
    StdoutCapture capture;
    context->set_target(nullptr);
    context->set_target_vsync(true);  // nothing bound: nothing to do
    context->set_target(&frame);
    const auto saved = glXSwapIntervalEXT;
    glXSwapIntervalEXT = nullptr;
    context->set_target_vsync(true);
    glXSwapIntervalEXT = saved;
    EXPECT_EQ(capture.lines(),
              std::vector<std::string>{"Quarn: Cannot set the swap interval: GLX_EXT_swap_control is missing!"});
    EXPECT_TRUE(seam::swap_intervals.empty());
    delete context;
}

TEST_F(ContextTest, MissingVisualIsAnError) {
    seam::fail_choose_visual_call = 2;  // the host window's succeeds, the temporary context's fails
    expect_failure("Cannot find a visual for the temporary GL context!");
}

TEST_F(ContextTest, MissingHostVisualIsTheBackingsError) {
    seam::fail_choose_visual_call = 1;
    expect_failure("Cannot find visual with desired attributes.\n");
}

TEST_F(ContextTest, MissingTemporaryContextIsAnError) {
    seam::fail_create_context = true;
    expect_failure("Cannot create the temporary GL context!");
}

TEST_F(ContextTest, FailedFirstExtensionLoadIsAnErrorBeforeAnyTrace) {
    seam::fail_glew_init_call = 1;
    const std::string message = std::string("GLEW extension loading failed: ") +
                                reinterpret_cast<const char*>(glewGetErrorString(GLEW_ERROR_NO_GL_VERSION));
    expect_failure(message);
}

TEST_F(ContextTest, FailedSecondExtensionLoadReleasesTheNewContext) {
    seam::fail_glew_init_call = 2;
    StdoutCapture capture;
    EXPECT_THROW(Quarn::Context::Context context(2, 1), const char*);
    const auto lines = capture.lines();
    ASSERT_EQ(lines.size(), 9u);
    EXPECT_EQ(lines[7], "Setting up context: 6");
    EXPECT_EQ(glXGetCurrentContext(), nullptr);
}

TEST_F(ContextTest, MissingCreateContextEntryPointIsAnError) {
    seam::drop_create_context_attribs = true;
    expect_failure("Cannot create a GL context: GLX_ARB_create_context is missing!");
}

// The application's own X error handler, counting what reaches it.
std::vector<int> application_errors;
int application_handler(Display*, XErrorEvent* error) {
    application_errors.push_back(error->error_code);
    return 0;
}

TEST_F(ContextTest, UnavailableVersionIsACatchableErrorThatKeepsTheApplicationsHandler) {
    application_errors.clear();
    const XErrorHandler default_handler = XSetErrorHandler(application_handler);
    Display* const display = Quarn::_quarn_display;
    // A faulty request still in the output buffer: its error is the application's.
    XUnmapWindow(display, client->root() + 0x7FFFFF);

    expect_failure("Cannot create a GL context of the requested version!", 99, 0);
    EXPECT_EQ(application_errors, std::vector<int>{BadWindow});
    EXPECT_EQ(XSetErrorHandler(application_handler), application_handler);

    XUnmapWindow(display, client->root() + 0x7FFFFF);
    XSync(display, False);
    EXPECT_EQ(application_errors, (std::vector<int>{BadWindow, BadWindow}));

    // The driver's own versions still work in the same process.
    std::unique_ptr<Quarn::Context::Context> context(make_context());
    EXPECT_NE(glXGetCurrentContext(), nullptr);
    context.reset();
    XSetErrorHandler(default_handler);
}

TEST(ContextWithoutDisplay, IsRefused) {
    const std::string saved = std::getenv("DISPLAY");
    setenv("DISPLAY", ":4093", 1);
    {
        StdoutCapture quiet;
        Quarn::init();
    }
    setenv("DISPLAY", saved.c_str(), 1);
    StdoutCapture capture;
    EXPECT_THROW(Quarn::Context::Context context(2, 1), const char*);
    EXPECT_EQ(capture.lines(),
              std::vector<std::string>{"Quarn: Cannot create a rendering context without a display connection!"});
    Quarn::deinit();
}

}  // namespace
