// The minimal application's one frame: a triangle filling the frame, a dot
// where the left button was last pressed, each key press printed; Escape or
// the window manager's close button ends it.
#pragma once

#include <GL/gl.h>
#include <X11/keysym.h>

#include <cstdio>

#include "quarn/frame/frame.h"
#include "quarn/input/events/events.h"
#include "quarn/input/state.h"

class MainFrame : public Quarn::Frame::FrameBase {
public:
    MainFrame()
        : FrameBase(nullptr, Quarn::Flags::Style::BORDER | Quarn::Flags::Style::TITLEBAR, Quarn::Flags::Button::CLOSE) {
        set_size(320, 240);
        set_title("minimal");
        set_show(true, 0);
    }

    using FrameBase::callback_input;
    void callback_input(const Quarn::Input::State*, const Quarn::Input::Events::EventKeyDown* event) override {
        std::printf("Key %u pressed\n", event->key);
        std::fflush(stdout);
        last_key = event->key;
        if (event->key == XK_Escape) running = false;
    }
    // Button events carry no position: the state's mouse_position is where
    // the pointer last moved in this frame, which is where the press happened.
    void callback_input(const Quarn::Input::State* state,
                        const Quarn::Input::Events::EventMouseButtonLeftDown*) override {
        dot[0] = state->mouse_position[0];
        dot[1] = state->mouse_position[1];
    }
    void callback_input(const Quarn::Input::State*, const Quarn::Input::Events::EventFrameClose*) override {
        running = false;
    }

    void callback_draw() override {
        // One context serves every frame and GL sets its viewport only at the
        // first binding (to the context's 10 x 10 host window): set it per frame.
        glViewport(0, 0, dimensions[0], dimensions[1]);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(0, dimensions[0], dimensions[1], 0, -1, 1);  // window pixels, origin top left
        glClearColor(0.2f, 0.3f, 0.4f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        glColor3f(1.0f, 0.8f, 0.2f);
        glBegin(GL_TRIANGLES);
        glVertex2i(dimensions[0] / 2, 10);
        glVertex2i(10, dimensions[1] - 10);
        glVertex2i(dimensions[0] - 10, dimensions[1] - 10);
        glEnd();
        if (dot[0] >= 0) {
            glColor3f(0.9f, 0.1f, 0.1f);
            glRecti(dot[0] - 4, dot[1] - 4, dot[0] + 4, dot[1] + 4);
        }
    }

    bool running = true;
    unsigned int last_key = 0;
    int dot[2] = {-1, -1};  ///< Where the left button was last pressed; none yet.
};
