#pragma once

#include <X11/Xlib.h>

namespace Quarn {
namespace Frame {
class FrameBase;

/// Locks the pointer to `frame` or gives it back (FrameBase::set_pointer_locked).
/// Giving back a pointer the frame does not hold changes nothing.
void _quarn_lock_pointer(FrameBase* frame, bool locked);

/// Shows the shape set_cursor gave `frame`, unless the frame holds the
/// pointer, which stays hidden until it gives it back.
void _quarn_show_cursor(FrameBase* frame);

/// Takes the events that belong to the lock: raw motion (which carries no
/// window), and the locked frame's own pointer motion, which the lock
/// replaces. Returns whether it took `event`. Used by the event pump.
bool _quarn_pointer_lock_event(XEvent& event);

/// The locked frame lets the pointer go when it loses the keyboard focus
/// and takes it again when the focus comes back. Used by the event pump.
void _quarn_pointer_focus(FrameBase* frame, bool focused);

}  // namespace Frame
}  // namespace Quarn
