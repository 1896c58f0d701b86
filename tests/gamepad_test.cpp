#include <gtest/gtest.h>
#include <linux/input.h>
#include <sys/stat.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "quarn/frame/frame.h"
#include "quarn/init.h"
#include "quarn/input/evdev.h"
#include "quarn/input/events/events.h"
#include "quarn/input/events/helpers.h"
#include "quarn/input/gamepad.h"
#include "quarn/input/gamepad_mappings.h"
#include "quarn/testing/gamepad.h"
#include "quarn/testing/pump.h"
#include "tests/support/fixture.h"

// Joysticks and gamepads: found at the first call and followed as they come
// and go, their buttons, axes and hats, the mapped gamepad state, the
// mappings added at run time, EventGamepadConnection and wait() waking for
// them. The pads are the kit's (uinput, or its stand-in where there is none).
namespace {

using Quarn::Input::GamepadAxis;
using Quarn::Input::GamepadButton;
using Quarn::Input::GamepadState;
using Quarn::Input::Joystick;
using Quarn::Testing::Gamepad;
using Quarn::Testing::pump_until;

static_assert(Quarn::Flags::Report::GAMEPAD == Quarn::Flags::Report(1024));

const char kXbox360Guid[] = "030000005e0400008e02000014010000";

// A pad of the Xbox 360's description, which the database knows.
std::unique_ptr<Gamepad> xbox_pad(const std::string& name) {
    return std::make_unique<Gamepad>(name, 3, 0x045e, 0x028e, 0x0114);
}

// A pad with the same buttons that the database does not know.
std::unique_ptr<Gamepad> unknown_pad(const std::string& name) {
    return std::make_unique<Gamepad>(name, 3, 0x1209, 0x7a11, 0x0001);
}

const Joystick* find(const std::string& name) {
    for (const Joystick& joystick : Quarn::Input::get_joysticks())
        if (joystick.name == name) return &joystick;
    return nullptr;
}

const Joystick* find_id(int id) {
    for (const Joystick& joystick : Quarn::Input::get_joysticks())
        if (joystick.id == id) return &joystick;
    return nullptr;
}

// The joystick `name`, once the pump has brought it in.
const Joystick& connected(const std::string& name) {
    if (!pump_until([&] { return find(name) != nullptr; })) throw std::runtime_error(name + " never came");
    return *find(name);
}

GamepadState state_of(int id) {
    GamepadState state{};
    EXPECT_TRUE(Quarn::Input::get_gamepad_state(id, &state));
    return state;
}

bool button(int id, GamepadButton which) { return state_of(id).buttons[static_cast<int>(which)]; }
float axis(int id, GamepadAxis which) { return state_of(id).axes[static_cast<int>(which)]; }

// A frame that records the connection events it gets, and the levels each
// went through.
class PadFrame : public Quarn::Frame::FrameBase {
public:
    explicit PadFrame(bool reports)
        : FrameBase(nullptr, Quarn::Flags::Style::BORDER | Quarn::Flags::Style::TITLEBAR, Quarn::Flags::Button::CLOSE) {
        if (reports) set_report(Quarn::Flags::Report::GAMEPAD);
    }
    void callback_input(const Quarn::Input::State*, const Quarn::Input::Events::EventBase* event) override {
        if (event->type == 16777216) levels.emplace_back("EventBase");
    }
    void callback_input(const Quarn::Input::State*,
                        const Quarn::Input::Events::EventGamepadConnection* event) override {
        levels.emplace_back("EventGamepadConnection");
        seen.emplace_back(event->id, event->connected);
    }

    std::vector<std::pair<int, bool>> seen;
    std::vector<std::string> levels;
};

// Counts the library's opens of device nodes, passing them on.
struct OpenCounter {
    OpenCounter() {
        saved = Quarn::Input::_quarn_evdev;
        Quarn::Input::_quarn_EvdevCalls counting = saved;
        counting.open = [](const char* path, int flags) {
            ++opens;
            return saved.open(path, flags);
        };
        Quarn::Input::_quarn_evdev = counting;
        opens = 0;
    }
    ~OpenCounter() { Quarn::Input::_quarn_evdev = saved; }
    static inline Quarn::Input::_quarn_EvdevCalls saved;
    static inline int opens = 0;
};

using Gamepads = quarn_test::LibraryTest;

TEST_F(Gamepads, NothingIsOpenedOrDeliveredBeforeTheFirstCall) {
    auto pad = xbox_pad("Early");
    OpenCounter counter;
    PadFrame frame(true);
    for (int i = 0; i < 5; ++i) {
        pad->button(BTN_SOUTH, i % 2 == 0);
        XSync(Quarn::_quarn_display, False);
        Quarn::Input::Events::handle();
    }
    EXPECT_EQ(OpenCounter::opens, 0);
    EXPECT_FALSE(Quarn::Input::_quarn_gamepads_on);
    EXPECT_EQ(Quarn::Input::_quarn_gamepad_descriptor(), -1);
    EXPECT_TRUE(frame.seen.empty());

    // The first call finds it as it is, and tells no connection for it.
    const Joystick& early = connected("Early");
    EXPECT_GT(OpenCounter::opens, 0);
    EXPECT_TRUE(early.buttons[0]);
    Quarn::Input::Events::handle();
    EXPECT_TRUE(frame.seen.empty());
}

TEST_F(Gamepads, APadIsListedWithItsNameGuidAndControls) {
    Quarn::Input::get_joysticks();
    auto pad = xbox_pad("Listed Pad");
    const Joystick& joystick = connected("Listed Pad");
    EXPECT_EQ(joystick.guid, kXbox360Guid);
    EXPECT_TRUE(joystick.is_gamepad);
    EXPECT_EQ(joystick.buttons.size(), 11u);
    EXPECT_EQ(joystick.axes.size(), 6u);
    EXPECT_EQ(joystick.hats.size(), 1u);
    // At rest: sticks centred, triggers at their low end, nothing held.
    EXPECT_EQ(joystick.axes[0], 0.0f);
    EXPECT_EQ(joystick.axes[1], 0.0f);
    EXPECT_FLOAT_EQ(joystick.axes[2], -1.0f);
    for (const bool held : joystick.buttons) EXPECT_FALSE(held);
    EXPECT_EQ(joystick.hats[0], 0);
}

TEST_F(Gamepads, APadWithoutVendorAndProductHasItsNameInTheGuid) {
    Quarn::Input::get_joysticks();
    Gamepad pad("Generic Pad Deluxe", 6, 0, 0, 0x0100);
    // Bus 6, a zero word, then "Generic Pad" and a NUL.
    EXPECT_EQ(connected("Generic Pad Deluxe").guid,
              "06000000"
              "47656e657269632050616400");
}

// Buttons count from BTN_JOYSTICK up, axes in code order without the hats:
// the order the database's b0 and a0 mean.
TEST_F(Gamepads, EachButtonAndAxisReachesItsPlace) {
    Quarn::Input::get_joysticks();
    auto pad = xbox_pad("Buttons");
    const int id = connected("Buttons").id;
    const int buttons[] = {BTN_SOUTH,  BTN_EAST,  BTN_NORTH, BTN_WEST,   BTN_TL,    BTN_TR,
                           BTN_SELECT, BTN_START, BTN_MODE,  BTN_THUMBL, BTN_THUMBR};
    for (size_t index = 0; index < std::size(buttons); ++index) {
        SCOPED_TRACE("button " + std::to_string(index));
        pad->button(buttons[index], true);
        ASSERT_TRUE(pump_until([&] { return find_id(id)->buttons[index]; }));
        for (size_t other = 0; other < std::size(buttons); ++other) {
            if (other != index) {
                EXPECT_FALSE(find_id(id)->buttons[other]) << other;
            }
        }
        pad->button(buttons[index], false);
        ASSERT_TRUE(pump_until([&] { return !find_id(id)->buttons[index]; }));
    }
    struct Case {
        int code;
        size_t index;
        int value;
        float expected;
    };
    const Case cases[] = {{ABS_X, 0, -32768, -1.0f}, {ABS_X, 0, 32767, 1.0f},    {ABS_Y, 1, 32767, 1.0f},
                          {ABS_Y, 1, -32768, -1.0f}, {ABS_Z, 2, 255, 1.0f},      {ABS_Z, 2, 0, -1.0f},
                          {ABS_RX, 3, 32767, 1.0f},  {ABS_RY, 4, -32768, -1.0f}, {ABS_RZ, 5, 255, 1.0f}};
    for (const Case& c : cases) {
        SCOPED_TRACE("axis code " + std::to_string(c.code) + " to " + std::to_string(c.value));
        pad->axis(c.code, c.value);
        EXPECT_TRUE(pump_until([&] { return find_id(id)->axes[c.index] == c.expected; }));
    }
    // A stick let go reads exactly 0, though its range is one longer below.
    pad->axis(ABS_RX, 0);
    EXPECT_TRUE(pump_until([&] { return find_id(id)->axes[3] == 0.0f; })) << find_id(id)->axes[3];
}

TEST_F(Gamepads, AHatReportsItsDirectionsAsBits) {
    Quarn::Input::get_joysticks();
    auto pad = xbox_pad("Hat");
    const int id = connected("Hat").id;
    struct Case {
        int x;
        int y;
        int bits;
    };
    const Case cases[] = {{0, -1, 1}, {1, -1, 3}, {1, 0, 2}, {1, 1, 6}, {0, 1, 4}, {-1, 1, 12}, {-1, 0, 8}, {0, 0, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.x) + "," + std::to_string(c.y));
        pad->axis(ABS_HAT0X, c.x);
        pad->axis(ABS_HAT0Y, c.y);
        EXPECT_TRUE(pump_until([&] { return find_id(id)->hats[0] == c.bits; }));
    }
}

// The same checks for a pad the database maps and for one it does not know
// (the standard buttons' own mapping): the two must agree.
void check_mapped_state(Gamepad& pad, int id) {
    struct ButtonCase {
        int code;
        GamepadButton button;
    };
    const ButtonCase buttons[] = {{BTN_SOUTH, GamepadButton::A},           {BTN_EAST, GamepadButton::B},
                                  {BTN_NORTH, GamepadButton::X},           {BTN_WEST, GamepadButton::Y},
                                  {BTN_TL, GamepadButton::LEFT_BUMPER},    {BTN_TR, GamepadButton::RIGHT_BUMPER},
                                  {BTN_SELECT, GamepadButton::BACK},       {BTN_START, GamepadButton::START},
                                  {BTN_MODE, GamepadButton::GUIDE},        {BTN_THUMBL, GamepadButton::LEFT_THUMB},
                                  {BTN_THUMBR, GamepadButton::RIGHT_THUMB}};
    for (const ButtonCase& c : buttons) {
        SCOPED_TRACE("gamepad button " + std::to_string(static_cast<int>(c.button)));
        pad.button(c.code, true);
        ASSERT_TRUE(pump_until([&] { return button(id, c.button); }));
        const GamepadState state = state_of(id);
        for (int other = 0; other < Quarn::Input::GAMEPAD_BUTTON_COUNT; ++other) {
            if (other != static_cast<int>(c.button)) {
                EXPECT_FALSE(state.buttons[other]) << other;
            }
        }
        pad.button(c.code, false);
        ASSERT_TRUE(pump_until([&] { return !button(id, c.button); }));
    }
    struct HatCase {
        int code;
        int value;
        GamepadButton button;
    };
    const HatCase hats[] = {{ABS_HAT0Y, -1, GamepadButton::DPAD_UP},
                            {ABS_HAT0X, 1, GamepadButton::DPAD_RIGHT},
                            {ABS_HAT0Y, 1, GamepadButton::DPAD_DOWN},
                            {ABS_HAT0X, -1, GamepadButton::DPAD_LEFT}};
    for (const HatCase& c : hats) {
        SCOPED_TRACE("dpad " + std::to_string(static_cast<int>(c.button)));
        pad.axis(c.code, c.value);
        ASSERT_TRUE(pump_until([&] { return button(id, c.button); }));
        pad.axis(c.code, 0);
        ASSERT_TRUE(pump_until([&] { return !button(id, c.button); }));
    }
    // Triggers rest at 0; sticks are positive down and right.
    EXPECT_FLOAT_EQ(axis(id, GamepadAxis::LEFT_TRIGGER), 0.0f);
    EXPECT_FLOAT_EQ(axis(id, GamepadAxis::RIGHT_TRIGGER), 0.0f);
    struct AxisCase {
        int code;
        int value;
        GamepadAxis axis;
        float expected;
    };
    const AxisCase axes[] = {
        {ABS_X, 32767, GamepadAxis::LEFT_X, 1.0f},     {ABS_Y, 32767, GamepadAxis::LEFT_Y, 1.0f},
        {ABS_RX, -32768, GamepadAxis::RIGHT_X, -1.0f}, {ABS_RY, -32768, GamepadAxis::RIGHT_Y, -1.0f},
        {ABS_Z, 255, GamepadAxis::LEFT_TRIGGER, 1.0f}, {ABS_RZ, 255, GamepadAxis::RIGHT_TRIGGER, 1.0f},
        {ABS_Z, 0, GamepadAxis::LEFT_TRIGGER, 0.0f},   {ABS_Z, 51, GamepadAxis::LEFT_TRIGGER, 0.2f}};
    for (const AxisCase& c : axes) {
        SCOPED_TRACE("gamepad axis " + std::to_string(static_cast<int>(c.axis)));
        pad.axis(c.code, c.value);
        EXPECT_TRUE(pump_until([&] { return std::abs(axis(id, c.axis) - c.expected) < 0.001f; })) << axis(id, c.axis);
    }
}

TEST_F(Gamepads, AnXbox360PadIsReadThroughTheDatabasesMapping) {
    ASSERT_NE(Quarn::Input::_quarn_find_mapping(kXbox360Guid), nullptr);
    Quarn::Input::get_joysticks();
    auto pad = xbox_pad("Mapped");
    const Joystick& joystick = connected("Mapped");
    ASSERT_TRUE(joystick.is_gamepad);
    check_mapped_state(*pad, joystick.id);
}

TEST_F(Gamepads, AnUnknownPadWithTheStandardButtonsGetsTheirMapping) {
    Quarn::Input::get_joysticks();
    auto pad = unknown_pad("Unknown");
    const Joystick& joystick = connected("Unknown");
    ASSERT_EQ(Quarn::Input::_quarn_find_mapping(joystick.guid), nullptr);
    ASSERT_TRUE(joystick.is_gamepad);
    check_mapped_state(*pad, joystick.id);
}

TEST_F(Gamepads, StateOfNoGamepadIsRefused) {
    Quarn::Input::get_joysticks();
    GamepadState state{};
    state.axes[0] = 0.5f;
    EXPECT_FALSE(Quarn::Input::get_gamepad_state(12345, &state));
    EXPECT_FLOAT_EQ(state.axes[0], 0.5f);
    auto pad = xbox_pad("Null");
    EXPECT_FALSE(Quarn::Input::get_gamepad_state(connected("Null").id, nullptr));
}

TEST_F(Gamepads, ConnectionsReachOnlyTheFramesThatReportThem) {
    PadFrame reporting(true);
    PadFrame silent(false);
    Quarn::Input::get_joysticks();
    int id = -1;
    {
        auto pad = xbox_pad("Coming");
        id = connected("Coming").id;
        EXPECT_EQ(reporting.seen, (std::vector<std::pair<int, bool>>{{id, true}}));
        EXPECT_EQ(reporting.levels, (std::vector<std::string>{"EventBase", "EventGamepadConnection"}));
        EXPECT_EQ(Quarn::Input::Events::EventGamepadConnection(0, true).type, 16777216);
    }
    ASSERT_TRUE(pump_until([&] { return find("Coming") == nullptr; }));
    EXPECT_EQ(reporting.seen, (std::vector<std::pair<int, bool>>{{id, true}, {id, false}}));
    EXPECT_TRUE(silent.seen.empty());
    EXPECT_TRUE(silent.levels.empty());
    GamepadState state{};
    EXPECT_FALSE(Quarn::Input::get_gamepad_state(id, &state));
}

TEST_F(Gamepads, APadPluggedInAgainGetsANewId) {
    Quarn::Input::get_joysticks();
    int first = -1;
    {
        auto pad = xbox_pad("Again");
        first = connected("Again").id;
    }
    ASSERT_TRUE(pump_until([&] { return find("Again") == nullptr; }));
    auto pad = xbox_pad("Again");
    const Joystick& again = connected("Again");
    EXPECT_NE(again.id, first);
    pad->button(BTN_START, true);
    EXPECT_TRUE(pump_until([&] { return button(again.id, GamepadButton::START); }));
}

TEST_F(Gamepads, APadThatCannotBeOpenedIsLeftOutUntilItsPermissionsChange) {
    if (Gamepad::uses_uinput()) GTEST_SKIP() << "uinput's nodes are the system's: root opens them all";
    auto pad = xbox_pad("Locked");
    auto other = xbox_pad("Open");
    const std::string node = std::string(Quarn::Input::_quarn_evdev_directory) + "/event0";
    ASSERT_EQ(chmod(node.c_str(), 0), 0);
    PadFrame frame(true);
    EXPECT_EQ(find("Locked"), nullptr);
    EXPECT_NE(find("Open"), nullptr);
    ASSERT_EQ(chmod(node.c_str(), 0644), 0);
    const int id = connected("Locked").id;
    EXPECT_EQ(frame.seen, (std::vector<std::pair<int, bool>>{{id, true}}));
}

// The kernel's buffer overflowed: it says so with SYN_DROPPED, and what
// follows up to the next report is stale. The device's own state is read instead.
struct DroppingReads {
    DroppingReads() {
        saved = Quarn::Input::_quarn_evdev;
        Quarn::Input::_quarn_EvdevCalls dropping = saved;
        dropping.read = [](int fd, void* buffer, size_t size) -> ssize_t {
            const ssize_t length = saved.read(fd, buffer, size);
            if (length <= 0 || !armed || size < 3 * sizeof(input_event)) return length;
            armed = false;
            input_event events[3] = {};
            events[0].type = EV_SYN;
            events[0].code = SYN_DROPPED;
            events[1].type = EV_KEY;
            events[1].code = BTN_SOUTH;
            events[1].value = 0;
            events[2].type = EV_SYN;
            events[2].code = SYN_REPORT;
            std::memcpy(buffer, events, sizeof(events));
            return static_cast<ssize_t>(sizeof(events));
        };
        Quarn::Input::_quarn_evdev = dropping;
    }
    ~DroppingReads() { Quarn::Input::_quarn_evdev = saved; }
    static inline Quarn::Input::_quarn_EvdevCalls saved;
    static inline bool armed = false;
};

TEST_F(Gamepads, AfterTheKernelDroppedInputTheStateIsReadAfresh) {
    auto pad = xbox_pad("Dropping");
    DroppingReads reads;  // after the pad: the kit's stand-in, where it is used, sets the calls first
    const int id = connected("Dropping").id;
    DroppingReads::armed = true;
    pad->button(BTN_SOUTH, true);
    ASSERT_TRUE(pump_until([&] { return !DroppingReads::armed; }));
    EXPECT_TRUE(find_id(id)->buttons[0]);
}

TEST_F(Gamepads, WaitWakesForPadInputAndConnections) {
    Quarn::Input::get_joysticks();
    XSync(Quarn::_quarn_display, False);
    Quarn::Input::Events::handle();
    // No X event comes: only the pad can end these waits before their bound.
    auto pad = xbox_pad("Waker");
    EXPECT_TRUE(Quarn::Input::Events::wait(20000));
    const int id = connected("Waker").id;
    Quarn::Input::Events::handle();
    EXPECT_FALSE(Quarn::Input::Events::wait(0));
    pad->axis(ABS_X, 32767);
    EXPECT_TRUE(Quarn::Input::Events::wait(20000));
    EXPECT_EQ(XPending(Quarn::_quarn_display), 0);
    Quarn::Input::Events::handle();
    EXPECT_FLOAT_EQ(find_id(id)->axes[0], 1.0f);
    // Read, it wakes nothing more.
    EXPECT_FALSE(Quarn::Input::Events::wait(0));
}

TEST_F(Gamepads, MappingsAddedAtRunTimeReplaceAndModify) {
    Quarn::Input::get_joysticks();
    auto pad = unknown_pad("Remapped");
    const Joystick& joystick = connected("Remapped");
    const int id = joystick.id;
    const std::string guid = joystick.guid;

    EXPECT_FALSE(Quarn::Input::update_gamepad_mappings(""));
    EXPECT_FALSE(Quarn::Input::update_gamepad_mappings("# a comment\nnot a mapping\n"));
    EXPECT_FALSE(Quarn::Input::update_gamepad_mappings(guid + ",Elsewhere,a:b3,platform:Windows,"));
    EXPECT_FALSE(Quarn::Input::update_gamepad_mappings(guid + ",Broken,a:q3,platform:Linux,"));
    // Nothing changed: A is still BTN_SOUTH.
    pad->button(BTN_SOUTH, true);
    ASSERT_TRUE(pump_until([&] { return button(id, GamepadButton::A); }));
    pad->button(BTN_SOUTH, false);
    ASSERT_TRUE(pump_until([&] { return !button(id, GamepadButton::A); }));

    // Half axes (+a0, -a0), an inverted axis (a1~), buttons driving the halves
    // of an axis (+rightx, -rightx) and a hat's bit.
    ASSERT_TRUE(Quarn::Input::update_gamepad_mappings(
        "garbage\n" + guid +
        ",Remapped,a:b3,lefttrigger:+a0,righttrigger:-a0,leftx:a1~,+rightx:b0,-rightx:b1,+righty:+a0,dpup:h0.4,"
        "platform:Linux,\n"));
    EXPECT_TRUE(find_id(id)->is_gamepad);
    pad->button(BTN_WEST, true);
    EXPECT_TRUE(pump_until([&] { return button(id, GamepadButton::A); }));
    pad->axis(ABS_X, 32767);
    EXPECT_TRUE(pump_until([&] { return axis(id, GamepadAxis::LEFT_TRIGGER) == 1.0f; }));
    EXPECT_FLOAT_EQ(axis(id, GamepadAxis::RIGHT_TRIGGER), 0.0f);
    EXPECT_FLOAT_EQ(axis(id, GamepadAxis::RIGHT_Y), 1.0f);
    pad->axis(ABS_X, -32768);
    EXPECT_TRUE(pump_until([&] { return axis(id, GamepadAxis::RIGHT_TRIGGER) == 1.0f; }));
    EXPECT_FLOAT_EQ(axis(id, GamepadAxis::LEFT_TRIGGER), 0.0f);
    // The other half of a half axis is nothing, also where it drives half an output.
    EXPECT_FLOAT_EQ(axis(id, GamepadAxis::RIGHT_Y), 0.0f);
    pad->axis(ABS_Y, 32767);
    EXPECT_TRUE(pump_until([&] { return axis(id, GamepadAxis::LEFT_X) == -1.0f; }));
    pad->button(BTN_SOUTH, true);
    EXPECT_TRUE(pump_until([&] { return axis(id, GamepadAxis::RIGHT_X) == 1.0f; }));
    pad->button(BTN_SOUTH, false);
    pad->button(BTN_EAST, true);
    EXPECT_TRUE(pump_until([&] { return axis(id, GamepadAxis::RIGHT_X) == -1.0f; }));
    pad->axis(ABS_HAT0Y, 1);
    EXPECT_TRUE(pump_until([&] { return button(id, GamepadButton::DPAD_UP); }));

    // A line for the Xbox 360's GUID replaces the built-in one.
    auto xbox = xbox_pad("Xbox Remapped");
    const int xbox_id = connected("Xbox Remapped").id;
    ASSERT_TRUE(
        Quarn::Input::update_gamepad_mappings(std::string(kXbox360Guid) + ",Swapped,a:b1,b:b0,platform:Linux,"));
    xbox->button(BTN_EAST, true);
    EXPECT_TRUE(pump_until([&] { return button(xbox_id, GamepadButton::A); }));
    EXPECT_FALSE(button(xbox_id, GamepadButton::B));
}

TEST_F(Gamepads, DeinitClosesThePadsAndForgetsAddedMappings) {
    auto pad = xbox_pad("Kept");
    const int before = connected("Kept").id;
    ASSERT_TRUE(Quarn::Input::update_gamepad_mappings(std::string(kXbox360Guid) + ",Swapped,a:b1,platform:Linux,"));
    ASSERT_EQ(Quarn::Input::_quarn_find_mapping(kXbox360Guid)->name, "Swapped");
    Quarn::deinit();
    EXPECT_FALSE(Quarn::Input::_quarn_gamepads_on);
    EXPECT_EQ(Quarn::Input::_quarn_find_mapping(kXbox360Guid)->name, "Xbox 360 Controller");
    quarn_test::start_library();
    const Joystick* again = find("Kept");
    ASSERT_NE(again, nullptr);
    EXPECT_NE(again->id, before);
}

}  // namespace
