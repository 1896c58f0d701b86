// An application that sleeps while nothing happens: it waits for the X server
// instead of spinning, and draws once per batch of events. Its triangle
// follows the window's size (it reports RESIZE); each key press changes the
// colour; Escape or closing the window ends it.
#include <GL/gl.h>
#include <X11/keysym.h>

#include "quarn/context.h"
#include "quarn/frame/frame.h"
#include "quarn/init.h"
#include "quarn/input/events/events.h"
#include "quarn/input/events/helpers.h"

class ColourFrame : public Quarn::Frame::FrameBase {
public:
    ColourFrame()
        : FrameBase(nullptr, Quarn::Flags::Style::BORDER | Quarn::Flags::Style::TITLEBAR, Quarn::Flags::Button::CLOSE) {
        set_size(320, 240);
        set_title("idle");
        set_report(Quarn::Flags::Report::RESIZE);
        set_show(true, 0);
    }

    using FrameBase::callback_input;
    void callback_input(const Quarn::Input::State*, const Quarn::Input::Events::EventKeyDown* event) override {
        if (event->key == XK_Escape) running = false;
        colour = (colour + 1) % 3;
    }
    void callback_input(const Quarn::Input::State*, const Quarn::Input::Events::EventFrameClose*) override {
        running = false;
    }
    // The context stays bound to this one frame, so the new size goes
    // straight into the viewport; the loop then redraws.
    void callback_input(const Quarn::Input::State*, const Quarn::Input::Events::EventFrameResize* event) override {
        glViewport(0, 0, event->width, event->height);
    }

    void callback_draw() override {
        glClearColor(colour == 0 ? 0.8f : 0.1f, colour == 1 ? 0.8f : 0.1f, colour == 2 ? 0.8f : 0.1f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        glColor3f(1.0f, 1.0f, 1.0f);
        glBegin(GL_TRIANGLES);
        glVertex2f(0.0f, 0.8f);
        glVertex2f(-0.8f, -0.8f);
        glVertex2f(0.8f, -0.8f);
        glEnd();
    }

    bool running = true;
    int colour = 0;
};

int main() {
    Quarn::init();
    if (!Quarn::_quarn_display) return 1;
    try {
        Quarn::Context::Context context(2, 1);
        ColourFrame window;
        context.set_target(&window);
        // GL set the viewport to the context's 10 x 10 host window: the
        // frame's own size first, then each EventFrameResize.
        glViewport(0, 0, window.dimensions[0], window.dimensions[1]);
        while (window.running) {
            // Sleeps, using no CPU, until the server sends something: input,
            // or the window being shown or uncovered (which Quarn does not
            // deliver, but which wakes wait all the same and needs a redraw).
            // Give a timeout instead of -1 for work of your own, such as a clock.
            Quarn::Input::Events::wait(-1);
            Quarn::Input::Events::handle();
            window.draw();
        }
        context.set_target(nullptr);
    } catch (const char*) {
        Quarn::deinit();
        return 1;  // the library has printed the error
    }
    Quarn::deinit();
    return 0;
}
