#include <gtest/gtest.h>

#include <GL/gl.h>
#include <X11/extensions/XTest.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <future>
#include <iterator>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "quarn/context.h"
#include "quarn/flags.h"
#include "quarn/init.h"
#include "quarn/input/events/helpers.h"
#include "quarn/testing/testing.h"
#include "tests/support/capture.h"
#include "tests/support/fixture.h"
#include "tests/support/recording_frame.h"

// The test kit itself: servers, close requests, the bounded pump, captures,
// PNG files and golden comparison.
namespace {

using Quarn::Testing::Image;
using Quarn::Testing::Rgba;
using quarn_test::RecordingFrame;

bool exists(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0;
}

// A scratch folder for image files, removed with everything in it.
class Scratch {
public:
    Scratch() {
        char pattern[] = "/tmp/quarn-kit-XXXXXX";
        path = mkdtemp(pattern);
    }
    ~Scratch() { std::system(("rm -rf " + path).c_str()); }
    std::string operator/(const std::string& name) const { return path + "/" + name; }
    std::string path;
};

const Rgba kRed{255, 0, 0, 255};
const Rgba kBlue{0, 0, 255, 255};

TEST(Images, PngFilesKeepEveryPixel) {
    Scratch scratch;
    Image image(3, 2, kRed);
    image.set_pixel(2, 1, Rgba{1, 2, 3, 4});
    image.save_png(scratch / "a.png");
    const Image loaded = Image::load_png(scratch / "a.png");
    ASSERT_EQ(loaded.width(), 3);
    ASSERT_EQ(loaded.height(), 2);
    EXPECT_EQ(loaded.pixel(0, 0), kRed);
    EXPECT_EQ(loaded.pixel(2, 1), (Rgba{1, 2, 3, 4}));
    EXPECT_THROW(loaded.pixel(3, 0), std::out_of_range);
    EXPECT_THROW(loaded.pixel(0, -1), std::out_of_range);
    EXPECT_THROW(Image::load_png(scratch / "missing.png"), std::runtime_error);
    EXPECT_THROW(Image(-1, 4), std::invalid_argument);
}

TEST(Images, CompareCountsPixelsBeyondTheToleranceAndShowsThem) {
    Scratch scratch;
    const std::string golden = scratch / "scene.png";
    Image(4, 4, kBlue).save_png(golden);

    EXPECT_EQ(Quarn::Testing::compare(Image(4, 4, kBlue), golden, 0), 0);
    EXPECT_FALSE(exists(scratch / "scene.actual.png"));

    Image changed(4, 4, kBlue);
    changed.set_pixel(1, 2, Rgba{0, 0, 250, 255});  // within a tolerance of 5
    changed.set_pixel(3, 3, kRed);
    EXPECT_EQ(Quarn::Testing::compare(changed, golden, 5), 1);
    EXPECT_EQ(Quarn::Testing::compare(changed, golden, 4), 2);
    const Image diff = Image::load_png(scratch / "scene.diff.png");
    EXPECT_EQ(diff.pixel(3, 3), kRed);
    EXPECT_EQ(diff.pixel(1, 2), kRed);
    EXPECT_NE(diff.pixel(0, 0), kRed);
    EXPECT_EQ(Image::load_png(scratch / "scene.actual.png").pixel(3, 3), kRed);

    EXPECT_EQ(Quarn::Testing::compare(Image(2, 4, kBlue), golden, 255), 16) << "a size change counts every pixel";
}

TEST(Images, UpdatingWritesTheGoldenAndAMissingGoldenIsAnError) {
    Scratch scratch;
    const std::string golden = scratch / "new.png";
    EXPECT_THROW(Quarn::Testing::compare(Image(2, 2, kRed), golden, 0), std::runtime_error);
    EXPECT_TRUE(exists(scratch / "new.actual.png")) << "the run shows what it got";
    setenv("QUARN_UPDATE_GOLDEN", "1", 1);
    EXPECT_EQ(Quarn::Testing::compare(Image(2, 2, kRed), golden, 0), 0);
    unsetenv("QUARN_UPDATE_GOLDEN");
    EXPECT_EQ(Image::load_png(golden).pixel(1, 1), kRed);
    EXPECT_EQ(Quarn::Testing::compare(Image(2, 2, kRed), golden, 0), 0);
}

// The PNG chunk checksum (CRC-32 as ISO 3309), bit by bit.
std::uint32_t crc32(const unsigned char* data, std::size_t size) {
    std::uint32_t crc = 0xffffffffu;
    for (std::size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

// A valid 1 x 1 PNG whose header is then made to claim `width` x `height`.
void write_claiming_png(const std::string& path, std::uint32_t width, std::uint32_t height) {
    Image(1, 1, kRed).save_png(path);
    std::ifstream in(path, std::ios::binary);
    std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // Signature (8), IHDR length (4), "IHDR" (4) at 12, width at 16, height at 20, CRC at 29.
    for (int i = 0; i < 4; ++i) {
        bytes[16 + i] = static_cast<unsigned char>(width >> (24 - 8 * i));
        bytes[20 + i] = static_cast<unsigned char>(height >> (24 - 8 * i));
    }
    const std::uint32_t crc = crc32(&bytes[12], 17);
    for (int i = 0; i < 4; ++i) bytes[29 + i] = static_cast<unsigned char>(crc >> (24 - 8 * i));
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

TEST(Images, EmptyAndAbsurdImagesAreCountedOrRefusedAsUnreadable) {
    Scratch scratch;
    Image(2, 2, kRed).save_png(scratch / "small.png");
    EXPECT_EQ(Quarn::Testing::compare(Image(0, 0), scratch / "small.png", 0), 4);
    EXPECT_TRUE(exists(scratch / "small.diff.png"));
    // A header claiming a million by a million pixels is not allocated; the
    // comparison reports the golden as unreadable (and frees libpng's state).
    write_claiming_png(scratch / "huge.png", 1000000, 1000000);
    try {
        Quarn::Testing::compare(Image(1, 1, kRed), scratch / "huge.png", 0);
        ADD_FAILURE() << "an unreadable golden compared";
    } catch (const std::runtime_error& error) {
        EXPECT_NE(std::string(error.what()).find("too large"), std::string::npos) << error.what();
    }
}

class Kit : public quarn_test::LibraryTest {
protected:
    std::vector<quarn_test::Call> log;
};

// Red on the left half, blue on the right.
class HalvesFrame : public RecordingFrame {
public:
    using RecordingFrame::RecordingFrame;
    void callback_draw() override {
        glEnable(GL_SCISSOR_TEST);
        glScissor(0, 0, 40, 60);
        glClearColor(1, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        glScissor(40, 0, 40, 60);
        glClearColor(0, 0, 1, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        glDisable(GL_SCISSOR_TEST);
    }
};

TEST_F(Kit, CaptureReadsWhatTheFrameShows) {
    HalvesFrame frame(log);
    frame.set_size(80, 60);
    frame.set_position(100, 100);
    EXPECT_FALSE(Quarn::Testing::wait_shown(frame, std::chrono::milliseconds(100))) << "not shown yet";
    frame.set_show(true, 0);
    std::unique_ptr<Quarn::Context::Context> context;
    {
        quarn_test::StdoutCapture quiet;
        context = std::make_unique<Quarn::Context::Context>(2, 1);
    }
    context->set_target(&frame);
    frame.draw();
    const Image image = Quarn::Testing::capture(frame);
    ASSERT_EQ(image.width(), 80);
    ASSERT_EQ(image.height(), 60);
    EXPECT_EQ(image.pixel(0, 0), kRed);
    EXPECT_EQ(image.pixel(39, 59), kRed);
    EXPECT_EQ(image.pixel(40, 0), kBlue);
    EXPECT_EQ(image.pixel(79, 59), kBlue);

    // Partly beyond the screen the server cannot read it: an exception, not
    // an X error that ends the process.
    frame.set_position(1250, 100);
    EXPECT_THROW(Quarn::Testing::capture(frame), std::runtime_error);
    context->set_target(nullptr);
}

TEST_F(Kit, AClickIsPrecededByAMotionAtItsPointEvenWhenThePointerRestsThere) {
    Quarn::Testing::Input input;
    // The pointer rests where the frame will appear: it gets no motion of its own.
    XTestFakeMotionEvent(input.display(), 0, 130, 140, CurrentTime);
    XSync(input.display(), False);
    RecordingFrame frame(log);
    frame.set_size(100, 100);
    frame.set_position(100, 100);
    frame.set_show(true, 0);
    ASSERT_TRUE(Quarn::Testing::wait_shown(frame));
    Quarn::Input::Events::handle();
    input.click(frame, 30, 40);
    ASSERT_TRUE(
        Quarn::Testing::pump_until([&] { return !quarn_test::calls_at(log, "EventMouseButtonLeftUp").empty(); }));
    const auto presses = quarn_test::calls_at(log, "EventMouseButtonLeftDown");
    ASSERT_EQ(presses.size(), 1u);
    EXPECT_EQ(presses[0].position[0], 30);
    EXPECT_EQ(presses[0].position[1], 40);
    // Once the frame knows the point, a second click there adds no motion.
    log.clear();
    input.click(frame, 30, 40);
    ASSERT_TRUE(
        Quarn::Testing::pump_until([&] { return !quarn_test::calls_at(log, "EventMouseButtonLeftUp").empty(); }));
    EXPECT_TRUE(quarn_test::calls_at(log, "EventMouseMove").empty());
}

TEST_F(Kit, TypeGivesCharactersTheKeymapLacksExactlyAsAsked) {
    RecordingFrame frame(log);
    frame.set_size(100, 100);
    frame.set_position(100, 100);
    frame.set_show(true, 0);
    frame.set_report(Quarn::Flags::Report::TEXT);
    Quarn::Testing::Input input;
    // None is on Xvfb's US keymap: each goes on a spare keycode, the capitals
    // too (a lone symbol there stands for its lower case without Shift).
    const std::string asked = "\u00c9\u00c0\u00e9\u00e0\u01c4";
    input.type(frame, asked);
    ASSERT_TRUE(Quarn::Testing::pump_until([&] { return quarn_test::calls_at(log, "EventText").size() == 5; }));
    std::string typed;
    for (const quarn_test::Call& call : quarn_test::calls_at(log, "EventText")) typed += call.text;
    EXPECT_EQ(typed, asked);
}

TEST_F(Kit, CloseSendsTheWindowManagersRequest) {
    RecordingFrame frame(log);
    Quarn::Testing::Input input;
    input.close(frame);
    EXPECT_TRUE(Quarn::Testing::pump_until([&] { return !quarn_test::calls_at(log, "EventFrameClose").empty(); }));
}

TEST_F(Kit, PumpUntilStopsAtTheTimeout) {
    const auto start = std::chrono::steady_clock::now();
    int rounds = 0;
    EXPECT_FALSE(Quarn::Testing::pump_until([&] { return ++rounds < 0; }, std::chrono::milliseconds(100)));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(100));
    EXPECT_LT(rounds, 100) << "it waits between rounds instead of spinning";
    EXPECT_TRUE(Quarn::Testing::pump_until([] { return true; }, std::chrono::milliseconds(0)));
    // The natural "no limit" does not overflow into a deadline in the past:
    // the close request sent after the first round is still waited for.
    RecordingFrame frame(log);
    Quarn::Testing::Input input;
    rounds = 0;
    EXPECT_TRUE(Quarn::Testing::pump_until(
        [&] {
            if (++rounds == 1) input.close(frame);
            return !quarn_test::calls_at(log, "EventFrameClose").empty();
        },
        std::chrono::milliseconds::max()));
}

TEST_F(Kit, InputGoesToTheServerQuarnIsConnectedTo) {
    const std::string display = std::getenv("DISPLAY");
    setenv("DISPLAY", ":9999", 1);  // somewhere else, as before a Server is made
    std::unique_ptr<Quarn::Testing::Input> input;
    EXPECT_NO_THROW(input = std::make_unique<Quarn::Testing::Input>());
    setenv("DISPLAY", display.c_str(), 1);
    ASSERT_TRUE(input);
    RecordingFrame frame(log);
    input->close(frame);
    EXPECT_TRUE(Quarn::Testing::pump_until([&] { return !quarn_test::calls_at(log, "EventFrameClose").empty(); }));
}

// The display name's X server accepts connections.
bool reachable(const std::string& display) {
    Display* connection = XOpenDisplay(display.c_str());
    if (connection) XCloseDisplay(connection);
    return connection != nullptr;
}

TEST(Servers, StartWhatTheyAreAskedForAndStopIt) {
    const std::string outer = std::getenv("DISPLAY");
    std::string inner;
    {
        Quarn::Testing::ServerOptions options;
        options.width = 640;
        options.height = 480;
        options.window_manager = true;
        const Quarn::Testing::Server server(options);
        inner = server.display();
        EXPECT_NE(inner, outer);
        EXPECT_EQ(std::getenv("DISPLAY"), inner);
        Display* connection = XOpenDisplay(nullptr);
        ASSERT_NE(connection, nullptr);
        EXPECT_EQ(DisplayWidth(connection, 0), 640);
        EXPECT_EQ(DisplayHeight(connection, 0), 480);
        Atom type = None;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        XGetWindowProperty(connection, DefaultRootWindow(connection),
                           XInternAtom(connection, "_NET_SUPPORTING_WM_CHECK", False), 0, 1, False, AnyPropertyType,
                           &type, &format, &count, &after, &data);
        if (data) XFree(data);
        EXPECT_EQ(count, 1u) << "openbox manages the screen";
        XCloseDisplay(connection);
    }
    EXPECT_EQ(std::getenv("DISPLAY"), outer);
    EXPECT_FALSE(reachable(inner)) << "the server was stopped";
}

TEST(Servers, AServerMadeInAnotherThreadLivesUntilItIsDestroyed) {
    const std::string outer = std::getenv("DISPLAY");
    auto server = std::async(std::launch::async, [] { return std::make_unique<Quarn::Testing::Server>(); }).get();
    // The thread that made it has ended.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_TRUE(reachable(server->display()));
    const std::string inner = server->display();
    server.reset();
    EXPECT_FALSE(reachable(inner));
    EXPECT_EQ(std::getenv("DISPLAY"), outer);
}

TEST(Servers, AReplacedServerLeavesDisplayNamingTheLiveOne) {
    const std::string outer = std::getenv("DISPLAY");
    auto server = std::make_unique<Quarn::Testing::Server>();
    server = std::make_unique<Quarn::Testing::Server>();  // built before the first is destroyed
    EXPECT_EQ(std::getenv("DISPLAY"), server->display());
    EXPECT_TRUE(reachable(std::getenv("DISPLAY")));
    server.reset();
    EXPECT_EQ(std::getenv("DISPLAY"), outer);
}

void ignore_signal(int) {}

TEST(Servers, StartAndStopWhileSignalsArrive) {
    struct sigaction action {};
    action.sa_handler = ignore_signal;  // no SA_RESTART: calls return EINTR
    struct sigaction saved {};
    sigaction(SIGALRM, &action, &saved);
    const itimerval every_ms{{0, 1000}, {0, 1000}};
    setitimer(ITIMER_REAL, &every_ms, nullptr);
    std::string inner;
    EXPECT_NO_THROW({
        const Quarn::Testing::Server server;
        inner = server.display();
    });
    const itimerval off{};
    setitimer(ITIMER_REAL, &off, nullptr);
    sigaction(SIGALRM, &saved, nullptr);
    EXPECT_FALSE(inner.empty());
    EXPECT_FALSE(reachable(inner));
}

// Runs quarn-test-server with `arguments`, with SIGCHLD ignored when asked and
// `preload` in LD_PRELOAD; its exit status, or -1 when it has not ended in 20 s.
int run_test_server(const std::vector<std::string>& arguments, bool ignore_sigchld, const char* preload = nullptr) {
    std::vector<char*> argv{const_cast<char*>(QUARN_TEST_SERVER_PATH)};
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        if (ignore_sigchld) std::signal(SIGCHLD, SIG_IGN);
        if (preload) {
            setenv("LD_PRELOAD", preload, 1);
            setenv("ASAN_OPTIONS", "verify_asan_link_order=0:detect_leaks=0", 1);
        }
        execv(argv[0], argv.data());
        _exit(126);
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    int status = 0;
    while (waitpid(child, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(child, SIGKILL);
            waitpid(child, nullptr, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

TEST(TestServerCommand, EndsWithTheCommandsStatusWhenSigchldIsIgnoredOrForkFails) {
    EXPECT_EQ(run_test_server({"sh", "-c", "exit 3"}, false), 3);
    EXPECT_EQ(run_test_server({"sh", "-c", "exit 3"}, true), 3) << "-1: it spun on ECHILD";
    EXPECT_EQ(run_test_server({"true"}, false, FAIL_SECOND_FORK_PATH), 1) << "-1: it waited for the server";
}

TEST(Servers, AGivenDisplayIsUsedAndNothingStarted) {
    const std::string outer = std::getenv("DISPLAY");
    setenv("QUARN_TEST_DISPLAY", outer.c_str(), 1);
    {
        const Quarn::Testing::Server server;
        EXPECT_EQ(server.display(), outer);
    }
    unsetenv("QUARN_TEST_DISPLAY");
    EXPECT_TRUE(reachable(outer)) << "a given server is not stopped";
}

}  // namespace
