#include "quarn/context/framebuffer.h"

#include <GL/glx.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "quarn/frame/frame.h"
#include "quarn/init.h"

namespace Quarn {
namespace Context {

namespace {
// The Settings contexts alive, oldest first: frames take the newest one's
// framebuffer, and the one before it again once the newest is gone.
std::vector<_quarn_Backend*> published;
}  // namespace

void _quarn_publish_framebuffer_backend(_quarn_Backend* backend) { published.push_back(backend); }
void _quarn_withdraw_framebuffer_backend(_quarn_Backend* backend) {
    published.erase(std::remove(published.begin(), published.end(), backend), published.end());
}
_quarn_Backend* _quarn_framebuffer_backend() { return published.empty() ? nullptr : published.back(); }

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
    const _quarn_Backend* backend = _quarn_framebuffer_backend();
    if (!backend) return nullptr;
    XVisualInfo wanted{};
    wanted.visualid = backend->visual();
    wanted.screen = screen;
    int count = 0;
    return XGetVisualInfo(display, VisualIDMask | VisualScreenMask, &wanted, &count);
}

namespace {
_quarn_Backend* current_backend() {
    for (_quarn_Backend* backend : published)
        if (backend->current()) return backend;
    return nullptr;
}
}  // namespace

bool _quarn_drawing_context_current() { return current_backend() || glXGetCurrentContext() != nullptr; }

void _quarn_swap_frame(const Frame::_quarn_FrameBacking* backing) {
    if (_quarn_Backend* backend = current_backend()) {
        backend->swap(backing);
        return;
    }
    glXSwapBuffers(_quarn_display, backing->window);
}

// Any living context may have made a drawable for the window.
void _quarn_forget_frame(const Frame::_quarn_FrameBacking* backing) {
    for (_quarn_Backend* backend : published) backend->forget(backing);
}

}  // namespace Context
}  // namespace Quarn
