#pragma once

// Shared by the benchmark programs: the event workload, its injection from a
// second connection, heap-allocation counting and the result line.
#include <X11/Xlib.h>

#include <atomic>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace bench {

// What one contender saw of the workload, by kind.
struct Delivered {
    long motion = 0;
    long key = 0;
    long button = 0;  // presses and releases of buttons 1 to 3
    long wheel = 0;   // buttons 4 and 5, however reported
    long expose = 0;
    bool marker = false;  // the close request that ends each batch
};

// Events per batch of one large burst, and the small drains of a 60 Hz loop.
constexpr int kBurst = 20000;
constexpr int kSmall = 200;

// The mixed workload for `window`, from a fixed seed: mostly pointer motion,
// press and release of one real key, buttons 1 to 5, some exposure, each with
// its own timestamp.
std::vector<XEvent> make_workload(Display* display, Window window, int count);

// A second client that sends events with XSendEvent, each to its own window
// (an empty mask delivers it to the window's creator), and the batch's end
// marker to `target`.
class Injector {
public:
    explicit Injector(Window target);
    ~Injector();
    // Sends events [begin, end) of `workload`, then the close request that
    // marks the end of the batch, and waits until the server has them all.
    void send(const std::vector<XEvent>& workload, std::size_t begin, std::size_t end);
    Display* display() const { return display_; }

private:
    Display* display_;
    Window target_;
    Atom protocols_;
    Atom delete_window_;
};

// Heap allocations (malloc, calloc, realloc, new) made since the process started.
long allocations();

double seconds_now();

// Runs the pump benchmark of one contender: `pump` drains what is pending
// into `delivered`; the window is `window` (mapped, 200 x 200). Prints one
// result line. argv: shape ("burst" or "small").
int run_pump(int argc, char** argv, const char* contender, Window window, Delivered& delivered,
             const std::function<void()>& pump);

// Instructions counted by callgrind: on around the timed drains only.
void instrumentation(bool on);

// The draw-loop benchmark: per iteration `poll`, then for each of the two
// frames `bind`, the demo's scene (frame 0 the triangles, frame 1 the square)
// and `present` (swap and glFinish), timed apiece. A contender that draws
// through its own call sets `draw` instead. Prints one result line.
// argv: iterations.
struct DrawLoop {
    std::function<void()> poll;
    std::function<void(int frame)> bind;
    std::function<void(int frame)> present;
    std::function<void(int frame)> draw;  // empty: run_draw draws the scene
};
int run_draw(int argc, char** argv, const char* contender, double started, const DrawLoop& loop);

// Peak resident memory of the process in KiB.
long peak_resident_kib();

}  // namespace bench

namespace bench {

// The waiting benchmark of one contender, on its mapped 200 x 200 `window`.
// `wait` sleeps until input arrives or `timeout_ms` pass, notes when it woke
// (seconds_now) and returns that, then delivers what came, counting key
// presses into `keys`. argv[1]:
//   idle   10 s of the idle loop with no input: CPU time used, wake-ups;
//   wake   200 key presses injected (XTest) at random intervals: microseconds
//          from each injection to `wait` returning with it;
//   spin   (when `spin` is given) 10 s of a loop that only polls: CPU time;
//   post   (when `post` is given) 200 wake-ups `post`ed from another thread,
//          each 2 ms after the loop went to wait: microseconds from the
//          post to `wait` returning.
// Prints one result line.
int run_wait(int argc, char** argv, const char* contender, Window window, const std::atomic<long>& keys,
             const std::function<double(int timeout_ms)>& wait, const std::function<void()>& spin = {},
             const std::function<void()>& post = {});

}  // namespace bench
