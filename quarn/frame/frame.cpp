#include "quarn/frame/frame.h"

#include <GL/glx.h>

#include <memory>
#include <vector>

#include "quarn/context/framebuffer.h"
#include "quarn/error.h"
#include "quarn/frame/controls.h"
#include "quarn/frame/cursors.h"
#include "quarn/frame/desktop.h"
#include "quarn/frame/helpers.h"
#include "quarn/frame/pointer_lock.h"
#include "quarn/frame/report.h"
#include "quarn/init.h"
#include "quarn/input/state.h"
#include "quarn/monitor.h"
#include "quarn/warning.h"

namespace Quarn {
namespace Frame {

namespace {

// Rows of flag contradictions, tested in this order; several may hold at once.
void warn_about_flags(const Flags::Style& style, const Flags::Button& buttons) {
    using Flags::Button;
    using Flags::Style;
    const bool border = style & Style::BORDER;
    const bool any_button = buttons;
    if (!border) {
        if (any_button)
            _quarn_print_warning(
                "Cannot create a window with no border but having a minimize, maximize, or close button!");
        if (style & Style::TITLEBAR)
            _quarn_print_warning("Cannot create a window with no border but having a titlebar!");
        if (style & Style::RESIZABLE)
            _quarn_print_warning("Cannot create a window with no border but manually resizable!");
    }
    if (!(buttons & Button::CLOSE)) {
        if (any_button)
            _quarn_print_warning(
                "Cannot create a window with no close button but having a minimize or maximize button!");
        if (style & Style::MINI) _quarn_print_warning("Miniframes must have close buttons!");
    }
    if (!(style & Style::TITLEBAR) && buttons != Button::NONE)
        _quarn_print_warning(
            "Cannot create a window with no titlebar but having a minimize, maximize, or close button!");
    if ((style & Style::MINI) && ((buttons & Button::MINIMIZE) || (buttons & Button::MAXIMIZE)))
        _quarn_print_warning("Minimize and maximize buttons on miniframes are ignored.");
}

// What the X protocol can carry: sizes are CARD16 (0 is an X error), positions INT16.
bool size_fits(int width, int height) { return width >= 1 && width <= 65535 && height >= 1 && height <= 65535; }
bool position_fits(int x, int y) { return x >= -32768 && x <= 32767 && y >= -32768 && y <= 32767; }

// ICCCM window managers may ignore a top-level window's own geometry unless
// WM_NORMAL_HINTS says the user (US*) or program (P*) chose it; twm even waits
// for the user to place such a window. `change` edits the hints already there,
// so hints set by others are kept. XSizeHints is a plain record: the stack
// holds it, and the setters allocate nothing.
template <typename Change>
void merge_normal_hints(Window window, Change change) {
    XSizeHints hints{};
    long supplied = 0;
    if (!XGetWMNormalHints(_quarn_display, window, &hints, &supplied)) hints.flags = 0;
    change(hints);
    XSetWMNormalHints(_quarn_display, window, &hints);
}

}  // namespace

_quarn_FrameBacking::_quarn_FrameBacking(const Flags::Style& style, const Flags::Button& buttons,
                                         const FrameBase* parent, const int* position, const int* dimensions) {
    _quarn_require_display("Cannot create a window without a display connection!");
    warn_about_flags(style, buttons);

    // Visual and root window come from the same (default) screen, so the
    // window's depth and visual always match its parent's screen.
    const int screen = DefaultScreen(_quarn_display);
    const Window x_parent = parent ? parent->_quarn_backing->window : RootWindow(_quarn_display, screen);

    int attributes[] = {GLX_RGBA, GLX_DEPTH_SIZE, 24, GLX_STENCIL_SIZE, 8, GLX_DOUBLEBUFFER, None};
    // A context made with Settings draws only windows of its own configuration.
    visual_info = Context::_quarn_frame_visual(_quarn_display, screen);
    if (!visual_info) visual_info = glXChooseVisual(_quarn_display, screen, attributes);
    if (!visual_info) _quarn_throw_error("Cannot find visual with desired attributes.\n");

    color_map = XCreateColormap(_quarn_display, x_parent, visual_info->visual, AllocNone);

    XSetWindowAttributes window_attributes;
    window_attributes.colormap = color_map;
    window_attributes.event_mask = ExposureMask | KeyPressMask;
    report = Flags::Report::NONE;
    reported_size[0] = dimensions[0];
    reported_size[1] = dimensions[1];
    iconic = false;
    maximized = false;
    input_context = nullptr;
    focused = _quarn_Told::NOTHING;
    focus_by_pointer = false;
    pointer_inside = _quarn_Told::NOTHING;
    covering = false;
    windowed[0] = windowed[1] = windowed[2] = windowed[3] = 0;
    fullscreen_waiting = false;
    fullscreen_wanted = false;
    opened_fullscreen = false;
    fullscreen_monitors = -1;
    cursor = None;
    orphaned = false;
    image_cursor = None;
    inside_frame = parent != nullptr;
    reparented = false;
    reported_position[0] = position[0];
    reported_position[1] = position[1];
    size_limits[0] = size_limits[1] = size_limits[2] = size_limits[3] = -1;
    aspect[0] = aspect[1] = 0;
    resizable = true;
    decorated = true;
    floating = false;
    urgent = false;
    // A window deeper than its parent (a transparent context's 32-bit visual)
    // cannot copy the parent's border: X answers BadMatch unless it has its own.
    unsigned long value_mask = CWColormap | CWEventMask;
    if (visual_info->depth != DefaultDepth(_quarn_display, screen)) {
        window_attributes.border_pixel = 0;
        value_mask |= CWBorderPixel;
    }
    window = XCreateWindow(_quarn_display, x_parent, position[0], position[1], dimensions[0], dimensions[1], 0,
                           visual_info->depth, InputOutput, visual_info->visual, value_mask, &window_attributes);

    XStoreName(_quarn_display, window, "[default title]");
    _quarn_name_application(window);
    // Focus changes, the keyboard's state after them (KeymapNotify) and
    // crossings let the pump release what a frame holds when the real release
    // will not reach it.
    XSelectInput(_quarn_display, window, event_mask);

    // only_if_exists False: on a server where no client has made the atom yet
    // (a bare Xvfb, a session before its window manager) True yields None, and
    // the window manager would then kill the client instead of asking it.
    Atom delete_window = XInternAtom(_quarn_display, "WM_DELETE_WINDOW", False);
    XSetWMProtocols(_quarn_display, window, &delete_window, 1);
}

_quarn_FrameBacking::~_quarn_FrameBacking() {
    // After deinit the connection is gone, and the server has freed the window
    // and colormap with it; the ids may name another connection's by now.
    if (_quarn_display && !orphaned) {
        if (input_context) XDestroyIC(input_context);
        Context::_quarn_forget_frame(this);
        XDestroyWindow(_quarn_display, window);
        if (image_cursor) XFreeCursor(_quarn_display, image_cursor);
        XFreeColormap(_quarn_display, color_map);
    }
    XFree(visual_info);
}

FrameBase::FrameBase(FrameBase* parent, const Flags::Style& style, const Flags::Button& buttons)
    : dimensions{118, 33},
      position{0, 0},
      visible(false),
      input_state(nullptr),
      has_menubar(false),
      _quarn_backing(nullptr) {
    // Held until the backing exists, so a throwing backing leaves nothing behind.
    auto state = std::make_unique<Input::State>();
    _quarn_backing = new _quarn_FrameBacking(style, buttons, parent, position, dimensions);
    input_state = state.release();
    (*_quarn_windows)[_quarn_backing->window] = this;
}

FrameBase::~FrameBase() {
    // Leave the registry so the pump never reaches this frame again, also for
    // events of the window that are already queued.
    if (_quarn_windows && _quarn_backing) {
        const auto entry = _quarn_windows->find(_quarn_backing->window);
        if (entry != _quarn_windows->end() && entry->second == this) _quarn_windows->erase(entry);
    }
    if (_quarn_backing) _quarn_release_pointer(this);
    delete _quarn_backing;
    delete input_state;
}

void FrameBase::set_size(int size_x, int size_y) {
    if (!size_fits(size_x, size_y)) {
        _quarn_print_warning("Cannot set a window size outside 1 to 65535 pixels!  Ignoring .set_size!");
        return;
    }
    dimensions[0] = size_x;
    dimensions[1] = size_y;
    merge_normal_hints(_quarn_backing->window, [this](XSizeHints& hints) {
        hints.flags |= USSize | PSize;
        hints.width = dimensions[0];
        hints.height = dimensions[1];
    });
    _quarn_controls_resized(this);
    XResizeWindow(_quarn_display, _quarn_backing->window, dimensions[0], dimensions[1]);
}

void FrameBase::set_size(const int* size) {
    if (!size) {
        _quarn_print_warning("Cannot set a window size from a null pointer!  Ignoring .set_size!");
        return;
    }
    set_size(size[0], size[1]);
}

void FrameBase::set_position(int to_x, int to_y) {
    if (!position_fits(to_x, to_y)) {
        _quarn_print_warning("Cannot set a window position outside -32768 to 32767!  Ignoring .set_position!");
        return;
    }
    position[0] = to_x;
    position[1] = to_y;
    merge_normal_hints(_quarn_backing->window, [this](XSizeHints& hints) {
        hints.flags |= USPosition | PPosition;
        hints.x = position[0];
        hints.y = position[1];
    });
    XMoveWindow(_quarn_display, _quarn_backing->window, position[0], position[1]);
}

void FrameBase::set_position(const int* to_xy) {
    if (!to_xy) {
        _quarn_print_warning("Cannot set a window position from a null pointer!  Ignoring .set_position!");
        return;
    }
    set_position(to_xy[0], to_xy[1]);
}

void FrameBase::set_title(const std::string& title) { _quarn_set_title(_quarn_backing->window, title); }

void FrameBase::set_class(const std::string& instance, const std::string& class_name) {
    _quarn_set_class(_quarn_backing->window, instance, class_name);
}

void FrameBase::set_fullscreen(bool fullscreen) { _quarn_set_fullscreen(this, fullscreen); }

void FrameBase::set_fullscreen(bool fullscreen, int monitor) {
    _quarn_require_display("Cannot set fullscreen without a display connection!");
    const std::vector<Monitor> monitors = get_monitors();
    if (monitor < 0 || static_cast<std::size_t>(monitor) >= monitors.size()) {
        _quarn_print_warning("Cannot go fullscreen on a monitor that does not exist!  Ignoring .set_fullscreen!");
        return;
    }
    _quarn_set_fullscreen(this, fullscreen, &monitors[static_cast<std::size_t>(monitor)]);
}

void FrameBase::set_cursor(Cursor cursor) { _quarn_set_cursor(this, cursor); }

void FrameBase::set_cursor(int width, int height, const unsigned char* rgba, int hot_x, int hot_y) {
    _quarn_set_cursor_image(this, width, height, rgba, hot_x, hot_y);
}

void FrameBase::set_pointer_locked(bool locked) { _quarn_lock_pointer(this, locked); }

void FrameBase::set_pointer_confined(bool confined) { _quarn_confine_pointer(this, confined); }

void FrameBase::set_mouse_position(int x, int y) { _quarn_move_pointer(this, x, y); }

bool FrameBase::get_mouse_position(int* xy) const { return _quarn_query_pointer(this, xy); }

void FrameBase::set_icon(int width, int height, const unsigned char* rgba) {
    if (!rgba || width < 1 || height < 1) {
        _quarn_print_warning("Cannot set an icon from a null pointer or a size below 1!  Ignoring .set_icon!");
        return;
    }
    _quarn_set_icon(_quarn_backing->window, width, height, rgba);
}

void FrameBase::set_title(const std::wstring&) {
    _quarn_print_warning("Wide string not yet supported for window titles on Linux!");
}

void FrameBase::set_show(bool show, int blend_ms) {
    if (show == visible) {
        _quarn_print_warning("Warning: already in the requested state!  Ignoring .set_show!");
        return;
    }
    if (blend_ms != 0) _quarn_print_warning("Blend is not supported on Linux!");
    if (show) {
        _quarn_controls_showing(this);
        XMapWindow(_quarn_display, _quarn_backing->window);
    } else {
        XUnmapWindow(_quarn_display, _quarn_backing->window);
    }
    visible = show;
}

void FrameBase::set_report(const Flags::Report& report) { _quarn_set_report(this, report); }

void FrameBase::set_size_limits(int min_width, int min_height, int max_width, int max_height) {
    _quarn_set_size_limits(this, min_width, min_height, max_width, max_height);
}

void FrameBase::set_aspect_ratio(int numerator, int denominator) {
    _quarn_set_aspect_ratio(this, numerator, denominator);
}

void FrameBase::set_resizable(bool resizable) { _quarn_set_resizable(this, resizable); }

void FrameBase::set_decorated(bool decorated) { _quarn_set_decorated(this, decorated); }

void FrameBase::set_floating(bool floating) { _quarn_set_floating(this, floating); }

void FrameBase::set_opacity(float opacity) { _quarn_set_opacity(this, opacity); }

void FrameBase::minimize() { _quarn_minimize(this); }

void FrameBase::maximize() { _quarn_maximize(this); }

void FrameBase::restore() { _quarn_restore(this); }

void FrameBase::focus() { _quarn_focus(this); }

void FrameBase::request_attention() { _quarn_request_attention(this); }

void FrameBase::set_mouse_passthrough(bool passthrough) { _quarn_set_mouse_passthrough(this, passthrough); }

void FrameBase::get_frame_extents(int* left_right_top_bottom) const {
    _quarn_get_frame_extents(this, left_right_top_bottom);
}

void FrameBase::get_position(int* xy) const { _quarn_get_position(this, xy); }

void FrameBase::draw() { draw(true); }

void FrameBase::draw(bool wait) {
    // Swapping with no context current is a GLX error that ends the process.
    if (!Context::_quarn_drawing_context_current()) {
        _quarn_print_warning("Cannot draw a frame without a bound rendering context!  Ignoring .draw!");
        return;
    }
    callback_draw();
    Context::_quarn_swap_frame(_quarn_backing);
    if (wait) glFinish();
}

void FrameBase::callback_draw() {}

void FrameBase::callback_input(const Input::State*, const Input::Events::EventBase*) {}
void FrameBase::callback_input(const Input::State*, const Input::Events::EventKeyBase*) {}
void FrameBase::callback_input(const Input::State*, const Input::Events::EventKeyDown*) {}
void FrameBase::callback_input(const Input::State*, const Input::Events::EventKeyUp*) {}
void FrameBase::callback_input(const Input::State*, const Input::Events::EventMouseBase*) {}
void FrameBase::callback_input(const Input::State*, const Input::Events::EventMouseButtonBase*) {}
void FrameBase::callback_input(const Input::State*, const Input::Events::EventMouseButtonLeftBase*) {}
void FrameBase::callback_input(const Input::State*, const Input::Events::EventMouseButtonLeftDown*) {}
void FrameBase::callback_input(const Input::State*, const Input::Events::EventMouseButtonLeftUp*) {}
void FrameBase::callback_input(const Input::State*, const Input::Events::EventMouseButtonMiddleBase*) {}
void FrameBase::callback_input(const Input::State*, const Input::Events::EventMouseButtonMiddleDown*) {}
void FrameBase::callback_input(const Input::State*, const Input::Events::EventMouseButtonMiddleUp*) {}
void FrameBase::callback_input(const Input::State*, const Input::Events::EventMouseButtonRightBase*) {}
void FrameBase::callback_input(const Input::State*, const Input::Events::EventMouseButtonRightDown*) {}
void FrameBase::callback_input(const Input::State*, const Input::Events::EventMouseButtonRightUp*) {}
void FrameBase::callback_input(const Input::State*, const Input::Events::EventMouseScroll*) {}
void FrameBase::callback_input(const Input::State*, const Input::Events::EventMouseMove*) {}
void FrameBase::callback_input(const Input::State*, const Input::Events::EventFrameBase*) {}
void FrameBase::callback_input(const Input::State*, const Input::Events::EventFrameMenuItem*) {}
void FrameBase::callback_input(const Input::State*, const Input::Events::EventFrameClose*) {}
void FrameBase::callback_input(const Input::State*, const Input::Events::EventFrameMinimize*) {}
void FrameBase::callback_input(const Input::State*, const Input::Events::EventFrameMaximize*) {}
void FrameBase::callback_input(const Input::State*, const Input::Events::EventFrameResize*) {}
void FrameBase::callback_input(const Input::State*, const Input::Events::EventText*) {}
void FrameBase::callback_input(const Input::State*, const Input::Events::EventFrameFocus*) {}
void FrameBase::callback_input(const Input::State*, const Input::Events::EventMouseEnter*) {}
void FrameBase::callback_input(const Input::State*, const Input::Events::EventMouseLeave*) {}
void FrameBase::callback_input(const Input::State*, const Input::Events::EventFrameRefresh*) {}
void FrameBase::callback_input(const Input::State*, const Input::Events::EventMouseButtonExtraBase*) {}
void FrameBase::callback_input(const Input::State*, const Input::Events::EventMouseButtonExtraDown*) {}
void FrameBase::callback_input(const Input::State*, const Input::Events::EventMouseButtonExtraUp*) {}
void FrameBase::callback_input(const Input::State*, const Input::Events::EventFrameMonitors*) {}
void FrameBase::callback_input(const Input::State*, const Input::Events::EventFrameMove*) {}
void FrameBase::callback_input(const Input::State*, const Input::Events::EventGamepadConnection*) {}
void FrameBase::callback_input(const Input::State*, const Input::Events::EventFrameDrop*) {}

}  // namespace Frame
}  // namespace Quarn
