#include "quarn/frame/desktop.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "quarn/init.h"

namespace Quarn {
namespace Frame {

namespace {

// The program's name as started: the base name of argv[0].
std::string program_name() {
    if (const char* name = std::getenv("RESOURCE_NAME"); name && *name) return name;
    if (program_invocation_short_name && *program_invocation_short_name) return program_invocation_short_name;
    return "quarn";
}

}  // namespace

void _quarn_set_class(Window window, const std::string& instance, const std::string& class_name) {
    std::vector<char> instance_bytes(instance.c_str(), instance.c_str() + instance.size() + 1);
    std::vector<char> class_bytes(class_name.c_str(), class_name.c_str() + class_name.size() + 1);
    XClassHint hint{instance_bytes.data(), class_bytes.data()};
    XSetClassHint(_quarn_display, window, &hint);
}

void _quarn_name_application(Window window) {
    const std::string instance = program_name();
    std::string class_name = instance;
    class_name[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(class_name[0])));
    _quarn_set_class(window, instance, class_name);

    const long pid = static_cast<long>(getpid());
    XChangeProperty(_quarn_display, window, XInternAtom(_quarn_display, "_NET_WM_PID", False), XA_CARDINAL, 32,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(&pid), 1);

    char host[HOST_NAME_MAX + 1] = {};
    if (gethostname(host, sizeof host - 1) == 0) {
        XTextProperty machine{};
        char* names[] = {host};
        if (XStringListToTextProperty(names, 1, &machine)) {
            XSetWMClientMachine(_quarn_display, window, &machine);
            XFree(machine.value);
        }
    }
}

void _quarn_set_utf8_title(Window window, const std::string& title) {
    const Atom utf8 = XInternAtom(_quarn_display, "UTF8_STRING", False);
    const auto* bytes = reinterpret_cast<const unsigned char*>(title.c_str());
    const int length = static_cast<int>(std::strlen(title.c_str()));
    for (const char* name : {"_NET_WM_NAME", "_NET_WM_ICON_NAME"})
        XChangeProperty(_quarn_display, window, XInternAtom(_quarn_display, name, False), utf8, 8, PropModeReplace,
                        bytes, length);
}

void _quarn_set_icon(Window window, int width, int height, const unsigned char* rgba) {
    // Format 32 means a long per item on the client side, on 64-bit too.
    const std::size_t pixels = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    std::vector<unsigned long> icon(2 + pixels);
    icon[0] = static_cast<unsigned long>(width);
    icon[1] = static_cast<unsigned long>(height);
    for (std::size_t i = 0; i < pixels; ++i) {
        const unsigned char* p = rgba + 4 * i;
        icon[2 + i] = (static_cast<unsigned long>(p[3]) << 24) | (static_cast<unsigned long>(p[0]) << 16) |
                      (static_cast<unsigned long>(p[1]) << 8) | static_cast<unsigned long>(p[2]);
    }
    XChangeProperty(_quarn_display, window, XInternAtom(_quarn_display, "_NET_WM_ICON", False), XA_CARDINAL, 32,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(icon.data()),
                    static_cast<int>(icon.size()));
}

}  // namespace Frame
}  // namespace Quarn
