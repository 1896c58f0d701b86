#pragma once

#include <X11/Xlib.h>

namespace Quarn {
namespace Frame {
class FrameBase;

/// Locks the pointer to `frame` or gives it back (FrameBase::set_pointer_locked).
/// Giving back a pointer the frame does not hold changes nothing; locking
/// the frame that holds it tries a refused grab again.
void _quarn_lock_pointer(FrameBase* frame, bool locked);

/// Shows the shape set_cursor gave `frame`, unless the frame holds the
/// pointer, which stays hidden until it gives it back.
void _quarn_show_cursor(FrameBase* frame);

/// Follows the locked frame's crossings: entering it with the keyboard's
/// focus following the pointer gives it the focus; leaving it (not grabbed)
/// asks where the focus is, or, grabbed, whether the window stopped being
/// viewable (the server ended the grab then). Each chance is taken to grab
/// again. Used by the event pump.
void _quarn_pointer_crossing(FrameBase* frame, const XCrossingEvent& crossing);

/// Tries a refused grab again, at most every tenth of a second, while the
/// locked frame has the focus; nothing otherwise. Used by handle().
void _quarn_pointer_lock_retry();

/// Gives the pointer back and forgets the lock (Quarn::deinit).
void _quarn_pointer_lock_deinit();

/// Reports raw motion (an event with no window) to the locked frame, and
/// drops it when no frame holds the pointer. Used by the event pump.
void _quarn_raw_motion(XEvent& event);

/// Whether `frame` holds the pointer, so that raw motion replaces its own
/// `motion` (with no XInput2, the motion is turned into a move from the
/// frame's centre here); a locked frame whose grab was refused tries again
/// and reports the motion as usual. Used by the event pump.
bool _quarn_pointer_lock_takes(FrameBase* frame, const XMotionEvent& motion);

/// The locked frame lets the pointer go when it loses the keyboard focus
/// and takes it again when the focus comes back (or, while another client's
/// grab refuses it, soon after). Used by the event pump.
void _quarn_pointer_focus(FrameBase* frame, bool focused);

}  // namespace Frame
}  // namespace Quarn
