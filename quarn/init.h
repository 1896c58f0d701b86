#pragma once

#include <X11/Xlib.h>

namespace Quarn {

/// The library's one connection to the X server: null before init(), and
/// also after an init() that could not connect.
extern Display* _quarn_display;

/// Whether the trace lines are printed (Context::set_trace); true at start.
extern bool _quarn_trace;

/// Starts the library: creates the menu-callback and frame registries, then
/// opens the display named by $DISPLAY. A failed connection prints the
/// warning "Cannot open display (cannot connect to X server)!" and returns;
/// frames, the context and the event pump then refuse to run. Call once,
/// before anything else of the library; a second call only warns.
void init();

/// Stops the library: closes the joysticks (forgetting the gamepad mappings
/// added at run time), destroys the frame registry, then the menu-callback
/// registry, then closes the display. Destroy the context and every frame
/// first; their destructors talk to the display.
void deinit();

/// Refuses, through the error routine, an operation that needs the display
/// when init() found none. `what` is a static text naming the operation.
void _quarn_require_display(const char* what);

}  // namespace Quarn
