#pragma once

#include <X11/Xlib.h>

#include <string>

namespace Quarn {

/// Puts `utf8` on the desktop's clipboard (the CLIPBOARD selection). The
/// library owns it from then on through a hidden window of its own, made on
/// first use and destroyed at Quarn::deinit(), and Input::Events::handle()
/// answers other clients' requests for it (as UTF-8, Latin-1, the list of
/// the forms it offers, the time it took the clipboard, or several of these
/// at once; large texts in pieces), until another client puts something
/// there. A client that stops taking the pieces of a large text for five
/// seconds is given no more. Costs a round trip or two. Needs an open
/// display (refused through the error routine otherwise).
void set_clipboard(const std::string& utf8);

/// The text on the desktop's clipboard as UTF-8. The library's own text
/// comes back at once. Another client's is asked for, and the call waits:
/// an empty string where there is no owner, where it does not answer within
/// about a second, where a text it sends in pieces is not whole within five
/// seconds of the call, or where that text is larger than 64 MiB (as the
/// owner sends it, UTF-8 or Latin-1). Every other event stays queued, in its
/// order, for the next Input::Events::handle(), and pieces that come after
/// a read gave up are dropped there. Needs an open display (refused through
/// the error routine otherwise).
std::string get_clipboard();

/// Answers `event` when it belongs to the clipboard (a request for it, the
/// loss of it, a piece of a large text taken by a requestor) and returns
/// true; false for every other event. Used by the event pump.
bool _quarn_clipboard_event(const XEvent& event);

/// Drops the transfers of large texts whose requestors have taken no piece
/// for five seconds. Returns at once while none runs. Used by the event pump.
void _quarn_clipboard_drop_abandoned();

/// Destroys the hidden window and forgets the text (Quarn::deinit).
void _quarn_clipboard_deinit();

}  // namespace Quarn
