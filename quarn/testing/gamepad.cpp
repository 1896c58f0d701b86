#include "quarn/testing/gamepad.h"

#include <fcntl.h>
#include <linux/input.h>
#include <linux/uinput.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>
#include <stdexcept>
#include <vector>

#include "quarn/input/evdev.h"

namespace Quarn {
namespace Testing {

namespace {

const int kButtons[] = {BTN_SOUTH,  BTN_EAST,  BTN_NORTH, BTN_WEST,   BTN_TL,    BTN_TR,
                        BTN_SELECT, BTN_START, BTN_MODE,  BTN_THUMBL, BTN_THUMBR};
struct AxisRange {
    int code;
    int minimum;
    int maximum;
};
const AxisRange kAxes[] = {{ABS_X, -32768, 32767},  {ABS_Y, -32768, 32767}, {ABS_Z, 0, 255},    {ABS_RX, -32768, 32767},
                           {ABS_RY, -32768, 32767}, {ABS_RZ, 0, 255},       {ABS_HAT0X, -1, 1}, {ABS_HAT0Y, -1, 1}};

const AxisRange* range_of(int code) {
    for (const AxisRange& range : kAxes)
        if (range.code == code) return &range;
    return nullptr;
}

bool has_button(int code) { return std::find(std::begin(kButtons), std::end(kButtons), code) != std::end(kButtons); }

int rest_of(const AxisRange& range) { return range.minimum < 0 ? 0 : range.minimum; }

void set_bit(unsigned char* bits, size_t size, int bit) {
    if (static_cast<size_t>(bit) / 8 < size)
        bits[bit / 8] = static_cast<unsigned char>(bits[bit / 8] | (1 << (bit % 8)));
}

bool decide_uinput() {
    if (std::getenv("QUARN_GAMEPAD_STAND_IN")) return false;
    const int fd = ::open("/dev/uinput", O_WRONLY | O_CLOEXEC);
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

}  // namespace

struct Gamepad::Pad {
    std::string name;
    input_id id{};
    std::map<int, bool> buttons;
    std::map<int, int> axes;
    std::string node;  // stand-in: the file's path
    int reader = -1;   // stand-in: the pipe's ends
    int writer = -1;
    int uinput = -1;

    void send(int type, int code, int value) {
        input_event events[2] = {};
        events[0].type = static_cast<unsigned short>(type);
        events[0].code = static_cast<unsigned short>(code);
        events[0].value = value;
        events[1].type = EV_SYN;
        events[1].code = SYN_REPORT;
        const int fd = uinput >= 0 ? uinput : writer;
        // A full pipe loses the input, as the kernel's buffer would; the
        // state the ioctls read stays right.
        const ssize_t written = ::write(fd, events, sizeof(events));
        (void)written;
    }
};

namespace {

// The stand-in: a private directory of nodes, and the descriptors the
// library opened on them.
struct StandIn {
    std::string directory;
    std::map<std::string, Gamepad::Pad*> nodes;
    std::map<int, Gamepad::Pad*> open;

    ~StandIn() {
        if (!directory.empty()) rmdir(directory.c_str());
    }
};

StandIn& stand_in() {
    static StandIn instance;
    return instance;
}

int stand_in_open(const char* path, int flags) {
    struct stat status {};
    if (stat(path, &status) != 0) return -1;
    // What the kernel refuses a user without the rights; the tests run as root.
    if (!(status.st_mode & S_IRUSR)) {
        errno = EACCES;
        return -1;
    }
    const auto node = stand_in().nodes.find(path);
    if (node == stand_in().nodes.end()) return ::open(path, flags);
    const int fd = fcntl(node->second->reader, F_DUPFD_CLOEXEC, 0);
    if (fd >= 0) stand_in().open[fd] = node->second;
    return fd;
}

int copy_out(void* argument, size_t size, const void* from, size_t length) {
    std::memset(argument, 0, size);
    std::memcpy(argument, from, std::min(size, length));
    return static_cast<int>(std::min(size, length));
}

int stand_in_ioctl(int fd, unsigned long request, void* argument) {
    const auto entry = stand_in().open.find(fd);
    if (entry == stand_in().open.end()) return ::ioctl(fd, request, argument);
    const Gamepad::Pad& pad = *entry->second;
    if (_IOC_TYPE(request) != 'E' || _IOC_DIR(request) != _IOC_READ) {
        errno = EINVAL;
        return -1;
    }
    const unsigned int number = _IOC_NR(request);
    const size_t size = _IOC_SIZE(request);
    unsigned char bits[KEY_CNT / 8 + 1] = {};
    if (number == _IOC_NR(EVIOCGID)) return copy_out(argument, size, &pad.id, sizeof(pad.id));
    if (number == _IOC_NR(EVIOCGNAME(0))) return copy_out(argument, size, pad.name.c_str(), pad.name.size() + 1);
    if (number == _IOC_NR(EVIOCGKEY(0))) {
        for (const auto& button : pad.buttons)
            if (button.second) set_bit(bits, sizeof(bits), button.first);
        return copy_out(argument, size, bits, sizeof(bits));
    }
    if (number >= _IOC_NR(EVIOCGABS(0)) && number < _IOC_NR(EVIOCGABS(0)) + ABS_CNT) {
        const int code = static_cast<int>(number - _IOC_NR(EVIOCGABS(0)));
        const AxisRange* range = range_of(code);
        if (!range) {
            errno = EINVAL;
            return -1;
        }
        input_absinfo info{};
        info.value = pad.axes.at(code);
        info.minimum = range->minimum;
        info.maximum = range->maximum;
        return copy_out(argument, size, &info, sizeof(info));
    }
    if (number >= _IOC_NR(EVIOCGBIT(0, 0)) && number < _IOC_NR(EVIOCGBIT(0, 0)) + EV_CNT) {
        switch (number - _IOC_NR(EVIOCGBIT(0, 0))) {
            case 0:
                for (const int type : {EV_SYN, EV_KEY, EV_ABS}) set_bit(bits, sizeof(bits), type);
                break;
            case EV_KEY:
                for (const int code : kButtons) set_bit(bits, sizeof(bits), code);
                break;
            case EV_ABS:
                for (const AxisRange& range : kAxes) set_bit(bits, sizeof(bits), range.code);
                break;
            default: break;
        }
        return copy_out(argument, size, bits, sizeof(bits));
    }
    errno = EINVAL;
    return -1;
}

int stand_in_close(int fd) {
    stand_in().open.erase(fd);
    return ::close(fd);
}

void plug_stand_in(Gamepad::Pad& pad) {
    StandIn& state = stand_in();
    if (state.directory.empty()) {
        const char* temporary = std::getenv("TMPDIR");
        std::string pattern = std::string(temporary && *temporary ? temporary : "/tmp") + "/quarn-gamepads-XXXXXX";
        if (!mkdtemp(&pattern[0])) throw std::runtime_error("Cannot make the gamepads' directory");
        state.directory = pattern;
    }
    if (Input::_quarn_evdev_directory != state.directory) {
        static const Input::_quarn_EvdevCalls calls = {stand_in_open, stand_in_ioctl, ::read, stand_in_close};
        Input::_quarn_evdev_redirect(state.directory.c_str(), calls);
    }
    // The lowest free number, as the kernel gives them.
    for (int number = 0;; ++number) {
        const std::string node = state.directory + "/event" + std::to_string(number);
        if (!state.nodes.count(node)) {
            pad.node = node;
            break;
        }
    }
    int ends[2];
    if (pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) throw std::runtime_error("Cannot make a gamepad's pipe");
    pad.reader = ends[0];
    pad.writer = ends[1];
    state.nodes[pad.node] = &pad;
    // Made last: the library may open it as soon as it is there.
    const int file = ::open(pad.node.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
    if (file < 0) {
        state.nodes.erase(pad.node);
        ::close(pad.reader);
        ::close(pad.writer);
        throw std::runtime_error("Cannot make a gamepad's node");
    }
    ::close(file);
}

void unplug_stand_in(Gamepad::Pad& pad) {
    StandIn& state = stand_in();
    unlink(pad.node.c_str());
    state.nodes.erase(pad.node);
    // The library's descriptors stay open until it notices; their ioctls fail now.
    for (auto entry = state.open.begin(); entry != state.open.end();)
        entry = entry->second == &pad ? state.open.erase(entry) : std::next(entry);
    // The library reads the end of the pipe as the device gone.
    ::close(pad.writer);
    ::close(pad.reader);
}

void plug_uinput(Gamepad::Pad& pad) {
    const int fd = ::open("/dev/uinput", O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) throw std::runtime_error("Cannot open /dev/uinput");
    uinput_user_dev device{};
    std::strncpy(device.name, pad.name.c_str(), UINPUT_MAX_NAME_SIZE - 1);
    device.id = pad.id;
    bool made = ioctl(fd, UI_SET_EVBIT, EV_KEY) == 0 && ioctl(fd, UI_SET_EVBIT, EV_ABS) == 0;
    for (const int code : kButtons) made = made && ioctl(fd, UI_SET_KEYBIT, code) == 0;
    for (const AxisRange& range : kAxes) {
        made = made && ioctl(fd, UI_SET_ABSBIT, range.code) == 0;
        device.absmin[range.code] = range.minimum;
        device.absmax[range.code] = range.maximum;
    }
    made = made && ::write(fd, &device, sizeof(device)) == static_cast<ssize_t>(sizeof(device)) &&
           ioctl(fd, UI_DEV_CREATE) == 0;
    if (!made) {
        ::close(fd);
        throw std::runtime_error("Cannot make a uinput gamepad");
    }
    pad.uinput = fd;
}

}  // namespace

bool Gamepad::uses_uinput() {
    static const bool uinput = decide_uinput();
    return uinput;
}

Gamepad::Gamepad(const std::string& name, unsigned short bus, unsigned short vendor, unsigned short product,
                 unsigned short version)
    : pad_(std::make_unique<Pad>()) {
    pad_->name = name;
    pad_->id.bustype = bus;
    pad_->id.vendor = vendor;
    pad_->id.product = product;
    pad_->id.version = version;
    for (const int code : kButtons) pad_->buttons[code] = false;
    for (const AxisRange& range : kAxes) pad_->axes[range.code] = rest_of(range);
    if (uses_uinput())
        plug_uinput(*pad_);
    else
        plug_stand_in(*pad_);
}

Gamepad::~Gamepad() {
    if (pad_->uinput >= 0) {
        ioctl(pad_->uinput, UI_DEV_DESTROY);
        ::close(pad_->uinput);
    } else {
        unplug_stand_in(*pad_);
    }
}

void Gamepad::button(int code, bool down) {
    if (!has_button(code)) throw std::invalid_argument("The gamepad has no button " + std::to_string(code));
    pad_->buttons[code] = down;
    pad_->send(EV_KEY, code, down ? 1 : 0);
}

void Gamepad::axis(int code, int value) {
    const AxisRange* range = range_of(code);
    if (!range) throw std::invalid_argument("The gamepad has no axis " + std::to_string(code));
    value = std::min(std::max(value, range->minimum), range->maximum);
    pad_->axes[code] = value;
    pad_->send(EV_ABS, code, value);
}

}  // namespace Testing
}  // namespace Quarn
