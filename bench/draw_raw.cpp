// Raw GLX: one context shared by two windows, bound to each in turn.
#include <GL/glx.h>

#include "bench/common.h"
#include "test_twowindows/scene.h"

int main(int argc, char** argv) {
    const double started = bench::seconds_now();
    Display* display = XOpenDisplay(nullptr);
    int attributes[] = {GLX_RGBA, GLX_DEPTH_SIZE, 24, GLX_STENCIL_SIZE, 8, GLX_DOUBLEBUFFER, None};
    XVisualInfo* visual = glXChooseVisual(display, DefaultScreen(display), attributes);
    const Window root = DefaultRootWindow(display);
    XSetWindowAttributes window_attributes{};
    window_attributes.colormap = XCreateColormap(display, root, visual->visual, AllocNone);
    window_attributes.event_mask = ExposureMask | KeyPressMask;
    Window windows[2];
    for (int i = 0; i < 2; ++i) {
        windows[i] = XCreateWindow(display, root, 200 * i, 0, 200, 200, 0, visual->depth, InputOutput, visual->visual,
                                   CWColormap | CWEventMask, &window_attributes);
        XMapWindow(display, windows[i]);
    }
    GLXContext context = glXCreateContext(display, visual, nullptr, True);
    glXMakeCurrent(display, windows[0], context);
    auto swap_interval = reinterpret_cast<PFNGLXSWAPINTERVALEXTPROC>(
        glXGetProcAddressARB(reinterpret_cast<const GLubyte*>("glXSwapIntervalEXT")));
    for (Window window : windows) {
        glXMakeCurrent(display, window, context);
        if (swap_interval) swap_interval(display, window, 0);
    }
    scene::set_shared_state();
    XEvent event;
    const int status = bench::run_draw(argc, argv, "raw", started,
                                       {[&] {
                                            while (XPending(display)) XNextEvent(display, &event);
                                        },
                                        [&](int frame) { glXMakeCurrent(display, windows[frame], context); },
                                        [&](int frame) {
                                            glXSwapBuffers(display, windows[frame]);
                                            glFinish();
                                        },
                                        {}});
    glXMakeCurrent(display, None, nullptr);
    glXDestroyContext(display, context);
    XFree(visual);
    XCloseDisplay(display);
    return status;
}
