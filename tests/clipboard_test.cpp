#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/keysym.h>
#include <poll.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "quarn/clipboard.h"
#include "quarn/init.h"
#include "quarn/input/events/helpers.h"
#include "tests/support/fixture.h"
#include "tests/support/recording_frame.h"
#include "tests/support/x_client.h"

// The clipboard against other clients of the test's own: an owner (on a
// thread, since reading blocks the library) and a reader (between pumps).
namespace {

using quarn_test::Call;
using quarn_test::RecordingFrame;

Atom atom(Display* display, const char* name) { return XInternAtom(display, name, False); }

// Another application that puts `data` on the clipboard as `type` (and
// answers only for that), sending it in pieces of `piece` bytes through INCR
// when it is larger. One that does not answer never reads its connection.
class Owner {
public:
    Owner(std::string data, const char* type, std::size_t piece, bool answers = true)
        : display_(quarn_test::open_display()), data_(std::move(data)), piece_(piece) {
        type_ = atom(display_, type);
        window_ = XCreateSimpleWindow(display_, DefaultRootWindow(display_), 0, 0, 1, 1, 0, 0, 0);
        XSetSelectionOwner(display_, atom(display_, "CLIPBOARD"), window_, CurrentTime);
        XSync(display_, False);
        if (answers) thread_ = std::thread([this] { serve(); });
    }
    ~Owner() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        XCloseDisplay(display_);
    }

private:
    void serve() {
        while (!stop_) {
            while (XPending(display_)) {
                XEvent event;
                XNextEvent(display_, &event);
                if (event.type == SelectionRequest) answer(event.xselectionrequest);
                if (event.type == PropertyNotify && event.xproperty.state == PropertyDelete &&
                    event.xproperty.window == requestor_ && event.xproperty.atom == property_)
                    next_piece();
            }
            pollfd connection{ConnectionNumber(display_), POLLIN, 0};
            poll(&connection, 1, 10);
        }
    }
    void answer(const XSelectionRequestEvent& request) {
        XEvent reply{};
        reply.xselection = {SelectionNotify, 0,    True,        display_, request.requestor, request.selection,
                            request.target,  None, request.time};
        if (request.target == type_) {
            reply.xselection.property = request.property;
            if (data_.size() <= piece_) {
                XChangeProperty(display_, request.requestor, request.property, type_, 8, PropModeReplace,
                                reinterpret_cast<const unsigned char*>(data_.data()), static_cast<int>(data_.size()));
            } else {
                requestor_ = request.requestor;
                property_ = request.property;
                sent_ = 0;
                XSelectInput(display_, requestor_, PropertyChangeMask);
                const long size = static_cast<long>(data_.size());
                XChangeProperty(display_, requestor_, property_, atom(display_, "INCR"), 32, PropModeReplace,
                                reinterpret_cast<const unsigned char*>(&size), 1);
            }
        }
        XSendEvent(display_, request.requestor, False, NoEventMask, &reply);
        XFlush(display_);
    }
    void next_piece() {
        const std::size_t piece = std::min(piece_, data_.size() - sent_);
        XChangeProperty(display_, requestor_, property_, type_, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(data_.data() + sent_), static_cast<int>(piece));
        sent_ += piece;
        if (piece == 0) requestor_ = None;
        XFlush(display_);
    }

    Display* display_;
    std::string data_;
    std::size_t piece_;
    Atom type_ = None;
    Window window_ = None;
    Window requestor_ = None;
    Atom property_ = None;
    std::size_t sent_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// What another application reads from the clipboard when it asks for
// `target`: the type of the answer (empty when refused), its bytes, and
// whether it came in pieces. The library's pump runs while it waits.
struct Answer {
    std::string type;
    std::string bytes;
    bool in_pieces = false;
};

class Clipboard : public quarn_test::ClientTest {
protected:
    void SetUp() override {
        ClientTest::SetUp();
        Display* display = client->display();
        reader_ = XCreateSimpleWindow(display, client->root(), 0, 0, 1, 1, 0, 0, 0);
        XSelectInput(display, reader_, PropertyChangeMask);
    }

    // Asks for the clipboard; `on_incr` runs once the INCR notice is read
    // (and may end the transfer by returning false).
    Answer read(
        const char* target, const std::function<bool()>& on_incr = [] { return true; }) {
        Display* display = client->display();
        const Atom property = atom(display, "READ_HERE");
        XConvertSelection(display, atom(display, "CLIPBOARD"), atom(display, target), property, reader_, CurrentTime);
        XFlush(display);
        Answer answer;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < deadline) {
            Quarn::Input::Events::handle();
            while (XPending(display)) {
                XEvent event;
                XNextEvent(display, &event);
                const bool answered = event.type == SelectionNotify && !answer.in_pieces;
                if (answered && event.xselection.property == None) return answer;
                const bool piece = event.type == PropertyNotify && answer.in_pieces &&
                                   event.xproperty.state == PropertyNewValue && event.xproperty.atom == property;
                if (!answered && !piece) continue;
                Atom type = None;
                int format = 0;
                unsigned long count = 0, after = 0;
                unsigned char* data = nullptr;
                XGetWindowProperty(display, reader_, property, 0, 1 << 24, True, AnyPropertyType, &type, &format,
                                   &count, &after, &data);
                const std::string bytes(reinterpret_cast<char*>(data), format == 8 ? count : 0);
                std::vector<Atom> forms;
                if (type == XA_ATOM) forms.assign(reinterpret_cast<Atom*>(data), reinterpret_cast<Atom*>(data) + count);
                if (data) XFree(data);
                if (answered && type == atom(display, "INCR")) {
                    answer.in_pieces = true;
                    if (!on_incr()) return answer;
                } else if (answered && type == XA_ATOM) {
                    answer.type = "ATOM";
                    for (Atom form : forms) answer.bytes += name(form) + " ";
                    return answer;
                } else if (type != None) {
                    answer.type = name(type);
                    answer.bytes += bytes;
                    if (answered || bytes.empty()) return answer;
                }
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        ADD_FAILURE() << "no answer for " << target;
        return answer;
    }

    std::string name(Atom atom_) {
        char* text = XGetAtomName(client->display(), atom_);
        std::string result = text;
        XFree(text);
        return result;
    }

    Window reader_ = None;
};

std::string large_text() {
    std::string text;
    for (int i = 0; text.size() < (1u << 20); ++i) text += "line " + std::to_string(i) + " — größer\n";
    return text;
}

TEST_F(Clipboard, OtherClientsReadTheTextInEachFormOffered) {
    const std::string text = "Grüße 😀";
    Quarn::set_clipboard(text);
    const Answer targets = read("TARGETS");
    EXPECT_EQ(targets.type, "ATOM");
    for (const char* form : {"TARGETS ", "UTF8_STRING ", "STRING ", "TEXT "})
        EXPECT_NE(targets.bytes.find(form), std::string::npos) << form;

    const Answer utf8 = read("UTF8_STRING");
    EXPECT_EQ(utf8.type, "UTF8_STRING");
    EXPECT_EQ(utf8.bytes, text);
    EXPECT_EQ(read("TEXT").bytes, text);
    const Answer latin1 = read("STRING");
    EXPECT_EQ(latin1.type, "STRING");
    EXPECT_EQ(latin1.bytes,
              "Gr\xFC\xDF"
              "e ?")
        << "Latin-1, with what it cannot hold as '?'";
    EXPECT_EQ(read("image/png").type, "") << "a form not offered is refused";
}

TEST_F(Clipboard, AMebibyteGoesBothWaysInPieces) {
    const std::string text = large_text();
    Quarn::set_clipboard(text);
    const Answer answer = read("UTF8_STRING");
    EXPECT_TRUE(answer.in_pieces);
    EXPECT_EQ(answer.bytes.size(), text.size());
    EXPECT_TRUE(answer.bytes == text);

    Owner owner(text, "UTF8_STRING", std::size_t{64} * 1024);
    const std::string read_back = Quarn::get_clipboard();
    EXPECT_EQ(read_back.size(), text.size());
    EXPECT_TRUE(read_back == text);
}

// Two large texts read at once into one window, UTF-8 and the shorter
// Latin-1: the first to end must not stop the library watching the window
// for the other's pieces.
TEST_F(Clipboard, TwoTransfersToOneWindowBothFinish) {
    const std::string text = large_text();
    Quarn::set_clipboard(text);
    Display* display = client->display();
    const Atom properties[2] = {atom(display, "FIRST"), atom(display, "SECOND")};
    const Atom incr = atom(display, "INCR");
    const Atom targets[2] = {atom(display, "UTF8_STRING"), XA_STRING};
    for (int i = 0; i < 2; ++i)
        XConvertSelection(display, atom(display, "CLIPBOARD"), targets[i], properties[i], reader_, CurrentTime);
    XFlush(display);
    std::string read_back[2];
    bool done[2] = {false, false};
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!(done[0] && done[1]) && std::chrono::steady_clock::now() < deadline) {
        Quarn::Input::Events::handle();
        while (XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type != PropertyNotify || event.xproperty.state != PropertyNewValue) continue;
            const int which = event.xproperty.atom == properties[0]   ? 0
                              : event.xproperty.atom == properties[1] ? 1
                                                                      : -1;
            if (which < 0) continue;
            Atom type = None;
            int format = 0;
            unsigned long count = 0, after = 0;
            unsigned char* data = nullptr;
            XGetWindowProperty(display, reader_, properties[which], 0, 1 << 24, True, AnyPropertyType, &type, &format,
                               &count, &after, &data);
            if (type != incr && type != None) {
                read_back[which].append(reinterpret_cast<char*>(data), count);
                done[which] = count == 0;
            }
            if (data) XFree(data);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_TRUE(done[0] && done[1]);
    EXPECT_TRUE(read_back[0] == text);
    const auto lines = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
    EXPECT_EQ(read_back[1].size(), text.size() - 4 * lines)
        << "each line's three characters beyond ASCII, 7 bytes of UTF-8, are 3 of Latin-1";
}

TEST_F(Clipboard, ARequestorThatGoesAwayMidTransferDoesNotEndTheApplication) {
    Quarn::set_clipboard(large_text());
    Display* display = client->display();
    const Answer first = read("UTF8_STRING", [&] {
        // Asks for the next piece, then goes before the library writes it.
        XDestroyWindow(display, reader_);
        XSync(display, False);
        return false;
    });
    EXPECT_TRUE(first.in_pieces);
    Quarn::Input::Events::handle();
    XSync(Quarn::_quarn_display, False);
    Quarn::Input::Events::handle();

    reader_ = XCreateSimpleWindow(display, client->root(), 0, 0, 1, 1, 0, 0, 0);
    XSelectInput(display, reader_, PropertyChangeMask);
    Quarn::set_clipboard("still here");
    EXPECT_EQ(read("UTF8_STRING").bytes, "still here");
}

TEST_F(Clipboard, ReadsOtherOwnersAndStopsServingOnceOneTakesIt) {
    EXPECT_EQ(Quarn::get_clipboard(), "") << "no owner";
    Quarn::set_clipboard("mine");
    EXPECT_EQ(Quarn::get_clipboard(), "mine");
    {
        Owner owner("theirs", "UTF8_STRING", 1 << 20);
        Quarn::Input::Events::handle();  // the library learns it lost the selection
        XSync(Quarn::_quarn_display, False);
        Quarn::Input::Events::handle();
        EXPECT_EQ(Quarn::get_clipboard(), "theirs");
    }
    Owner latin1(
        "Gr\xFC\xDF"
        "e",
        "STRING", 1 << 20);
    EXPECT_EQ(Quarn::get_clipboard(), "Grüße") << "STRING, where UTF8_STRING is refused";
}

TEST_F(Clipboard, EventsQueuedWhileReadingReachTheFrameAfterwardsInOrder) {
    std::vector<Call> log;
    RecordingFrame frame(log);
    frame.set_show(true, 0);
    XFlush(Quarn::_quarn_display);
    ASSERT_TRUE(client->wait_viewable(frame._quarn_backing->window));
    client->focus_and_point(frame._quarn_backing->window);
    quarn_test::settle(*client);
    log.clear();

    Owner silent("never sent", "UTF8_STRING", 1 << 20, false);
    client->tap(XK_a);
    client->tap(XK_b);
    client->sync();
    EXPECT_EQ(Quarn::get_clipboard(), "") << "an owner that never answers";
    EXPECT_TRUE(log.empty()) << "nothing is dispatched while reading";
    Quarn::Input::Events::handle();
    std::vector<unsigned int> keys;
    for (const Call& call : log)
        if (call.level == "EventKeyDown" || call.level == "EventKeyUp") keys.push_back(call.key);
    EXPECT_EQ(keys, (std::vector<unsigned int>{XK_a, XK_a, XK_b, XK_b}));
}

}  // namespace
