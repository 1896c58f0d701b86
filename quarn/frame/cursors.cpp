#include "quarn/frame/cursors.h"

#include <X11/Xcursor/Xcursor.h>
#include <X11/cursorfont.h>

#include "quarn/frame/frame.h"
#include "quarn/init.h"

namespace Quarn {
namespace Frame {

namespace {

constexpr int kShapes = 8;

// Each shape's name in cursor themes, and its core-font fallback.
struct Source {
    const char* theme_name;
    unsigned int font_shape;
};
constexpr Source kSources[kShapes] = {
    {"default", XC_left_ptr},
    {"text", XC_xterm},
    {"pointer", XC_hand2},
    {"crosshair", XC_crosshair},
    {"ew-resize", XC_sb_h_double_arrow},
    {"ns-resize", XC_sb_v_double_arrow},
    {"move", XC_fleur},
    {nullptr, 0},  // HIDDEN
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

}  // namespace

::Cursor _quarn_cursor(Cursor shape) {
    const int index = static_cast<int>(shape);
    if (made[index]) return made[index];
    const Source& source = kSources[index];
    if (!source.theme_name) {
        made[index] = empty_cursor();
    } else {
        made[index] = XcursorLibraryLoadCursor(_quarn_display, source.theme_name);
        if (!made[index]) made[index] = XCreateFontCursor(_quarn_display, source.font_shape);
    }
    return made[index];
}

void _quarn_free_cursors() {
    for (::Cursor& cursor : made) {
        if (cursor && _quarn_display) XFreeCursor(_quarn_display, cursor);
        cursor = None;
    }
}

}  // namespace Frame
}  // namespace Quarn
