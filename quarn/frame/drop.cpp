#include "quarn/frame/drop.h"

#include <X11/Xatom.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <utility>

#include "quarn/error_trap.h"
#include "quarn/flags.h"
#include "quarn/frame/frame.h"
#include "quarn/frame/helpers.h"
#include "quarn/frame/report.h"
#include "quarn/helpers.h"
#include "quarn/init.h"
#include "quarn/input/events/helpers.h"

namespace Quarn {
namespace Frame {

namespace {

using Clock = std::chrono::steady_clock;

constexpr long kVersion = 5;

// How long a source may take to hand its data over after the drop, and then
// between two pieces of a large one; and the most a drop may bring.
constexpr std::chrono::milliseconds kPatience{3000};
constexpr std::size_t kLargestDrop = std::size_t{64} << 20;

struct Atoms {
    Display* display = nullptr;
    Atom aware, enter, position, status, leave, drop, finished, selection, type_list, copy, incr, property;
    // The forms taken, the one preferred first: files, then UTF-8 text.
    Atom uri_list, utf8_mime, utf8_string, plain;
};

// Made at the first client message of a connection.
const Atoms& atoms() {
    static Atoms made;
    if (made.display != _quarn_display) {
        const char* const names[] = {"XdndAware",     "XdndEnter",
                                     "XdndPosition",  "XdndStatus",
                                     "XdndLeave",     "XdndDrop",
                                     "XdndFinished",  "XdndSelection",
                                     "XdndTypeList",  "XdndActionCopy",
                                     "INCR",          "QUARN_DROP",
                                     "text/uri-list", "text/plain;charset=utf-8",
                                     "UTF8_STRING",   "text/plain"};
        constexpr int kCount = sizeof names / sizeof names[0];
        Atom found[kCount];
        XInternAtoms(_quarn_display, const_cast<char**>(names), kCount, False, found);
        made = {_quarn_display, found[0], found[1],  found[2],  found[3],  found[4],  found[5],  found[6], found[7],
                found[8],       found[9], found[10], found[11], found[12], found[13], found[14], found[15]};
    }
    return made;
}

// The drag in progress: there is one pointer, so one at a time.
struct Drag {
    Window target = None;  // the frame's window
    Window source = None;  // the source's, another client's
    Atom type = None;      // the form chosen; None where none is taken
    int x = 0, y = 0;      // in the frame, where the pointer was at the last position
    bool reading = false;  // dropped: the data are on their way
    bool pieces = false;   // and come in pieces (INCR)
    std::string data;
    Clock::time_point deadline;
};

Drag drag;
Window reader = None;  // the library's window that the data are written to

// Sends `source` a message about the drag: the source's window is another
// client's and may be gone, so its errors are trapped.
void tell(Window source, Window target, Atom type, long l1, long l2, long l4) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = source;
    event.xclient.message_type = type;
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(target);
    event.xclient.data.l[1] = l1;
    event.xclient.data.l[2] = l2;
    event.xclient.data.l[3] = 0;
    event.xclient.data.l[4] = l4;
    _quarn_trap_x_errors([&] { XSendEvent(_quarn_display, source, False, NoEventMask, &event); });
}

// Ends the drag, telling the source whether the data were taken.
void finish(bool accepted) {
    tell(drag.source, drag.target, atoms().finished, accepted ? 1 : 0,
         accepted ? static_cast<long>(atoms().copy) : None, 0);
    drag = Drag{};
}

Atom chosen(const std::vector<Atom>& offered) {
    const Atoms& a = atoms();
    for (const Atom wanted : {a.uri_list, a.utf8_mime, a.utf8_string, a.plain})
        for (const Atom type : offered)
            if (type == wanted) return wanted;
    return None;
}

void enter(FrameBase* frame, const XClientMessageEvent& message) {
    // A new drag ends one whose source never handed its data over.
    if (drag.reading) finish(false);
    drag = Drag{};
    if (!_quarn_reports(frame, Flags::Report::DROP)) return;
    const auto source = static_cast<Window>(message.data.l[0]);
    std::vector<Atom> offered;
    if (message.data.l[1] & 1) {
        // More than three forms: the source lists them on its window.
        std::vector<long> listed;
        _quarn_trap_x_errors([&] { listed = _quarn_window_items(source, atoms().type_list, XA_ATOM); });
        for (const long type : listed) offered.push_back(static_cast<Atom>(type));
    } else {
        for (int i = 2; i < 5; ++i) offered.push_back(static_cast<Atom>(message.data.l[i]));
    }
    drag.target = frame->_quarn_backing->window;
    drag.source = source;
    drag.type = chosen(offered);
}

bool ours(const FrameBase* frame, Window source) {
    return _quarn_reports(frame, Flags::Report::DROP) && drag.source == source &&
           drag.target == frame->_quarn_backing->window && drag.type != None && !drag.reading;
}

void position(FrameBase* frame, const XClientMessageEvent& message) {
    const auto source = static_cast<Window>(message.data.l[0]);
    const bool accept = ours(frame, source);
    if (accept) {
        // Translated now: the window may move before the drop.
        const int root_x = static_cast<int>((message.data.l[2] >> 16) & 0xFFFF);
        const int root_y = static_cast<int>(message.data.l[2] & 0xFFFF);
        Window child = None;
        XTranslateCoordinates(_quarn_display, DefaultRootWindow(_quarn_display), drag.target, root_x, root_y, &drag.x,
                              &drag.y, &child);
    }
    // Bit 1: a position for every move, as the rectangle is empty.
    tell(source, frame->_quarn_backing->window, atoms().status, accept ? 3 : 2, 0,
         accept ? static_cast<long>(atoms().copy) : None);
}

void dropped(FrameBase* frame, const XClientMessageEvent& message) {
    const auto source = static_cast<Window>(message.data.l[0]);
    if (!ours(frame, source)) {
        // Declined: the source learns it and ends its drag.
        tell(source, frame->_quarn_backing->window, atoms().finished, 0, None, 0);
        if (drag.source == source && !drag.reading) drag = Drag{};
        return;
    }
    if (reader == None) {
        reader = XCreateSimpleWindow(_quarn_display, DefaultRootWindow(_quarn_display), 0, 0, 1, 1, 0, 0, 0);
        // The pieces of a large drop arrive as property changes.
        XSelectInput(_quarn_display, reader, PropertyChangeMask);
    }
    XDeleteProperty(_quarn_display, reader, atoms().property);
    const auto time = static_cast<Time>(message.data.l[2]);
    XConvertSelection(_quarn_display, atoms().selection, drag.type, atoms().property, reader,
                      time ? time : CurrentTime);
    drag.reading = true;
    drag.deadline = Clock::now() + kPatience;
}

int hex(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// A file URI's path with its escapes decoded; false for one that names no
// local file (a path cannot hold a NUL).
bool local_path(const std::string& uri, const std::string& host, std::string& path) {
    static const std::string kScheme = "file:";
    if (uri.compare(0, kScheme.size(), kScheme) != 0) return false;
    std::string rest = uri.substr(kScheme.size());
    if (rest.compare(0, 2, "//") == 0) {
        const std::size_t slash = rest.find('/', 2);
        if (slash == std::string::npos) return false;
        const std::string named = rest.substr(2, slash - 2);
        if (!named.empty() && named != "localhost" && named != host) return false;
        rest.erase(0, slash);
    }
    if (rest.empty() || rest[0] != '/') return false;
    path.clear();
    for (std::size_t i = 0; i < rest.size(); ++i) {
        if (rest[i] == '%' && i + 2 < rest.size() && hex(rest[i + 1]) >= 0 && hex(rest[i + 2]) >= 0) {
            const char decoded = static_cast<char>(hex(rest[i + 1]) * 16 + hex(rest[i + 2]));
            if (decoded == '\0') return false;
            path += decoded;
            i += 2;
        } else {
            path += rest[i];
        }
    }
    return true;
}

std::string host_name() {
    char name[HOST_NAME_MAX + 1] = {};
    if (gethostname(name, sizeof name - 1) != 0) return {};
    return name;
}

// Hands the data to the frame: the source hears first, so it is told also
// when a callback throws or destroys the frame.
void deliver() {
    FrameBase* const frame = _quarn_frame_of(drag.target);
    if (!frame) {
        finish(false);
        return;
    }
    const int x = drag.x, y = drag.y;
    std::vector<std::string> paths;
    std::string text;
    if (drag.type == atoms().uri_list)
        paths = _quarn_drop_paths(drag.data, host_name());
    else
        text = std::move(drag.data);
    finish(true);
    Input::Events::_quarn_issue_drop(frame, std::move(paths), std::move(text), x, y);
}

// The form the source wrote: the one asked for (or, for text, another text
// form), bytes, or INCR's announcement.
bool fitting(Atom type, int format) {
    const Atoms& a = atoms();
    if (type == a.incr) return format == 32;
    if (format != 8) return false;
    if (drag.type == a.uri_list) return type == a.uri_list;
    return type == a.utf8_mime || type == a.utf8_string || type == a.plain || type == XA_STRING;
}

void answered(const XSelectionEvent& answer) {
    // A late answer of a drop given up, for the same property, may tell
    // itself by the form it repeats (not by the time: sources differ there).
    if (!drag.reading || answer.selection != atoms().selection || answer.property != atoms().property ||
        answer.target != drag.type) {
        // Late, after the drop was given up: not read.
        if (answer.property != None) XDeleteProperty(_quarn_display, reader, answer.property);
        return;
    }
    Atom type = None;
    int format = 0;
    if (_quarn_take_property(reader, atoms().property, type, format, drag.data, kLargestDrop) !=
            _quarn_PropertyRead::WHOLE ||
        !fitting(type, format)) {
        XDeleteProperty(_quarn_display, reader, atoms().property);
        finish(false);
        return;
    }
    if (type != atoms().incr) {
        deliver();
        return;
    }
    // In pieces: deleting the announcement asked for the first one.
    drag.pieces = true;
    drag.data.clear();
    drag.deadline = Clock::now() + kPatience;
}

void piece(const XPropertyEvent& change) {
    if (!drag.reading || !drag.pieces || change.atom != atoms().property || change.state != PropertyNewValue) return;
    Atom type = None;
    int format = 0;
    std::string bytes;
    const _quarn_PropertyRead read =
        _quarn_take_property(reader, atoms().property, type, format, bytes, kLargestDrop - drag.data.size());
    if (read == _quarn_PropertyRead::ABSENT) return;
    if (read == _quarn_PropertyRead::TOO_LARGE || format != 8) {
        XDeleteProperty(_quarn_display, reader, atoms().property);
        finish(false);
        return;
    }
    if (bytes.empty()) {
        deliver();
        return;
    }
    drag.data += bytes;
    drag.deadline = Clock::now() + kPatience;
}

}  // namespace

void _quarn_drop_aware(FrameBase* frame, bool aware) {
    const Window window = frame->_quarn_backing->window;
    if (aware) {
        const long version = kVersion;
        XChangeProperty(_quarn_display, window, atoms().aware, XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(&version), 1);
    } else {
        XDeleteProperty(_quarn_display, window, atoms().aware);
    }
}

bool _quarn_drop_message(FrameBase* frame, const XClientMessageEvent& message) {
    if (message.format != 32) return false;
    const Atoms& a = atoms();
    if (message.message_type == a.enter)
        enter(frame, message);
    else if (message.message_type == a.position)
        position(frame, message);
    else if (message.message_type == a.leave) {
        if (!drag.reading && drag.source == static_cast<Window>(message.data.l[0])) drag = Drag{};
    } else if (message.message_type == a.drop)
        dropped(frame, message);
    else
        return false;
    return true;
}

bool _quarn_drop_event(const XEvent& event) {
    if (reader == None || event.xany.window != reader) return false;
    if (event.type == SelectionNotify) answered(event.xselection);
    if (event.type == PropertyNotify) piece(event.xproperty);
    return true;
}

void _quarn_drop_expire() {
    if (!drag.reading || Clock::now() < drag.deadline) return;
    finish(false);
}

int _quarn_drop_due_ms() {
    if (!drag.reading) return -1;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(drag.deadline - Clock::now()).count();
    return left <= 0 ? 0 : static_cast<int>(std::min<decltype(left)>(left, INT_MAX));
}

void _quarn_drop_deinit() {
    if (reader != None) XDestroyWindow(_quarn_display, reader);
    reader = None;
    drag = Drag{};
}

std::vector<std::string> _quarn_drop_paths(const std::string& uri_list, const std::string& host) {
    std::vector<std::string> paths;
    std::size_t start = 0;
    while (start < uri_list.size()) {
        std::size_t end = uri_list.find('\n', start);
        if (end == std::string::npos) end = uri_list.size();
        std::string line = uri_list.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        std::string path;
        paths.push_back(local_path(line, host, path) ? path : line);
    }
    return paths;
}

}  // namespace Frame
}  // namespace Quarn
