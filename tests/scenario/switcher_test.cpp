// The Alt-Tab switcher as a user meets it: a short press of the hot key opens it on the
// program behind the one in front, each press moves on, and the pause after the last press
// brings the chosen program to the front and gives the key back to the button.
#include "support/device_fixture.h"

#include "support/button_driver.h"

#include <windows.h>

#include <cesim/programs.h>
#include <cesim/shell_icons.h>
#include <cesim/stylus.h>

#include "config/config.h"
#include "shell/switcher.h"
#include "tasks/tasklist.h"

using vexotest::CountLog;

namespace {

const UINT kKey = 0xC1;
const char kKeySetting[] = "\"TLHWKey\"=dword:000000c1";

HWND Switcher() {
    return FindWindowW(L"VexoTaskWndClass", L"VexoTaskWnd");
}

void ShortPress() {
    cesim::HoldHardwareKey(kKey, 100);
}

void Press() {
    cesim::PressHardwareKey(kKey);
    cesim::ReleaseHardwareKey(kKey);
}

std::u16string ForegroundTitle() {
    auto info = cesim::Inspect(GetForegroundWindow());
    return info ? info->title : u"";
}

// Where the hot key is, and whether it still hears its release.
struct KeyHolder {
    HWND window;
    UINT modifiers;
};
KeyHolder HotKeyHolder() {
    auto key = cesim::HotKeyFor(kKey);
    return key ? KeyHolder{key->window, key->modifiers} : KeyHolder{nullptr, 0};
}

// The titles the switcher drew, in row order, since the log held `from` messages.
std::vector<std::string> DrawnTitles(size_t from) {
    std::vector<std::string> titles;
    std::vector<std::string> log = vexotest::LogMessages();
    const std::string prefix = "DrawTextEndEllipsis(, '";
    for (size_t i = from; i < log.size(); ++i)
        if (log[i].compare(0, prefix.size(), prefix) == 0)
            titles.push_back(
                log[i].substr(prefix.size(), log[i].find('\'', prefix.size()) - prefix.size()));
    return titles;
}

TEST(Switcher, TwoTasksOpenOnTheProgramBehindAndThePauseBringsItToTheFront) {
    vexotest::BootWithNotes(96, {kKeySetting});
    vexotest::StartWindowProgram(u"Mail");
    ASSERT_EQ(ForegroundTitle(), u"Mail");
    HWND button = vexotest::FindButtonWindow();

    ShortPress();
    HWND switcher = Switcher();
    ASSERT_TRUE(switcher);
    EXPECT_EQ(switcherIndex, 1);
    // Two rows of 20 pixels inside the frame, 20 pixels in from the screen's sides.
    RECT window = cesim::Inspect(switcher)->rect;
    RECT client;
    GetClientRect(switcher, &client);
    EXPECT_EQ(window.left, 20);
    EXPECT_EQ(window.top, 40);
    EXPECT_EQ(window.right, 220);
    EXPECT_EQ(client.bottom, 40);
    EXPECT_EQ(window.bottom - window.top, 40 + 2 * GetSystemMetrics(SM_CYDLGFRAME));
    // The key is the switcher's now, presses only.
    EXPECT_EQ(HotKeyHolder().window, switcher);
    EXPECT_EQ(HotKeyHolder().modifiers, UINT(MOD_WIN));

    cesim::Advance(config.AltTabTimeout - 1);
    EXPECT_TRUE(Switcher());
    cesim::Advance(1);
    EXPECT_FALSE(Switcher());
    EXPECT_EQ(ForegroundTitle(), u"Notes");
    EXPECT_EQ(HotKeyHolder().window, button);
    EXPECT_EQ(HotKeyHolder().modifiers, UINT(MOD_WIN | MOD_KEYUP));

    // One press more selects the first entry, the program in front; two come back around.
    struct {
        int presses;
        int selected;
        const char16_t* front;
    } const kCases[] = {{1, 0, u"Notes"}, {2, 1, u"Mail"}};
    for (const auto& c : kCases) {
        ShortPress();
        for (int i = 0; i < c.presses; ++i)
            Press();
        EXPECT_EQ(switcherIndex, c.selected) << c.presses << " presses";
        cesim::Advance(config.AltTabTimeout);
        EXPECT_FALSE(Switcher());
        EXPECT_EQ(ForegroundTitle(), c.front) << c.presses << " presses";
    }
}

TEST(Switcher, TenTasksShowSevenRowsWithTheSelectionInTheMiddleWrappingAround) {
    vexotest::BootWithNotes(96, {kKeySetting});
    for (char16_t c = u'1'; c <= u'9'; ++c)
        vexotest::StartWindowProgram(std::u16string(u"Program ") + c);
    // In z-order: Program 9 ... Program 1, Notes.
    ShortPress();
    ASSERT_TRUE(Switcher());
    RECT client;
    GetClientRect(Switcher(), &client);
    EXPECT_EQ(client.bottom, 7 * 20);
    ASSERT_EQ(taskTable.count, 10);

    const UINT highlight = cesim::PixelFromColorref(GetSysColor(COLOR_HIGHLIGHT));
    const UINT background = cesim::PixelFromColorref(GetSysColor(COLOR_WINDOW));
    struct {
        int presses; // before the picture
        int selected;
        std::vector<std::string> rows;
    } const kCases[] = {
        {0,
         1,
         {"Program 1", "Notes", "Program 9", "Program 8", "Program 7", "Program 6", "Program 5"}},
        {8,
         9,
         {"Program 3", "Program 2", "Program 1", "Notes", "Program 9", "Program 8", "Program 7"}},
        {1,
         0,
         {"Program 2", "Program 1", "Notes", "Program 9", "Program 8", "Program 7", "Program 6"}},
    };
    for (const auto& c : kCases) {
        size_t logged = vexotest::LogMessages().size();
        for (int i = 0; i < c.presses; ++i)
            Press();
        EXPECT_EQ(switcherIndex, c.selected);
        if (c.presses > 0) {
            std::vector<std::string> drawn = DrawnTitles(logged);
            ASSERT_GE(drawn.size(), 7u);
            EXPECT_EQ(std::vector<std::string>(drawn.end() - 7, drawn.end()), c.rows);
        }
        cesim::Surface screen = cesim::ComposeScreen();
        POINT origin = {0, 0};
        ClientToScreen(Switcher(), &origin);
        for (int row = 0; row < 7; ++row) {
            // Both ends of each row, its last line included: the rows meet without a gap.
            for (int y : {row * 20, row * 20 + 19})
                for (int x : {0, int(client.right) - 1})
                    EXPECT_EQ(screen.at(origin.x + x, origin.y + y),
                              row == 3 ? highlight : background)
                        << "row " << row << " at " << x << ", " << y;
        }
    }
}

struct TimeoutCase {
    const char* name;
    const char* setting;
    DWORD timeout;
};

const TimeoutCase kTimeouts[] = {
    {"Default", "\"AltTabTimeout\"=dword:000001f4", 500},
    // 0 would close it before it is seen; a huge value would keep it, and the stylus capture
    // with it, for weeks.
    {"Zero", "\"AltTabTimeout\"=dword:00000000", kSwitcherTimeoutMin},
    {"AMinute", "\"AltTabTimeout\"=dword:0000ea60", kSwitcherTimeoutMax},
    {"Largest", "\"AltTabTimeout\"=dword:ffffffff", kSwitcherTimeoutMax},
};

class SwitcherTimeout : public ::testing::TestWithParam<TimeoutCase> {};

TEST_P(SwitcherTimeout, EachPressRestartsTheWholeTimeOutWhichIsKeptWithinBounds) {
    const TimeoutCase& c = GetParam();
    vexotest::BootWithNotes(96, {kKeySetting, c.setting});
    vexotest::StartWindowProgram(u"Mail");
    vexotest::StartWindowProgram(u"Tasks");
    ShortPress();
    cesim::Advance(c.timeout / 2);
    Press();
    cesim::Advance(c.timeout - 1);
    EXPECT_TRUE(Switcher());
    cesim::Advance(1);
    EXPECT_FALSE(Switcher());
    EXPECT_EQ(ForegroundTitle(), u"Notes");
}

INSTANTIATE_TEST_SUITE_P(Switcher, SwitcherTimeout, ::testing::ValuesIn(kTimeouts),
                         [](const ::testing::TestParamInfo<TimeoutCase>& info) {
                             return std::string(info.param.name);
                         });

TEST(Switcher, TapsDoNothingWhileItIsOpenAndTheButtonHasTheStylusAndKeyBackAfter) {
    HWND notes = vexotest::BootWithNotes(96, {kKeySetting});
    vexotest::StartWindowProgram(u"Mail");
    DWORD notesProcess = 0;
    GetWindowThreadProcessId(notes, &notesProcess);
    HWND button = vexotest::FindButtonWindow();

    ShortPress();
    ASSERT_TRUE(Switcher());
    EXPECT_EQ(cesim::CaptureWindow(), Switcher());
    EXPECT_EQ(HotKeyHolder().window, Switcher());
    cesim::ClearReceivedMessages(notesProcess);
    vexotest::TapButton(14, 11);
    cesim::Tap(120, 250); // on Notes, below the switcher
    EXPECT_EQ(CountLog("OnLButtonDown("), 0);
    EXPECT_EQ(CountLog("DoAction("), 0);
    for (const auto& m : cesim::ReceivedMessages(notesProcess))
        EXPECT_NE(m.message, UINT(WM_LBUTTONDOWN));
    EXPECT_NE(ForegroundTitle(), u"Notes");

    cesim::Advance(config.AltTabTimeout);
    ASSERT_FALSE(Switcher());
    EXPECT_EQ(cesim::CaptureWindow(), HWND(nullptr));
    EXPECT_EQ(HotKeyHolder().window, button);
    vexotest::TapButton(14, 11);
    EXPECT_EQ(CountLog("DoAction("), 1);
}

TEST(Switcher, AReloadThatTurnsTheKeyOffWhileItIsOpenLeavesTheKeyOffAfter) {
    vexotest::BootWithNotes(96, {kKeySetting});
    vexotest::StartWindowProgram(u"Mail");
    ShortPress();
    ASSERT_TRUE(Switcher());
    vexotest::ChangeSettings([] { cesim::reg::SetDword(vexotest::kSettingsPath, "TLHWKey", 0); });
    cesim::Advance(config.AltTabTimeout);
    EXPECT_FALSE(Switcher());
    EXPECT_TRUE(cesim::HotKeys().empty());
    EXPECT_EQ(ForegroundTitle(), u"Notes");
}

TEST(Switcher, ASelectedProgramThatClosedMeanwhileLeavesTheFrontAsItIs) {
    vexotest::BootWithNotes(96, {kKeySetting});
    HWND mail = vexotest::StartWindowProgram(u"Mail");
    vexotest::StartWindowProgram(u"Tasks");
    ShortPress();
    ASSERT_EQ(taskTable.entries[switcherIndex]->window, mail);
    DWORD mailProcess = 0;
    GetWindowThreadProcessId(mail, &mailProcess);
    ASSERT_TRUE(cesim::TerminateProgram(mailProcess, 0));
    cesim::Advance(config.AltTabTimeout);
    EXPECT_FALSE(Switcher());
    EXPECT_EQ(ForegroundTitle(), u"Tasks");
    EXPECT_EQ(HotKeyHolder().window, vexotest::FindButtonWindow());
}

TEST(Switcher, OneTaskOpensNothingAndTheKeyStaysWithTheButton) {
    vexotest::BootWithNotes(96, {kKeySetting});
    ShortPress();
    EXPECT_FALSE(Switcher());
    EXPECT_EQ(HotKeyHolder().window, vexotest::FindButtonWindow());
    EXPECT_EQ(HotKeyHolder().modifiers, UINT(MOD_WIN | MOD_KEYUP));
}

TEST(Switcher, AClassThatCannotBeRegisteredOnlyKeepsTheSwitcherShut) {
    vexotest::BootDevice(96, vexotest::SettingsText({kKeySetting}));
    vexotest::StartWindowProgram(u"Notes");
    vexotest::StartWindowProgram(u"Mail");
    // The switcher's class is the first the program registers.
    cesim::InjectFailure("RegisterClassW", ERROR_CLASS_ALREADY_EXISTS, 1);
    vexotest::StartVexo();
    ASSERT_TRUE(vexotest::FindButtonWindow());
    ShortPress();
    EXPECT_FALSE(Switcher());
    EXPECT_EQ(HotKeyHolder().window, vexotest::FindButtonWindow());
    EXPECT_EQ(HotKeyHolder().modifiers, UINT(MOD_WIN | MOD_KEYUP));
    cesim::ClearFailures();
}

// What painting takes it gives back: GDI objects, the shell's icons, heap blocks.
TEST(Switcher, PaintingAndClosingGiveBackWhatTheyTake) {
    vexotest::BootWithNotes(96, {kKeySetting});
    for (const char16_t* title : {u"Mail", u"Tasks", u"Calendar"})
        vexotest::StartWindowProgram(title);
    DWORD vexo = 0;
    GetWindowThreadProcessId(vexotest::FindButtonWindow(), &vexo);
    // The first refresh of the task list settles what it keeps until the next.
    ShortPress();
    cesim::Advance(config.AltTabTimeout);
    size_t gdi = cesim::LiveGdiObjects(vexo), icons = cesim::LiveIcons(vexo);
    size_t heap = cesim::HeapBlocks();

    ShortPress();
    ASSERT_TRUE(Switcher());
    size_t asked = cesim::IconRequests();
    for (int i = 0; i < 3; ++i) {
        Press();
        EXPECT_EQ(cesim::LiveGdiObjects(vexo), gdi);
        EXPECT_EQ(cesim::LiveIcons(vexo), icons);
    }
    EXPECT_EQ(cesim::IconRequests(), asked + 3 * 4);
    cesim::Advance(config.AltTabTimeout);
    ASSERT_FALSE(Switcher());
    EXPECT_EQ(cesim::LiveGdiObjects(vexo), gdi);
    EXPECT_EQ(cesim::LiveIcons(vexo), icons);
    EXPECT_EQ(cesim::HeapBlocks(), heap);
}

TEST(Switcher, ATaskWithoutAProgramPathIsDrawnWithoutAskingTheShell) {
    vexotest::BootWithNotes(96, {kKeySetting});
    HWND mail = vexotest::StartWindowProgram(u"Mail");
    ShortPress();
    ASSERT_TRUE(Switcher());
    // The process can no longer be opened, so its path is unknown.
    DWORD mailProcess = 0;
    GetWindowThreadProcessId(mail, &mailProcess);
    cesim::SetProcessOpenable(mailProcess, false);
    size_t asked = cesim::IconRequests();
    size_t logged = vexotest::LogMessages().size();
    Press();
    EXPECT_EQ(cesim::IconRequests(), asked + 1);
    EXPECT_EQ(DrawnTitles(logged), (std::vector<std::string>{"Notes", "Mail"}));
}

} // namespace
