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
    /// Unbinds, destroys the GL context and the host window.
    ~Context();
    Context(const Context&) = delete;
    Context& operator=(const Context&) = delete;

    /// Makes the context current on `target_frame`'s window (null unbinds).
    /// Binding the frame already bound makes no GLX call. The viewport is not
    /// changed: GL sets it only at a context's first binding (to the 10 x 10
    /// host window), so set it from the frame's size in callback_draw:
    ///
    ///     glViewport(0, 0, dimensions[0], dimensions[1]);
    void set_target(const Frame::FrameBase* target_frame);

    /// Turns swap synchronisation on or off for the window the context is
    /// bound to (the host window before any set_target). Does nothing when
    /// unbound; warns when GLX_EXT_swap_control is missing.
    void set_target_vsync(bool on);

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
    /// The space-separated extension names.
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
};

/// Whether the library prints its trace lines: the eight lines of a
/// Context's set-up, and the pump's "ConfigureNotify! (resize: WxH)" line.
/// On by default; `set_trace(false)` silences them for an application that
/// keeps standard output for its own. Warnings and errors always print.
/// May be called at any time, also before Quarn::init().
void set_trace(bool print);

}  // namespace Context
}  // namespace Quarn
