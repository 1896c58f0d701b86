#pragma once

// The same typedef as <GL/glx.h>, so applications may include GL headers in
// any order (GLEW's must come before the system ones).
using GLXContext = struct __GLXcontextRec*;

namespace Quarn {
namespace Frame {
class FrameBase;
class _quarn_FrameBacking;
}  // namespace Frame

namespace Context {

class _quarn_Backend;
struct _quarn_ContextState;

/// What a context made with Context(major, minor, settings) asks of the
/// driver beyond its version. Every field defaults to what the two-argument
/// constructor gets, apart from the way of making it (that one keeps its
/// specified calls).
///
///     Quarn::Context::Settings settings;
///     settings.profile = Quarn::Context::Settings::Profile::CORE;
///     settings.samples = 4;
///     Quarn::Context::Context context(4, 5, settings);  // before the frames
struct Settings {
    /// Desktop OpenGL, or OpenGL ES (made through EGL).
    enum class Api { OPENGL, OPENGL_ES };
    /// Which library makes the context: GLX, or libEGL on the X display.
    enum class Creation { GLX, EGL };
    /// The driver's default (core from 3.2 on Mesa), core, or compatibility.
    enum class Profile { DEFAULT, CORE, COMPATIBILITY };
    /// No robust access, or robust access with what a GPU reset does to the
    /// context (GL_RESET_NOTIFICATION_STRATEGY reads it back).
    enum class Robustness { NONE, NO_RESET_NOTIFICATION, LOSE_CONTEXT_ON_RESET };
    Api api = Api::OPENGL;                     ///< OpenGL ES is always made through EGL.
    Creation creation = Creation::GLX;         ///< GLX_ARB_create_context, or EGL on the X display.
    Profile profile = Profile::DEFAULT;        ///< DEFAULT: the driver's (core for 3.2 and later).
    bool forward_compatible = false;           ///< Leaves out what the version deprecates.
    bool debug = false;                        ///< A debug context (GL_CONTEXT_FLAG_DEBUG_BIT).
    bool no_error = false;                     ///< Errors become undefined behaviour; not with debug.
    Robustness robustness = Robustness::NONE;  ///< Robust buffer access with this reset strategy.
    int depth_bits = 24;                       ///< At least this many depth bits.
    int stencil_bits = 8;                      ///< At least this many stencil bits.
    int samples = 0;                           ///< Multisampling: samples per pixel, 0 for none.
    bool srgb = false;                         ///< An sRGB-capable framebuffer (enable GL_FRAMEBUFFER_SRGB).
    bool transparent = false;                  ///< A framebuffer with alpha that a compositor blends with the desktop.
};

/// The application's one OpenGL context, shared by every frame.
///
///     Quarn::Context::Context context(2, 1);
///     context.set_target(&frame);   // bind before drawing into a frame
///     frame.draw();                 // callback_draw, swap, glFinish
///
/// Create it after Quarn::init() and destroy it before the frames it was bound
/// to (or unbind them first) and before Quarn::deinit().
class Context {
public:
    /// Creates a GL context of version `major`.`minor` through
    /// GLX_ARB_create_context and leaves it current on a hidden host window.
    /// Prints eight "Setting up context: ..." trace lines (see set_trace).
    /// Throws a
    /// `const char*` (after printing it) when there is no display, GLEW cannot
    /// load, or GLX offers no suitable visual, configuration or context;
    /// nothing it made is left behind then.
    Context(int major, int minor);
    /// Creates a context of version `major`.`minor` with `settings`: through
    /// GLX_ARB_create_context (and its profile, robustness and no-error
    /// extensions), or through EGL (libEGL, EGL_PLATFORM_X11_KHR) for
    /// Creation::EGL and for OpenGL ES. Frames made while it lives get windows
    /// of its framebuffer configuration (samples, sRGB, alpha), so make it
    /// before them; each frame's window gets a GLXWindow or EGL surface of
    /// its own at its first set_target, which keeps its buffers between
    /// bindings (binding a plain window makes Mesa rebuild them every time).
    /// What the driver does not offer (a version, profile, flag or sample
    /// count) throws a `const char*` naming it, after printing it; nothing it
    /// made is left behind then. Prints no trace. GLEW is loaded for OpenGL
    /// through GLX; with EGL load entry points with get_proc_address.
    Context(int major, int minor, const Settings& settings);
    /// Unbinds, destroys the GL context, the drawables it made for frames and
    /// the host window.
    ~Context();
    Context(const Context&) = delete;
    Context& operator=(const Context&) = delete;

    /// Makes the context current on `target_frame`'s window (null unbinds).
    /// Binding the frame already bound makes no GLX call. A context made with
    /// Settings refuses, with a warning and nothing changed, a frame whose
    /// window has another visual (one made before it). The viewport is not
    /// changed: GL sets it only at a context's first binding (to the 10 x 10
    /// host window), so set it from the frame's size in callback_draw:
    ///
    ///     glViewport(0, 0, dimensions[0], dimensions[1]);
    void set_target(const Frame::FrameBase* target_frame);

    /// Turns swap synchronisation on or off for the window the context is
    /// bound to (the host window before any set_target). Does nothing when
    /// unbound; warns when GLX_EXT_swap_control is missing.
    void set_target_vsync(bool on);
    /// Swaps every `interval` vertical blanks for the bound window; -1 swaps
    /// at once when a frame is late (adaptive), where GLX_EXT_swap_control_tear
    /// is offered. Uses GLX_EXT_swap_control, else GLX_MESA_swap_control, else
    /// GLX_SGI_swap_control (positive intervals only), or eglSwapInterval.
    /// What the driver cannot do is a warning; its X errors are trapped (one
    /// round trip). Does nothing when unbound.
    void set_target_swap_interval(int interval);

    /// The entry point of GL (or GLES) function `name` for this context, null
    /// when absent or when `name` is null. GLX's loader may answer with a
    /// dispatch stub for a gl name the driver lacks: check the version or
    /// extension first. No round trip.
    void* get_proc_address(const char* name) const;
    /// Whether the GLX (or, for an EGL context, EGL) extension string of the
    /// display names `name` as a whole word. No round trip after the first.
    bool supports_platform_extension(const char* name) const;

    /// @name GL strings
    /// GL_VENDOR, GL_RENDERER, GL_VERSION and GL_SHADING_LANGUAGE_VERSION of
    /// the current GL context, or "Quarn::Unknown" without one. Owned by GL.
    //@{
    const char* get_vendor() const;
    const char* get_renderer() const;
    const char* get_version_gl() const;
    const char* get_version_glsl() const;
    //@}
    /// Parses GL_VERSION ("4.5 Mesa ...") into `major` and `minor` (nothing
    /// is written when either pointer is null).
    void get_version_gl(int* major, int* minor) const;
    /// Parses GL_SHADING_LANGUAGE_VERSION into `major`, `minor` and, when not
    /// null, `release` (-1 when a space follows the minor part, 0 when absent).
    void get_version_glsl(int* major, int* minor, int* release) const;
    /// The space-separated extension names. Core profiles (3.0 and later)
    /// have no GL_EXTENSIONS string: there the list is built once per context
    /// from glGetStringi.
    const char* get_extensions() const;
    /// Whether `extension` is one of the listed names, as a whole word. False
    /// for empty names, names with a space, and when no context is current.
    bool supports_extension(const char* extension) const;

private:
    void _quarn_set_target(const Frame::_quarn_FrameBacking* target_backing);

    const Frame::_quarn_FrameBacking* _quarn_context_host;

public:
    /// The frame last bound with set_target, or null.
    const Frame::FrameBase* target;

private:
    const Frame::_quarn_FrameBacking* _quarn_target_backing;
    GLXContext _quarn_render_context;
    _quarn_ContextState* _quarn_state;  // the Settings backend and the built extension list (owned)
};

/// Whether the library prints its trace lines: the eight lines of a
/// Context's set-up, and the pump's "ConfigureNotify! (resize: WxH)" line.
/// On by default; `set_trace(false)` silences them for an application that
/// keeps standard output for its own. Warnings and errors always print.
/// May be called at any time, also before Quarn::init().
void set_trace(bool print);

}  // namespace Context
}  // namespace Quarn
