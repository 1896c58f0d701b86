#include "quarn/testing/server.h"

#include <X11/Xlib.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdlib>
#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

namespace Quarn {
namespace Testing {

namespace {

// PR_SET_PDEATHSIG fires when the *thread* that forked a child ends, not the
// process: a Server made in a worker thread would lose its Xvfb with that
// thread. So every child is forked by one thread that lives as long as the
// process.
class Spawner {
public:
    // Never destroyed: its thread waits for work until the process ends.
    static Spawner& instance() {
        static auto* const spawner = new Spawner;
        return *spawner;
    }

    // Runs `fork_child` on the spawner's thread; returns or throws what it does.
    pid_t run(std::function<pid_t()> fork_child) {
        std::packaged_task<pid_t()> task(std::move(fork_child));
        std::future<pid_t> result = task.get_future();
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            tasks_.push_back(std::move(task));
        }
        wake_.notify_one();
        return result.get();
    }

private:
    Spawner() {
        std::thread([this] { serve(); }).detach();
    }

    [[noreturn]] void serve() {
        for (;;) {
            std::unique_lock<std::mutex> lock(mutex_);
            wake_.wait(lock, [this] { return !tasks_.empty(); });
            std::packaged_task<pid_t()> task = std::move(tasks_.front());
            tasks_.pop_front();
            lock.unlock();
            task();
        }
    }

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::packaged_task<pid_t()>> tasks_;
};

// Starts `argv` with its output discarded and `keep_fd` left open; the child
// is sent SIGTERM when this process dies, so a crashed test leaves nothing.
pid_t spawn(const std::vector<std::string>& argv, int keep_fd = -1) {
    // Built before fork: the child of a threaded process must not allocate.
    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    const pid_t pid = Spawner::instance().run([&args, keep_fd] {
        const pid_t child = fork();
        if (child != 0) return child;
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        const int null = open("/dev/null", O_RDWR);
        dup2(null, STDIN_FILENO);
        dup2(null, STDOUT_FILENO);
        dup2(null, STDERR_FILENO);
        for (int fd = 3; fd < 1024; ++fd)
            if (fd != keep_fd) close(fd);
        execvp(args[0], args.data());
        _exit(127);
    });
    if (pid < 0) throw std::runtime_error("fork failed");
    return pid;
}

void stop_process(pid_t& pid) {
    if (pid <= 0) return;
    kill(pid, SIGTERM);
    while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
    }
    pid = -1;
}

// Reads the display number that Xvfb writes to -displayfd once it accepts
// connections; empty when it exits or takes longer than `timeout_ms`. A
// signal (EINTR) only sends the loop round with the time that is left.
std::string read_display_number(int fd, int timeout_ms) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
    std::string number;
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) return {};
        pollfd readable{fd, POLLIN, 0};
        const int ready = poll(&readable, 1, static_cast<int>(left));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return {};
        char c = 0;
        const ssize_t got = read(fd, &c, 1);
        if (got < 0 && errno == EINTR) continue;
        if (got != 1) return {};
        if (c == '\n') return number;
        number += c;
    }
}

// $DISPLAY as each live Server found it. When servers are replaced out of
// order (a new one made before the old one is destroyed), a destroyed server
// hands what it found to the server that found it, so $DISPLAY always ends up
// naming a live server or the one the process started with.
struct DisplayRecord {
    const Server* server;
    std::string display;
    bool had_saved;
    std::string saved;
};
std::mutex display_mutex;
std::vector<DisplayRecord> display_records;

// openbox announces itself on the root window once it manages the screen.
bool window_manager_running(Display* display) {
    const Atom check = XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    XGetWindowProperty(display, DefaultRootWindow(display), check, 0, 1, False, AnyPropertyType, &type, &format, &count,
                       &after, &data);
    if (data) XFree(data);
    return count == 1;
}

}  // namespace

Server::Server() : Server(ServerOptions()) {}

Server::Server(const ServerOptions& options) {
    if (const char* given = std::getenv("QUARN_TEST_DISPLAY")) {
        display_ = given;
        name_display();
        return;
    }
    start_xvfb(options);
    name_display();
    if (options.window_manager) {
        try {
            start_window_manager();
        } catch (...) {
            stop();
            throw;
        }
    }
}

void Server::name_display() {
    const std::lock_guard<std::mutex> lock(display_mutex);
    const char* saved = std::getenv("DISPLAY");
    display_records.push_back({this, display_, saved != nullptr, saved ? saved : ""});
    setenv("DISPLAY", display_.c_str(), 1);
}

void Server::restore_display() {
    const std::lock_guard<std::mutex> lock(display_mutex);
    const auto own = std::find_if(display_records.begin(), display_records.end(),
                                  [this](const DisplayRecord& record) { return record.server == this; });
    if (own == display_records.end()) return;
    const DisplayRecord mine = *own;
    display_records.erase(own);
    for (DisplayRecord& later : display_records) {
        if (later.had_saved && later.saved == mine.display) {
            later.had_saved = mine.had_saved;
            later.saved = mine.saved;
        }
    }
    const char* now = std::getenv("DISPLAY");
    if (now && mine.display != now) return;  // a later server is named
    if (mine.had_saved)
        setenv("DISPLAY", mine.saved.c_str(), 1);
    else
        unsetenv("DISPLAY");
}

Server::~Server() { stop(); }

void Server::start_xvfb(const ServerOptions& options) {
    int ready[2];
    if (pipe2(ready, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    // The child keeps a copy of the write end without close-on-exec.
    const int child_fd = fcntl(ready[1], F_DUPFD, 3);
    const std::string screen = std::to_string(options.width) + "x" + std::to_string(options.height) + "x24";
    // -noreset: without it the server resets whenever its last client leaves,
    // refusing whoever connects meanwhile.
    try {
        xvfb_ = spawn(
            {"Xvfb", "-displayfd", std::to_string(child_fd), "-screen", "0", screen, "-nolisten", "tcp", "-noreset"},
            child_fd);
    } catch (...) {
        close(child_fd);
        close(ready[0]);
        close(ready[1]);
        throw;
    }
    close(child_fd);
    close(ready[1]);
    const std::string number = read_display_number(ready[0], 30000);
    close(ready[0]);
    if (number.empty()) {
        stop_process(xvfb_);
        throw std::runtime_error("Xvfb did not start (is the xvfb package installed?)");
    }
    display_ = ":" + number;
}

void Server::start_window_manager() {
    window_manager_ = spawn({"openbox", "--sm-disable"});
    Display* display = XOpenDisplay(display_.c_str());
    if (!display) throw std::runtime_error("cannot connect to the test X server");
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    bool running = false;
    while (!(running = window_manager_running(display)) && std::chrono::steady_clock::now() < deadline) {
        if (waitpid(window_manager_, nullptr, WNOHANG) == window_manager_) {
            window_manager_ = -1;
            break;
        }
        poll(nullptr, 0, 20);
    }
    XCloseDisplay(display);
    if (!running) throw std::runtime_error("openbox did not start (is the openbox package installed?)");
}

void Server::stop() {
    stop_process(window_manager_);
    stop_process(xvfb_);
    restore_display();
}

}  // namespace Testing
}  // namespace Quarn
