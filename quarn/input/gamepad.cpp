#include "quarn/input/gamepad.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/input.h>
#include <sys/epoll.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "quarn/input/evdev.h"
#include "quarn/input/gamepad_mappings.h"

namespace Quarn {
namespace Input {

namespace {

int system_open(const char* path, int flags) { return ::open(path, flags); }
int system_ioctl(int fd, unsigned long request, void* argument) { return ::ioctl(fd, request, argument); }

}  // namespace

_quarn_EvdevCalls _quarn_evdev = {system_open, system_ioctl, ::read, ::close};
const char* _quarn_evdev_directory = "/dev/input";
bool _quarn_gamepads_on = false;

namespace {

constexpr size_t kLongBits = sizeof(unsigned long) * 8;

bool has_bit(const unsigned long* bits, int bit) {
    return (bits[static_cast<size_t>(bit) / kLongBits] >> (static_cast<size_t>(bit) % kLongBits)) & 1UL;
}

bool is_hat_code(int code) { return code >= ABS_HAT0X && code <= ABS_HAT3Y; }

// What the library keeps beside each Joystick: the open device and where its
// evdev codes land in the Joystick's vectors.
struct Device {
    int fd = -1;
    std::string node;  // the file's name in the directory
    short button_of[KEY_CNT];
    short axis_of[ABS_CNT];
    int minimum[ABS_CNT];
    int maximum[ABS_CNT];
    int hat_x[4] = {};
    int hat_y[4] = {};
    short hat_of[4];
    bool dropping = false;  // the kernel's buffer overflowed: the state is read afresh at the next report
    bool mapped = false;
    _quarn_GamepadMapping mapping;
};

std::vector<Joystick> joysticks;
std::vector<std::unique_ptr<Device>> devices;  // in the order of joysticks
std::vector<std::pair<int, bool>> changes;     // connections not yet told
int poller = -1;                               // epoll over the directory's watch and the devices
int watcher = -1;
int next_id = 0;

// A mapping from the evdev codes the Linux drivers give a standard pad, for
// pads the database does not know. xpad and the database call code 0x133
// (BTN_NORTH) X and 0x134 (BTN_WEST) Y, whatever the compass names say.
bool default_mapping(const Device& device, _quarn_GamepadMapping* mapping) {
    if (device.button_of[BTN_SOUTH] < 0 || device.button_of[BTN_EAST] < 0) return false;
    const int buttons[][2] = {{BTN_SOUTH, 0},       {BTN_EAST, 1},       {BTN_X, 2},         {BTN_Y, 3},
                              {BTN_TL, 4},          {BTN_TR, 5},         {BTN_SELECT, 6},    {BTN_START, 7},
                              {BTN_MODE, 8},        {BTN_THUMBL, 9},     {BTN_THUMBR, 10},   {BTN_DPAD_UP, 11},
                              {BTN_DPAD_RIGHT, 12}, {BTN_DPAD_DOWN, 13}, {BTN_DPAD_LEFT, 14}};
    *mapping = _quarn_GamepadMapping();
    mapping->name = "Default gamepad";
    for (const auto& button : buttons) {
        const int index = device.button_of[button[0]];
        if (index >= 0) mapping->buttons[button[1]] = {_quarn_GamepadSource::BUTTON, index, 0, 0, false};
    }
    if (device.hat_of[0] >= 0) {
        const int directions[][2] = {{11, 1}, {12, 2}, {13, 4}, {14, 8}};
        for (const auto& direction : directions)
            if (mapping->buttons[direction[0]].kind == _quarn_GamepadSource::NONE)
                mapping->buttons[direction[0]] = {_quarn_GamepadSource::HAT, device.hat_of[0], direction[1], 0, false};
    }
    const int axes[][2] = {{ABS_X, 0}, {ABS_Y, 1}, {ABS_RX, 2}, {ABS_RY, 3}, {ABS_Z, 4}, {ABS_RZ, 5}};
    for (const auto& axis : axes) {
        const int index = device.axis_of[axis[0]];
        if (index >= 0) mapping->axes[axis[1]] = {_quarn_GamepadSource::AXIS, index, 0, 0, false};
    }
    // Pads with digital triggers.
    if (mapping->axes[4].kind == _quarn_GamepadSource::NONE && device.button_of[BTN_TL2] >= 0)
        mapping->axes[4] = {_quarn_GamepadSource::BUTTON, device.button_of[BTN_TL2], 0, 0, false};
    if (mapping->axes[5].kind == _quarn_GamepadSource::NONE && device.button_of[BTN_TR2] >= 0)
        mapping->axes[5] = {_quarn_GamepadSource::BUTTON, device.button_of[BTN_TR2], 0, 0, false};
    return true;
}

void choose_mapping(Device& device, Joystick& joystick) {
    if (const _quarn_GamepadMapping* found = _quarn_find_mapping(joystick.guid)) {
        device.mapping = *found;
        device.mapped = true;
    } else {
        device.mapped = default_mapping(device, &device.mapping);
    }
    joystick.is_gamepad = device.mapped;
}

// SDL's form for Linux: bus, vendor, product and version as little-endian
// 16-bit words, each followed by a zero word; a device without vendor and
// product has the first 11 bytes of its name there instead, ending in a NUL.
std::string guid_of(const input_id& id, const std::string& name) {
    unsigned char bytes[16] = {};
    const unsigned short words[4] = {id.bustype, id.vendor, id.product, id.version};
    bytes[0] = static_cast<unsigned char>(words[0] & 0xff);
    bytes[1] = static_cast<unsigned char>(words[0] >> 8);
    if (id.vendor || id.product) {
        for (size_t i = 1; i < 4; ++i) {
            bytes[i * 4] = static_cast<unsigned char>(words[i] & 0xff);
            bytes[i * 4 + 1] = static_cast<unsigned char>(words[i] >> 8);
        }
    } else {
        for (size_t i = 0; i < 11 && i < name.size(); ++i) bytes[4 + i] = static_cast<unsigned char>(name[i]);
    }
    static const char kHex[] = "0123456789abcdef";
    std::string guid(32, '0');
    for (int i = 0; i < 16; ++i) {
        guid[static_cast<size_t>(i) * 2] = kHex[bytes[i] >> 4];
        guid[static_cast<size_t>(i) * 2 + 1] = kHex[bytes[i] & 0xf];
    }
    return guid;
}

float normalise(const Device& device, int axis_code, int value) {
    const double low = device.minimum[axis_code];
    const double high = device.maximum[axis_code];
    if (high <= low) return 0.0f;
    double scaled = 0.0;
    // A stick's range is one longer below zero (-32768 to 32767): each side
    // is scaled on its own, so that a stick at rest reads exactly 0.
    if (low < 0 && high > 0)
        scaled = value < 0 ? value / -low : value / high;
    else
        scaled = 2.0 * (value - low) / (high - low) - 1.0;
    return static_cast<float>(std::min(std::max(scaled, -1.0), 1.0));
}

int hat_bits(int x, int y) { return (y < 0 ? 1 : 0) | (x > 0 ? 2 : 0) | (y > 0 ? 4 : 0) | (x < 0 ? 8 : 0); }

void set_axis(Device& device, Joystick& joystick, int code, int value) {
    if (is_hat_code(code)) {
        const int hat = (code - ABS_HAT0X) / 2;
        const int index = device.hat_of[hat];
        if (index < 0) return;
        ((code - ABS_HAT0X) % 2 == 0 ? device.hat_x : device.hat_y)[hat] = value;
        joystick.hats[static_cast<size_t>(index)] = hat_bits(device.hat_x[hat], device.hat_y[hat]);
        return;
    }
    const int index = device.axis_of[code];
    if (index >= 0) joystick.axes[static_cast<size_t>(index)] = normalise(device, code, value);
}

// Reads every button's and axis's state as it is now.
void read_state(Device& device, Joystick& joystick) {
    unsigned long keys[KEY_CNT / kLongBits + 1] = {};
    if (_quarn_evdev.ioctl(device.fd, EVIOCGKEY(sizeof(keys)), keys) >= 0) {
        for (int code = 0; code < KEY_CNT; ++code)
            if (device.button_of[code] >= 0)
                joystick.buttons[static_cast<size_t>(device.button_of[code])] = has_bit(keys, code);
    }
    for (int code = 0; code < ABS_CNT; ++code) {
        if (device.axis_of[code] < 0 && !(is_hat_code(code) && device.hat_of[(code - ABS_HAT0X) / 2] >= 0)) continue;
        input_absinfo info{};
        if (_quarn_evdev.ioctl(device.fd, EVIOCGABS(code), &info) < 0) continue;
        if (!is_hat_code(code)) {
            device.minimum[code] = info.minimum;
            device.maximum[code] = info.maximum;
        }
        set_axis(device, joystick, code, info.value);
    }
}

bool is_open(const std::string& node) {
    return std::any_of(devices.begin(), devices.end(), [&](const auto& device) { return device->node == node; });
}

// Opens the node `name` and takes it when it is a joystick or gamepad: it has
// the joystick or gamepad buttons (BTN_JOYSTICK to BTN_THUMBR) and an absolute axis.
void open_device(const std::string& name, bool tell) {
    if (name.compare(0, 5, "event") != 0 || is_open(name)) return;
    const std::string path = std::string(_quarn_evdev_directory) + "/" + name;
    const int fd = _quarn_evdev.open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    // Not ours to read (permissions): left out; a change of its permissions brings it back.
    if (fd < 0) return;
    auto device = std::make_unique<Device>();
    device->fd = fd;
    device->node = name;
    unsigned long events[EV_CNT / kLongBits + 1] = {};
    unsigned long keys[KEY_CNT / kLongBits + 1] = {};
    unsigned long axes[ABS_CNT / kLongBits + 1] = {};
    input_id id{};
    char device_name[256] = {};
    bool joystick_buttons = false;
    if (_quarn_evdev.ioctl(fd, EVIOCGBIT(0, sizeof(events)), events) >= 0 && has_bit(events, EV_KEY) &&
        has_bit(events, EV_ABS) && _quarn_evdev.ioctl(fd, EVIOCGBIT(EV_KEY, sizeof(keys)), keys) >= 0 &&
        _quarn_evdev.ioctl(fd, EVIOCGBIT(EV_ABS, sizeof(axes)), axes) >= 0 &&
        _quarn_evdev.ioctl(fd, EVIOCGID, &id) >= 0) {
        for (int code = BTN_JOYSTICK; code <= BTN_THUMBR; ++code)
            joystick_buttons = joystick_buttons || has_bit(keys, code);
    }
    bool any_axis = false;
    for (int code = 0; code < ABS_CNT; ++code) any_axis = any_axis || has_bit(axes, code);
    if (!joystick_buttons || !any_axis) {
        _quarn_evdev.close(fd);
        return;
    }
    if (_quarn_evdev.ioctl(fd, EVIOCGNAME(sizeof(device_name) - 1), device_name) < 0) device_name[0] = '\0';

    Joystick joystick;
    joystick.id = next_id++;
    joystick.name = device_name;
    joystick.guid = guid_of(id, joystick.name);
    // The mappings count buttons from BTN_JOYSTICK up, then those below it,
    // and axes in code order without the hats: the order SDL gives them.
    std::fill(std::begin(device->button_of), std::end(device->button_of), static_cast<short>(-1));
    std::fill(std::begin(device->axis_of), std::end(device->axis_of), static_cast<short>(-1));
    std::fill(std::begin(device->hat_of), std::end(device->hat_of), static_cast<short>(-1));
    short buttons = 0;
    for (int code = BTN_JOYSTICK; code < KEY_CNT; ++code)
        if (has_bit(keys, code)) device->button_of[code] = buttons++;
    for (int code = 0; code < BTN_JOYSTICK; ++code)
        if (has_bit(keys, code)) device->button_of[code] = buttons++;
    short axis_count = 0;
    short hat_count = 0;
    for (int code = 0; code < ABS_CNT; ++code) {
        if (!has_bit(axes, code)) continue;
        if (!is_hat_code(code)) {
            device->axis_of[code] = axis_count++;
        } else if (device->hat_of[(code - ABS_HAT0X) / 2] < 0) {
            device->hat_of[(code - ABS_HAT0X) / 2] = hat_count++;
        }
    }
    joystick.buttons.assign(static_cast<size_t>(buttons), false);
    joystick.axes.assign(static_cast<size_t>(axis_count), 0.0f);
    joystick.hats.assign(static_cast<size_t>(hat_count), 0);
    read_state(*device, joystick);
    choose_mapping(*device, joystick);

    epoll_event ready{};
    ready.events = EPOLLIN;
    ready.data.fd = fd;
    epoll_ctl(poller, EPOLL_CTL_ADD, fd, &ready);
    if (tell) changes.emplace_back(joystick.id, true);
    joysticks.push_back(std::move(joystick));
    devices.push_back(std::move(device));
}

void close_device(size_t index, bool tell) {
    Device& device = *devices[index];
    epoll_ctl(poller, EPOLL_CTL_DEL, device.fd, nullptr);
    _quarn_evdev.close(device.fd);
    if (tell) changes.emplace_back(joysticks[index].id, false);
    devices.erase(devices.begin() + static_cast<std::ptrdiff_t>(index));
    joysticks.erase(joysticks.begin() + static_cast<std::ptrdiff_t>(index));
}

// The nodes in the order of their numbers, so that ids follow it.
void scan(bool tell) {
    DIR* directory = opendir(_quarn_evdev_directory);
    if (!directory) return;
    std::vector<std::string> names;
    while (const dirent* entry = readdir(directory)) names.emplace_back(entry->d_name);
    closedir(directory);
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        return a.size() != b.size() ? a.size() < b.size() : a < b;
    });
    for (const std::string& name : names) open_device(name, tell);
}

void start() {
    _quarn_gamepads_on = true;
    poller = epoll_create1(EPOLL_CLOEXEC);
    watcher = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    // udev makes the node, then gives it its permissions: IN_ATTRIB is when it can be opened.
    if (watcher >= 0 && inotify_add_watch(watcher, _quarn_evdev_directory, IN_CREATE | IN_ATTRIB | IN_DELETE) >= 0) {
        epoll_event ready{};
        ready.events = EPOLLIN;
        ready.data.fd = watcher;
        epoll_ctl(poller, EPOLL_CTL_ADD, watcher, &ready);
    }
    scan(false);
}

void use() {
    if (!_quarn_gamepads_on) start();
}

void stop() {
    while (!devices.empty()) close_device(devices.size() - 1, false);
    if (watcher >= 0) ::close(watcher);
    if (poller >= 0) ::close(poller);
    watcher = poller = -1;
    changes.clear();
    _quarn_gamepads_on = false;
}

void read_directory() {
    alignas(inotify_event) char buffer[4096];
    for (;;) {
        const ssize_t length = ::read(watcher, buffer, sizeof(buffer));
        if (length <= 0) return;
        for (ssize_t at = 0; at < length;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            if (event->mask & IN_Q_OVERFLOW) {
                scan(true);
                continue;
            }
            if (!event->len) continue;
            const std::string name = event->name;
            if (event->mask & IN_DELETE) {
                for (size_t i = 0; i < devices.size(); ++i)
                    if (devices[i]->node == name) {
                        close_device(i, true);
                        break;
                    }
            } else {
                open_device(name, true);
            }
        }
    }
}

// Reads what one device sent; a device gone (ENODEV, or end of file) is closed.
void read_device(int fd) {
    size_t index = 0;
    while (index < devices.size() && devices[index]->fd != fd) ++index;
    if (index == devices.size()) return;
    Device& device = *devices[index];
    Joystick& joystick = joysticks[index];
    input_event events[32];
    for (;;) {
        const ssize_t length = _quarn_evdev.read(fd, events, sizeof(events));
        if (length < 0 && (errno == EAGAIN || errno == EINTR)) return;
        if (length <= 0) {
            close_device(index, true);
            return;
        }
        const size_t count = static_cast<size_t>(length) / sizeof(input_event);
        for (size_t i = 0; i < count; ++i) {
            const input_event& event = events[i];
            if (event.type == EV_SYN) {
                if (event.code == SYN_DROPPED) device.dropping = true;
                if (event.code == SYN_REPORT && device.dropping) {
                    device.dropping = false;
                    read_state(device, joystick);
                }
            } else if (device.dropping) {
                continue;
            } else if (event.type == EV_KEY && event.code < KEY_CNT && device.button_of[event.code] >= 0) {
                joystick.buttons[static_cast<size_t>(device.button_of[event.code])] = event.value != 0;
            } else if (event.type == EV_ABS && event.code < ABS_CNT) {
                set_axis(device, joystick, event.code, event.value);
            }
        }
    }
}

}  // namespace

void _quarn_gamepad_update(void (*connection)(int id, bool connected)) {
    epoll_event ready[16];
    const int count = epoll_wait(poller, ready, 16, 0);
    for (int i = 0; i < count; ++i) {
        if (ready[i].data.fd == watcher)
            read_directory();
        else
            read_device(ready[i].data.fd);
    }
    if (changes.empty()) return;
    // Told after the state is whole: the callbacks may look at the joysticks.
    // Indexed, not iterated: a callback that runs the pump again adds to the list.
    for (size_t i = 0; i < changes.size(); ++i) {  // NOLINT(modernize-loop-convert)
        const std::pair<int, bool> change = changes[i];
        connection(change.first, change.second);
    }
    changes.clear();
}

int _quarn_gamepad_descriptor() { return _quarn_gamepads_on ? poller : -1; }

void _quarn_gamepad_deinit() {
    if (_quarn_gamepads_on) stop();
    _quarn_forget_added_mappings();
}

void _quarn_evdev_redirect(const char* directory, const _quarn_EvdevCalls& calls) {
    const bool was_on = _quarn_gamepads_on;
    if (was_on) stop();
    _quarn_evdev_directory = directory;
    _quarn_evdev = calls;
    if (was_on) start();
}

const std::vector<Joystick>& get_joysticks() {
    use();
    return joysticks;
}

bool get_gamepad_state(int id, GamepadState* state) {
    use();
    if (!state) return false;
    for (size_t i = 0; i < joysticks.size(); ++i) {
        if (joysticks[i].id != id) continue;
        if (!devices[i]->mapped) return false;
        _quarn_apply_mapping(devices[i]->mapping, joysticks[i], state);
        return true;
    }
    return false;
}

bool update_gamepad_mappings(const std::string& mappings) {
    use();
    if (!_quarn_add_mappings(mappings)) return false;
    for (size_t i = 0; i < devices.size(); ++i) choose_mapping(*devices[i], joysticks[i]);
    return true;
}

}  // namespace Input
}  // namespace Quarn
