#pragma once

#include <memory>

#include "quarn/context/framebuffer.h"

namespace Quarn {
namespace Context {

struct Settings;

/// An OpenGL or OpenGL ES context of `major`.`minor` with `settings`, made
/// through EGL on the library's X display (EGL_PLATFORM_X11_KHR). Throws
/// (through the error routine) naming what EGL does not offer; nothing is
/// left behind then. Not yet current anywhere.
std::unique_ptr<_quarn_Backend> _quarn_make_egl_backend(int major, int minor, const Settings& settings);

}  // namespace Context
}  // namespace Quarn
