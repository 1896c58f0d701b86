#include "quarn/context/egl.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>

#include <cstdio>
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

// Static storage: the thrown pointer must stay readable after unwinding.
// EGL initializes a display once for the whole process and eglTerminate ends
// it for every context on it: the last of Quarn's contexts on a display (or a
// refused request, made while another lives) must be the one to terminate it.
std::vector<std::pair<EGLDisplay, int>> display_users;

bool initialize(EGLDisplay display, EGLint* major, EGLint* minor) {
    if (!eglInitialize(display, major, minor)) return false;
    for (auto& user : display_users) {
        if (user.first != display) continue;
        ++user.second;
        return true;
    }
    display_users.emplace_back(display, 1);
    return true;
}

void terminate(EGLDisplay display) {
    for (auto it = display_users.begin(); it != display_users.end(); ++it) {
        if (it->first != display || --it->second > 0) continue;
        display_users.erase(it);
        eglTerminate(display);
        return;
    }
}

[[noreturn]] void refuse(const char* api, const char* what, int major, int minor, EGLint code) {
    static char message[256];
    std::snprintf(message, sizeof message, "Cannot create an %s %d.%d context through EGL: %s (EGL error 0x%x)!", api,
                  major, minor, what, static_cast<unsigned int>(code));
    _quarn_throw_error(message);
}

class EglBackend : public _quarn_Backend {
public:
    EglBackend(EGLDisplay display, EGLConfig config, VisualID visual, EGLContext context, bool srgb)
        : display_(display), config_(config), visual_(visual), context_(context), srgb_(srgb) {}
    ~EglBackend() override {
        if (eglGetCurrentContext() == context_)
            eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        for (const auto& surface : surfaces_) eglDestroySurface(display_, surface.second);
        eglDestroyContext(display_, context_);
        terminate(display_);
    }
    EglBackend(const EglBackend&) = delete;
    EglBackend& operator=(const EglBackend&) = delete;

    VisualID visual() const override { return visual_; }

    bool bind(const Frame::_quarn_FrameBacking* backing) override {
        if (!backing) {
            eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
            return true;
        }
        EGLSurface surface = find(backing);
        if (surface == EGL_NO_SURFACE) {
            const EGLint srgb[] = {EGL_GL_COLORSPACE, EGL_GL_COLORSPACE_SRGB, EGL_NONE};
            _quarn_trap_x_errors([&] {
                surface = eglCreateWindowSurface(display_, config_, static_cast<EGLNativeWindowType>(backing->window),
                                                 srgb_ ? srgb : nullptr);
            });
            if (surface == EGL_NO_SURFACE) return false;
            surfaces_.emplace_back(backing, surface);
        }
        return eglMakeCurrent(display_, surface, surface, context_) == EGL_TRUE;
    }

    void swap(const Frame::_quarn_FrameBacking* backing) override {
        // EGL swaps only the calling thread's current surface.
        const EGLSurface surface = find(backing);
        if (surface != EGL_NO_SURFACE && surface == eglGetCurrentSurface(EGL_DRAW)) eglSwapBuffers(display_, surface);
    }

    void forget(const Frame::_quarn_FrameBacking* backing) override {
        for (auto it = surfaces_.begin(); it != surfaces_.end(); ++it) {
            if (it->first != backing) continue;
            if (eglGetCurrentSurface(EGL_DRAW) == it->second)
                eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
            eglDestroySurface(display_, it->second);
            surfaces_.erase(it);
            return;
        }
    }

    bool current() const override { return eglGetCurrentContext() == context_; }

    const char* swap_interval(const Frame::_quarn_FrameBacking*, int interval) override {
        if (interval < 0) return "Cannot swap at once when late: EGL offers no adaptive swap interval!";
        return eglSwapInterval(display_, interval) == EGL_TRUE ? nullptr : "EGL refused the swap interval!";
    }

    void* proc_address(const char* name) const override { return reinterpret_cast<void*>(eglGetProcAddress(name)); }

    const char* platform_extensions() const override { return eglQueryString(display_, EGL_EXTENSIONS); }

private:
    EGLSurface find(const Frame::_quarn_FrameBacking* backing) const {
        for (const auto& surface : surfaces_)
            if (surface.first == backing) return surface.second;
        return EGL_NO_SURFACE;
    }

    EGLDisplay display_;
    EGLConfig config_;
    VisualID visual_;
    EGLContext context_;
    bool srgb_;
    std::vector<std::pair<const Frame::_quarn_FrameBacking*, EGLSurface>> surfaces_;
};

// Terminates the display while construction fails part-way.
class DisplayOwner {
public:
    explicit DisplayOwner(EGLDisplay display) : display_(display) {}
    ~DisplayOwner() {
        if (display_ != EGL_NO_DISPLAY) terminate(display_);
    }
    DisplayOwner(const DisplayOwner&) = delete;
    DisplayOwner& operator=(const DisplayOwner&) = delete;
    EGLDisplay release() { return std::exchange(display_, EGL_NO_DISPLAY); }

private:
    EGLDisplay display_;
};

int visual_depth(Display* display, VisualID id) {
    XVisualInfo wanted{};
    wanted.visualid = id;
    int count = 0;
    XVisualInfo* found = XGetVisualInfo(display, VisualIDMask, &wanted, &count);
    const int depth = found ? found->depth : 0;
    if (found) XFree(found);
    return depth;
}

}  // namespace

std::unique_ptr<_quarn_Backend> _quarn_make_egl_backend(int major, int minor, const Settings& settings) {
    const bool es = settings.api == Settings::Api::OPENGL_ES;
    const char* const api = es ? "OpenGL ES" : "OpenGL";
    EGLDisplay display = eglGetPlatformDisplay(EGL_PLATFORM_X11_KHR, _quarn_display, nullptr);
    EGLint egl_major = 0;
    EGLint egl_minor = 0;
    if (display == EGL_NO_DISPLAY || !initialize(display, &egl_major, &egl_minor))
        refuse(api, "EGL cannot use the X display", major, minor, eglGetError());
    DisplayOwner owner(display);
    if (egl_major == 1 && egl_minor < 5) refuse(api, "EGL 1.5 is missing", major, minor, EGL_SUCCESS);
    if (!eglBindAPI(es ? EGL_OPENGL_ES_API : EGL_OPENGL_API))
        refuse(api, "EGL does not offer the API", major, minor, eglGetError());

    const EGLint renderable = !es          ? EGL_OPENGL_BIT
                              : major >= 3 ? EGL_OPENGL_ES3_BIT
                              : major == 2 ? EGL_OPENGL_ES2_BIT
                                           : EGL_OPENGL_ES_BIT;
    const EGLint wanted[] = {EGL_SURFACE_TYPE,
                             EGL_WINDOW_BIT,
                             EGL_RENDERABLE_TYPE,
                             renderable,
                             EGL_RED_SIZE,
                             8,
                             EGL_GREEN_SIZE,
                             8,
                             EGL_BLUE_SIZE,
                             8,
                             EGL_ALPHA_SIZE,
                             settings.transparent ? 8 : 0,
                             EGL_DEPTH_SIZE,
                             settings.depth_bits,
                             EGL_STENCIL_SIZE,
                             settings.stencil_bits,
                             EGL_SAMPLE_BUFFERS,
                             settings.samples > 0 ? 1 : 0,
                             EGL_SAMPLES,
                             settings.samples,
                             EGL_NONE};
    EGLint count = 0;
    eglChooseConfig(display, wanted, nullptr, 0, &count);
    std::vector<EGLConfig> configs(static_cast<std::size_t>(count > 0 ? count : 0));
    if (count > 0) eglChooseConfig(display, wanted, configs.data(), count, &count);
    EGLConfig config = nullptr;
    VisualID visual = 0;
    // As with GLX: a transparent window needs a 32-bit visual, an opaque one not.
    for (EGLint i = 0; i < count && !config; ++i) {
        EGLint id = 0;
        eglGetConfigAttrib(display, configs[static_cast<std::size_t>(i)], EGL_NATIVE_VISUAL_ID, &id);
        const int depth = id ? visual_depth(_quarn_display, static_cast<VisualID>(id)) : 0;
        if (depth == 0 || (depth == 32) != settings.transparent) continue;
        config = configs[static_cast<std::size_t>(i)];
        visual = static_cast<VisualID>(id);
    }
    if (!config) {
        static char what[160];
        std::snprintf(what, sizeof what, "no configuration has %d samples, %d depth and %d stencil bits%s",
                      settings.samples, settings.depth_bits, settings.stencil_bits,
                      settings.transparent ? " and a transparent visual" : "");
        refuse(api, what, major, minor, eglGetError());
    }
    if (settings.srgb && !_quarn_names_word(eglQueryString(display, EGL_EXTENSIONS), "EGL_KHR_gl_colorspace"))
        refuse(api, "an sRGB framebuffer was asked for and EGL_KHR_gl_colorspace is missing", major, minor,
               EGL_SUCCESS);

    std::vector<EGLint> attributes = {EGL_CONTEXT_MAJOR_VERSION, major, EGL_CONTEXT_MINOR_VERSION, minor};
    if (!es && settings.profile == Settings::Profile::CORE)
        attributes.insert(attributes.end(), {EGL_CONTEXT_OPENGL_PROFILE_MASK, EGL_CONTEXT_OPENGL_CORE_PROFILE_BIT});
    if (!es && settings.profile == Settings::Profile::COMPATIBILITY)
        attributes.insert(attributes.end(),
                          {EGL_CONTEXT_OPENGL_PROFILE_MASK, EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT});
    if (settings.debug) attributes.insert(attributes.end(), {EGL_CONTEXT_OPENGL_DEBUG, EGL_TRUE});
    if (!es && settings.forward_compatible)
        attributes.insert(attributes.end(), {EGL_CONTEXT_OPENGL_FORWARD_COMPATIBLE, EGL_TRUE});
    if (settings.robustness != Settings::Robustness::NONE)
        attributes.insert(
            attributes.end(),
            {EGL_CONTEXT_OPENGL_ROBUST_ACCESS, EGL_TRUE, EGL_CONTEXT_OPENGL_RESET_NOTIFICATION_STRATEGY,
             settings.robustness == Settings::Robustness::LOSE_CONTEXT_ON_RESET ? EGL_LOSE_CONTEXT_ON_RESET
                                                                                : EGL_NO_RESET_NOTIFICATION});
    if (settings.no_error) attributes.insert(attributes.end(), {EGL_CONTEXT_OPENGL_NO_ERROR_KHR, EGL_TRUE});
    attributes.push_back(EGL_NONE);

    EGLContext context = EGL_NO_CONTEXT;
    _quarn_trap_x_errors([&] { context = eglCreateContext(display, config, EGL_NO_CONTEXT, attributes.data()); });
    if (context == EGL_NO_CONTEXT)
        refuse(api, "EGL refused the version, profile or flags", major, minor, eglGetError());
    return std::unique_ptr<_quarn_Backend>(new EglBackend(owner.release(), config, visual, context, settings.srgb));
}

}  // namespace Context
}  // namespace Quarn
