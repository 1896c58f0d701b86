#pragma once

#include <X11/Xlib.h>

// Who holds the pointer: one frame at a time, with one grab, either locked
// (hidden, raw motion) or confined (shown, its moves as they are); the grab
// follows the keyboard focus, the window's visibility and other clients'
// grabs the same way for both. Moving the pointer and asking where it is
// live here too, since a lock changes what both mean.

namespace Quarn {
namespace Frame {
class FrameBase;

/// Locks the pointer to `frame` or gives it back (FrameBase::set_pointer_locked).
/// Giving back a pointer the frame does not hold locked changes nothing;
/// locking the frame that holds it tries a refused grab again. The frame's
/// or another frame's confinement ends first.
void _quarn_lock_pointer(FrameBase* frame, bool locked);

/// Confines the pointer to `frame` or lets it go (FrameBase::set_pointer_confined),
/// as _quarn_lock_pointer does for the lock.
void _quarn_confine_pointer(FrameBase* frame, bool confined);

/// Gives back the pointer if `frame` holds it, either way (its destruction).
void _quarn_release_pointer(FrameBase* frame);

/// Puts the pointer at (x, y) in `frame` (FrameBase::set_mouse_position);
/// while the frame's lock hides it, sets where giving the lock back shows it.
void _quarn_move_pointer(FrameBase* frame, int x, int y);

/// Where the pointer is in `frame`, asked from the server
/// (FrameBase::get_mouse_position); false on another screen.
bool _quarn_query_pointer(const FrameBase* frame, int* xy);

/// Shows the cursor set_cursor gave `frame`, unless the frame holds the
/// pointer locked, which stays hidden until it gives it back.
void _quarn_show_cursor(FrameBase* frame);

/// Follows the holding frame's crossings: entering it with the keyboard's
/// focus following the pointer gives it the focus; leaving it (not grabbed)
/// asks where the focus is, or, grabbed, whether the window stopped being
/// viewable (the server ended the grab then). Each chance is taken to grab
/// again. Used by the event pump.
void _quarn_pointer_crossing(FrameBase* frame, const XCrossingEvent& crossing);

/// Tries a refused grab again, at most every tenth of a second, while the
/// holding frame has the focus; nothing otherwise. Used by handle().
void _quarn_pointer_lock_retry();

/// Gives the pointer back and forgets the lock or confinement (Quarn::deinit).
void _quarn_pointer_lock_deinit();

/// Reports raw motion (an event with no window) to the locked frame, and
/// drops it when no frame holds the pointer. Used by the event pump.
void _quarn_raw_motion(XEvent& event);

/// Whether `frame` holds the pointer locked, so that raw motion replaces its
/// own `motion` (with no XInput2, the motion is turned into a move from the
/// frame's centre here); a holding frame whose grab was refused tries again
/// and reports the motion as usual, and so does a confined one always. Used
/// by the event pump.
bool _quarn_pointer_lock_takes(FrameBase* frame, const XMotionEvent& motion);

/// The holding frame lets the pointer go when it loses the keyboard focus
/// and takes it again when the focus comes back (or, while another client's
/// grab refuses it, soon after). Used by the event pump.
void _quarn_pointer_focus(FrameBase* frame, bool focused);

}  // namespace Frame
}  // namespace Quarn
