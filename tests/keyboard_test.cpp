#include <gtest/gtest.h>

#include <X11/XKBlib.h>
#include <X11/keysym.h>
#include <xkbcommon/xkbcommon-x11.h>

#include <memory>
#include <string>
#include <vector>

#include "quarn/init.h"
#include "quarn/input/events/helpers.h"
#include "quarn/input/keyboard.h"
#include "quarn/testing/testing.h"
#include "tests/support/capture.h"
#include "tests/support/fixture.h"
#include "tests/support/recording_frame.h"

// Key names and scancodes in the layout the user has, followed while a frame
// runs as the server's layout is switched between US, German and French.
namespace {

using Quarn::Input::key_name;
using Quarn::Input::key_scancode;
using quarn_test::Call;
using quarn_test::calls_at;
using quarn_test::RecordingFrame;

// The seam for a server whose keymap cannot be read: the library's setup of
// the XKB extension fails while this is set.
bool refuse_xkb = false;

class Keyboard : public quarn_test::ClientTest {
protected:
    void SetUp() override {
        ClientTest::SetUp();
        input.set_layout("us");
        frame = std::make_unique<RecordingFrame>(log);
        frame->set_size(200, 150);
        frame->set_show(true, 0);
        ASSERT_TRUE(Quarn::Testing::wait_shown(*frame));
    }
    void TearDown() override {
        refuse_xkb = false;
        input.set_layout("us");
        frame.reset();
        ClientTest::TearDown();
    }
    // Switches the layout and pumps until key code `probe` reads `name`.
    bool switch_to(const std::string& layout, unsigned int probe, const std::string& name) {
        input.set_layout(layout);
        return Quarn::Testing::pump_until([&] { return key_name(probe) == name; });
    }
    // The key symbols a press and release of key code `code` deliver to the frame.
    std::vector<unsigned int> keys_of(unsigned int code) {
        client->focus_and_point(frame->_quarn_backing->window);
        quarn_test::settle(*client);
        log.clear();
        client->key_code(code, true);
        client->key_code(code, false);
        Quarn::Testing::pump_until([&] { return calls_at(log, "EventKeyUp").size() == 1; });
        std::vector<unsigned int> keys;
        for (const Call& call : calls_at(log, "EventKeyBase")) keys.push_back(call.key);
        return keys;
    }

    Quarn::Testing::Input input;
    std::vector<Call> log;
    std::unique_ptr<RecordingFrame> frame;
};

struct Layout {
    const char* name;
    const char* name_of_52;  // AB01: z, y, w
    const char* name_of_24;  // AD01: q, q, a
    KeySym on_52;
    KeySym on_24;
    KeySym on_38;  // AC01: a, a, q
};

TEST_F(Keyboard, NamesAndScancodesFollowTheLayoutSwitchedWhileTheFrameRuns) {
    const Layout layouts[] = {
        {"us", "z", "q", XK_z, XK_q, XK_a},
        {"de", "y", "q", XK_y, XK_q, XK_a},
        {"fr", "w", "a", XK_w, XK_a, XK_q},
        {"us", "z", "q", XK_z, XK_q, XK_a},
    };
    for (const Layout& layout : layouts) {
        SCOPED_TRACE(layout.name);
        ASSERT_TRUE(switch_to(layout.name, 52, layout.name_of_52)) << "key 52 still reads " << key_name(52);
        EXPECT_EQ(key_name(24), layout.name_of_24);
        EXPECT_EQ(key_name(9), "Escape");
        EXPECT_EQ(key_name(67), "F1");
        EXPECT_EQ(key_name(50), "Shift_L");
        EXPECT_EQ(key_name(36), "Return");
        EXPECT_EQ(key_scancode(static_cast<int>(layout.on_52)), 52u);
        EXPECT_EQ(key_scancode(static_cast<int>(layout.on_24)), 24u);
        EXPECT_EQ(key_scancode(static_cast<int>(layout.on_38)), 38u);
        EXPECT_EQ(key_scancode(XK_Escape), 9u);
        EXPECT_EQ(key_scancode(XK_F1), 67u);
        // No key of these layouts gives a Greek letter, and 93 is a key code
        // the keyboard does not use.
        EXPECT_EQ(key_scancode(XK_Greek_alpha), 0u);
        EXPECT_EQ(key_name(93), "");
    }
}

TEST_F(Keyboard, ScancodesPreferAKeysFirstLevelAndNamesAreWithoutModifiers) {
    EXPECT_EQ(key_name(38), "a");  // not "A": no Shift
    EXPECT_EQ(key_name(10), "1");
    EXPECT_EQ(key_scancode(XK_A), 38u);       // Shift and the A key
    EXPECT_EQ(key_scancode(XK_exclam), 10u);  // Shift and 1
    // The key beside left Shift has "<" first; Shift and comma has it second.
    EXPECT_EQ(key_scancode(XK_less), 94u);
    EXPECT_EQ(key_name(65), " ");
    ASSERT_TRUE(switch_to("fr", 10, "&"));
    EXPECT_EQ(key_scancode(XK_1), 10u);          // French digits need Shift
    EXPECT_EQ(key_name(34), "dead_circumflex");  // a dead key types nothing by itself
    EXPECT_EQ(key_scancode(0), 0u);
    EXPECT_EQ(key_scancode(-1), 0u);
    EXPECT_EQ(key_name(0), "");
    EXPECT_EQ(key_name(256), "");
}

TEST_F(Keyboard, TheGroupInEffectIsAskedAtEachCall) {
    ASSERT_TRUE(switch_to("us,de", 52, "z"));
    // Changing the group changes no keymap: there is no notification to pump.
    ASSERT_TRUE(XkbLockGroup(input.display(), XkbUseCoreKbd, 1));
    XSync(input.display(), False);
    EXPECT_EQ(key_name(52), "y");
    EXPECT_EQ(key_scancode(XK_y), 52u);
    EXPECT_EQ(key_scancode(XK_z), 29u);
    EXPECT_EQ(key_name(9), "Escape");  // a key of the first group only
    ASSERT_TRUE(XkbLockGroup(input.display(), XkbUseCoreKbd, 0));
    XSync(input.display(), False);
    EXPECT_EQ(key_name(52), "z");
}

TEST_F(Keyboard, KeysStillArriveWithTheSymbolsOfTheNewLayout) {
    EXPECT_EQ(key_name(52), "z");  // the notifications are selected from here on
    ASSERT_TRUE(switch_to("de", 52, "y"));
    EXPECT_EQ(keys_of(52), (std::vector<unsigned int>{XK_y, XK_y}));
    ASSERT_TRUE(switch_to("fr", 52, "w"));
    EXPECT_EQ(keys_of(24), (std::vector<unsigned int>{XK_a, XK_a}));
}

TEST_F(Keyboard, AKeyGivenANewSymbolIsFollowedToo) {
    EXPECT_EQ(key_scancode(XK_eacute), 0u);
    // The kit puts a symbol the keymap lacks on a spare key code, as xmodmap
    // does: one key changes, not the layout.
    input.type(*frame, "\xc3\xa9");
    unsigned int code = 0;
    ASSERT_TRUE(Quarn::Testing::pump_until([&] { return (code = key_scancode(XK_eacute)) != 0; }));
    EXPECT_EQ(key_name(code), "\xc3\xa9");
    std::vector<unsigned int> pressed;
    for (const Call& call : calls_at(log, "EventKeyDown")) pressed.push_back(call.key);
    EXPECT_EQ(pressed, (std::vector<unsigned int>{XK_eacute}));
}

TEST_F(Keyboard, TheKitPressesKeysByTheLayoutItSwitchedTo) {
    const auto pressed = [&](KeySym symbol) {
        log.clear();
        input.key(*frame, symbol);
        Quarn::Testing::pump_until([&] { return calls_at(log, "EventKeyUp").size() == 1; });
        const std::vector<Call> presses = calls_at(log, "EventKeyDown");
        return presses.size() == 1 ? presses[0].key : 0u;
    };
    EXPECT_EQ(pressed(XK_z), static_cast<unsigned int>(XK_z));  // the kit's copy of the US keymap is read here
    input.set_layout("de");
    EXPECT_EQ(pressed(XK_z), static_cast<unsigned int>(XK_z));
    EXPECT_EQ(pressed(XK_y), static_cast<unsigned int>(XK_y));
    input.set_layout("fr");
    EXPECT_EQ(pressed(XK_a), static_cast<unsigned int>(XK_a));
}

// Whether an event of the XKB extension waits in the library's queue.
bool xkb_event_queued() {
    int opcode = 0, event_base = 0, error_base = 0, major = XkbMajorVersion, minor = XkbMinorVersion;
    if (!XkbQueryExtension(Quarn::_quarn_display, &opcode, &event_base, &error_base, &major, &minor)) return false;
    XEvent event;
    const auto is_xkb = [](Display*, XEvent* queued, XPointer base) {
        return queued->type == *reinterpret_cast<int*>(base) ? True : False;
    };
    return XCheckIfEvent(Quarn::_quarn_display, &event, is_xkb, reinterpret_cast<XPointer>(&event_base));
}

TEST_F(Keyboard, AnApplicationThatNamesNoKeySelectsNoNotification) {
    input.set_layout("de");
    quarn_test::queue_pending(*client);
    EXPECT_FALSE(xkb_event_queued());
    EXPECT_EQ(key_name(52), "y");
    input.set_layout("fr");
    quarn_test::queue_pending(*client);
    EXPECT_TRUE(xkb_event_queued());
}

TEST_F(Keyboard, AfterARestartTheLayoutIsFollowedAgain) {
    EXPECT_EQ(key_name(52), "z");
    frame.reset();
    Quarn::deinit();
    quarn_test::start_library();
    EXPECT_EQ(key_name(52), "z");
    EXPECT_TRUE(switch_to("de", 52, "y")) << "key 52 still reads " << key_name(52);
}

TEST_F(Keyboard, AnUnreadableKeymapWarnsOnceAndNamesNothing) {
    refuse_xkb = true;
    quarn_test::StdoutCapture capture;
    EXPECT_EQ(key_name(52), "");
    EXPECT_EQ(key_scancode(XK_z), 0u);
    EXPECT_EQ(key_name(24), "");
    EXPECT_EQ(capture.lines(),
              (std::vector<std::string>{"Quarn: Cannot read the keyboard's layout from the X server!"}));
}

TEST(KeyboardWithoutDisplay, NamesAndScancodesAreRefused) {
    quarn_test::StdoutCapture capture;
    EXPECT_THROW(key_name(52), const char*);
    EXPECT_THROW(key_scancode(XK_z), const char*);
    EXPECT_EQ(capture.lines(), (std::vector<std::string>{
                                   "Quarn: Cannot name a key without a display connection!",
                                   "Quarn: Cannot find a key's scancode without a display connection!",
                               }));
}

}  // namespace

extern "C" int __real_xkb_x11_setup_xkb_extension(xcb_connection_t*, uint16_t, uint16_t,
                                                  xkb_x11_setup_xkb_extension_flags, uint16_t*, uint16_t*, uint8_t*,
                                                  uint8_t*);
extern "C" int __wrap_xkb_x11_setup_xkb_extension(xcb_connection_t* connection, uint16_t major, uint16_t minor,
                                                  xkb_x11_setup_xkb_extension_flags flags, uint16_t* major_out,
                                                  uint16_t* minor_out, uint8_t* event_base, uint8_t* error_base) {
    if (refuse_xkb) return 0;
    return __real_xkb_x11_setup_xkb_extension(connection, major, minor, flags, major_out, minor_out, event_base,
                                              error_base);
}
