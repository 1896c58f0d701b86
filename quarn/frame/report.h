#pragma once

#include <X11/Xlib.h>

#include "quarn/flags.h"

namespace Quarn {
namespace Frame {
class FrameBase;

/// What `frame` reports from now on (FrameBase::set_report): selects the
/// masks of the reports turned on, deselects those of the reports turned off,
/// and leaves every other mask of the window as it is. Turning RESIZE on reads
/// the window's size and window-manager state once; turning TEXT on or off
/// makes or destroys the frame's input context.
void _quarn_set_report(FrameBase* frame, const Flags::Report& report);

/// Whether `frame` reports the bits of `report`.
bool _quarn_reports(const FrameBase* frame, const Flags::Report& report);

/// A FocusIn of a frame that reports FOCUS, or a FocusOut whose focus really
/// went elsewhere (not to come straight back): EventFrameFocus when that
/// changes what the frame was last told. A grab, a focus moving between the
/// frame and a window inside it, and a forged event tell nothing.
void _quarn_report_focus(FrameBase* frame, const XFocusChangeEvent& change);

/// An EnterNotify or LeaveNotify of a frame that reports CROSSING or FOCUS.
/// CROSSING: EventMouseEnter and EventMouseLeave when that changes what the
/// frame was last told; a grab taking the pointer where it is tells nothing,
/// the pointer moving between the frame and a window inside it neither. FOCUS: where the keys follow the pointer (the
/// focus is PointerRoot or an ancestor's), the pointer brings the focus in and takes it away.
void _quarn_report_crossing(FrameBase* frame, const XCrossingEvent& crossing);

/// An Expose of a frame that reports REFRESH: EventFrameRefresh at the last
/// of a series (count 0).
void _quarn_report_expose(FrameBase* frame, const XExposeEvent& expose);

/// A ConfigureNotify of a frame that reports RESIZE or MOVE. RESIZE: a size
/// that differs from the last one the server reported is delivered as
/// EventFrameResize. MOVE: a place that differs from the last one delivered,
/// as EventFrameMove; the server's own events under a reparenting manager
/// (relative to the manager's frame) cost a round trip to translate.
void _quarn_report_configure(FrameBase* frame, const XConfigureEvent& configure);

/// A ReparentNotify of a frame that reports MOVE: whether a manager's frame
/// holds the window now, and, back on the root window, where it is.
void _quarn_report_reparent(FrameBase* frame, const XReparentEvent& reparent);

/// A PropertyNotify of a frame that reports RESIZE: WM_STATE turning to
/// IconicState delivers EventFrameMinimize and EventFrameResize, back to
/// NormalState EventFrameResize; _NET_WM_STATE coming to hold both maximized
/// states delivers EventFrameMaximize and EventFrameResize. One property read
/// for a change of those two; nothing for any other property.
void _quarn_report_property(FrameBase* frame, const XPropertyEvent& property);

}  // namespace Frame
}  // namespace Quarn
