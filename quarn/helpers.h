#pragma once

#include <X11/Xlib.h>

#include <cstddef>
#include <string>
#include <vector>

namespace Quarn {

/// Widens one byte the way _quarn_to_wstring does: read as a signed 8-bit
/// number, so 0xE9 becomes -23.
inline wchar_t _quarn_to_wchar(char c) { return static_cast<wchar_t>(static_cast<signed char>(c)); }

/// Widens `s` byte by byte: each byte, read as a signed 8-bit number, becomes
/// one wchar_t (0xE9 becomes -23). No UTF-8 or locale decoding; the length,
/// embedded NULs included, is kept.
std::wstring _quarn_to_wstring(const std::string& s);

/// Returns 1 on the first call, 2 on the second, and so on. After the largest
/// int it starts again at 1, so ids stay positive.
int _quarn_get_next_id();

/// The UTF-8 sequence of `text` at `at`: its code point, and `at` moved past
/// it. Expects valid UTF-8 (an input method's, or the application's).
char32_t _quarn_next_codepoint(const char* text, std::size_t& at);

/// `utf8` in Latin-1, with "?" for each character beyond U+00FF; returns
/// whether every character fitted.
bool _quarn_to_latin1(const std::string& utf8, std::string& latin1);

/// `window`'s parent (the root window when no manager has reparented it), or
/// None where the server does not know the window. One round trip.
Window _quarn_parent_of(Window window);

/// The 32-bit items of `window`'s `property` of `type`, as Xlib hands them
/// (longs); empty when it is absent or of another type. One round trip.
std::vector<long> _quarn_window_items(Window window, Atom property, Atom type);

/// What _quarn_take_property found.
enum class _quarn_PropertyRead { ABSENT, WHOLE, TOO_LARGE };

/// Reads `window`'s `property` and deletes it, if it holds at most `limit`
/// bytes: its `type`, `format` and bytes (32-bit items as 4 bytes each, in
/// the machine's order). ABSENT where there is none, as for a change notice
/// that came before the property was read. A larger one is left where it is,
/// so an owner sending pieces (INCR) is asked for no more. X errors are the
/// caller's to trap. One round trip.
_quarn_PropertyRead _quarn_take_property(Window window, Atom property, Atom& type, int& format, std::string& bytes,
                                         std::size_t limit);

/// Selects the event masks `add` on the library's connection for `window`
/// and deselects `remove`, leaving every other mask as it is. One round trip.
void _quarn_select_input(Window window, long add, long remove);

/// Writes the width and height in pixels of the display's default screen into
/// size[0] and size[1], as Xlib learnt them when the connection opened.
/// Needs an open display (refused through the error routine otherwise).
void get_monitor_size(int* size);

/// The desktop's scale for drawing: Xft.dpi / 96 from the root window's
/// RESOURCE_MANAGER property (what desktop settings write), read from the
/// server at each call (one round trip), resolving wildcard entries as Xlib's
/// resource manager does; 1.0 where it is absent or malformed. Needs an open
/// display (refused through the error routine otherwise).
float get_content_scale();

}  // namespace Quarn
