#include "quarn/frame/controls.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/shape.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "quarn/error_trap.h"
#include "quarn/frame/frame.h"
#include "quarn/helpers.h"
#include "quarn/init.h"
#include "quarn/warning.h"

namespace Quarn {
namespace Frame {

namespace {

Atom atom(const char* name) { return XInternAtom(_quarn_display, name, False); }

Window root() { return DefaultRootWindow(_quarn_display); }

// The Motif hints' fields and bits (MwmUtil.h), as window managers read them.
constexpr long kMotifFunctions = 1L << 0;
constexpr long kMotifDecorations = 1L << 1;
constexpr long kMotifAll = 1L << 0, kMotifMove = 1L << 2, kMotifMinimize = 1L << 3, kMotifClose = 1L << 5;
// With "all" set, the other decoration bits name those left out.
constexpr long kMotifDecorAll = 1L << 0, kMotifDecorResize = 1L << 2;

// A size limit is -1 (none) or what X can carry as a size.
bool limit_fits(int limit) { return limit == -1 || (limit >= 1 && limit <= 65535); }

// Rewrites the hints the controls own in WM_NORMAL_HINTS, keeping the rest
// (the position and size set_position and set_size write, and any other
// client's). `width` and `height` are what an unresizable window is held to.
void write_normal_hints(const FrameBase* frame, int width, int height) {
    const _quarn_FrameBacking& backing = *frame->_quarn_backing;
    XSizeHints hints{};
    long supplied = 0;
    if (!XGetWMNormalHints(_quarn_display, backing.window, &hints, &supplied)) hints.flags = 0;
    hints.flags &= ~(PMinSize | PMaxSize | PAspect);
    const int* limits = backing.size_limits;
    if (!backing.resizable) {
        hints.flags |= PMinSize | PMaxSize;
        hints.min_width = hints.max_width = width;
        hints.min_height = hints.max_height = height;
    } else {
        // A side without a limit: 0 (any) as the least, 65535 (X's largest) as the most.
        if (limits[0] != -1 || limits[1] != -1) {
            hints.flags |= PMinSize;
            hints.min_width = std::max(limits[0], 0);
            hints.min_height = std::max(limits[1], 0);
        }
        if (limits[2] != -1 || limits[3] != -1) {
            hints.flags |= PMaxSize;
            hints.max_width = limits[2] == -1 ? 65535 : limits[2];
            hints.max_height = limits[3] == -1 ? 65535 : limits[3];
        }
    }
    if (backing.aspect[0] > 0) {
        hints.flags |= PAspect;
        hints.min_aspect.x = hints.max_aspect.x = backing.aspect[0];
        hints.min_aspect.y = hints.max_aspect.y = backing.aspect[1];
    }
    XSetWMNormalHints(_quarn_display, backing.window, &hints);
}

// The size the window has now: shown, the user may have resized it since
// set_size. A hidden window's is the one last asked for: under a manager the
// server hands a hidden top-level window's resize to the manager, which may
// not have applied it yet.
void write_normal_hints(const FrameBase* frame) {
    if (!frame->visible) {
        write_normal_hints(frame, frame->dimensions[0], frame->dimensions[1]);
        return;
    }
    XWindowAttributes attributes{};
    XGetWindowAttributes(_quarn_display, frame->_quarn_backing->window, &attributes);
    write_normal_hints(frame, attributes.width, attributes.height);
}

// Back to everything, the hints say so outright rather than go: xfwm4 keeps
// the functions it last read when the property is deleted (no maximize after
// an unresizable spell).
void write_motif_hints(const _quarn_FrameBacking& backing) {
    const Atom motif = atom("_MOTIF_WM_HINTS");
    // flags, functions, decorations, input mode, status.
    long hints[5] = {kMotifFunctions | kMotifDecorations, kMotifAll, kMotifDecorAll, 0, 0};
    // Maximizing is a resize too.
    if (!backing.resizable) hints[1] = kMotifMove | kMotifMinimize | kMotifClose;
    if (!backing.resizable && backing.decorated) hints[2] = kMotifDecorAll | kMotifDecorResize;
    if (!backing.decorated) hints[2] = 0;
    XChangeProperty(_quarn_display, backing.window, motif, motif, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(hints), 5);
}

// Whether a manager that speaks EWMH runs: the window named in the root's
// _NET_SUPPORTING_WM_CHECK exists and names itself (a crashed manager
// leaves a stale property; reading the gone window is trapped).
bool ewmh_manager() {
    const Atom check = atom("_NET_SUPPORTING_WM_CHECK");
    const std::vector<long> named = _quarn_window_items(root(), check, XA_WINDOW);
    if (named.empty()) return false;
    std::vector<long> itself;
    if (_quarn_trap_x_errors([&] { itself = _quarn_window_items(static_cast<Window>(named[0]), check, XA_WINDOW); }))
        return false;
    return itself == named;
}

void send_to_manager(Window window, Atom type, long l0, long l1, long l2, long l3) {
    XEvent message{};
    message.xclient.type = ClientMessage;
    message.xclient.window = window;
    message.xclient.message_type = type;
    message.xclient.format = 32;
    message.xclient.data.l[0] = l0;
    message.xclient.data.l[1] = l1;
    message.xclient.data.l[2] = l2;
    message.xclient.data.l[3] = l3;
    XSendEvent(_quarn_display, root(), False, SubstructureRedirectMask | SubstructureNotifyMask, &message);
}

// Edits _NET_WM_STATE as a window not managed yet has it: the manager reads
// it when it takes the window.
void edit_state_property(Window window, bool add, Atom first, Atom second) {
    const Atom state = atom("_NET_WM_STATE");
    std::vector<long> kept;
    for (const long item : _quarn_window_items(window, state, XA_ATOM))
        if (static_cast<Atom>(item) != first && static_cast<Atom>(item) != second) kept.push_back(item);
    if (add) {
        kept.push_back(static_cast<long>(first));
        if (second != None) kept.push_back(static_cast<long>(second));
    }
    XChangeProperty(_quarn_display, window, state, XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(kept.data()), static_cast<int>(kept.size()));
}

// EWMH: once the window is mapped the manager owns _NET_WM_STATE, and a
// change goes to it as a message to the root; a hidden window's property is
// the client's own. Without a manager the property is all there is, and one
// that starts later reads it.
void change_state(const FrameBase* frame, bool add, const char* first, const char* second = nullptr) {
    const Window window = frame->_quarn_backing->window;
    const Atom one = atom(first), two = second ? atom(second) : None;
    if (frame->visible && ewmh_manager())
        send_to_manager(window, atom("_NET_WM_STATE"), add ? 1 : 0, static_cast<long>(one), static_cast<long>(two),
                        1);  // 1: from an application
    else
        edit_state_property(window, add, one, two);
}

// Changes WM_HINTS through `change`, keeping what is there.
template <typename Change>
void edit_wm_hints(Window window, Change change) {
    XWMHints hints{};
    if (XWMHints* there = XGetWMHints(_quarn_display, window)) {
        hints = *there;
        XFree(there);
    }
    change(hints);
    XSetWMHints(_quarn_display, window, &hints);
}

bool iconic(Window window) {
    const std::vector<long> state = _quarn_window_items(window, atom("WM_STATE"), atom("WM_STATE"));
    return !state.empty() && state[0] == IconicState;
}

}  // namespace

void _quarn_set_size_limits(FrameBase* frame, int min_width, int min_height, int max_width, int max_height) {
    const bool fits =
        limit_fits(min_width) && limit_fits(min_height) && limit_fits(max_width) && limit_fits(max_height);
    if (!fits || (max_width != -1 && min_width > max_width) || (max_height != -1 && min_height > max_height)) {
        _quarn_print_warning(
            "Cannot set size limits other than -1 or 1 to 65535 pixels, or a minimum above its maximum!  Ignoring "
            ".set_size_limits!");
        return;
    }
    int* const limits = frame->_quarn_backing->size_limits;
    limits[0] = min_width;
    limits[1] = min_height;
    limits[2] = max_width;
    limits[3] = max_height;
    // While unresizable the window's own size is its limit, and these wait.
    if (frame->_quarn_backing->resizable)
        write_normal_hints(frame, 0, 0);
    else
        write_normal_hints(frame);
}

void _quarn_set_aspect_ratio(FrameBase* frame, int numerator, int denominator) {
    const bool none = numerator == 0 && denominator == 0;
    if (!none && (numerator < 1 || denominator < 1)) {
        _quarn_print_warning(
            "Cannot set an aspect ratio from a value below 1 (0 and 0 for none)!  Ignoring .set_aspect_ratio!");
        return;
    }
    frame->_quarn_backing->aspect[0] = numerator;
    frame->_quarn_backing->aspect[1] = denominator;
    if (frame->_quarn_backing->resizable)
        write_normal_hints(frame, 0, 0);
    else
        write_normal_hints(frame);
}

void _quarn_set_resizable(FrameBase* frame, bool resizable) {
    _quarn_FrameBacking& backing = *frame->_quarn_backing;
    backing.resizable = resizable;
    write_normal_hints(frame);
    write_motif_hints(backing);
}

void _quarn_set_decorated(FrameBase* frame, bool decorated) {
    frame->_quarn_backing->decorated = decorated;
    write_motif_hints(*frame->_quarn_backing);
}

void _quarn_set_floating(FrameBase* frame, bool floating) {
    frame->_quarn_backing->floating = floating;
    change_state(frame, floating, "_NET_WM_STATE_ABOVE");
}

void _quarn_set_opacity(FrameBase* frame, float opacity) {
    if (std::isnan(opacity)) {
        _quarn_print_warning("Cannot set an opacity that is not a number!  Ignoring .set_opacity!");
        return;
    }
    if (opacity < 0.0f || opacity > 1.0f) {
        _quarn_print_warning("Cannot set an opacity outside 0 to 1!  Clamping it in .set_opacity!");
        opacity = std::clamp(opacity, 0.0f, 1.0f);
    }
    const Window window = frame->_quarn_backing->window;
    const Atom property = atom("_NET_WM_WINDOW_OPACITY");
    // Opaque is what a window without the property is; compositors skip the
    // blending for it.
    if (opacity == 1.0f) {
        XDeleteProperty(_quarn_display, window, property);
        return;
    }
    const auto value = static_cast<unsigned long>(std::lround(static_cast<double>(opacity) * 4294967295.0));
    XChangeProperty(_quarn_display, window, property, XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&value), 1);
}

void _quarn_minimize(FrameBase* frame) {
    const Window window = frame->_quarn_backing->window;
    if (frame->visible) {
        XIconifyWindow(_quarn_display, window, DefaultScreen(_quarn_display));
        return;
    }
    edit_wm_hints(window, [](XWMHints& hints) {
        hints.flags |= StateHint;
        hints.initial_state = IconicState;
    });
}

void _quarn_maximize(FrameBase* frame) {
    change_state(frame, true, "_NET_WM_STATE_MAXIMIZED_VERT", "_NET_WM_STATE_MAXIMIZED_HORZ");
}

void _quarn_restore(FrameBase* frame) {
    const Window window = frame->_quarn_backing->window;
    if (!frame->visible) {
        edit_wm_hints(window, [](XWMHints& hints) {
            if (hints.flags & StateHint) hints.initial_state = NormalState;
        });
    } else if (iconic(window)) {
        // ICCCM: mapping an iconic window asks for its normal state. A
        // compositing manager may keep the iconic window mapped (mutter), so
        // that the map asks nothing: an EWMH manager is asked to activate it.
        XMapWindow(_quarn_display, window);
        if (ewmh_manager()) send_to_manager(window, atom("_NET_ACTIVE_WINDOW"), 1, CurrentTime, None, 0);
    }
    change_state(frame, false, "_NET_WM_STATE_MAXIMIZED_VERT", "_NET_WM_STATE_MAXIMIZED_HORZ");
}

void _quarn_focus(FrameBase* frame) {
    if (!frame->visible) return;
    const Window window = frame->_quarn_backing->window;
    if (ewmh_manager()) {
        // 1: from an application; CurrentTime lets the manager judge the request by its own clock.
        send_to_manager(window, atom("_NET_ACTIVE_WINDOW"), 1, CurrentTime, None, 0);
        return;
    }
    // Shown but not viewable yet (its map not done, or a parent hidden) is a
    // BadMatch error, which would end the process.
    _quarn_trap_x_errors([&] {
        XRaiseWindow(_quarn_display, window);
        XSetInputFocus(_quarn_display, window, RevertToParent, CurrentTime);
    });
}

void _quarn_request_attention(FrameBase* frame) {
    change_state(frame, true, "_NET_WM_STATE_DEMANDS_ATTENTION");
    edit_wm_hints(frame->_quarn_backing->window, [](XWMHints& hints) { hints.flags |= XUrgencyHint; });
    frame->_quarn_backing->urgent = true;
}

void _quarn_set_mouse_passthrough(FrameBase* frame, bool passthrough) {
    // The input shape came with Shape 1.1.
    int event_base = 0, error_base = 0, major = 0, minor = 0;
    if (!XShapeQueryExtension(_quarn_display, &event_base, &error_base) ||
        !XShapeQueryVersion(_quarn_display, &major, &minor) || (major == 1 && minor < 1) || major < 1) {
        _quarn_print_warning(
            "Cannot let the pointer through a window without the X Shape extension!  Ignoring "
            ".set_mouse_passthrough!");
        return;
    }
    const Window window = frame->_quarn_backing->window;
    if (passthrough)
        XShapeCombineRectangles(_quarn_display, window, ShapeInput, 0, 0, nullptr, 0, ShapeSet, Unsorted);
    else
        XShapeCombineMask(_quarn_display, window, ShapeInput, 0, 0, None, ShapeSet);
}

void _quarn_get_frame_extents(const FrameBase* frame, int* left_right_top_bottom) {
    if (!left_right_top_bottom) {
        _quarn_print_warning("Cannot write frame extents to a null pointer!  Ignoring .get_frame_extents!");
        return;
    }
    const std::vector<long> extents =
        _quarn_window_items(frame->_quarn_backing->window, atom("_NET_FRAME_EXTENTS"), XA_CARDINAL);
    for (std::size_t i = 0; i < 4; ++i)
        left_right_top_bottom[i] = extents.size() == 4 ? static_cast<int>(extents[i]) : 0;
}

void _quarn_get_position(const FrameBase* frame, int* xy) {
    if (!xy) {
        _quarn_print_warning("Cannot write a window position to a null pointer!  Ignoring .get_position!");
        return;
    }
    Window child = None;
    XTranslateCoordinates(_quarn_display, frame->_quarn_backing->window, root(), 0, 0, &xy[0], &xy[1], &child);
}

void _quarn_controls_resized(FrameBase* frame) {
    if (!frame->_quarn_backing->resizable) write_normal_hints(frame, frame->dimensions[0], frame->dimensions[1]);
}

void _quarn_controls_showing(FrameBase* frame) {
    if (frame->_quarn_backing->floating)
        edit_state_property(frame->_quarn_backing->window, true, atom("_NET_WM_STATE_ABOVE"), None);
}

void _quarn_attention_answered(FrameBase* frame) {
    _quarn_FrameBacking& backing = *frame->_quarn_backing;
    if (!backing.urgent) return;
    backing.urgent = false;
    edit_wm_hints(backing.window, [](XWMHints& hints) { hints.flags &= ~XUrgencyHint; });
}

}  // namespace Frame
}  // namespace Quarn
