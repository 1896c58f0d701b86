// The program the context cells of scripts/compat run: one context made with
// Settings drawing two 200 x 200 frames, "frame1" at (500, 300) and "frame2"
// at (700, 300), until it is ended. Its argument picks the context:
//
//   core          OpenGL 4.5 core, debug, 4x multisampling, sRGB; frame1 shows
//                 linear grey 0.5 encoded as sRGB (188), frame2 blue
//   es            OpenGL ES 3.0 through EGL; frame1 red, frame2 blue
//   transparent   a transparent framebuffer; frame1 half-transparent blue
//                 (premultiplied 0, 0, 128, alpha 128), frame2 opaque blue
//
// First prints what GL reads back ("context core 4.5 debug samples 4 srgb",
// "context es OpenGL ES 3.2 ...", "context transparent alpha 8"), then
// "drawn" once both frames have been drawn.
#include <GL/glew.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>

#include "quarn/context.h"
#include "quarn/frame/frame.h"
#include "quarn/init.h"
#include "quarn/input/events/helpers.h"

namespace {

volatile std::sig_atomic_t ended = 0;

class SolidFrame : public Quarn::Frame::FrameBase {
public:
    SolidFrame(const char* title, int x, const float* colour, bool srgb)
        : FrameBase(nullptr, Quarn::Flags::Style::BORDER | Quarn::Flags::Style::TITLEBAR, Quarn::Flags::Button::CLOSE),
          colour_(colour),
          srgb_(srgb) {
        set_title(title);
        set_size(200, 200);
        set_position(x, 300);
        set_show(true, 0);
    }
    void callback_draw() override {
        if (srgb_) glEnable(GL_FRAMEBUFFER_SRGB);
        glViewport(0, 0, 200, 200);
        glClearColor(colour_[0], colour_[1], colour_[2], colour_[3]);
        glClear(GL_COLOR_BUFFER_BIT);
    }

private:
    const float* colour_;
    bool srgb_;
};

GLint integer(GLenum name) {
    GLint value = -1;
    glGetIntegerv(name, &value);
    return value;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string kind = argc > 1 ? argv[1] : "";
    if (kind != "core" && kind != "es" && kind != "transparent") {
        std::fprintf(stderr, "usage: %s core|es|transparent\n", argv[0]);
        return 2;
    }
    std::signal(SIGTERM, [](int) { ended = 1; });
    Quarn::init();
    if (!Quarn::_quarn_display) return 1;
    int status = 0;
    try {
        Quarn::Context::Settings settings;
        int major = 2, minor = 1;
        if (kind == "core") {
            major = 4, minor = 5;
            settings.profile = Quarn::Context::Settings::Profile::CORE;
            settings.debug = true;
            settings.samples = 4;
            settings.srgb = true;
        } else if (kind == "es") {
            major = 3, minor = 0;
            settings.api = Quarn::Context::Settings::Api::OPENGL_ES;
        } else {
            settings.transparent = true;
        }
        Quarn::Context::Context context(major, minor, settings);
        static const float grey[4] = {0.5f, 0.5f, 0.5f, 1.0f};
        static const float red[4] = {1.0f, 0.0f, 0.0f, 1.0f};
        static const float see_through[4] = {0.0f, 0.0f, 0.5f, 0.5f};  // premultiplied
        static const float blue[4] = {0.0f, 0.0f, 1.0f, 1.0f};
        const float* first_colour = kind == "core" ? grey : kind == "es" ? red : see_through;
        SolidFrame first("frame1", 500, first_colour, kind == "core");
        SolidFrame second("frame2", 700, blue, false);
        SolidFrame* frames[2] = {&first, &second};

        context.set_target(&first);
        if (kind == "core") {
            GLint encoding = 0;
            glGetFramebufferAttachmentParameteriv(GL_DRAW_FRAMEBUFFER, GL_BACK_LEFT,
                                                  GL_FRAMEBUFFER_ATTACHMENT_COLOR_ENCODING, &encoding);
            std::printf("context core %s%s samples %d%s\n", context.get_version_gl(),
                        (integer(GL_CONTEXT_FLAGS) & GL_CONTEXT_FLAG_DEBUG_BIT) ? " debug" : "", integer(GL_SAMPLES),
                        encoding == GL_SRGB ? " srgb" : " linear");
        } else if (kind == "es") {
            std::printf("context es %s\n", context.get_version_gl());
        } else {
            std::printf("context transparent alpha %d\n", integer(GL_ALPHA_BITS));
        }
        std::fflush(stdout);
        bool said = false;
        while (!ended) {
            Quarn::Input::Events::handle();
            for (SolidFrame* frame : frames) {
                context.set_target(frame);
                frame->draw();
            }
            if (!said) {
                std::printf("drawn\n");
                std::fflush(stdout);
                said = true;
            }
            usleep(20000);
        }
        context.set_target(nullptr);
    } catch (const char*) {
        status = 1;  // the library has printed the error
    }
    Quarn::deinit();
    return status;
}
