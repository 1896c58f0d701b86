// The frame the desktop matrix checks beside the demo: a window titled in
// UTF-8, with a solid icon, that reports RESIZE, FOCUS, CROSSING, REFRESH
// and DROP and obeys the commands it reads, one per line, from standard input:
//
//   fullscreen, windowed   set_fullscreen(true), set_fullscreen(false)
//   fullscreen-twice       both in one go: it must end windowed
//   fullscreen-on N        set_fullscreen(true, N)
//   monitors               prints "monitor NAME X Y W H WX WY WW WH MMW MMH HZ PRIMARY"
//                          for each of get_monitors()
//   lock, unlock           set_pointer_locked(true), (false)
//   confine, unconfine     set_pointer_confined(true), (false)
//   copy TEXT              set_clipboard(TEXT)
//   copy-large             set_clipboard(large_text())
//   paste                  prints "clipboard BYTES TEXT" from get_clipboard()
//   limits W H W H         set_size_limits
//   aspect N D             set_aspect_ratio
//   resizable B, decorated B, floating B, passthrough B   the controls, B 0 or 1
//   opacity A              set_opacity
//   minimize, maximize, restore, focus, attention          the window controls
//   extents                prints "extents L R T B" from get_frame_extents
//   position               prints "position X Y" from get_position
//   quit
//
// Prints "shown" once the window is up, "ok COMMAND" once a command has
// run and its requests are sent, and what the frame reports: "size WxH",
// "minimized", "maximized", "move X Y DX DY", "focus 1" and "focus 0",
// "enter X Y", "leave X Y", "refresh", "drop X Y PATH|PATH...", "moved X Y
// PX PY" (MOVE, with `position`). `--fullscreen` asks for fullscreen before
// the frame is shown. `--drag WINDOW X Y PATH...` instead drags the files
// onto WINDOW at (X, Y) as the test kit's source, prints what the target
// answered ("drag aware A accepted B asked C finished D succeeded E")
// and ends. `--wm-name WINDOW` instead prints WINDOW's WM_NAME as a window
// manager decodes it (ICCCM text in any encoding, to UTF-8) and ends.
// `--split` defines two RandR monitors, LEFT and RIGHT, the halves of the
// screen (as `xrandr --setmonitor` does; LEFT takes the first output that
// shows something), and `--unsplit` deletes them; both then take the primary
// output away and give it back, so that window managers hear of a change.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xrandr.h>
#include <poll.h>
#include <unistd.h>

#include <cctype>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "quarn/clipboard.h"
#include "quarn/frame/frame.h"
#include "quarn/init.h"
#include "quarn/input/events/events.h"
#include "quarn/input/events/helpers.h"
#include "quarn/monitor.h"
#include "quarn/testing/input.h"

namespace {

// The icon's colour, which compat.py looks for on the screen: a green no
// theme of the window managers uses.
constexpr unsigned char kIconColour[4] = {0x11, 0xDB, 0x63, 0xFF};
constexpr int kIconSize = 32;

// A text large enough that both sides must use INCR (above 1 MiB, more than
// xclip puts in one property), numbered so a lost or repeated piece shows;
// compat.py builds the same.
std::string large_text() {
    std::string text;
    char piece[32];
    for (int i = 0; i < 53000; ++i) {
        std::snprintf(piece, sizeof piece, "%07d Grüße ✓ ", i);
        text += piece;
    }
    return text;
}

void say(const std::string& line) {
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

class DesktopFrame : public Quarn::Frame::FrameBase {
public:
    explicit DesktopFrame(bool fullscreen)
        : FrameBase(nullptr, Quarn::Flags::Style::BORDER | Quarn::Flags::Style::TITLEBAR, Quarn::Flags::Button::CLOSE) {
        set_size(300, 200);
        set_position(200, 150);
        set_title("Quarn desktop — Grüße ✓");
        std::vector<unsigned char> icon(kIconSize * kIconSize * 4);
        for (std::size_t i = 0; i < icon.size(); ++i) icon[i] = kIconColour[i % 4];
        set_icon(kIconSize, kIconSize, icon.data());
        set_report(Quarn::Flags::Report::RESIZE | Quarn::Flags::Report::FOCUS | Quarn::Flags::Report::CROSSING |
                   Quarn::Flags::Report::REFRESH | Quarn::Flags::Report::DROP | Quarn::Flags::Report::MOVE);
        if (fullscreen) set_fullscreen(true);
        set_show(true, 0);
    }

    using FrameBase::callback_input;
    void callback_input(const Quarn::Input::State*, const Quarn::Input::Events::EventFrameResize* event) override {
        say("size " + std::to_string(event->width) + "x" + std::to_string(event->height));
    }
    void callback_input(const Quarn::Input::State*, const Quarn::Input::Events::EventFrameMinimize*) override {
        say("minimized");
    }
    void callback_input(const Quarn::Input::State*, const Quarn::Input::Events::EventFrameMaximize*) override {
        say("maximized");
    }
    void callback_input(const Quarn::Input::State*, const Quarn::Input::Events::EventMouseMove* event) override {
        say("move " + std::to_string(event->x) + " " + std::to_string(event->y) + " " + std::to_string(event->x_rel) +
            " " + std::to_string(event->y_rel));
    }
    void callback_input(const Quarn::Input::State*, const Quarn::Input::Events::EventFrameFocus* event) override {
        say(event->focused ? "focus 1" : "focus 0");
    }
    void callback_input(const Quarn::Input::State*, const Quarn::Input::Events::EventMouseEnter* event) override {
        say("enter " + std::to_string(event->x) + " " + std::to_string(event->y));
    }
    void callback_input(const Quarn::Input::State*, const Quarn::Input::Events::EventMouseLeave* event) override {
        say("leave " + std::to_string(event->x) + " " + std::to_string(event->y));
    }
    void callback_input(const Quarn::Input::State*, const Quarn::Input::Events::EventFrameRefresh*) override {
        say("refresh");
    }
    void callback_input(const Quarn::Input::State*, const Quarn::Input::Events::EventFrameDrop* event) override {
        std::string line = "drop " + std::to_string(event->x) + " " + std::to_string(event->y) + " ";
        for (std::size_t i = 0; i < event->paths.size(); ++i) line += (i ? "|" : "") + event->paths[i];
        say(line);
    }
    void callback_input(const Quarn::Input::State*, const Quarn::Input::Events::EventFrameMove* event) override {
        say("moved " + std::to_string(event->x) + " " + std::to_string(event->y) + " " + std::to_string(position[0]) +
            " " + std::to_string(position[1]));
    }
};

// The numbers after a command's name.
std::vector<double> numbers(const std::string& command) {
    std::vector<double> found;
    std::istringstream words(command.substr(command.find(' ') + 1));
    for (double value; words >> value;) found.push_back(value);
    return found;
}

// The window controls' commands; false for one it does not know.
bool control(DesktopFrame& frame, const std::string& command) {
    const std::string name = command.substr(0, command.find(' '));
    const std::vector<double> n = numbers(command);
    const auto at = [&](std::size_t i) { return i < n.size() ? static_cast<int>(n[i]) : 0; };
    if (name == "limits") {
        frame.set_size_limits(at(0), at(1), at(2), at(3));
    } else if (name == "aspect") {
        frame.set_aspect_ratio(at(0), at(1));
    } else if (name == "resizable") {
        frame.set_resizable(at(0) != 0);
    } else if (name == "decorated") {
        frame.set_decorated(at(0) != 0);
    } else if (name == "floating") {
        frame.set_floating(at(0) != 0);
    } else if (name == "passthrough") {
        frame.set_mouse_passthrough(at(0) != 0);
    } else if (name == "opacity") {
        frame.set_opacity(n.empty() ? 1.0f : static_cast<float>(n[0]));
    } else if (name == "minimize") {
        frame.minimize();
    } else if (name == "maximize") {
        frame.maximize();
    } else if (name == "restore") {
        frame.restore();
    } else if (name == "focus") {
        frame.focus();
    } else if (name == "attention") {
        frame.request_attention();
    } else if (name == "extents") {
        int e[4];
        frame.get_frame_extents(e);
        say("extents " + std::to_string(e[0]) + " " + std::to_string(e[1]) + " " + std::to_string(e[2]) + " " +
            std::to_string(e[3]));
    } else if (name == "position") {
        int xy[2];
        frame.get_position(xy);
        say("position " + std::to_string(xy[0]) + " " + std::to_string(xy[1]));
    } else {
        return false;
    }
    return true;
}

// Runs one command; false for one it does not know.
bool run(DesktopFrame& frame, const std::string& command) {
    if (command == "fullscreen" || command == "windowed") {
        frame.set_fullscreen(command == "fullscreen");
    } else if (command == "fullscreen-twice") {
        frame.set_fullscreen(true);
        frame.set_fullscreen(false);
    } else if (command.rfind("fullscreen-on ", 0) == 0) {
        frame.set_fullscreen(true, std::atoi(command.c_str() + 14));
    } else if (command == "monitors") {
        for (const Quarn::Monitor& m : Quarn::get_monitors()) {
            char line[512];
            std::snprintf(line, sizeof line, "monitor %s %d %d %d %d %d %d %d %d %d %d %.2f %d", m.name.c_str(), m.x,
                          m.y, m.width, m.height, m.work_x, m.work_y, m.work_width, m.work_height, m.width_mm,
                          m.height_mm, m.refresh_hz, m.primary ? 1 : 0);
            say(line);
        }
    } else if (command == "lock" || command == "unlock") {
        frame.set_pointer_locked(command == "lock");
    } else if (command == "confine" || command == "unconfine") {
        frame.set_pointer_confined(command == "confine");
    } else if (command.rfind("copy ", 0) == 0) {
        Quarn::set_clipboard(command.substr(5));
    } else if (command == "copy-large") {
        Quarn::set_clipboard(large_text());
    } else if (command == "paste") {
        const std::string text = Quarn::get_clipboard();
        say("clipboard " + std::to_string(text.size()) + " " + text);
    } else {
        return control(frame, command);
    }
    return true;
}

// Reads what standard input has now into `pending`; false once it is closed.
bool read_input(std::string& pending) {
    pollfd input{STDIN_FILENO, POLLIN, 0};
    while (poll(&input, 1, 0) > 0) {
        char bytes[65536];
        const ssize_t count = read(STDIN_FILENO, bytes, sizeof bytes);
        if (count <= 0) return false;
        pending.append(bytes, static_cast<std::size_t>(count));
    }
    return true;
}

// What a window manager shows as the title: WM_NAME as ICCCM text, in
// whichever encoding its type names (STRING is Latin-1).
int print_wm_name(const char* window_id) {
    std::setlocale(LC_ALL, "");
    Display* display = XOpenDisplay(nullptr);
    if (!display) return 1;
    XTextProperty name{};
    char** list = nullptr;
    int count = 0;
    const Window window = std::strtoul(window_id, nullptr, 0);
    int status = 1;
    if (XGetWMName(display, window, &name) && name.value &&
        Xutf8TextPropertyToTextList(display, &name, &list, &count) >= Success && count > 0) {
        char* type = XGetAtomName(display, name.encoding);
        std::printf("%s %s\n", type, list[0]);
        XFree(type);
        XFreeStringList(list);
        status = 0;
    }
    if (name.value) XFree(name.value);
    XCloseDisplay(display);
    return status;
}

// The drag source of the test kit, from a process of its own as a file manager's is.
int drag(int argc, char** argv) {
    const Window window = std::strtoul(argv[2], nullptr, 0);
    const std::vector<std::string> paths(argv + 5, argv + argc);
    std::string list;
    for (const std::string& path : paths) {
        list += "file://";
        for (const char c : path) {
            const auto byte = static_cast<unsigned char>(c);
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", byte);
            list += std::isalnum(byte) || std::strchr("-._~/", c) ? std::string(1, c) : std::string(escaped);
        }
        list += "\r\n";
    }
    Quarn::Testing::Input source;
    const Quarn::Testing::Input::Drag result =
        source.drag(window, {"text/uri-list"}, list, std::atoi(argv[3]), std::atoi(argv[4]));
    std::printf("drag aware %d accepted %d asked %d finished %d succeeded %d\n", result.aware, result.accepted,
                result.asked, result.finished, result.succeeded);
    return 0;
}

// Two monitors of a client's, the screen's halves, or none (`split` false).
// Prints how many monitors the server lists after.
int split_screen(bool split) {
    Display* display = XOpenDisplay(nullptr);
    if (!display) return 1;
    const Window root = DefaultRootWindow(display);
    const Atom left = XInternAtom(display, "LEFT", False), right = XInternAtom(display, "RIGHT", False);
    int count = 0;
    XRRMonitorInfo* listed = XRRGetMonitors(display, root, False, &count);
    for (int i = 0; i < count; ++i)
        if (listed[i].name == left || listed[i].name == right) XRRDeleteMonitor(display, root, listed[i].name);
    if (listed) XRRFreeMonitors(listed);
    if (split) {
        const int width = WidthOfScreen(DefaultScreenOfDisplay(display));
        const int height = HeightOfScreen(DefaultScreenOfDisplay(display));
        RROutput shown = None;
        if (XRRScreenResources* resources = XRRGetScreenResourcesCurrent(display, root)) {
            for (int i = 0; i < resources->noutput && shown == None; ++i)
                if (XRROutputInfo* output = XRRGetOutputInfo(display, resources, resources->outputs[i])) {
                    if (output->crtc != None) shown = resources->outputs[i];
                    XRRFreeOutputInfo(output);
                }
            XRRFreeScreenResources(resources);
        }
        for (const bool first : {true, false}) {
            XRRMonitorInfo* monitor = XRRAllocateMonitor(display, first && shown != None ? 1 : 0);
            monitor->name = first ? left : right;
            monitor->primary = first;
            monitor->x = first ? 0 : width / 2;
            monitor->y = 0;
            monitor->width = first ? width / 2 : width - width / 2;
            monitor->height = height;
            monitor->mwidth = monitor->width / 4;
            monitor->mheight = height / 4;
            if (monitor->noutput) monitor->outputs[0] = shown;
            XRRSetMonitor(display, root, monitor);
            XRRFreeMonitors(monitor);
        }
    }
    // The server announces nothing when a client defines monitors; window
    // managers learn them at the next change it announces, which taking the
    // primary output away and giving it back makes.
    const RROutput primary = XRRGetOutputPrimary(display, root);
    XRRSetOutputPrimary(display, root, None);
    XRRSetOutputPrimary(display, root, primary);
    XSync(display, False);
    listed = XRRGetMonitors(display, root, True, &count);
    if (listed) XRRFreeMonitors(listed);
    std::printf("%d\n", count);
    XCloseDisplay(display);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--wm-name") == 0) return print_wm_name(argv[2]);
    if (argc >= 6 && std::strcmp(argv[1], "--drag") == 0) return drag(argc, argv);
    if (argc == 2 && std::strcmp(argv[1], "--split") == 0) return split_screen(true);
    if (argc == 2 && std::strcmp(argv[1], "--unsplit") == 0) return split_screen(false);
    const bool fullscreen = argc == 2 && std::strcmp(argv[1], "--fullscreen") == 0;
    Quarn::init();
    if (!Quarn::_quarn_display) return 1;
    {
        DesktopFrame frame(fullscreen);
        XSync(Quarn::_quarn_display, False);
        say("shown");
        std::string pending;
        for (bool open = true; open;) {
            open = read_input(pending);
            for (auto end = pending.find('\n'); end != std::string::npos; end = pending.find('\n')) {
                const std::string command = pending.substr(0, end);
                pending.erase(0, end + 1);
                if (command == "quit") {
                    open = false;
                    break;
                }
                const bool known = run(frame, command);
                // "ok" once the requests are on their way: the checks read what they wrote at once.
                XFlush(Quarn::_quarn_display);
                say((known ? "ok " : "unknown ") + command.substr(0, command.find(' ')));
            }
            Quarn::Input::Events::wait(20);
            Quarn::Input::Events::handle();
        }
    }
    Quarn::deinit();
    return 0;
}
