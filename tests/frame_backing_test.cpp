#include <gtest/gtest.h>

#include <GL/glx.h>

#include <algorithm>

#include <string>
#include <vector>

#include "quarn/frame/frame.h"
#include "quarn/init.h"
#include "tests/support/capture.h"
#include "tests/support/fixture.h"
#include "tests/support/x_client.h"

namespace {

using Quarn::Flags::Button;
using Quarn::Flags::Style;
using quarn_test::StdoutCapture;

const char* const kWarnings[] = {
    nullptr,
    "Quarn: Cannot create a window with no border but having a minimize, maximize, or close button!",
    "Quarn: Cannot create a window with no border but having a titlebar!",
    "Quarn: Cannot create a window with no border but manually resizable!",
    "Quarn: Cannot create a window with no close button but having a minimize or maximize button!",
    "Quarn: Miniframes must have close buttons!",
    "Quarn: Cannot create a window with no titlebar but having a minimize, maximize, or close button!",
    "Quarn: Minimize and maximize buttons on miniframes are ignored.",
};

struct FlagCase {
    const char* name;
    Style style;
    Button buttons;
    std::vector<int> warnings;  // rows of the check table, in printing order
};

class FrameBacking : public quarn_test::LibraryTest {
protected:
    Quarn::Frame::_quarn_FrameBacking* make(const Style& style, const Button& buttons) {
        const int position[2] = {3, 4};
        const int dimensions[2] = {50, 60};
        return new Quarn::Frame::_quarn_FrameBacking(style, buttons, nullptr, position, dimensions);
    }
};

// Runs first in this binary, before anything on the fresh server has interned
// WM_DELETE_WINDOW: the window must still list the real atom, not None.
TEST_F(FrameBacking, NewWindowIsUnmappedTitledAndAsksToBeClosed) {
    quarn_test::XClient client;
    auto* backing = make(Style::BORDER | Style::TITLEBAR, Button::CLOSE);
    XSync(Quarn::_quarn_display, False);

    const XWindowAttributes attributes = client.attributes(backing->window);
    EXPECT_EQ(attributes.map_state, IsUnmapped);
    EXPECT_EQ(attributes.border_width, 0);
    EXPECT_EQ(attributes.x, 3);
    EXPECT_EQ(attributes.y, 4);
    EXPECT_EQ(attributes.width, 50);
    EXPECT_EQ(attributes.height, 60);
    EXPECT_EQ(client.title(backing->window), "[default title]");
    EXPECT_EQ(client.protocols(backing->window), std::vector<std::string>{"WM_DELETE_WINDOW"});
    EXPECT_EQ(client.parent(backing->window), client.root());
    EXPECT_EQ(XVisualIDFromVisual(attributes.visual), backing->visual_info->visualid);
    EXPECT_EQ(attributes.colormap, backing->color_map);
    delete backing;
}

// Key, button, motion, exposure, focus, crossings and the keymap state after them.
constexpr long kFrameEventMask = 0x20C07F;

TEST_F(FrameBacking, SelectsKeyButtonMotionExposureFocusCrossingAndKeymapOnTheLibraryConnection) {
    static_assert(
        kFrameEventMask == (KeyPressMask | KeyReleaseMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask |
                            ExposureMask | FocusChangeMask | EnterWindowMask | LeaveWindowMask | KeymapStateMask),
        "the masks by name");
    quarn_test::XClient client;
    auto* backing = make(Style::BORDER | Style::TITLEBAR, Button::CLOSE);
    XWindowAttributes own{};
    XGetWindowAttributes(Quarn::_quarn_display, backing->window, &own);
    EXPECT_EQ(own.your_event_mask, kFrameEventMask);
    EXPECT_EQ(client.attributes(backing->window).your_event_mask, 0);
    EXPECT_EQ(client.attributes(backing->window).all_event_masks, kFrameEventMask);
    delete backing;
}

TEST_F(FrameBacking, VisualHasDepthAndStencilAndComesFromTheDefaultScreen) {
    auto* backing = make(Style::BORDER | Style::TITLEBAR, Button::CLOSE);
    EXPECT_EQ(backing->visual_info->screen, DefaultScreen(Quarn::_quarn_display));
    int depth = 0, stencil = 0, double_buffer = 0;
    glXGetConfig(Quarn::_quarn_display, backing->visual_info, GLX_DEPTH_SIZE, &depth);
    glXGetConfig(Quarn::_quarn_display, backing->visual_info, GLX_STENCIL_SIZE, &stencil);
    glXGetConfig(Quarn::_quarn_display, backing->visual_info, GLX_DOUBLEBUFFER, &double_buffer);
    EXPECT_GE(depth, 24);
    EXPECT_GE(stencil, 8);
    EXPECT_TRUE(double_buffer);
    delete backing;
}

TEST_F(FrameBacking, DestructorReleasesTheWindow) {
    quarn_test::XClient client;
    auto* backing = make(Style::BORDER | Style::TITLEBAR, Button::CLOSE);
    const Window window = backing->window;
    XSync(Quarn::_quarn_display, False);
    auto root_children = client.children(client.root());
    EXPECT_NE(std::find(root_children.begin(), root_children.end(), window), root_children.end());
    delete backing;
    XSync(Quarn::_quarn_display, False);
    root_children = client.children(client.root());
    EXPECT_EQ(std::find(root_children.begin(), root_children.end(), window), root_children.end());
}

TEST_F(FrameBacking, WarnsAboutEachContradictionInTableOrder) {
    const std::vector<FlagCase> cases = {
        {"context host", Style::BORDER | Style::TITLEBAR, Button::CLOSE, {}},
        {"nothing at all", Style::NONE, Button::NONE, {}},
        {"close without border or titlebar", Style::NONE, Button::CLOSE, {1, 6}},
        {"noborder with titlebar", Style::NOBORDER | Style::TITLEBAR, Button::CLOSE, {1, 2}},
        {"resizable alone", Style::RESIZABLE, Button::NONE, {3}},
        {"mini alone", Style::MINI, Button::NONE, {5}},
        {"border, all buttons, no titlebar", Style::BORDER, Button::MINIMIZE | Button::MAXIMIZE | Button::CLOSE, {6}},
        {"mini with minimize", Style::BORDER | Style::TITLEBAR | Style::MINI, Button::MINIMIZE, {4, 5, 7}},
        {"mini with minimize and close",
         Style::BORDER | Style::TITLEBAR | Style::MINI,
         Button::MINIMIZE | Button::CLOSE,
         {7}},
        {"mini with maximize and close",
         Style::BORDER | Style::TITLEBAR | Style::MINI,
         Button::MAXIMIZE | Button::CLOSE,
         {7}},
        {"six warnings", Style::TITLEBAR | Style::RESIZABLE | Style::MINI, Button::MINIMIZE, {1, 2, 3, 4, 5, 7}},
        {"unnamed button bit, no border", Style::NONE, Button(8), {1, 4, 6}},
        {"unnamed button bit, border and titlebar", Style::BORDER | Style::TITLEBAR, Button(8), {4}},
        {"noborder and border has a border", Style::NOBORDER | Style::BORDER | Style::TITLEBAR, Button::CLOSE, {}},
        {"first demo frame",
         Style::BORDER | Style::TITLEBAR | Style::RESIZABLE,
         Button::MINIMIZE | Button::MAXIMIZE | Button::CLOSE,
         {}},
        {"second demo frame", Style::BORDER | Style::TITLEBAR | Style::RESIZABLE | Style::MINI, Button::CLOSE, {}},
    };
    for (const FlagCase& c : cases) {
        SCOPED_TRACE(c.name);
        StdoutCapture capture;
        auto* backing = make(c.style, c.buttons);
        const auto lines = capture.lines();
        std::vector<std::string> expected;
        for (int row : c.warnings) expected.emplace_back(kWarnings[row]);
        EXPECT_EQ(lines, expected);
        delete backing;
    }
}

}  // namespace
