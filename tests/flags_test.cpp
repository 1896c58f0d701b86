#include <gtest/gtest.h>

#include "quarn/flags.h"

// Made in flags_constants.cpp, which is linked before the library.
extern const Quarn::Flags::Style kAppStyle;
extern const Quarn::Flags::Button kAppButtons;
extern const Quarn::Flags::Report kAppReport;
extern const Quarn::Flags::Modifier kAppShortcut;

namespace {

using Quarn::Flags::Button;
using Quarn::Flags::Modifier;
using Quarn::Flags::Report;
using Quarn::Flags::Style;

bool as_bool(bool value) { return value; }

// The named constants and their combinations are compile-time values.
static_assert((Style::BORDER | Style::TITLEBAR) == Style(9), "or of two constants");
static_assert(!(Button::MINIMIZE & Button::CLOSE), "and of disjoint constants");
static_assert((~Report::NONE & Report::REPEAT) == Report(8), "complement");
static_assert((Modifier::CONTROL | Modifier::ALT) == Modifier(6), "modifiers");
constexpr Style kCompileTimeStyle = Style::BORDER | Style::RESIZABLE;
static_assert(kCompileTimeStyle & Style::RESIZABLE, "a constexpr constant of one's own");

TEST(Flags, NamedConstantsHoldTheirBits) {
    EXPECT_TRUE(Button::NONE == Button(0));
    EXPECT_TRUE(Button::MINIMIZE == Button(1));
    EXPECT_TRUE(Button::MAXIMIZE == Button(2));
    EXPECT_TRUE(Button::CLOSE == Button(4));
    EXPECT_TRUE(Style::NONE == Style(0));
    EXPECT_TRUE(Style::NOBORDER == Style(16));
    EXPECT_TRUE(Style::BORDER == Style(1));
    EXPECT_TRUE(Style::MINI == Style(2));
    EXPECT_TRUE(Style::RESIZABLE == Style(4));
    EXPECT_TRUE(Style::TITLEBAR == Style(8));
    EXPECT_TRUE(Report::NONE == Report(0));
    EXPECT_TRUE(Report::WHEEL == Report(1));
    EXPECT_TRUE(Report::RESIZE == Report(2));
    EXPECT_TRUE(Report::TEXT == Report(4));
    EXPECT_TRUE(Report::REPEAT == Report(8));
    EXPECT_TRUE(Report::FOCUS == Report(16));
    EXPECT_TRUE(Report::CROSSING == Report(32));
    EXPECT_TRUE(Report::REFRESH == Report(64));
    EXPECT_TRUE(Report::BUTTONS == Report(128));
    EXPECT_TRUE(Report::MONITORS == Report(256));
    EXPECT_TRUE(Report::MOVE == Report(512));
    EXPECT_TRUE(Report::GAMEPAD == Report(1024));
    EXPECT_TRUE(Report::DROP == Report(2048));
    EXPECT_TRUE(Modifier::NONE == Modifier(0));
    EXPECT_TRUE(Modifier::SHIFT == Modifier(1));
    EXPECT_TRUE(Modifier::CONTROL == Modifier(2));
    EXPECT_TRUE(Modifier::ALT == Modifier(4));
    EXPECT_TRUE(Modifier::SUPER == Modifier(8));
    EXPECT_TRUE(Modifier::CAPS_LOCK == Modifier(16));
    EXPECT_TRUE(Modifier::NUM_LOCK == Modifier(32));
}

// Built while the program started, the named constants still read 0 when
// another file's initializer, run first, combined them.
TEST(Flags, ConstantsMadeFromThemInAnotherFileHoldTheirBitsWhateverTheLinkOrder) {
    EXPECT_TRUE(kAppStyle == Style(9)) << "BORDER | TITLEBAR";
    EXPECT_TRUE(kAppButtons == Button(5)) << "MINIMIZE | CLOSE";
    EXPECT_TRUE(kAppReport == Report(5)) << "WHEEL | TEXT";
    EXPECT_TRUE(kAppShortcut == Modifier(3)) << "CONTROL | SHIFT";
}

TEST(Flags, OrAndAndCombineBits) {
    EXPECT_TRUE((Style::BORDER | Style::TITLEBAR) == Style(9));
    EXPECT_TRUE(as_bool(Style::BORDER | Style::TITLEBAR));
    EXPECT_FALSE(as_bool(Button::NONE));
    EXPECT_TRUE((Button::MINIMIZE & Button::CLOSE) == Button(0));
    EXPECT_FALSE(as_bool(Button::MINIMIZE & Button::CLOSE));
    EXPECT_TRUE((Style::NOBORDER | Style::BORDER) == Style(17));
    EXPECT_TRUE(as_bool((Style::NOBORDER | Style::BORDER) & Style::BORDER));
}

TEST(Flags, InequalityComparesTheWholeSet) {
    EXPECT_TRUE(Button::CLOSE != Button::NONE);
    EXPECT_FALSE(Button(4) != Button::CLOSE);
    EXPECT_TRUE(Style::MINI != Style::BORDER);
    EXPECT_FALSE(Style(2) != Style::MINI);
}

TEST(Flags, UnnamedBitsAreKept) {
    const Button eight(8);
    EXPECT_TRUE(eight == Button(8));
    EXPECT_TRUE(as_bool(eight));
    for (const Button& named : {Button::MINIMIZE, Button::MAXIMIZE, Button::CLOSE})
        EXPECT_FALSE(as_bool(eight & named));
}

TEST(Flags, ComplementAndDefaults) {
    EXPECT_TRUE(~Button::NONE == Button(~0u));
    EXPECT_TRUE((~Style::BORDER & Style::BORDER) == Style::NONE);
    EXPECT_FALSE(as_bool(Button()));
    EXPECT_FALSE(as_bool(Style()));
    const Style copy(Style::TITLEBAR);
    EXPECT_TRUE(copy == Style::TITLEBAR);
}

TEST(Flags, ReportsCombineLikeTheOtherSets) {
    const Report all = Report::WHEEL | Report::RESIZE | Report::TEXT;
    EXPECT_TRUE(all == Report(7));
    EXPECT_TRUE(as_bool(all & Report::RESIZE));
    EXPECT_TRUE((all & ~Report::TEXT) == (Report::WHEEL | Report::RESIZE));
    EXPECT_TRUE(all != Report::NONE);
    EXPECT_FALSE(as_bool(Report()));
    EXPECT_FALSE(as_bool(Report::WHEEL & Report::TEXT));
}

TEST(Flags, ModifiersCombineLikeTheOtherSets) {
    const Modifier shortcut = Modifier::CONTROL | Modifier::SHIFT;
    EXPECT_TRUE(as_bool(shortcut & Modifier::CONTROL));
    EXPECT_FALSE(as_bool(shortcut & Modifier::ALT));
    EXPECT_TRUE((shortcut & ~Modifier::SHIFT) == Modifier::CONTROL);
    EXPECT_TRUE(shortcut != Modifier::CONTROL);
    EXPECT_FALSE(as_bool(Modifier()));
}

}  // namespace
