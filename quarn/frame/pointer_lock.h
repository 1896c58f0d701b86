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

/// Reports raw motion (an event with no window) to the locked frame, and
/// drops it when no frame holds the pointer. Used by the event pump.
void _quarn_raw_motion(XEvent& event);

/// Whether `frame` holds the pointer, so that raw motion replaces its own
/// `motion` (with no XInput2, the motion is turned into a move from the
/// frame's centre here). Used by the event pump.
bool _quarn_pointer_lock_takes(FrameBase* frame, const XMotionEvent& motion);

/// The locked frame lets the pointer go when it loses the keyboard focus
/// and takes it again when the focus comes back. Used by the event pump.
void _quarn_pointer_focus(FrameBase* frame, bool focused);

}  // namespace Frame
}  // namespace Quarn
