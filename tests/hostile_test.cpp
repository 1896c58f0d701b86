#include <gtest/gtest.h>

#include <GL/gl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "quarn/context.h"
#include "quarn/frame/frame.h"
#include "quarn/init.h"
#include "quarn/input/events/events.h"
#include "quarn/input/events/helpers.h"
#include "tests/support/capture.h"
#include "tests/support/fixture.h"
#include "tests/support/live_frame.h"
#include "tests/support/memory.h"
#include "tests/support/x_client.h"

// Hostile and faulty peers: floods of random synthetic events from another
// client, frames that come and go while their events are queued, and a
// window manager closing frames.
namespace {

// Callbacks seen, and those that reached a destroyed frame (a fault).
long callbacks = 0;
long dead_callbacks = 0;

class CheckedFrame : public quarn_test::LiveFrame {
public:
    using LiveFrame::callback_input;
    void callback_input(const Quarn::Input::State*, const Quarn::Input::Events::EventBase*) override {
        ++callbacks;
        if (!alive()) ++dead_callbacks;
    }
    void callback_input(const Quarn::Input::State*, const Quarn::Input::Events::EventFrameClose*) override {
        ++closes;
        if (acknowledge >= 0 && write(acknowledge, "k", 1) != 1) std::abort();
    }
    void callback_draw() override {
        glClearColor(0.1f, 0.2f, 0.3f, 1);
        glClear(GL_COLOR_BUFFER_BIT);
    }
    int closes = 0;
    int acknowledge = -1;  // a pipe told of every close request, when set
};

long flood_size() {
    const char* wanted = std::getenv("QUARN_FLOOD_EVENTS");
    return wanted ? std::atol(wanted) : 1000000;
}

// The server refuses some random events (BadValue); the sender goes on.
long refused = 0;
int ignore_x_errors(Display*, XErrorEvent*) {
    ++refused;
    return 0;
}

constexpr long kBatch = 10000;

// Sends `count` random core events (types 2 to 34, random fields) with
// XSendEvent to the given windows, in batches each closed by a ClientMessage
// to `done`; waits for the loop to acknowledge each batch on `acknowledged`,
// so that the backlog (and Xlib's queue) stays bounded. Runs in a child
// process with a connection of its own.
void flood(const std::vector<Window>& targets, long count, Window done, int acknowledged) {
    XSetErrorHandler(ignore_x_errors);
    Display* display = quarn_test::open_display();
    std::mt19937 random(1234);
    for (long i = 0; i < count; ++i) {
        XEvent event;
        for (auto& word : event.pad) word = static_cast<long>(random());
        event.type = KeyPress + static_cast<int>(random() % (LASTEvent - 1 - KeyPress));
        const Window target = targets[random() % targets.size()];
        event.xany.window = target;
        XSendEvent(display, target, False, NoEventMask, &event);
        if ((i + 1) % kBatch == 0 || i + 1 == count) {
            XEvent marker{};
            marker.xclient.type = ClientMessage;
            marker.xclient.window = done;
            marker.xclient.format = 32;
            XSendEvent(display, done, False, NoEventMask, &marker);
            XSync(display, False);
            char ack = 0;
            if (read(acknowledged, &ack, 1) != 1) break;
        }
    }
    std::printf("flood: the server refused %ld of the %ld random events\n", refused, count);
    std::fflush(stdout);
    XCloseDisplay(display);
}

class Hostile : public quarn_test::LibraryTest {
protected:
    void SetUp() override {
        LibraryTest::SetUp();
        callbacks = dead_callbacks = 0;
    }
};

TEST_F(Hostile, FloodOfRandomEventsWhileDrawing) {
    auto* context = [] {
        quarn_test::StdoutCapture quiet;
        return new Quarn::Context::Context(2, 1);
    }();
    CheckedFrame first, second, done;
    for (CheckedFrame* frame : {&first, &second}) frame->set_show(true, 0);
    Display* display = Quarn::_quarn_display;
    const Window foreign = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 10, 10, 0, 0, 0);
    XSync(display, False);
    const auto draw_both = [&] {
        for (CheckedFrame* frame : {&first, &second}) {
            context->set_target(frame);
            frame->draw();
        }
    };
    for (int warm_up = 0; warm_up < 100; ++warm_up) {
        Quarn::Input::Events::handle();
        draw_both();
    }
    long warm_kib = 0;

    const long count = flood_size();
    const long batches = (count + kBatch - 1) / kBatch;
    int acknowledgements[2];
    ASSERT_EQ(pipe(acknowledgements), 0);
    done.acknowledge = acknowledgements[1];
    const pid_t sender = fork();
    if (sender == 0) {
        flood({first._quarn_backing->window, second._quarn_backing->window, foreign}, count,
              done._quarn_backing->window, acknowledgements[0]);
        _exit(0);
    }
    long iterations = 0;
    quarn_test::StdoutCapture configure_lines;  // synthetic ConfigureNotify events print their trace
    int status = 0;
    bool sender_running = true;
    // Ends with the marker; should the sender die first, whatever it sent is drained.
    while (done.closes < batches && (sender_running || XPending(display))) {
        if (sender_running && waitpid(sender, &status, WNOHANG) == sender) sender_running = false;
        Quarn::Input::Events::handle();
        draw_both();
        ++iterations;
        if (warm_kib == 0 && done.closes >= 1) warm_kib = quarn_test::resident_kib();  // after the first batch
    }
    configure_lines.finish();
    const long end_kib = quarn_test::resident_kib();
    if (sender_running) waitpid(sender, &status, 0);
    delete context;
    XDestroyWindow(display, foreign);

    EXPECT_EQ(status, 0);
    EXPECT_EQ(done.closes, batches);
    close(acknowledgements[0]);
    close(acknowledgements[1]);
    EXPECT_EQ(dead_callbacks, 0);
    EXPECT_GT(callbacks, 0);
    // Resident memory stays flat once warm: nothing grows per event.
    if (quarn_test::resident_memory_is_meaningful()) {
        EXPECT_LT(end_kib - warm_kib, 16 * 1024);
    }
    std::printf(
        "flood: %ld events, %ld callbacks, %ld loop iterations, resident %ld KiB after warm-up, %ld KiB at end\n",
        count, callbacks, iterations, warm_kib, end_kib);
}

TEST_F(Hostile, FramesComeAndGoWithTheirEventsQueued) {
    quarn_test::XClient client;
    CheckedFrame survivor;
    const int rounds = 2000;
    for (int round = 0; round < rounds; ++round) {
        auto* frame = new CheckedFrame();
        const Window window = frame->_quarn_backing->window;
        XSync(Quarn::_quarn_display, False);
        client.send_client_message(window);
        client.send_configure(survivor._quarn_backing->window, 1, 1);
        quarn_test::queue_pending(client);
        delete frame;
        {
            quarn_test::StdoutCapture quiet;
            Quarn::Input::Events::handle();
        }
    }
    EXPECT_EQ(dead_callbacks, 0);
    EXPECT_EQ(callbacks, 0);  // the close requests all belonged to destroyed frames
    std::printf("churn: %d frames created and destroyed with events queued\n", rounds);
}

TEST_F(Hostile, ForgedMappingNotifyCannotEndTheProcess) {
    quarn_test::XClient client;
    CheckedFrame frame;
    XSync(Quarn::_quarn_display, False);
    for (int request : {MappingModifier, MappingKeyboard, MappingPointer}) {
        XEvent event{};
        event.xmapping.type = MappingNotify;
        event.xmapping.window = frame._quarn_backing->window;
        event.xmapping.request = request;
        event.xmapping.first_keycode = 3;  // below any keyboard's range
        event.xmapping.count = 250;
        XSendEvent(client.display(), frame._quarn_backing->window, False, NoEventMask, &event);
    }
    quarn_test::settle(client);
    XSync(Quarn::_quarn_display, False);  // an X error would have ended the process here
    EXPECT_EQ(dead_callbacks, 0);
    EXPECT_TRUE(Quarn::_quarn_display != nullptr);
}

}  // namespace
