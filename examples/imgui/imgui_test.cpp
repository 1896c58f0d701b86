// A test of the Dear ImGui example with Quarn's test kit, and no test
// framework: the button clicked, "héllo" typed with a dead key, text another
// application copied pasted with Ctrl+V, the list scrolled with the wheel,
// the slider dragged, the frame resized, the text cursor over the field, and
// ImGui's answers (true over its windows and while its field is active,
// false over the bare scene). Each row prints what it measured; exits 0 when
// every check holds.
#include <X11/Xatom.h>
#include <X11/extensions/Xfixes.h>
#include <poll.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <functional>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>

#include "imgui_frame.h"
#include "quarn/context.h"
#include "quarn/init.h"
#include "quarn/input/events/helpers.h"
#include "quarn/input/state.h"
#include "quarn/testing/testing.h"

namespace {

int failures = 0;

void check(bool holds, const char* what) {
    if (holds) return;
    std::fprintf(stderr, "FAILED: %s\n", what);
    ++failures;
}

// One row of the closing note: what the row measured.
template <typename... Values>
void row(const char* format, Values... values) {
    std::printf("imgui_test: ");
    std::printf(format, values...);
    std::printf("\n");
}

const char* yes_no(bool value) { return value ? "true" : "false"; }

// Event type codes: the left press, a key press, a character, a wheel notch.
constexpr int kLeftDown = 4, kKeyDown = 1, kText = 32768, kScroll = 256;

// Another application that copied `text`: it owns the clipboard and answers
// requests for it as UTF-8, on a thread of its own (reading blocks Quarn).
class Copier {
public:
    explicit Copier(std::string text) : display_(XOpenDisplay(nullptr)), text_(std::move(text)) {
        if (!display_) throw std::runtime_error("the copying client cannot connect");
        window_ = XCreateSimpleWindow(display_, DefaultRootWindow(display_), 0, 0, 1, 1, 0, 0, 0);
        XSetSelectionOwner(display_, XInternAtom(display_, "CLIPBOARD", False), window_, CurrentTime);
        utf8_ = XInternAtom(display_, "UTF8_STRING", False);
        XSync(display_, False);
        thread_ = std::thread([this] { serve(); });
    }
    ~Copier() {
        stop_ = true;
        thread_.join();
        XCloseDisplay(display_);
    }
    Copier(const Copier&) = delete;
    Copier& operator=(const Copier&) = delete;

private:
    void serve() {
        while (!stop_) {
            while (XPending(display_)) {
                XEvent event;
                XNextEvent(display_, &event);
                if (event.type == SelectionRequest) answer(event.xselectionrequest);
            }
            pollfd connection{ConnectionNumber(display_), POLLIN, 0};
            poll(&connection, 1, 10);
        }
    }
    void answer(const XSelectionRequestEvent& request) {
        XEvent reply{};
        reply.xselection.type = SelectionNotify;
        reply.xselection.requestor = request.requestor;
        reply.xselection.selection = request.selection;
        reply.xselection.target = request.target;
        reply.xselection.time = request.time;
        reply.xselection.property = None;  // refused, unless asked for UTF-8
        if (request.target == utf8_) {
            XChangeProperty(display_, request.requestor, request.property, utf8_, 8, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(text_.data()), static_cast<int>(text_.size()));
            reply.xselection.property = request.property;
        }
        XSendEvent(display_, request.requestor, False, NoEventMask, &reply);
        XFlush(display_);
    }

    Display* display_;
    std::string text_;
    Window window_ = None;
    Atom utf8_ = None;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// A plain frame showing one cursor shape, to learn what the server shows for it.
class Sample : public Quarn::Frame::FrameBase {
public:
    Sample() : FrameBase(nullptr, Quarn::Flags::Style::BORDER, Quarn::Flags::Button::NONE) {
        set_size(100, 100);
        set_position(900, 600);
        set_show(true, 0);
    }
};

// The serial of the cursor the pointer shows now, as XFixes reads it back;
// the library makes each shape once, so one shape always reads the same.
unsigned long cursor_shown(Quarn::Testing::Input& input) {
    XSync(Quarn::_quarn_display, False);
    XFixesCursorImage* image = XFixesGetCursorImage(input.display());
    if (!image) return 0;
    const unsigned long serial = image->cursor_serial;
    XFree(image);
    return serial;
}

void run() {
    Quarn::Context::set_trace(false);  // keep the test's output its own
    Quarn::Context::Context context(2, 1);
    ImGuiFrame window;
    context.set_target(&window);
    start_imgui(window);
    Quarn::Testing::Input input;
    ImGuiIO& io = ImGui::GetIO();

    // The example's loop, bounded: frames until `done` holds (false after 600).
    const auto frames_until = [&](const std::function<bool()>& done) {
        for (int i = 0; i < 600; ++i) {
            Quarn::Input::Events::handle();
            window.frame();
            if (done()) return true;
            Quarn::Input::Events::wait(10);
        }
        return false;
    };
    // A few frames more, for what ImGui does a frame after the input.
    const auto frames = [&](int count) {
        for (int i = 0; i < count; ++i) {
            Quarn::Input::Events::handle();
            window.frame();
        }
    };
    // The pointer to a point, as a user's comes to rest there before a click.
    const auto hover = [&](int x, int y) {
        input.move(window, x, y);
        frames_until([&] { return window.input_state->mouse_position[0] == x; });
        frames(2);
    };

    check(Quarn::Testing::wait_shown(window), "the frame is shown");
    frames(3);
    row("backend %s, display %.0f x %.0f", io.BackendPlatformName ? io.BackendPlatformName : "(none)", io.DisplaySize.x,
        io.DisplaySize.y);
    check(io.BackendPlatformName && std::strcmp(io.BackendPlatformName, "imgui_impl_quarn") == 0,
          "ImGui names the backend");
    const long differing = Quarn::Testing::compare(Quarn::Testing::capture(window), IMGUI_GOLDEN, 2);
    row("first picture: %ld pixels differ from imgui.png", differing);
    check(differing == 0, "the scene with ImGui's windows on top, as imgui.png shows it");

    // What the server shows for the text and arrow shapes.
    unsigned long text_cursor = 0, arrow_cursor = 0;
    {
        Sample sample;
        Quarn::Testing::wait_shown(sample);
        sample.set_cursor(Quarn::Frame::Cursor::TEXT);
        input.move(sample, 50, 50);
        text_cursor = cursor_shown(input);
        sample.set_cursor(Quarn::Frame::Cursor::ARROW);
        arrow_cursor = cursor_shown(input);
    }
    check(text_cursor != 0 && text_cursor != arrow_cursor, "the text and arrow shapes read apart");

    // The bare scene: ImGui leaves the click to it.
    hover(400, 60);
    const bool hovered_scene = io.WantCaptureMouse;
    input.click(window, 400, 60);
    check(frames_until([&] { return window.scene_clicks == 1; }), "the scene gets a click ImGui leaves");
    const bool scene_answer = window.answers[kLeftDown];
    row("bare scene: click answered %s, scene clicks %d, cursor serial %lu (arrow %lu)", yes_no(scene_answer),
        window.scene_clicks, cursor_shown(input), arrow_cursor);
    check(!hovered_scene && !scene_answer, "ProcessEvent answers false over the bare scene");
    check(cursor_shown(input) == arrow_cursor, "the arrow over the scene");

    // The button.
    hover(window.button.x(), window.button.y());
    input.click(window, window.button.x(), window.button.y());
    check(frames_until([&] { return window.button_presses == 1; }), "the button is pressed");
    frames(2);
    row("button: click answered %s, presses %d, scene clicks %d", yes_no(window.answers[kLeftDown]),
        window.button_presses, window.scene_clicks);
    check(window.answers[kLeftDown] && window.scene_clicks == 1, "ProcessEvent answers true over ImGui's window");

    // The text field: the I-beam over it, then "héllo" with a dead key.
    hover(window.field.x(0.3f), window.field.y());
    frames(2);
    const unsigned long over_field = cursor_shown(input);
    row("text field: ImGui's cursor %d (TextInput %d), cursor serial %lu (text %lu)",
        static_cast<int>(ImGui::GetMouseCursor()), static_cast<int>(ImGuiMouseCursor_TextInput), over_field,
        text_cursor);
    check(over_field == text_cursor, "the text cursor over the field");
    input.click(window, window.field.x(0.3f), window.field.y());
    check(frames_until([&] { return io.WantCaptureKeyboard; }), "the field is active");
    hover(400, 60);  // the keys are the field's wherever the pointer is
    input.type(window, "h");
    input.key(window, XK_dead_acute);
    input.type(window, "ello");
    check(frames_until([&] { return std::string(window.text) == "h\u00e9llo"; }), "h\u00e9llo is typed");
    row("typed: \"%s\", key answered %s, text answered %s", window.text, yes_no(window.answers[kKeyDown]),
        yes_no(window.answers[kText]));
    check(window.answers[kKeyDown] && window.answers[kText], "ProcessEvent answers true for keys into the field");

    // Text another application copied, pasted with Ctrl+V.
    {
        const Copier other(", pasted");
        input.key(window, XK_v, Quarn::Flags::Modifier::CONTROL);
        check(frames_until([&] { return std::string(window.text) == "h\u00e9llo, pasted"; }), "the text is pasted");
    }
    row("pasted: \"%s\"", window.text);

    // A click on the scene: the field lets go, and keys are the scene's
    // again, even with the pointer over ImGui's window.
    input.click(window, 400, 60);
    check(frames_until([&] { return !io.WantCaptureKeyboard; }), "a click on the scene leaves the field");
    hover(window.button.x(), window.button.y());
    input.key(window, XK_space);
    check(frames_until([&] { return window.answers.count(kKeyDown) && !window.answers[kKeyDown]; }),
          "ProcessEvent answers false for keys with no field active");
    row("no field active: key answered %s with the pointer over ImGui's window (mouse captured %s)",
        yes_no(window.answers[kKeyDown]), yes_no(io.WantCaptureMouse));

    // The list, three notches down.
    hover(window.list.x(), window.list.y());
    input.scroll(window, window.list.x(), window.list.y(), -3);
    check(frames_until([&] { return window.list_scroll > 0; }), "the list scrolls");
    frames(3);
    row("list: scrolled to %.1f, wheel answered %s", window.list_scroll, yes_no(window.answers[kScroll]));
    check(window.answers[kScroll], "ProcessEvent answers true for the wheel over the list");

    // The slider, dragged from its left end to past its right end.
    const int slider_y = window.slider.y();
    hover(window.slider.x(0.05f), slider_y);
    input.press_button(window, window.slider.x(0.05f), slider_y);
    frames(3);
    for (float at = 0.2f; at < 1.3f; at += 0.2f) {
        input.move(window, window.slider.x(at), slider_y);
        frames(2);
    }
    input.release_button(window, window.slider.x(1.3f), slider_y);
    frames(3);
    row("slider: dragged to %.1f", window.value);
    check(window.value == 100.0f, "the slider follows the drag to its end");

    // Resized: ImGui's display and the status box follow.
    input.resize(window, 640, 480);
    check(frames_until([&] { return io.DisplaySize.x == 640 && io.DisplaySize.y == 480; }), "ImGui follows the size");
    frames(2);
    const Quarn::Testing::Image picture = Quarn::Testing::capture(window);
    const Quarn::Testing::Rgba corner = picture.pixel(window.status.x(0.95f), window.status.y(0.95f));
    row("resized: display %.0f x %.0f, status box at %.0f,%.0f to %.0f,%.0f, its pixel %d,%d,%d", io.DisplaySize.x,
        io.DisplaySize.y, window.status.left, window.status.top, window.status.right, window.status.bottom, corner.r,
        corner.g, corner.b);
    check(window.status.right == 630 && window.status.bottom == 470, "the status box holds to the new corner");
    check(std::abs(corner.r - 230) < 8 && std::abs(corner.g - 128) < 8 && std::abs(corner.b - 26) < 8,
          "the status box is drawn there");

    input.key(window, XK_Escape);
    check(frames_until([&] { return !window.running; }), "Escape over the scene ends the loop");
    stop_imgui();
    context.set_target(nullptr);
}

}  // namespace

int main() {
    try {
        const Quarn::Testing::Server server;
        Quarn::init();
        try {
            run();
        } catch (const char*) {
            ++failures;  // the library has printed the error
        }
        Quarn::deinit();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "FAILED: %s\n", error.what());
        return 1;
    }
    std::printf("%s\n", failures ? "imgui_test: FAILED" : "imgui_test: passed");
    return failures ? 1 : 0;
}
