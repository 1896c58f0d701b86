#include <X11/keysym.h>
#include <gtest/gtest.h>
#include <imgui.h>

#include <cfloat>
#include <string>

#include "quarn/clipboard.h"
#include "quarn/frame/frame.h"
#include "quarn/imgui/imgui_impl_quarn.h"
#include "quarn/input/events/events.h"
#include "quarn/input/events/helpers.h"
#include "quarn/input/state.h"
#include "quarn/testing/testing.h"
#include "tests/support/capture.h"
#include "tests/support/fixture.h"

// Dear ImGui's platform backend against ImGui itself (no renderer: ImGui's
// frames are built and ended, never drawn), with input through the kit and
// events handed over as the pump would.
namespace {

using Quarn::Flags::Report;
using Quarn::Frame::Cursor;
namespace Events = Quarn::Input::Events;

class Plain : public Quarn::Frame::FrameBase {
public:
    explicit Plain(int x = 200, int y = 200)
        : FrameBase(nullptr, Quarn::Flags::Style::BORDER, Quarn::Flags::Button::NONE) {
        set_size(200, 150);
        set_position(x, y);
    }
};

// A frame that forwards every event to ImGui, as the guide says.
class Forwarding : public Plain {
public:
    using FrameBase::callback_input;
    void callback_input(const Quarn::Input::State* state, const Events::EventBase* event) override {
        ImGui_ImplQuarn_ProcessEvent(state, event);
    }
};

class ImGuiBackend : public quarn_test::LibraryTest {
protected:
    void SetUp() override {
        LibraryTest::SetUp();
        ImGui::CreateContext();
        ImGuiIO& io = ImGui::GetIO();
        io.IniFilename = nullptr;
        unsigned char* pixels = nullptr;
        int width = 0, height = 0;
        io.Fonts->GetTexDataAsRGBA32(&pixels, &width, &height);  // what a renderer's NewFrame does
    }
    void TearDown() override {
        ImGui_ImplQuarn_Shutdown();
        ImGui::DestroyContext();
        LibraryTest::TearDown();
    }
    // One ImGui frame: the backend's part, then ImGui's, nothing drawn.
    void imgui_frame() {
        ImGui_ImplQuarn_NewFrame();
        ImGui::NewFrame();
        ImGui::EndFrame();
    }
    ImGuiIO& io() { return ImGui::GetIO(); }
};

TEST_F(ImGuiBackend, InitRefusesANullFrameNoContextAndASecondBackendWithAWarning) {
    Plain frame;
    quarn_test::StdoutCapture capture;
    EXPECT_FALSE(ImGui_ImplQuarn_Init(nullptr));
    ImGuiContext* context = ImGui::GetCurrentContext();
    ImGui::SetCurrentContext(nullptr);
    EXPECT_FALSE(ImGui_ImplQuarn_Init(&frame));
    ImGui::SetCurrentContext(context);
    EXPECT_TRUE(ImGui_ImplQuarn_Init(&frame));
    EXPECT_FALSE(ImGui_ImplQuarn_Init(&frame));
    EXPECT_EQ(capture.lines(), (std::vector<std::string>{
                                   "Quarn: Cannot set Dear ImGui up for a null frame!",
                                   "Quarn: Cannot set Dear ImGui up without a current ImGui context!",
                                   "Quarn: Cannot set Dear ImGui up twice: its context has a platform backend already!",
                               }));
}

TEST_F(ImGuiBackend, NewFrameAndProcessEventWithoutInitChangeNothing) {
    Plain frame;
    Events::EventMouseMove move(5, 6, 0, 0);
    quarn_test::StdoutCapture capture;
    ImGui_ImplQuarn_NewFrame();
    EXPECT_FALSE(ImGui_ImplQuarn_ProcessEvent(frame.input_state, &move));
    ImGui_ImplQuarn_Shutdown();
    EXPECT_EQ(capture.lines(),
              (std::vector<std::string>{"Quarn: Cannot start a Dear ImGui frame before ImGui_ImplQuarn_Init!"}));
}

TEST_F(ImGuiBackend, InitAddsWhatImGuiNeedsToTheFramesReportsAndSetsTheIoUp) {
    Plain frame;
    frame.set_report(Report::REPEAT | Report::REFRESH);
    ASSERT_TRUE(ImGui_ImplQuarn_Init(&frame));
    EXPECT_EQ(frame._quarn_backing->report, Report::REPEAT | Report::REFRESH | Report::WHEEL | Report::RESIZE |
                                                Report::TEXT | Report::FOCUS | Report::CROSSING | Report::BUTTONS);
    EXPECT_STREQ(io().BackendPlatformName, "imgui_impl_quarn");
    EXPECT_TRUE(io().BackendFlags & ImGuiBackendFlags_HasMouseCursors);
    EXPECT_TRUE(io().BackendFlags & ImGuiBackendFlags_HasSetMousePos);
    EXPECT_EQ(io().KeyMap[ImGuiKey_V], static_cast<int>(XK_v));
    EXPECT_EQ(io().KeyMap[ImGuiKey_Enter], 256 + (XK_Return & 0xff));

    ImGui_ImplQuarn_Shutdown();
    EXPECT_EQ(io().BackendPlatformName, nullptr);
    EXPECT_EQ(io().GetClipboardTextFn, nullptr);
    EXPECT_FALSE(io().BackendFlags & (ImGuiBackendFlags_HasMouseCursors | ImGuiBackendFlags_HasSetMousePos));
    EXPECT_TRUE(ImGui_ImplQuarn_Init(&frame)) << "set up again after Shutdown";
}

TEST_F(ImGuiBackend, NewFrameGivesTheFramesSizeAndAStepOfTime) {
    Plain frame;
    ASSERT_TRUE(ImGui_ImplQuarn_Init(&frame));
    frame.set_size(320, 90);
    imgui_frame();
    EXPECT_EQ(io().DisplaySize.x, 320);
    EXPECT_EQ(io().DisplaySize.y, 90);
    EXPECT_EQ(io().DisplayFramebufferScale.x, 1);
    EXPECT_GT(io().DeltaTime, 0);
    imgui_frame();
    EXPECT_GT(io().DeltaTime, 0) << "two frames at once still step";
}

// ImGui 1.86 reads the buttons and keys at NewFrame only: what went down and
// up again since the last frame must still read down for one frame.
TEST_F(ImGuiBackend, APressAndReleaseBetweenTwoFramesReadDownForOneFrame) {
    Plain frame;
    ASSERT_TRUE(ImGui_ImplQuarn_Init(&frame));
    const auto send = [&](Events::EventBase&& event) { ImGui_ImplQuarn_ProcessEvent(frame.input_state, &event); };
    imgui_frame();
    send(Events::EventMouseButtonLeftDown());
    send(Events::EventMouseButtonLeftUp());
    send(Events::EventKeyDown(XK_Control_L));
    send(Events::EventKeyDown(XK_v, 0, Quarn::Flags::Modifier::CONTROL, false));
    send(Events::EventKeyUp(XK_v, 0, Quarn::Flags::Modifier::CONTROL));
    send(Events::EventKeyUp(XK_Control_L, 0, Quarn::Flags::Modifier::CONTROL));
    imgui_frame();
    EXPECT_TRUE(io().MouseDown[0]);
    EXPECT_TRUE(io().KeysDown[XK_v]);
    EXPECT_TRUE(io().KeyCtrl);
    imgui_frame();
    EXPECT_FALSE(io().MouseDown[0]);
    EXPECT_FALSE(io().KeysDown[XK_v]);
    EXPECT_FALSE(io().KeyCtrl);
}

// A drag keeps its pointer between the leave and the moves X reports
// outside after it; without a button held, leaving takes the pointer away.
TEST_F(ImGuiBackend, LeavingDuringADragKeepsThePointerAndWithoutOneTakesItAway) {
    Plain frame;
    ASSERT_TRUE(ImGui_ImplQuarn_Init(&frame));
    const auto send = [&](Events::EventBase&& event) { ImGui_ImplQuarn_ProcessEvent(frame.input_state, &event); };
    send(Events::EventMouseMove(190, 40, 0, 0));
    send(Events::EventMouseButtonLeftDown());
    send(Events::EventMouseLeave(199, 40));
    imgui_frame();
    EXPECT_EQ(io().MousePos.x, 190);
    EXPECT_TRUE(io().MouseDown[0]);
    send(Events::EventMouseButtonLeftUp());
    send(Events::EventMouseMove(150, 40, 0, 0));
    send(Events::EventMouseLeave(199, 40));
    imgui_frame();
    EXPECT_EQ(io().MousePos.x, -FLT_MAX);
}

TEST_F(ImGuiBackend, ProcessEventAnswersWhatImGuiWantsForEachKindOfEvent) {
    Plain frame, other(500, 200);
    ASSERT_TRUE(ImGui_ImplQuarn_Init(&frame));
    const int delta[2] = {0, 1};
    const Events::EventMouseMove move(5, 5, 0, 0);
    const Events::EventMouseButtonLeftDown left_down;
    const Events::EventMouseButtonRightUp right_up;
    const Events::EventMouseScroll wheel(delta);
    const Events::EventMouseButtonExtraDown back(8);
    const Events::EventMouseEnter enter(5, 5);
    const Events::EventMouseLeave leave(-5, 5);
    const Events::EventKeyDown key_down(XK_a);
    const Events::EventKeyUp key_up(XK_a);
    const Events::EventText text(U'a', "a");
    const Events::EventFrameFocus focus(true);
    const Events::EventFrameResize resize(10, 10);
    const Events::EventFrameClose close;
    const struct {
        const char* what;
        const Events::EventBase* event;
        bool mouse;     // answered with WantCaptureMouse
        bool keyboard;  // answered with WantCaptureKeyboard
    } cases[] = {
        {"move", &move, true, false},
        {"left press", &left_down, true, false},
        {"right release", &right_up, true, false},
        {"wheel", &wheel, true, false},
        {"back button", &back, true, false},
        {"enter", &enter, true, false},
        {"leave", &leave, true, false},
        {"key press", &key_down, false, true},
        {"key release", &key_up, false, true},
        {"text", &text, false, true},
        {"focus", &focus, false, false},
        {"resize", &resize, false, false},
        {"close", &close, false, false},
    };
    for (const auto& c : cases) {
        for (int wants = 0; wants < 4; ++wants) {
            io().WantCaptureMouse = wants & 1;
            io().WantCaptureKeyboard = wants & 2;
            const bool expected = (c.mouse && (wants & 1)) || (c.keyboard && (wants & 2));
            EXPECT_EQ(ImGui_ImplQuarn_ProcessEvent(frame.input_state, c.event), expected)
                << c.what << " with mouse " << (wants & 1) << ", keyboard " << (wants & 2);
            EXPECT_FALSE(ImGui_ImplQuarn_ProcessEvent(other.input_state, c.event)) << c.what << " of another frame";
        }
    }
    EXPECT_FALSE(ImGui_ImplQuarn_ProcessEvent(frame.input_state, nullptr));
}

TEST_F(ImGuiBackend, AnotherFramesEventsAndTheWheelReachImGuiAsTheyShould) {
    Plain frame, other(500, 200);
    ASSERT_TRUE(ImGui_ImplQuarn_Init(&frame));
    Events::EventMouseMove move(7, 8, 0, 0), elsewhere(30, 40, 0, 0);
    ImGui_ImplQuarn_ProcessEvent(frame.input_state, &move);
    ImGui_ImplQuarn_ProcessEvent(other.input_state, &elsewhere);
    const int right[2] = {1, 0}, up[2] = {0, 1};
    Events::EventMouseScroll sideways(right), upwards(up);
    ImGui_ImplQuarn_ProcessEvent(frame.input_state, &sideways);
    ImGui_ImplQuarn_ProcessEvent(frame.input_state, &upwards);
    Events::EventText e_acute(U'\u00e9', "\u00e9");
    ImGui_ImplQuarn_ProcessEvent(frame.input_state, &e_acute);
    EXPECT_EQ(io().MouseWheelH, -1) << "ImGui's horizontal wheel is positive to the left";
    EXPECT_EQ(io().MouseWheel, 1);
    ASSERT_EQ(io().InputQueueCharacters.Size, 1);
    EXPECT_EQ(io().InputQueueCharacters[0], 0xE9);
    imgui_frame();
    EXPECT_EQ(io().MousePos.x, 7) << "the other frame's move is not ImGui's";
    EXPECT_EQ(io().MousePos.y, 8);
}

// Each ImGui cursor shows as the frame's cursor of the same shape.
TEST_F(ImGuiBackend, EveryImGuiCursorShapeIsShownNoneHidesThePointerAndTheApplicationMayKeepItsOwn) {
    Plain frame, sample(500, 200);
    ASSERT_TRUE(ImGui_ImplQuarn_Init(&frame));
    const struct {
        ImGuiMouseCursor imgui;
        Cursor quarn;
    } shapes[] = {
        {ImGuiMouseCursor_Arrow, Cursor::ARROW},
        {ImGuiMouseCursor_TextInput, Cursor::TEXT},
        {ImGuiMouseCursor_ResizeAll, Cursor::MOVE},
        {ImGuiMouseCursor_ResizeNS, Cursor::RESIZE_VERTICAL},
        {ImGuiMouseCursor_ResizeEW, Cursor::RESIZE_HORIZONTAL},
        {ImGuiMouseCursor_ResizeNESW, Cursor::RESIZE_NESW},
        {ImGuiMouseCursor_ResizeNWSE, Cursor::RESIZE_NWSE},
        {ImGuiMouseCursor_Hand, Cursor::HAND},
        {ImGuiMouseCursor_NotAllowed, Cursor::NOT_ALLOWED},
        {ImGuiMouseCursor_None, Cursor::HIDDEN},
    };
    for (const auto& shape : shapes) {
        ImGui_ImplQuarn_NewFrame();
        ImGui::NewFrame();
        ImGui::SetMouseCursor(shape.imgui);
        ImGui::EndFrame();
        imgui_frame();
        sample.set_cursor(shape.quarn);
        EXPECT_EQ(frame._quarn_backing->cursor, sample._quarn_backing->cursor) << "ImGui's cursor " << shape.imgui;
    }
    // ImGui drawing the cursor itself: the pointer's own is hidden.
    io().MouseDrawCursor = true;
    ImGui_ImplQuarn_NewFrame();
    ImGui::NewFrame();
    ImGui::SetMouseCursor(ImGuiMouseCursor_Hand);
    ImGui::EndFrame();
    imgui_frame();
    sample.set_cursor(Cursor::HIDDEN);
    EXPECT_EQ(frame._quarn_backing->cursor, sample._quarn_backing->cursor);
    // An application that keeps the cursor its own business.
    io().MouseDrawCursor = false;
    io().ConfigFlags |= ImGuiConfigFlags_NoMouseCursorChange;
    frame.set_cursor(Cursor::CROSSHAIR);
    ImGui_ImplQuarn_NewFrame();
    ImGui::NewFrame();
    ImGui::SetMouseCursor(ImGuiMouseCursor_TextInput);
    ImGui::EndFrame();
    imgui_frame();
    sample.set_cursor(Cursor::CROSSHAIR);
    EXPECT_EQ(frame._quarn_backing->cursor, sample._quarn_backing->cursor) << "the application's cursor stays";
}

// ImGui asking to move the pointer (keyboard navigation) moves it.
TEST_F(ImGuiBackend, ThePointerGoesWhereImGuiAsks) {
    Forwarding frame;
    frame.set_show(true, 0);
    ASSERT_TRUE(ImGui_ImplQuarn_Init(&frame));
    Quarn::Testing::Input input;
    input.move(frame, 10, 10);
    ASSERT_TRUE(Quarn::Testing::pump_until([&] { return frame.input_state->mouse_position[0] == 10; }));
    imgui_frame();
    io().WantSetMousePos = true;
    io().MousePos = ImVec2(30, 40);
    imgui_frame();
    EXPECT_TRUE(Quarn::Testing::pump_until(
        [&] { return frame.input_state->mouse_position[0] == 30 && frame.input_state->mouse_position[1] == 40; }));
    EXPECT_EQ(io().MousePos.x, 30);
}

TEST_F(ImGuiBackend, TheClipboardIsTheDesktops) {
    Plain frame;
    ASSERT_TRUE(ImGui_ImplQuarn_Init(&frame));
    ImGui::SetClipboardText("from ImGui \u00e9");
    EXPECT_EQ(Quarn::get_clipboard(), "from ImGui \u00e9");
    Quarn::set_clipboard("for ImGui");
    EXPECT_STREQ(ImGui::GetClipboardText(), "for ImGui");
}

// Through the server: the pointer held by a drag outside the frame, let go
// there, and the focus leaving.
TEST_F(ImGuiBackend, ADragOutsideKeepsThePointerUntilLetGoAndTheFocusLeavingReachesImGui) {
    Forwarding frame;
    Plain other(500, 200);
    frame.set_show(true, 0);
    other.set_show(true, 0);
    ASSERT_TRUE(ImGui_ImplQuarn_Init(&frame));
    Quarn::Testing::Input input;
    using Quarn::Testing::pump_until;

    input.press_button(frame, 50, 60);
    ASSERT_TRUE(pump_until([&] { return frame.input_state->mouse_buttons[0]; }));
    input.move(frame, -40, 70);  // outside, the button held
    ASSERT_TRUE(pump_until([&] { return frame.input_state->mouse_position[0] == -40; }));
    imgui_frame();
    EXPECT_EQ(io().MousePos.x, -40);
    EXPECT_EQ(io().MousePos.y, 70);
    EXPECT_TRUE(io().MouseDown[0]);
    input.release_button(frame, -45, 70);
    ASSERT_TRUE(pump_until([&] { return !frame.input_state->mouse_buttons[0]; }));
    imgui_frame();
    imgui_frame();
    EXPECT_EQ(io().MousePos.x, -FLT_MAX) << "let go outside, the pointer is not ImGui's";

    input.move(frame, 20, 20);
    ASSERT_TRUE(pump_until([&] { return frame.input_state->mouse_position[0] == 20; }));
    imgui_frame();
    EXPECT_EQ(io().MousePos.x, 20);
    input.move(other, 20, 20);  // no button held: leaving ends the pointer's position
    EXPECT_TRUE(pump_until([&] {
        imgui_frame();
        return io().MousePos.x == -FLT_MAX;
    }));

    input.key(frame, XK_a);
    ASSERT_TRUE(pump_until([&] { return frame._quarn_backing->focused == Quarn::Frame::_quarn_Told::YES; }));
    imgui_frame();
    input.key(other, XK_a);
    ASSERT_TRUE(pump_until([&] { return frame._quarn_backing->focused == Quarn::Frame::_quarn_Told::NO; }));
    EXPECT_TRUE(io().AppFocusLost) << "ImGui told of the focus leaving";
}

}  // namespace
