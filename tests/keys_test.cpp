#include <gtest/gtest.h>

#include <X11/XKBlib.h>
#include <X11/keysym.h>

#include <string>
#include <vector>

#include "quarn/flags.h"
#include "quarn/frame/frame.h"
#include "quarn/init.h"
#include "quarn/input/events/helpers.h"
#include "quarn/input/keyboard.h"
#include "quarn/testing/testing.h"
#include "tests/support/fixture.h"
#include "tests/support/recording_frame.h"
#include "tests/support/x_client.h"

// What key and button events say beyond the key symbol: the modifiers held
// (Alt and Super wherever the keyboard mapping puts them), the physical key,
// and the keyboard's auto-repeat, with and without the REPEAT report.
namespace {

using Quarn::Flags::Modifier;
using Quarn::Flags::Report;
using quarn_test::Call;
using quarn_test::calls_at;
using quarn_test::RecordingFrame;

// The names of the bits of `modifiers`, for readable failures.
std::string names(Modifier modifiers) {
    static const std::pair<Modifier, const char*> kNames[] = {
        {Modifier::SHIFT, "SHIFT"}, {Modifier::CONTROL, "CONTROL"},     {Modifier::ALT, "ALT"},
        {Modifier::SUPER, "SUPER"}, {Modifier::CAPS_LOCK, "CAPS_LOCK"}, {Modifier::NUM_LOCK, "NUM_LOCK"}};
    std::string result;
    for (const auto& [modifier, name] : kNames) {
        if (!(modifiers & modifier)) continue;
        result += result.empty() ? name : std::string("|") + name;
        modifiers = modifiers & ~modifier;
    }
    if (modifiers) result += result.empty() ? "unnamed bits" : "|unnamed bits";
    return result.empty() ? "NONE" : result;
}

// The presses and releases of `log`, one letter each ('d' down, 'u' up).
std::string key_events(const std::vector<Call>& log) {
    std::string result;
    for (const Call& call : log) {
        if (call.level == "EventKeyDown") result += 'd';
        if (call.level == "EventKeyUp") result += 'u';
    }
    return result;
}

class Keys : public quarn_test::ClientTest {
protected:
    void show(RecordingFrame& frame, int x = 100) {
        frame.set_size(200, 150);
        frame.set_position(x, 100);
        frame.set_show(true, 0);
        ASSERT_TRUE(Quarn::Testing::wait_shown(frame));
        input.move(frame, 20, 20);
        quarn_test::settle(*client);
        frame.log.clear();
    }
    // The key presses (or releases) of `symbol` in `frame_log`.
    static std::vector<Call> keys(const std::vector<Call>& frame_log, const char* level, KeySym symbol) {
        std::vector<Call> result;
        for (const Call& call : calls_at(frame_log, level))
            if (call.key == symbol) result.push_back(call);
        return result;
    }
    KeyCode code(KeySym symbol) { return XKeysymToKeycode(client->display(), symbol); }
    // X pressed with `held` in `frame`: the calls it gave, and its presses.
    std::vector<Call> press_x(RecordingFrame& frame, Modifier held) {
        log.clear();
        input.key(frame, XK_x, held);
        quarn_test::settle(*client);
        return keys(log, "EventKeyDown", XK_x);
    }

    Quarn::Testing::Input input;
    std::vector<Call> log;
};

TEST_F(Keys, ShortcutsCarryTheModifiersHeldBeforeTheKeyAndTheKeysOwnPressHasNone) {
    RecordingFrame frame(log);
    show(frame);
    input.key(frame, XK_s, Modifier::CONTROL);
    quarn_test::settle(*client);
    EXPECT_EQ(key_events(log), "dduu") << "Control, S, then their releases";
    ASSERT_EQ(keys(log, "EventKeyDown", XK_s).size(), 1u);
    EXPECT_EQ(names(keys(log, "EventKeyDown", XK_s)[0].modifiers), "CONTROL") << "Ctrl+S";
    EXPECT_EQ(names(keys(log, "EventKeyUp", XK_s)[0].modifiers), "CONTROL");
    EXPECT_EQ(names(keys(log, "EventKeyDown", XK_Control_L)[0].modifiers), "NONE") << "before its own change";
    EXPECT_EQ(names(keys(log, "EventKeyUp", XK_Control_L)[0].modifiers), "CONTROL") << "before its own change";
    // Every level of the chain sees the same event.
    for (const Call& call : log) {
        if (call.key != XK_s) continue;
        EXPECT_EQ(names(call.modifiers), "CONTROL") << call.level;
    }

    // Each modifier alone and together, in the default mapping.
    const std::pair<Modifier, std::string> kCases[] = {
        {Modifier::SHIFT, "SHIFT"},       {Modifier::ALT, "ALT"},
        {Modifier::SUPER, "SUPER"},       {Modifier::CAPS_LOCK, "CAPS_LOCK"},
        {Modifier::NUM_LOCK, "NUM_LOCK"}, {Modifier::CONTROL | Modifier::SHIFT | Modifier::ALT, "SHIFT|CONTROL|ALT"},
        {Modifier::NONE, "NONE"},
    };
    for (const auto& [held, expected] : kCases) {
        const auto presses = press_x(frame, held);
        ASSERT_EQ(presses.size(), 1u) << expected;
        EXPECT_EQ(names(presses[0].modifiers), expected);
        EXPECT_EQ(names(keys(log, "EventKeyUp", XK_x)[0].modifiers), expected);
    }
    // The kit turned the locks off again.
    log.clear();
    input.key(frame, XK_x);
    quarn_test::settle(*client);
    EXPECT_EQ(names(keys(log, "EventKeyDown", XK_x)[0].modifiers), "NONE");

    // The mapping is known now: keys and buttons ask the server nothing, also
    // for a frame that reports REPEAT.
    frame.set_report(Report::REPEAT);
    for (const KeySym symbol : {XK_a, XK_b, XK_Escape, XK_space})
        input.key(frame, symbol, Modifier::CONTROL | Modifier::ALT);
    input.click(frame, 30, 30);
    quarn_test::queue_pending(*client);
    log.clear();
    const unsigned long before = NextRequest(Quarn::_quarn_display);
    Quarn::Input::Events::handle();
    EXPECT_EQ(calls_at(log, "EventKeyDown").size(), 12u);
    EXPECT_EQ(NextRequest(Quarn::_quarn_display), before) << "a request to the server while delivering keys";
}

// Puts the modifier mapping back as it was when made.
class ModifierMappingGuard {
public:
    explicit ModifierMappingGuard(Display* display) : display_(display), saved_(XGetModifierMapping(display)) {}
    ~ModifierMappingGuard() {
        XSetModifierMapping(display_, saved_);
        XFreeModifiermap(saved_);
        XSync(display_, False);
    }
    ModifierMappingGuard(const ModifierMappingGuard&) = delete;
    ModifierMappingGuard& operator=(const ModifierMappingGuard&) = delete;
    const XModifierKeymap& saved() const { return *saved_; }

private:
    Display* display_;
    XModifierKeymap* saved_;
};

// Whether the server's modifier mapping puts the key `code` in modifier `bit`.
bool holds(Display* display, int bit, KeyCode code) {
    XModifierKeymap* map = XGetModifierMapping(display);
    bool found = false;
    for (int i = 0; i < map->max_keypermod; ++i)
        found = found || map->modifiermap[bit * map->max_keypermod + i] == code;
    XFreeModifiermap(map);
    return found;
}

// Moves Alt and Super to other modifiers while `frame` runs and checks that its
// key and button events follow.
class ModifierMapping : public Keys, public ::testing::WithParamInterface<bool> {};

TEST_P(ModifierMapping, AltAndSuperAreWhereverTheModifierMappingPutsThem) {
    RecordingFrame frame(log);
    show(frame);
    // An application that asks for key names selects XKB's notices, and Xlib
    // then reports a new mapping through them instead of MappingNotify.
    if (GetParam()) {
        ASSERT_EQ(Quarn::Input::key_name(code(XK_x)), "x");
    }
    input.key(frame, XK_x, Modifier::ALT);  // the default mapping, read before it changes
    quarn_test::settle(*client);
    ASSERT_EQ(names(keys(log, "EventKeyDown", XK_x)[0].modifiers), "ALT");

    // The Alt keys move from Mod1 to Mod3, and the Super keys from Mod4 to
    // Mod1: a library that took Mod1 for Alt would report Super as Alt.
    Display* display = client->display();
    const ModifierMappingGuard guard(display);
    const XModifierKeymap& saved = guard.saved();
    // The bit each bit takes its keys from; -1 for none.
    const int kFrom[8] = {ShiftMapIndex, LockMapIndex, ControlMapIndex, Mod4MapIndex, Mod2MapIndex,
                          Mod1MapIndex,  -1,           Mod5MapIndex};
    XModifierKeymap* moved = XNewModifiermap(saved.max_keypermod);
    for (int bit = 0; bit < 8; ++bit) {
        const int from = kFrom[bit];
        for (int i = 0; i < saved.max_keypermod; ++i)
            moved->modifiermap[bit * saved.max_keypermod + i] =
                from < 0 ? 0 : saved.modifiermap[from * saved.max_keypermod + i];
    }
    ASSERT_EQ(XSetModifierMapping(display, moved), MappingSuccess);
    XFreeModifiermap(moved);
    client->sync();
    ASSERT_TRUE(holds(display, Mod3MapIndex, code(XK_Alt_L)));
    ASSERT_TRUE(holds(display, Mod1MapIndex, code(XK_Super_L)));
    quarn_test::settle(*client);  // the MappingNotify

    const std::pair<Modifier, std::string> kCases[] = {
        {Modifier::ALT, "ALT"},
        {Modifier::SUPER, "SUPER"},
        {Modifier::ALT | Modifier::SUPER | Modifier::SHIFT, "SHIFT|ALT|SUPER"},
    };
    for (const auto& [held, expected] : kCases) {
        const auto presses = press_x(frame, held);
        ASSERT_EQ(presses.size(), 1u) << expected;
        EXPECT_EQ(names(presses[0].modifiers), expected);
    }
    // Text follows it too: Alt's keys are shortcuts, wherever Alt is, and
    // Super's (on Mod1 now) type as usual.
    frame.set_report(Quarn::Flags::Report::TEXT);
    for (const auto& [held, typed] : {std::make_pair(Modifier::ALT, ""), std::make_pair(Modifier::SUPER, "x")}) {
        log.clear();
        input.key(frame, XK_x, held);
        quarn_test::settle(*client);
        std::string text;
        for (const Call& call : calls_at(log, "EventText")) text += call.text;
        EXPECT_EQ(text, typed) << names(held);
    }
    frame.set_report(Quarn::Flags::Report::NONE);

    // Buttons read the same mapping. (Three modifiers, which no window
    // manager binds to a click, as it may Alt or Super alone.)
    log.clear();
    const KeySym held[] = {XK_Shift_L, XK_Alt_L, XK_Super_L};
    for (const KeySym symbol : held) input.press_key(frame, symbol);
    input.click(frame, 30, 30);
    for (const KeySym symbol : held) input.release_key(frame, symbol);
    ASSERT_TRUE(Quarn::Testing::pump_until([&] { return !calls_at(log, "EventMouseButtonLeftDown").empty(); }));
    EXPECT_EQ(names(calls_at(log, "EventMouseButtonLeftDown")[0].modifiers), "SHIFT|ALT|SUPER");
}

std::string key_names_or_not(const ::testing::TestParamInfo<bool>& param) {
    return param.param ? "WithKeyNames" : "WithoutKeyNames";
}

// (Xlib defines Bool, so ::testing::Bool is out of reach.)
INSTANTIATE_TEST_SUITE_P(Keys, ModifierMapping, ::testing::Values(false, true), key_names_or_not);

TEST_F(Keys, TheScancodeIsTheKeysXKeyCodeWhateverItTypes) {
    RecordingFrame frame(log);
    show(frame);
    for (const KeySym symbol : {XK_a, XK_w, XK_Escape, XK_Shift_L, XK_F1}) {
        log.clear();
        input.key(frame, symbol);
        quarn_test::settle(*client);
        ASSERT_EQ(keys(log, "EventKeyDown", symbol).size(), 1u) << XKeysymToString(symbol);
        EXPECT_EQ(keys(log, "EventKeyDown", symbol)[0].scancode, code(symbol)) << XKeysymToString(symbol);
        EXPECT_EQ(keys(log, "EventKeyUp", symbol)[0].scancode, code(symbol)) << XKeysymToString(symbol);
    }

    // The key that typed "a" types "q" after the keymap changes (a layout
    // switch): the symbol follows the layout, the scancode stays with the key.
    Display* display = client->display();
    const KeyCode a_key = code(XK_a);
    int per_code = 0;
    KeySym* original = XGetKeyboardMapping(display, a_key, 1, &per_code);
    std::vector<KeySym> remapped(original, original + per_code);
    remapped[0] = XK_q;
    remapped[1] = XK_Q;
    XChangeKeyboardMapping(display, a_key, per_code, remapped.data(), 1);
    client->sync();
    quarn_test::settle(*client);
    log.clear();
    client->key_code(a_key, true);
    client->key_code(a_key, false);
    quarn_test::settle(*client);
    XChangeKeyboardMapping(display, a_key, per_code, original, 1);
    XFree(original);
    client->sync();
    const auto downs = calls_at(log, "EventKeyDown");
    ASSERT_EQ(downs.size(), 1u);
    EXPECT_EQ(downs[0].key, static_cast<unsigned int>(XK_q));
    EXPECT_EQ(downs[0].scancode, a_key);
}

TEST_F(Keys, ReleasesMadeUpWhenTheFocusLeavesCarryTheKeysScancodeAndNoModifiers) {
    RecordingFrame frame(log);
    std::vector<Call> other_log;
    RecordingFrame other(other_log);
    show(frame);
    show(other, 400);
    input.press_key(frame, XK_Control_L);
    input.press_key(frame, XK_w);
    quarn_test::settle(*client);
    ASSERT_EQ(names(keys(log, "EventKeyDown", XK_w)[0].modifiers), "CONTROL");
    log.clear();

    XSetInputFocus(client->display(), other._quarn_backing->window, RevertToPointerRoot, CurrentTime);
    quarn_test::settle(*client);
    for (const KeySym symbol : {XK_w, XK_Control_L}) {
        const auto ups = keys(log, "EventKeyUp", symbol);
        ASSERT_EQ(ups.size(), 1u) << XKeysymToString(symbol);
        EXPECT_EQ(ups[0].scancode, code(symbol)) << XKeysymToString(symbol);
        EXPECT_EQ(names(ups[0].modifiers), "NONE") << XKeysymToString(symbol);
    }
    input.release_key(other, XK_w);
    input.release_key(other, XK_Control_L);
    quarn_test::settle(*client);
}

TEST_F(Keys, ButtonsCarryTheModifiersHeld) {
    RecordingFrame frame(log);
    show(frame);
    input.press_key(frame, XK_Control_L);
    input.click(frame, 30, 30, Button1);
    input.release_key(frame, XK_Control_L);
    input.press_key(frame, XK_Shift_L);
    input.click(frame, 30, 30, Button3);
    input.release_key(frame, XK_Shift_L);
    input.click(frame, 30, 30, Button2);
    // A window manager may take a click first, to focus the window, and let it go on.
    ASSERT_TRUE(Quarn::Testing::pump_until([&] { return calls_at(log, "EventMouseButtonBase").size() == 6; }));
    const std::pair<const char*, const char*> kExpected[] = {
        {"EventMouseButtonLeftDown", "CONTROL"}, {"EventMouseButtonLeftUp", "CONTROL"},
        {"EventMouseButtonRightDown", "SHIFT"},  {"EventMouseButtonRightUp", "SHIFT"},
        {"EventMouseButtonMiddleDown", "NONE"},  {"EventMouseButtonMiddleUp", "NONE"},
    };
    for (const auto& [level, expected] : kExpected) {
        const auto calls = calls_at(log, level);
        ASSERT_EQ(calls.size(), 1u) << level;
        EXPECT_EQ(names(calls[0].modifiers), expected) << level;
    }
    // The base class's callback sees them too.
    for (const Call& call : calls_at(log, "EventMouseButtonBase"))
        EXPECT_TRUE(call.type != 4 || call.modifiers == Modifier::CONTROL);
}

// Makes the test server's keyboard repeat a held key soon and often, as
// `xset r rate 150 30` does, and puts the server's rate and mode back after.
class FastAutoRepeat {
public:
    explicit FastAutoRepeat(Display* display) : display_(display) {
        XGetKeyboardControl(display, &saved_);
        XkbGetAutoRepeatRate(display, XkbUseCoreKbd, &delay_, &interval_);
        XKeyboardControl on{};
        on.auto_repeat_mode = AutoRepeatModeOn;
        XChangeKeyboardControl(display, KBAutoRepeatMode, &on);
        XkbSetAutoRepeatRate(display, XkbUseCoreKbd, 150, 30);
        XSync(display, False);
    }
    ~FastAutoRepeat() {
        XkbSetAutoRepeatRate(display_, XkbUseCoreKbd, delay_, interval_);
        XKeyboardControl back{};
        back.auto_repeat_mode = saved_.global_auto_repeat;
        XChangeKeyboardControl(display_, KBAutoRepeatMode, &back);
        XSync(display_, False);
    }
    FastAutoRepeat(const FastAutoRepeat&) = delete;
    FastAutoRepeat& operator=(const FastAutoRepeat&) = delete;

private:
    Display* display_;
    XKeyboardState saved_{};
    unsigned int delay_ = 0, interval_ = 0;
};

// Holds `symbol` in `frame` until the server has repeated it `presses` times
// in all, then lets it go and waits for the release.
void hold_until_repeated(Quarn::Testing::Input& input, RecordingFrame& frame, KeySym symbol, std::size_t presses) {
    input.press_key(frame, symbol);
    const bool repeated = Quarn::Testing::pump_until([&] {
        std::size_t count = 0;
        for (const Call& call : calls_at(frame.log, "EventKeyDown")) count += call.key == symbol;
        return count >= presses;
    });
    input.release_key(frame, symbol);
    ASSERT_TRUE(repeated) << "the server repeated the key fewer than " << presses << " times";
    ASSERT_TRUE(Quarn::Testing::pump_until([&] { return !frame.input_state->key_pressed(static_cast<int>(symbol)); }));
}

TEST_F(Keys, WithoutTheRepeatReportAutoRepeatKeepsItsReleasesAndMarksItsPresses) {
    RecordingFrame frame(log);
    show(frame);
    const FastAutoRepeat fast(client->display());
    hold_until_repeated(input, frame, XK_d, 4);
    const std::string events = key_events(log);
    // As X sends it: a release before every repeated press, and the last release.
    ASSERT_GE(events.size(), 8u);
    for (std::size_t i = 0; i < events.size(); ++i)
        EXPECT_EQ(events[i], i % 2 ? 'u' : 'd') << "event " << i << " of " << events;
    const auto presses = calls_at(log, "EventKeyDown");
    EXPECT_FALSE(presses[0].repeat) << "the first press is the user's";
    for (std::size_t i = 1; i < presses.size(); ++i) {
        EXPECT_TRUE(presses[i].repeat) << "press " << i;
        EXPECT_EQ(presses[i].scancode, code(XK_d));
    }
    // A new press after the key went up is no repeat.
    log.clear();
    input.key(frame, XK_d);
    quarn_test::settle(*client);
    ASSERT_EQ(calls_at(log, "EventKeyDown").size(), 1u);
    EXPECT_FALSE(calls_at(log, "EventKeyDown")[0].repeat);
}

TEST_F(Keys, WithTheRepeatReportAutoRepeatIsPressesAloneAndTheKeyReadsHeldThroughout) {
    RecordingFrame frame(log);
    show(frame);
    frame.set_report(Report::REPEAT);
    const FastAutoRepeat fast(client->display());
    hold_until_repeated(input, frame, XK_d, 5);
    const std::string events = key_events(log);
    EXPECT_EQ(events, std::string(events.size() - 1, 'd') + "u") << "one release, when the key went up";
    const auto presses = calls_at(log, "EventKeyDown");
    ASSERT_GE(presses.size(), 5u);
    EXPECT_FALSE(presses[0].repeat);
    for (std::size_t i = 1; i < presses.size(); ++i) EXPECT_TRUE(presses[i].repeat) << "press " << i;
    for (const Call& call : log) {
        if (call.type == 2) continue;
        EXPECT_TRUE(call.key_held) << call.level;
    }
    EXPECT_FALSE(calls_at(log, "EventKeyUp")[0].key_held);

    // A key the kit presses twice in a row is two presses and two releases:
    // the press after the release comes a millisecond later. The last
    // release, with nothing after it, comes once it cannot be a repeat's.
    log.clear();
    input.key(frame, XK_d);
    input.key(frame, XK_d, Modifier::NONE);
    ASSERT_TRUE(Quarn::Testing::pump_until([&] { return key_events(log).size() == 4; }));
    EXPECT_EQ(key_events(log), "dudu");
    for (const Call& call : calls_at(log, "EventKeyDown")) EXPECT_FALSE(call.repeat);
}

// Runs the pump from its key releases' callbacks, as a modal loop might.
class PumpingOnRelease : public RecordingFrame {
public:
    using RecordingFrame::callback_input;
    using RecordingFrame::RecordingFrame;
    void callback_input(const Quarn::Input::State* state, const Quarn::Input::Events::EventKeyUp* event) override {
        RecordingFrame::callback_input(state, event);
        Quarn::Input::Events::handle();
    }
};

TEST_F(Keys, AReleaseHeldBackUntilTheNextEventMayRunThePumpFromItsCallback) {
    PumpingOnRelease frame(log);
    show(frame);
    frame.set_report(Report::REPEAT);
    input.press_key(frame, XK_d);
    input.release_key(frame, XK_d);
    quarn_test::settle(*client);
    // Nothing came after the release: it may still be a repeat's.
    EXPECT_EQ(key_events(log), "d");
    EXPECT_TRUE(frame.input_state->key_pressed(XK_d));

    // The next event settles it; its callback takes that event from the queue.
    input.move(frame, 40, 40);
    quarn_test::queue_pending(*client);
    Quarn::Input::Events::handle();
    EXPECT_EQ(key_events(log), "du");
    EXPECT_FALSE(frame.input_state->key_pressed(XK_d));
    EXPECT_EQ(calls_at(log, "EventMouseMove").size(), 1u);
}

TEST_F(Keys, ForgedKeyEventsAreNeverTakenForARepeat) {
    RecordingFrame frame(log);
    show(frame);
    frame.set_report(Report::REPEAT);
    // Another client's XSendEvent, shaped as X's auto-repeat: a release and a
    // press of one key at one time. Dropping the release would leave a key
    // that no one holds reading held.
    const auto forge = [&](int type) {
        XEvent event{};
        event.xkey.type = type;
        event.xkey.window = frame._quarn_backing->window;
        event.xkey.root = client->root();
        event.xkey.time = 4242;
        event.xkey.keycode = code(XK_d);
        event.xkey.same_screen = True;
        XSendEvent(client->display(), frame._quarn_backing->window, False, KeyPressMask | KeyReleaseMask, &event);
    };
    forge(KeyPress);
    forge(KeyRelease);
    forge(KeyPress);
    forge(KeyRelease);
    client->sync();
    ASSERT_TRUE(Quarn::Testing::pump_until([&] { return key_events(log).size() == 4; }));
    EXPECT_EQ(key_events(log), "dudu");
    for (const Call& call : calls_at(log, "EventKeyDown")) EXPECT_FALSE(call.repeat);
    EXPECT_FALSE(frame.input_state->key_pressed(XK_d));
}

}  // namespace
