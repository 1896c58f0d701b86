#include "quarn/testing/server.h"

#include <X11/Xlib.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <stdexcept>
#include <vector>

namespace Quarn {
namespace Testing {

namespace {

// Starts `argv` with its output discarded and `keep_fd` left open; the child
// is sent SIGTERM when this process dies, so a crashed test leaves nothing.
pid_t spawn(const std::vector<std::string>& argv, int keep_fd = -1) {
    // Built before fork: the child of a threaded process must not allocate.
    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    const pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid > 0) return pid;
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    const int null = open("/dev/null", O_RDWR);
    dup2(null, STDIN_FILENO);
    dup2(null, STDOUT_FILENO);
    dup2(null, STDERR_FILENO);
    for (int fd = 3; fd < 1024; ++fd)
        if (fd != keep_fd) close(fd);
    execvp(args[0], args.data());
    _exit(127);
}

void stop_process(pid_t& pid) {
    if (pid <= 0) return;
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    pid = -1;
}

// Reads the display number that Xvfb writes to -displayfd once it accepts
// connections; empty when it exits or takes longer than `timeout_ms`.
std::string read_display_number(int fd, int timeout_ms) {
    std::string number;
    pollfd readable{fd, POLLIN, 0};
    while (poll(&readable, 1, timeout_ms) > 0) {
        char c = 0;
        if (read(fd, &c, 1) != 1) return {};
        if (c == '\n') return number;
        number += c;
    }
    return {};
}

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
    if (const char* saved = std::getenv("DISPLAY")) {
        had_display_ = true;
        saved_display_ = saved;
    }
    if (const char* given = std::getenv("QUARN_TEST_DISPLAY")) {
        display_ = given;
        setenv("DISPLAY", display_.c_str(), 1);
        return;
    }
    start_xvfb(options);
    setenv("DISPLAY", display_.c_str(), 1);
    if (options.window_manager) {
        try {
            start_window_manager();
        } catch (...) {
            stop();
            throw;
        }
    }
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
    if (had_display_)
        setenv("DISPLAY", saved_display_.c_str(), 1);
    else
        unsetenv("DISPLAY");
}

}  // namespace Testing
}  // namespace Quarn
