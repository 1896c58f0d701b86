#pragma once

#include <map>

namespace Quarn {
namespace Frame {

class FrameBase;

/// X window id to the frame that owns the window. Frames enter themselves when
/// built and leave when destroyed; the event pump looks events up here.
extern std::map<unsigned long, FrameBase*>* _quarn_windows;

/// The frame whose window is `window`, or null: none has it, or there is no
/// registry (before init, after deinit). Callbacks may destroy frames, so the
/// callers ask again after them.
inline FrameBase* _quarn_frame_of(unsigned long window) {
    if (!_quarn_windows) return nullptr;
    const auto entry = _quarn_windows->find(window);
    return entry == _quarn_windows->end() ? nullptr : entry->second;
}

/// Creates the empty frame registry (called by Quarn::init).
void _quarn_init();

/// Destroys the frame registry, not the frames (called by Quarn::deinit).
void _quarn_deinit();

}  // namespace Frame
}  // namespace Quarn
