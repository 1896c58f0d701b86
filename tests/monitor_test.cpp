#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "quarn/frame/frame.h"
#include "quarn/init.h"
#include "quarn/input/events/events.h"
#include "quarn/input/events/helpers.h"
#include "quarn/monitor.h"
#include "quarn/testing/testing.h"
#include "tests/support/capture.h"
#include "tests/support/pump.h"
#include "tests/support/x_client.h"

// The monitors, their changes and fullscreen on each, on Xorg's dummy driver:
// unlike Xvfb it has RandR outputs whose modes change and that switch off
// (which sends RandR's notifications), and it keeps the monitors a client
// defines (xrandr --setmonitor). Each suite starts its own Xorg, one of them
// with openbox, and stops what it started.
namespace {

using Clock = std::chrono::steady_clock;

// A child process, sent SIGTERM when this process dies, and stopped (and
// waited for) with the object.
class Child {
public:
    explicit Child(const std::vector<std::string>& argv, int keep_fd = -1) {
        std::vector<char*> args;
        args.reserve(argv.size() + 1);
        for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
        args.push_back(nullptr);
        pid_ = fork();
        if (pid_ < 0) throw std::runtime_error("cannot fork");
        if (pid_ == 0) {
            prctl(PR_SET_PDEATHSIG, SIGTERM);
            const int null = open("/dev/null", O_RDWR);
            dup2(null, 0);
            dup2(null, 1);
            dup2(null, 2);
            for (int fd = 3; fd < 256; ++fd)
                if (fd != keep_fd) close(fd);
            execvp(args[0], args.data());
            _exit(127);
        }
    }
    ~Child() {
        kill(pid_, SIGTERM);
        while (waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
        }
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

private:
    pid_t pid_;
};

// Xorg on the dummy driver (one 1280 x 1024 output, DUMMY0, at 60 Hz), named
// by $DISPLAY while it lives; optionally with openbox.
class DummyXorg {
public:
    explicit DummyXorg(bool window_manager) : saved_display_(std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "") {
        char directory[] = "/tmp/quarn-monitor-XXXXXX";
        if (!mkdtemp(directory)) throw std::runtime_error("cannot make a directory for Xorg's log");
        directory_ = directory;
        int ready[2];
        if (pipe(ready) != 0) throw std::runtime_error("cannot make a pipe");
        xorg_ = std::make_unique<Child>(
            std::vector<std::string>{"Xorg", "-displayfd", std::to_string(ready[1]), "-config", QUARN_XORG_DUMMY_CONF,
                                     "-noreset", "-nolisten", "tcp", "-novtswitch", "-sharevts", "-logfile",
                                     directory_ + "/Xorg.log"},
            ready[1]);
        close(ready[1]);
        std::string number;
        pollfd readable{ready[0], POLLIN, 0};
        char c = 0;
        while (poll(&readable, 1, 30000) > 0 && read(ready[0], &c, 1) == 1 && c != '\n') number += c;
        close(ready[0]);
        if (number.empty()) throw std::runtime_error("Xorg on the dummy driver did not start (root is needed)");
        setenv("DISPLAY", (":" + number).c_str(), 1);
        if (!window_manager) return;
        openbox_ = std::make_unique<Child>(std::vector<std::string>{"openbox", "--sm-disable"});
        Display* display = XOpenDisplay(nullptr);
        const Atom check = XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", False);
        const auto deadline = Clock::now() + std::chrono::seconds(20);
        while (root_items(display, check, XA_WINDOW).empty() && Clock::now() < deadline) usleep(20000);
        // openbox names itself before it has taken the windows already
        // there: it is ready once it frames a window mapped now.
        XSetWindowAttributes attributes{};
        const Window probe = XCreateWindow(display, DefaultRootWindow(display), 0, 0, 10, 10, 0, CopyFromParent,
                                           InputOutput, CopyFromParent, 0, &attributes);
        XMapWindow(display, probe);
        Window root = None, parent = None, *children = nullptr;
        unsigned int count = 0;
        do {
            usleep(20000);
            if (XQueryTree(display, probe, &root, &parent, &children, &count) && children) XFree(children);
        } while (parent == root && Clock::now() < deadline);
        XDestroyWindow(display, probe);
        XCloseDisplay(display);
    }
    ~DummyXorg() {
        openbox_.reset();
        xorg_.reset();
        std::remove((directory_ + "/Xorg.log").c_str());
        std::remove((directory_ + "/Xorg.log.old").c_str());
        rmdir(directory_.c_str());
        setenv("DISPLAY", saved_display_.c_str(), 1);
    }

    static std::vector<long> root_items(Display* display, Atom property, Atom type) {
        Atom actual = None;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        std::vector<long> items;
        if (XGetWindowProperty(display, DefaultRootWindow(display), property, 0, 1024, False, type, &actual, &format,
                               &count, &after, &data) == Success &&
            format == 32)
            items.assign(reinterpret_cast<long*>(data), reinterpret_cast<long*>(data) + count);
        if (data) XFree(data);
        return items;
    }

private:
    std::string saved_display_;
    std::string directory_;
    std::unique_ptr<Child> xorg_;
    std::unique_ptr<Child> openbox_;
};

// A frame that counts the EventFrameMonitors it gets, and checks each came
// down the chain from EventFrameBase.
class MonitorsFrame : public Quarn::Frame::FrameBase {
public:
    MonitorsFrame()
        : FrameBase(nullptr, Quarn::Flags::Style::BORDER | Quarn::Flags::Style::TITLEBAR, Quarn::Flags::Button::CLOSE) {
    }
    void callback_input(const Quarn::Input::State*, const Quarn::Input::Events::EventFrameBase* event) override {
        if (event->type == 4194304) ++frame_level;
    }
    void callback_input(const Quarn::Input::State*, const Quarn::Input::Events::EventFrameMonitors* event) override {
        EXPECT_EQ(event->type, 4194304);
        ++changes;
    }
    int frame_level = 0;
    int changes = 0;
};

struct Rect {
    int x, y, width, height;
    bool operator==(const Rect& other) const {
        return x == other.x && y == other.y && width == other.width && height == other.height;
    }
};
std::ostream& operator<<(std::ostream& out, const Rect& rect) {
    return out << rect.x << "," << rect.y << " " << rect.width << "x" << rect.height;
}
Rect rect_of(const Quarn::Monitor& monitor) { return {monitor.x, monitor.y, monitor.width, monitor.height}; }
Rect work_of(const Quarn::Monitor& monitor) {
    return {monitor.work_x, monitor.work_y, monitor.work_width, monitor.work_height};
}

std::vector<std::string> names(const std::vector<Quarn::Monitor>& monitors) {
    std::vector<std::string> list;
    list.reserve(monitors.size());
    for (const Quarn::Monitor& monitor : monitors) list.push_back(monitor.name);
    return list;
}

bool eventually(const std::function<bool()>& holds) {
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while (!holds())
        if (Clock::now() > deadline || poll(nullptr, 0, 10) < 0) return false;
    return true;
}

class Monitors : public ::testing::Test {
protected:
    static void SetUpTestSuite() { server = new DummyXorg(false); }
    static void TearDownTestSuite() {
        delete server;
        server = nullptr;
    }

    void SetUp() override {
        quarn_test::start_library();
        client = std::make_unique<quarn_test::XClient>();
        display = client->display();
        root = client->root();
        resources = XRRGetScreenResourcesCurrent(display, root);
        output = resources->outputs[0];
        XRROutputInfo* info = XRRGetOutputInfo(display, resources, output);
        crtc = info->crtc;
        XRRFreeOutputInfo(info);
    }
    void TearDown() override {
        // What a test changed is put back for the next: DUMMY0 at 1280 x
        // 1024, no monitors of a client's, no work area.
        int count = 0;
        XRRMonitorInfo* defined = XRRGetMonitors(display, root, False, &count);
        for (int i = 0; i < count; ++i)
            for (const char* name : {"LEFT", "RIGHT"})
                if (defined[i].name == XInternAtom(display, name, False))
                    XRRDeleteMonitor(display, root, defined[i].name);
        XRRFreeMonitors(defined);
        set_mode(1280, 1024);
        for (const char* name : {"_NET_WORKAREA", "_NET_CURRENT_DESKTOP", "_GTK_WORKAREAS_D0", "_GTK_WORKAREAS_D1"})
            XDeleteProperty(display, root, XInternAtom(display, name, False));
        client->sync();
        XRRFreeScreenResources(resources);
        client.reset();
        Quarn::deinit();
    }

    // DUMMY0 in its mode of `width` x `height`, or switched off (0 x 0).
    void set_mode(unsigned int width, unsigned int height) {
        RRMode mode = None;
        for (int i = 0; i < resources->nmode && width; ++i)
            if (resources->modes[i].width == width && resources->modes[i].height == height)
                mode = resources->modes[i].id;
        ASSERT_TRUE(mode != None || width == 0);
        XRRSetCrtcConfig(display, resources, crtc, CurrentTime, 0, 0, mode, RR_Rotate_0, mode ? &output : nullptr,
                         mode ? 1 : 0);
        client->sync();
    }
    // A monitor of the client's (xrandr --setmonitor NAME 640/170x1024/270+X+0 OUTPUT).
    void define(const char* name, int x, bool with_output) {
        XRRMonitorInfo* monitor = XRRAllocateMonitor(display, with_output ? 1 : 0);
        monitor->name = XInternAtom(display, name, False);
        monitor->x = x;
        monitor->y = 0;
        monitor->width = 640;
        monitor->height = 1024;
        monitor->mwidth = 170;
        monitor->mheight = 270;
        monitor->primary = with_output;
        if (with_output) monitor->outputs[0] = output;
        XRRSetMonitor(display, root, monitor);
        XRRFreeMonitors(monitor);
        client->sync();
    }
    // LEFT (with DUMMY0, which it replaces) and RIGHT, side by side.
    void split() {
        define("LEFT", 0, true);
        define("RIGHT", 640, false);
    }
    void set_cardinals(const char* name, const std::vector<long>& values, Atom type = XA_CARDINAL, int format = 32) {
        if (format == 32) {
            XChangeProperty(display, root, XInternAtom(display, name, False), type, 32, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(values.data()), static_cast<int>(values.size()));
        } else {
            std::vector<short> shorts(values.begin(), values.end());
            XChangeProperty(display, root, XInternAtom(display, name, False), type, 16, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(shorts.data()), static_cast<int>(shorts.size()));
        }
        client->sync();
    }
    // Runs the pump until `frame` has heard of `count` changes in all (bounded).
    bool hears(MonitorsFrame& frame, int count) {
        return eventually([&] {
            Quarn::Input::Events::wait(10);
            Quarn::Input::Events::handle();
            return frame.changes >= count;
        });
    }
    // Where `window` is on the screen, its size, and whether it is override-redirect.
    std::vector<int> on_screen(Window window) {
        XSync(Quarn::_quarn_display, False);
        int x = 0, y = 0;
        Window child = None;
        XTranslateCoordinates(display, window, root, 0, 0, &x, &y, &child);
        const XWindowAttributes attributes = client->attributes(window);
        return {x, y, attributes.width, attributes.height, attributes.override_redirect};
    }
    void show(MonitorsFrame& frame, int x, int y) {
        frame.set_size(200, 150);
        frame.set_position(x, y);
        frame.set_show(true, 0);
        ASSERT_TRUE(Quarn::Testing::wait_shown(frame));
    }

    static DummyXorg* server;
    std::unique_ptr<quarn_test::XClient> client;
    Display* display = nullptr;
    Window root = None;
    XRRScreenResources* resources = nullptr;
    RROutput output = None;
    RRCrtc crtc = None;
};
DummyXorg* Monitors::server = nullptr;

TEST_F(Monitors, OneOutputIsOneMonitorWithItsModesRefreshSizeAndTheWholeScreenAsWorkArea) {
    const std::vector<Quarn::Monitor> monitors = Quarn::get_monitors();
    ASSERT_EQ(names(monitors), (std::vector<std::string>{"DUMMY0"}));
    EXPECT_EQ(rect_of(monitors[0]), (Rect{0, 0, 1280, 1024}));
    EXPECT_EQ(work_of(monitors[0]), (Rect{0, 0, 1280, 1024}));
    // 108 MHz over 1688 x 1066 pixels per frame.
    EXPECT_NEAR(monitors[0].refresh_hz, 108e6 / (1688.0 * 1066.0), 0.001);
    EXPECT_GT(monitors[0].width_mm, 0);
    EXPECT_GT(monitors[0].height_mm, 0);
    EXPECT_TRUE(monitors[0].primary);
}

TEST_F(Monitors, MonitorsAClientDefinesOrDeletesShowAtTheNextCallWhileAFrameRuns) {
    MonitorsFrame frame;
    frame.set_report(Quarn::Flags::Report::MONITORS);
    show(frame, 40, 30);
    split();
    std::vector<Quarn::Monitor> monitors = Quarn::get_monitors();
    ASSERT_EQ(names(monitors), (std::vector<std::string>{"LEFT", "RIGHT"}));
    EXPECT_EQ(rect_of(monitors[0]), (Rect{0, 0, 640, 1024}));
    EXPECT_EQ(rect_of(monitors[1]), (Rect{640, 0, 640, 1024}));
    EXPECT_EQ(monitors[1].width_mm, 170);
    EXPECT_EQ(monitors[1].height_mm, 270);
    EXPECT_TRUE(monitors[0].primary);
    EXPECT_FALSE(monitors[1].primary);
    EXPECT_GT(monitors[0].refresh_hz, 59.0) << "from DUMMY0's mode";
    EXPECT_EQ(monitors[1].refresh_hz, 0.0) << "no output: unknown";

    XRRDeleteMonitor(display, root, XInternAtom(display, "LEFT", False));
    client->sync();
    monitors = Quarn::get_monitors();
    EXPECT_EQ(names(monitors), (std::vector<std::string>{"DUMMY0", "RIGHT"}));
}

TEST_F(Monitors, WhereTheServerNamesNoPrimaryTheFirstMonitorIsIt) {
    const auto primaries = [] {
        std::vector<std::string> found;
        for (const Quarn::Monitor& monitor : Quarn::get_monitors())
            if (monitor.primary) found.push_back(monitor.name);
        return found;
    };
    define("LEFT", 0, false);
    define("RIGHT", 640, false);
    XRRSetOutputPrimary(display, root, None);
    client->sync();
    const std::vector<Quarn::Monitor> monitors = Quarn::get_monitors();
    ASSERT_EQ(monitors.size(), 3u);
    EXPECT_EQ(primaries(), std::vector<std::string>{monitors[0].name});
    // Where the server names one, that one alone.
    XRRSetOutputPrimary(display, root, output);
    client->sync();
    EXPECT_EQ(primaries(), std::vector<std::string>{"DUMMY0"});
}

TEST_F(Monitors, AnOutputSwitchedOffOnAndToAnotherModeIsReportedOncePerChange) {
    MonitorsFrame reporting, silent, turned_off;
    reporting.set_report(Quarn::Flags::Report::MONITORS);
    turned_off.set_report(Quarn::Flags::Report::MONITORS);
    turned_off.set_report(Quarn::Flags::Report::NONE);
    quarn_test::settle(*client);

    set_mode(0, 0);
    ASSERT_TRUE(hears(reporting, 1));
    quarn_test::settle(*client);
    EXPECT_EQ(reporting.changes, 1) << "the notifications of one change make one event";
    EXPECT_EQ(reporting.frame_level, 1) << "through EventFrameBase";
    // The numbers other branches keep free for this report and its event.
    EXPECT_TRUE(Quarn::Flags::Report::MONITORS == Quarn::Flags::Report(256));
    // No active output: the X screen stands in (through Xinerama or as itself).
    const std::vector<Quarn::Monitor> none_active = Quarn::get_monitors();
    ASSERT_EQ(none_active.size(), 1u);
    EXPECT_EQ(none_active[0].name, "screen");

    set_mode(1024, 768);
    ASSERT_TRUE(hears(reporting, 2));
    std::vector<Quarn::Monitor> monitors = Quarn::get_monitors();
    ASSERT_EQ(names(monitors), (std::vector<std::string>{"DUMMY0"}));
    EXPECT_EQ(rect_of(monitors[0]), (Rect{0, 0, 1024, 768}));

    set_mode(1280, 1024);
    ASSERT_TRUE(hears(reporting, 3));
    EXPECT_EQ(rect_of(Quarn::get_monitors()[0]), (Rect{0, 0, 1280, 1024}));
    EXPECT_EQ(silent.changes, 0) << "only frames that report MONITORS hear of it";
    EXPECT_EQ(turned_off.changes, 0);

    // Once no frame reports it, nothing is delivered.
    reporting.set_report(Quarn::Flags::Report::NONE);
    set_mode(1024, 768);
    quarn_test::settle(*client);
    quarn_test::settle(*client);
    EXPECT_EQ(reporting.changes, 3);
}

TEST_F(Monitors, ALaterConnectionSelectsTheNotificationsAgain) {
    {
        MonitorsFrame first;
        first.set_report(Quarn::Flags::Report::MONITORS);
        quarn_test::settle(*client);
    }
    Quarn::deinit();
    quarn_test::start_library();
    MonitorsFrame second;
    second.set_report(Quarn::Flags::Report::MONITORS);
    quarn_test::settle(*client);
    set_mode(1024, 768);
    EXPECT_TRUE(hears(second, 1));
}

TEST_F(Monitors, TheWorkAreaIsTheCurrentDesktopsCutToEachMonitorOrTheMonitorsOwn) {
    split();
    // Desktop 1 of two: a 30-pixel panel at the top, one of 40 at the left.
    set_cardinals("_NET_WORKAREA", {0, 0, 1280, 1024, 40, 30, 1240, 994});
    set_cardinals("_NET_CURRENT_DESKTOP", {1});
    std::vector<Quarn::Monitor> monitors = Quarn::get_monitors();
    ASSERT_EQ(monitors.size(), 2u);
    EXPECT_EQ(work_of(monitors[0]), (Rect{40, 30, 600, 994}));
    EXPECT_EQ(work_of(monitors[1]), (Rect{640, 30, 640, 994}));

    // Per-monitor work areas where they are published: a dock on RIGHT only.
    set_cardinals("_GTK_WORKAREAS_D1", {640, 0, 640, 900, 0, 0, 640, 1024});
    monitors = Quarn::get_monitors();
    EXPECT_EQ(work_of(monitors[0]), (Rect{0, 0, 640, 1024}));
    EXPECT_EQ(work_of(monitors[1]), (Rect{640, 0, 640, 900}));
}

TEST_F(Monitors, AForgedOrMalformedWorkAreaLeavesTheWholeMonitor) {
    struct Case {
        const char* what;
        std::vector<long> workarea;
        Atom type;
        int format;
        std::vector<long> desktop;
    };
    const std::vector<Case> cases = {
        {"of another type", {0, 30, 1280, 994}, XA_STRING, 32, {0}},
        {"of format 16", {0, 30, 1280, 994}, XA_CARDINAL, 16, {0}},
        {"too short", {0, 30, 1280}, XA_CARDINAL, 32, {0}},
        {"without the current desktop", {0, 30, 1280, 994}, XA_CARDINAL, 32, {1}},
        {"with the desktop number at its largest", {0, 30, 1280, 994}, XA_CARDINAL, 32, {0xFFFFFFFFL}},
        {"off the screen", {5000, 5000, 100, 100}, XA_CARDINAL, 32, {0}},
        {"empty", {0, 30, 0, 0}, XA_CARDINAL, 32, {0}},
    };
    for (const Case& forged : cases) {
        SCOPED_TRACE(forged.what);
        set_cardinals("_NET_WORKAREA", forged.workarea, forged.type, forged.format);
        set_cardinals("_NET_CURRENT_DESKTOP", forged.desktop);
        const std::vector<Quarn::Monitor> monitors = Quarn::get_monitors();
        ASSERT_EQ(monitors.size(), 1u);
        EXPECT_EQ(work_of(monitors[0]), (Rect{0, 0, 1280, 1024}));
    }
    // A rectangle larger than the screen, with coordinates written as
    // negative 32-bit numbers, is cut to the monitor.
    set_cardinals("_NET_WORKAREA", {0xFFFFFF00L, 0xFFFFFF00L, 0xFFFFFFFFL, 0xFFFFFFFFL});
    set_cardinals("_NET_CURRENT_DESKTOP", {0});
    EXPECT_EQ(work_of(Quarn::get_monitors()[0]), (Rect{0, 0, 1280, 1024}));
    // A per-monitor list that fits no monitor leaves it whole.
    set_cardinals("_GTK_WORKAREAS_D0", {0, 0, 2000, 2000});
    EXPECT_EQ(work_of(Quarn::get_monitors()[0]), (Rect{0, 0, 1280, 1024}));
}

TEST_F(Monitors, WithoutAManagerFullscreenCoversTheMonitorAskedForOrTheOneHoldingTheFrame) {
    split();
    MonitorsFrame frame;
    show(frame, 900, 300);  // its centre on RIGHT
    const Window window = frame._quarn_backing->window;
    frame.set_fullscreen(true);
    EXPECT_EQ(on_screen(window), (std::vector<int>{640, 0, 640, 1024, True})) << "RIGHT, not the whole screen";
    frame.set_fullscreen(false);
    EXPECT_EQ(on_screen(window), (std::vector<int>{900, 300, 200, 150, False}));

    frame.set_fullscreen(true, 0);
    EXPECT_EQ(on_screen(window), (std::vector<int>{0, 0, 640, 1024, True}));
    frame.set_fullscreen(true, 1);
    EXPECT_EQ(on_screen(window), (std::vector<int>{640, 0, 640, 1024, True})) << "moved to the other";
    frame.set_fullscreen(false, 1);
    EXPECT_EQ(on_screen(window), (std::vector<int>{900, 300, 200, 150, False}));
    EXPECT_TRUE(client->wait_viewable(window));
}

TEST_F(Monitors, AMonitorIndexOutOfRangeIsRefusedAndNoDisplayIsAnError) {
    MonitorsFrame frame;
    show(frame, 40, 30);
    const Window window = frame._quarn_backing->window;
    for (const int index : {-1, 1, 1000}) {
        quarn_test::StdoutCapture capture;
        frame.set_fullscreen(true, index);
        EXPECT_EQ(capture.finish(),
                  "Quarn: Cannot go fullscreen on a monitor that does not exist!  Ignoring .set_fullscreen!\n");
        EXPECT_EQ(on_screen(window), (std::vector<int>{40, 30, 200, 150, False}));
    }
}

TEST(MonitorsWithoutDisplay, AreRefusedThroughTheErrorRoutine) {
    quarn_test::StdoutCapture capture;
    EXPECT_THROW(Quarn::get_monitors(), const char*);
    EXPECT_EQ(capture.finish(), "Quarn: Cannot get the monitors without a display connection!\n");
}

// The same desk under openbox, which publishes a work area and acts on
// fullscreen requests itself.
class MonitorsUnderManager : public Monitors {
protected:
    static void SetUpTestSuite() { server = new DummyXorg(true); }
    static void TearDownTestSuite() {
        delete server;
        server = nullptr;
    }
};

TEST_F(MonitorsUnderManager, TheWorkAreaLeavesOutADocksStrut) {
    split();
    // A dock along the bottom of RIGHT, 40 pixels high.
    XSetWindowAttributes attributes{};
    const Window dock =
        XCreateWindow(display, root, 0, 984, 1280, 40, 0, CopyFromParent, InputOutput, CopyFromParent, 0, &attributes);
    const Atom type = XInternAtom(display, "_NET_WM_WINDOW_TYPE_DOCK", False);
    XChangeProperty(display, dock, XInternAtom(display, "_NET_WM_WINDOW_TYPE", False), XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&type), 1);
    const long strut[12] = {0, 0, 0, 40, 0, 0, 0, 0, 0, 0, 0, 1279};
    XChangeProperty(display, dock, XInternAtom(display, "_NET_WM_STRUT_PARTIAL", False), XA_CARDINAL, 32,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(strut), 12);
    XMapWindow(display, dock);
    client->sync();
    ASSERT_TRUE(eventually([&] { return Quarn::get_monitors()[1].work_height == 984; }))
        << "openbox publishes _NET_WORKAREA without the dock";
    const std::vector<Quarn::Monitor> monitors = Quarn::get_monitors();
    EXPECT_EQ(work_of(monitors[1]), (Rect{640, 0, 640, 984}));
    XDestroyWindow(display, dock);
    client->sync();
}

TEST_F(MonitorsUnderManager, FullscreenGoesOnTheMonitorAskedForAndBack) {
    split();
    MonitorsFrame frame;
    show(frame, 100, 100);
    const Window window = frame._quarn_backing->window;
    ASSERT_TRUE(eventually([&] { return client->parent(window) != root; })) << "openbox manages the frame";
    frame.set_fullscreen(true, 1);
    EXPECT_TRUE(eventually([&] {
        return on_screen(window) == std::vector<int>{640, 0, 640, 1024, False};
    })) << on_screen(window)[0]
        << "," << on_screen(window)[1];
    frame.set_fullscreen(true, 0);
    EXPECT_TRUE(eventually([&] {
        return on_screen(window) == std::vector<int>{0, 0, 640, 1024, False};
    })) << on_screen(window)[0]
        << "," << on_screen(window)[1];
    frame.set_fullscreen(false);
    EXPECT_TRUE(eventually([&] {
        const std::vector<int> now = on_screen(window);
        return now[2] == 200 && now[3] == 150 && now[0] < 640;
    })) << "windowed on LEFT, where it was moved";
}

TEST_F(MonitorsUnderManager, FullscreenOfAHiddenFrameOpensOnTheMonitorAskedFor) {
    split();
    MonitorsFrame frame;
    frame.set_size(200, 150);
    frame.set_fullscreen(true, 1);
    frame.set_show(true, 0);
    ASSERT_TRUE(Quarn::Testing::wait_shown(frame));
    const Window window = frame._quarn_backing->window;
    EXPECT_TRUE(eventually([&] {
        Quarn::Input::Events::handle();
        return on_screen(window) == std::vector<int>{640, 0, 640, 1024, False};
    })) << on_screen(window)[0]
        << "," << on_screen(window)[1];
}

}  // namespace
