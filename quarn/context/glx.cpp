#include "quarn/context/glx.h"

#include <GL/glx.h>
#include <GL/glxext.h>

#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

#include "quarn/context.h"
#include "quarn/error.h"
#include "quarn/error_trap.h"
#include "quarn/frame/frame.h"
#include "quarn/init.h"

namespace Quarn {
namespace Context {

namespace {

struct XFreeDeleter {
    void operator()(void* data) const { XFree(data); }
};
template <typename T>
using XPointer = std::unique_ptr<T, XFreeDeleter>;

template <typename Function>
Function entry_point(const char* name) {
    return reinterpret_cast<Function>(glXGetProcAddressARB(reinterpret_cast<const GLubyte*>(name)));
}

// Static storage: the thrown pointer must stay readable after unwinding.
[[noreturn]] void refuse(const char* what, int major, int minor) {
    static char message[256];
    std::snprintf(message, sizeof message, "Cannot create an OpenGL %d.%d context: %s!", major, minor, what);
    _quarn_throw_error(message);
}

int visual_depth(Display* display, GLXFBConfig config) {
    XPointer<XVisualInfo> visual(glXGetVisualFromFBConfig(display, config));
    return visual ? visual->depth : 0;
}

int attribute(Display* display, GLXFBConfig config, int name) {
    int value = 0;
    glXGetFBConfigAttrib(display, config, name, &value);
    return value;
}

// GLX sorts by what it was asked; what it does not sort by is chosen here: a
// transparent window needs a 32-bit visual (an ARGB one a compositor blends),
// an opaque one must not get it, and an sRGB-capable configuration only when
// asked, so that the framebuffer's encoding reads as asked.
GLXFBConfig pick(Display* display, const GLXFBConfig* configs, int count, const Settings& settings) {
    GLXFBConfig fallback = nullptr;
    for (int i = 0; i < count; ++i) {
        const int depth = visual_depth(display, configs[i]);
        if (depth == 0 || (depth == 32) != settings.transparent) continue;
        // GLX takes the sample count as a minimum: without multisampling asked
        // for, a multisampled configuration would cost memory for nothing.
        if (settings.samples == 0 && attribute(display, configs[i], GLX_SAMPLES) != 0) continue;
        if (!fallback) fallback = configs[i];
        if ((attribute(display, configs[i], GLX_FRAMEBUFFER_SRGB_CAPABLE_ARB) != 0) == settings.srgb) return configs[i];
    }
    return fallback;
}

class GlxBackend : public _quarn_Backend {
public:
    GlxBackend(GLXFBConfig config, VisualID visual, GLXContext context)
        : config_(config), visual_(visual), context_(context) {}
    ~GlxBackend() override {
        if (glXGetCurrentContext() == context_) glXMakeCurrent(_quarn_display, None, nullptr);
        for (const auto& window : windows_) glXDestroyWindow(_quarn_display, window.second);
        glXDestroyContext(_quarn_display, context_);
    }
    GlxBackend(const GlxBackend&) = delete;
    GlxBackend& operator=(const GlxBackend&) = delete;

    VisualID visual() const override { return visual_; }

    bool bind(const Frame::_quarn_FrameBacking* backing) override {
        if (!backing) {
            glXMakeContextCurrent(_quarn_display, None, None, nullptr);
            return true;
        }
        GLXWindow drawable = find(backing);
        if (!drawable) {
            _quarn_trap_x_errors(
                [&] { drawable = glXCreateWindow(_quarn_display, config_, backing->window, nullptr); });
            if (!drawable) return false;
            windows_.emplace_back(backing, drawable);
        }
        glXMakeContextCurrent(_quarn_display, drawable, drawable, context_);
        return true;
    }

    void swap(const Frame::_quarn_FrameBacking* backing) override {
        if (const GLXWindow drawable = find(backing)) glXSwapBuffers(_quarn_display, drawable);
    }

    void forget(const Frame::_quarn_FrameBacking* backing) override {
        for (auto it = windows_.begin(); it != windows_.end(); ++it) {
            if (it->first != backing) continue;
            if (glXGetCurrentDrawable() == it->second) glXMakeContextCurrent(_quarn_display, None, None, nullptr);
            glXDestroyWindow(_quarn_display, it->second);
            windows_.erase(it);
            return;
        }
    }

    bool current() const override { return glXGetCurrentContext() == context_; }

    const char* swap_interval(const Frame::_quarn_FrameBacking* backing, int interval) override {
        return _quarn_glx_swap_interval(_quarn_display, find(backing), interval);
    }

    void* proc_address(const char* name) const override {
        return reinterpret_cast<void*>(glXGetProcAddressARB(reinterpret_cast<const GLubyte*>(name)));
    }

    const char* platform_extensions() const override {
        return glXQueryExtensionsString(_quarn_display, DefaultScreen(_quarn_display));
    }

private:
    GLXWindow find(const Frame::_quarn_FrameBacking* backing) const {
        // A handful of frames: a scan at binding time, never per event.
        for (const auto& window : windows_)
            if (window.first == backing) return window.second;
        return None;
    }

    GLXFBConfig config_;
    VisualID visual_;
    GLXContext context_;
    std::vector<std::pair<const Frame::_quarn_FrameBacking*, GLXWindow>> windows_;
};

}  // namespace

std::unique_ptr<_quarn_Backend> _quarn_make_glx_backend(int major, int minor, const Settings& settings) {
    Display* const display = _quarn_display;
    const int screen = DefaultScreen(display);
    const char* const extensions = glXQueryExtensionsString(display, screen);
    const auto offered = [&](const char* name) { return _quarn_names_word(extensions, name); };

    if (!offered("GLX_ARB_create_context")) refuse("GLX_ARB_create_context is missing", major, minor);
    if (settings.profile != Settings::Profile::DEFAULT && !offered("GLX_ARB_create_context_profile"))
        refuse("GLX_ARB_create_context_profile is missing", major, minor);
    if (settings.robustness != Settings::Robustness::NONE && !offered("GLX_ARB_create_context_robustness"))
        refuse("robustness was asked for and GLX_ARB_create_context_robustness is missing", major, minor);
    if (settings.no_error && !offered("GLX_ARB_create_context_no_error"))
        refuse("no-error was asked for and GLX_ARB_create_context_no_error is missing", major, minor);
    if (settings.srgb && !offered("GLX_ARB_framebuffer_sRGB") && !offered("GLX_EXT_framebuffer_sRGB"))
        refuse("an sRGB framebuffer was asked for and GLX_ARB_framebuffer_sRGB is missing", major, minor);

    std::vector<int> wanted = {GLX_X_RENDERABLE,  True,
                               GLX_DRAWABLE_TYPE, GLX_WINDOW_BIT,
                               GLX_RENDER_TYPE,   GLX_RGBA_BIT,
                               GLX_X_VISUAL_TYPE, GLX_TRUE_COLOR,
                               GLX_RED_SIZE,      8,
                               GLX_GREEN_SIZE,    8,
                               GLX_BLUE_SIZE,     8,
                               GLX_ALPHA_SIZE,    settings.transparent ? 8 : 0,
                               GLX_DEPTH_SIZE,    settings.depth_bits,
                               GLX_STENCIL_SIZE,  settings.stencil_bits,
                               GLX_DOUBLEBUFFER,  True};
    if (settings.samples > 0) wanted.insert(wanted.end(), {GLX_SAMPLE_BUFFERS, 1, GLX_SAMPLES, settings.samples});
    if (settings.srgb) wanted.insert(wanted.end(), {GLX_FRAMEBUFFER_SRGB_CAPABLE_ARB, True});
    wanted.push_back(None);

    int count = 0;
    XPointer<GLXFBConfig> configs(glXChooseFBConfig(display, screen, wanted.data(), &count));
    const GLXFBConfig config = configs && count > 0 ? pick(display, configs.get(), count, settings) : nullptr;
    if (!config) {
        static char what[160];
        std::snprintf(what, sizeof what,
                      "no framebuffer configuration has %d samples, %d depth and %d stencil bits%s%s", settings.samples,
                      settings.depth_bits, settings.stencil_bits, settings.srgb ? ", sRGB" : "",
                      settings.transparent ? " and a transparent visual" : "");
        refuse(what, major, minor);
    }
    const auto visual = static_cast<VisualID>(attribute(display, config, GLX_VISUAL_ID));

    int flags = 0;
    if (settings.debug) flags |= GLX_CONTEXT_DEBUG_BIT_ARB;
    if (settings.forward_compatible) flags |= GLX_CONTEXT_FORWARD_COMPATIBLE_BIT_ARB;
    if (settings.robustness != Settings::Robustness::NONE) flags |= GLX_CONTEXT_ROBUST_ACCESS_BIT_ARB;
    std::vector<int> attributes = {GLX_CONTEXT_MAJOR_VERSION_ARB, major, GLX_CONTEXT_MINOR_VERSION_ARB, minor,
                                   GLX_CONTEXT_FLAGS_ARB,         flags};
    if (settings.profile == Settings::Profile::CORE)
        attributes.insert(attributes.end(), {GLX_CONTEXT_PROFILE_MASK_ARB, GLX_CONTEXT_CORE_PROFILE_BIT_ARB});
    if (settings.profile == Settings::Profile::COMPATIBILITY)
        attributes.insert(attributes.end(), {GLX_CONTEXT_PROFILE_MASK_ARB, GLX_CONTEXT_COMPATIBILITY_PROFILE_BIT_ARB});
    if (settings.robustness != Settings::Robustness::NONE)
        attributes.insert(attributes.end(), {GLX_CONTEXT_RESET_NOTIFICATION_STRATEGY_ARB,
                                             settings.robustness == Settings::Robustness::LOSE_CONTEXT_ON_RESET
                                                 ? GLX_LOSE_CONTEXT_ON_RESET_ARB
                                                 : GLX_NO_RESET_NOTIFICATION_ARB});
    if (settings.no_error) attributes.insert(attributes.end(), {GLX_CONTEXT_OPENGL_NO_ERROR_ARB, True});
    attributes.push_back(None);

    const auto create = entry_point<PFNGLXCREATECONTEXTATTRIBSARBPROC>("glXCreateContextAttribsARB");
    if (!create) refuse("GLX_ARB_create_context is missing", major, minor);
    // A version, profile or flag the driver refuses comes back as an X error
    // (GLXBadFBConfig, BadMatch, BadValue) that would end the process.
    GLXContext context = nullptr;
    const int error =
        _quarn_trap_x_errors([&] { context = create(display, config, nullptr, True, attributes.data()); });
    if (error != Success && context) {
        _quarn_trap_x_errors([&] { glXDestroyContext(display, context); });
        context = nullptr;
    }
    if (!context) {
        static char what[160];
        std::snprintf(what, sizeof what, "the driver refused it with the %s profile%s%s%s",
                      settings.profile == Settings::Profile::CORE            ? "core"
                      : settings.profile == Settings::Profile::COMPATIBILITY ? "compatibility"
                                                                             : "default",
                      settings.debug ? ", debug" : "", settings.forward_compatible ? ", forward-compatible" : "",
                      settings.no_error ? ", no-error" : "");
        refuse(what, major, minor);
    }
    return std::unique_ptr<_quarn_Backend>(new GlxBackend(config, visual, context));
}

const char* _quarn_glx_swap_interval(Display* display, unsigned long drawable, int interval) {
    const char* const extensions = glXQueryExtensionsString(display, DefaultScreen(display));
    const auto offered = [&](const char* name) { return _quarn_names_word(extensions, name); };
    if (interval < 0 && !offered("GLX_EXT_swap_control_tear"))
        return "Cannot swap at once when late: GLX_EXT_swap_control_tear is missing!";
    int refused = 0;
    if (offered("GLX_EXT_swap_control")) {
        const auto set = entry_point<PFNGLXSWAPINTERVALEXTPROC>("glXSwapIntervalEXT");
        refused = _quarn_trap_x_errors([&] { set(display, drawable, interval); });
    } else if (offered("GLX_MESA_swap_control")) {
        const auto set = entry_point<PFNGLXSWAPINTERVALMESAPROC>("glXSwapIntervalMESA");
        _quarn_trap_x_errors([&] { refused = set(static_cast<unsigned int>(interval)); });
    } else if (offered("GLX_SGI_swap_control")) {
        if (interval <= 0) return "Cannot set a swap interval below 1: only GLX_SGI_swap_control is offered!";
        const auto set = entry_point<PFNGLXSWAPINTERVALSGIPROC>("glXSwapIntervalSGI");
        _quarn_trap_x_errors([&] { refused = set(interval); });
    } else {
        return "Cannot set the swap interval: GLX_EXT_swap_control, GLX_MESA_swap_control and GLX_SGI_swap_control "
               "are missing!";
    }
    return refused ? "The driver refused the swap interval!" : nullptr;
}

}  // namespace Context
}  // namespace Quarn
