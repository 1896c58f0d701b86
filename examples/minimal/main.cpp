// The smallest Quarn application: one frame, the context, a clear colour.
// Prints each key press; ends on Escape or when the window is closed.
#include <GL/gl.h>
#include <X11/keysym.h>

#include <cstdio>

#include "quarn/context.h"
#include "quarn/frame/frame.h"
#include "quarn/init.h"
#include "quarn/input/events/events.h"
#include "quarn/input/events/helpers.h"

using namespace Quarn;

static bool running = true;

class MainFrame : public Frame::FrameBase {
public:
    MainFrame() : FrameBase(nullptr, Flags::Style::BORDER | Flags::Style::TITLEBAR, Flags::Button::CLOSE) {
        set_size(320, 240);
        set_title("minimal");
        set_show(true, 0);
    }

    using FrameBase::callback_input;
    void callback_input(const Input::State*, const Input::Events::EventKeyDown* event) override {
        std::printf("Key %u pressed\n", event->key);
        std::fflush(stdout);
        if (event->key == XK_Escape) running = false;
    }
    void callback_input(const Input::State*, const Input::Events::EventFrameClose*) override { running = false; }

    void callback_draw() override {
        glClearColor(0.2f, 0.3f, 0.4f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
    }
};

int main() {
    init();
    if (!_quarn_display) return 1;
    try {
        Context::Context context(2, 1);
        MainFrame window;
        while (running) {
            Input::Events::handle();
            context.set_target(&window);
            window.draw();
        }
        context.set_target(nullptr);  // unbind before the window goes
    } catch (const char*) {
        deinit();
        return 1;  // the library has printed the error
    }
    deinit();
    return 0;
}
