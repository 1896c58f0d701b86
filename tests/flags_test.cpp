#include <gtest/gtest.h>

#include "quarn/flags.h"

namespace {

using Quarn::Flags::Button;
using Quarn::Flags::Report;
using Quarn::Flags::Style;

bool as_bool(bool value) { return value; }

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
    EXPECT_TRUE(Report::FOCUS == Report(16));
    EXPECT_TRUE(Report::CROSSING == Report(32));
    EXPECT_TRUE(Report::REFRESH == Report(64));
    EXPECT_TRUE(Report::BUTTONS == Report(128));
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

}  // namespace
