#include "tests/support/x_client.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xfixes.h>
#include <poll.h>

#include <chrono>
#include <stdexcept>

namespace quarn_test {

Display* open_display() {
    if (Display* display = XOpenDisplay(nullptr)) return display;
    throw std::runtime_error("cannot connect to the test X server");
}

XClient::XClient() : display_(open_display()) {}

XClient::~XClient() { XCloseDisplay(display_); }

Window XClient::root() const { return DefaultRootWindow(display_); }

namespace {

int ignore_error(Display*, XErrorEvent*) { return 0; }

}  // namespace

bool XClient::wait_viewable(Window window) {
    // The library's connection may only have flushed the window's creation:
    // the server can take this connection's request first, and a window it
    // does not know yet is not viewable yet (BadWindow is no failure here).
    XSync(display_, False);
    const auto previous = XSetErrorHandler(ignore_error);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    bool viewable = false;
    while (!viewable && std::chrono::steady_clock::now() < deadline) {
        XWindowAttributes found{};
        viewable = XGetWindowAttributes(display_, window, &found) && found.map_state == IsViewable;
        if (!viewable) poll(nullptr, 0, 5);
    }
    XSetErrorHandler(previous);
    return viewable;
}

void XClient::point(Window window, int x, int y) {
    int root_x = 0, root_y = 0;
    Window child;
    XTranslateCoordinates(display_, window, root(), x, y, &root_x, &root_y, &child);
    point_on_screen(root_x, root_y);
}

void XClient::point_on_screen(int x, int y) {
    XTestFakeMotionEvent(display_, DefaultScreen(display_), x, y, CurrentTime);
    sync();
}

void XClient::focus_and_point(Window window, int x, int y) {
    XSetInputFocus(display_, window, RevertToPointerRoot, CurrentTime);
    point(window, x, y);
}

std::pair<unsigned long, bool> XClient::shown_cursor() {
    XFixesCursorImage* image = XFixesGetCursorImage(display_);
    if (!image) return {0, false};
    bool visible = false;
    for (int i = 0; i < image->width * image->height; ++i) visible = visible || (image->pixels[i] >> 24) != 0;
    const unsigned long serial = image->cursor_serial;
    XFree(image);
    return {serial, visible};
}

void XClient::move_pointer_by(int dx, int dy) {
    XTestFakeRelativeMotionEvent(display_, dx, dy, CurrentTime);
    sync();
}

std::pair<int, int> XClient::pointer_in(Window window) {
    Window root = None, child = None;
    int root_x = 0, root_y = 0, x = 0, y = 0;
    unsigned int mask = 0;
    XQueryPointer(display_, window, &root, &child, &root_x, &root_y, &x, &y, &mask);
    return {x, y};
}

void XClient::key(unsigned long keysym, bool press) { key_code(XKeysymToKeycode(display_, keysym), press); }

void XClient::key_code(unsigned int code, bool press) {
    XTestFakeKeyEvent(display_, code, press, CurrentTime);
    sync();
}

void XClient::tap(unsigned long keysym) {
    key(keysym, true);
    key(keysym, false);
}

void XClient::button(unsigned int number, bool press) {
    XTestFakeButtonEvent(display_, number, press, CurrentTime);
    sync();
}

void XClient::click(unsigned int number) {
    button(number, true);
    button(number, false);
}

void XClient::send_client_message(Window window, const char* type) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display_, type, False);
    event.xclient.format = 32;
    XSendEvent(display_, window, False, NoEventMask, &event);
    sync();
}

void XClient::send_configure(Window window, int width, int height) {
    XEvent event{};
    event.xconfigure.type = ConfigureNotify;
    event.xconfigure.event = window;
    event.xconfigure.window = window;
    event.xconfigure.width = width;
    event.xconfigure.height = height;
    XSendEvent(display_, window, False, NoEventMask, &event);
    sync();
}

void XClient::sync() { XSync(display_, False); }

std::string XClient::title(Window window) {
    char* name = nullptr;
    if (!XFetchName(display_, window, &name) || !name) return {};
    std::string result(name);
    XFree(name);
    return result;
}

std::vector<std::string> XClient::protocols(Window window) {
    Atom* atoms = nullptr;
    int count = 0;
    std::vector<std::string> names;
    if (!XGetWMProtocols(display_, window, &atoms, &count)) return names;
    for (int i = 0; i < count; ++i) {
        if (atoms[i] == None) {
            names.emplace_back("None");
            continue;
        }
        char* name = XGetAtomName(display_, atoms[i]);
        names.emplace_back(name);
        XFree(name);
    }
    XFree(atoms);
    return names;
}

Window XClient::parent(Window window) {
    Window root_window, parent_window;
    Window* kids = nullptr;
    unsigned int count = 0;
    XQueryTree(display_, window, &root_window, &parent_window, &kids, &count);
    if (kids) XFree(kids);
    return parent_window;
}

std::vector<Window> XClient::children(Window window) {
    Window root_window, parent_window;
    Window* kids = nullptr;
    unsigned int count = 0;
    std::vector<Window> result;
    if (!XQueryTree(display_, window, &root_window, &parent_window, &kids, &count)) return result;
    result.assign(kids, kids + count);
    if (kids) XFree(kids);
    return result;
}

XWindowAttributes XClient::attributes(Window window) {
    XWindowAttributes result{};
    XGetWindowAttributes(display_, window, &result);
    return result;
}

Window XClient::find_by_title(const std::string& wanted) {
    std::vector<Window> pending{root()};
    while (!pending.empty()) {
        const Window window = pending.back();
        pending.pop_back();
        if (title(window) == wanted) return window;
        for (Window child : children(window)) pending.push_back(child);
    }
    return 0;
}

}  // namespace quarn_test
