#include "quarn/clipboard.h"

#include <X11/Xatom.h>
#include <poll.h>

#include <algorithm>
#include <chrono>
#include <vector>

#include "quarn/error_trap.h"
#include "quarn/helpers.h"
#include "quarn/init.h"
#include "quarn/warning.h"

namespace Quarn {

namespace {

using Clock = std::chrono::steady_clock;

// How long a read waits for the owner's answer, and then for each piece of a
// large text.
constexpr std::chrono::milliseconds kPatience{1000};

// Larger texts go to requestors in pieces of this size (INCR).
constexpr std::size_t kLargestPiece = std::size_t{256} * 1024;

struct Atoms {
    Atom clipboard, targets, utf8, text, incr, property;
};

// A large text on its way to a requestor, one piece each time it deletes the
// property it read the last one from.
struct Transfer {
    Window requestor;
    Atom property;
    Atom type;
    std::string data;  // its own copy: the clipboard may change meanwhile
    std::size_t sent;
};

Window owner = None;  // the hidden window: owns the selection, receives what is read
Atoms atoms;
std::string text;  // what the library serves while it owns the selection
bool owning = false;
std::vector<Transfer> transfers;

void make_window() {
    if (owner != None) return;
    char* names[] = {const_cast<char*>("CLIPBOARD"),   const_cast<char*>("TARGETS"),
                     const_cast<char*>("UTF8_STRING"), const_cast<char*>("TEXT"),
                     const_cast<char*>("INCR"),        const_cast<char*>("QUARN_CLIPBOARD")};
    Atom found[6];
    XInternAtoms(_quarn_display, names, 6, False, found);
    atoms = {found[0], found[1], found[2], found[3], found[4], found[5]};
    owner = XCreateSimpleWindow(_quarn_display, DefaultRootWindow(_quarn_display), 0, 0, 1, 1, 0, 0, 0);
    // Pieces of a large text that is read arrive as property changes.
    XSelectInput(_quarn_display, owner, PropertyChangeMask);
}

// The most bytes one ChangeProperty may carry without the big-requests
// extension (its own header takes 24), and never more than kLargestPiece.
std::size_t piece_limit() {
    return std::min(kLargestPiece, static_cast<std::size_t>(XMaxRequestSize(_quarn_display)) * 4 - 24);
}

std::string to_latin1(const std::string& utf8) {
    std::string latin1;
    for (std::size_t at = 0; at < utf8.size();) {
        const char32_t codepoint = _quarn_next_codepoint(utf8.c_str(), at);
        latin1 += codepoint < 0x100 ? static_cast<char>(codepoint) : '?';
    }
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

void forget_transfer(Window requestor, Atom property) {
    transfers.erase(
        std::remove_if(transfers.begin(), transfers.end(),
                       [&](const Transfer& t) { return t.requestor == requestor && t.property == property; }),
        transfers.end());
}

// Writes `data` to the requestor's property, or starts a transfer in pieces
// when it is too large for one request. X errors are the caller's to trap.
void send(Window requestor, Atom property, Atom type, const std::string& data) {
    forget_transfer(requestor, property);
    if (data.size() <= piece_limit()) {
        XChangeProperty(_quarn_display, requestor, property, type, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(data.data()), static_cast<int>(data.size()));
        return;
    }
    // The requestor deletes the property to ask for each next piece.
    XSelectInput(_quarn_display, requestor, PropertyChangeMask);
    const long size = static_cast<long>(data.size());
    XChangeProperty(_quarn_display, requestor, property, atoms.incr, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&size), 1);
    transfers.push_back({requestor, property, type, data, 0});
}

// Writes the clipboard to `property` in the form `target` asks for; false
// for a form the library does not offer.
bool write(Window requestor, Atom property, Atom target) {
    if (target == atoms.targets) {
        const Atom offered[] = {atoms.targets, atoms.utf8, XA_STRING, atoms.text};
        XChangeProperty(_quarn_display, requestor, property, XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(offered), 4);
    } else if (target == atoms.utf8 || target == atoms.text) {
        send(requestor, property, atoms.utf8, text);
    } else if (target == XA_STRING) {
        send(requestor, property, XA_STRING, to_latin1(text));
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
    // The requestor's window may be gone already, or go mid-way: its errors
    // must not reach the application's handler, whose default ends it.
    const int error = _quarn_trap_x_errors([&] {
        if (owning && request.selection == atoms.clipboard && write(request.requestor, property, request.target))
            reply.property = property;
        XEvent event{};
        event.xselection = reply;
        XSendEvent(_quarn_display, request.requestor, False, NoEventMask, &event);
    });
    if (error != Success) forget_transfer(request.requestor, property);
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
    const std::size_t piece = std::min(piece_limit(), transfer.data.size() - transfer.sent);
    const int error = _quarn_trap_x_errors([&] {
        XChangeProperty(_quarn_display, transfer.requestor, transfer.property, transfer.type, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(transfer.data.data() + transfer.sent),
                        static_cast<int>(piece));
    });
    transfer.sent += piece;
    if (piece != 0 && error == Success) return true;
    const Window requestor = transfer.requestor;
    transfers.erase(found);
    // The requestor's property changes matter while any transfer to it runs.
    const bool still_sending =
        std::any_of(transfers.begin(), transfers.end(), [&](const Transfer& t) { return t.requestor == requestor; });
    if (!still_sending) _quarn_trap_x_errors([&] { XSelectInput(_quarn_display, requestor, NoEventMask); });
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

// Reads and deletes the property the owner wrote to; false where it is
// absent (a change notice that came before the property was read).
bool read_property(Atom& type, std::string& bytes) {
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    const bool read = XGetWindowProperty(_quarn_display, owner, atoms.property, 0, 0x3FFFFFFF, True, AnyPropertyType,
                                         &type, &format, &count, &after, &data) == Success &&
                      type != None;
    if (read) bytes.assign(reinterpret_cast<const char*>(data), count * static_cast<unsigned long>(format / 8));
    if (data) XFree(data);
    return read;
}

// Asks the owner for the clipboard as `target`; false when it refuses or
// does not answer by `deadline`.
bool convert(Atom target, Clock::time_point deadline, Atom& type, std::string& bytes) {
    XDeleteProperty(_quarn_display, owner, atoms.property);
    XConvertSelection(_quarn_display, atoms.clipboard, target, atoms.property, owner, CurrentTime);
    XEvent event;
    if (!take_event(event, is_answer, deadline) || event.xselection.property == None) return false;
    if (!read_property(type, bytes)) return false;
    if (type != atoms.incr) return true;
    // In pieces: reading (and deleting) the INCR notice asked for the first;
    // the owner ends with a piece of no bytes.
    std::string whole, piece;
    while (take_event(event, is_new_piece, Clock::now() + kPatience)) {
        if (!read_property(type, piece)) continue;  // a notice from before
        if (piece.empty()) {
            bytes.swap(whole);
            return true;
        }
        whole += piece;
    }
    return false;
}

}  // namespace

void set_clipboard(const std::string& utf8) {
    _quarn_require_display("Cannot set the clipboard without a display connection!");
    make_window();
    text = utf8;
    XSetSelectionOwner(_quarn_display, atoms.clipboard, owner, CurrentTime);
    owning = XGetSelectionOwner(_quarn_display, atoms.clipboard) == owner;
    if (!owning) {
        text.clear();
        _quarn_print_warning("Cannot take the clipboard!  Ignoring .set_clipboard!");
    }
}

std::string get_clipboard() {
    _quarn_require_display("Cannot read the clipboard without a display connection!");
    if (owning) return text;
    make_window();
    if (XGetSelectionOwner(_quarn_display, atoms.clipboard) == None) return {};
    const auto deadline = Clock::now() + kPatience;
    Atom type = None;
    std::string bytes;
    if (convert(atoms.utf8, deadline, type, bytes) && type == atoms.utf8) return bytes;
    if (convert(XA_STRING, deadline, type, bytes) && type == XA_STRING)
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
        case SelectionClear:
            if (event.xselectionclear.window != owner) return false;
            if (event.xselectionclear.selection == atoms.clipboard) {
                owning = false;
                text.clear();
            }
            return true;
        // Pieces read and late answers to a read that gave up land on the
        // hidden window; a transfer's requestor deletes what it has read.
        case SelectionNotify: return event.xselection.requestor == owner;
        case PropertyNotify: return event.xproperty.window == owner || continue_transfer(event.xproperty);
        default: return false;
    }
}

void _quarn_clipboard_deinit() {
    if (owner != None) XDestroyWindow(_quarn_display, owner);
    owner = None;
    owning = false;
    text.clear();
    transfers.clear();
}

}  // namespace Quarn
