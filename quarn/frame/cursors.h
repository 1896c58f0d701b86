#pragma once

#include <X11/Xlib.h>

namespace Quarn {
namespace Frame {
class FrameBase;
enum class Cursor;

/// The X cursor for `shape`, made on first use (from the user's cursor theme
/// through libXcursor, else the core cursor font; HIDDEN is an empty one)
/// and kept until _quarn_free_cursors. `shape` must be one of the enumeration.
::Cursor _quarn_cursor(Cursor shape);

/// Gives `frame` the cursor of `shape` (FrameBase::set_cursor), freeing the
/// image cursor it had; a value outside the enumeration only warns.
void _quarn_set_cursor(FrameBase* frame, Cursor shape);

/// Gives `frame` a cursor made from straight RGBA pixels with its hot spot
/// at (`hot_x`, `hot_y`), freeing the image cursor it had
/// (FrameBase::set_cursor); bad input only warns.
void _quarn_set_cursor_image(FrameBase* frame, int width, int height, const unsigned char* rgba, int hot_x, int hot_y);

/// Frees every cursor made, the shapes and each living frame's image, and
/// leaves those frames with none (Quarn::deinit).
void _quarn_free_cursors();

}  // namespace Frame
}  // namespace Quarn
