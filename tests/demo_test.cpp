#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/support/capture.h"
#include "tests/support/x_client.h"

// End-to-end tests of test_twowindows under Xvfb with the openbox window manager.
namespace {

using quarn_test::split_lines;
using quarn_test::XClient;

// The demo running as a child process, its standard output read through a
// pseudo-terminal: stdio then flushes every line, so a test can wait for a
// line before it sends the next input.
class Demo {
public:
    explicit Demo(const char* display = nullptr) {
        int terminal = -1;
        if (openpty(&output_fd_, &terminal, nullptr, nullptr, nullptr) != 0) throw std::runtime_error("openpty failed");
        termios raw{};
        tcgetattr(terminal, &raw);
        cfmakeraw(&raw);  // no "\r\n" for "\n", no echo
        tcsetattr(terminal, TCSANOW, &raw);
        pid_ = fork();
        if (pid_ == 0) {
            dup2(terminal, STDOUT_FILENO);
            close(output_fd_);
            close(terminal);
            if (display) setenv("DISPLAY", display, 1);
            execl(QUARN_DEMO_PATH, QUARN_DEMO_PATH, static_cast<char*>(nullptr));
            _exit(127);
        }
        close(terminal);
    }
    ~Demo() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        close(output_fd_);
    }

    // Waits (bounded) for the demo to end; its exit status, or -1 if it did not.
    int wait_for_exit() {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (std::chrono::steady_clock::now() < deadline) {
            read_available(50);
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                while (read_available(0)) {
                }
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
        }
        return -1;
    }
    std::vector<std::string> lines() const { return split_lines(output_); }

    // Waits (bounded) until the output holds `count` copies of `line`.
    bool wait_for(const std::string& line, long count = 1) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (std::chrono::steady_clock::now() < deadline) {
            const auto all = lines();
            if (std::count(all.begin(), all.end(), line) >= count) return true;
            read_available(50);
        }
        return false;
    }

private:
    bool read_available(int timeout_ms) {
        pollfd fd{output_fd_, POLLIN, 0};
        if (poll(&fd, 1, timeout_ms) <= 0) return false;
        char buffer[4096];
        const ssize_t n = read(output_fd_, buffer, sizeof buffer);
        if (n <= 0) return false;
        output_.append(buffer, static_cast<std::size_t>(n));
        return true;
    }

    pid_t pid_ = -1;
    int output_fd_ = -1;
    std::string output_;
};

const std::vector<std::string> kStartup = {
    "Setting up context: 0",
    "",
    "8012 8010 1 8011 1 8 9 a b c d 5",
    "Setting up context: 2",
    "Setting up context: 3",
    "Setting up context: 4",
    "Setting up context: 5",
    "Setting up context: 6",
    "Quarn: Menuing is not yet supported on Linux!",
};

// The demo's output after its start-up lines, which it checks on the way.
std::vector<std::string> events_of(const std::vector<std::string>& lines) {
    EXPECT_GE(lines.size(), kStartup.size());
    if (lines.size() < kStartup.size()) return {};
    for (std::size_t i = 0; i < kStartup.size(); ++i) {
        if (i == 1)
            EXPECT_EQ(lines[i].rfind("Setting up context: 1 0x", 0), 0u) << lines[i];
        else
            EXPECT_EQ(lines[i], kStartup[i]);
    }
    return std::vector<std::string>(lines.begin() + static_cast<long>(kStartup.size()), lines.end());
}

// Windows of an earlier demo or of openbox can vanish while the tree is
// searched; this process has no Quarn connection, so ignoring errors is safe.
int ignore_x_errors(Display*, XErrorEvent*) { return 0; }

class DemoTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { XSetErrorHandler(ignore_x_errors); }
    void SetUp() override {
        client.point_on_screen(5, 1000);  // away from where openbox places the frames
    }
    // Starts the demo and waits until both frames are on screen.
    void start() {
        demo = std::make_unique<Demo>();
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (std::chrono::steady_clock::now() < deadline && !(frame1 && frame2)) {
            frame1 = client.find_by_title("frame1");
            frame2 = client.find_by_title("frame2");
            if (!(frame1 && frame2)) poll(nullptr, 0, 20);
        }
        ASSERT_TRUE(frame1 && frame2) << "the demo's frames did not appear";
        ASSERT_TRUE(client.wait_viewable(frame1));
        ASSERT_TRUE(client.wait_viewable(frame2));
    }
    // Asks openbox to close `window`, as its close button does.
    void close_through_window_manager(Window window) {
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.message_type = XInternAtom(client.display(), "_NET_CLOSE_WINDOW", False);
        event.xclient.format = 32;
        event.xclient.data.l[0] = CurrentTime;
        event.xclient.data.l[1] = 2;  // from a pager: a direct request of the user
        XSendEvent(client.display(), client.root(), False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
        client.sync();
    }
    // A screenshot of `window`: its pixels as 0xRRGGBB.
    std::vector<unsigned long> screenshot(Window window) {
        const XWindowAttributes attributes = client.attributes(window);
        XImage* image = XGetImage(client.display(), window, 0, 0, static_cast<unsigned>(attributes.width),
                                  static_cast<unsigned>(attributes.height), AllPlanes, ZPixmap);
        std::vector<unsigned long> pixels;
        if (!image) return pixels;
        for (int y = 0; y < attributes.height; ++y)
            for (int x = 0; x < attributes.width; ++x) pixels.push_back(XGetPixel(image, x, y) & 0xFFFFFF);
        XDestroyImage(image);
        return pixels;
    }

    XClient client;
    std::unique_ptr<Demo> demo;
    Window frame1 = 0;
    Window frame2 = 0;
};

TEST_F(DemoTest, PrintsOneLinePerInputAndEndsOnEscape) {
    start();
    // openbox holds pointer events while it handles its own click bindings,
    // so each step waits for its lines before keys can overtake it.
    client.point(frame1, 50, 60);
    ASSERT_TRUE(demo->wait_for("Frame1: Moved!"));
    client.point(frame1, 70, 80);
    ASSERT_TRUE(demo->wait_for("Frame1: Moved!", 2));
    client.click(1);
    ASSERT_TRUE(demo->wait_for("Frame1: A mouse button happened!", 2));
    client.click(4);  // the wheel prints nothing
    client.click(3);
    ASSERT_TRUE(demo->wait_for("Frame1: A mouse button happened!", 4));
    XSetInputFocus(client.display(), frame1, RevertToPointerRoot, CurrentTime);
    client.tap(XK_a);
    ASSERT_TRUE(demo->wait_for("Frame1: Key 97 pressed"));
    client.tap(XK_Escape);
    ASSERT_EQ(demo->wait_for_exit(), 0);
    EXPECT_EQ(events_of(demo->lines()), (std::vector<std::string>{
                                            "Frame1: Moved!",
                                            "Frame1: Moved!",
                                            "Frame1: A mouse button happened!",
                                            "Frame1: A mouse button happened!",
                                            "Frame1: A mouse button happened!",
                                            "Frame1: A mouse button happened!",
                                            "Frame1: Key 97 pressed",
                                            "Frame1: Key 65307 pressed",
                                        }));
}

TEST_F(DemoTest, FramesOpenWhereTheDemoPutsThem) {
    start();
    // openbox places a window's frame at the requested point; the client area
    // sits inside it by the border and title bar that _NET_FRAME_EXTENTS gives.
    const auto expect_at = [&](Window window, int x, int y) {
        Atom type = None;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        XGetWindowProperty(client.display(), window, XInternAtom(client.display(), "_NET_FRAME_EXTENTS", False), 0, 4,
                           False, XA_CARDINAL, &type, &format, &count, &after, &data);
        ASSERT_EQ(count, 4u) << "openbox sets the frame extents";
        const long* extents = reinterpret_cast<const long*>(data);  // left, right, top, bottom
        const long left = extents[0], top = extents[2];
        XFree(data);
        int root_x = 0, root_y = 0;
        Window child = None;
        XTranslateCoordinates(client.display(), window, client.root(), 0, 0, &root_x, &root_y, &child);
        EXPECT_GE(root_x, x);
        EXPECT_LE(root_x, x + left);
        EXPECT_GE(root_y, y);
        EXPECT_LE(root_y, y + top);
    };
    expect_at(frame1, 500, 300);
    expect_at(frame2, 700, 300);
    client.tap(XK_Escape);
    EXPECT_EQ(demo->wait_for_exit(), 0);
}

TEST_F(DemoTest, WindowManagerCloseOnFrame1EndsIt) {
    start();
    close_through_window_manager(frame1);
    ASSERT_EQ(demo->wait_for_exit(), 0);
    EXPECT_EQ(events_of(demo->lines()), std::vector<std::string>{"Frame1: Close pressed"});
}

TEST_F(DemoTest, WindowManagerCloseOnFrame2EndsIt) {
    start();
    close_through_window_manager(frame2);
    ASSERT_EQ(demo->wait_for_exit(), 0);
    EXPECT_EQ(events_of(demo->lines()), std::vector<std::string>{"Frame2: Close pressed"});
}

TEST_F(DemoTest, Frame2ShowsAnOpaqueRedSquareInsetFivePixels) {
    start();
    // Wait (bounded) for the first drawn picture.
    std::vector<unsigned long> pixels;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    do {
        pixels = screenshot(frame2);
    } while (std::chrono::steady_clock::now() < deadline &&
             (pixels.size() < std::size_t{200} * 200 || pixels[std::size_t{100} * 200 + 100] != 0xFF0000));
    ASSERT_EQ(pixels.size(), 200u * 200u);
    const auto at = [&](int x, int y) {
        return pixels[static_cast<std::size_t>(y) * 200u + static_cast<std::size_t>(x)];
    };
    for (int i : {5, 6, 100, 193, 194}) {
        EXPECT_EQ(at(i, 100), 0xFF0000u) << "x " << i;
        EXPECT_EQ(at(100, i), 0xFF0000u) << "y " << i;
    }
    for (int i : {0, 3, 196, 199}) {
        EXPECT_EQ(at(i, 100), 0u) << "x " << i;
        EXPECT_EQ(at(100, i), 0u) << "y " << i;
    }
    client.tap(XK_Escape);  // the focused frame ends it
    EXPECT_EQ(demo->wait_for_exit(), 0);
}

TEST_F(DemoTest, Frame1ShowsTurningTriangles) {
    start();
    const auto count = [](const std::vector<unsigned long>& pixels, unsigned long colour) {
        return std::count(pixels.begin(), pixels.end(), colour);
    };
    std::vector<unsigned long> first;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    // A screenshot can catch a swap half done under load: wait for a whole scene.
    const auto whole = [&](const std::vector<unsigned long>& pixels) {
        return count(pixels, 0xFF00FF) > 2000 && count(pixels, 0xFF0000) > 500;
    };
    do {
        first = screenshot(frame1);
    } while (std::chrono::steady_clock::now() < deadline && !whole(first));
    // The opaque magenta and red triangles each cover about an eighth of the area.
    EXPECT_GT(count(first, 0xFF00FF), 2000);
    EXPECT_GT(count(first, 0xFF0000), 500);
    std::vector<unsigned long> later;
    do {
        later = screenshot(frame1);
    } while (std::chrono::steady_clock::now() < deadline && later == first);
    EXPECT_NE(later, first) << "the picture does not move";
    client.tap(XK_Escape);
    EXPECT_EQ(demo->wait_for_exit(), 0);
}

TEST(DemoWithoutDisplay, SaysSoAndFails) {
    Demo demo(":4093");
    EXPECT_EQ(demo.wait_for_exit(), 1);
    EXPECT_EQ(demo.lines(), std::vector<std::string>{"Quarn: Cannot open display (cannot connect to X server)!"});
}

}  // namespace
