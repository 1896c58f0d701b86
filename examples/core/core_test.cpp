// A test of the core-profile example with Quarn's test kit: the context
// reads back as asked, the picture (the multisampled triangle) matches the
// golden image, and Escape ends the loop.
// Exits 0 when every check holds.
#include <cstdio>
#include <exception>

#include "core_frame.h"
#include "quarn/context.h"
#include "quarn/init.h"
#include "quarn/testing/testing.h"

namespace {

int failures = 0;

void check(bool holds, const char* what) {
    if (holds) return;
    std::fprintf(stderr, "FAILED: %s\n", what);
    ++failures;
}

void run() {
    Quarn::Context::Settings settings;
    settings.profile = Quarn::Context::Settings::Profile::CORE;
    settings.samples = 4;
    Quarn::Context::Context context(3, 3, settings);
    {
        CoreFrame window;
        context.set_target(&window);
        GLint profile = 0, samples = 0;
        glGetIntegerv(GL_CONTEXT_PROFILE_MASK, &profile);
        glGetIntegerv(GL_SAMPLES, &samples);
        check(profile == GL_CONTEXT_CORE_PROFILE_BIT, "the context has the core profile");
        check(samples == 4, "the frame's framebuffer has 4 samples");

        window.draw();
        check(glGetError() == GL_NO_ERROR, "drawing raises no GL error");
        const long differing = Quarn::Testing::compare(Quarn::Testing::capture(window), CORE_GOLDEN, 2);
        check(differing == 0, "the frame shows the golden picture");

        Quarn::Testing::Input input;
        input.key(window, XK_Escape);
        check(Quarn::Testing::pump_until([&] { return !window.running; }), "Escape ends the loop");
    }
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
    std::printf("%s\n", failures ? "core_test: FAILED" : "core_test: passed");
    return failures ? 1 : 0;
}
