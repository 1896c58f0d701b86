#pragma once

#include <X11/Xlib.h>

#include <string>

namespace Quarn {

/// Puts `utf8` on the desktop's clipboard (the CLIPBOARD selection). The
/// library owns it from then on through a hidden window of its own, made on
/// first use and destroyed at Quarn::deinit(), and Input::Events::handle()
/// answers other clients' requests for it (as UTF-8, Latin-1 or a list of
/// the forms it offers; large texts in pieces), until another client puts
/// something there. Needs an open display (refused through the error
/// routine otherwise).
void set_clipboard(const std::string& utf8);

/// The text on the desktop's clipboard as UTF-8, or an empty string where
/// there is none or its owner does not answer within about a second. The
/// library's own text comes back at once; another client's costs a few
/// round trips, and the call waits for them. Every other event stays queued,
/// in its order, for the next Input::Events::handle(). Needs an open display
/// (refused through the error routine otherwise).
std::string get_clipboard();

/// Answers `event` when it belongs to the clipboard (a request for it, the
/// loss of it, a piece of a large text taken by a requestor) and returns
/// true; false for every other event. Used by the event pump.
bool _quarn_clipboard_event(const XEvent& event);

/// Destroys the hidden window and forgets the text (Quarn::deinit).
void _quarn_clipboard_deinit();

}  // namespace Quarn
