// The game example's one frame: a white square on a dark field, moved by the
// first gamepad's left stick and by the arrow keys, at one field width a
// second at full tilt. It follows gamepads as they come and go (it reports
// GAMEPAD). Escape or closing the window ends the loop.
#pragma once

#include <GL/gl.h>
#include <X11/keysym.h>

#include <algorithm>
#include <cmath>

#include "quarn/frame/frame.h"
#include "quarn/input/events/events.h"
#include "quarn/input/gamepad.h"
#include "quarn/input/state.h"

class GameFrame : public Quarn::Frame::FrameBase {
public:
    GameFrame()
        : FrameBase(nullptr, Quarn::Flags::Style::BORDER | Quarn::Flags::Style::TITLEBAR, Quarn::Flags::Button::CLOSE) {
        set_size(320, 240);
        set_title("game");
        set_report(Quarn::Flags::Report::GAMEPAD);
        set_show(true, 0);
        choose_pad();
    }

    using FrameBase::callback_input;
    void callback_input(const Quarn::Input::State*, const Quarn::Input::Events::EventKeyDown* event) override {
        if (event->key == XK_Escape) running = false;
    }
    void callback_input(const Quarn::Input::State*, const Quarn::Input::Events::EventFrameClose*) override {
        running = false;
    }
    // A pad plugged in or out: play with the first gamepad there is.
    void callback_input(const Quarn::Input::State*, const Quarn::Input::Events::EventGamepadConnection*) override {
        choose_pad();
    }

    // Moves the square for `seconds` of play: the stick (past a small dead
    // zone, which worn sticks never leave) and the arrow keys add up.
    void step(float seconds) {
        float dx = 0.0f;
        float dy = 0.0f;
        Quarn::Input::GamepadState pad;
        if (pad_id >= 0 && Quarn::Input::get_gamepad_state(pad_id, &pad)) {
            const float stick_x = pad.axes[static_cast<int>(Quarn::Input::GamepadAxis::LEFT_X)];
            const float stick_y = pad.axes[static_cast<int>(Quarn::Input::GamepadAxis::LEFT_Y)];
            if (std::hypot(stick_x, stick_y) > kDeadZone) {
                dx += stick_x;
                dy += stick_y;
            }
        }
        if (input_state->key_pressed(XK_Left)) dx -= 1.0f;
        if (input_state->key_pressed(XK_Right)) dx += 1.0f;
        if (input_state->key_pressed(XK_Up)) dy -= 1.0f;
        if (input_state->key_pressed(XK_Down)) dy += 1.0f;
        // The field runs from -1 to 1 each way; its width is 2.
        x = std::clamp(x + dx * 2.0f * seconds, -1.0f + kHalf, 1.0f - kHalf);
        y = std::clamp(y + dy * 2.0f * seconds, -1.0f + kHalf, 1.0f - kHalf);
    }

    void callback_draw() override {
        glClearColor(0.1f, 0.1f, 0.2f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        glColor3f(1.0f, 1.0f, 1.0f);
        // The field's y grows downwards, as the sticks' do; GL's upwards.
        // GL's -1 to 1 spans the window's width and its height alike: the
        // sides are made equal in pixels.
        const float half_x = kHalf * static_cast<float>(dimensions[1]) / static_cast<float>(dimensions[0]);
        glBegin(GL_QUADS);
        glVertex2f(x - half_x, -(y - kHalf));
        glVertex2f(x + half_x, -(y - kHalf));
        glVertex2f(x + half_x, -(y + kHalf));
        glVertex2f(x - half_x, -(y + kHalf));
        glEnd();
    }

    static constexpr float kHalf = 0.1f;  ///< Half the square's side.
    static constexpr float kDeadZone = 0.2f;
    bool running = true;
    int pad_id = -1;  ///< The gamepad played with, -1 for none.
    float x = 0.0f;   ///< The square's centre, -1 (left) to 1.
    float y = 0.0f;   ///< The square's centre, -1 (top) to 1.

private:
    void choose_pad() {
        pad_id = -1;
        for (const Quarn::Input::Joystick& joystick : Quarn::Input::get_joysticks()) {
            if (joystick.is_gamepad) {
                pad_id = joystick.id;
                return;
            }
        }
    }
};
