#include "quarn/clipboard.h"

#include <X11/Xatom.h>
#include <poll.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "quarn/error_trap.h"
#include "quarn/helpers.h"
#include "quarn/init.h"
#include "quarn/warning.h"

namespace Quarn {

namespace {

using Clock = std::chrono::steady_clock;
using Text = std::shared_ptr<const std::string>;

// How long a read waits for the owner's answer, and then for each piece of a
// large text; how long the whole read may take, pieces included; and the
// largest text it takes.
constexpr std::chrono::milliseconds kPatience{1000};
constexpr std::chrono::milliseconds kLongestRead{5000};
constexpr std::size_t kLargestRead = std::size_t{64} << 20;

// Larger texts go to requestors in pieces of this size (INCR).
constexpr std::size_t kLargestPiece = std::size_t{256} * 1024;

// A requestor that takes no piece for this long has gone or given up: ICCCM
// lets the owner drop the transfer, and nothing else would ever end it.
constexpr std::chrono::milliseconds kAbandoned{5000};

struct Atoms {
    Atom clipboard, targets, utf8, text, incr, property, stamp, timestamp, multiple, atom_pair;
};

// A large text on its way to a requestor, one piece each time it deletes the
// property it read the last one from.
struct Transfer {
    Window requestor;
    Atom property;
    Atom type;
    Text data;  // shared, never changed: the clipboard may change meanwhile
    std::size_t sent;
    Clock::time_point asked;  // when the requestor last took a piece
    // Whether the library selected PropertyChangeMask on the requestor for
    // its transfers; the same for every transfer to one window.
    bool watched;
};

Window owner = None;  // the hidden window: owns the selection, receives what is read
Atoms atoms;
Text text;  // what the library serves while it owns the selection
bool owning = false;
Time owned_since = CurrentTime;  // the server's time of taking the selection
unsigned long owned_serial = 0;  // the request that took it
std::vector<Transfer> transfers;

void make_window() {
    if (owner != None) return;
    const char* const names[] = {"CLIPBOARD",       "TARGETS",         "UTF8_STRING", "TEXT",     "INCR",
                                 "QUARN_CLIPBOARD", "QUARN_TIMESTAMP", "TIMESTAMP",   "MULTIPLE", "ATOM_PAIR"};
    constexpr int kCount = sizeof names / sizeof names[0];
    Atom found[kCount];
    XInternAtoms(_quarn_display, const_cast<char**>(names), kCount, False, found);
    atoms = {found[0], found[1], found[2], found[3], found[4], found[5], found[6], found[7], found[8], found[9]};
    owner = XCreateSimpleWindow(_quarn_display, DefaultRootWindow(_quarn_display), 0, 0, 1, 1, 0, 0, 0);
    // Pieces of a large text that is read arrive as property changes, and
    // so does the server's time for taking the selection.
    XSelectInput(_quarn_display, owner, PropertyChangeMask);
}

// Whether X time `a` comes before `b`; the server's clock wraps after 49 days.
bool earlier(Time a, Time b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) - static_cast<std::uint32_t>(b)) < 0;
}

// The most bytes one ChangeProperty may carry without the big-requests
// extension (its own header takes 24), and never more than kLargestPiece.
std::size_t piece_limit() {
    return std::min(kLargestPiece, static_cast<std::size_t>(XMaxRequestSize(_quarn_display)) * 4 - 24);
}

std::string to_latin1(const std::string& utf8) {
    std::string latin1;
    _quarn_to_latin1(utf8, latin1);
    return latin1;
}

std::string from_latin1(const unsigned char* bytes, std::size_t count) {
    std::string utf8;
    for (std::size_t i = 0; i < count; ++i) {
        if (bytes[i] < 0x80) {
            utf8 += static_cast<char>(bytes[i]);
        } else {
            utf8 += static_cast<char>(0xC0 | (bytes[i] >> 6));
            utf8 += static_cast<char>(0x80 | (bytes[i] & 0x3F));
        }
    }
    return utf8;
}

// Ends the transfer at `index`; the last one to its requestor takes back the
// mask the library added there, and only that. X errors are the caller's to
// trap.
void end_transfer(std::size_t index) {
    const Window requestor = transfers[index].requestor;
    const bool watched = transfers[index].watched;
    transfers.erase(transfers.begin() + static_cast<std::ptrdiff_t>(index));
    const bool still_sending =
        std::any_of(transfers.begin(), transfers.end(), [&](const Transfer& t) { return t.requestor == requestor; });
    if (watched && !still_sending) _quarn_select_input(requestor, 0, PropertyChangeMask);
}

void forget_transfer(Window requestor, Atom property) {
    for (std::size_t i = 0; i < transfers.size(); ++i) {
        if (transfers[i].requestor == requestor && transfers[i].property == property) {
            end_transfer(i);
            return;
        }
    }
}

// Writes `data` to the requestor's property, or starts a transfer in pieces
// when it is too large for one request. X errors are the caller's to trap.
void send(Window requestor, Atom property, Atom type, const Text& data) {
    forget_transfer(requestor, property);
    if (data->size() <= piece_limit()) {
        XChangeProperty(_quarn_display, requestor, property, type, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(data->data()), static_cast<int>(data->size()));
        return;
    }
    // The requestor deletes the property to ask for each next piece. The
    // window may be one of the application's frames: its mask is added to,
    // never replaced.
    const auto other =
        std::find_if(transfers.begin(), transfers.end(), [&](const Transfer& t) { return t.requestor == requestor; });
    bool watched = other != transfers.end() && other->watched;
    if (other == transfers.end()) {
        XWindowAttributes attributes{};
        XGetWindowAttributes(_quarn_display, requestor, &attributes);
        watched = !(attributes.your_event_mask & PropertyChangeMask);
        if (watched) _quarn_select_input(requestor, PropertyChangeMask, 0);
    }
    const long size = static_cast<long>(data->size());
    XChangeProperty(_quarn_display, requestor, property, atoms.incr, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&size), 1);
    transfers.push_back({requestor, property, type, data, 0, Clock::now(), watched});
}

bool write(Window requestor, Atom property, Atom target);

// MULTIPLE: converts each pair of a target and a property the requestor
// listed in `property`, and writes the list back with None as the property
// of each pair refused (ICCCM 2.6.2). X errors are the caller's to trap.
bool write_each(Window requestor, Atom property) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    XGetWindowProperty(_quarn_display, requestor, property, 0, 1024, False, AnyPropertyType, &type, &format, &count,
                       &after, &data);
    const std::unique_ptr<unsigned char, int (*)(void*)> held(data, XFree);
    if (!data || format != 32 || (type != atoms.atom_pair && type != XA_ATOM)) return false;
    // Format-32 data are longs in Xlib, Atoms too.
    std::vector<Atom> pairs(reinterpret_cast<const Atom*>(data), reinterpret_cast<const Atom*>(data) + count / 2 * 2);
    for (std::size_t i = 0; i < pairs.size(); i += 2) {
        const bool written =
            pairs[i] != atoms.multiple && pairs[i + 1] != None && write(requestor, pairs[i + 1], pairs[i]);
        if (!written) pairs[i + 1] = None;
    }
    XChangeProperty(_quarn_display, requestor, property, type, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(pairs.data()), static_cast<int>(pairs.size()));
    return true;
}

// Writes the clipboard to `property` in the form `target` asks for; false
// for a form the library does not offer.
bool write(Window requestor, Atom property, Atom target) {
    if (target == atoms.targets) {
        const Atom offered[] = {atoms.targets, atoms.utf8, XA_STRING, atoms.text, atoms.timestamp, atoms.multiple};
        XChangeProperty(_quarn_display, requestor, property, XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(offered), 6);
    } else if (target == atoms.utf8 || target == atoms.text) {
        send(requestor, property, atoms.utf8, text);
    } else if (target == XA_STRING) {
        send(requestor, property, XA_STRING, std::make_shared<const std::string>(to_latin1(*text)));
    } else if (target == atoms.timestamp) {
        const long time = static_cast<long>(owned_since);
        XChangeProperty(_quarn_display, requestor, property, XA_INTEGER, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(&time), 1);
    } else if (target == atoms.multiple) {
        return write_each(requestor, property);
    } else {
        return false;
    }
    return true;
}

void answer(const XSelectionRequestEvent& request) {
    XSelectionEvent reply{};
    reply.type = SelectionNotify;
    reply.requestor = request.requestor;
    reply.selection = request.selection;
    reply.target = request.target;
    reply.time = request.time;
    // Clients older than ICCCM 2.0 name no property: the target names it then.
    const Atom property = request.property == None ? request.target : request.property;
    // A request timed before the library took the selection was for an
    // earlier owner (ICCCM 2.2).
    const bool ours = owning && request.selection == atoms.clipboard &&
                      (request.time == CurrentTime || !earlier(request.time, owned_since));
    // The requestor's window may be gone already, or go mid-way: its errors
    // must not reach the application's handler, whose default ends it.
    const int error = _quarn_trap_x_errors([&] {
        if (ours && write(request.requestor, property, request.target)) reply.property = property;
        XEvent event{};
        event.xselection = reply;
        XSendEvent(_quarn_display, request.requestor, False, NoEventMask, &event);
    });
    if (error != Success) _quarn_trap_x_errors([&] { forget_transfer(request.requestor, property); });
}

// Sends the next piece of a transfer once the requestor has deleted the last
// one; a piece of no bytes ends it.
bool continue_transfer(const XPropertyEvent& change) {
    const auto found = std::find_if(transfers.begin(), transfers.end(), [&](const Transfer& t) {
        return t.requestor == change.window && t.property == change.atom;
    });
    if (found == transfers.end()) return false;
    if (change.state != PropertyDelete) return true;  // the piece just written
    Transfer& transfer = *found;
    const std::size_t piece = std::min(piece_limit(), transfer.data->size() - transfer.sent);
    const int error = _quarn_trap_x_errors([&] {
        XChangeProperty(_quarn_display, transfer.requestor, transfer.property, transfer.type, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(transfer.data->data() + transfer.sent),
                        static_cast<int>(piece));
    });
    transfer.sent += piece;
    transfer.asked = Clock::now();
    if (piece != 0 && error == Success) return true;
    const auto index = static_cast<std::size_t>(found - transfers.begin());
    _quarn_trap_x_errors([&] { end_transfer(index); });
    return true;
}

// Takes from the queue the first event `match` accepts, reading from the
// connection until `deadline`; every other event stays queued in its order.
bool take_event(XEvent& event, Bool (*match)(Display*, XEvent*, XPointer), Clock::time_point deadline) {
    XFlush(_quarn_display);
    while (!XCheckIfEvent(_quarn_display, &event, match, nullptr)) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) return false;
        pollfd connection{ConnectionNumber(_quarn_display), POLLIN, 0};
        if (poll(&connection, 1, static_cast<int>(left)) > 0) XEventsQueued(_quarn_display, QueuedAfterReading);
    }
    return true;
}

Bool is_answer(Display*, XEvent* event, XPointer) {
    return event->type == SelectionNotify && event->xselection.requestor == owner &&
           event->xselection.selection == atoms.clipboard;
}

Bool is_new_piece(Display*, XEvent* event, XPointer) {
    return event->type == PropertyNotify && event->xproperty.window == owner &&
           event->xproperty.atom == atoms.property && event->xproperty.state == PropertyNewValue;
}

Bool is_stamp(Display*, XEvent* event, XPointer) {
    return event->type == PropertyNotify && event->xproperty.window == owner && event->xproperty.atom == atoms.stamp;
}

using Read = _quarn_PropertyRead;

// Reads and deletes what the owner wrote to the hidden window.
Read read_property(Atom& type, std::string& bytes, std::size_t limit) {
    int format = 0;
    return _quarn_take_property(owner, atoms.property, type, format, bytes, limit);
}

enum class Outcome { READ, REFUSED, GAVE_UP };

// Asks the owner for the clipboard as `target`: the answer must come by
// `answer_by`, and a text in pieces be whole by `whole_by`.
Outcome convert(Atom target, Clock::time_point answer_by, Clock::time_point whole_by, Atom& type, std::string& bytes) {
    XDeleteProperty(_quarn_display, owner, atoms.property);
    XConvertSelection(_quarn_display, atoms.clipboard, target, atoms.property, owner, CurrentTime);
    XEvent event;
    if (!take_event(event, is_answer, answer_by)) return Outcome::GAVE_UP;
    if (event.xselection.property == None) return Outcome::REFUSED;
    const Read answer = read_property(type, bytes, kLargestRead);
    if (answer == Read::ABSENT) return Outcome::REFUSED;
    if (answer == Read::TOO_LARGE) return Outcome::GAVE_UP;
    if (type != atoms.incr) return Outcome::READ;
    // In pieces: reading (and deleting) the INCR notice asked for the first;
    // the owner ends with a piece of no bytes. The notice holds a lower
    // bound of the size.
    std::uint32_t announced = 0;
    if (bytes.size() >= 4) std::memcpy(&announced, bytes.data(), 4);
    if (announced > kLargestRead) return Outcome::GAVE_UP;
    std::string whole, piece;
    while (take_event(event, is_new_piece, std::min(Clock::now() + kPatience, whole_by))) {
        const Read read = read_property(type, piece, kLargestRead - whole.size());
        if (read == Read::ABSENT) continue;  // a notice from before
        if (read == Read::TOO_LARGE) return Outcome::GAVE_UP;
        if (piece.empty()) {
            bytes.swap(whole);
            return Outcome::READ;
        }
        whole += piece;
    }
    return Outcome::GAVE_UP;
}

}  // namespace

void set_clipboard(const std::string& utf8) {
    _quarn_require_display("Cannot set the clipboard without a display connection!");
    make_window();
    // ICCCM 2.1 wants the server's time of the change, not CurrentTime: a
    // loss of an earlier ownership still queued is then told from one of
    // this. A property change of no bytes reports that time.
    XChangeProperty(_quarn_display, owner, atoms.stamp, XA_INTEGER, 32, PropModeAppend, nullptr, 0);
    XEvent stamp;
    owning = take_event(stamp, is_stamp, Clock::now() + kPatience);
    if (owning) {
        owned_since = stamp.xproperty.time;
        owned_serial = NextRequest(_quarn_display);
        XSetSelectionOwner(_quarn_display, atoms.clipboard, owner, owned_since);
        owning = XGetSelectionOwner(_quarn_display, atoms.clipboard) == owner;
    }
    text = owning ? std::make_shared<const std::string>(utf8) : nullptr;
    if (!owning) _quarn_print_warning("Cannot take the clipboard!  Ignoring .set_clipboard!");
}

std::string get_clipboard() {
    _quarn_require_display("Cannot read the clipboard without a display connection!");
    if (owning) return *text;
    make_window();
    if (XGetSelectionOwner(_quarn_display, atoms.clipboard) == None) return {};
    const auto start = Clock::now();
    Atom type = None;
    std::string bytes;
    // Latin-1 only where UTF-8 is refused: after a read that gave up, the
    // owner may still be sending its pieces.
    const Outcome utf8 = convert(atoms.utf8, start + kPatience, start + kLongestRead, type, bytes);
    if (utf8 == Outcome::READ && type == atoms.utf8) return bytes;
    if (utf8 == Outcome::GAVE_UP) return {};
    if (convert(XA_STRING, start + kPatience, start + kLongestRead, type, bytes) == Outcome::READ && type == XA_STRING)
        return from_latin1(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    return {};
}

bool _quarn_clipboard_event(const XEvent& event) {
    if (owner == None) return false;
    switch (event.type) {
        case SelectionRequest:
            if (event.xselectionrequest.owner != owner) return false;
            answer(event.xselectionrequest);
            return true;
        case SelectionClear: {
            if (event.xselectionclear.window != owner) return false;
            // The loss of an ownership before the last one is old news: its
            // time is earlier, or within the same millisecond the server sent
            // it before the request that took the selection again.
            const XSelectionClearEvent& clear = event.xselectionclear;
            const bool stale =
                earlier(clear.time, owned_since) || (clear.time == owned_since && clear.serial < owned_serial);
            if (clear.selection == atoms.clipboard && !stale) {
                owning = false;
                text = nullptr;
            }
            return true;
        }
        // Pieces read and late answers to a read that gave up land on the
        // hidden window; a transfer's requestor deletes what it has read.
        case SelectionNotify: return event.xselection.requestor == owner;
        case PropertyNotify: return event.xproperty.window == owner || continue_transfer(event.xproperty);
        default: return false;
    }
}

void _quarn_clipboard_drop_abandoned() {
    if (transfers.empty()) return;
    const auto now = Clock::now();
    const auto abandoned = [&](const Transfer& t) { return now - t.asked >= kAbandoned; };
    if (std::none_of(transfers.begin(), transfers.end(), abandoned)) return;
    // The requestor is likely gone, and its window with it.
    _quarn_trap_x_errors([&] {
        for (std::size_t i = transfers.size(); i-- > 0;)
            if (abandoned(transfers[i])) end_transfer(i);
    });
}

void _quarn_clipboard_deinit() {
    if (owner != None) XDestroyWindow(_quarn_display, owner);
    owner = None;
    owning = false;
    text = nullptr;
    transfers.clear();
}

}  // namespace Quarn
