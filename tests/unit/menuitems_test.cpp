// The task menu's items as the program measures and draws them: the end ellipsis, the sizes it
// asks for, and what each kind of row draws where, at both DPI rules.
#include "support/device_fixture.h"
#include "support/menu_host.h"

#include <windows.h>

#include <cesim/gdi_trace.h>
#include <cesim/programs.h>
#include <cesim/shell_icons.h>

#include "button/theme.h"
#include "config/config.h"
#include "menu/menuitems.h"
#include "menu/taskmenu.h"
#include "shell/commandids.h"
#include "shell/dpi.h"
#include "shell/mainwindow.h"
#include "tasks/tasklist.h"

#include <string>

using cesim::GdiCall;
using vexotest::MenuHost;

namespace {

int Width(HDC dc, const std::u16string& text) {
    RECT r = {0, 0, 0, 0};
    DrawTextW(dc, reinterpret_cast<LPCWSTR>(text.c_str()), int(text.size()), &r,
              DT_SINGLELINE | DT_CALCRECT);
    return r.right - r.left;
}

std::vector<GdiCall> Calls(const std::vector<GdiCall>& trace, const std::string& name) {
    std::vector<GdiCall> found;
    for (const GdiCall& c : trace)
        if (c.name == name)
            found.push_back(c);
    return found;
}

// What the last DrawTextW of a call drew, on a memory DC of its own.
std::u16string Drawn(const std::u16string& text, int length, int available) {
    HDC dc = CreateCompatibleDC(nullptr);
    RECT r = {10, 0, 10 + available, 20};
    cesim::StartGdiTraceOfThread(GetCurrentThreadId());
    DrawTextEndEllipsis(dc, reinterpret_cast<LPCWSTR>(text.c_str()), length, &r, DT_SINGLELINE);
    cesim::StopGdiTrace();
    DeleteDC(dc);
    std::vector<GdiCall> draws = Calls(cesim::GdiTrace(), "DrawTextW");
    return draws.empty() ? u"(nothing)" : draws.back().text;
}

class EllipsisTest : public vexotest::DeviceTest {};

TEST_F(EllipsisTest, CutsOneCharacterAtATimeUntilStrictlyNarrowerThanTheRoom) {
    HDC dc = CreateCompatibleDC(nullptr);
    int whole = Width(dc, u"Calendar");
    int cut = Width(dc, u"Calen...");
    int notes = Width(dc, u"Notes...");
    DeleteDC(dc);
    struct Case {
        const char* name;
        int available;
        const char16_t* drawn;
    } cases[] = {
        {"exactly as wide: whole", whole, u"Calendar"},
        {"a pixel short: cut", whole - 1, nullptr},
        {"as wide as a candidate: one more cut", cut, u"Cale..."},
        {"a pixel wider than it: that candidate", cut + 1, u"Calen..."},
        {"no room: the dots alone", 1, u"..."},
    };
    for (const Case& c : cases) {
        std::u16string drawn = Drawn(u"Calendar", 8, c.available);
        if (c.drawn) {
            EXPECT_EQ(cesim::Narrow(drawn), cesim::Narrow(c.drawn)) << c.name;
        } else {
            EXPECT_EQ(drawn.substr(drawn.size() - 3), u"...") << c.name;
            EXPECT_LT(drawn.size(), 11u) << c.name;
        }
    }
    EXPECT_EQ(cesim::Narrow(Drawn(u"", 0, 0)), "") << "an empty text is drawn as it is";
    EXPECT_EQ(cesim::Narrow(Drawn(u"Calendar", -1, whole)), "Calendar")
        << "a negative length is the text's own";
    EXPECT_EQ(cesim::Narrow(Drawn(u"Calendar", -1, cut)), "Cale...");
    EXPECT_EQ(cesim::Narrow(Drawn(u"Notes\U0001F4DD", -1, notes + 1)), "Notes...")
        << "a character pair is not split";
}

TEST_F(EllipsisTest, WithoutMemoryForTheCandidatesTheTextIsDrawnUncut) {
    size_t blocks = cesim::HeapBlocks();
    cesim::FailAllocations(0, -1);
    std::u16string drawn = Drawn(u"Calendar", 8, 10);
    cesim::StopFailingAllocations();
    EXPECT_EQ(cesim::Narrow(drawn), "Calendar");
    EXPECT_EQ(cesim::HeapBlocks(), blocks);
}

class MeasureTest : public vexotest::DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        ReadScreenDpi();
    }
};

TEST_F(MeasureTest, TextRowsAreSizedByTheScreenFontSeparatorsAreThinAndNoneIsNarrow) {
    TaskEntry longTitle(L"Microsoft Pocket Outlook", 0, nullptr, nullptr);
    TaskEntry shortTitle(L"Notes", 0, nullptr, nullptr);
    std::u16string wide(300, u'W');
    TaskEntry tooWide(reinterpret_cast<LPCWSTR>(wide.c_str()), 0, nullptr, nullptr);
    HDC screen = GetDC(nullptr);
    int textWidth = Width(screen, u"Microsoft Pocket Outlook");
    ReleaseDC(nullptr, screen);
    struct Case {
        const TaskEntry* entry;
        UINT width;
        UINT height;
    } cases[] = {
        {&longTitle, UINT(Sx(30) + Sx(16) + textWidth), UINT(Sy(18))},
        {&shortTitle, UINT(Sx(160)), UINT(Sy(18))},
        {nullptr, UINT(Sx(160)), UINT(Sy(8))},
        {&tooWide, 238u, UINT(Sy(18))}, // the screen's width, less the menu's frame
    };
    ASSERT_GT(Sx(46) + textWidth, 160);
    for (const Case& c : cases) {
        MEASUREITEMSTRUCT mis = {ODT_MENU, 0, 7, 0, 0, ULONG_PTR(c.entry)};
        OnMeasureItem(0, LPARAM(&mis));
        EXPECT_EQ(mis.itemWidth, c.width);
        EXPECT_EQ(mis.itemHeight, c.height);
    }
}

// One row drawn on a memory DC of the menu's thread, with the program's fonts and icons.
struct Row {
    std::vector<GdiCall> trace;
    cesim::Surface pixels;
    size_t iconsBefore = 0;
    size_t iconsAfter = 0;
    bool stateRestored = false;
};

// Wide enough for every title of these tests at either DPI.
const int kRowWidth = 400;

Row DrawRow(DWORD vexo, UINT id, const TaskEntry* entry, UINT state) {
    Row row;
    MenuHost::Run([&] {
        int height = Sy(18);
        HDC screen = GetDC(nullptr);
        HDC dc = CreateCompatibleDC(screen);
        HBITMAP bitmap = CreateCompatibleBitmap(screen, kRowWidth + 20, height + 20);
        ReleaseDC(nullptr, screen);
        HGDIOBJ old = SelectObject(dc, bitmap);
        HGDIOBJ font = GetCurrentObject(dc, OBJ_FONT);
        DRAWITEMSTRUCT dis = {
            ODT_MENU,        0,       id, ODA_DRAWENTIRE,
            state,           nullptr, dc, RECT{10, 10, 10 + kRowWidth, 10 + height},
            ULONG_PTR(entry)};
        row.iconsBefore = cesim::LiveIcons(vexo);
        cesim::StartGdiTraceOfThread(GetCurrentThreadId());
        OnDrawItem(0, LPARAM(&dis));
        cesim::StopGdiTrace();
        row.iconsAfter = cesim::LiveIcons(vexo);
        row.stateRestored = GetCurrentObject(dc, OBJ_FONT) == font;
        row.pixels = cesim::Surface(kRowWidth + 20, height + 20);
        for (int y = 0; y < height + 20; ++y)
            for (int x = 0; x < kRowWidth + 20; ++x)
                row.pixels.set(x, y, cesim::PixelFromColorref(GetPixel(dc, x, y)));
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
    });
    row.trace = cesim::GdiTrace();
    return row;
}

std::vector<int64_t> Args(std::initializer_list<int64_t> values) {
    return values;
}

class RowTest : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override {
        vexotest::BootDevice(
            GetParam(), "REGEDIT4\n\n[" + std::string(vexotest::kSettingsPath) +
                            "]\n\"ClrMenuBg\"=dword:00204060\n\"ClrMenuHiBg\"=dword:00808000\n");
        cesim::SimProgram notes;
        notes.modulePath = u"\\Windows\\notes.exe";
        notes.icon = cesim::ShellIcon::Notes;
        cesim::SimWindow w;
        w.title = u"Notes & Ideas";
        notes.windows.push_back(w);
        notesProcess = cesim::StartSimulatedProgram(notes).processId;
        vexo = MenuHost::Start();
        MenuHost::Run([] { RefreshTaskList(); });
        ASSERT_EQ(taskTable.count, 1);
    }
    DWORD notesProcess = 0;
    DWORD vexo = 0;
};

TEST_P(RowTest, ATaskRowShowsTheProgramsIconItsTitleAsWrittenAndTheCloseMark) {
    Row row = DrawRow(vexo, CMD_TASK_FIRST, taskTable.entries[0], 0);
    std::vector<GdiCall> lists = Calls(row.trace, "ImageList_DrawEx");
    ASSERT_EQ(lists.size(), 1u);
    EXPECT_EQ(std::vector<int64_t>(lists[0].args.begin() + 2, lists[0].args.end()),
              Args({10 + Sx(2), 10 + Sy(1), Sx(16), Sy(16), int64_t(CLR_NONE), int64_t(CLR_NONE),
                    ILD_NORMAL}));
    EXPECT_EQ(row.iconsAfter, row.iconsBefore) << "the shell's icon is given back after each draw";
    cesim::Surface notes = cesim::ShellIconImage(cesim::ShellIcon::Notes, Sx(16));
    EXPECT_EQ(row.pixels.at(10 + Sx(2) + Sx(3), 10 + Sy(1) + Sy(4)), notes.at(Sx(3), Sy(4)));

    std::vector<GdiCall> texts = Calls(row.trace, "DrawTextW");
    ASSERT_FALSE(texts.empty());
    const GdiCall& title = texts.back();
    EXPECT_EQ(title.text, u"Notes & Ideas");
    EXPECT_EQ(std::vector<int64_t>(title.args.begin() + 1, title.args.end()),
              Args({10 + Sx(20), 10, 10 + kRowWidth - Sx(20), 10 + Sy(18),
                    DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX}));
    std::vector<GdiCall> iconCalls = Calls(row.trace, "DrawIconEx");
    ASSERT_EQ(iconCalls.size(), 1u);
    EXPECT_EQ(iconCalls[0].args,
              Args({10 + kRowWidth - Sx(18), 10 + Sy(1), cesim::GdiArg(icons[ICON_CLOSE]), Sx(16),
                    Sy(16), 0, 0, DI_NORMAL}));
    // The configured background fills the whole row, its last column and row included.
    EXPECT_EQ(row.pixels.at(10, 10), 0x604020u);
    EXPECT_EQ(row.pixels.at(10 + kRowWidth - 1, 10 + Sy(18) - 1), 0x604020u);
    EXPECT_EQ(row.pixels.at(10 + kRowWidth, 10), 0x000000u) << "and nothing past it";
    EXPECT_EQ(MenuItemWidth, kRowWidth);
    EXPECT_TRUE(row.stateRestored);
}

TEST_P(RowTest, ATaskWhoseProgramCannotBeOpenedIsDrawnWithoutAskingForAnIcon) {
    cesim::SetProcessOpenable(notesProcess, false);
    size_t asked = cesim::IconRequests();
    Row row = DrawRow(vexo, CMD_TASK_FIRST, taskTable.entries[0], 0);
    EXPECT_EQ(cesim::IconRequests(), asked);
    EXPECT_TRUE(Calls(row.trace, "ImageList_DrawEx").empty());
    EXPECT_EQ(Calls(row.trace, "DrawIconEx").size(), 1u) << "the close mark only";
}

// The check mark: Sy(3) polylines one pixel apart, one more and shifted at 130 DPI and above.
TEST_P(RowTest, ACheckedCommandIsHighlightedWhenSelectedAndShowsItsCheckMark) {
    TaskEntry left(L"&Landscape Left", 0, nullptr, icons[ICON_LANDSCAPE_LEFT]);
    Row row = DrawRow(vexo, CMD_LANDSCAPE_LEFT, &left, ODS_SELECTED | ODS_CHECKED);
    std::vector<GdiCall> brushes = Calls(row.trace, "CreateSolidBrush");
    ASSERT_FALSE(brushes.empty());
    EXPECT_EQ(brushes[0].args[0], int64_t(0x00808000)) << "the highlight follows the selection";
    EXPECT_EQ(row.pixels.at(10 + kRowWidth - 3, 12), 0x008080u);

    std::vector<GdiCall> lines = Calls(row.trace, "Polyline");
    bool fine = GetParam() >= 130;
    int rows = Sy(3);
    ASSERT_EQ(lines.size(), size_t(fine ? rows + 1 : rows));
    for (size_t i = 0; i < lines.size(); ++i) {
        int d = int(i), s = fine ? 1 : 0;
        EXPECT_EQ(lines[i].args, Args({10 + Sx(8), 10 + Sy(8) + d, 10 + Sx(10) + s,
                                       10 + Sy(10) + d + s, 10 + Sx(15) + s, 10 + Sy(5) + d + s}))
            << i;
    }
    std::vector<GdiCall> texts = Calls(row.trace, "DrawTextW");
    EXPECT_EQ(texts.back().args.back(), int64_t(DT_SINGLELINE | DT_VCENTER))
        << "a command's label has its mnemonic";
    std::vector<GdiCall> iconCalls = Calls(row.trace, "DrawIconEx");
    ASSERT_EQ(iconCalls.size(), 1u);
    EXPECT_EQ(iconCalls[0].args[2], cesim::GdiArg(icons[ICON_LANDSCAPE_LEFT]));
    EXPECT_EQ(iconCalls[0].args[0], 10 + Sx(2));

    Row unselected = DrawRow(vexo, CMD_LANDSCAPE_LEFT, &left, ODS_CHECKED);
    EXPECT_EQ(Calls(unselected.trace, "CreateSolidBrush")[0].args[0], int64_t(0x00204060));
    Row greyed = DrawRow(vexo, 0xFFFFFFFF, nullptr, ODS_SELECTED | ODS_GRAYED);
    EXPECT_EQ(Calls(greyed.trace, "CreateSolidBrush")[0].args[0], int64_t(0x00204060))
        << "a separator never looks chosen";
}

TEST_P(RowTest, ASeparatorIsALineAndTheIconRowItsIconsAlone) {
    Row separator = DrawRow(vexo, 0xFFFFFFFF, nullptr, ODS_GRAYED);
    std::vector<GdiCall> pens = Calls(separator.trace, "CreatePen");
    ASSERT_EQ(pens.size(), 2u); // the null pen of the fill, then the line's
    EXPECT_EQ(pens[1].args, Args({PS_SOLID, Sx(1), int64_t(config.ClrMenuFg)}));
    int y = (10 + 10 + Sy(18)) / 2;
    ASSERT_EQ(Calls(separator.trace, "Polyline").size(), 1u);
    EXPECT_EQ(Calls(separator.trace, "Polyline")[0].args,
              Args({10 + Sx(6), y, 10 + kRowWidth - Sx(6), y}));
    EXPECT_TRUE(Calls(separator.trace, "DrawTextW").empty());

    MenuHost::Run([] {
        SetCompactIcon(0, CMD_DISPLAY_OFF, icons[ICON_DISPLAY_OFF]);
        SetCompactIcon(1, CMD_POWER_OFF, icons[ICON_POWER_OFF]);
        SetCompactIcon(2, CMD_BLUETOOTH, icons[ICON_BLUETOOTH_ON]);
        compactIconTable.count = 3;
    });
    EXPECT_FALSE(SetCompactIcon(8, CMD_SOFT_RESET, nullptr));
    EXPECT_FALSE(SetCompactIcon(-1, CMD_SOFT_RESET, nullptr));
    TaskEntry rowEntry(L"", 0, nullptr, nullptr);
    Row iconRow = DrawRow(vexo, CMD_ICON_ROW, &rowEntry, 0);
    std::vector<GdiCall> iconCalls = Calls(iconRow.trace, "DrawIconEx");
    ASSERT_EQ(iconCalls.size(), 3u);
    for (int k = 0; k < 3; ++k)
        EXPECT_EQ(iconCalls[size_t(k)].args[0], 10 + Sx(2) + k * Sx(20)) << k;
    EXPECT_EQ(iconCalls[2].args[2], cesim::GdiArg(icons[ICON_BLUETOOTH_ON]));
    EXPECT_TRUE(Calls(iconRow.trace, "DrawTextW").empty());
}

INSTANTIATE_TEST_SUITE_P(Dpi, RowTest, ::testing::Values(96, 192));

} // namespace
