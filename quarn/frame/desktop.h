#pragma once

#include <X11/Xlib.h>

#include <string>

#include "quarn/monitor.h"

namespace Quarn {
namespace Frame {

// What desktops read from a frame's window: who it belongs to, its title in
// UTF-8, its icon.

/// Names the window's application: WM_CLASS (instance: the program's name as
/// started, RESOURCE_NAME from the environment taking precedence, as ICCCM
/// says; class: the same with its first letter in upper case), _NET_WM_PID
/// and WM_CLIENT_MACHINE. Called for every frame's window as it is created.
void _quarn_name_application(Window window);

/// WM_CLASS with the application's own `instance` and `class_name`.
void _quarn_set_class(Window window, const std::string& instance, const std::string& class_name);

/// The window's names from `title` (UTF-8, up to its first NUL): WM_NAME and
/// WM_ICON_NAME as STRING (Latin-1) where every character fits, else as
/// COMPOUND_TEXT; _NET_WM_NAME and _NET_WM_ICON_NAME (UTF8_STRING) with its bytes.
void _quarn_set_title(Window window, const std::string& title);

/// _NET_WM_ICON from `width` x `height` RGBA pixels, row by row, halved
/// (averaging) until it fits in one request to the server.
void _quarn_set_icon(Window window, int width, int height, const unsigned char* rgba);

class FrameBase;

/// Fullscreen on or off (FrameBase::set_fullscreen), against the window's
/// _NET_WM_STATE as it is now and the state last asked for: through the
/// window manager's EWMH request once it manages the shown window (WM_STATE
/// Normal or Iconic; the property itself before that, and the request once
/// it does), else by covering a monitor itself: `monitor` where given, else
/// the one that holds the window's centre. With `monitor`, a manager that
/// lists _NET_WM_FULLSCREEN_MONITORS is told it; under another the frame is
/// moved onto it first.
void _quarn_set_fullscreen(FrameBase* frame, bool fullscreen, const Monitor* monitor = nullptr);

/// A PropertyNotify of a frame with a fullscreen request waiting for the
/// manager to manage its window (WM_STATE becoming Normal or Iconic): the
/// request is sent.
void _quarn_fullscreen_property(FrameBase* frame, const XPropertyEvent& property);

}  // namespace Frame
}  // namespace Quarn
