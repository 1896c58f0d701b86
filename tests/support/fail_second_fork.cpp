// Preloaded into quarn-test-server by testing_test: the process's second
// fork (the command's, after the server's) fails, as it does when the process
// limit is reached.
#include <dlfcn.h>
#include <unistd.h>

#include <cerrno>

extern "C" pid_t fork() {
    static int forks = 0;
    if (++forks == 2) {
        errno = EAGAIN;
        return -1;
    }
    using Fork = pid_t (*)();
    return reinterpret_cast<Fork>(dlsym(RTLD_NEXT, "fork"))();
}
