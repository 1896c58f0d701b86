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

/// A ConfigureNotify of a frame that reports RESIZE: a size that differs from
/// the last one the server reported is delivered as EventFrameResize; a move
/// delivers nothing.
void _quarn_report_configure(FrameBase* frame, const XConfigureEvent& configure);

/// A PropertyNotify of a frame that reports RESIZE: WM_STATE turning to
/// IconicState delivers EventFrameMinimize and EventFrameResize, back to
/// NormalState EventFrameResize; _NET_WM_STATE coming to hold both maximized
/// states delivers EventFrameMaximize and EventFrameResize. One property read
/// for a change of those two; nothing for any other property.
void _quarn_report_property(FrameBase* frame, const XPropertyEvent& property);

}  // namespace Frame
}  // namespace Quarn
