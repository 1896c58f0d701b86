#pragma once

#include <X11/Xlib.h>

namespace Quarn {
namespace Frame {
enum class Cursor;

/// The X cursor for `shape`, made on first use (from the user's cursor theme
/// through libXcursor, else the core cursor font; HIDDEN is an empty one)
/// and kept until _quarn_free_cursors.
::Cursor _quarn_cursor(Cursor shape);

/// Frees every cursor made (Quarn::deinit).
void _quarn_free_cursors();

}  // namespace Frame
}  // namespace Quarn
