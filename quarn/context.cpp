#include "quarn/context.h"

// GLEW's headers must come before any other GL header.
#include <GL/glew.h>
#include <GL/glxew.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "quarn/context/egl.h"
#include "quarn/context/framebuffer.h"
#include "quarn/context/glx.h"
#include "quarn/error.h"
#include "quarn/error_trap.h"
#include "quarn/frame/frame.h"
#include "quarn/init.h"
#include "quarn/warning.h"

namespace Quarn {
namespace Context {

// What the specified fields do not hold: the backend of a context made with
// Settings, and the extension list a core profile makes us build.
struct _quarn_ContextState {
    std::unique_ptr<_quarn_Backend> backend;
    std::string extensions;
    bool extensions_built = false;
};

namespace {

struct XFreeDeleter {
    void operator()(void* data) const { XFree(data); }
};
template <typename T>
using XPointer = std::unique_ptr<T, XFreeDeleter>;

// Owns a GLX context during construction: released on success, otherwise
// unbound (when current) and destroyed by whatever throw unwinds past it.
class ContextOwner {
public:
    explicit ContextOwner(GLXContext context) : context_(context) {}
    ~ContextOwner() { reset(); }
    ContextOwner(const ContextOwner&) = delete;
    ContextOwner& operator=(const ContextOwner&) = delete;

    GLXContext get() const { return context_; }
    GLXContext release() {
        GLXContext context = context_;
        context_ = nullptr;
        return context;
    }
    void reset() {
        if (!context_) return;
        if (glXGetCurrentContext() == context_) glXMakeCurrent(_quarn_display, None, nullptr);
        glXDestroyContext(_quarn_display, release());
    }

private:
    GLXContext context_;
};

void _quarn_load_extensions() {
    const GLenum code = glewInit();
    if (code == GLEW_OK) return;
    // Static storage: the thrown pointer must stay readable after unwinding.
    static char message[256];
    std::snprintf(message, sizeof message, "GLEW extension loading failed: %s",
                  reinterpret_cast<const char*>(glewGetErrorString(code)));
    _quarn_throw_error(message);
}

void require_entry_point(const void* entry_point, const char* message) {
    if (!entry_point) _quarn_throw_error(message);
}

// One line of the set-up trace, unless set_trace(false) silenced it.
void trace(const char* line) {
    if (_quarn_trace) std::puts(line);
}

// A function's address as printf's %p wants it (a plain cast is not portable C++).
template <typename Function>
const void* address_of(Function function) {
    const auto address = reinterpret_cast<std::uintptr_t>(function);
    return reinterpret_cast<const void*>(address);  // NOLINT(performance-no-int-to-ptr)
}

GLXFBConfig config_with_visual(const GLXFBConfig* configs, int count, VisualID visual) {
    for (int i = 0; i < count; ++i) {
        int id = 0;
        if (glXGetFBConfigAttrib(_quarn_display, configs[i], GLX_VISUAL_ID, &id) == Success &&
            static_cast<VisualID>(id) == visual)
            return configs[i];
    }
    return nullptr;
}

// The context must be compatible with every frame it is bound to, and every
// frame chooses its visual as the host window did. GLX's first match has other
// depth and stencil sizes (Mesa then gives frames no stencil buffer; stricter
// drivers raise BadMatch on binding), so prefer the host visual's configuration.
GLXFBConfig compatible_config(const GLXFBConfig* matches, int match_count, VisualID host_visual, int screen) {
    if (GLXFBConfig config = config_with_visual(matches, match_count, host_visual)) return config;
    int all_count = 0;
    XPointer<GLXFBConfig> all(glXGetFBConfigs(_quarn_display, screen, &all_count));
    if (all) {
        if (GLXFBConfig config = config_with_visual(all.get(), all_count, host_visual)) return config;
    }
    return matches[0];
}

// A version or configuration the driver cannot give comes back as an X error
// (GLXBadFBConfig, BadMatch, BadValue), and Xlib's default handler would end
// the process; it is trapped for this call alone. Null when the driver refused.
GLXContext create_versioned_context(Display* display, GLXFBConfig config, const int* attributes) {
    GLXContext context = nullptr;
    const int error =
        _quarn_trap_x_errors([&] { context = glXCreateContextAttribsARB(display, config, nullptr, True, attributes); });
    // An indirect context can exist on the client while the server refused it.
    if (error != Success && context) {
        _quarn_trap_x_errors([&] { glXDestroyContext(display, context); });
        context = nullptr;
    }
    return context;
}

}  // namespace

Context::Context(int major, int minor)
    : _quarn_context_host(nullptr),
      target(nullptr),
      _quarn_target_backing(nullptr),
      _quarn_render_context(nullptr),
      _quarn_state(nullptr) {
    _quarn_require_display("Cannot create a rendering context without a display connection!");
    Display* const display = _quarn_display;
    const int screen = DefaultScreen(display);

    const int position[2] = {0, 0};
    const int dimensions[2] = {10, 10};
    std::unique_ptr<Frame::_quarn_FrameBacking> host(new Frame::_quarn_FrameBacking(
        Flags::Style::BORDER | Flags::Style::TITLEBAR, Flags::Button::CLOSE, nullptr, position, dimensions));

    // GLX_RGBA and GLX_DOUBLEBUFFER take no value here; each 1 after them reads as GLX_USE_GL.
    int attributes0[] = {GLX_RGBA, 1, GLX_RED_SIZE, 8, GLX_GREEN_SIZE, 8, GLX_BLUE_SIZE, 8, GLX_DOUBLEBUFFER, 1, None};
    XPointer<XVisualInfo> visual(glXChooseVisual(display, screen, attributes0));
    if (!visual) _quarn_throw_error("Cannot find a visual for the temporary GL context!");
    ContextOwner temp_context(glXCreateContext(display, visual.get(), nullptr, True));
    if (!temp_context.get()) _quarn_throw_error("Cannot create the temporary GL context!");
    visual.reset();

    glXMakeCurrent(display, host->window, temp_context.get());
    _quarn_load_extensions();
    trace("Setting up context: 0");

    static const int attributes1[] = {GLX_X_RENDERABLE,
                                      True,
                                      GLX_DRAWABLE_TYPE,
                                      GLX_WINDOW_BIT,
                                      GLX_RENDER_TYPE,
                                      GLX_RGBA_BIT,
                                      GLX_RED_SIZE,
                                      8,
                                      GLX_GREEN_SIZE,
                                      8,
                                      GLX_BLUE_SIZE,
                                      8,
                                      GLX_ALPHA_SIZE,
                                      8,
                                      GLX_DEPTH_SIZE,
                                      24,
                                      GLX_DOUBLEBUFFER,
                                      True,
                                      None};
    if (_quarn_trace) {
        std::printf("Setting up context: 1 %p\n", address_of(glXChooseFBConfig));
        std::printf("%x %x %x %x %x %x %x %x %x %x %x %x\n", GLX_X_RENDERABLE, GLX_DRAWABLE_TYPE, GLX_WINDOW_BIT,
                    GLX_RENDER_TYPE, GLX_RGBA_BIT, GLX_RED_SIZE, GLX_GREEN_SIZE, GLX_BLUE_SIZE, GLX_ALPHA_SIZE,
                    GLX_DEPTH_SIZE, GLX_STENCIL_SIZE, GLX_DOUBLEBUFFER);
    }

    require_entry_point(address_of(glXChooseFBConfig),
                        "Cannot create a GL context: glXChooseFBConfig (GLX 1.3) is missing!");
    int fbcount = 0;
    XPointer<GLXFBConfig> fbc(glXChooseFBConfig(display, screen, attributes1, &fbcount));
    if (!fbc || fbcount < 1) _quarn_throw_error("Cannot find a framebuffer configuration for the GL context!");
    trace("Setting up context: 2");

    const GLXFBConfig bestFbc = compatible_config(fbc.get(), fbcount, host->visual_info->visualid, screen);
    trace("Setting up context: 3");

    const int attributes2[] = {
        GLX_CONTEXT_MAJOR_VERSION_ARB, major, GLX_CONTEXT_MINOR_VERSION_ARB, minor, GLX_CONTEXT_FLAGS_ARB, 0, None};
    trace("Setting up context: 4");

    require_entry_point(address_of(glXCreateContextAttribsARB),
                        "Cannot create a GL context: GLX_ARB_create_context is missing!");
    ContextOwner render_context(create_versioned_context(display, bestFbc, attributes2));
    if (!render_context.get()) _quarn_throw_error("Cannot create a GL context of the requested version!");
    trace("Setting up context: 5");

    fbc.reset();
    trace("Setting up context: 6");

    glXMakeCurrent(display, None, nullptr);
    temp_context.reset();
    glXMakeCurrent(display, host->window, render_context.get());
    _quarn_load_extensions();

    _quarn_state = new _quarn_ContextState;
    _quarn_render_context = render_context.release();
    _quarn_context_host = host.release();
    _quarn_target_backing = _quarn_context_host;
}

namespace {

// Frames made while a Settings context lives take its visual; a failed
// construction must not leave a backend behind that frames would ask.
class PublishedBackend {
public:
    explicit PublishedBackend(_quarn_Backend* backend) : backend_(backend) {
        _quarn_publish_framebuffer_backend(backend);
    }
    ~PublishedBackend() {
        if (!kept_) _quarn_withdraw_framebuffer_backend(backend_);
    }
    PublishedBackend(const PublishedBackend&) = delete;
    PublishedBackend& operator=(const PublishedBackend&) = delete;
    void keep() { kept_ = true; }

private:
    _quarn_Backend* backend_;
    bool kept_ = false;
};

}  // namespace

Context::Context(int major, int minor, const Settings& settings)
    : _quarn_context_host(nullptr),
      target(nullptr),
      _quarn_target_backing(nullptr),
      _quarn_render_context(nullptr),
      _quarn_state(nullptr) {
    _quarn_require_display("Cannot create a rendering context without a display connection!");
    std::unique_ptr<_quarn_ContextState> state(new _quarn_ContextState);
    const bool egl = settings.creation == Settings::Creation::EGL || settings.api == Settings::Api::OPENGL_ES;
    state->backend =
        egl ? _quarn_make_egl_backend(major, minor, settings) : _quarn_make_glx_backend(major, minor, settings);
    PublishedBackend published(state->backend.get());

    const int position[2] = {0, 0};
    const int dimensions[2] = {10, 10};
    std::unique_ptr<Frame::_quarn_FrameBacking> host(new Frame::_quarn_FrameBacking(
        Flags::Style::BORDER | Flags::Style::TITLEBAR, Flags::Button::CLOSE, nullptr, position, dimensions));
    if (!state->backend->bind(host.get())) _quarn_throw_error("Cannot make the GL context current on its window!");
    // GLEW loads through GLX alone; an EGL context's entry points come from get_proc_address.
    if (!egl) _quarn_load_extensions();

    published.keep();
    _quarn_state = state.release();
    _quarn_context_host = host.release();
    _quarn_target_backing = _quarn_context_host;
}

Context::~Context() {
    _quarn_set_target(nullptr);
    if (_quarn_state && _quarn_state->backend) {
        _quarn_withdraw_framebuffer_backend(_quarn_state->backend.get());
        // The backend destroys the host's drawable with the others, before the host window goes.
        _quarn_state->backend.reset();
    } else {
        glXDestroyContext(_quarn_display, _quarn_render_context);
    }
    delete _quarn_state;
    delete _quarn_context_host;
}

void Context::_quarn_set_target(const Frame::_quarn_FrameBacking* target_backing) {
    if (target_backing == _quarn_target_backing) return;
    if (_quarn_Backend* backend = _quarn_state ? _quarn_state->backend.get() : nullptr) {
        // Binding a window of another visual raises BadMatch, which would end the process.
        if (target_backing && target_backing->visual_info->visualid != backend->visual()) {
            _quarn_print_warning(
                "Cannot bind the context to a frame made before it (its window has another visual)!  Ignoring "
                ".set_target!");
            return;
        }
        if (!backend->bind(target_backing)) {
            _quarn_print_warning("Cannot make a drawable for the frame's window!  Ignoring .set_target!");
            return;
        }
        _quarn_target_backing = target_backing;
        if (!target_backing) target = nullptr;
        return;
    }
    _quarn_target_backing = target_backing;
    if (!target_backing) {
        glXMakeCurrent(_quarn_display, None, nullptr);
        target = nullptr;
    } else {
        glXMakeCurrent(_quarn_display, target_backing->window, _quarn_render_context);
    }
}

void Context::set_target(const Frame::FrameBase* target_frame) {
    const Frame::_quarn_FrameBacking* const backing = target_frame ? target_frame->_quarn_backing : nullptr;
    _quarn_set_target(backing);
    // A refused binding changes nothing.
    if (backing == _quarn_target_backing) target = target_frame;
}

void Context::set_target_vsync(bool on) {
    if (!_quarn_target_backing) return;
    if (_quarn_state && _quarn_state->backend) {
        set_target_swap_interval(on ? 1 : 0);
        return;
    }
    if (!glXSwapIntervalEXT) {
        _quarn_print_warning("Cannot set the swap interval: GLX_EXT_swap_control is missing!");
        return;
    }
    glXSwapIntervalEXT(_quarn_display, _quarn_target_backing->window, on ? 1 : 0);
}

void Context::set_target_swap_interval(int interval) {
    if (!_quarn_target_backing) return;
    const char* const refused = _quarn_state && _quarn_state->backend
                                    ? _quarn_state->backend->swap_interval(_quarn_target_backing, interval)
                                    : _quarn_glx_swap_interval(_quarn_display, _quarn_target_backing->window, interval);
    if (refused) _quarn_print_warning(refused);
}

void* Context::get_proc_address(const char* name) const {
    if (!name) return nullptr;
    if (_quarn_state && _quarn_state->backend) return _quarn_state->backend->proc_address(name);
    return reinterpret_cast<void*>(glXGetProcAddressARB(reinterpret_cast<const GLubyte*>(name)));
}

bool Context::supports_platform_extension(const char* name) const {
    if (!_quarn_display) return false;
    if (_quarn_state && _quarn_state->backend)
        return _quarn_names_word(_quarn_state->backend->platform_extensions(), name);
    return _quarn_names_word(glXQueryExtensionsString(_quarn_display, DefaultScreen(_quarn_display)), name);
}

// The queries.

namespace {

const char* const unknown = "Quarn::Unknown";

const char* _get_string(GLenum name) {
    const GLubyte* text = glGetString(name);
    return text ? reinterpret_cast<const char*>(text) : unknown;
}

// Digits are not validated; unsigned arithmetic lets long texts wrap instead
// of overflowing a signed int.
int add_digit(int value, char c) {
    return static_cast<int>(static_cast<unsigned int>(value) * 10u + static_cast<unsigned int>(c - '0'));
}

void _parse_version_string(const char* str, int* major, int* minor, int* release) {
    if (!major || !minor) return;
    *major = 0;
    for (; *str != '.'; ++str) {
        if (*str == '\0') {
            *minor = 0;
            if (release) *release = 0;
            return;
        }
        *major = add_digit(*major, *str);
    }
    ++str;
    *minor = 0;
    for (; *str != '.'; ++str) {
        if (*str == ' ') {
            if (release) *release = -1;
            return;
        }
        if (*str == '\0') {
            if (release) *release = 0;
            return;
        }
        *minor = add_digit(*minor, *str);
    }
    ++str;
    if (!release) return;
    *release = 0;
    for (; *str != '.' && *str != ' ' && *str != '\0'; ++str) *release = add_digit(*release, *str);
}

}  // namespace

const char* Context::get_vendor() const { return _get_string(GL_VENDOR); }
const char* Context::get_renderer() const { return _get_string(GL_RENDERER); }
const char* Context::get_version_gl() const { return _get_string(GL_VERSION); }
const char* Context::get_version_glsl() const { return _get_string(GL_SHADING_LANGUAGE_VERSION); }
const char* Context::get_extensions() const {
    if (const GLubyte* text = glGetString(GL_EXTENSIONS)) return reinterpret_cast<const char*>(text);
    if (!_quarn_drawing_context_current()) return unknown;
    // Core profiles (3.0 and later) refuse GL_EXTENSIONS with GL_INVALID_ENUM
    // and list the names one by one; the error is ours, not the application's.
    glGetError();
    const bool own = _quarn_state && (_quarn_state->backend ? _quarn_state->backend->current()
                                                            : glXGetCurrentContext() == _quarn_render_context);
    if (own && _quarn_state->extensions_built) return _quarn_state->extensions.c_str();
    // Before 3.0 a missing string is the driver's answer, as specified.
    GLint major = 0;
    glGetIntegerv(GL_MAJOR_VERSION, &major);
    if (major < 3) {
        glGetError();  // GL_MAJOR_VERSION itself is 3.0
        return unknown;
    }
    using GetStringi = const GLubyte* (*)(GLenum, GLuint);
    const auto get_stringi = reinterpret_cast<GetStringi>(get_proc_address("glGetStringi"));
    GLint count = 0;
    glGetIntegerv(GL_NUM_EXTENSIONS, &count);
    if (!get_stringi || count <= 0) return unknown;
    static std::string borrowed;  // another context's list, until the next call
    std::string& list = own ? _quarn_state->extensions : borrowed;
    list.clear();
    for (GLint i = 0; i < count; ++i) {
        const GLubyte* name = get_stringi(GL_EXTENSIONS, static_cast<GLuint>(i));
        if (!name) continue;
        if (!list.empty()) list += ' ';
        list += reinterpret_cast<const char*>(name);
    }
    if (own) _quarn_state->extensions_built = true;
    return list.c_str();
}

void Context::get_version_gl(int* major, int* minor) const {
    _parse_version_string(get_version_gl(), major, minor, nullptr);
}

void Context::get_version_glsl(int* major, int* minor, int* release) const {
    _parse_version_string(get_version_glsl(), major, minor, release);
}

bool Context::supports_extension(const char* extension) const {
    if (!extension || *extension == '\0' || std::strchr(extension, ' ')) return false;
    const char* const extensions = get_extensions();
    // The fallback text is not an extension list.
    if (extensions == unknown) return false;
    return _quarn_names_word(extensions, extension);
}

void set_trace(bool print) { _quarn_trace = print; }

}  // namespace Context
}  // namespace Quarn
