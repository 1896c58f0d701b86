#include "quarn/frame/helpers.h"

namespace Quarn {
namespace Frame {

std::map<unsigned long, FrameBase*>* _quarn_windows = nullptr;

void _quarn_init() { _quarn_windows = new std::map<unsigned long, FrameBase*>(); }

void _quarn_deinit() {
    delete _quarn_windows;
    // A frame destroyed after deinit must find no registry rather than freed memory.
    _quarn_windows = nullptr;
}

}  // namespace Frame
}  // namespace Quarn
