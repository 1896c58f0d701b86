#pragma once

#include <X11/Xlib.h>

namespace Quarn {
namespace Frame {
class FrameBase;

// The window controls: what the program asks of the window manager about a
// frame's window beyond its size and place. Each writes an ICCCM, EWMH or
// Motif hint; the frame's backing keeps what was asked, so that a hide and a
// show, or a later set_size, keep it.

/// WM_NORMAL_HINTS minimum and maximum (-1: none on that side); refuses
/// values other than -1 or 1 to 65535 and a minimum above its maximum.
void _quarn_set_size_limits(FrameBase* frame, int min_width, int min_height, int max_width, int max_height);
/// WM_NORMAL_HINTS aspect (0 and 0: none); refuses anything else below 1.
void _quarn_set_aspect_ratio(FrameBase* frame, int numerator, int denominator);
/// Minimum = maximum = the window's size while false, and no resize in the Motif functions.
void _quarn_set_resizable(FrameBase* frame, bool resizable);
/// The Motif decorations: all, or none.
void _quarn_set_decorated(FrameBase* frame, bool decorated);
/// _NET_WM_STATE_ABOVE.
void _quarn_set_floating(FrameBase* frame, bool floating);
/// _NET_WM_WINDOW_OPACITY; clamps to 0 to 1 and refuses NaN, with a warning.
void _quarn_set_opacity(FrameBase* frame, float opacity);
/// WM_CHANGE_STATE to IconicState, or, hidden, the initial state.
void _quarn_minimize(FrameBase* frame);
/// Both _NET_WM_STATE maximized states.
void _quarn_maximize(FrameBase* frame);
/// Out of iconified (a map, as ICCCM says) and maximized.
void _quarn_restore(FrameBase* frame);
/// _NET_ACTIVE_WINDOW, or XSetInputFocus without an EWMH manager.
void _quarn_focus(FrameBase* frame);
/// _NET_WM_STATE_DEMANDS_ATTENTION and the urgency hint.
void _quarn_request_attention(FrameBase* frame);
/// An empty input shape (true) or the window's own (false).
void _quarn_set_mouse_passthrough(FrameBase* frame, bool passthrough);
/// _NET_FRAME_EXTENTS, zeros where there is none; a null pointer is refused.
void _quarn_get_frame_extents(const FrameBase* frame, int* left_right_top_bottom);
/// The content's top-left on the root window; a null pointer is refused.
void _quarn_get_position(const FrameBase* frame, int* xy);

/// set_size changed the size asked for: an unresizable frame's limits follow it.
void _quarn_controls_resized(FrameBase* frame);
/// The frame is about to be shown: writes back the states a manager drops
/// from _NET_WM_STATE when the window is withdrawn (hidden). Does nothing for
/// a frame that never asked for one.
void _quarn_controls_showing(FrameBase* frame);
/// A FocusIn of the frame: the urgency hint request_attention set is taken
/// back. Nothing (one test of a flag) unless it was set.
void _quarn_attention_answered(FrameBase* frame);

}  // namespace Frame
}  // namespace Quarn
