#pragma once

#include <X11/Xlib.h>

#include <string>
#include <vector>

namespace Quarn {

/// One monitor of the display, as get_monitors() found it.
struct Monitor {
    std::string name;   ///< The RandR monitor's name ("DP-1"), or "screen".
    int x;              ///< Its left edge on the root window, in pixels.
    int y;              ///< Its top edge.
    int width;          ///< Its width in pixels.
    int height;         ///< Its height in pixels.
    int work_x;         ///< The left edge of the part that panels and docks leave free.
    int work_y;         ///< The top edge of that part.
    int work_width;     ///< The width of that part.
    int work_height;    ///< The height of that part.
    int width_mm;       ///< Physical width, 0 where unknown.
    int height_mm;      ///< Physical height, 0 where unknown.
    double refresh_hz;  ///< Of its current mode, 0 where unknown.
    bool primary;       ///< Whether it is the primary monitor; the first where the server names none.
};

/// The monitors the display shows now, asked from the server at each call: RandR
/// 1.5's active monitors in the server's order (those the outputs make and those
/// a client defined, as with `xrandr --setmonitor`); where the server has no
/// RandR 1.5, Xinerama's screens; else the X screen as one monitor named
/// "screen". Exactly one is the primary: the server's, or the first where
/// it names none. The work area is the monitor's rectangle cut to the current
/// desktop's _NET_WORKAREA, or to the monitor's own work area where the window
/// manager publishes one per monitor (_GTK_WORKAREAS_D<desktop>); the whole
/// rectangle where neither is published or what is published is malformed.
/// Needs an open display (refused through the error routine otherwise).
/// Costs a few round trips, one more per monitor for its refresh rate; a
/// frame that reports Flags::Report::MONITORS hears when to ask again.
///
///     for (const Quarn::Monitor& monitor : Quarn::get_monitors())
///         if (monitor.primary) frame.set_position(monitor.work_x, monitor.work_y);
std::vector<Monitor> get_monitors();

namespace Frame {
class FrameBase;
}

/// A frame's reports changed (Frame::_quarn_set_report): the root window's
/// RandR notifications are selected while any frame reports MONITORS, and
/// deselected once none does. Looks the extension up once per connection.
void _quarn_monitors_follow();

/// Forgets the connection's RandR event codes and selection (Quarn::deinit):
/// a later connection looks them up again.
void _quarn_monitors_deinit();

/// Whether the root window's RandR notifications are selected.
extern bool _quarn_monitors_selected;

/// A RandR notification of the root window: Xlib's idea of the screen updated,
/// and EventFrameMonitors delivered to every frame that reports MONITORS, once
/// per run of notifications already queued. Returns false, with no round trip
/// and nothing done, for any other event.
bool _quarn_monitors_notification(XEvent& event);

/// The pump's test, made for every event: a flag while no frame reports
/// MONITORS, no call.
inline bool _quarn_monitors_event(XEvent& event) {
    return _quarn_monitors_selected && _quarn_monitors_notification(event);
}

}  // namespace Quarn
