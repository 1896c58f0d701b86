#include "quarn/frame/cursors.h"

#include <X11/Xcursor/Xcursor.h>
#include <X11/cursorfont.h>

#include <cstddef>
#include <memory>

#include "quarn/frame/frame.h"
#include "quarn/frame/helpers.h"
#include "quarn/frame/pointer_lock.h"
#include "quarn/init.h"
#include "quarn/warning.h"

namespace Quarn {
namespace Frame {

namespace {

constexpr int kShapes = 12;

// Each shape's names in cursor themes (the CSS name, then the older X11 one
// that themes made before it still carry), and its core-font fallback.
struct Source {
    const char* theme_names[2];
    unsigned int font_shape;
};
constexpr Source kSources[kShapes] = {
    {{"default", nullptr}, XC_left_ptr},
    {{"text", nullptr}, XC_xterm},
    {{"pointer", nullptr}, XC_hand2},
    {{"crosshair", nullptr}, XC_crosshair},
    {{"ew-resize", nullptr}, XC_sb_h_double_arrow},
    {{"ns-resize", nullptr}, XC_sb_v_double_arrow},
    {{"move", nullptr}, XC_fleur},
    {{nullptr, nullptr}, 0},  // HIDDEN
    // The core font has no diagonal double arrow: its corners point the way.
    {{"nwse-resize", "size_fdiag"}, XC_bottom_right_corner},
    {{"nesw-resize", "size_bdiag"}, XC_bottom_left_corner},
    {{"not-allowed", "crossed_circle"}, XC_X_cursor},
    {{"wait", "watch"}, XC_watch},
};

::Cursor made[kShapes] = {};

// A cursor with no visible pixel: a 1 x 1 pixmap under an empty mask.
::Cursor empty_cursor() {
    const char nothing = 0;
    const Pixmap blank = XCreateBitmapFromData(_quarn_display, DefaultRootWindow(_quarn_display), &nothing, 1, 1);
    XColor black{};
    const ::Cursor cursor = XCreatePixmapCursor(_quarn_display, blank, blank, &black, &black, 0, 0);
    XFreePixmap(_quarn_display, blank);
    return cursor;
}

::Cursor theme_cursor(const Source& source) {
    for (const char* name : source.theme_names)
        if (name)
            if (const ::Cursor cursor = XcursorLibraryLoadCursor(_quarn_display, name)) return cursor;
    return XCreateFontCursor(_quarn_display, source.font_shape);
}

struct ImageDeleter {
    void operator()(XcursorImage* image) const { XcursorImageDestroy(image); }
};

// Render's ARGB cursors take premultiplied pixels: straight colour under a
// translucent alpha would show brighter than asked, and fully transparent
// pixels with colour would not vanish.
::Cursor image_cursor(int width, int height, const unsigned char* rgba, int hot_x, int hot_y) {
    // Null beyond what libXcursor can hold (32767 a side) or allocate.
    const std::unique_ptr<XcursorImage, ImageDeleter> image(XcursorImageCreate(width, height));
    if (!image) return None;
    image->xhot = static_cast<XcursorDim>(hot_x);
    image->yhot = static_cast<XcursorDim>(hot_y);
    const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    for (std::size_t i = 0; i < count; ++i) {
        const unsigned char* pixel = rgba + 4 * i;
        const unsigned int alpha = pixel[3];
        const auto times_alpha = [alpha](unsigned int channel) { return (channel * alpha + 127) / 255; };
        image->pixels[i] =
            alpha << 24 | times_alpha(pixel[0]) << 16 | times_alpha(pixel[1]) << 8 | times_alpha(pixel[2]);
    }
    return XcursorImageLoadCursor(_quarn_display, image.get());
}

// The frame's cursor is now `cursor`: shown (unless the frame holds the
// pointer hidden), then the image it replaces freed.
void give(FrameBase* frame, ::Cursor cursor, ::Cursor image) {
    _quarn_FrameBacking& backing = *frame->_quarn_backing;
    const ::Cursor replaced = backing.image_cursor;
    backing.cursor = cursor;
    backing.image_cursor = image;
    _quarn_show_cursor(frame);
    if (replaced) XFreeCursor(_quarn_display, replaced);
}

}  // namespace

::Cursor _quarn_cursor(Cursor shape) {
    const int index = static_cast<int>(shape);
    if (made[index]) return made[index];
    const Source& source = kSources[index];
    made[index] = source.theme_names[0] ? theme_cursor(source) : empty_cursor();
    return made[index];
}

void _quarn_set_cursor(FrameBase* frame, Cursor shape) {
    const int index = static_cast<int>(shape);
    if (index < 0 || index >= kShapes) {
        _quarn_print_warning("Cannot set an unknown cursor shape!  Ignoring .set_cursor!");
        return;
    }
    give(frame, _quarn_cursor(shape), None);
}

void _quarn_set_cursor_image(FrameBase* frame, int width, int height, const unsigned char* rgba, int hot_x, int hot_y) {
    if (!rgba || width < 1 || height < 1 || hot_x < 0 || hot_y < 0 || hot_x >= width || hot_y >= height) {
        _quarn_print_warning(
            "Cannot set a cursor from a null pointer, a size below 1 or a hot spot outside the image!  Ignoring "
            ".set_cursor!");
        return;
    }
    const ::Cursor cursor = image_cursor(width, height, rgba, hot_x, hot_y);
    if (!cursor) {
        _quarn_print_warning("Cannot make a cursor of an image this large!  Ignoring .set_cursor!");
        return;
    }
    give(frame, cursor, cursor);
}

void _quarn_free_cursors() {
    // After the connection is gone the server has freed them with it; what is
    // left to do is forgetting them, so that nothing frees a stale id.
    if (_quarn_windows) {
        for (const auto& entry : *_quarn_windows) {
            _quarn_FrameBacking& backing = *entry.second->_quarn_backing;
            if (backing.image_cursor && _quarn_display) XFreeCursor(_quarn_display, backing.image_cursor);
            backing.image_cursor = None;
            backing.cursor = None;
        }
    }
    for (::Cursor& cursor : made) {
        if (cursor && _quarn_display) XFreeCursor(_quarn_display, cursor);
        cursor = None;
    }
}

}  // namespace Frame
}  // namespace Quarn
