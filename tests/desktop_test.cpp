#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "quarn/frame/frame.h"
#include "quarn/helpers.h"
#include "quarn/init.h"
#include "quarn/testing/testing.h"
#include "tests/support/capture.h"
#include "tests/support/fixture.h"
#include "tests/support/recording_frame.h"
#include "tests/support/x_client.h"

// What desktops read from frames: who they belong to, their titles, their
// icons, their cursors, fullscreen; and the desktop's content scale. Built
// twice: on a bare server, and under openbox (desktop_wm_test). The bare
// build alone checks the fullscreen Quarn does itself and the managers the
// second client forges on the root window; the openbox build alone, what the
// manager does with quick requests.
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
        XGetWindowProperty(display, window, XInternAtom(display, name, False), 0, 1 << 24, False, AnyPropertyType,
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
    // WM_NAME and WM_ICON_NAME as a second client decodes them into UTF-8.
    std::pair<std::string, std::string> icccm_text(Window window) {
        XSync(Quarn::_quarn_display, False);
        const auto decode = [&](Status (*get)(Display*, Window, XTextProperty*)) {
            XTextProperty property{};
            if (!get(client->display(), window, &property)) return std::string("(none)");
            char** list = nullptr;
            int count = 0;
            std::string result = "(undecodable)";
            if (Xutf8TextPropertyToTextList(client->display(), &property, &list, &count) >= 0 && count == 1)
                result = list[0];
            if (list) XFreeStringList(list);
            XFree(property.value);
            return result;
        };
        return {decode(XGetWMName), decode(XGetWMIconName)};
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

    // Shows `frame` at (x, y) with width x height pixels, once the server has it on screen.
    void show(RecordingFrame& frame, int x, int y, int width, int height) {
        frame.set_size(width, height);
        frame.set_position(x, y);
        frame.set_show(true, 0);
        ASSERT_TRUE(Quarn::Testing::wait_shown(frame));
    }
    // Where `window` is relative to its parent, its size, and whether it is override-redirect.
    std::vector<int> geometry(Window window) {
        XSync(Quarn::_quarn_display, False);
        const XWindowAttributes attributes = client->attributes(window);
        return {attributes.x, attributes.y, attributes.width, attributes.height, attributes.override_redirect};
    }
    bool holds_state(Window window, const char* state) {
        const std::vector<long> states = items(window, "_NET_WM_STATE").second;
        return std::count(states.begin(), states.end(),
                          static_cast<long>(XInternAtom(client->display(), state, False))) == 1;
    }

    // Waits (bounded) until `holds` does, for what the second client sees
    // change without an event to the library.
    static bool eventually(const std::function<bool()>& holds) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!holds())
            if (std::chrono::steady_clock::now() > deadline || poll(nullptr, 0, 5) < 0) return false;
        return true;
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

TEST_F(Desktop, TitlesAreWrittenAsUtf8AndAsIcccmTextForManagersThatReadOnlyThat) {
    RecordingFrame frame(log);
    const Window window = frame._quarn_backing->window;
    frame.set_title("gr\u00fc\u00df dich");
    EXPECT_EQ(items(window, "_NET_WM_NAME").first, "UTF8_STRING");
    EXPECT_EQ(text(window, "_NET_WM_NAME"), "gr\u00fc\u00df dich");
    EXPECT_EQ(text(window, "_NET_WM_ICON_NAME"), "gr\u00fc\u00df dich");
    // twm and the like read WM_NAME and WM_ICON_NAME only, STRING as Latin-1.
    for (const char* name : {"WM_NAME", "WM_ICON_NAME"}) {
        EXPECT_EQ(items(window, name).first, "STRING") << name;
        EXPECT_EQ(text(window, name), "gr\xfc\xdf dich") << name;
    }
    EXPECT_EQ(icccm_text(window), (std::pair<std::string, std::string>{"gr\u00fc\u00df dich", "gr\u00fc\u00df dich"}));

    // Beyond Latin-1: COMPOUND_TEXT, which gives the title back, every
    // character of it, whatever the application's locale (this test's is "C",
    // where Xlib's own encoder drops the dash).
    const std::string wide = "\u20ac 5, \u65e5\u672c \u2014 Gr\u00fc\u00dfe \u2713 \U0001F600";
    frame.set_title(wide);
    EXPECT_EQ(items(window, "WM_NAME").first, "COMPOUND_TEXT");
    EXPECT_EQ(icccm_text(window), (std::pair<std::string, std::string>{wide, wide}));
    EXPECT_EQ(text(window, "_NET_WM_NAME"), wide);

    // ASCII as XStoreName writes it.
    frame.set_title("plain\ttitle");
    for (const char* name : {"WM_NAME", "WM_ICON_NAME"})
        EXPECT_EQ(items(window, name), (std::pair<std::string, std::vector<long>>{
                                           "STRING", {'p', 'l', 'a', 'i', 'n', '\t', 't', 'i', 't', 'l', 'e'}}))
            << name;
    frame.set_title(std::string("cut\0here", 8));
    EXPECT_EQ(text(window, "_NET_WM_NAME"), "cut");
    EXPECT_EQ(text(window, "WM_NAME"), "cut");
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

TEST_F(Desktop, AnIconTooLargeForOneRequestIsHalvedUntilItFits) {
    RecordingFrame frame(log);
    const Window window = frame._quarn_backing->window;
    long units = XExtendedMaxRequestSize(client->display());
    if (units == 0) units = XMaxRequestSize(client->display());
    const long room = units - 7;  // the items one ChangeProperty carries, beside its header
    for (const int size : {2048, 4096}) {
        // Top half: black and white in turn on the left, blue on the right.
        // Bottom half: columns of opaque red and of transparent black in turn.
        std::vector<unsigned char> rgba(static_cast<std::size_t>(size) * static_cast<std::size_t>(size) * 4);
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x) {
                unsigned char* p = &rgba[4 * (static_cast<std::size_t>(y) * static_cast<std::size_t>(size) +
                                              static_cast<std::size_t>(x))];
                const unsigned char grey = (x + y) % 2 ? 255 : 0;
                const bool top = y < size / 2, left = x < size / 2;
                const unsigned char red[] = {255, 0, 0, 255}, clear[] = {0, 0, 0, 0}, blue[] = {0, 0, 255, 255},
                                    checker[] = {grey, grey, grey, 255};
                const unsigned char* pixel = top ? (left ? checker : blue) : (x % 2 ? clear : red);
                std::copy(pixel, pixel + 4, p);
            }
        frame.set_icon(size, size, rgba.data());  // a BadLength error ended the process
        const auto property = items(window, "_NET_WM_ICON");
        const std::string& type = property.first;
        const std::vector<long>& icon = property.second;
        ASSERT_EQ(type, "CARDINAL") << size;
        ASSERT_GE(icon.size(), 2u);
        const long width = icon[0], height = icon[1];
        ASSERT_EQ(static_cast<long>(icon.size()), 2 + width * height);
        EXPECT_LE(2 + width * height, room) << size << ": it fits";
        EXPECT_GT(2 + 4 * width * height, room) << size << ": halved no more than needed";
        ASSERT_EQ(width, height);
        ASSERT_LT(width, size);
        EXPECT_EQ(size % width, 0) << "halved, each time by two";
        EXPECT_EQ(size / width & (size / width - 1), 0) << "halved, each time by two";
        const auto at = [&](long x, long y) { return icon[2 + y * width + x]; };
        EXPECT_EQ(at(width / 4, width / 4), 0xFF808080L) << "averaged, not picked";
        EXPECT_EQ(at(3 * width / 4, width / 4), 0xFF0000FFL);
        EXPECT_EQ(at(width / 4, 3 * width / 4), 0x80FF0000L) << "transparent pixels weigh nothing in the colour";
    }
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
    show(frame, 40, 30, 120, 90);
    const Window window = frame._quarn_backing->window;
    frame.set_fullscreen(true);
    EXPECT_EQ(geometry(window), (std::vector<int>{0, 0, 1280, 1024, True}));
    frame.set_fullscreen(true);  // the state it is in: nothing changes
    EXPECT_EQ(geometry(window), (std::vector<int>{0, 0, 1280, 1024, True}));
    frame.set_fullscreen(false);
    EXPECT_EQ(geometry(window), (std::vector<int>{40, 30, 120, 90, False}));
    EXPECT_TRUE(client->wait_viewable(window));
}

// What an EWMH manager leaves on the root window, made by the second client:
// _NET_SUPPORTED with the fullscreen state, and _NET_SUPPORTING_WM_CHECK
// naming a window that names itself, or (`alive` false) one that is gone,
// as a manager that was killed leaves it.
class ForgedManager {
public:
    ForgedManager(quarn_test::XClient& client, bool alive) : client_(client) {
        Display* display = client.display();
        check_ = XCreateSimpleWindow(display, client.root(), 0, 0, 1, 1, 0, 0, 0);
        const long supported[] = {static_cast<long>(XInternAtom(display, "_NET_WM_STATE", False)),
                                  static_cast<long>(XInternAtom(display, "_NET_WM_STATE_FULLSCREEN", False))};
        const long check = static_cast<long>(check_);
        change(client.root(), "_NET_SUPPORTED", XA_ATOM, supported, 2);
        change(client.root(), "_NET_SUPPORTING_WM_CHECK", XA_WINDOW, &check, 1);
        if (alive) {
            change(check_, "_NET_SUPPORTING_WM_CHECK", XA_WINDOW, &check, 1);
        } else {
            XDestroyWindow(display, check_);
            check_ = None;
        }
        client.sync();
    }
    ~ForgedManager() {
        Display* display = client_.display();
        XDeleteProperty(display, client_.root(), XInternAtom(display, "_NET_SUPPORTED", False));
        XDeleteProperty(display, client_.root(), XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", False));
        if (check_) XDestroyWindow(display, check_);
        client_.sync();
    }
    ForgedManager(const ForgedManager&) = delete;
    ForgedManager& operator=(const ForgedManager&) = delete;

    void change(Window window, const char* name, Atom type, const long* items, int count) {
        XChangeProperty(client_.display(), window, XInternAtom(client_.display(), name, False), type, 32,
                        PropModeReplace, reinterpret_cast<const unsigned char*>(items), count);
    }

private:
    quarn_test::XClient& client_;
    Window check_;
};

TEST_F(Desktop, AManagerThatIsGoneCountsAsNoneAndReadingItsWindowEndsNothing) {
    RecordingFrame frame(log);
    show(frame, 40, 30, 120, 90);
    const Window window = frame._quarn_backing->window;
    const ForgedManager gone(*client, false);
    frame.set_fullscreen(true);  // reading the vanished window raised BadWindow, which ended the process
    EXPECT_EQ(geometry(window), (std::vector<int>{0, 0, 1280, 1024, True})) << "covered by Quarn itself";
    frame.set_fullscreen(false);
    EXPECT_EQ(geometry(window), (std::vector<int>{40, 30, 120, 90, False}));
}

TEST_F(Desktop, ACoverOfQuarnsOwnIsTakenBackAfterAManagerStarted) {
    RecordingFrame frame(log);
    show(frame, 40, 30, 120, 90);
    const Window window = frame._quarn_backing->window;
    frame.set_fullscreen(true);
    ASSERT_EQ(geometry(window), (std::vector<int>{0, 0, 1280, 1024, True}));
    // A manager that starts now knows nothing of the cover: a request to it
    // would leave the frame covering the screen.
    const ForgedManager started(*client, true);
    frame.set_fullscreen(false);
    EXPECT_EQ(geometry(window), (std::vector<int>{40, 30, 120, 90, False}));
}

TEST_F(Desktop, FullscreenOfAWindowTheManagerLeftWithdrawnIsWrittenOnTheWindow) {
    RecordingFrame frame(log);
    const Window window = frame._quarn_backing->window;
    ForgedManager manager(*client, true);
    // Metacity and mutter leave WM_STATE at WithdrawnState on a window they let go.
    const auto set_wm_state = [&](long state) {
        const long wm_state[] = {state, None};
        const Atom type = XInternAtom(client->display(), "WM_STATE", False);
        XChangeProperty(client->display(), window, type, type, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(wm_state), 2);
        client->sync();
    };
    set_wm_state(WithdrawnState);
    frame.set_fullscreen(true);
    EXPECT_TRUE(holds_state(window, "_NET_WM_STATE_FULLSCREEN")) << "what a manager reads when it maps the window";

    // Shown, but still withdrawn: the request waits until the manager manages the window.
    XSelectInput(client->display(), client->root(), SubstructureNotifyMask);
    show(frame, 40, 30, 120, 90);
    frame.set_fullscreen(false);
    EXPECT_FALSE(holds_state(window, "_NET_WM_STATE_FULLSCREEN"));
    const auto request = [&]() -> std::vector<long> {
        XSync(Quarn::_quarn_display, False);
        client->sync();
        XEvent event{};
        while (XCheckTypedEvent(client->display(), ClientMessage, &event))
            if (event.xclient.message_type == XInternAtom(client->display(), "_NET_WM_STATE", False) &&
                event.xclient.window == window)
                return {event.xclient.data.l[0], event.xclient.data.l[1]};
        return {};
    };
    EXPECT_EQ(request(), std::vector<long>{}) << "a request the manager would ignore";
    set_wm_state(NormalState);
    quarn_test::settle(*client);
    EXPECT_EQ(request(), (std::vector<long>{
                             0, static_cast<long>(XInternAtom(client->display(), "_NET_WM_STATE_FULLSCREEN", False))}));
}

// Mutter and icewm take a window that opens fullscreen to the whole screen
// and, never having seen it windowed, have nothing right to go back to.
TEST_F(Desktop, AFrameThatOpenedFullscreenAsksForItsOwnSizeOnTheWayBack) {
    RecordingFrame frame(log);
    const Window window = frame._quarn_backing->window;
    ForgedManager manager(*client, true);
    frame.set_size(120, 90);
    frame.set_position(40, 30);
    frame.set_fullscreen(true);
    ASSERT_TRUE(holds_state(window, "_NET_WM_STATE_FULLSCREEN"));
    frame.set_show(true, 0);
    ASSERT_TRUE(Quarn::Testing::wait_shown(frame));
    // The manager takes the window, fullscreen: its WM_STATE, and the whole screen.
    const long wm_state[] = {NormalState, None};
    const Atom type = XInternAtom(client->display(), "WM_STATE", False);
    XChangeProperty(client->display(), window, type, type, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(wm_state), 2);
    XMoveResizeWindow(client->display(), window, 0, 0, 1280, 1024);
    client->sync();
    quarn_test::settle(*client);

    frame.set_fullscreen(false);
    EXPECT_EQ(geometry(window), (std::vector<int>{40, 30, 120, 90, False}));
    frame.set_fullscreen(true);  // from windowed now: the manager's own way back holds
    frame.set_fullscreen(false);
    XMoveResizeWindow(client->display(), window, 0, 0, 1280, 1024);
    client->sync();
    EXPECT_EQ(geometry(window), (std::vector<int>{0, 0, 1280, 1024, False})) << "asked for once only";
}

// Weston and twm take their time over the configure requests of a window
// they do not manage yet: fullscreen asked for meanwhile must not take the
// window's first size, which the server still has, for the frame's own.
TEST_F(Desktop, FullscreenAskedBeforeTheManagerGrantedTheFramesSizeGoesBackToThatSize) {
    Display* display = client->display();
    // The second client redirects the root's substructure, as a manager
    // does, and grants what it holds only when `grant` runs: what the frame
    // has sent, or (`all` false) what reached the server before the frame's
    // last round trip, its later requests still in its buffer.
    XSelectInput(display, client->root(), SubstructureRedirectMask);
    client->sync();
    const auto grant = [&](bool all) {
        if (all) XSync(Quarn::_quarn_display, False);
        client->sync();
        XEvent event{};
        while (XPending(display)) {
            XNextEvent(display, &event);
            if (event.type == MapRequest) {
                XMapWindow(display, event.xmaprequest.window);
            } else if (event.type == ConfigureRequest) {
                const XConfigureRequestEvent& request = event.xconfigurerequest;
                XWindowChanges changes{};
                changes.x = request.x;
                changes.y = request.y;
                changes.width = request.width;
                changes.height = request.height;
                XConfigureWindow(display, request.window,
                                 static_cast<unsigned int>(request.value_mask) & (CWX | CWY | CWWidth | CWHeight),
                                 &changes);
            }
        }
        client->sync();
    };
    for (const bool ewmh : {false, true}) {
        SCOPED_TRACE(ewmh ? "under an EWMH manager" : "under a manager without EWMH");
        RecordingFrame frame(log);
        const Window window = frame._quarn_backing->window;
        std::unique_ptr<ForgedManager> manager = ewmh ? std::make_unique<ForgedManager>(*client, true) : nullptr;
        frame.set_size(120, 90);
        frame.set_position(40, 30);
        // Before the manager granted either; it does before the frame's
        // requests after its last look at the window reach the server.
        frame.set_fullscreen(true);
        grant(false);
        frame.set_show(true, 0);
        grant(true);
        if (ewmh) {
            // The manager takes the window, fullscreen.
            const long wm_state[] = {NormalState, None};
            const Atom type = XInternAtom(display, "WM_STATE", False);
            XChangeProperty(display, window, type, type, 32, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(wm_state), 2);
            XMoveResizeWindow(display, window, 0, 0, 1280, 1024);
            client->sync();
        }
        ASSERT_TRUE(Quarn::Testing::wait_shown(frame));
        quarn_test::settle(*client);
        ASSERT_EQ(geometry(window), (std::vector<int>{0, 0, 1280, 1024, !ewmh}));

        frame.set_fullscreen(false);
        grant(true);
        EXPECT_EQ(geometry(window), (std::vector<int>{40, 30, 120, 90, False}));
    }
}
#else
TEST_F(Desktop, FullscreenOnAndAtOnceOffEndsWindowedWhereItWas) {
    RecordingFrame frame(log);
    show(frame, 100, 100, 200, 150);
    const Window window = frame._quarn_backing->window;
    // Where it is on the screen, in its manager's frame.
    const auto on_screen = [&] {
        XSync(Quarn::_quarn_display, False);
        int x = 0, y = 0;
        Window child = None;
        XTranslateCoordinates(client->display(), window, client->root(), 0, 0, &x, &y, &child);
        const XWindowAttributes attributes = client->attributes(window);
        return std::vector<int>{x, y, attributes.width, attributes.height};
    };
    ASSERT_TRUE(eventually([&] { return items(window, "WM_STATE").second.size() == 2; }))
        << "openbox manages the frame";
    const std::vector<int> windowed = on_screen();
    frame.set_fullscreen(true);
    frame.set_fullscreen(false);  // before openbox has acted on the first
    // A request of the second client's, sent after both: once openbox has
    // acted on it, it has acted on both.
    XSync(Quarn::_quarn_display, False);
    XEvent message{};
    message.xclient.type = ClientMessage;
    message.xclient.window = window;
    message.xclient.message_type = XInternAtom(client->display(), "_NET_WM_STATE", False);
    message.xclient.format = 32;
    message.xclient.data.l[0] = 1;  // add
    message.xclient.data.l[1] = static_cast<long>(XInternAtom(client->display(), "_NET_WM_STATE_ABOVE", False));
    message.xclient.data.l[3] = 2;  // from a pager
    XSendEvent(client->display(), client->root(), False, SubstructureRedirectMask | SubstructureNotifyMask, &message);
    client->sync();
    ASSERT_TRUE(eventually([&] { return holds_state(window, "_NET_WM_STATE_ABOVE"); }));
    EXPECT_FALSE(holds_state(window, "_NET_WM_STATE_FULLSCREEN"));
    EXPECT_EQ(on_screen(), windowed);
}
#endif

}  // namespace
