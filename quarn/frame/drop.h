#pragma once

#include <X11/Xlib.h>

#include <string>
#include <vector>

namespace Quarn {
namespace Frame {
class FrameBase;

/// Makes `frame`'s window a drop target (XdndAware, version 5) or stops it
/// being one (set_report with or without DROP). One request, no round trip.
void _quarn_drop_aware(FrameBase* frame, bool aware);

/// A client message to `frame`: answers it and returns true when it is a
/// drag's (XdndEnter, XdndPosition, XdndLeave, XdndDrop), also for a frame
/// that does not report DROP, which declines; false for any other. The first
/// call makes the drag's atoms (one round trip); the messages of a drag cost
/// a round trip or two each.
bool _quarn_drop_message(FrameBase* frame, const XClientMessageEvent& message);

/// An event of the window the dropped data are read into (the source's
/// answer, a piece of a large one): handles it and returns true; false for
/// any other event, at once while no drop was ever read. Used by the pump.
bool _quarn_drop_event(const XEvent& event);

/// Gives up a drop whose source has not handed its data over in time (it
/// stopped answering or went away). Returns at once while no drop is read.
/// Used by the pump.
void _quarn_drop_expire();

/// Milliseconds until a drop being read is due to be given up (0: it is
/// due); -1 while none is read. wait() returns when it falls due, so that
/// handle() tells the source.
int _quarn_drop_due_ms();

/// Forgets the drag and destroys the window data are read into (Quarn::deinit).
void _quarn_drop_deinit();

/// The lines of a text/uri-list: `file://` URIs of this machine (no host,
/// "localhost" or `host`) as local paths with their percent escapes
/// decoded, any other URI as it came; comments and empty lines left out.
std::vector<std::string> _quarn_drop_paths(const std::string& uri_list, const std::string& host);

}  // namespace Frame
}  // namespace Quarn
