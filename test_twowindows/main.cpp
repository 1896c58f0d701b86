// Two frames sharing one rendering context: animated triangles in frame1, a
// red square in frame2. Prints a line per key press, mouse button, motion,
// menu choice and close request; Escape or closing either window ends it.
#include <X11/keysym.h>

#include <cstdio>
#include <string>

#include "quarn/context.h"
#include "quarn/frame/frame.h"
#include "quarn/init.h"
#include "quarn/input/events/events.h"
#include "quarn/input/events/helpers.h"
#include "quarn/menu/menu.h"
#include "quarn/menu/menubar.h"
#include "test_twowindows/scene.h"

using namespace Quarn;
using namespace Quarn::Input::Events;

static bool main_loop = true;

class FrameOutputter : public Frame::FrameBase {
public:
    using FrameBase::callback_input;

    void callback_input(const Input::State*, const EventKeyDown* event) override {
        std::printf("%s: Key %d pressed\n", name.c_str(), static_cast<int>(event->key));
        if (event->key == XK_Escape) main_loop = false;
    }
    void callback_input(const Input::State*, const EventMouseButtonBase*) override {
        std::printf("%s: A mouse button happened!\n", name.c_str());
    }
    void callback_input(const Input::State*, const EventMouseMove*) override {
        std::printf("%s: Moved!\n", name.c_str());
    }
    void callback_input(const Input::State*, const EventFrameMenuItem* event) override {
        std::printf("%s: Menu item selected\n", name.c_str());
        if (event->optional_data == reinterpret_cast<void*>(1)) main_loop = false;
    }
    void callback_input(const Input::State*, const EventFrameClose*) override {
        std::printf("%s: Close pressed\n", name.c_str());
        main_loop = false;
    }

protected:
    FrameOutputter(const std::string& name, const Flags::Style& style, const Flags::Button& buttons)
        : FrameBase(nullptr, style, buttons), name(name) {}
    ~FrameOutputter() override {}

private:
    const std::string name;
};

class Frame1 : public FrameOutputter {
public:
    Frame1()
        : FrameOutputter("Frame1", Flags::Style::BORDER | Flags::Style::TITLEBAR | Flags::Style::RESIZABLE,
                         Flags::Button::MINIMIZE | Flags::Button::MAXIMIZE | Flags::Button::CLOSE),
          theta(0.0f),
          menubar(new Menuing::Menubar(this)),
          menu_file(new Menuing::Menu()) {
        menu_file->append_item("Exit", 'x', reinterpret_cast<void*>(1));
        menubar->append_menu(menu_file, "File", 'F');
        set_size(200, 200);
        set_position(500, 300);
        set_title("frame1");
        set_show(true, 0);
    }
    ~Frame1() override {
        delete menu_file;
        delete menubar;
    }

    void callback_draw() override {
        scene::draw_triangles(theta);
        // Wrapped so the rotation never stalls (a float stops growing at 2^24).
        theta += 1.0f;
        if (theta >= 360.0f) theta -= 360.0f;
    }

private:
    float theta;
    Menuing::Menubar* menubar;
    Menuing::Menu* menu_file;
};

class Frame2 : public FrameOutputter {
public:
    Frame2()
        : FrameOutputter("Frame2",
                         Flags::Style::BORDER | Flags::Style::TITLEBAR | Flags::Style::RESIZABLE | Flags::Style::MINI,
                         Flags::Button::CLOSE) {
        set_size(200, 200);
        set_position(700, 300);
        set_title("frame2");
        set_show(true, 0);
    }
    ~Frame2() override {}

    void callback_draw() override { scene::draw_square(); }
};

static void run() {
    auto* context = new Context::Context(2, 1);
    {
        Frame1 frame1;
        context->set_target(&frame1);
        context->set_target_vsync(false);
        Frame2 frame2;
        context->set_target(&frame2);
        context->set_target_vsync(false);

        scene::set_shared_state();

        while (main_loop) {
            Input::Events::handle();
            context->set_target(&frame1);
            frame1.draw();
            context->set_target(&frame2);
            frame2.draw();
        }
        delete context;
    }
}

int main(int, char**) {
    init();
    if (!_quarn_display) {
        std::fprintf(stderr, "test_twowindows: no X display to open windows on.\n");
        deinit();
        return 1;
    }
    try {
        run();
    } catch (const char*) {
        // The library has already printed the error's line.
        deinit();
        return 1;
    }
    deinit();
    return 0;
}
