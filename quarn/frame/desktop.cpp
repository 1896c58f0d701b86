#include "quarn/frame/desktop.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xinerama.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "quarn/error_trap.h"
#include "quarn/frame/frame.h"
#include "quarn/frame/report.h"
#include "quarn/helpers.h"
#include "quarn/init.h"

namespace Quarn {
namespace Frame {

namespace {

// The program's name as started: the base name of argv[0].
std::string program_name() {
    if (const char* name = std::getenv("RESOURCE_NAME"); name && *name) return name;
    if (program_invocation_short_name && *program_invocation_short_name) return program_invocation_short_name;
    return "quarn";
}

}  // namespace

void _quarn_set_class(Window window, const std::string& instance, const std::string& class_name) {
    std::vector<char> instance_bytes(instance.c_str(), instance.c_str() + instance.size() + 1);
    std::vector<char> class_bytes(class_name.c_str(), class_name.c_str() + class_name.size() + 1);
    XClassHint hint{instance_bytes.data(), class_bytes.data()};
    XSetClassHint(_quarn_display, window, &hint);
}

void _quarn_name_application(Window window) {
    const std::string instance = program_name();
    std::string class_name = instance;
    class_name[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(class_name[0])));
    _quarn_set_class(window, instance, class_name);

    const long pid = static_cast<long>(getpid());
    XChangeProperty(_quarn_display, window, XInternAtom(_quarn_display, "_NET_WM_PID", False), XA_CARDINAL, 32,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(&pid), 1);

    char host[HOST_NAME_MAX + 1] = {};
    if (gethostname(host, sizeof host - 1) == 0) {
        XTextProperty machine{};
        char* names[] = {host};
        if (XStringListToTextProperty(names, 1, &machine)) {
            XSetWMClientMachine(_quarn_display, window, &machine);
            XFree(machine.value);
        }
    }
}

namespace {

// `utf8` (up to its first NUL) as COMPOUND_TEXT: Latin-1 characters in the
// text's initial sets, each run of others as a UTF-8 segment (ESC % G to
// ESC % @), as Xlib writes it in a UTF-8 locale. Made here because Xlib's
// own encoder follows the application's locale, and in "C" it silently drops
// every character that locale cannot show.
std::string to_compound_text(const std::string& utf8) {
    std::string compound;
    bool in_segment = false;
    const std::size_t length = std::strlen(utf8.c_str());
    for (std::size_t at = 0; at < length;) {
        const std::size_t start = at;
        const char32_t codepoint = _quarn_next_codepoint(utf8.c_str(), at);
        const bool wide = codepoint > 0xFF;
        if (wide != in_segment) compound += wide ? "\x1b%G" : "\x1b%@";
        in_segment = wide;
        if (wide)
            compound.append(utf8, start, at - start);
        else
            compound += static_cast<char>(codepoint);
    }
    if (in_segment) compound += "\x1b%@";
    return compound;
}

}  // namespace

void _quarn_set_title(Window window, const std::string& title) {
    // Managers that read only WM_NAME and WM_ICON_NAME (twm) take STRING as
    // Latin-1: a title that fits is written so (ASCII as XStoreName writes
    // it), any other as COMPOUND_TEXT.
    std::string latin1;
    const bool fits = _quarn_to_latin1(title.c_str(), latin1);
    std::string icccm = fits ? latin1 : to_compound_text(title);
    XTextProperty text{};
    text.value = reinterpret_cast<unsigned char*>(icccm.data());
    text.encoding = fits ? XA_STRING : XInternAtom(_quarn_display, "COMPOUND_TEXT", False);
    text.format = 8;
    text.nitems = icccm.size();
    XSetWMName(_quarn_display, window, &text);
    XSetWMIconName(_quarn_display, window, &text);

    const Atom utf8 = XInternAtom(_quarn_display, "UTF8_STRING", False);
    const auto* bytes = reinterpret_cast<const unsigned char*>(title.c_str());
    const int length = static_cast<int>(std::strlen(title.c_str()));
    for (const char* name : {"_NET_WM_NAME", "_NET_WM_ICON_NAME"})
        XChangeProperty(_quarn_display, window, XInternAtom(_quarn_display, name, False), utf8, 8, PropModeReplace,
                        bytes, length);
}

namespace {

// The most 32-bit items one ChangeProperty request carries: the server's
// longest request (with BIG-REQUESTS where it has it), in 4-byte units, less
// the request's 6 and the extended length's 1.
std::size_t property_room() {
    long units = XExtendedMaxRequestSize(_quarn_display);
    if (units == 0) units = XMaxRequestSize(_quarn_display);
    // XChangeProperty counts the items in an int.
    return static_cast<std::size_t>(std::clamp(units - 7, 0L, static_cast<long>(INT_MAX)));
}

// `from` (width x height RGBA) at half its width and height, each pixel the
// average of the up to four it replaces, their colours weighted by their
// alpha so transparent pixels do not darken the edges.
std::vector<unsigned char> halve(const unsigned char* from, int& width, int& height) {
    const int half_width = (width + 1) / 2, half_height = (height + 1) / 2;
    std::vector<unsigned char> half(static_cast<std::size_t>(half_width) * static_cast<std::size_t>(half_height) * 4);
    for (int y = 0; y < half_height; ++y)
        for (int x = 0; x < half_width; ++x) {
            unsigned long weighted[3] = {}, plain[3] = {}, alpha = 0, count = 0;
            for (int dy = 0; dy < 2 && 2 * y + dy < height; ++dy)
                for (int dx = 0; dx < 2 && 2 * x + dx < width; ++dx) {
                    const unsigned char* p =
                        from + 4 * (static_cast<std::size_t>(2 * y + dy) * static_cast<std::size_t>(width) +
                                    static_cast<std::size_t>(2 * x + dx));
                    for (int c = 0; c < 3; ++c) {
                        weighted[c] += static_cast<unsigned long>(p[c]) * p[3];
                        plain[c] += p[c];
                    }
                    alpha += p[3];
                    ++count;
                }
            unsigned char* q = &half[4 * (static_cast<std::size_t>(y) * static_cast<std::size_t>(half_width) +
                                          static_cast<std::size_t>(x))];
            for (int c = 0; c < 3; ++c)
                q[c] = static_cast<unsigned char>(alpha ? (weighted[c] + alpha / 2) / alpha
                                                        : (plain[c] + count / 2) / count);
            q[3] = static_cast<unsigned char>((alpha + count / 2) / count);
        }
    width = half_width;
    height = half_height;
    return half;
}

}  // namespace

void _quarn_set_icon(Window window, int width, int height, const unsigned char* rgba) {
    // A property larger than the server's longest request is a BadLength
    // error, which would end the process: the icon is halved until it fits.
    const std::size_t room = property_room();
    std::vector<unsigned char> scaled;
    while (2 + static_cast<std::size_t>(width) * static_cast<std::size_t>(height) > room && (width > 1 || height > 1)) {
        scaled = halve(rgba, width, height);
        rgba = scaled.data();
    }
    // Format 32 means a long per item on the client side, on 64-bit too.
    const std::size_t pixels = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    std::vector<unsigned long> icon(2 + pixels);
    icon[0] = static_cast<unsigned long>(width);
    icon[1] = static_cast<unsigned long>(height);
    for (std::size_t i = 0; i < pixels; ++i) {
        const unsigned char* p = rgba + 4 * i;
        icon[2 + i] = (static_cast<unsigned long>(p[3]) << 24) | (static_cast<unsigned long>(p[0]) << 16) |
                      (static_cast<unsigned long>(p[1]) << 8) | static_cast<unsigned long>(p[2]);
    }
    XChangeProperty(_quarn_display, window, XInternAtom(_quarn_display, "_NET_WM_ICON", False), XA_CARDINAL, 32,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(icon.data()),
                    static_cast<int>(icon.size()));
}

namespace {

Atom atom(const char* name) { return XInternAtom(_quarn_display, name, False); }

bool holds(const std::vector<long>& items, Atom wanted) {
    for (const long item : items)
        if (static_cast<Atom>(item) == wanted) return true;
    return false;
}

// Whether a window manager that speaks EWMH fullscreen runs: it lists the
// state in _NET_SUPPORTED, and the window it names in
// _NET_SUPPORTING_WM_CHECK still exists (a crashed manager leaves both).
bool manager_does_fullscreen() {
    const Window root = DefaultRootWindow(_quarn_display);
    if (!holds(_quarn_window_items(root, atom("_NET_SUPPORTED"), XA_ATOM), atom("_NET_WM_STATE_FULLSCREEN")))
        return false;
    const std::vector<long> check = _quarn_window_items(root, atom("_NET_SUPPORTING_WM_CHECK"), XA_WINDOW);
    if (check.empty()) return false;
    // The window is the manager's, and gone when it died (or never there, the
    // property stale or forged): reading it is a BadWindow error, which would
    // end the process.
    std::vector<long> named;
    const Atom supporting = atom("_NET_SUPPORTING_WM_CHECK");
    if (_quarn_trap_x_errors(
            [&] { named = _quarn_window_items(static_cast<Window>(check[0]), supporting, XA_WINDOW); }))
        return false;
    return named == check;
}

// Whether a manager manages the shown window: WM_STATE says NormalState or
// IconicState. Metacity and mutter leave WithdrawnState on a window they let
// go (as ICCCM allows), and ignore requests about it.
bool managed(const FrameBase* frame) {
    if (!frame->visible) return false;
    const std::vector<long> state =
        _quarn_window_items(frame->_quarn_backing->window, atom("WM_STATE"), atom("WM_STATE"));
    return !state.empty() && (state[0] == NormalState || state[0] == IconicState);
}

void send_state_request(Window window, bool add) {
    XEvent message{};
    message.xclient.type = ClientMessage;
    message.xclient.window = window;
    message.xclient.message_type = atom("_NET_WM_STATE");
    message.xclient.format = 32;
    message.xclient.data.l[0] = add ? 1 : 0;
    message.xclient.data.l[1] = static_cast<long>(atom("_NET_WM_STATE_FULLSCREEN"));
    message.xclient.data.l[3] = 1;  // from an application
    XSendEvent(_quarn_display, DefaultRootWindow(_quarn_display), False,
               SubstructureRedirectMask | SubstructureNotifyMask, &message);
}

// Tells the manager the monitor to cover, by its Xinerama index (top,
// bottom, left and right edges all on it), before the state request.
void send_monitors_request(Window window, int index) {
    XEvent message{};
    message.xclient.type = ClientMessage;
    message.xclient.window = window;
    message.xclient.message_type = atom("_NET_WM_FULLSCREEN_MONITORS");
    message.xclient.format = 32;
    for (int edge = 0; edge < 4; ++edge) message.xclient.data.l[edge] = index;
    message.xclient.data.l[4] = 1;  // from an application
    XSendEvent(_quarn_display, DefaultRootWindow(_quarn_display), False,
               SubstructureRedirectMask | SubstructureNotifyMask, &message);
}

// The index _NET_WM_FULLSCREEN_MONITORS takes for `monitor`: that of the
// Xinerama screen with its rectangle (RandR's monitors may be listed in
// another order, or split one output), or -1 where the manager does not list
// the request or no screen matches.
int xinerama_index(const Monitor& monitor) {
    const Window root = DefaultRootWindow(_quarn_display);
    if (!holds(_quarn_window_items(root, atom("_NET_SUPPORTED"), XA_ATOM), atom("_NET_WM_FULLSCREEN_MONITORS")))
        return -1;
    int event_base = 0, error_base = 0, count = 0;
    if (!XineramaQueryExtension(_quarn_display, &event_base, &error_base) || !XineramaIsActive(_quarn_display))
        return -1;
    const std::unique_ptr<XineramaScreenInfo, int (*)(void*)> screens(XineramaQueryScreens(_quarn_display, &count),
                                                                      XFree);
    for (int i = 0; screens && i < count; ++i) {
        const XineramaScreenInfo& screen = screens.get()[i];
        if (screen.x_org == monitor.x && screen.y_org == monitor.y && screen.width == monitor.width &&
            screen.height == monitor.height)
            return i;
    }
    return -1;
}

// Edits the _NET_WM_STATE property of a window no manager manages yet.
void edit_state_property(Window window, bool add) {
    const Atom fullscreen = atom("_NET_WM_STATE_FULLSCREEN");
    std::vector<long> states = _quarn_window_items(window, atom("_NET_WM_STATE"), XA_ATOM);
    std::vector<long> kept;
    for (const long state : states)
        if (static_cast<Atom>(state) != fullscreen) kept.push_back(state);
    if (add) kept.push_back(static_cast<long>(fullscreen));
    XChangeProperty(_quarn_display, window, atom("_NET_WM_STATE"), XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(kept.data()), static_cast<int>(kept.size()));
}

// The window as placed on the screen: its manager's frame where it has one
// (its x and y are what a move of the window asks for, decorations and all).
Window top_level(Window window) {
    const Window root = DefaultRootWindow(_quarn_display);
    for (Window parent = _quarn_parent_of(window); parent != root && parent != None; parent = _quarn_parent_of(window))
        window = parent;
    return window;
}

// Hides the window; a manager that reparented it must let it go first, or
// it would keep the window in its frame, and put back its old size and place
// when it did let go. So the window is withdrawn as ICCCM says (unmapped, and
// a synthetic UnmapNotify to the root), and the manager given up to a second
// to hand it back to the root window.
void withdraw(Window window) {
    const Window root = DefaultRootWindow(_quarn_display);
    XUnmapWindow(_quarn_display, window);
    if (_quarn_parent_of(window) == root) return;
    XEvent unmap{};
    unmap.xunmap.type = UnmapNotify;
    unmap.xunmap.event = root;
    unmap.xunmap.window = window;
    XSendEvent(_quarn_display, root, False, SubstructureRedirectMask | SubstructureNotifyMask, &unmap);
    for (int tries = 0; tries < 100 && _quarn_parent_of(window) != root; ++tries) usleep(10000);
    XSync(_quarn_display, False);
}

// The monitor that holds (x, y), else the one nearest to it.
Monitor monitor_at(int x, int y) {
    const std::vector<Monitor> monitors = get_monitors();
    const Monitor* best = &monitors.front();
    long best_distance = -1;
    for (const Monitor& monitor : monitors) {
        const long dx =
            std::max({0L, static_cast<long>(monitor.x) - x, static_cast<long>(x) - (monitor.x + monitor.width - 1)});
        const long dy =
            std::max({0L, static_cast<long>(monitor.y) - y, static_cast<long>(y) - (monitor.y + monitor.height - 1)});
        const long distance = dx * dx + dy * dy;
        if (best_distance < 0 || distance < best_distance) {
            best = &monitor;
            best_distance = distance;
        }
    }
    return *best;
}

// Without an EWMH manager: the window leaves any manager (override-redirect)
// and covers `monitor`, or the monitor that holds its centre (not the whole X
// screen, which spans every monitor), or goes back where it was.
void cover_screen(FrameBase* frame, bool cover, const Monitor* monitor) {
    _quarn_FrameBacking& backing = *frame->_quarn_backing;
    const Window window = backing.window;
    const bool shown = frame->visible;
    if (cover && !shown) {
        // A manager that redirects configure requests may not have granted
        // the size and place asked for yet: the server's would be the
        // window's first, which the frame never had.
        backing.windowed[0] = frame->position[0];
        backing.windowed[1] = frame->position[1];
        backing.windowed[2] = frame->dimensions[0];
        backing.windowed[3] = frame->dimensions[1];
    } else if (cover) {
        XWindowAttributes attributes{};
        XGetWindowAttributes(_quarn_display, window, &attributes);
        backing.windowed[0] = attributes.x;
        backing.windowed[1] = attributes.y;
        backing.windowed[2] = attributes.width;
        backing.windowed[3] = attributes.height;
        // The manager's frame may go at any moment (the manager ending).
        _quarn_trap_x_errors([&] {
            Window root = None;
            int x = 0, y = 0;
            unsigned int width = 0, height = 0, border = 0, depth = 0;
            if (XGetGeometry(_quarn_display, top_level(window), &root, &x, &y, &width, &height, &border, &depth)) {
                backing.windowed[0] = x;
                backing.windowed[1] = y;
            }
        });
    }
    if (shown) withdraw(window);
    XSetWindowAttributes attributes{};
    attributes.override_redirect = cover ? True : False;
    XChangeWindowAttributes(_quarn_display, window, CWOverrideRedirect, &attributes);
    if (cover) {
        const Monitor covered = monitor ? *monitor
                                        : monitor_at(backing.windowed[0] + backing.windowed[2] / 2,
                                                     backing.windowed[1] + backing.windowed[3] / 2);
        XMoveResizeWindow(_quarn_display, window, covered.x, covered.y, static_cast<unsigned int>(covered.width),
                          static_cast<unsigned int>(covered.height));
    } else
        XMoveResizeWindow(_quarn_display, window, backing.windowed[0], backing.windowed[1],
                          static_cast<unsigned int>(backing.windowed[2]),
                          static_cast<unsigned int>(backing.windowed[3]));
    if (shown) XMapRaised(_quarn_display, window);
    backing.covering = cover;
}

// The property mask a waiting request needs, beyond what RESIZE selects.
void watch_properties(FrameBase* frame, bool watch) {
    if (_quarn_reports(frame, Flags::Report::RESIZE)) return;
    _quarn_select_input(frame->_quarn_backing->window, watch ? PropertyChangeMask : 0, watch ? 0 : PropertyChangeMask);
}

// Sends the waiting request once the manager manages the window.
void send_when_managed(FrameBase* frame) {
    _quarn_FrameBacking& backing = *frame->_quarn_backing;
    if (!managed(frame)) return;
    backing.fullscreen_waiting = false;
    watch_properties(frame, false);
    if (backing.fullscreen_wanted && backing.fullscreen_monitors >= 0)
        send_monitors_request(backing.window, backing.fullscreen_monitors);
    backing.fullscreen_monitors = -1;
    send_state_request(backing.window, backing.fullscreen_wanted);
}

}  // namespace

void _quarn_set_fullscreen(FrameBase* frame, bool fullscreen, const Monitor* monitor) {
    _quarn_FrameBacking& backing = *frame->_quarn_backing;
    const Window window = backing.window;
    const bool asked_before = backing.fullscreen_wanted;
    backing.fullscreen_wanted = fullscreen;
    if (!fullscreen) monitor = nullptr;
    // A cover of the library's own is taken back by the library, even where
    // an EWMH manager has started since.
    if (backing.covering || !manager_does_fullscreen()) {
        if (backing.covering != fullscreen)
            cover_screen(frame, fullscreen, monitor);
        else if (backing.covering && monitor)
            XMoveResizeWindow(_quarn_display, window, monitor->x, monitor->y, static_cast<unsigned int>(monitor->width),
                              static_cast<unsigned int>(monitor->height));
        return;
    }
    const int monitors_index = monitor ? xinerama_index(*monitor) : -1;
    if (monitor && monitors_index < 0) {
        // A manager that cannot be told the monitor covers the one the
        // window is on; one that has it fullscreen elsewhere lets it go first.
        if (managed(frame) &&
            holds(_quarn_window_items(window, atom("_NET_WM_STATE"), XA_ATOM), atom("_NET_WM_STATE_FULLSCREEN")))
            send_state_request(window, false);
        frame->set_position(monitor->x + (monitor->width - frame->dimensions[0]) / 2,
                            monitor->y + (monitor->height - frame->dimensions[1]) / 2);
    }
    // The manager updates _NET_WM_STATE only once it has acted on a request,
    // so a request just made may not show there yet (on and at once off);
    // and the user may have changed the state through the manager since.
    // Only a state both the property and the last request agree on is kept.
    const bool now =
        holds(_quarn_window_items(window, atom("_NET_WM_STATE"), XA_ATOM), atom("_NET_WM_STATE_FULLSCREEN"));
    if (now == fullscreen && asked_before == fullscreen && !monitor) return;
    const long bypass = 1;
    if (fullscreen)
        XChangeProperty(_quarn_display, window, atom("_NET_WM_BYPASS_COMPOSITOR"), XA_CARDINAL, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(&bypass), 1);
    else
        XDeleteProperty(_quarn_display, window, atom("_NET_WM_BYPASS_COMPOSITOR"));
    if (managed(frame)) {
        if (monitors_index >= 0) send_monitors_request(window, monitors_index);
        send_state_request(window, fullscreen);
        if (backing.fullscreen_waiting) watch_properties(frame, false);
        backing.fullscreen_waiting = false;
        // A manager that took the window fullscreen has no windowed size of
        // its own to go back to (mutter gives the frame's size to its
        // decorations, icewm keeps covering the screen): the frame asks for
        // its own, after the request, which the manager handles first.
        if (!fullscreen && backing.opened_fullscreen)
            XMoveResizeWindow(_quarn_display, window, backing.windowed[0], backing.windowed[1],
                              static_cast<unsigned int>(backing.windowed[2]),
                              static_cast<unsigned int>(backing.windowed[3]));
        backing.opened_fullscreen = false;
        return;
    }
    // A manager ignores requests for windows it does not manage: it reads the
    // property when it takes the window instead, and a request follows once
    // it has, in case it read it before. The way back is the frame's own
    // place and size, not the server's: a manager may still hold the frame's
    // configure requests, the window at its first size meanwhile.
    if (fullscreen && !backing.opened_fullscreen) {
        backing.windowed[0] = frame->position[0];
        backing.windowed[1] = frame->position[1];
        backing.windowed[2] = frame->dimensions[0];
        backing.windowed[3] = frame->dimensions[1];
    }
    backing.opened_fullscreen = fullscreen;
    backing.fullscreen_monitors = monitors_index;
    edit_state_property(window, fullscreen);
    if (frame->visible && !backing.fullscreen_waiting) {
        backing.fullscreen_waiting = true;
        watch_properties(frame, true);
        // The manager may have taken the window between the read above and
        // the watch: its WM_STATE would then never be seen changing.
        send_when_managed(frame);
    }
}

void _quarn_fullscreen_property(FrameBase* frame, const XPropertyEvent& property) {
    if (!frame->_quarn_backing->fullscreen_waiting || property.atom != atom("WM_STATE") ||
        property.state != PropertyNewValue)
        return;
    send_when_managed(frame);
}

}  // namespace Frame
}  // namespace Quarn
