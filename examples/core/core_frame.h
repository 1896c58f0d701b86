// The core-profile example's frame: a triangle drawn with a vertex array and
// two shaders, no fixed-function call. Escape or the window manager's close
// button ends it.
#pragma once

// Quarn loads GLEW for a GLX context; its header comes before other GL headers.
#include <GL/glew.h>
#include <X11/keysym.h>

#include <cstdio>

#include "quarn/frame/frame.h"
#include "quarn/input/events/events.h"
#include "quarn/input/state.h"

// The context made with Settings must exist before this frame, so that the
// frame's window gets the context's multisampled visual.
class CoreFrame : public Quarn::Frame::FrameBase {
public:
    CoreFrame()
        : FrameBase(nullptr, Quarn::Flags::Style::BORDER | Quarn::Flags::Style::TITLEBAR, Quarn::Flags::Button::CLOSE) {
        set_size(320, 240);
        set_title("core");
        set_show(true, 0);
    }
    ~CoreFrame() override {
        if (program == 0) return;  // never drawn
        glDeleteProgram(program);
        glDeleteBuffers(1, &buffer);
        glDeleteVertexArrays(1, &vertex_array);
    }
    CoreFrame(const CoreFrame&) = delete;
    CoreFrame& operator=(const CoreFrame&) = delete;

    using FrameBase::callback_input;
    void callback_input(const Quarn::Input::State*, const Quarn::Input::Events::EventKeyDown* event) override {
        if (event->key == XK_Escape) running = false;
    }
    void callback_input(const Quarn::Input::State*, const Quarn::Input::Events::EventFrameClose*) override {
        running = false;
    }

    void callback_draw() override {
        if (program == 0) build();  // GL objects need the context bound: made at the first draw
        glViewport(0, 0, dimensions[0], dimensions[1]);
        glClearColor(0.1f, 0.1f, 0.15f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        glUseProgram(program);
        glBindVertexArray(vertex_array);
        glDrawArrays(GL_TRIANGLES, 0, 3);
    }

    bool running = true;

private:
    static GLuint compile(GLenum type, const char* source) {
        const GLuint shader = glCreateShader(type);
        glShaderSource(shader, 1, &source, nullptr);
        glCompileShader(shader);
        GLint compiled = GL_FALSE;
        glGetShaderiv(shader, GL_COMPILE_STATUS, &compiled);
        if (!compiled) {
            char log[512];
            glGetShaderInfoLog(shader, sizeof log, nullptr, log);
            std::fprintf(stderr, "shader: %s\n", log);
        }
        return shader;
    }

    void build() {
        static const char* const vertex_source = R"(#version 330 core
layout(location = 0) in vec2 position;
layout(location = 1) in vec3 colour;
out vec3 vertex_colour;
void main() {
    vertex_colour = colour;
    gl_Position = vec4(position, 0.0, 1.0);
})";
        static const char* const fragment_source = R"(#version 330 core
in vec3 vertex_colour;
out vec4 fragment;
void main() { fragment = vec4(vertex_colour, 1.0); })";
        const GLuint vertex = compile(GL_VERTEX_SHADER, vertex_source);
        const GLuint fragment = compile(GL_FRAGMENT_SHADER, fragment_source);
        program = glCreateProgram();
        glAttachShader(program, vertex);
        glAttachShader(program, fragment);
        glLinkProgram(program);
        glDeleteShader(vertex);
        glDeleteShader(fragment);

        // x, y, red, green, blue
        static const float vertices[] = {
            0.0f, 0.8f, 1.0f, 0.2f, 0.2f, -0.8f, -0.7f, 0.2f, 1.0f, 0.2f, 0.8f, -0.7f, 0.2f, 0.2f, 1.0f,
        };
        glGenVertexArrays(1, &vertex_array);
        glBindVertexArray(vertex_array);
        glGenBuffers(1, &buffer);
        glBindBuffer(GL_ARRAY_BUFFER, buffer);
        glBufferData(GL_ARRAY_BUFFER, sizeof vertices, vertices, GL_STATIC_DRAW);
        glVertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, 5 * sizeof(float), nullptr);
        glVertexAttribPointer(1, 3, GL_FLOAT, GL_FALSE, 5 * sizeof(float),
                              reinterpret_cast<const void*>(2 * sizeof(float)));  // NOLINT(performance-no-int-to-ptr)
        glEnableVertexAttribArray(0);
        glEnableVertexAttribArray(1);
    }

    GLuint program = 0;
    GLuint vertex_array = 0;
    GLuint buffer = 0;
};
