#pragma once

#include <map>

namespace Quarn {
namespace Frame {

class FrameBase;

/// X window id to the frame that owns the window. Frames enter themselves when
/// built and leave when destroyed; the event pump looks events up here.
extern std::map<unsigned long, FrameBase*>* _quarn_windows;

/// Creates the empty frame registry (called by Quarn::init).
void _quarn_init();

/// Destroys the frame registry, not the frames (called by Quarn::deinit).
void _quarn_deinit();

}  // namespace Frame
}  // namespace Quarn
