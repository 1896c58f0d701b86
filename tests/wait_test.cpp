#include <gtest/gtest.h>

#include <X11/keysym.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <pthread.h>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>

#include "quarn/init.h"
#include "quarn/input/events/helpers.h"
#include "quarn/testing/testing.h"
#include "tests/support/fixture.h"
#include "tests/support/recording_frame.h"
#include "tests/support/x_client.h"

// Quarn::Input::Events::wait: wakes for events already read by Xlib and for
// events arriving later, keeps its timeout, and survives signals. The bounds
// on durations are generous (a loaded CI machine); the measured times are
// printed, and scripts/bench measures the wake-up latency properly.
namespace {

using Clock = std::chrono::steady_clock;
using quarn_test::RecordingFrame;

long milliseconds_since(Clock::time_point start) {
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

class Wait : public quarn_test::LibraryTest {
protected:
    // A shown frame with everything its showing caused handled.
    void show(RecordingFrame& frame) {
        frame.set_size(100, 100);
        frame.set_show(true, 0);
        input.move(frame, 10, 10);
        Quarn::Testing::pump_until([&] { return !frame.log.empty(); });
        XSync(Quarn::_quarn_display, False);
        Quarn::Input::Events::handle();
        log.clear();
    }

    Quarn::Testing::Input input;
    std::vector<quarn_test::Call> log;
};

TEST_F(Wait, AnEventAlreadyReadByXlibWakesItAtOnce) {
    RecordingFrame frame(log);
    show(frame);
    input.key(frame, XK_a);
    // The round trip reads the key events into Xlib's queue: the socket is
    // empty now, so only a look at the queue can find them.
    XSync(Quarn::_quarn_display, False);
    ASSERT_GT(XEventsQueued(Quarn::_quarn_display, QueuedAlready), 0);
    const auto start = Clock::now();
    EXPECT_TRUE(Quarn::Input::Events::wait(1000));
    std::printf("queued event: wait returned after %ld ms\n", milliseconds_since(start));
    EXPECT_TRUE(log.empty()) << "wait dispatches nothing";
}

TEST_F(Wait, AKeyArrivingLaterWakesIt) {
    RecordingFrame frame(log);
    show(frame);
    // The typist has a connection of its own: the library's belongs to this thread.
    quarn_test::XClient typist_client;
    typist_client.focus_and_point(frame._quarn_backing->window);
    XSync(Quarn::_quarn_display, False);
    Quarn::Input::Events::handle();
    const auto start = Clock::now();
    std::thread typist([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        typist_client.tap(XK_a);
    });
    const bool woke = Quarn::Input::Events::wait(10000);
    const long elapsed = milliseconds_since(start);
    typist.join();
    EXPECT_TRUE(woke);
    EXPECT_GE(elapsed, 300);
    EXPECT_LT(elapsed, 5000);
    std::printf("key sent after 300 ms: wait returned after %ld ms\n", elapsed);
    EXPECT_TRUE(Quarn::Testing::pump_until([&] { return !quarn_test::calls_at(log, "EventKeyDown").empty(); }));
}

TEST_F(Wait, ZeroOnlyLooksAndATimeoutIsKept) {
    RecordingFrame frame(log);
    show(frame);
    EXPECT_FALSE(Quarn::Input::Events::wait(0));
    const auto start = Clock::now();
    EXPECT_FALSE(Quarn::Input::Events::wait(200));
    const long elapsed = milliseconds_since(start);
    EXPECT_GE(elapsed, 200);
    EXPECT_LT(elapsed, 1200);
    std::printf("wait(200) with nothing pending returned after %ld ms\n", elapsed);
}

void count_signal(int) {}

TEST_F(Wait, SignalsDoNotShortenOrRestartTheTimeout) {
    RecordingFrame frame(log);
    show(frame);
    // SIGALRM every 40 ms, without SA_RESTART, so poll sees EINTR.
    struct sigaction action {};
    action.sa_handler = count_signal;
    struct sigaction saved {};
    sigaction(SIGALRM, &action, &saved);
    itimerval every{{0, 40000}, {0, 40000}};
    setitimer(ITIMER_REAL, &every, nullptr);
    const auto start = Clock::now();
    const bool woke = Quarn::Input::Events::wait(300);
    const long elapsed = milliseconds_since(start);
    itimerval off{};
    setitimer(ITIMER_REAL, &off, nullptr);
    sigaction(SIGALRM, &saved, nullptr);
    EXPECT_FALSE(woke);
    EXPECT_GE(elapsed, 300) << "a signal ended the wait early";
    EXPECT_LT(elapsed, 1000) << "each signal restarted the full timeout";
    std::printf("wait(300) under SIGALRM every 40 ms returned after %ld ms\n", elapsed);
}

// I/O error handlers that return, as libX11's XSetIOErrorExitHandler allows.
int returning_io_error(Display*) { return 0; }
void returning_io_exit(Display*, void*) {}

TEST_F(Wait, ALostConnectionUnderAReturningIoErrorHandlerIsRefusedNotSpunOn) {
    // In a child of its own with a connection of its own: the library's
    // connection is closed here first, so the two never share a socket.
    Quarn::deinit();
    const pid_t child = fork();
    if (child == 0) {
        alarm(10);  // a spinning wait ends the child with SIGALRM
        Quarn::init();
        XSetIOErrorHandler(returning_io_error);
        XSetIOErrorExitHandler(Quarn::_quarn_display, returning_io_exit, nullptr);
        shutdown(ConnectionNumber(Quarn::_quarn_display), SHUT_RDWR);  // the server is gone
        try {
            Quarn::Input::Events::wait(-1);
        } catch (const char* message) {
            _exit(std::string(message) == "Cannot wait for events on a lost display connection!" ? 0 : 2);
        }
        _exit(3);
    }
    int status = 0;
    waitpid(child, &status, 0);
    quarn_test::start_library();
    ASSERT_TRUE(WIFEXITED(status)) << "signal " << WTERMSIG(status) << " (14: it spun until the alarm)";
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

// Ends, after ten seconds, a wait that nothing else ended: a client message
// from a second client, which counts as a close request. Whether it had to
// tells a wake-up that never came from one that did.
class Rescue {
public:
    explicit Rescue(Window window)
        : thread_([this, window] {
              std::unique_lock<std::mutex> lock(mutex_);
              if (stopped_.wait_for(lock, std::chrono::seconds(10), [this] { return stop_; })) return;
              rescued = true;
              quarn_test::XClient rescuer;
              rescuer.send_client_message(window);
              rescuer.sync();
          }) {}
    ~Rescue() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stop_ = true;
        }
        stopped_.notify_one();
        thread_.join();
    }
    std::atomic<bool> rescued{false};

private:
    std::mutex mutex_;
    std::condition_variable stopped_;
    bool stop_ = false;
    std::thread thread_;
};

using PostWake = Wait;

TEST_F(PostWake, FromAnotherThreadEndsAWaitWithoutLimit) {
    RecordingFrame frame(log);
    show(frame);
    Rescue rescue(frame._quarn_backing->window);
    std::thread worker([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        Quarn::Input::Events::post_wake();
    });
    const bool woke = Quarn::Input::Events::wait(-1);
    worker.join();
    EXPECT_TRUE(woke);
    EXPECT_FALSE(rescue.rescued) << "the wait slept on after post_wake";
}

TEST_F(PostWake, BeforeAWaitMakesItReturnAtOnce) {
    RecordingFrame frame(log);
    show(frame);
    std::thread([] { Quarn::Input::Events::post_wake(); }).join();
    EXPECT_TRUE(Quarn::Input::Events::wait(0)) << "0 only looks, and the wake-up is there to see";
    Rescue rescue(frame._quarn_backing->window);
    EXPECT_TRUE(Quarn::Input::Events::wait(-1));
    EXPECT_FALSE(rescue.rescued);
}

TEST_F(PostWake, TheHandleAfterDeliversNothingAndUsesItUp) {
    RecordingFrame frame(log);
    show(frame);
    // Several before one handle() count as one.
    for (int i = 0; i < 3; ++i) Quarn::Input::Events::post_wake();
    ASSERT_TRUE(Quarn::Input::Events::wait(0));
    Quarn::Input::Events::handle();
    EXPECT_TRUE(log.empty()) << "a wake-up is no event of any frame";
    EXPECT_FALSE(Quarn::Input::Events::wait(0)) << "the handle() used the wake-up up";
    EXPECT_FALSE(Quarn::Input::Events::wait(100)) << "a later wait sleeps as usual";
    // And the next one works as the first.
    Quarn::Input::Events::post_wake();
    EXPECT_TRUE(Quarn::Input::Events::wait(0));
    Quarn::Input::Events::handle();
    EXPECT_FALSE(Quarn::Input::Events::wait(0));
}

std::atomic<bool> errno_kept{true};

void wake_from_signal(int) {
    errno = EDOM;
    Quarn::Input::Events::post_wake();
    if (errno != EDOM) errno_kept = false;
}

TEST_F(PostWake, FromASignalHandler) {
    RecordingFrame frame(log);
    show(frame);
    struct sigaction action {};
    action.sa_handler = wake_from_signal;
    struct sigaction saved {};
    sigaction(SIGUSR1, &action, &saved);
    // Raised here, before the wait.
    raise(SIGUSR1);
    EXPECT_TRUE(Quarn::Input::Events::wait(0));
    Quarn::Input::Events::handle();
    EXPECT_FALSE(Quarn::Input::Events::wait(0));
    // Sent to this thread while it waits without limit.
    {
        Rescue rescue(frame._quarn_backing->window);
        const pthread_t waiter = pthread_self();
        std::thread sender([waiter] {
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            pthread_kill(waiter, SIGUSR1);
        });
        const bool woke = Quarn::Input::Events::wait(-1);
        sender.join();
        EXPECT_TRUE(woke);
        EXPECT_FALSE(rescue.rescued) << "the wait slept on after the handler's post_wake";
    }
    sigaction(SIGUSR1, &saved, nullptr);
    EXPECT_TRUE(errno_kept) << "post_wake changed errno under the handler";
}

}  // namespace
