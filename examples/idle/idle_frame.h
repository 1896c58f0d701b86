// The idle example's one frame: a triangle on a coloured background that
// follows the window's size (it reports RESIZE) and changes colour with each
// key press. It keeps whether its picture on the screen is stale: the window
// asks to be drawn again (REFRESH: shown, uncovered, resized) or the colour
// changed. Escape or closing the window ends the loop.
#pragma once

#include <GL/gl.h>
#include <X11/keysym.h>

#include "quarn/frame/frame.h"
#include "quarn/input/events/events.h"

class ColourFrame : public Quarn::Frame::FrameBase {
public:
    ColourFrame()
        : FrameBase(nullptr, Quarn::Flags::Style::BORDER | Quarn::Flags::Style::TITLEBAR, Quarn::Flags::Button::CLOSE) {
        set_size(320, 240);
        set_title("idle");
        set_report(Quarn::Flags::Report::RESIZE | Quarn::Flags::Report::REFRESH);
        set_show(true, 0);
    }

    using FrameBase::callback_input;
    void callback_input(const Quarn::Input::State*, const Quarn::Input::Events::EventKeyDown* event) override {
        if (event->key == XK_Escape) running = false;
        colour = (colour + 1) % 3;
        stale = true;
    }
    void callback_input(const Quarn::Input::State*, const Quarn::Input::Events::EventFrameClose*) override {
        running = false;
    }
    // The context stays bound to this one frame, so the new size goes
    // straight into the viewport. The window asks to be drawn again after it.
    void callback_input(const Quarn::Input::State*, const Quarn::Input::Events::EventFrameResize* event) override {
        glViewport(0, 0, event->width, event->height);
    }
    // The window was shown, uncovered or resized: what it showed is gone.
    void callback_input(const Quarn::Input::State*, const Quarn::Input::Events::EventFrameRefresh*) override {
        stale = true;
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
        stale = false;
        ++draws;
    }

    bool running = true;
    bool stale = false;  ///< Whether the picture on the screen needs drawing again.
    int colour = 0;
    int draws = 0;  ///< How often the frame was drawn.
};
