// Two frames sharing one rendering context: animated triangles in frame1, a
// red square in frame2. Prints a line per key press, mouse button, motion,
// menu choice and close request; Escape or closing either window ends it.
#include <GL/gl.h>
#include <GL/glu.h>
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
    virtual ~FrameOutputter() {}

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
    virtual ~Frame1() {
        delete menu_file;
        delete menubar;
    }

    void callback_draw() override {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glViewport(0, 0, 200, 200);
        const float d1 = 0.0f;
        const float d2 = 0.1f;
        glPushMatrix();
        glRotatef(theta, 0, 0, 1);
        glBegin(GL_TRIANGLES);
        glColor4f(1, 0, 0, 0.5f);
        glVertex3f(0, 1, d1);
        glColor4f(0, 1, 0, 0.5f);
        glVertex3f(0.87f, -0.5f, d1);
        glColor4f(0, 0, 1, 0.5f);
        glVertex3f(-0.87f, -0.5f, d1);
        glColor4f(1, 0, 0, 1);
        glVertex3f(0, 0, d2);
        glVertex3f(1, 0, d2);
        glVertex3f(0, 1, d2);
        glColor4f(1, 0, 1, 1);
        glVertex3f(0, 0, -d2);
        glVertex3f(-1, 0, -d2);
        glVertex3f(0, -1, -d2);
        glEnd();
        glPopMatrix();
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
    virtual ~Frame2() {}

    void callback_draw() override {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glViewport(0, 0, 200, 200);
        glMatrixMode(GL_PROJECTION);
        glPushMatrix();
        glLoadIdentity();
        gluOrtho2D(0, 200, 0, 200);
        glMatrixMode(GL_MODELVIEW);
        glColor3f(1, 0, 0);
        glBegin(GL_QUADS);
        glVertex2f(5, 5);
        glVertex2f(195, 5);
        glVertex2f(195, 195);
        glVertex2f(5, 195);
        glEnd();
        glMatrixMode(GL_PROJECTION);
        glPopMatrix();
        glMatrixMode(GL_MODELVIEW);
    }
};

static void run() {
    Context::Context* context = new Context::Context(2, 1);
    {
        Frame1 frame1;
        context->set_target(&frame1);
        context->set_target_vsync(false);
        Frame2 frame2;
        context->set_target(&frame2);
        context->set_target_vsync(false);

        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        glEnable(GL_DEPTH_TEST);

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
