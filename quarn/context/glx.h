#pragma once

#include <X11/Xlib.h>

#include <memory>

#include "quarn/context/framebuffer.h"

namespace Quarn {
namespace Context {

struct Settings;

/// A GLX context of `major`.`minor` with `settings`, made through
/// GLX_ARB_create_context on a framebuffer configuration chosen for them.
/// Throws (through the error routine) naming what the driver does not offer;
/// nothing is left behind then. Not yet current anywhere.
std::unique_ptr<_quarn_Backend> _quarn_make_glx_backend(int major, int minor, const Settings& settings);

/// Sets the swap interval of `drawable` through GLX_EXT_swap_control, else
/// GLX_MESA_swap_control (the current drawable), else GLX_SGI_swap_control;
/// X errors trapped. A warning text when the driver cannot, else null.
const char* _quarn_glx_swap_interval(Display* display, unsigned long drawable, int interval);

}  // namespace Context
}  // namespace Quarn
