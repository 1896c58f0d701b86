#pragma once

#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace Quarn {
namespace Frame {
class _quarn_FrameBacking;
}

namespace Context {

/// What a context made with Settings does in place of the two-argument
/// context's plain glXMakeCurrent and glXSwapBuffers on a frame's X window:
/// each window gets a drawable of its own (a GLXWindow or an EGL surface) at
/// its first binding, kept until the window goes. One unit per way of making
/// a context (quarn/context/glx, quarn/context/egl) implements it.
class _quarn_Backend {
public:
    virtual ~_quarn_Backend() = default;

    /// The visual of the context's framebuffer configuration: every frame made
    /// while the context lives gets a window of it.
    virtual VisualID visual() const = 0;
    /// Makes the context current on the backing's window (null unbinds).
    /// False, with nothing changed, when the window's drawable cannot be made.
    virtual bool bind(const Frame::_quarn_FrameBacking* backing) = 0;
    /// Swaps the backing's buffers; nothing when it was never bound.
    virtual void swap(const Frame::_quarn_FrameBacking* backing) = 0;
    /// Destroys the backing's drawable, before its window is destroyed.
    virtual void forget(const Frame::_quarn_FrameBacking* backing) = 0;
    /// Whether this context is current on the calling thread.
    virtual bool current() const = 0;
    /// Sets the swap interval of the bound drawable; a warning text when the
    /// driver cannot, else null.
    virtual const char* swap_interval(const Frame::_quarn_FrameBacking* backing, int interval) = 0;
    /// The entry point of GL function `name` through the platform's loader.
    virtual void* proc_address(const char* name) const = 0;
    /// The platform's (GLX's or EGL's) extension string for the display.
    virtual const char* platform_extensions() const = 0;
};

/// The backend whose framebuffer frames take: the newest of those published
/// and not withdrawn (null while no context made with Settings exists). Each
/// context publishes its own backend and withdraws it when it goes.
void _quarn_publish_framebuffer_backend(_quarn_Backend* backend);
void _quarn_withdraw_framebuffer_backend(_quarn_Backend* backend);
_quarn_Backend* _quarn_framebuffer_backend();

/// Whether `list` (space-separated names) holds `name` as a whole word.
bool _quarn_names_word(const char* list, const char* name);

/// @name The frames' side
//@{
/// The visual a new window takes: the Settings context's, as a record to free
/// with XFree, or null when the window picks its own.
XVisualInfo* _quarn_frame_visual(Display* display, int screen);
/// Whether any context is current, so that draw() may call callback_draw.
bool _quarn_drawing_context_current();
/// Swaps the backing's buffers through whichever context draws it.
void _quarn_swap_frame(const Frame::_quarn_FrameBacking* backing);
/// Releases what a context made for the backing's window, before it goes.
void _quarn_forget_frame(const Frame::_quarn_FrameBacking* backing);
//@}

}  // namespace Context
}  // namespace Quarn
