#pragma once

#include <X11/Xlib.h>

#include <string>
#include <utility>
#include <vector>

namespace quarn_test {

// Opens $DISPLAY; throws when it cannot.
Display* open_display();

// A second connection to the X server, as another client would have: it reads
// window properties, sends synthetic events with XSendEvent, and injects raw
// XTest input into windows that are not this process's frames (another
// process's, or plain X windows); frames get theirs from Quarn::Testing::Input.
class XClient {
public:
    XClient();
    ~XClient();
    XClient(const XClient&) = delete;
    XClient& operator=(const XClient&) = delete;

    Display* display() const { return display_; }
    Window root() const;

    // Waits (bounded) until `window` is viewable; false if it never becomes so.
    bool wait_viewable(Window window);
    // Gives `window` the keyboard focus and moves the pointer to (x, y) inside it.
    void focus_and_point(Window window, int x = 10, int y = 10);
    // Moves the pointer to (x, y) in `window`'s coordinates.
    void point(Window window, int x, int y);

    // Moves the pointer to (x, y) on the screen.
    void point_on_screen(int x, int y);

    void key(unsigned long keysym, bool press);
    void key_code(unsigned int code, bool press);
    void tap(unsigned long keysym);
    void button(unsigned int button, bool press);
    void click(unsigned int button);
    // A ClientMessage with an empty event mask: delivered to the window's creator.
    void send_client_message(Window window, const char* type = "WM_PROTOCOLS");
    void send_configure(Window window, int width, int height);
    // Makes sure the server has processed everything sent so far.
    void sync();

    // What the pointer shows now: the cursor's serial (one per cursor made)
    // and whether any of its pixels can be seen.
    std::pair<unsigned long, bool> shown_cursor();
    // Moves the pointer by (dx, dy) as a mouse would (XInput2 raw motion too).
    void move_pointer_by(int dx, int dy);
    // The pointer's position in `window`'s coordinates.
    std::pair<int, int> pointer_in(Window window);

    std::string title(Window window);
    std::vector<std::string> protocols(Window window);
    Window parent(Window window);
    XWindowAttributes attributes(Window window);
    std::vector<Window> children(Window window);
    // The window (anywhere in the tree) whose WM_NAME is `title`, or 0.
    Window find_by_title(const std::string& title);

private:
    Display* display_;
};

}  // namespace quarn_test
