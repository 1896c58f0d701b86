#pragma once

#include <sys/types.h>

namespace Quarn {
namespace Input {

/// The calls through which the joysticks reach the kernel's evdev devices:
/// the system's by default. Quarn::Testing::Gamepad points them, and the
/// directory, at a stand-in of its own where the machine has no uinput.
struct _quarn_EvdevCalls {
    int (*open)(const char* path, int flags);                     ///< As open(2).
    int (*ioctl)(int fd, unsigned long request, void* argument);  ///< As ioctl(2).
    ssize_t (*read)(int fd, void* buffer, size_t size);           ///< As read(2).
    int (*close)(int fd);                                         ///< As close(2).
};

extern _quarn_EvdevCalls _quarn_evdev;

/// Where the device nodes are looked for and watched: "/dev/input" unless
/// a test kit changed it.
extern const char* _quarn_evdev_directory;

/// Points the joysticks at `directory` and `calls`. Where they were already in
/// use, the devices open now are closed and the new directory is read at
/// once, as at a first call: no connection events either way.
void _quarn_evdev_redirect(const char* directory, const _quarn_EvdevCalls& calls);

}  // namespace Input
}  // namespace Quarn
