// Painting the button on the device: the exact shapes of the worked example, what a paint
// costs, and the close-button type of the program in front.
#include "support/device_fixture.h"

#include <windows.h>

#include <cesim/gdi_trace.h>
#include <cesim/programs.h>

#include "button/paint.h"
#include "button/theme.h"
#include "shell/mainwindow.h"

using vexotest::BootDevice;
using vexotest::FindButtonWindow;
using vexotest::StartVexo;

namespace {

std::vector<cesim::GdiCall> TracePaint(DWORD vexo) {
    cesim::StartGdiTraceOfProcess(vexo);
    InvalidateRect(FindButtonWindow(), nullptr, FALSE);
    cesim::Settle();
    cesim::StopGdiTrace();
    return cesim::GdiTrace();
}

std::vector<std::vector<int64_t>> ArgsOf(const std::vector<cesim::GdiCall>& calls,
                                         const std::string& name) {
    std::vector<std::vector<int64_t>> result;
    for (const cesim::GdiCall& c : calls)
        if (c.name == name)
            result.push_back(c.args);
    return result;
}

typedef std::vector<int64_t> Args;

TEST(Paint, WorkedExampleWithTheCrossAt96Dpi) {
    BootDevice(96, "", 4, 20);
    vexotest::StartWindowProgram(u"Notes", WS_VISIBLE, 0);
    DWORD vexo = StartVexo();
    auto calls = TracePaint(vexo);
    EXPECT_EQ(ArgsOf(calls, "Ellipse"), (std::vector<Args>{{0, 7, 8, 15}, {9, 2, 26, 19}}))
        << cesim::Describe(calls);
    auto lines = ArgsOf(calls, "Polyline");
    ASSERT_EQ(lines.size(), 6u) << cesim::Describe(calls);
    EXPECT_EQ(lines[0], (Args{13, 6, 22, 15}));   // the box (13, 6) - (21, 14), corners inclusive
    EXPECT_EQ(lines[1], (Args{21, 6, 12, 15}));
    EXPECT_EQ(lines[2], (Args{13, 7, 21, 15}));
    EXPECT_EQ(lines[3], (Args{14, 6, 22, 14}));
    EXPECT_EQ(lines[4], (Args{20, 6, 12, 14}));
    EXPECT_EQ(lines[5], (Args{21, 7, 13, 15}));
    // One copy of the whole face from the back buffer.
    auto copies = ArgsOf(calls, "BitBlt");
    ASSERT_EQ(copies.size(), 1u);
    EXPECT_EQ(Args(copies[0].begin(), copies[0].begin() + 4), (Args{0, 0, 28, 22}));
    EXPECT_EQ(Args(copies[0].begin() + 5, copies[0].end()), (Args{0, 0, SRCCOPY}));
}

TEST(Paint, WorkedExampleWithOkAt96Dpi) {
    BootDevice(96, "", 4, 20);
    vexotest::StartWindowProgram(u"Options", WS_VISIBLE | WS_CAPTION, WS_EX_CAPTIONOKBTN);
    DWORD vexo = StartVexo();
    auto calls = TracePaint(vexo);
    bool found = false;
    for (const cesim::GdiCall& c : calls)
        if (c.name == "DrawTextW") {
            found = true;
            EXPECT_EQ(c.text, u"ok");
            EXPECT_EQ(c.args, (Args{2, 10, 1, 27, 18, DT_CENTER | DT_VCENTER | DT_SINGLELINE}));
        }
    EXPECT_TRUE(found) << cesim::Describe(calls);
}

// The shell style is read once per program life, so each style is a case of its own.
void ExpectPaintsLeaveNothingBehind(int major, int minor) {
    {
        BootDevice(96, "", major, minor);
        vexotest::StartWindowProgram(u"Notes", WS_VISIBLE, 0);
        DWORD vexo = StartVexo();
        HWND button = FindButtonWindow();
        cesim::Settle();
        size_t objects = cesim::LiveGdiObjects(vexo);
        size_t blocks = cesim::HeapBlocks();
        size_t allocations = cesim::HeapAllocations();
        for (int i = 0; i < 200; ++i) {
            InvalidateRect(button, nullptr, FALSE);
            cesim::Settle();
        }
        EXPECT_EQ(cesim::LiveGdiObjects(vexo), objects);
        EXPECT_EQ(cesim::HeapBlocks(), blocks);
        EXPECT_EQ(cesim::HeapAllocations(), allocations);
    }
}

TEST(PaintCost, Ce4) { ExpectPaintsLeaveNothingBehind(4, 20); }
TEST(PaintCost, Ce5) { ExpectPaintsLeaveNothingBehind(5, 1); }
TEST(PaintCost, Ce52) { ExpectPaintsLeaveNothingBehind(5, 2); }
TEST(PaintCost, Other) { ExpectPaintsLeaveNothingBehind(6, 0); }

TEST(Paint, AChangedHighlightReloadsTheThemeBeforeThePaintDraws) {
    BootDevice(96, "", 4, 20);
    DWORD vexo = StartVexo();
    (void)vexo;
    HWND button = FindButtonWindow();
    cesim::Surface before = cesim::ComposeScreen();
    RECT r = cesim::Inspect(button)->rect;
    uint32_t old = before.at(r.left + 20, r.top + 1);
    cesim::reg::SetDword("HKLM\\Software\\Microsoft\\Color", "6", RGB(1, 2, 3));
    cesim::reg::SetDword("HKLM\\Software\\Microsoft\\Color", "8", RGB(200, 0, 0));
    cesim::reg::SetDword("HKLM\\Software\\Microsoft\\Color", "9", RGB(255, 255, 255));
    cesim::reg::SetDword("HKLM\\Software\\Microsoft\\Color", "13", RGB(0, 0, 0));
    InvalidateRect(button, nullptr, FALSE);
    cesim::Settle();
    EXPECT_EQ(cesim::ComposeScreen().at(r.left + 20, r.top + 1), old);   // not reloaded yet
    cesim::SetSysColor(COLOR_HIGHLIGHT, RGB(9, 9, 9));
    InvalidateRect(button, nullptr, FALSE);
    cesim::Settle();
    EXPECT_EQ(cesim::ComposeScreen().at(r.left + 20, r.top + 1), 0xC80000u);
}

void ExpectTinyPaintsWithoutFault(int minor) {
    {
        cesim::BootOptions options;
        options.width = 20;
        options.height = 40;
        options.osMajor = 5;
        options.osMinor = minor;
        cesim::Boot(options);
        DWORD vexo = StartVexo();
        HWND button = FindButtonWindow();
        ASSERT_NE(button, nullptr);
        SetWindowPos(button, nullptr, 0, 0, 0, 0, SWP_NOZORDER | SWP_NOMOVE);
        InvalidateRect(button, nullptr, FALSE);
        cesim::Settle();
        EXPECT_TRUE(cesim::ProcessRunning(vexo));
    }
}

// Gradients divide by the screen's width and the button's size: neither may be zero here.
TEST(Paint, ANarrowScreenAndAnEmptyButtonWithTheGradient) { ExpectTinyPaintsWithoutFault(1); }
TEST(Paint, ANarrowScreenAndAnEmptyButtonWithTheGloss) { ExpectTinyPaintsWithoutFault(2); }

TEST(CloseButtonType, FollowsTheWindowInFront) {
    BootDevice(96);
    desktopWindow = cesim::DesktopWindow();
    HWND plain = vexotest::StartWindowProgram(u"Notes", WS_VISIBLE, 0);
    HWND caption = vexotest::StartWindowProgram(u"Calc", WS_VISIBLE | WS_CAPTION, 0);
    HWND sysmenu = vexotest::StartWindowProgram(u"Sys", WS_VISIBLE | 0x00010000, 0);
    HWND ok = vexotest::StartWindowProgram(u"Dialog", WS_VISIBLE | WS_CAPTION, WS_EX_CAPTIONOKBTN);
    EXPECT_EQ(GetCloseButtonType(plain), CloseButtonX);
    EXPECT_EQ(GetCloseButtonType(caption), CloseButtonNone);
    EXPECT_EQ(GetCloseButtonType(sysmenu), CloseButtonNone);
    EXPECT_EQ(GetCloseButtonType(ok), CloseButtonOk);
    EXPECT_EQ(GetCloseButtonType(cesim::DesktopWindow()), CloseButtonNone);
    EXPECT_EQ(GetCloseButtonType(nullptr), CloseButtonNone);
}

TEST(CloseButtonType, AToolWindowInFrontStandsForTheWindowBelowIt) {
    BootDevice(96);
    desktopWindow = cesim::DesktopWindow();
    HWND app = vexotest::StartWindowProgram(u"Dialog", WS_VISIBLE | WS_CAPTION, 0);
    // A captionless tool window: by its own style it would show an X; the window it stands
    // for has a caption and shows nothing.
    HWND tip = vexotest::StartWindowProgram(u"Tip", WS_VISIBLE | WS_POPUP, WS_EX_TOOLWINDOW);
    ASSERT_TRUE(IsWindow(app));
    EXPECT_EQ(GetCloseButtonType(tip), CloseButtonNone);
    SendMessageW(app, WM_CLOSE, 0, 0);
    // Below the tool windows only the desktop is left.
    EXPECT_EQ(GetCloseButtonType(tip), CloseButtonNone);
}

} // namespace
