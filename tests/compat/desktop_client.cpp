// The frame the desktop matrix checks beside the demo: a window titled in
// UTF-8 that goes fullscreen and back on the commands it reads, one per line,
// from standard input ("fullscreen", "windowed", "quit"). Prints "shown" once
// the window is up, and "size WxH" after each change of its size.
#include <poll.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "quarn/frame/frame.h"
#include "quarn/init.h"
#include "quarn/input/events/events.h"
#include "quarn/input/events/helpers.h"

namespace {

class DesktopFrame : public Quarn::Frame::FrameBase {
public:
    DesktopFrame()
        : FrameBase(nullptr, Quarn::Flags::Style::BORDER | Quarn::Flags::Style::TITLEBAR, Quarn::Flags::Button::CLOSE) {
        set_size(300, 200);
        set_position(200, 150);
        set_title("Quarn desktop — Grüße ✓");
        set_report(Quarn::Flags::Report::RESIZE);
        set_show(true, 0);
    }

    using FrameBase::callback_input;
    void callback_input(const Quarn::Input::State*, const Quarn::Input::Events::EventFrameResize* event) override {
        std::printf("size %dx%d\n", event->width, event->height);
        std::fflush(stdout);
    }
};

// The next command, when a whole line has arrived; empty otherwise. False
// once standard input is closed.
bool next_command(std::string& pending, std::string& command) {
    pollfd input{STDIN_FILENO, POLLIN, 0};
    if (poll(&input, 1, 0) > 0) {
        char bytes[256];
        const ssize_t count = read(STDIN_FILENO, bytes, sizeof bytes);
        if (count <= 0) return false;
        pending.append(bytes, static_cast<std::size_t>(count));
    }
    const auto end = pending.find('\n');
    command.clear();
    if (end != std::string::npos) {
        command = pending.substr(0, end);
        pending.erase(0, end + 1);
    }
    return true;
}

}  // namespace

int main() {
    Quarn::init();
    if (!Quarn::_quarn_display) return 1;
    {
        DesktopFrame frame;
        XSync(Quarn::_quarn_display, False);
        std::printf("shown\n");
        std::fflush(stdout);
        std::string pending, command;
        while (next_command(pending, command) && command != "quit") {
            if (command == "fullscreen" || command == "windowed") frame.set_fullscreen(command == "fullscreen");
            Quarn::Input::Events::wait(20);
            Quarn::Input::Events::handle();
        }
    }
    Quarn::deinit();
    return 0;
}
