#include "bench/common.h"

#include "test_twowindows/scene.h"

#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <sys/resource.h>
#include <valgrind/callgrind.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <thread>

// Counting allocator: every allocation of the process, Xlib's and the
// contenders' included, goes through these (operator new calls malloc).
static long allocation_counter = 0;
extern "C" {
void* __libc_malloc(std::size_t);
void* __libc_calloc(std::size_t, std::size_t);
void* __libc_realloc(void*, std::size_t);
void* malloc(std::size_t size) {
    ++allocation_counter;
    return __libc_malloc(size);
}
void* calloc(std::size_t count, std::size_t size) {
    ++allocation_counter;
    return __libc_calloc(count, size);
}
void* realloc(void* data, std::size_t size) {
    ++allocation_counter;
    return __libc_realloc(data, size);
}
}

namespace bench {

long allocations() { return allocation_counter; }

double seconds_now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

void instrumentation(bool on) {
    if (on)
        CALLGRIND_START_INSTRUMENTATION;
    else
        CALLGRIND_STOP_INSTRUMENTATION;
}

long peak_resident_kib() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

std::vector<XEvent> make_workload(Display* display, Window window, int count) {
    std::mt19937 random(20261208);
    const KeyCode key = XKeysymToKeycode(display, XK_a);
    const Window root = DefaultRootWindow(display);
    std::vector<XEvent> events;
    events.reserve(static_cast<std::size_t>(count));
    bool key_down = false;
    unsigned int held_button = 0;
    for (int i = 0; i < count; ++i) {
        XEvent event;
        std::memset(&event, 0, sizeof event);
        const Time time = 1000 + static_cast<Time>(i);  // distinct, so no peer takes two keys for a repeat
        const unsigned int pick = random() % 100;
        if (pick < 70) {
            event.xmotion.type = MotionNotify;
            event.xmotion.x = static_cast<int>(random() % 200);
            event.xmotion.y = static_cast<int>(random() % 200);
            event.xmotion.x_root = event.xmotion.x;
            event.xmotion.y_root = event.xmotion.y;
            event.xmotion.time = time;
            event.xmotion.same_screen = True;
            event.xmotion.root = root;
        } else if (pick < 80) {
            event.xkey.type = key_down ? KeyRelease : KeyPress;
            key_down = !key_down;
            event.xkey.keycode = key;
            event.xkey.time = time;
            event.xkey.same_screen = True;
            event.xkey.root = root;
        } else if (pick < 95) {
            if (held_button) {
                event.xbutton.type = ButtonRelease;
                event.xbutton.button = held_button;
                held_button = 0;
            } else {
                event.xbutton.type = ButtonPress;
                event.xbutton.button = held_button = 1 + random() % 5;
            }
            event.xbutton.time = time;
            event.xbutton.same_screen = True;
            event.xbutton.root = root;
            event.xbutton.x = event.xbutton.y = 100;
        } else {
            event.xexpose.type = Expose;
            event.xexpose.width = event.xexpose.height = 200;
        }
        event.xany.window = window;
        events.push_back(event);
    }
    return events;
}

Injector::Injector(Window target) : display_(XOpenDisplay(nullptr)), target_(target) {
    if (!display_) {
        std::fprintf(stderr, "bench: cannot open the display\n");
        std::exit(1);
    }
    protocols_ = XInternAtom(display_, "WM_PROTOCOLS", False);
    delete_window_ = XInternAtom(display_, "WM_DELETE_WINDOW", False);
}

Injector::~Injector() { XCloseDisplay(display_); }

void Injector::send(const std::vector<XEvent>& workload, std::size_t begin, std::size_t end) {
    for (std::size_t i = begin; i < end; ++i) {
        XEvent event = workload[i];
        XSendEvent(display_, event.xany.window, False, NoEventMask, &event);
    }
    XEvent marker;
    std::memset(&marker, 0, sizeof marker);
    marker.xclient.type = ClientMessage;
    marker.xclient.window = target_;
    marker.xclient.message_type = protocols_;
    marker.xclient.format = 32;
    marker.xclient.data.l[0] = static_cast<long>(delete_window_);
    marker.xclient.data.l[1] = CurrentTime;
    XSendEvent(display_, target_, False, NoEventMask, &marker);
    XSync(display_, False);
}

int run_pump(int argc, char** argv, const char* contender, Window window, Delivered& delivered,
             const std::function<void()>& pump) {
    const std::string shape = argc > 1 ? argv[1] : "burst";
    const int chunk = shape == "small" ? kSmall : kBurst;
    Injector injector(window);
    const std::vector<XEvent> workload = make_workload(injector.display(), window, kBurst);

    // Drain what the window's creation caused, then count from zero.
    injector.send(workload, 0, 0);
    while (!delivered.marker) pump();

    double seconds = 0;
    long allocated = 0;
    delivered = Delivered{};
    for (std::size_t begin = 0; begin < workload.size(); begin += static_cast<std::size_t>(chunk)) {
        injector.send(workload, begin, begin + static_cast<std::size_t>(chunk));
        delivered.marker = false;
        const long allocations_before = allocations();
        instrumentation(true);
        const double start = seconds_now();
        while (!delivered.marker) pump();
        seconds += seconds_now() - start;
        instrumentation(false);
        allocated += allocations() - allocations_before;
    }
    std::printf(
        "pump %s %s events=%d seconds=%.6f allocations=%ld motion=%ld key=%ld button=%ld wheel=%ld expose=%ld\n",
        contender, shape.c_str(), kBurst, seconds, allocated, delivered.motion, delivered.key, delivered.button,
        delivered.wheel, delivered.expose);
    return 0;
}

int run_draw(int argc, char** argv, const char* contender, double started, const DrawLoop& loop) {
    const int iterations = argc > 1 ? std::atoi(argv[1]) : 300;
    float theta = 0;
    const auto draw_scene = [&](int frame) {
        if (frame == 0)
            scene::draw_triangles(theta++);
        else
            scene::draw_square();
    };
    double first_done = 0;
    double phase[3] = {0, 0, 0};
    const double start = seconds_now();
    for (int i = 0; i < iterations; ++i) {
        loop.poll();
        for (int frame = 0; frame < 2; ++frame) {
            const double t0 = seconds_now();
            loop.bind(frame);
            const double t1 = seconds_now();
            if (loop.draw)
                loop.draw(frame);
            else
                draw_scene(frame);
            const double t2 = seconds_now();
            loop.present(frame);
            const double t3 = seconds_now();
            phase[0] += t1 - t0;
            phase[1] += t2 - t1;
            phase[2] += t3 - t2;
        }
        if (i == 0) first_done = seconds_now();
    }
    const double seconds = seconds_now() - start;
    std::printf("draw %s iterations=%d seconds=%.6f startup=%.6f bind=%.6f scene=%.6f present=%.6f peak_kib=%ld\n",
                contender, iterations, seconds, first_done - started, phase[0], phase[1], phase[2],
                peak_resident_kib());
    return 0;
}

}  // namespace bench

namespace bench {

namespace {

double cpu_seconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

double percentile(std::vector<double> values, double share) {
    std::sort(values.begin(), values.end());
    const auto at = static_cast<std::size_t>(std::lround(share * static_cast<double>(values.size() - 1)));
    return values[at];
}

// A second client on a thread of its own: it gives `window` the focus, then
// presses the A key `count` times at random intervals, each time waiting until
// the loop has seen the press before it releases the key.
class KeyInjector {
public:
    KeyInjector(Window window, const std::atomic<long>& keys)
        : display_(XOpenDisplay(nullptr)), window_(window), keys_(keys) {
        while (true) {
            XWindowAttributes attributes{};
            XGetWindowAttributes(display_, window_, &attributes);
            if (attributes.map_state == IsViewable) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        XSetInputFocus(display_, window_, RevertToPointerRoot, CurrentTime);
        XSync(display_, False);
    }
    ~KeyInjector() { XCloseDisplay(display_); }

    void run(int count) {
        std::mt19937 random(7);
        const KeyCode key = XKeysymToKeycode(display_, XK_a);
        for (int i = 0; i < count; ++i) {
            std::this_thread::sleep_for(std::chrono::microseconds(5000 + random() % 10000));
            const long before = keys_;
            sent = seconds_now();
            XTestFakeKeyEvent(display_, key, True, CurrentTime);
            XFlush(display_);
            while (keys_ == before) std::this_thread::yield();
            XTestFakeKeyEvent(display_, key, False, CurrentTime);
            XFlush(display_);
        }
    }

    std::atomic<double> sent{0};

private:
    Display* display_;
    Window window_;
    const std::atomic<long>& keys_;
};

}  // namespace

int run_wait(int argc, char** argv, const char* contender, Window window, const std::atomic<long>& keys,
             const std::function<double(int timeout_ms)>& wait, const std::function<void()>& spin,
             const std::function<void()>& post) {
    const std::string mode = argc > 1 ? argv[1] : "idle";
    if (mode == "post" && post) {
        constexpr int kPosts = 200;
        std::atomic<int> armed{-1}, posted{-1};
        std::atomic<double> sent{0};
        std::thread poster([&] {
            for (int i = 0; i < kPosts; ++i) {
                while (armed < i) std::this_thread::yield();
                // By then the loop sleeps in its wait.
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
                sent = seconds_now();
                posted = i;
                post();
            }
        });
        std::vector<double> latencies;
        for (int i = 0; i < kPosts; ++i) {
            armed = i;
            double woke = 0;
            // A wake-up for anything else (an exposure) before the post does not count.
            do woke = wait(1000);
            while (posted < i || woke < sent);
            latencies.push_back((woke - sent) * 1e6);
        }
        poster.join();
        std::printf("wait %s mode=post posts=%zu median_us=%.1f p99_us=%.1f\n", contender, latencies.size(),
                    percentile(latencies, 0.5), percentile(latencies, 0.99));
        return 0;
    }
    if (mode == "wake") {
        constexpr int kKeys = 200;
        KeyInjector injector(window, keys);
        std::thread typist([&] { injector.run(kKeys); });
        std::vector<double> latencies;
        while (static_cast<long>(latencies.size()) < kKeys) {
            const long before = keys;
            const double woke = wait(1000);
            if (keys != before) latencies.push_back((woke - injector.sent) * 1e6);
        }
        typist.join();
        std::printf("wait %s mode=wake keys=%zu median_us=%.1f p99_us=%.1f\n", contender, latencies.size(),
                    percentile(latencies, 0.5), percentile(latencies, 0.99));
        return 0;
    }
    constexpr double kSeconds = 10;
    long rounds = 0;
    const double cpu_start = cpu_seconds(), start = seconds_now();
    for (double now = start; now - start < kSeconds; now = seconds_now(), ++rounds) {
        if (mode == "spin" && spin)
            spin();
        else
            wait(static_cast<int>((kSeconds - (now - start)) * 1000) + 1);
    }
    const double wall = seconds_now() - start, cpu = cpu_seconds() - cpu_start;
    std::printf("wait %s mode=%s seconds=%.3f cpu=%.4f share=%.5f rounds=%ld\n", contender, mode.c_str(), wall, cpu,
                cpu / wall, rounds);
    return 0;
}

}  // namespace bench
