#include "quarn/monitor.h"

#include <X11/Xatom.h>
#include <X11/extensions/Xinerama.h>
#include <X11/extensions/Xrandr.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>

#include "quarn/error_trap.h"
#include "quarn/frame/frame.h"
#include "quarn/frame/helpers.h"
#include "quarn/frame/report.h"
#include "quarn/helpers.h"
#include "quarn/init.h"
#include "quarn/input/events/helpers.h"

namespace Quarn {

namespace {

template <typename T, auto free>
struct Freer {
    void operator()(T* pointer) const { free(pointer); }
};
using ScreenResources = std::unique_ptr<XRRScreenResources, Freer<XRRScreenResources, XRRFreeScreenResources>>;
using OutputInfo = std::unique_ptr<XRROutputInfo, Freer<XRROutputInfo, XRRFreeOutputInfo>>;
using CrtcInfo = std::unique_ptr<XRRCrtcInfo, Freer<XRRCrtcInfo, XRRFreeCrtcInfo>>;
using MonitorInfo = std::unique_ptr<XRRMonitorInfo, Freer<XRRMonitorInfo, XRRFreeMonitors>>;

struct Rectangle {
    long x, y, width, height;
};

// A CARDINAL of a property another client wrote: Xlib hands format-32 items
// as longs, which may carry the value sign-extended or not.
long cardinal(long item) { return static_cast<long>(static_cast<std::uint32_t>(item)); }
// A coordinate, which X keeps in 16 signed bits: read as the 32-bit signed
// value it was written as.
long coordinate(long item) { return static_cast<long>(static_cast<std::int32_t>(static_cast<std::uint32_t>(item))); }

Rectangle rectangle_at(const std::vector<long>& items, std::size_t at) {
    return {coordinate(items[at]), coordinate(items[at + 1]), cardinal(items[at + 2]), cardinal(items[at + 3])};
}

bool contains(const Rectangle& outer, const Rectangle& inner) {
    return inner.x >= outer.x && inner.y >= outer.y && inner.x + inner.width <= outer.x + outer.width &&
           inner.y + inner.height <= outer.y + outer.height;
}

// The monitor's rectangle cut to `area`; the whole rectangle where they do
// not overlap (a work area from a stale or forged property).
void cut_to(Monitor& monitor, const Rectangle& area) {
    const long left = std::max<long>(monitor.x, area.x), top = std::max<long>(monitor.y, area.y);
    const long right = std::min<long>(monitor.x + monitor.width, area.x + area.width);
    const long bottom = std::min<long>(monitor.y + monitor.height, area.y + area.height);
    if (area.width <= 0 || area.height <= 0 || right <= left || bottom <= top) return;
    monitor.work_x = static_cast<int>(left);
    monitor.work_y = static_cast<int>(top);
    monitor.work_width = static_cast<int>(right - left);
    monitor.work_height = static_cast<int>(bottom - top);
}

// The work areas the window manager publishes: per monitor where it does
// (mutter's _GTK_WORKAREAS_D<desktop>, matched to the monitor that contains
// each), else the current desktop's _NET_WORKAREA for every monitor. Both
// are CARDINAL/32 properties any client may write: anything of another type
// or format, or too short, is ignored.
void apply_work_areas(std::vector<Monitor>& monitors) {
    const Window root = DefaultRootWindow(_quarn_display);
    const std::vector<long> current =
        _quarn_window_items(root, XInternAtom(_quarn_display, "_NET_CURRENT_DESKTOP", False), XA_CARDINAL);
    const std::size_t desktop = current.empty() ? 0 : static_cast<std::size_t>(cardinal(current[0]));

    const std::string per_monitor = "_GTK_WORKAREAS_D" + std::to_string(desktop);
    const std::vector<long> areas =
        _quarn_window_items(root, XInternAtom(_quarn_display, per_monitor.c_str(), False), XA_CARDINAL);
    if (!areas.empty() && areas.size() % 4 == 0) {
        for (Monitor& monitor : monitors) {
            const Rectangle whole{monitor.x, monitor.y, monitor.width, monitor.height};
            for (std::size_t at = 0; at < areas.size(); at += 4)
                if (contains(whole, rectangle_at(areas, at))) {
                    cut_to(monitor, rectangle_at(areas, at));
                    break;
                }
        }
        return;
    }
    const std::vector<long> workarea =
        _quarn_window_items(root, XInternAtom(_quarn_display, "_NET_WORKAREA", False), XA_CARDINAL);
    if (workarea.size() / 4 <= desktop) return;
    for (Monitor& monitor : monitors) cut_to(monitor, rectangle_at(workarea, 4 * desktop));
}

Monitor whole_rectangle(std::string name, int x, int y, int width, int height) {
    Monitor monitor{};
    monitor.name = std::move(name);
    monitor.x = monitor.work_x = x;
    monitor.y = monitor.work_y = y;
    monitor.width = monitor.work_width = width;
    monitor.height = monitor.work_height = height;
    return monitor;
}

// The refresh rate of the mode `output`'s CRTC shows now; 0 for an output
// without one.
double refresh_of(const XRRScreenResources& resources, RROutput output) {
    const OutputInfo info(XRRGetOutputInfo(_quarn_display, const_cast<XRRScreenResources*>(&resources), output));
    if (!info || info->crtc == None) return 0.0;
    const CrtcInfo crtc(XRRGetCrtcInfo(_quarn_display, const_cast<XRRScreenResources*>(&resources), info->crtc));
    if (!crtc || crtc->mode == None) return 0.0;
    for (int i = 0; i < resources.nmode; ++i) {
        const XRRModeInfo& mode = resources.modes[i];
        if (mode.id != crtc->mode) continue;
        double lines = mode.vTotal;
        if (mode.modeFlags & RR_DoubleScan) lines *= 2;
        if (mode.modeFlags & RR_Interlace) lines /= 2;
        if (mode.hTotal == 0 || lines == 0) return 0.0;
        return static_cast<double>(mode.dotClock) / (mode.hTotal * lines);
    }
    return 0.0;
}

bool has_randr_monitors() {
    int event_base = 0, error_base = 0, major = 0, minor = 0;
    return XRRQueryExtension(_quarn_display, &event_base, &error_base) &&
           XRRQueryVersion(_quarn_display, &major, &minor) && (major > 1 || (major == 1 && minor >= 5));
}

std::vector<Monitor> randr_monitors() {
    std::vector<Monitor> monitors;
    const Window root = DefaultRootWindow(_quarn_display);
    int count = 0;
    const MonitorInfo infos(XRRGetMonitors(_quarn_display, root, True, &count));
    if (!infos || count <= 0) return monitors;
    const ScreenResources resources(XRRGetScreenResourcesCurrent(_quarn_display, root));
    for (int i = 0; i < count; ++i) {
        const XRRMonitorInfo& info = infos.get()[i];
        std::string name;
        if (char* text = XGetAtomName(_quarn_display, info.name)) {
            name = text;
            XFree(text);
        }
        Monitor monitor = whole_rectangle(std::move(name), info.x, info.y, info.width, info.height);
        monitor.width_mm = info.mwidth;
        monitor.height_mm = info.mheight;
        monitor.primary = info.primary;
        if (resources && info.noutput > 0) monitor.refresh_hz = refresh_of(*resources, info.outputs[0]);
        monitors.push_back(std::move(monitor));
    }
    return monitors;
}

std::vector<Monitor> xinerama_monitors() {
    std::vector<Monitor> monitors;
    int event_base = 0, error_base = 0, count = 0;
    if (!XineramaQueryExtension(_quarn_display, &event_base, &error_base) || !XineramaIsActive(_quarn_display))
        return monitors;
    const std::unique_ptr<XineramaScreenInfo, int (*)(void*)> screens(XineramaQueryScreens(_quarn_display, &count),
                                                                      XFree);
    for (int i = 0; screens && i < count; ++i) {
        const XineramaScreenInfo& screen = screens.get()[i];
        Monitor monitor = whole_rectangle("screen", screen.x_org, screen.y_org, screen.width, screen.height);
        monitor.primary = i == 0;
        monitors.push_back(std::move(monitor));
    }
    return monitors;
}

// The connection's RandR event codes, looked up once it first has a frame
// that reports MONITORS; forgotten with the connection (_quarn_monitors_deinit).
struct Notifications {
    int event_base = -1;
};

Notifications& notifications() {
    static Notifications made;
    return made;
}

bool any_frame_reports() {
    if (!Frame::_quarn_windows) return false;
    for (const auto& entry : *Frame::_quarn_windows)
        if (Frame::_quarn_reports(entry.second, Flags::Report::MONITORS)) return true;
    return false;
}

void select_notifications(bool select) {
    Notifications& state = notifications();
    if (_quarn_monitors_selected == select) return;
    if (state.event_base < 0) {
        int error_base = 0;
        if (!XRRQueryExtension(_quarn_display, &state.event_base, &error_base)) {
            state.event_base = -1;
            return;
        }
    }
    _quarn_monitors_selected = select;
    XRRSelectInput(_quarn_display, DefaultRootWindow(_quarn_display),
                   select ? RRScreenChangeNotifyMask | RRCrtcChangeNotifyMask | RROutputChangeNotifyMask : 0);
}

bool is_randr_event(const XEvent& event, int event_base) {
    return event_base >= 0 && (event.type == event_base + RRScreenChangeNotify || event.type == event_base + RRNotify);
}

}  // namespace

std::vector<Monitor> get_monitors() {
    _quarn_require_display("Cannot get the monitors without a display connection!");
    std::vector<Monitor> monitors;
    // A CRTC or output may go between the list and the question about it
    // (another client switching it off): the error is trapped, and that
    // monitor's refresh rate stays unknown.
    _quarn_trap_x_errors([&] {
        if (has_randr_monitors()) monitors = randr_monitors();
    });
    if (monitors.empty()) monitors = xinerama_monitors();
    if (monitors.empty()) {
        const Screen* screen = DefaultScreenOfDisplay(_quarn_display);
        Monitor monitor = whole_rectangle("screen", 0, 0, WidthOfScreen(screen), HeightOfScreen(screen));
        monitor.width_mm = WidthMMOfScreen(screen);
        monitor.height_mm = HeightMMOfScreen(screen);
        monitor.primary = true;
        monitors.push_back(std::move(monitor));
    }
    // Many servers name no primary output (Xvfb, a desk set up without one):
    // the first monitor is the one applications then start on.
    if (std::none_of(monitors.begin(), monitors.end(), [](const Monitor& monitor) { return monitor.primary; }))
        monitors.front().primary = true;
    apply_work_areas(monitors);
    return monitors;
}

bool _quarn_monitors_selected = false;

void _quarn_monitors_deinit() {
    notifications() = Notifications{};
    _quarn_monitors_selected = false;
}

void _quarn_monitors_follow() { select_notifications(any_frame_reports()); }

bool _quarn_monitors_notification(XEvent& event) {
    Notifications& state = notifications();
    if (!is_randr_event(event, state.event_base)) return false;
    XRRUpdateConfiguration(&event);
    // One change (an output switched off) comes as several notifications:
    // the frames hear of it once, after the last one already read.
    if (XEventsQueued(_quarn_display, QueuedAlready)) {
        XEvent next;
        XPeekEvent(_quarn_display, &next);
        if (is_randr_event(next, state.event_base)) return true;
    }
    // The callbacks may destroy frames, or turn the report off.
    std::vector<Window> windows;
    if (Frame::_quarn_windows)
        for (const auto& entry : *Frame::_quarn_windows)
            if (Frame::_quarn_reports(entry.second, Flags::Report::MONITORS)) windows.push_back(entry.first);
    if (windows.empty()) select_notifications(false);
    for (const Window window : windows)
        if (Frame::FrameBase* frame = Frame::_quarn_frame_of(window))
            if (Frame::_quarn_reports(frame, Flags::Report::MONITORS)) Input::Events::_quarn_issue_monitors(frame);
    return true;
}

}  // namespace Quarn
