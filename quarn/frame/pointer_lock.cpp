#include "quarn/frame/pointer_lock.h"

#include <X11/extensions/XInput2.h>

#include <algorithm>
#include <chrono>

#include "quarn/frame/cursors.h"
#include "quarn/frame/frame.h"
#include "quarn/helpers.h"
#include "quarn/init.h"
#include "quarn/input/events/helpers.h"
#include "quarn/input/state.h"
#include "quarn/warning.h"

namespace Quarn {
namespace Frame {

namespace {

// A pointing device whose axes give positions rather than moves (a tablet,
// a virtual machine's pointer): its moves are the differences of those,
// scaled from the axis's range to the screen's.
struct AbsoluteDevice {
    int id;
    double span[2];  // the range of each axis, where it gives positions
    double last[2];  // the position it gave last, once `seen`
    bool seen[2];
};
constexpr int kMostAbsoluteDevices = 8;

using Clock = std::chrono::steady_clock;

// How often a grab that failed (another client's grab in force) is tried
// again by the pump while nothing else happens in the frame.
constexpr std::chrono::milliseconds kRetryEvery{100};

// One grab holds the pointer, so one frame at a time holds it, in one of
// two ways: locked (hidden, its moves reported as raw motion adding up to a
// virtual position) or confined (shown, its moves reported as they are).
enum class Hold { LOCKED, CONFINED };

FrameBase* holder = nullptr;   // the frame that holds the pointer
Hold how = Hold::LOCKED;       // and how it holds it
bool focused = false;          // whether its keys reach it: the grab is taken only then
bool grabbed = false;          // whether the pointer grab is in force
Clock::time_point next_retry;  // when the pump may try a failed grab again
int raw_opcode = 0;            // XInput2's major opcode as the last lock found it; -1 where the server has none
int held_at[2];                // where giving the lock back shows the pointer (where it was when locked)
double unspent[2];             // the fractions of a pixel not reported yet
AbsoluteDevice absolute[kMostAbsoluteDevices];
int absolute_count = 0;

Window window_of(const FrameBase* frame) { return frame->_quarn_backing->window; }

// Asked at each lock: the server must hear which version of XInput2 this
// connection speaks before it selects raw motion (after Quarn::init() again,
// a connection that has not said so gets each raw event twice).
bool has_raw_motion() {
    int opcode = 0, event = 0, error = 0, major = 2, minor = 0;
    const bool found = XQueryExtension(_quarn_display, "XInputExtension", &opcode, &event, &error) &&
                       XIQueryVersion(_quarn_display, &major, &minor) == Success;
    raw_opcode = found ? opcode : -1;
    return found;
}

// Raw events are only sent to the root window, for every master pointer.
void select_raw_motion(bool on) {
    unsigned char bits[XIMaskLen(XI_RawMotion)] = {};
    if (on) XISetMask(bits, XI_RawMotion);
    XIEventMask mask{XIAllMasterDevices, static_cast<int>(sizeof bits), bits};
    XISelectEvents(_quarn_display, DefaultRootWindow(_quarn_display), &mask, 1);
}

void find_absolute_devices() {
    absolute_count = 0;
    int count = 0;
    XIDeviceInfo* devices = XIQueryDevice(_quarn_display, XIAllDevices, &count);
    for (int i = 0; i < count && absolute_count < kMostAbsoluteDevices; ++i) {
        if (devices[i].use != XISlavePointer && devices[i].use != XIFloatingSlave) continue;
        AbsoluteDevice device{devices[i].deviceid, {0, 0}, {0, 0}, {false, false}};
        for (int c = 0; c < devices[i].num_classes; ++c) {
            if (devices[i].classes[c]->type != XIValuatorClass) continue;
            const auto* axis = reinterpret_cast<const XIValuatorClassInfo*>(devices[i].classes[c]);
            if (axis->number < 2 && axis->mode == XIModeAbsolute) device.span[axis->number] = axis->max - axis->min;
        }
        if (device.span[0] > 0 || device.span[1] > 0) absolute[absolute_count++] = device;
    }
    XIFreeDeviceInfo(devices);
}

AbsoluteDevice* absolute_device(int id) {
    for (int i = 0; i < absolute_count; ++i)
        if (absolute[i].id == id) return &absolute[i];
    return nullptr;
}

// Adds a move to the virtual position and reports the whole pixels of it.
void move_by(double dx, double dy) {
    const double delta[2] = {dx, dy};
    int whole[2];
    for (int axis = 0; axis < 2; ++axis) {
        // A broken device's value must not overflow the conversion.
        unspent[axis] = std::clamp(unspent[axis] + delta[axis], -65536.0, 65536.0);
        whole[axis] = static_cast<int>(unspent[axis]);
        unspent[axis] -= whole[axis];
    }
    if (!whole[0] && !whole[1]) return;
    // The virtual position may run past an int after a very long lock: it wraps.
    const int* at = holder->input_state->mouse_position;
    const auto add = [](int a, int b) {
        return static_cast<int>(static_cast<unsigned int>(a) + static_cast<unsigned int>(b));
    };
    Input::Events::_quarn_issue_mousemove(holder, add(at[0], whole[0]), add(at[1], whole[1]));
}

void raw_motion(XGenericEventCookie& cookie) {
    if (!XGetEventData(_quarn_display, &cookie)) return;
    const auto* raw = static_cast<const XIRawEvent*>(cookie.data);
    AbsoluteDevice* device = absolute_device(raw->sourceid);
    // The values come packed, one per axis set in the mask, in axis order:
    // x and y are the first two.
    const double* value = raw->raw_values;
    double delta[2] = {0, 0};
    for (int axis = 0; axis < 2 && axis < raw->valuators.mask_len * 8; ++axis) {
        if (!XIMaskIsSet(raw->valuators.mask, axis)) continue;
        const double v = *value++;
        if (!device || device->span[axis] <= 0) {
            delta[axis] = v;
            continue;
        }
        const int screen = axis == 0 ? DisplayWidth(_quarn_display, DefaultScreen(_quarn_display))
                                     : DisplayHeight(_quarn_display, DefaultScreen(_quarn_display));
        if (device->seen[axis]) delta[axis] = (v - device->last[axis]) * screen / device->span[axis];
        device->last[axis] = v;
        device->seen[axis] = true;
    }
    XFreeEventData(_quarn_display, &cookie);
    move_by(delta[0], delta[1]);
}

void centre_of(const FrameBase* frame, int (&centre)[2]) {
    centre[0] = frame->dimensions[0] / 2;
    centre[1] = frame->dimensions[1] / 2;
}

// Without raw motion, each move is how far the pointer got from the frame's
// centre, and the pointer goes back there (that warp's own move is skipped).
void recentre(const XMotionEvent& motion) {
    int centre[2];
    centre_of(holder, centre);
    if (motion.x == centre[0] && motion.y == centre[1]) return;
    XWarpPointer(_quarn_display, None, window_of(holder), 0, 0, 0, 0, centre[0], centre[1]);
    move_by(motion.x - centre[0], motion.y - centre[1]);
}

// Puts the frame's pointer position at `held_at`, with no move reported.
void place_at_held(FrameBase* frame) {
    Input::State& state = *frame->input_state;
    std::copy(held_at, held_at + 2, state.mouse_position);
    std::copy(held_at, held_at + 2, state.mouse_position_last);
}

// The grab holds the pointer inside the frame; a lock's shows no cursor, a
// confinement's the frame's own (None: the window's). It is taken only while
// the frame has the keyboard focus, and fails while another client holds a
// grab (a window manager's passive grab, activated by the very click that
// gave the frame the focus): it is tried again at the frame's next pointer
// event or crossing, and by the pump every kRetryEvery.
void grab() {
    if (grabbed || !focused) return;
    const Window window = window_of(holder);
    const ::Cursor shown = how == Hold::LOCKED ? _quarn_cursor(Cursor::HIDDEN) : None;
    grabbed = XGrabPointer(_quarn_display, window, True, ButtonPressMask | ButtonReleaseMask | PointerMotionMask,
                           GrabModeAsync, GrabModeAsync, window, shown, CurrentTime) == GrabSuccess;
    next_retry = Clock::now() + kRetryEvery;
    _quarn_show_cursor(holder);
}

void ungrab() {
    if (grabbed) XUngrabPointer(_quarn_display, CurrentTime);
    grabbed = false;
    _quarn_show_cursor(holder);
}

// Whether the keyboard's events reach `frame`: the focus is on its window,
// or follows the pointer (PointerRoot, or an ancestor of the window holds
// it) and the pointer is in the frame.
bool has_focus(const FrameBase* frame, const int (&pointer)[2]) {
    Window focus = None;
    int revert = 0;
    XGetInputFocus(_quarn_display, &focus, &revert);
    const Window window = window_of(frame);
    if (focus == window) return true;
    if (focus == None) return false;
    const bool inside =
        pointer[0] >= 0 && pointer[1] >= 0 && pointer[0] < frame->dimensions[0] && pointer[1] < frame->dimensions[1];
    if (focus == PointerRoot) return inside;
    const Window root = DefaultRootWindow(_quarn_display);
    for (Window at = _quarn_parent_of(window); at != None; at = at == root ? None : _quarn_parent_of(at))
        if (at == focus) return inside;
    return false;
}

void take(FrameBase* frame, Hold how_now) {
    Window root = None, child = None;
    int root_x = 0, root_y = 0;
    unsigned int buttons = 0;
    XQueryPointer(_quarn_display, window_of(frame), &root, &child, &root_x, &root_y, &held_at[0], &held_at[1],
                  &buttons);
    holder = frame;
    how = how_now;
    focused = has_focus(frame, held_at);
    if (how == Hold::CONFINED) {
        grab();
        return;
    }
    place_at_held(frame);  // the virtual position starts where the pointer is
    unspent[0] = unspent[1] = 0;
    if (has_raw_motion()) {
        find_absolute_devices();
        select_raw_motion(true);
    } else if (focused) {
        int centre[2];
        centre_of(frame, centre);
        XWarpPointer(_quarn_display, None, window_of(frame), 0, 0, 0, 0, centre[0], centre[1]);
    }
    grab();
}

void release() {
    FrameBase* const frame = holder;
    const Window window = window_of(frame);
    const bool held = grabbed;
    ungrab();
    holder = nullptr;
    focused = false;
    // A confined pointer was where the user put it all along.
    if (how == Hold::CONFINED) return;
    if (raw_opcode > 0) select_raw_motion(false);
    // Let go while another window has the focus, the pointer is the user's
    // there and stays where it is.
    if (!held) return;
    // The pointer's moves inside the frame during the lock are not news to
    // the application: they go, and the pointer goes back to where it was.
    XSync(_quarn_display, False);
    XEvent stale;
    while (XCheckTypedWindowEvent(_quarn_display, window, MotionNotify, &stale)) {
    }
    XWarpPointer(_quarn_display, None, window, 0, 0, 0, 0, held_at[0], held_at[1]);
    place_at_held(frame);
}

// Takes the pointer for `frame` the way asked (`on`), or gives back what it
// holds that way. Whoever held it another way, or another frame, gives it up
// first: the later call wins.
void hold(FrameBase* frame, Hold how_now, bool on) {
    // A frame that outlives Quarn::deinit() holds nothing: the hold ended there.
    if (!_quarn_display) return;
    const bool holds = holder == frame && how == how_now;
    if (on && holds) {
        grab();  // asked again while a grab is refused: try now
        return;
    }
    if (!on && !holds) return;
    if (holder) release();
    if (on) take(frame, how_now);
}

}  // namespace

void _quarn_lock_pointer(FrameBase* frame, bool locked) { hold(frame, Hold::LOCKED, locked); }

void _quarn_confine_pointer(FrameBase* frame, bool confined) { hold(frame, Hold::CONFINED, confined); }

void _quarn_release_pointer(FrameBase* frame) {
    if (_quarn_display && frame == holder) release();
}

void _quarn_move_pointer(FrameBase* frame, int x, int y) {
    if (x < -32768 || x > 32767 || y < -32768 || y > 32767) {
        _quarn_print_warning("Cannot set a mouse position outside -32768 to 32767!  Ignoring .set_mouse_position!");
        return;
    }
    // The hidden pointer of a lock is not the application's to move: the
    // moves would be lost in raw motion, or taken for the mouse's own where
    // the pointer is put back in the centre.
    if (frame == holder && how == Hold::LOCKED && grabbed) {
        held_at[0] = x;
        held_at[1] = y;
        return;
    }
    XWarpPointer(_quarn_display, None, window_of(frame), 0, 0, 0, 0, x, y);
    XFlush(_quarn_display);
}

bool _quarn_query_pointer(const FrameBase* frame, int* xy) {
    if (!xy) {
        _quarn_print_warning("Cannot get the mouse position into a null pointer!  Ignoring .get_mouse_position!");
        return false;
    }
    Window root = None, child = None;
    int root_x = 0, root_y = 0, x = 0, y = 0;
    unsigned int buttons = 0;
    if (!XQueryPointer(_quarn_display, window_of(frame), &root, &child, &root_x, &root_y, &x, &y, &buttons))
        return false;
    xy[0] = x;
    xy[1] = y;
    return true;
}

void _quarn_show_cursor(FrameBase* frame) {
    const bool hidden = frame == holder && how == Hold::LOCKED && grabbed;
    XDefineCursor(_quarn_display, window_of(frame),
                  hidden ? _quarn_cursor(Cursor::HIDDEN) : frame->_quarn_backing->cursor);
}

void _quarn_raw_motion(XEvent& event) {
    if (event.type != GenericEvent || event.xcookie.extension != raw_opcode || raw_opcode <= 0) return;
    if (holder && how == Hold::LOCKED && grabbed && event.xcookie.evtype == XI_RawMotion) raw_motion(event.xcookie);
}

bool _quarn_pointer_lock_takes(FrameBase* frame, const XMotionEvent& motion) {
    if (frame != holder) return false;
    if (!grabbed) {
        // Not held (refused, or the focus is elsewhere): the pointer is the
        // user's, and its moves are the frame's as usual.
        grab();
        return false;
    }
    if (how == Hold::CONFINED) return false;
    if (raw_opcode < 0) recentre(motion);
    return true;
}

void _quarn_pointer_focus(FrameBase* frame, bool focused_now) {
    if (frame != holder) return;
    focused = focused_now;
    if (focused)
        grab();
    else
        ungrab();
}

void _quarn_pointer_crossing(FrameBase* frame, const XCrossingEvent& crossing) {
    // A forged crossing says nothing of the pointer.
    if (frame != holder || crossing.send_event) return;
    // The server ends a grab whose window stops being viewable (hidden,
    // iconified) and says nothing more than the pointer leaving the window,
    // which a confined grab otherwise allows only for a window put on top.
    if (grabbed && crossing.type == LeaveNotify && crossing.mode == NotifyNormal && crossing.detail != NotifyInferior) {
        XWindowAttributes attributes;
        if (XGetWindowAttributes(_quarn_display, window_of(frame), &attributes) && attributes.map_state != IsViewable) {
            grabbed = false;
            _quarn_show_cursor(frame);
        }
    }
    if (crossing.type == EnterNotify) {
        // Keys follow the pointer where the focus is PointerRoot or an
        // ancestor: entering gives the frame the keyboard then (`focus`).
        if (crossing.focus) focused = true;
        grab();
    } else if (!grabbed && crossing.mode == NotifyNormal && crossing.detail != NotifyInferior) {
        const int outside[2] = {-1, -1};
        focused = has_focus(frame, outside);
    }
}

void _quarn_pointer_lock_retry() {
    if (!holder || grabbed || !focused || Clock::now() < next_retry) return;
    grab();
}

void _quarn_pointer_lock_deinit() {
    if (holder) release();
    holder = nullptr;
    focused = grabbed = false;
    raw_opcode = 0;
    absolute_count = 0;
}

}  // namespace Frame
}  // namespace Quarn
