#include "quarn/frame/helpers.h"

#include "quarn/frame/frame.h"

namespace Quarn {
namespace Frame {

std::map<unsigned long, FrameBase*>* _quarn_windows = nullptr;

void _quarn_init() { _quarn_windows = new std::map<unsigned long, FrameBase*>(); }

void _quarn_deinit() {
    // Frames may outlive the connection their windows were made on.
    if (_quarn_windows)
        for (const auto& entry : *_quarn_windows) entry.second->_quarn_backing->orphaned = true;
    delete _quarn_windows;
    // A frame destroyed after deinit must find no registry rather than freed memory.
    _quarn_windows = nullptr;
}

}  // namespace Frame
}  // namespace Quarn
