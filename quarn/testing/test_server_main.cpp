// quarn-test-server: runs a command against a private X server, for test
// harnesses that are not C++ (scripts, ctest entries, other languages).
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <exception>
#include <stdexcept>
#include <string>

#include "quarn/testing/server.h"

namespace {

int usage() {
    std::fprintf(stderr,
                 "Usage: quarn-test-server [--wm] [--size WIDTHxHEIGHT] [--] COMMAND [ARGS...]\n"
                 "Runs COMMAND with DISPLAY set to a private Xvfb (with openbox for --wm), stops the\n"
                 "server afterwards, and exits with COMMAND's status.\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    // An ignored SIGCHLD (inherited from the caller) would reap the command
    // before its status could be read.
    std::signal(SIGCHLD, SIG_DFL);
    Quarn::Testing::ServerOptions options;
    int next = 1;
    for (; next < argc && argv[next][0] == '-'; ++next) {
        if (std::strcmp(argv[next], "--") == 0) {
            ++next;
            break;
        }
        if (std::strcmp(argv[next], "--wm") == 0) {
            options.window_manager = true;
        } else if (std::strcmp(argv[next], "--size") == 0 && next + 1 < argc &&
                   std::sscanf(argv[next + 1], "%dx%d", &options.width, &options.height) == 2) {
            ++next;
        } else {
            return usage();
        }
    }
    if (next >= argc) return usage();

    try {
        const Quarn::Testing::Server server(options);
        const pid_t command = fork();
        if (command < 0) throw std::runtime_error("cannot start the command (fork failed)");
        if (command == 0) {
            prctl(PR_SET_PDEATHSIG, SIGTERM);  // a killed runner takes its command along
            execvp(argv[next], argv + next);
            std::perror(argv[next]);
            _exit(127);
        }
        int status = 0;
        while (waitpid(command, &status, 0) < 0)
            if (errno != EINTR) throw std::runtime_error("lost the command's status");
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "quarn-test-server: %s\n", error.what());
        return 1;
    }
}
