#include <gtest/gtest.h>

#include <GL/gl.h>
#include <X11/keysym.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>

#include "quarn/context.h"
#include "quarn/frame/frame.h"
#include "quarn/input/events/events.h"
#include "quarn/input/events/helpers.h"
#include "tests/support/capture.h"
#include "tests/support/fixture.h"
#include "tests/support/memory.h"
#include "tests/support/x_client.h"

// The demo's loop for many iterations while another client types, clicks and
// moves the pointer over the frames. Run it in the sanitizer build (or under
// valgrind) to see leaks and invalid accesses; QUARN_SOAK_ITERATIONS sets the
// length (scripts/soak runs 100000).
namespace {

long events = 0;

class SoakFrame : public Quarn::Frame::FrameBase {
public:
    SoakFrame()
        : FrameBase(nullptr, Quarn::Flags::Style::BORDER | Quarn::Flags::Style::TITLEBAR, Quarn::Flags::Button::CLOSE) {
        set_size(100, 100);
        set_show(true, 0);
    }
    using FrameBase::callback_input;
    void callback_input(const Quarn::Input::State*, const Quarn::Input::Events::EventBase*) override { ++events; }
    void callback_draw() override {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glBegin(GL_TRIANGLES);
        glColor4f(1, 0, 0, 0.5f);
        glVertex3f(0, 1, 0);
        glVertex3f(0.87f, -0.5f, 0);
        glVertex3f(-0.87f, -0.5f, 0);
        glEnd();
    }
};

// Types, clicks and moves over `window` until killed.
[[noreturn]] void inject(Window window) {
    quarn_test::XClient client;
    client.focus_and_point(window, 10, 10);
    for (int step = 0;; ++step) {
        client.point(window, 10 + step % 80, 10 + (step * 7) % 80);
        client.click(1 + step % 3);
        client.tap(step % 2 ? XK_a : XK_Shift_L);
    }
}

class Soak : public quarn_test::LibraryTest {};

TEST_F(Soak, DemoLoopWithInjectedInput) {
    const char* wanted = std::getenv("QUARN_SOAK_ITERATIONS");
    const long iterations = wanted ? std::atol(wanted) : 2000;
    auto* context = [] {
        quarn_test::StdoutCapture quiet;
        return new Quarn::Context::Context(2, 1);
    }();
    {
        SoakFrame first, second;
        second.set_position(200, 0);
        XSync(Quarn::_quarn_display, False);
        quarn_test::XClient watcher;
        ASSERT_TRUE(watcher.wait_viewable(first._quarn_backing->window));
        const pid_t injector = fork();
        if (injector == 0) inject(first._quarn_backing->window);

        long start_kib = 0;
        for (long i = 0; i < iterations; ++i) {
            Quarn::Input::Events::handle();
            context->set_target(&first);
            first.draw();
            context->set_target(&second);
            second.draw();
            if (i == iterations / 10) start_kib = quarn_test::resident_kib();
        }
        const long end_kib = quarn_test::resident_kib();
        kill(injector, SIGKILL);
        waitpid(injector, nullptr, 0);
        delete context;

        EXPECT_GT(events, 0);
        if (quarn_test::resident_memory_is_meaningful()) {
            EXPECT_LT(end_kib - start_kib, 16 * 1024);
        }
        std::printf("soak: %ld iterations, %ld callbacks, resident %ld KiB at 10%%, %ld KiB at the end\n", iterations,
                    events, start_kib, end_kib);
    }
}

}  // namespace
