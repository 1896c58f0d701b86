#include "quarn/testing/input.h"

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <iterator>
#include <stdexcept>

#include "quarn/frame/frame.h"
#include "quarn/helpers.h"
#include "quarn/init.h"
#include "quarn/input/events/helpers.h"
#include "quarn/input/state.h"
#include "quarn/testing/pump.h"

namespace Quarn {
namespace Testing {

// The server Quarn is connected to, once the library is started; $DISPLAY
// before, which a Server made later may change.
Input::Input() : display_(XOpenDisplay(_quarn_display ? DisplayString(_quarn_display) : nullptr)) {
    if (!display_) throw std::runtime_error("Quarn::Testing::Input: cannot connect to the X server");
}

Input::~Input() {
    // The spare keycodes get their emptiness back.
    KeySym none = NoSymbol;
    for (const auto& [keysym, code] : borrowed_) XChangeKeyboardMapping(display_, code, 1, &none, 1);
    XCloseDisplay(display_);
}

// The keycode that types `keysym`, and whether it needs Shift; a key symbol
// the keymap lacks is given a spare keycode (one without symbols).
KeyCode Input::keycode_for(KeySym keysym, bool& shifted) {
    shifted = false;
    // This connection's copy of the keymap does not know the keycodes it lent yet.
    for (const auto& [lent, code] : borrowed_)
        if (lent == keysym) return code;
    if (const KeyCode code = XKeysymToKeycode(display_, keysym)) {
        XKeyEvent key{};
        key.display = display_;
        key.keycode = code;
        shifted = XLookupKeysym(&key, 0) != keysym;
        return code;
    }
    int min_code = 0, max_code = 0, per_code = 0;
    XDisplayKeycodes(display_, &min_code, &max_code);
    KeySym* map = XGetKeyboardMapping(display_, static_cast<KeyCode>(min_code), max_code - min_code + 1, &per_code);
    KeyCode spare = 0;
    for (int code = max_code; code >= min_code && !spare; --code) {
        bool empty = true;
        for (int i = 0; i < per_code; ++i) empty = empty && map[(code - min_code) * per_code + i] == NoSymbol;
        // Keycodes lent already still look empty to this connection.
        for (const auto& lent : borrowed_) empty = empty && lent.second != code;
        if (empty) spare = static_cast<KeyCode>(code);
    }
    XFree(map);
    if (!spare) throw std::runtime_error("Quarn::Testing::Input: the keyboard has no spare key for a key symbol");
    // A key with one symbol stands for [lower case, upper case] of it (X's
    // rule for alphabetic keys), so "É" alone would type "é": the symbol goes
    // in both columns, and the key types it as asked with or without Shift.
    KeySym both[] = {keysym, keysym};
    XChangeKeyboardMapping(display_, spare, 2, both, 1);
    XSync(display_, False);
    borrowed_.emplace_back(keysym, spare);
    return spare;
}

// The frame's window once the server has it on screen.
Window Input::shown(const Frame::FrameBase& frame) {
    if (!wait_shown(frame))
        throw std::runtime_error("Quarn::Testing::Input: the frame is not shown (call set_show first)");
    return frame._quarn_backing->window;
}

void Input::focus(const Frame::FrameBase& frame) {
    const Window window = shown(frame);
    Window focused = None;
    int revert = 0;
    XGetInputFocus(display_, &focused, &revert);
    if (focused != window) XSetInputFocus(display_, window, RevertToPointerRoot, CurrentTime);
}

// X marks the keyboard's auto-repeat only by a release and a press of one
// key at the same server time, which a program's input can match by chance:
// a press that follows the key's own release waits a millisecond (XTest's
// delay), so the server's clock moves on between the two.
void Input::send_key(KeyCode code, bool press) {
    const unsigned long delay_ms = press && code == last_released_ ? 1 : 0;
    XTestFakeKeyEvent(display_, code, press, delay_ms);
    if (!press)
        last_released_ = code;
    else if (code == last_released_)
        last_released_ = 0;
}

void Input::fake_key(const Frame::FrameBase& frame, KeySym keysym, bool press) {
    bool shifted = false;
    const KeyCode code = keycode_for(keysym, shifted);
    focus(frame);
    send_key(code, press);
    XSync(display_, False);
}

void Input::key(const Frame::FrameBase& frame, KeySym keysym) {
    fake_key(frame, keysym, true);
    fake_key(frame, keysym, false);
}

void Input::key(const Frame::FrameBase& frame, KeySym keysym, Flags::Modifier modifiers) {
    using Flags::Modifier;
    struct Held {
        Modifier modifier;
        KeySym keysym;
    };
    static const Held kHeld[] = {{Modifier::CONTROL, XK_Control_L},
                                 {Modifier::SHIFT, XK_Shift_L},
                                 {Modifier::ALT, XK_Alt_L},
                                 {Modifier::SUPER, XK_Super_L}};
    static const Held kLocks[] = {{Modifier::CAPS_LOCK, XK_Caps_Lock}, {Modifier::NUM_LOCK, XK_Num_Lock}};
    // A lock already on stays on; one turned on here is turned off after.
    XkbStateRec keyboard{};
    XkbGetState(display_, XkbUseCoreKbd, &keyboard);
    std::vector<KeySym> toggled;
    for (const Held& lock : kLocks) {
        const unsigned int mask = XkbKeysymToModifiers(display_, lock.keysym);
        if ((modifiers & lock.modifier) && !(mask && (keyboard.locked_mods & mask))) toggled.push_back(lock.keysym);
    }
    const auto tap = [&](KeySym tapped) {
        fake_key(frame, tapped, true);
        fake_key(frame, tapped, false);
    };
    for (const KeySym lock : toggled) tap(lock);
    for (const Held& held : kHeld)
        if (modifiers & held.modifier) fake_key(frame, held.keysym, true);
    tap(keysym);
    for (auto held = std::rbegin(kHeld); held != std::rend(kHeld); ++held)
        if (modifiers & held->modifier) fake_key(frame, held->keysym, false);
    for (const KeySym lock : toggled) tap(lock);
}

void Input::press_key(const Frame::FrameBase& frame, KeySym keysym) { fake_key(frame, keysym, true); }
void Input::release_key(const Frame::FrameBase& frame, KeySym keysym) { fake_key(frame, keysym, false); }

XPoint Input::on_screen(const Frame::FrameBase& frame, int x, int y) {
    int root_x = 0, root_y = 0;
    Window child = None;
    XTranslateCoordinates(display_, shown(frame), DefaultRootWindow(display_), x, y, &root_x, &root_y, &child);
    return XPoint{static_cast<short>(root_x), static_cast<short>(root_y)};
}

void Input::fake_motion(XPoint to) {
    XTestFakeMotionEvent(display_, DefaultScreen(display_), to.x, to.y, CurrentTime);
    XSync(display_, False);
}

void Input::move(const Frame::FrameBase& frame, int x, int y) { fake_motion(on_screen(frame, x, y)); }

void Input::move_by(int dx, int dy) {
    XTestFakeRelativeMotionEvent(display_, dx, dy, CurrentTime);
    XSync(display_, False);
}

void Input::fake_button(const Frame::FrameBase& frame, int x, int y, unsigned int button, bool press) {
    // XTest reports a motion even to the point the pointer is at already.
    // Button events carry no position for the frame, so a press is preceded
    // by a motion there unless the pointer is there and the frame's state has
    // that point already; a release moves the pointer only when it must (a drag).
    const XPoint to = on_screen(frame, x, y);
    Window root = None, child = None;
    int pointer_x = 0, pointer_y = 0, window_x = 0, window_y = 0;
    unsigned int modifiers = 0;
    XQueryPointer(display_, DefaultRootWindow(display_), &root, &child, &pointer_x, &pointer_y, &window_x, &window_y,
                  &modifiers);
    const bool elsewhere = pointer_x != to.x || pointer_y != to.y;
    const int* known = frame.input_state->mouse_position;
    if (elsewhere || (press && (known[0] != x || known[1] != y))) fake_motion(to);
    XTestFakeButtonEvent(display_, button, press, CurrentTime);
    XSync(display_, False);
}

void Input::click(const Frame::FrameBase& frame, int x, int y, unsigned int button) {
    fake_button(frame, x, y, button, true);
    fake_button(frame, x, y, button, false);
}

void Input::press_button(const Frame::FrameBase& frame, int x, int y, unsigned int button) {
    fake_button(frame, x, y, button, true);
}

void Input::release_button(const Frame::FrameBase& frame, int x, int y, unsigned int button) {
    fake_button(frame, x, y, button, false);
}

namespace {

// X names Latin-1 characters by their code point, and the rest as 0x1000000 + it.
KeySym keysym_of(char32_t codepoint) {
    return codepoint <= 0xFF ? static_cast<KeySym>(codepoint) : static_cast<KeySym>(0x1000000 | codepoint);
}

}  // namespace

void Input::type(const Frame::FrameBase& frame, const std::string& utf8) {
    for (std::size_t at = 0; at < utf8.size();) {
        const KeySym keysym = keysym_of(_quarn_next_codepoint(utf8.c_str(), at));
        bool shifted = false;
        const KeyCode code = keycode_for(keysym, shifted);
        focus(frame);
        const KeyCode shift = XKeysymToKeycode(display_, XK_Shift_L);
        if (shifted) send_key(shift, true);
        send_key(code, true);
        send_key(code, false);
        if (shifted) send_key(shift, false);
        XSync(display_, False);
    }
}

void Input::scroll(const Frame::FrameBase& frame, int x, int y, int notches, int sideways) {
    move(frame, x, y);
    const auto turn = [this](unsigned int button, int times) {
        for (int i = 0; i < times; ++i) {
            XTestFakeButtonEvent(display_, button, True, CurrentTime);
            XTestFakeButtonEvent(display_, button, False, CurrentTime);
        }
    };
    turn(notches > 0 ? 4 : 5, notches > 0 ? notches : -notches);
    turn(sideways > 0 ? 7 : 6, sideways > 0 ? sideways : -sideways);
    XSync(display_, False);
}

namespace {

bool manager_supports(Display* display, const char* name) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    XGetWindowProperty(display, DefaultRootWindow(display), XInternAtom(display, "_NET_SUPPORTED", False), 0, 4096,
                       False, XA_ATOM, &type, &format, &count, &after, &data);
    const Atom wanted = XInternAtom(display, name, False);
    bool found = false;
    for (unsigned long i = 0; i < count && format == 32; ++i)
        found = found || static_cast<Atom>(reinterpret_cast<long*>(data)[i]) == wanted;
    if (data) XFree(data);
    return found;
}

// A request to the window manager about `window`, as EWMH has them sent.
void send_to_manager(Display* display, Window window, const char* type, const long (&data)[5]) {
    XEvent message{};
    message.xclient.type = ClientMessage;
    message.xclient.window = window;
    message.xclient.message_type = XInternAtom(display, type, False);
    message.xclient.format = 32;
    for (int i = 0; i < 5; ++i) message.xclient.data.l[i] = data[i];
    XSendEvent(display, DefaultRootWindow(display), False, SubstructureRedirectMask | SubstructureNotifyMask, &message);
    XSync(display, False);
}

}  // namespace

void Input::resize(const Frame::FrameBase& frame, int width, int height) {
    const Window window = shown(frame);
    if (manager_supports(display_, "_NET_MOVERESIZE_WINDOW")) {
        // Gravity from the window, width and height given, from a pager or tool (2).
        const long flags = (1L << 10) | (1L << 11) | (2L << 12);
        send_to_manager(display_, window, "_NET_MOVERESIZE_WINDOW", {flags, 0, 0, width, height});
    } else {
        XResizeWindow(display_, window, static_cast<unsigned int>(width), static_cast<unsigned int>(height));
        XSync(display_, False);
    }
}

void Input::send_wm_state(Window window, long action) {
    send_to_manager(display_, window, "_NET_WM_STATE",
                    {action, static_cast<long>(XInternAtom(display_, "_NET_WM_STATE_MAXIMIZED_VERT", False)),
                     static_cast<long>(XInternAtom(display_, "_NET_WM_STATE_MAXIMIZED_HORZ", False)), 1, 0});
}

void Input::maximize(const Frame::FrameBase& frame) { send_wm_state(shown(frame), 1); }

void Input::minimize(const Frame::FrameBase& frame) {
    XIconifyWindow(display_, shown(frame), DefaultScreen(display_));
    XSync(display_, False);
}

void Input::restore(const Frame::FrameBase& frame) {
    const Window window = frame._quarn_backing->window;
    send_wm_state(window, 0);
    // As a task bar does: activating an iconic window brings it back.
    if (manager_supports(display_, "_NET_ACTIVE_WINDOW"))
        send_to_manager(display_, window, "_NET_ACTIVE_WINDOW", {2, CurrentTime, 0, 0, 0});
    else
        XMapWindow(display_, window);
    XSync(display_, False);
}

void Input::close(const Frame::FrameBase& frame) {
    const Window window = frame._quarn_backing->window;
    if (_quarn_display) XSync(_quarn_display, False);
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display_, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display_, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    // An empty event mask delivers the message to the window's creator.
    XSendEvent(display_, window, False, NoEventMask, &event);
    XSync(display_, False);
}

void Input::set_layout(const std::string& layout) {
    const std::string display = DisplayString(display_);
    const char* argv[] = {"setxkbmap", "-display", display.c_str(), "-layout", layout.c_str(), nullptr};
    pid_t child = 0;
    if (posix_spawnp(&child, "setxkbmap", nullptr, nullptr, const_cast<char* const*>(argv), environ) != 0)
        throw std::runtime_error("Quarn::Testing::Input: cannot run setxkbmap (is x11-xkb-utils installed?)");
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error("Quarn::Testing::Input: setxkbmap refused the layout " + layout);
    // The spare keycodes went with the old keymap.
    borrowed_.clear();
    // The server told every client before answering setxkbmap: a round trip
    // brings this connection's notice, and its copy of the keymap follows.
    XSync(display_, False);
    while (XPending(display_)) {
        XEvent event;
        XNextEvent(display_, &event);
        if (event.type == MappingNotify) XRefreshKeyboardMapping(&event.xmapping);
    }
}

}  // namespace Testing
}  // namespace Quarn

namespace Quarn {
namespace Testing {

namespace {

using DragClock = std::chrono::steady_clock;

// Another client's answers come in time or never.
constexpr std::chrono::milliseconds kDragPatience{5000};

// Data larger than this go in pieces of this size (INCR), as large selections do.
constexpr std::size_t kDragPiece = std::size_t{256} * 1024;

std::string file_uri(const std::string& path) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string uri = "file://";
    for (const char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        if (std::isalnum(byte) || std::strchr("-._~/", c)) {
            uri += c;
        } else {
            uri += '%';
            uri += kHex[byte >> 4];
            uri += kHex[byte & 15];
        }
    }
    return uri;
}

void send_xdnd(Display* display, Window to, Atom type, const long (&data)[5]) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = to;
    event.xclient.message_type = type;
    event.xclient.format = 32;
    for (int i = 0; i < 5; ++i) event.xclient.data.l[i] = data[i];
    XSendEvent(display, to, False, NoEventMask, &event);
    XFlush(display);
}

}  // namespace

Input::Drag Input::drag_files(const Frame::FrameBase& frame, const std::vector<std::string>& paths, int x, int y) {
    std::string list;
    for (const std::string& path : paths) list += file_uri(path) + "\r\n";
    return drag(frame, {"text/uri-list"}, list, x, y);
}

Input::Drag Input::drag_text(const Frame::FrameBase& frame, const std::string& utf8, int x, int y) {
    return drag(frame, {"text/plain;charset=utf-8", "UTF8_STRING", "text/plain", "COMPOUND_TEXT"}, utf8, x, y);
}

Input::Drag Input::drag(const Frame::FrameBase& frame, const std::vector<std::string>& types, const std::string& data,
                        int x, int y, DragEnd end) {
    return drag(shown(frame), types, data, x, y, end);
}

Input::Drag Input::drag(Window window, const std::vector<std::string>& types, const std::string& data, int x, int y,
                        DragEnd end) {
    const char* const names[] = {"XdndAware", "XdndEnter",    "XdndPosition",  "XdndStatus",   "XdndLeave",
                                 "XdndDrop",  "XdndFinished", "XdndSelection", "XdndTypeList", "XdndActionCopy"};
    Atom atom[10];
    XInternAtoms(display_, const_cast<char**>(names), 10, False, atom);
    const Atom aware = atom[0], enter = atom[1], position = atom[2], status = atom[3], leave = atom[4], drop = atom[5],
               finished = atom[6], selection = atom[7], type_list = atom[8], copy = atom[9];
    std::vector<Atom> offered;
    offered.reserve(types.size());
    for (const std::string& type : types) offered.push_back(XInternAtom(display_, type.c_str(), False));

    Drag result;
    const Window root = DefaultRootWindow(display_);
    const Window source = XCreateSimpleWindow(display_, root, 0, 0, 1, 1, 0, 0, 0);
    if (offered.size() > 3)
        XChangeProperty(display_, source, type_list, XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(offered.data()), static_cast<int>(offered.size()));
    const std::vector<long> version = [&] {
        Atom type = None;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* bytes = nullptr;
        std::vector<long> items;
        if (XGetWindowProperty(display_, window, aware, 0, 1, False, XA_ATOM, &type, &format, &count, &after, &bytes) ==
                Success &&
            format == 32 && count == 1)
            items.push_back(reinterpret_cast<long*>(bytes)[0]);
        if (bytes) XFree(bytes);
        return items;
    }();
    result.aware = !version.empty();
    const long speaking = result.aware ? std::min(version[0], 5L) : 5;
    int root_x = 0, root_y = 0;
    Window child = None;
    XTranslateCoordinates(display_, window, root, x, y, &root_x, &root_y, &child);

    // Takes this connection's events while running Quarn's pump, where it
    // runs here, until `done` holds or an answer is overdue.
    auto await = [&](auto&& take, auto&& done) {
        const auto deadline = DragClock::now() + kDragPatience;
        while (!done()) {
            while (XPending(display_)) {
                XEvent event;
                XNextEvent(display_, &event);
                take(event);
            }
            if (done()) return true;
            if (_quarn_display) Quarn::Input::Events::handle();
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - DragClock::now());
            if (left.count() <= 0) return false;
            // Slices, so the pump here gets to check its own deadlines.
            pollfd connections[2] = {{ConnectionNumber(display_), POLLIN, 0},
                                     {_quarn_display ? ConnectionNumber(_quarn_display) : -1, POLLIN, 0}};
            poll(connections, 2, static_cast<int>(std::min<long>(left.count(), 50)));
        }
        return true;
    };
    bool status_came = false;
    bool vanished = false;
    const Atom incr = XInternAtom(display_, "INCR", False);
    struct {
        Window requestor;
        Atom property, type;
        std::size_t sent;
    } pieces{None, None, None, 0};
    auto take = [&](const XEvent& event) {
        if (vanished) return;
        if (event.type == ClientMessage && event.xclient.window == source) {
            if (event.xclient.message_type == status) {
                status_came = true;
                result.accepted = event.xclient.data.l[1] & 1;
            } else if (event.xclient.message_type == finished) {
                result.finished = true;
                result.succeeded = event.xclient.data.l[1] & 1;
            }
        } else if (event.type == PropertyNotify && pieces.requestor != None &&
                   event.xproperty.window == pieces.requestor && event.xproperty.atom == pieces.property &&
                   event.xproperty.state == PropertyDelete) {
            // The last piece has no bytes.
            const std::size_t piece = std::min(kDragPiece, data.size() - pieces.sent);
            XChangeProperty(display_, pieces.requestor, pieces.property, pieces.type, 8, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(data.data() + pieces.sent), static_cast<int>(piece));
            pieces.sent += piece;
            if (piece == 0) {
                XSelectInput(display_, pieces.requestor, NoEventMask);
                pieces.requestor = None;
            }
            XFlush(display_);
        } else if (event.type == SelectionRequest && event.xselectionrequest.owner == source) {
            const XSelectionRequestEvent& request = event.xselectionrequest;
            result.asked = true;
            if (end == DragEnd::SILENT) return;
            if (end == DragEnd::VANISH) {
                XDestroyWindow(display_, source);
                XSync(display_, False);
                vanished = true;
                return;
            }
            XEvent reply{};
            reply.xselection.type = SelectionNotify;
            reply.xselection.requestor = request.requestor;
            reply.xselection.selection = request.selection;
            reply.xselection.target = request.target;
            reply.xselection.time = request.time;
            reply.xselection.property = None;
            if (std::find(offered.begin(), offered.end(), request.target) != offered.end()) {
                if (data.size() > kDragPiece) {
                    // In pieces (ICCCM's INCR): each once the requestor deleted the last.
                    XSelectInput(display_, request.requestor, PropertyChangeMask);
                    const long size = static_cast<long>(data.size());
                    XChangeProperty(display_, request.requestor, request.property, incr, 32, PropModeReplace,
                                    reinterpret_cast<const unsigned char*>(&size), 1);
                    pieces = {request.requestor, request.property, request.target, 0};
                } else {
                    XChangeProperty(display_, request.requestor, request.property, request.target, 8, PropModeReplace,
                                    reinterpret_cast<const unsigned char*>(data.data()), static_cast<int>(data.size()));
                }
                reply.xselection.property = request.property;
            }
            XSendEvent(display_, request.requestor, False, NoEventMask, &reply);
            XFlush(display_);
        }
    };

    long enter_data[5] = {static_cast<long>(source), (speaking << 24) | (offered.size() > 3 ? 1 : 0), None, None, None};
    for (std::size_t i = 0; i < offered.size() && i < 3; ++i) enter_data[2 + i] = static_cast<long>(offered[i]);
    send_xdnd(display_, window, enter, enter_data);
    send_xdnd(display_, window, position,
              {static_cast<long>(source), 0, (static_cast<long>(root_x) << 16) | (root_y & 0xFFFF), CurrentTime,
               static_cast<long>(copy)});
    // A window that is not aware may say nothing at all.
    await(take, [&] { return status_came; });
    if (result.accepted || end != DragEnd::AS_USUAL) {
        XSetSelectionOwner(display_, selection, source, CurrentTime);
        send_xdnd(display_, window, drop, {static_cast<long>(source), 0, CurrentTime, 0, 0});
        await(take, [&] { return result.finished || vanished; });
    } else {
        send_xdnd(display_, window, leave, {static_cast<long>(source), 0, 0, 0, 0});
    }
    if (!vanished) XDestroyWindow(display_, source);
    XSync(display_, False);
    return result;
}

}  // namespace Testing
}  // namespace Quarn
