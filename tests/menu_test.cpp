#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "quarn/menu/helpers.h"
#include "quarn/menu/menu.h"
#include "quarn/menu/menubar.h"
#include "tests/support/capture.h"
#include "tests/support/fixture.h"
#include "tests/support/recording_frame.h"

namespace {

using Quarn::Menuing::_quarn_get_name;
using quarn_test::StdoutCapture;

const std::string kNotFound = "Quarn: Mnemonic not found!";

struct LabelCase {
    std::string name;
    char mnemonic;
    std::string expected;
    bool warns;
};

TEST(MnemonicLabels, MarkTheFirstOccurrenceCaseSensitively) {
    const std::vector<LabelCase> cases = {
        {"Exit", 'x', "E&xit", false}, {"File", 'F', "&File", false},
        {"File", 'f', "File", true},   {"Hello", 'l', "He&llo", false},
        {"A&B", 'B', "A&&B", false},   {"", '\0', "", false},
        {"", 'x', "", true},           {"tab", '\0', "tab", false},
    };
    for (const LabelCase& c : cases) {
        SCOPED_TRACE(c.name + " / " + c.mnemonic);
        StdoutCapture capture;
        const std::wstring narrow = _quarn_get_name(c.name, c.mnemonic);
        const std::wstring wide =
            _quarn_get_name(std::wstring(c.name.begin(), c.name.end()), static_cast<wchar_t>(c.mnemonic));
        EXPECT_EQ(narrow, std::wstring(c.expected.begin(), c.expected.end()));
        EXPECT_EQ(wide, narrow);
        EXPECT_EQ(capture.lines(), c.warns ? std::vector<std::string>(2, kNotFound) : std::vector<std::string>{});
    }
}

TEST(MnemonicLabels, NulMnemonicMarksAnEmbeddedNul) {
    const std::wstring marked = _quarn_get_name(std::string("a\0b", 3), '\0');
    EXPECT_EQ(marked, std::wstring(L"a&\0b", 4));
}

TEST(MnemonicLabels, NonAsciiByteMnemonicMatchesTheSameByte) {
    StdoutCapture capture;
    const std::wstring marked = _quarn_get_name(std::string("caf\xE9"), '\xE9');
    EXPECT_EQ(capture.finish(), "");
    ASSERT_EQ(marked.size(), 5u);
    EXPECT_EQ(marked[3], L'&');
    EXPECT_EQ(static_cast<int>(marked[4]), -23);
}

class Menus : public quarn_test::LibraryTest {
protected:
    std::vector<quarn_test::Call> log;
};

TEST_F(Menus, BuildingMenusPrintsNothingAndRegistersNothing) {
    StdoutCapture capture;
    Quarn::Menuing::Menu menu, sub;
    menu.append_item("Exit", 'x', reinterpret_cast<void*>(1));
    menu.append_item(L"Wide", L'W', nullptr);
    menu.append_item("Missing", 'z', nullptr);  // the label builder is not used on Linux
    menu.append_separator();
    menu.append_submenu(&sub, "Sub", 'S');
    menu.append_submenu(nullptr, "", '\0');
    EXPECT_EQ(capture.finish(), "");
    EXPECT_TRUE(Quarn::Menuing::_quarn_menu_callbacks->empty());
}

TEST_F(Menus, MenubarWarnsAndMarksItsFrameWhileItLives) {
    quarn_test::RecordingFrame frame(log);
    Quarn::Menuing::Menu menu;
    StdoutCapture capture;
    auto* first = new Quarn::Menuing::Menubar(&frame);
    EXPECT_EQ(first->frame, &frame);
    EXPECT_TRUE(frame.has_menubar);
    first->append_menu(&menu, "File", 'F');
    first->append_menu(&menu, L"File", L'F');
    auto* second = new Quarn::Menuing::Menubar(&frame);
    EXPECT_EQ(capture.lines(), std::vector<std::string>(2, "Quarn: Menuing is not yet supported on Linux!"));
    delete first;
    EXPECT_FALSE(frame.has_menubar);
    delete second;
    EXPECT_FALSE(frame.has_menubar);
    EXPECT_TRUE(Quarn::Menuing::_quarn_menu_callbacks->empty());
}

TEST_F(Menus, MenubarForANullFrameIsRefused) {
    StdoutCapture capture;
    EXPECT_THROW(Quarn::Menuing::Menubar menubar(nullptr), const char*);
    EXPECT_EQ(capture.lines(), std::vector<std::string>{"Quarn: Cannot create a menubar for a null frame!"});
}

}  // namespace
