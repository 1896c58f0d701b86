#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "quarn/input/events/events.h"
#include "quarn/input/events/helpers.h"
#include "quarn/menu/helpers.h"
#include "tests/support/fixture.h"
#include "tests/support/recording_frame.h"

namespace {

using namespace Quarn::Input::Events;
using quarn_test::Call;
using quarn_test::RecordingFrame;

struct Chain {
    const char* event;
    int type;
    std::function<void(Quarn::Frame::FrameBase*)> deliver;
    std::vector<std::string> levels;
};

template <typename Event, typename... Args>
std::function<void(Quarn::Frame::FrameBase*)> deliver(Args... args) {
    return [=](Quarn::Frame::FrameBase* frame) {
        Event event(args...);
        event._quarn_handle(frame);
    };
}

const int kDelta[2] = {3, -1};

const std::vector<Chain> kChains = {
    {"EventKeyDown", 1, deliver<EventKeyDown>(0x61u), {"EventBase", "EventKeyBase", "EventKeyDown"}},
    {"EventKeyUp", 2, deliver<EventKeyUp>(0x61u), {"EventBase", "EventKeyBase", "EventKeyUp"}},
    {"EventMouseButtonLeftDown",
     4,
     deliver<EventMouseButtonLeftDown>(),
     {"EventBase", "EventMouseBase", "EventMouseButtonBase", "EventMouseButtonLeftBase", "EventMouseButtonLeftDown"}},
    {"EventMouseButtonLeftUp",
     32,
     deliver<EventMouseButtonLeftUp>(),
     {"EventBase", "EventMouseBase", "EventMouseButtonBase", "EventMouseButtonLeftBase", "EventMouseButtonLeftUp"}},
    {"EventMouseButtonMiddleDown",
     8,
     deliver<EventMouseButtonMiddleDown>(),
     {"EventBase", "EventMouseBase", "EventMouseButtonBase", "EventMouseButtonMiddleBase",
      "EventMouseButtonMiddleDown"}},
    {"EventMouseButtonMiddleUp",
     64,
     deliver<EventMouseButtonMiddleUp>(),
     {"EventBase", "EventMouseBase", "EventMouseButtonBase", "EventMouseButtonMiddleBase", "EventMouseButtonMiddleUp"}},
    {"EventMouseButtonRightDown",
     16,
     deliver<EventMouseButtonRightDown>(),
     {"EventBase", "EventMouseBase", "EventMouseButtonBase", "EventMouseButtonRightBase", "EventMouseButtonRightDown"}},
    {"EventMouseButtonRightUp",
     128,
     deliver<EventMouseButtonRightUp>(),
     {"EventBase", "EventMouseBase", "EventMouseButtonBase", "EventMouseButtonRightBase", "EventMouseButtonRightUp"}},
    {"EventMouseScroll", 256, deliver<EventMouseScroll>(kDelta), {"EventBase", "EventMouseBase", "EventMouseScroll"}},
    {"EventMouseMove", 512, deliver<EventMouseMove>(1, 2, 3, 4), {"EventBase", "EventMouseBase", "EventMouseMove"}},
    {"EventFrameMenuItem", 1024, deliver<EventFrameMenuItem>(nullptr, nullptr), {"EventBase", "EventFrameMenuItem"}},
    {"EventFrameClose", 2048, deliver<EventFrameClose>(), {"EventBase", "EventFrameBase", "EventFrameClose"}},
    {"EventFrameMinimize", 4096, deliver<EventFrameMinimize>(), {"EventBase", "EventFrameBase", "EventFrameMinimize"}},
    {"EventFrameMaximize", 8192, deliver<EventFrameMaximize>(), {"EventBase", "EventFrameBase", "EventFrameMaximize"}},
    {"EventFrameResize",
     16384,
     deliver<EventFrameResize>(640, 480),
     {"EventBase", "EventFrameBase", "EventFrameResize"}},
    {"EventText", 32768, deliver<EventText>(U'a', "a"), {"EventBase", "EventText"}},
    {"EventFrameFocus", 65536, deliver<EventFrameFocus>(true), {"EventBase", "EventFrameBase", "EventFrameFocus"}},
    {"EventMouseEnter", 131072, deliver<EventMouseEnter>(5, 6), {"EventBase", "EventMouseBase", "EventMouseEnter"}},
    {"EventMouseLeave", 262144, deliver<EventMouseLeave>(-1, 6), {"EventBase", "EventMouseBase", "EventMouseLeave"}},
    {"EventFrameRefresh", 524288, deliver<EventFrameRefresh>(), {"EventBase", "EventFrameBase", "EventFrameRefresh"}},
    {"EventMouseButtonExtraDown",
     1048576,
     deliver<EventMouseButtonExtraDown>(8u),
     {"EventBase", "EventMouseBase", "EventMouseButtonBase", "EventMouseButtonExtraBase", "EventMouseButtonExtraDown"}},
    {"EventMouseButtonExtraUp",
     2097152,
     deliver<EventMouseButtonExtraUp>(9u),
     {"EventBase", "EventMouseBase", "EventMouseButtonBase", "EventMouseButtonExtraBase", "EventMouseButtonExtraUp"}},
    {"EventFrameMonitors",
     4194304,
     deliver<EventFrameMonitors>(),
     {"EventBase", "EventFrameBase", "EventFrameMonitors"}},
    {"EventFrameMove", 8388608, deliver<EventFrameMove>(10, 20), {"EventBase", "EventFrameBase", "EventFrameMove"}},
    {"EventGamepadConnection",
     16777216,
     deliver<EventGamepadConnection>(0, true),
     {"EventBase", "EventGamepadConnection"}},
    {"EventFrameDrop",
     33554432,
     deliver<EventFrameDrop>(std::vector<std::string>{"/tmp/a"}, std::string(), 1, 2),
     {"EventBase", "EventFrameBase", "EventFrameDrop"}},
};

class Dispatch : public quarn_test::LibraryTest {
protected:
    std::vector<Call> log;
};

TEST_F(Dispatch, EveryConcreteEventWalksItsChainRootFirst) {
    RecordingFrame frame(log);
    int codes_seen = 0;
    for (const Chain& chain : kChains) {
        SCOPED_TRACE(chain.event);
        log.clear();
        chain.deliver(&frame);
        EXPECT_EQ(frame.levels(), chain.levels);
        for (const Call& call : log) {
            EXPECT_EQ(call.type, chain.type);
            EXPECT_EQ(call.event, log.front().event);
            EXPECT_EQ(call.state, frame.input_state);
        }
        EXPECT_EQ(codes_seen & chain.type, 0) << "type codes must be distinct";
        codes_seen |= chain.type;
    }
    EXPECT_EQ(codes_seen, 0x3FFFFFF);  // twenty-six distinct powers of two, 1 to 33554432
}

// Overrides only the button base level.
class ButtonBaseFrame : public RecordingFrame {
public:
    using RecordingFrame::callback_input;
    using RecordingFrame::RecordingFrame;
    void callback_input(const Quarn::Input::State*, const EventMouseButtonBase* event) override {
        types.push_back(event->type);
    }
    std::vector<int> types;
};

TEST_F(Dispatch, ButtonBaseOverloadSeesEachButtonEventOnce) {
    ButtonBaseFrame frame(log);
    for (const Chain& chain : kChains) chain.deliver(&frame);
    EXPECT_EQ(frame.types, (std::vector<int>{4, 32, 8, 64, 16, 128, 1048576, 2097152}));
}

TEST_F(Dispatch, SiblingsShareOnlyTheirCommonLevels) {
    RecordingFrame frame(log);
    deliver<EventKeyUp>(0x61u)(&frame);
    deliver<EventMouseButtonLeftUp>()(&frame);
    deliver<EventFrameMenuItem>(nullptr, nullptr)(&frame);
    EXPECT_TRUE(quarn_test::calls_at(log, "EventKeyDown").empty());
    EXPECT_TRUE(quarn_test::calls_at(log, "EventMouseButtonLeftDown").empty());
    EXPECT_TRUE(quarn_test::calls_at(log, "EventFrameBase").empty());
}

TEST_F(Dispatch, EventsCarryTheirPayload) {
    int delta[2] = {3, -1};
    EventMouseScroll scroll(delta);
    delta[0] = 99;
    EXPECT_EQ(scroll.delta[0], 3);
    EXPECT_EQ(scroll.delta[1], -1);

    EventMouseMove move(10, 20, -5, 7);
    EXPECT_EQ(move.x, 10);
    EXPECT_EQ(move.y, 20);
    EXPECT_EQ(move.x_rel, -5);
    EXPECT_EQ(move.y_rel, 7);

    int datum = 0;
    auto* menu = reinterpret_cast<Quarn::Menuing::Menu*>(&datum);
    EventFrameMenuItem item(menu, &datum);
    EXPECT_EQ(item.menu, menu);
    EXPECT_EQ(item.optional_data, &datum);

    EventKeyDown key(0xff1bu);
    EXPECT_EQ(key.key, 0xff1bu);
    EventFrameResize resize(640, 480);
    EXPECT_EQ(resize.width, 640);
    EXPECT_EQ(resize.height, 480);

    EXPECT_TRUE(EventFrameFocus(true).focused);
    EXPECT_FALSE(EventFrameFocus(false).focused);
    EventMouseEnter enter(12, 34);
    EXPECT_EQ(enter.x, 12);
    EXPECT_EQ(enter.y, 34);
    EventMouseLeave leave(-3, 40);
    EXPECT_EQ(leave.x, -3);
    EXPECT_EQ(leave.y, 40);
    EXPECT_EQ(EventMouseButtonExtraDown(8u).button, 8u);
    EXPECT_EQ(EventMouseButtonExtraUp(9u).button, 9u);
}

// Records the button numbers each level of an extra button's chain sees.
class ExtraButtonFrame : public RecordingFrame {
public:
    using RecordingFrame::callback_input;
    using RecordingFrame::RecordingFrame;
    void callback_input(const Quarn::Input::State*, const EventMouseButtonExtraBase* event) override {
        seen.push_back(event->button);
    }
    std::vector<unsigned int> seen;
};

// The extra buttons' issue functions keep which buttons are held, so that
// each delivered press gets exactly one release.
TEST_F(Dispatch, ExtraButtonsAreHeldFromTheirPressToTheirRelease) {
    ExtraButtonFrame frame(log);
    Quarn::Input::Events::_quarn_issue_mouseextradown(&frame, 9);
    EXPECT_TRUE(frame._quarn_backing->extra_buttons[9]);
    Quarn::Input::Events::_quarn_issue_mouseextraup(&frame, 9);
    EXPECT_FALSE(frame._quarn_backing->extra_buttons[9]);
    EXPECT_EQ(frame.seen, (std::vector<unsigned int>{9, 9}));
    EXPECT_EQ(quarn_test::calls_at(log, "EventMouseButtonExtraDown").size(), 1u);
    EXPECT_EQ(quarn_test::calls_at(log, "EventMouseButtonExtraUp").size(), 1u);
}

TEST_F(Dispatch, KeyAndButtonEventsCarryScancodeModifiersAndRepeatOnlyWhereGiven) {
    using Quarn::Flags::Modifier;
    // The constructors an application may already call keep their meaning.
    const EventKeyDown down(0x61u);
    EXPECT_EQ(down.type, 1);
    EXPECT_EQ(down.scancode, 0u);
    EXPECT_TRUE(down.modifiers == Modifier::NONE);
    EXPECT_FALSE(down.repeat);
    const EventKeyUp up(0x61u);
    EXPECT_EQ(up.type, 2);
    EXPECT_EQ(up.scancode, 0u);
    EXPECT_TRUE(up.modifiers == Modifier::NONE);
    const EventMouseButtonRightUp right;
    EXPECT_EQ(right.type, 128);
    EXPECT_TRUE(right.modifiers == Modifier::NONE);

    const EventKeyDown repeated(0x61u, 38u, Modifier::CONTROL | Modifier::SHIFT, true);
    EXPECT_EQ(repeated.type, 1);
    EXPECT_EQ(repeated.key, 0x61u);
    EXPECT_EQ(repeated.scancode, 38u);
    EXPECT_TRUE(repeated.modifiers == (Modifier::CONTROL | Modifier::SHIFT));
    EXPECT_TRUE(repeated.repeat);
    const EventKeyUp released(0xffe1u, 50u, Modifier::SHIFT);
    EXPECT_EQ(released.type, 2);
    EXPECT_EQ(released.scancode, 50u);
    EXPECT_TRUE(released.modifiers == Modifier::SHIFT);
    const EventMouseButtonMiddleDown middle(Modifier::ALT);
    EXPECT_EQ(middle.type, 8);
    EXPECT_TRUE(middle.modifiers == Modifier::ALT);

    // They travel the same chain, every level seeing them.
    RecordingFrame frame(log);
    EventKeyDown(0x61u, 38u, Modifier::SUPER, true)._quarn_handle(&frame);
    EventMouseButtonLeftUp(Modifier::CONTROL)._quarn_handle(&frame);
    ASSERT_EQ(frame.levels(),
              (std::vector<std::string>{"EventBase", "EventKeyBase", "EventKeyDown", "EventBase", "EventMouseBase",
                                        "EventMouseButtonBase", "EventMouseButtonLeftBase", "EventMouseButtonLeftUp"}));
    EXPECT_EQ(log[1].scancode, 38u);
    EXPECT_TRUE(log[1].modifiers == Modifier::SUPER);
    EXPECT_TRUE(log[2].repeat);
    EXPECT_TRUE(log[5].modifiers == Modifier::CONTROL);
}

// The issue functions without an X source on Linux, called directly.
TEST_F(Dispatch, ResizeIssuesMinimizeBeforeResizeAndUpdatesDimensions) {
    RecordingFrame frame(log);
    Quarn::Input::Events::_quarn_issue_resize(&frame, 300, 150, true, true);
    const auto finals = [&] {
        std::vector<std::string> result;
        for (const Call& call : log)
            if (call.level != "EventBase" && call.level != "EventFrameBase") result.push_back(call.level);
        return result;
    };
    EXPECT_EQ(finals(), (std::vector<std::string>{"EventFrameMinimize", "EventFrameResize"}));
    EXPECT_EQ(frame.dimensions[0], 300);
    EXPECT_EQ(frame.dimensions[1], 150);

    log.clear();
    Quarn::Input::Events::_quarn_issue_resize(&frame, 10, 20, false, true);
    EXPECT_EQ(finals(), (std::vector<std::string>{"EventFrameMaximize", "EventFrameResize"}));
    log.clear();
    Quarn::Input::Events::_quarn_issue_resize(&frame, 10, 20, false, false);
    EXPECT_EQ(finals(), (std::vector<std::string>{"EventFrameResize"}));
}

// Records the frame's dimensions as the minimize and resize callbacks see them.
class SizeWatchingFrame : public RecordingFrame {
public:
    using RecordingFrame::callback_input;
    using RecordingFrame::RecordingFrame;
    void callback_input(const Quarn::Input::State*, const EventFrameMinimize*) override {
        seen.push_back(dimensions[0]);
    }
    void callback_input(const Quarn::Input::State*, const EventFrameResize* event) override {
        seen.push_back(dimensions[0]);
        seen.push_back(event->width);
    }
    std::vector<int> seen;
};

TEST_F(Dispatch, MinimizeSeesTheOldSizeResizeTheNew) {
    SizeWatchingFrame frame(log);
    Quarn::Input::Events::_quarn_issue_resize(&frame, 300, 150, true, false);
    EXPECT_EQ(frame.seen, (std::vector<int>{118, 300, 300}));
}

TEST_F(Dispatch, ScrollSetsWheelStateOnlyDuringItsCallbacks) {
    RecordingFrame frame(log);
    Quarn::Input::Events::_quarn_issue_mousescroll(&frame, 2, -3);
    ASSERT_EQ(frame.levels(), (std::vector<std::string>{"EventBase", "EventMouseBase", "EventMouseScroll"}));
    for (const Call& call : log) {
        EXPECT_EQ(call.wheel[0], 2);
        EXPECT_EQ(call.wheel[1], -3);
    }
    EXPECT_EQ(frame.input_state->mouse_wheel_relative[0], 0);
    EXPECT_EQ(frame.input_state->mouse_wheel_relative[1], 0);
}

TEST_F(Dispatch, MenuClickReadsTheRegistryAndAddsMissingEntries) {
    int datum = 0;
    auto* menu = reinterpret_cast<Quarn::Menuing::Menu*>(&datum);
    (*Quarn::Menuing::_quarn_menu_callbacks)[7] = {menu, &datum};

    // Records what the menu item callback receives.
    struct MenuFrame : RecordingFrame {
        using RecordingFrame::callback_input;
        using RecordingFrame::RecordingFrame;
        void callback_input(const Quarn::Input::State*, const EventFrameMenuItem* event) override {
            menus.push_back(event->menu);
            data.push_back(event->optional_data);
        }
        std::vector<Quarn::Menuing::Menu*> menus;
        std::vector<void*> data;
    } menu_frame(log);

    Quarn::Input::Events::_quarn_issue_menuclick(&menu_frame, 7);
    Quarn::Input::Events::_quarn_issue_menuclick(&menu_frame, 8);
    EXPECT_EQ(menu_frame.menus, (std::vector<Quarn::Menuing::Menu*>{menu, nullptr}));
    EXPECT_EQ(menu_frame.data, (std::vector<void*>{&datum, nullptr}));
    ASSERT_EQ(Quarn::Menuing::_quarn_menu_callbacks->count(8), 1u);
    EXPECT_EQ(Quarn::Menuing::_quarn_menu_callbacks->at(8).originator, nullptr);
}

TEST_F(Dispatch, HugeSyntheticMovesDoNotOverflow) {
    RecordingFrame frame(log);
    Quarn::Input::Events::_quarn_issue_mousemove(&frame, 2000000000, 0);
    Quarn::Input::Events::_quarn_issue_mousemove(&frame, -2000000000, 0);
    EXPECT_EQ(frame.input_state->mouse_position[0], -2000000000);
    EXPECT_EQ(frame.input_state->mouse_position_last[0], 2000000000);
    EXPECT_EQ(frame.input_state->mouse_relative[0], 0);
}

// An exception from a callback stops the chain where it was thrown.
class ThrowingFrame : public RecordingFrame {
public:
    using RecordingFrame::callback_input;
    using RecordingFrame::RecordingFrame;
    void callback_input(const Quarn::Input::State* state, const EventMouseBase* event) override {
        RecordingFrame::callback_input(state, event);
        throw 42;
    }
};

TEST_F(Dispatch, CallbackExceptionEndsTheChainAndLeavesRelativeMotion) {
    ThrowingFrame frame(log);
    EXPECT_THROW(Quarn::Input::Events::_quarn_issue_mousemove(&frame, 10, 20), int);
    EXPECT_EQ(frame.levels(), (std::vector<std::string>{"EventBase", "EventMouseBase"}));
    EXPECT_EQ(frame.input_state->mouse_relative[0], 10);
    EXPECT_EQ(frame.input_state->mouse_relative[1], 20);
}

}  // namespace
