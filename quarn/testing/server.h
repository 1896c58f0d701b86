#pragma once

#include <sys/types.h>

#include <string>

namespace Quarn {
namespace Testing {

/// What a Server starts.
struct ServerOptions {
    int width = 1280;             ///< Screen width in pixels.
    int height = 1024;            ///< Screen height in pixels.
    bool window_manager = false;  ///< Also run openbox, so frames are decorated and placed as on a desktop.
};

/// A private X server for the object's lifetime: Xvfb (with Mesa's software
/// GLX), optionally with openbox, and $DISPLAY pointing at it. Create it
/// before Quarn::init(), in any thread: the server lives until the Server is
/// destroyed or the process ends. The destructor stops everything it started
/// and puts $DISPLAY back (when servers are replaced, it keeps naming the
/// live one); if the test process dies instead, the server follows it.
/// When QUARN_TEST_DISPLAY is set, that display is used and nothing is started.
///
///     Quarn::Testing::Server server;   // $DISPLAY is now a fresh Xvfb
///     Quarn::init();
///
/// Throws std::runtime_error when Xvfb or openbox cannot be started.
class Server {
public:
    /// Xvfb with a 1280 x 1024 screen, no window manager.
    Server();
    /// Xvfb with the screen and window manager of `options`.
    explicit Server(const ServerOptions& options);
    ~Server();
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    /// The display name, such as ":3".
    const std::string& display() const { return display_; }

private:
    void start_xvfb(const ServerOptions& options);
    void start_window_manager();
    void stop();
    void name_display();
    void restore_display();

    std::string display_;
    pid_t xvfb_ = -1;
    pid_t window_manager_ = -1;
};

}  // namespace Testing
}  // namespace Quarn
