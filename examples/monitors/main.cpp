// A window for a desk with more than one monitor: it opens in the middle of
// the second monitor's free area (the first where there is only one), keeps a
// 16:9 picture while the user resizes it, lists the monitors whenever they
// change, and F11 takes it fullscreen on the monitor it is on and back.
// Escape or closing the window ends it.
#include <GL/gl.h>
#include <X11/keysym.h>

#include <cstdio>
#include <vector>

#include "quarn/context.h"
#include "quarn/frame/frame.h"
#include "quarn/init.h"
#include "quarn/input/events/events.h"
#include "quarn/input/events/helpers.h"
#include "quarn/monitor.h"

namespace {

void list_monitors() {
    for (const Quarn::Monitor& monitor : Quarn::get_monitors())
        std::printf("%s: %dx%d at (%d, %d), free %dx%d at (%d, %d), %dx%d mm, %.2f Hz%s\n", monitor.name.c_str(),
                    monitor.width, monitor.height, monitor.x, monitor.y, monitor.work_width, monitor.work_height,
                    monitor.work_x, monitor.work_y, monitor.width_mm, monitor.height_mm, monitor.refresh_hz,
                    monitor.primary ? ", primary" : "");
}

// The index of the monitor that holds (x, y), or 0.
int monitor_at(int x, int y) {
    const std::vector<Quarn::Monitor> monitors = Quarn::get_monitors();
    for (std::size_t i = 0; i < monitors.size(); ++i) {
        const Quarn::Monitor& m = monitors[i];
        if (x >= m.x && x < m.x + m.width && y >= m.y && y < m.y + m.height) return static_cast<int>(i);
    }
    return 0;
}

class DeskFrame : public Quarn::Frame::FrameBase {
public:
    DeskFrame()
        : FrameBase(nullptr, Quarn::Flags::Style::BORDER | Quarn::Flags::Style::TITLEBAR, Quarn::Flags::Button::CLOSE) {
        set_title("Monitors");
        // MOVE keeps `position` where the window is, whoever moved it.
        set_report(Quarn::Flags::Report::RESIZE | Quarn::Flags::Report::MONITORS | Quarn::Flags::Report::MOVE);
        const std::vector<Quarn::Monitor> monitors = Quarn::get_monitors();
        const Quarn::Monitor& second = monitors[monitors.size() > 1 ? 1 : 0];
        set_size(640, 360);
        set_position(second.work_x + (second.work_width - 640) / 2, second.work_y + (second.work_height - 360) / 2);
        set_aspect_ratio(16, 9);
        list_monitors();
    }

    void callback_input(const Quarn::Input::State*, const Quarn::Input::Events::EventKeyDown* event) override {
        if (event->key == XK_Escape) running = false;
        if (event->key != XK_F11) return;
        fullscreen = !fullscreen;
        if (fullscreen)
            set_fullscreen(true, monitor_at(position[0] + dimensions[0] / 2, position[1] + dimensions[1] / 2));
        else
            set_fullscreen(false);
    }
    void callback_input(const Quarn::Input::State*, const Quarn::Input::Events::EventFrameClose*) override {
        running = false;
    }
    void callback_input(const Quarn::Input::State*, const Quarn::Input::Events::EventFrameResize*) override {
        glViewport(0, 0, dimensions[0], dimensions[1]);
    }
    void callback_input(const Quarn::Input::State*, const Quarn::Input::Events::EventFrameMonitors*) override {
        std::printf("The monitors changed:\n");
        list_monitors();
    }
    void callback_draw() override {
        glClearColor(0.1f, 0.3f, 0.5f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
    }

    bool running = true;
    bool fullscreen = false;
};

}  // namespace

int main() {
    Quarn::init();
    if (!Quarn::_quarn_display) return 1;
    try {
        Quarn::Context::Context context(2, 1);
        DeskFrame window;
        window.set_show(true, 0);
        context.set_target(&window);
        glViewport(0, 0, window.dimensions[0], window.dimensions[1]);
        while (window.running) {
            Quarn::Input::Events::wait(16);
            Quarn::Input::Events::handle();
            window.draw();
        }
        context.set_target(nullptr);
    } catch (const char*) {
        Quarn::deinit();
        return 1;  // the library has printed the error
    }
    Quarn::deinit();
    return 0;
}
