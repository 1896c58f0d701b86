#include "quarn/frame/report.h"

#include <X11/Xatom.h>

#include <vector>

#include "quarn/frame/drop.h"
#include "quarn/frame/frame.h"
#include "quarn/frame/helpers.h"
#include "quarn/helpers.h"
#include "quarn/init.h"
#include "quarn/input/events/helpers.h"
#include "quarn/input/text.h"
#include "quarn/monitor.h"

namespace Quarn {
namespace Frame {

namespace {

// The masks a report adds to the window's selection.
constexpr long kResizeMask = StructureNotifyMask | PropertyChangeMask;
constexpr long kMoveMask = StructureNotifyMask;

// The masks `report` adds, beyond those every frame selects.
long own_mask(const Flags::Report& report) {
    long mask = 0;
    if (report & Flags::Report::RESIZE) mask |= kResizeMask;
    if (report & Flags::Report::MOVE) mask |= kMoveMask;
    return mask & ~_quarn_FrameBacking::event_mask;
}

// The window-manager atoms, made once per connection.
struct Atoms {
    Display* display = nullptr;
    Atom wm_state = None, net_wm_state = None, maximized_vert = None, maximized_horz = None;
};

const Atoms& atoms() {
    static Atoms made;
    if (made.display != _quarn_display) {
        made.display = _quarn_display;
        made.wm_state = XInternAtom(_quarn_display, "WM_STATE", False);
        made.net_wm_state = XInternAtom(_quarn_display, "_NET_WM_STATE", False);
        made.maximized_vert = XInternAtom(_quarn_display, "_NET_WM_STATE_MAXIMIZED_VERT", False);
        made.maximized_horz = XInternAtom(_quarn_display, "_NET_WM_STATE_MAXIMIZED_HORZ", False);
    }
    return made;
}

bool read_iconic(Window window) {
    const std::vector<long> state = _quarn_window_items(window, atoms().wm_state, atoms().wm_state);
    return !state.empty() && state[0] == IconicState;
}

bool read_maximized(Window window) {
    bool vertical = false, horizontal = false;
    for (const long item : _quarn_window_items(window, atoms().net_wm_state, XA_ATOM)) {
        vertical = vertical || static_cast<Atom>(item) == atoms().maximized_vert;
        horizontal = horizontal || static_cast<Atom>(item) == atoms().maximized_horz;
    }
    return vertical && horizontal;
}

// Where the window's content is now: on the root window, or in its parent
// frame's window for a frame inside another. One round trip.
void read_place(const _quarn_FrameBacking& backing, int* place) {
    if (backing.inside_frame) {
        XWindowAttributes attributes{};
        XGetWindowAttributes(_quarn_display, backing.window, &attributes);
        place[0] = attributes.x + attributes.border_width;
        place[1] = attributes.y + attributes.border_width;
        return;
    }
    Window child = None;
    XTranslateCoordinates(_quarn_display, backing.window, DefaultRootWindow(_quarn_display), 0, 0, &place[0], &place[1],
                          &child);
}

void deliver_place(FrameBase* frame, const int* place) {
    int* const reported = frame->_quarn_backing->reported_position;
    if (place[0] == reported[0] && place[1] == reported[1]) return;
    reported[0] = place[0];
    reported[1] = place[1];
    Input::Events::_quarn_issue_move(frame, place[0], place[1]);
}

}  // namespace

bool _quarn_reports(const FrameBase* frame, const Flags::Report& report) {
    return frame->_quarn_backing->report & report;
}

void _quarn_set_report(FrameBase* frame, const Flags::Report& report) {
    _quarn_FrameBacking& backing = *frame->_quarn_backing;
    const Window window = backing.window;
    const bool resize_on = report & Flags::Report::RESIZE;
    const bool resize_was = backing.report & Flags::Report::RESIZE;
    const bool text_on = report & Flags::Report::TEXT;
    const bool text_was = backing.report & Flags::Report::TEXT;
    const bool focus_on = (report & Flags::Report::FOCUS) && !(backing.report & Flags::Report::FOCUS);
    const bool crossing_on = (report & Flags::Report::CROSSING) && !(backing.report & Flags::Report::CROSSING);
    const bool drop_on = report & Flags::Report::DROP;
    const bool drop_changed = drop_on != static_cast<bool>(backing.report & Flags::Report::DROP);
    const bool monitors_changed = static_cast<bool>(report & Flags::Report::MONITORS) !=
                                  static_cast<bool>(backing.report & Flags::Report::MONITORS);
    const bool move_on = (report & Flags::Report::MOVE) && !(backing.report & Flags::Report::MOVE);
    const long mask_was = own_mask(backing.report), mask_now = own_mask(report);
    backing.report = report;
    if (drop_changed) _quarn_drop_aware(frame, drop_on);
    if (monitors_changed) _quarn_monitors_follow();

    if (focus_on) {
        // Asked once, so that the first event tells a change.
        Window focus = None;
        int revert = 0;
        XGetInputFocus(_quarn_display, &focus, &revert);
        backing.focused = focus == window ? _quarn_Told::YES : _quarn_Told::NO;
        backing.focus_by_pointer = false;
    }
    // Where the pointer is takes more than a question (what covers the
    // window): the first crossing tells it.
    if (crossing_on) backing.pointer_inside = _quarn_Told::NOTHING;
    if (text_on != text_was) Input::_quarn_text_enable(frame, text_on);
    // Only the reports' own bits change, and none the frame selects anyway.
    if (mask_now != mask_was) _quarn_select_input(window, mask_now & ~mask_was, mask_was & ~mask_now);
    // Read after selecting (the round trips send the selection), so no move
    // falls between the two.
    if (move_on) {
        if (!backing.inside_frame) backing.reparented = _quarn_parent_of(window) != DefaultRootWindow(_quarn_display);
        read_place(backing, backing.reported_position);
    }
    if (resize_on == resize_was || !resize_on) return;
    // Read after selecting (the reads' round trips send the selection), so
    // no change falls between the two.
    XWindowAttributes attributes{};
    XGetWindowAttributes(_quarn_display, window, &attributes);
    backing.reported_size[0] = attributes.width;
    backing.reported_size[1] = attributes.height;
    backing.iconic = read_iconic(window);
    backing.maximized = read_maximized(window);
}

void _quarn_report_focus(FrameBase* frame, const XFocusChangeEvent& change) {
    // A grab leaves the focus where it is (the frame's keys, releases
    // included, still reach it afterwards); a forged event says nothing.
    if (change.send_event || change.mode == NotifyGrab || change.mode == NotifyUngrab) return;
    // The frame or a window inside it has the focus either way.
    if (change.detail == NotifyInferior) return;
    _quarn_FrameBacking& backing = *frame->_quarn_backing;
    const bool focused = change.type == FocusIn;
    // A FocusIn with NotifyPointer: the focus went to PointerRoot while the
    // pointer was in the window; the keys follow the pointer from now on.
    backing.focus_by_pointer = focused && change.detail == NotifyPointer;
    const _quarn_Told told = focused ? _quarn_Told::YES : _quarn_Told::NO;
    if (backing.focused == told) return;
    backing.focused = told;
    Input::Events::_quarn_issue_focus(frame, focused);
}

void _quarn_report_crossing(FrameBase* frame, const XCrossingEvent& crossing) {
    // A forged crossing says nothing of the pointer; one to or from a window
    // inside the frame leaves the pointer over the frame.
    if (crossing.send_event || crossing.detail == NotifyInferior) return;
    // A grab (a manager's click or drag) takes the pointer where it is: X
    // reports a crossing to the grab's window though the pointer stayed, and
    // where the pointer is when the grab ends (NotifyUngrab), which the
    // report follows, as every other crossing: the end of a drag out of the
    // window (after its NotifyNormal leave) included.
    if (crossing.mode == NotifyGrab) return;
    const bool enter = crossing.type == EnterNotify;
    const _quarn_Told told = enter ? _quarn_Told::YES : _quarn_Told::NO;
    const Window window = frame->_quarn_backing->window;

    _quarn_FrameBacking* backing = frame->_quarn_backing;
    if ((backing->report & Flags::Report::CROSSING) && backing->pointer_inside != told) {
        backing->pointer_inside = told;
        if (enter)
            Input::Events::_quarn_issue_mouseenter(frame, crossing.x, crossing.y);
        else
            Input::Events::_quarn_issue_mouseleave(frame, crossing.x, crossing.y);
        // Its callbacks may have destroyed the frame.
        if (_quarn_frame_of(window) != frame) return;
    }

    // `focus`: the window is the focus window or inside it, or the focus is
    // PointerRoot. Unless the frame has the focus itself, the keys then go
    // wherever the pointer is, and come and go with it.
    if (!(backing->report & Flags::Report::FOCUS) || !crossing.focus) return;
    const bool gains = enter && backing->focused != _quarn_Told::YES;
    const bool loses = !enter && backing->focus_by_pointer && backing->focused != _quarn_Told::NO;
    if (!gains && !loses) return;
    backing->focused = told;
    backing->focus_by_pointer = enter;
    Input::Events::_quarn_issue_focus(frame, enter);
}

void _quarn_report_expose(FrameBase* frame, const XExposeEvent& expose) {
    // `count` says how many more of the series follow: one refresh at the last.
    if (expose.count == 0) Input::Events::_quarn_issue_refresh(frame);
}

void _quarn_report_configure(FrameBase* frame, const XConfigureEvent& configure) {
    _quarn_FrameBacking& backing = *frame->_quarn_backing;
    const Window window = backing.window;
    int* const size = backing.reported_size;
    if ((backing.report & Flags::Report::RESIZE) && (configure.width != size[0] || configure.height != size[1])) {
        size[0] = configure.width;
        size[1] = configure.height;
        Input::Events::_quarn_issue_resize(frame, size[0], size[1], false, false);
        // Its callbacks may have destroyed the frame.
        if (_quarn_frame_of(window) != frame) return;
    }
    if (!(backing.report & Flags::Report::MOVE)) return;
    int place[2] = {configure.x + configure.border_width, configure.y + configure.border_width};
    // A manager's (synthetic) event gives the place on the root window, as
    // ICCCM has it; the server's own gives it in the parent, which for a
    // top-level window in a manager's frame is that frame: only then is the
    // server asked. A frame inside another frame keeps its parent's terms.
    if (!configure.send_event && !backing.inside_frame && backing.reparented) read_place(backing, place);
    deliver_place(frame, place);
}

void _quarn_report_reparent(FrameBase* frame, const XReparentEvent& reparent) {
    _quarn_FrameBacking& backing = *frame->_quarn_backing;
    if (backing.inside_frame || reparent.send_event) return;
    backing.reparented = reparent.parent != DefaultRootWindow(_quarn_display);
    // Taken out of a manager's frame (the manager ending, the window hidden),
    // the window is where the event says; into one, the manager tells where.
    if (backing.reparented) return;
    int place[2] = {reparent.x, reparent.y};
    deliver_place(frame, place);
}

void _quarn_report_property(FrameBase* frame, const XPropertyEvent& property) {
    _quarn_FrameBacking& backing = *frame->_quarn_backing;
    const int* const size = backing.reported_size;
    if (property.atom == atoms().wm_state) {
        const bool iconic = read_iconic(backing.window);
        if (iconic == backing.iconic) return;
        backing.iconic = iconic;
        // A restore is a plain resize, so an application that stopped drawing starts again.
        Input::Events::_quarn_issue_resize(frame, size[0], size[1], iconic, false);
    } else if (property.atom == atoms().net_wm_state) {
        const bool maximized = read_maximized(backing.window);
        const bool became = maximized && !backing.maximized;
        backing.maximized = maximized;
        if (became) Input::Events::_quarn_issue_resize(frame, size[0], size[1], false, true);
    }
}

}  // namespace Frame
}  // namespace Quarn
