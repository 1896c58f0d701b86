#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "quarn/frame/frame.h"
#include "quarn/helpers.h"
#include "quarn/init.h"
#include "tests/support/capture.h"
#include "tests/support/fixture.h"
#include "tests/support/recording_frame.h"
#include "tests/support/x_client.h"

// What desktops read from frames: who they belong to, their titles in UTF-8,
// their icons, their cursors; and the desktop's content scale. Built twice:
// on a bare server, and under openbox (desktop_wm_test), where only the
// fullscreen that Quarn does itself without a manager is left out.
namespace {

using quarn_test::RecordingFrame;

class Desktop : public quarn_test::ClientTest {
protected:
    // A property of `window` as the second client reads it: its type's name and its items.
    std::pair<std::string, std::vector<long>> items(Window window, const char* name) {
        XSync(Quarn::_quarn_display, False);
        Display* display = client->display();
        Atom type = None;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        XGetWindowProperty(display, window, XInternAtom(display, name, False), 0, 1 << 16, False, AnyPropertyType,
                           &type, &format, &count, &after, &data);
        std::vector<long> values;
        for (unsigned long i = 0; i < count; ++i)
            // Format-32 items come as longs, sign-extended: the low 32 bits are the item.
            values.push_back(format == 32 ? static_cast<long>(reinterpret_cast<unsigned long*>(data)[i] & 0xFFFFFFFFUL)
                                          : reinterpret_cast<unsigned char*>(data)[i]);
        std::string type_name;
        if (type != None) {
            char* text = XGetAtomName(display, type);
            type_name = text;
            XFree(text);
        }
        if (data) XFree(data);
        return {type_name, values};
    }
    std::pair<std::string, std::string> class_hint(Window window) {
        XSync(Quarn::_quarn_display, False);
        XClassHint hint{};
        if (!XGetClassHint(client->display(), window, &hint)) return {};
        std::pair<std::string, std::string> names{hint.res_name, hint.res_class};
        XFree(hint.res_name);
        XFree(hint.res_class);
        return names;
    }
    std::string text(Window window, const char* name) {
        const auto [type, values] = items(window, name);
        return std::string(values.begin(), values.end());
    }
    void set_resources(const char* resources) {
        Display* display = client->display();
        if (resources)
            XChangeProperty(display, client->root(), XA_RESOURCE_MANAGER, XA_STRING, 8, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(resources),
                            static_cast<int>(std::strlen(resources)));
        else
            XDeleteProperty(display, client->root(), XA_RESOURCE_MANAGER);
        client->sync();
    }

    std::vector<quarn_test::Call> log;
};

TEST_F(Desktop, EveryFrameNamesItsApplicationAndMayRenameIt) {
    RecordingFrame frame(log);
    const Window window = frame._quarn_backing->window;
    // This binary is built twice, as desktop_test and desktop_wm_test.
    const std::string program = QUARN_TEST_WINDOW_MANAGER ? "desktop_wm_test" : "desktop_test";
    EXPECT_EQ(class_hint(window), (std::pair<std::string, std::string>{program, "D" + program.substr(1)}));
    EXPECT_EQ(items(window, "_NET_WM_PID"), (std::pair<std::string, std::vector<long>>{"CARDINAL", {getpid()}}));
    char host[HOST_NAME_MAX + 1] = {};
    gethostname(host, sizeof host - 1);
    EXPECT_EQ(text(window, "WM_CLIENT_MACHINE"), host);

    // RESOURCE_NAME from the environment takes precedence, as ICCCM says.
    setenv("RESOURCE_NAME", "sketch", 1);
    RecordingFrame named(log);
    unsetenv("RESOURCE_NAME");
    EXPECT_EQ(class_hint(named._quarn_backing->window), (std::pair<std::string, std::string>{"sketch", "Sketch"}));

    frame.set_class("viewer", "QuarnViewer");
    EXPECT_EQ(class_hint(window), (std::pair<std::string, std::string>{"viewer", "QuarnViewer"}));
}

TEST_F(Desktop, TitlesAreWrittenAsUtf8BesideWmName) {
    RecordingFrame frame(log);
    const Window window = frame._quarn_backing->window;
    frame.set_title("gr\u00fc\u00df dich");
    EXPECT_EQ(items(window, "_NET_WM_NAME").first, "UTF8_STRING");
    EXPECT_EQ(text(window, "_NET_WM_NAME"), "gr\u00fc\u00df dich");
    EXPECT_EQ(text(window, "_NET_WM_ICON_NAME"), "gr\u00fc\u00df dich");
    EXPECT_EQ(text(window, "WM_NAME"), "gr\u00fc\u00df dich");  // the same bytes, as before
    frame.set_title(std::string("cut\0here", 8));
    EXPECT_EQ(text(window, "_NET_WM_NAME"), "cut");
}

TEST_F(Desktop, AnIconIsWrittenAsArgbLongsAndBadOnesAreRefused) {
    RecordingFrame frame(log);
    const Window window = frame._quarn_backing->window;
    const unsigned char pixels[] = {255, 0, 0, 255, 0x12, 0x34, 0x56, 0x78};  // red, then a translucent blue-grey
    frame.set_icon(2, 1, pixels);
    EXPECT_EQ(items(window, "_NET_WM_ICON"),
              (std::pair<std::string, std::vector<long>>{"CARDINAL", {2, 1, 0xFFFF0000L, 0x78123456L}}));
    quarn_test::StdoutCapture capture;
    frame.set_icon(0, 1, pixels);
    frame.set_icon(1, 1, nullptr);
    EXPECT_EQ(capture.lines(),
              std::vector<std::string>(
                  2, "Quarn: Cannot set an icon from a null pointer or a size below 1!  Ignoring .set_icon!"));
    EXPECT_EQ(items(window, "_NET_WM_ICON").second.size(), 4u) << "the refused icons changed nothing";
}

TEST_F(Desktop, ContentScaleIsReadLiveFromTheResourceManager) {
    set_resources(nullptr);
    EXPECT_FLOAT_EQ(Quarn::get_content_scale(), 1.0f);
    set_resources("Xft.antialias:\t1\nXft.dpi:\t144\n");  // set after the connection opened
    EXPECT_FLOAT_EQ(Quarn::get_content_scale(), 1.5f);
    set_resources("Xft*dpi: 192\n");  // a wildcard entry
    EXPECT_FLOAT_EQ(Quarn::get_content_scale(), 2.0f);
    set_resources("Xft.dpi: many\n");
    EXPECT_FLOAT_EQ(Quarn::get_content_scale(), 1.0f);
    set_resources("Xft.dpi: -96\n");
    EXPECT_FLOAT_EQ(Quarn::get_content_scale(), 1.0f);
    set_resources(nullptr);
}

TEST_F(Desktop, CursorsTakeTheirShapesOnceAndHiddenShowsNothing) {
    using Quarn::Frame::Cursor;
    RecordingFrame frame(log);
    frame.set_size(100, 100);
    frame.set_show(true, 0);
    XFlush(Quarn::_quarn_display);
    ASSERT_TRUE(client->wait_viewable(frame._quarn_backing->window));
    client->point(frame._quarn_backing->window, 50, 50);
    const auto after = [&](Cursor shape) {
        frame.set_cursor(shape);
        XSync(Quarn::_quarn_display, False);
        return client->shown_cursor();
    };
    std::vector<unsigned long> serials;
    for (Cursor shape : {Cursor::ARROW, Cursor::TEXT, Cursor::HAND, Cursor::CROSSHAIR, Cursor::RESIZE_HORIZONTAL,
                         Cursor::RESIZE_VERTICAL, Cursor::MOVE}) {
        const auto [serial, visible] = after(shape);
        EXPECT_TRUE(visible) << static_cast<int>(shape);
        serials.push_back(serial);
    }
    std::vector<unsigned long> distinct = serials;
    std::sort(distinct.begin(), distinct.end());
    EXPECT_EQ(std::unique(distinct.begin(), distinct.end()), distinct.end()) << "each shape its own cursor";
    EXPECT_FALSE(after(Cursor::HIDDEN).second);
    EXPECT_EQ(after(Cursor::TEXT).first, serials[1]) << "a shape is made once";
}

#if !QUARN_TEST_WINDOW_MANAGER
TEST_F(Desktop, WithoutAWindowManagerFullscreenCoversTheScreenItselfAndGoesBack) {
    RecordingFrame frame(log);
    frame.set_size(120, 90);
    frame.set_position(40, 30);
    frame.set_show(true, 0);
    const Window window = frame._quarn_backing->window;
    XFlush(Quarn::_quarn_display);
    ASSERT_TRUE(client->wait_viewable(window));
    const auto geometry = [&] {
        XSync(Quarn::_quarn_display, False);
        const XWindowAttributes attributes = client->attributes(window);
        return std::vector<int>{attributes.x, attributes.y, attributes.width, attributes.height,
                                attributes.override_redirect};
    };
    frame.set_fullscreen(true);
    EXPECT_EQ(geometry(), (std::vector<int>{0, 0, 1280, 1024, True}));
    frame.set_fullscreen(true);  // the state it is in: nothing changes
    EXPECT_EQ(geometry(), (std::vector<int>{0, 0, 1280, 1024, True}));
    frame.set_fullscreen(false);
    EXPECT_EQ(geometry(), (std::vector<int>{40, 30, 120, 90, False}));
    EXPECT_TRUE(client->wait_viewable(window));
}
#endif

}  // namespace
