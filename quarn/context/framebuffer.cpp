#include "quarn/context/framebuffer.h"

#include <GL/glx.h>

#include <cstring>

#include "quarn/frame/frame.h"
#include "quarn/init.h"

namespace Quarn {
namespace Context {

namespace {
_quarn_Backend* backend_in_use = nullptr;
}  // namespace

void _quarn_set_framebuffer_backend(_quarn_Backend* backend) { backend_in_use = backend; }
_quarn_Backend* _quarn_framebuffer_backend() { return backend_in_use; }

bool _quarn_names_word(const char* list, const char* name) {
    if (!list || !name || *name == '\0' || std::strchr(name, ' ')) return false;
    const std::size_t length = std::strlen(name);
    for (const char* start = list;;) {
        const char* where = std::strstr(start, name);
        if (!where) return false;
        const char* terminator = where + length;
        // Compare with the list's start, not the resume point: a match right
        // after a rejected one must still follow a space to be a whole word.
        if ((where == list || where[-1] == ' ') && (*terminator == ' ' || *terminator == '\0')) return true;
        start = terminator;
    }
}

XVisualInfo* _quarn_frame_visual(Display* display, int screen) {
    if (!backend_in_use) return nullptr;
    XVisualInfo wanted{};
    wanted.visualid = backend_in_use->visual();
    wanted.screen = screen;
    int count = 0;
    return XGetVisualInfo(display, VisualIDMask | VisualScreenMask, &wanted, &count);
}

bool _quarn_drawing_context_current() {
    if (backend_in_use && backend_in_use->current()) return true;
    return glXGetCurrentContext() != nullptr;
}

void _quarn_swap_frame(const Frame::_quarn_FrameBacking* backing) {
    if (backend_in_use && backend_in_use->current()) {
        backend_in_use->swap(backing);
        return;
    }
    glXSwapBuffers(_quarn_display, backing->window);
}

void _quarn_forget_frame(const Frame::_quarn_FrameBacking* backing) {
    if (backend_in_use) backend_in_use->forget(backing);
}

}  // namespace Context
}  // namespace Quarn
