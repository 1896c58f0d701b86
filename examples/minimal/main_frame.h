// The minimal application's one frame: a clear colour, each key press printed,
// Escape or the window manager's close button ends it.
#pragma once

#include <GL/gl.h>
#include <X11/keysym.h>

#include <cstdio>

#include "quarn/frame/frame.h"
#include "quarn/input/events/events.h"

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
    void callback_input(const Quarn::Input::State*, const Quarn::Input::Events::EventFrameClose*) override {
        running = false;
    }

    void callback_draw() override {
        glClearColor(0.2f, 0.3f, 0.4f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
    }

    bool running = true;
    unsigned int last_key = 0;
};
