// The viewer's one frame: a resizable window whose picture (a square on a
// dark background) follows its size, zooms with the wheel, pans while the
// right button is held (with the pointer locked), goes fullscreen on F11,
// shows the text typed so far in its title (Ctrl+C copies it, Ctrl+V pastes),
// and is not drawn while the window is minimized.
#pragma once

#include <GL/gl.h>
#include <X11/keysym.h>

#include <string>

#include "quarn/clipboard.h"
#include "quarn/frame/frame.h"
#include "quarn/input/events/events.h"
#include "quarn/input/state.h"

class ViewerFrame : public Quarn::Frame::FrameBase {
public:
    ViewerFrame()
        : FrameBase(nullptr,
                    Quarn::Flags::Style::BORDER | Quarn::Flags::Style::TITLEBAR | Quarn::Flags::Style::RESIZABLE,
                    Quarn::Flags::Button::MINIMIZE | Quarn::Flags::Button::MAXIMIZE | Quarn::Flags::Button::CLOSE) {
        set_size(320, 240);
        set_title("viewer");
        set_report(Quarn::Flags::Report::WHEEL | Quarn::Flags::Report::RESIZE | Quarn::Flags::Report::TEXT);
        set_show(true, 0);
    }

    using FrameBase::callback_input;
    void callback_input(const Quarn::Input::State*, const Quarn::Input::Events::EventMouseScroll* event) override {
        zoom += event->delta[1];  // a notch up zooms in
        if (zoom < -4) zoom = -4;
        if (zoom > 8) zoom = 8;
    }
    void callback_input(const Quarn::Input::State*, const Quarn::Input::Events::EventText* event) override {
        text += event->utf8;
        set_title(text);
    }
    void callback_input(const Quarn::Input::State* state, const Quarn::Input::Events::EventKeyDown* event) override {
        const bool control = state->key_pressed(XK_Control_L) || state->key_pressed(XK_Control_R);
        if (event->key == XK_Escape) running = false;
        if (event->key == XK_F11) {
            fullscreen = !fullscreen;
            set_fullscreen(fullscreen);
        }
        if (control && event->key == XK_c) Quarn::set_clipboard(text);
        if (control && event->key == XK_v) {
            text += Quarn::get_clipboard();
            set_title(text);
        }
    }
    // Holding the right button drags the picture; the pointer stays put.
    void callback_input(const Quarn::Input::State*, const Quarn::Input::Events::EventMouseButtonRightDown*) override {
        set_pointer_locked(true);
    }
    void callback_input(const Quarn::Input::State*, const Quarn::Input::Events::EventMouseButtonRightUp*) override {
        set_pointer_locked(false);
    }
    void callback_input(const Quarn::Input::State* state, const Quarn::Input::Events::EventMouseMove* event) override {
        if (!state->mouse_buttons[2]) return;
        pan[0] += event->x_rel;
        pan[1] -= event->y_rel;  // the picture's y grows upwards
    }
    // A minimize comes as EventFrameMinimize and then EventFrameResize; a
    // restore, like every change of size, as EventFrameResize alone.
    void callback_input(const Quarn::Input::State*, const Quarn::Input::Events::EventFrameMinimize*) override {
        minimizing = true;
    }
    void callback_input(const Quarn::Input::State*, const Quarn::Input::Events::EventFrameResize*) override {
        minimized = minimizing;
        minimizing = false;
    }
    void callback_input(const Quarn::Input::State*, const Quarn::Input::Events::EventFrameClose*) override {
        running = false;
    }

    void callback_draw() override {
        // dimensions follow the window (RESIZE), and the context is shared.
        glViewport(0, 0, dimensions[0], dimensions[1]);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(-dimensions[0] / 2.0, dimensions[0] / 2.0, -dimensions[1] / 2.0, dimensions[1] / 2.0, -1, 1);
        glClearColor(0.1f, 0.1f, 0.15f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        const float half = 40.0f * (1.0f + 0.25f * static_cast<float>(zoom));
        glColor3f(0.3f, 0.7f, 0.9f);
        const auto x = static_cast<float>(pan[0]), y = static_cast<float>(pan[1]);
        glRectf(x - half, y - half, x + half, y + half);
        ++draws;
    }

    bool running = true;
    bool minimized = false;
    bool minimizing = false;
    bool fullscreen = false;
    int zoom = 0;         ///< Wheel notches, up positive.
    int pan[2] = {0, 0};  ///< The picture's offset from the centre, in pixels, y up.
    std::string text;     ///< What was typed so far.
    int draws = 0;        ///< How often the picture was drawn.
};
