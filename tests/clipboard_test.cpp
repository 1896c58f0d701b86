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
#include "tests/support/memory.h"
#include "tests/support/recording_frame.h"
#include "tests/support/x_client.h"

// The clipboard against other clients of the test's own: an owner (on a
// thread, since reading blocks the library) and a reader (between pumps).
namespace {

using quarn_test::Call;
using quarn_test::RecordingFrame;

Atom atom(Display* display, const char* name) { return XInternAtom(display, name, False); }

using namespace std::chrono_literals;

// How long the library lets a transfer wait for its requestor to take the
// next piece, and a little more.
constexpr auto kTransferDropped = 5s + 500ms;

// How an Owner sends a large text: a pause before each piece, and the size
// its INCR notice announces (the text's own where negative).
struct Pace {
    std::chrono::milliseconds pause{0};
    long announced = -1;
};

// Another application that puts `data` on the clipboard as `type` (and
// answers only for that), sending it in pieces of `piece` bytes through INCR
// when it is larger. One that does not answer never reads its connection.
class Owner {
public:
    Owner(std::string data, const char* type, std::size_t piece, bool answers = true, Pace pace = {})
        : display_(quarn_test::open_display()), data_(std::move(data)), piece_(piece), pace_(pace) {
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

    // How often a reader asked for a piece of a large text by deleting the
    // property, the deletion of the INCR notice included.
    int pieces_asked() const { return asked_; }

private:
    void serve() {
        auto due = std::chrono::steady_clock::time_point::max();
        while (!stop_) {
            while (XPending(display_)) {
                XEvent event;
                XNextEvent(display_, &event);
                if (event.type == SelectionRequest) answer(event.xselectionrequest);
                if (event.type == PropertyNotify && event.xproperty.state == PropertyDelete &&
                    event.xproperty.window == requestor_ && event.xproperty.atom == property_) {
                    ++asked_;
                    due = std::chrono::steady_clock::now() + pace_.pause;
                }
            }
            if (std::chrono::steady_clock::now() >= due) {
                due = std::chrono::steady_clock::time_point::max();
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
                const long size = pace_.announced < 0 ? static_cast<long>(data_.size()) : pace_.announced;
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
    Pace pace_;
    Atom type_ = None;
    Window window_ = None;
    Window requestor_ = None;
    Atom property_ = None;
    std::size_t sent_ = 0;
    std::atomic<int> asked_{0};
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// What another application reads from the clipboard when it asks for
// `target`: the type of the answer (empty when refused), its bytes, and
// whether it came in pieces. The library's pump runs while it waits.
struct Answer {
    std::string type;
    std::string bytes;
    std::vector<long> items;  // of an answer in 32-bit items
    bool in_pieces = false;
};

// A window property as a client reads it: 8-bit data as bytes, 32-bit data
// as the longs Xlib hands out.
struct Property {
    Atom type = None;
    std::string bytes;
    std::vector<long> items;
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
                const Property read = take(property);
                if (answered && read.type == atom(display, "INCR")) {
                    answer.in_pieces = true;
                    if (!on_incr()) return answer;
                } else if (answered && read.type == XA_ATOM) {
                    answer.type = "ATOM";
                    for (long form : read.items) answer.bytes += name(static_cast<Atom>(form)) + " ";
                    return answer;
                } else if (read.type != None) {
                    answer.type = name(read.type);
                    answer.bytes += read.bytes;
                    answer.items = read.items;
                    if (answered || read.bytes.empty()) return answer;
                }
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        ADD_FAILURE() << "no answer for " << target;
        return answer;
    }

    // Reads the reader's `property`, and deletes it.
    Property take(Atom property) {
        Property read;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        XGetWindowProperty(client->display(), reader_, property, 0, 1 << 24, True, AnyPropertyType, &read.type, &format,
                           &count, &after, &data);
        if (format == 8) read.bytes.assign(reinterpret_cast<char*>(data), count);
        if (format == 32) read.items.assign(reinterpret_cast<long*>(data), reinterpret_cast<long*>(data) + count);
        if (data) XFree(data);
        return read;
    }

    // Asks for the clipboard as `target` into `property` and runs the
    // library's pump until the answer comes: the property it names.
    Atom convert(const char* target, Atom property, Window into = None) {
        Display* display = client->display();
        if (into == None) into = reader_;
        XConvertSelection(display, atom(display, "CLIPBOARD"), atom(display, target), property, into, CurrentTime);
        XFlush(display);
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        XEvent event;
        while (std::chrono::steady_clock::now() < deadline) {
            quarn_test::settle(*client);
            if (XCheckTypedWindowEvent(display, into, SelectionNotify, &event)) return event.xselection.property;
            std::this_thread::sleep_for(1ms);
        }
        ADD_FAILURE() << "no answer for " << target;
        return None;
    }

    // The X server's time now, from a change of one of the reader's properties.
    Time server_time() {
        Display* display = client->display();
        const Atom now = atom(display, "NOW");
        XChangeProperty(display, reader_, now, XA_STRING, 8, PropModeAppend, nullptr, 0);
        XEvent event;
        do XWindowEvent(display, reader_, PropertyChangeMask, &event);
        while (event.xproperty.atom != now);
        return event.xproperty.time;
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

// Runs the library's pump as an application's loop would, for `span`.
void pump_for(std::chrono::steady_clock::duration span) {
    const auto end = std::chrono::steady_clock::now() + span;
    while (std::chrono::steady_clock::now() < end) {
        Quarn::Input::Events::handle();
        std::this_thread::sleep_for(10ms);
    }
}

// The events `window` selects on the library's connection.
long library_mask(Window window) {
    XWindowAttributes attributes{};
    XGetWindowAttributes(Quarn::_quarn_display, window, &attributes);
    return attributes.your_event_mask;
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

// An owner sending one byte every 0.8 s would hold a read of 25 bytes for
// 20 s: the read gives up within its bound and takes no piece after it.
TEST_F(Clipboard, ASlowOwnerDoesNotHoldTheReadPastItsBound) {
    Owner slow(std::string(25, 'x'), "UTF8_STRING", 1, true, Pace{800ms});
    EXPECT_EQ(Quarn::get_clipboard(), "");
    const int asked = slow.pieces_asked();
    EXPECT_LT(asked, 25) << "the read stopped before the owner was done";
    pump_for(2s);
    EXPECT_EQ(slow.pieces_asked(), asked) << "pieces that come after the read are not taken";
}

// 80 MiB in pieces of 8 MiB, announced as such and announced as a byte.
TEST_F(Clipboard, ATextBeyondTheLargestReadIsNotTaken) {
    const std::string text(std::size_t{80} << 20, 'x');
    const struct {
        long announced;
        int most_asked;  // the notice, and the pieces up to 64 MiB
    } cases[] = {{-1, 1}, {1, 9}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.announced);
        Owner owner(text, "UTF8_STRING", std::size_t{8} << 20, true, Pace{0ms, c.announced});
        EXPECT_TRUE(Quarn::get_clipboard().empty());
        EXPECT_LE(owner.pieces_asked(), c.most_asked);
        Quarn::Input::Events::handle();
    }
}

// Requestors that ask for a large text and go without taking a piece leave
// their transfers behind: they share the library's one copy of the text.
TEST_F(Clipboard, AbandonedTransfersShareOneCopyOfTheText) {
    if (!quarn_test::resident_memory_is_meaningful()) GTEST_SKIP() << "resident memory says nothing here";
    Quarn::set_clipboard(std::string(std::size_t{8} << 20, 'q'));
    Display* display = client->display();
    const Atom property = atom(display, "READ_HERE");
    const long before = quarn_test::resident_kib();
    for (int i = 0; i < 20; ++i) {
        const Window requestor = XCreateSimpleWindow(display, client->root(), 0, 0, 1, 1, 0, 0, 0);
        ASSERT_EQ(convert("UTF8_STRING", property, requestor), property);
        Atom type = None;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        XGetWindowProperty(display, requestor, property, 0, 1, False, AnyPropertyType, &type, &format, &count, &after,
                           &data);
        if (data) XFree(data);
        EXPECT_EQ(type, atom(display, "INCR"));
        XDestroyWindow(display, requestor);
    }
    quarn_test::settle(*client);
    const long grown = quarn_test::resident_kib() - before;
    // A copy each would be 160 MiB.
    EXPECT_LT(grown, 40 * 1024) << "20 transfers of 8 MiB grew the process by " << grown << " KiB";
}

// A requestor that takes the first piece and no other for longer than the
// library waits: asking for the next one then gets nothing.
TEST_F(Clipboard, ATransferWhoseRequestorStopsTakingPiecesIsDropped) {
    const std::string text = large_text();
    Quarn::set_clipboard(text);
    Display* display = client->display();
    const Atom property = atom(display, "READ_HERE");
    EXPECT_TRUE(read("UTF8_STRING", [] { return false; }).in_pieces) << "the notice taken, then no piece";
    pump_for(kTransferDropped);
    quarn_test::queue_pending(*client);
    while (XPending(display)) {
        XEvent event;
        XNextEvent(display, &event);
    }

    XDeleteProperty(display, reader_, property);  // asks for a piece much later
    quarn_test::settle(*client);
    client->sync();
    bool piece = false;
    while (XPending(display)) {
        XEvent event;
        XNextEvent(display, &event);
        piece = piece || (event.type == PropertyNotify && event.xproperty.atom == property &&
                          event.xproperty.state == PropertyNewValue);
    }
    EXPECT_FALSE(piece);
    EXPECT_TRUE(read("UTF8_STRING").bytes == text) << "a new read gets the whole text";
}

// Another application takes the clipboard, and the application copies again
// before its pump has seen that: the loss it then sees is of the old text.
TEST_F(Clipboard, AnEarlierLossDoesNotCancelANewCopy) {
    Quarn::set_clipboard("first");
    Display* display = client->display();
    XSetSelectionOwner(display, atom(display, "CLIPBOARD"), reader_, CurrentTime);
    quarn_test::queue_pending(*client);
    Quarn::set_clipboard("second");
    Quarn::Input::Events::handle();
    EXPECT_EQ(read("UTF8_STRING").bytes, "second");
    EXPECT_EQ(Quarn::get_clipboard(), "second");
}

// A request forged to name a frame as the requestor of a large text: the
// frame keeps what it selects, and gets its keys.
TEST_F(Clipboard, ARequestNamingAFrameLeavesWhatItSelects) {
    std::vector<Call> log;
    RecordingFrame frame(log);
    frame.set_show(true, 0);
    XFlush(Quarn::_quarn_display);
    const Window window = frame._quarn_backing->window;
    ASSERT_TRUE(client->wait_viewable(window));
    client->focus_and_point(window);
    quarn_test::settle(*client);
    const long selected = library_mask(window);

    Quarn::set_clipboard(large_text());
    Display* display = client->display();
    const Atom clipboard = atom(display, "CLIPBOARD");
    XEvent forged{};
    forged.xselectionrequest = {SelectionRequest,
                                0,
                                True,
                                display,
                                XGetSelectionOwner(display, clipboard),
                                window,
                                clipboard,
                                atom(display, "UTF8_STRING"),
                                atom(display, "FORGED"),
                                CurrentTime};
    XSendEvent(display, forged.xselectionrequest.owner, False, NoEventMask, &forged);
    quarn_test::settle(*client);
    EXPECT_EQ(library_mask(window) & selected, selected) << std::hex << library_mask(window) << " of " << selected;

    log.clear();
    client->tap(XK_a);
    quarn_test::settle(*client);
    EXPECT_EQ(quarn_test::calls_at(log, "EventKeyDown").size(), 1u);

    pump_for(kTransferDropped);
    EXPECT_EQ(library_mask(window), selected) << "once the transfer is dropped";
}

TEST_F(Clipboard, ServesTheTimeItTookTheClipboard) {
    const Time before = server_time();
    Quarn::set_clipboard("Grüße");
    const Time after = server_time();
    const Answer targets = read("TARGETS");
    for (const char* form : {"TIMESTAMP ", "MULTIPLE "}) EXPECT_NE(targets.bytes.find(form), std::string::npos) << form;

    const Answer stamp = read("TIMESTAMP");
    EXPECT_EQ(stamp.type, "INTEGER");
    ASSERT_EQ(stamp.items.size(), 1u);
    EXPECT_GE(static_cast<Time>(stamp.items[0]), before);
    EXPECT_LE(static_cast<Time>(stamp.items[0]), after);
}

// MULTIPLE: the pairs of forms and properties the reader lists, each written
// as one request would, and None as the property of the one refused.
TEST_F(Clipboard, ServesManyFormsInOneRequest) {
    Quarn::set_clipboard("Grüße");
    Display* display = client->display();
    const Atom pairs = atom(display, "PAIRS");
    const std::vector<long> asked = {static_cast<long>(atom(display, "UTF8_STRING")),
                                     static_cast<long>(atom(display, "ONE")),
                                     static_cast<long>(XA_STRING),
                                     static_cast<long>(atom(display, "TWO")),
                                     static_cast<long>(atom(display, "image/png")),
                                     static_cast<long>(atom(display, "THREE")),
                                     static_cast<long>(atom(display, "TIMESTAMP")),
                                     static_cast<long>(atom(display, "FOUR"))};
    XChangeProperty(display, reader_, pairs, atom(display, "ATOM_PAIR"), 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(asked.data()), static_cast<int>(asked.size()));
    ASSERT_EQ(convert("MULTIPLE", pairs), pairs);
    std::vector<long> answered = asked;
    answered[5] = None;
    EXPECT_EQ(take(pairs).items, answered);
    EXPECT_EQ(take(atom(display, "ONE")).bytes, "Grüße");
    EXPECT_EQ(take(atom(display, "TWO")).bytes,
              "Gr\xFC\xDF"
              "e");
    EXPECT_EQ(take(atom(display, "THREE")).type, static_cast<Atom>(None));
    const Property stamp = take(atom(display, "FOUR"));
    EXPECT_EQ(stamp.type, XA_INTEGER);
    EXPECT_EQ(stamp.items, read("TIMESTAMP").items);
}

}  // namespace
