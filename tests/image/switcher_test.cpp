// The Alt-Tab switcher on the screen, against reviewed references: two and ten tasks at 96
// and 192 DPI. VEXO_UPDATE_REFERENCES=1 rewrites the references instead of comparing.
#include "image/reference.h"
#include "support/device_fixture.h"

#include "support/button_driver.h"

#include <windows.h>

#include <cesim/gdi_trace.h>
#include <cesim/programs.h>

#include "shell/dpi.h"
#include "shell/switcher.h"

namespace {

const UINT kKey = 0xC1;

struct Program {
    const char16_t* title;
    const char16_t* module;
    cesim::ShellIcon icon;
};

// In the order they start, after Notes; the last one is in front.
const Program kPrograms[] = {
    {u"Inbox", u"\\Windows\\tmail.exe", cesim::ShellIcon::Mail},
    {u"Calendar", u"\\Windows\\calendar.exe", cesim::ShellIcon::Calendar},
    {u"Q&A Notes", u"\\Windows\\pword.exe", cesim::ShellIcon::Document},
    {u"Solitaire", u"\\Windows\\solitare.exe", cesim::ShellIcon::Games},
    {u"Calculator", u"\\Windows\\calc.exe", cesim::ShellIcon::Calculator},
    {u"Windows Media", u"\\Windows\\wmplayer.exe", cesim::ShellIcon::Media},
    {u"Internet Explorer", u"\\Windows\\iexplore.exe", cesim::ShellIcon::Internet},
    {u"Pictures & Videos", u"\\Windows\\pimg.exe", cesim::ShellIcon::Pictures},
    {u"Quarterly report of the northern region - Word Mobile", u"\\Windows\\pword.exe",
     cesim::ShellIcon::Document},
};

void Start(const Program& program) {
    cesim::SimProgram p;
    p.modulePath = program.module;
    p.icon = program.icon;
    cesim::SimWindow w;
    w.title = program.title;
    const cesim::BootOptions& screen = cesim::BootedWith();
    w.rect = RECT{0, (26 * screen.dpi + 48) / 96, screen.width, screen.height};
    p.windows.push_back(w);
    cesim::StartSimulatedProgram(p);
}

class SwitcherImage : public ::testing::TestWithParam<std::tuple<int, int>> {};

TEST_P(SwitcherImage, MatchesItsReference) {
    int dpi = std::get<0>(GetParam());
    int programs = std::get<1>(GetParam()); // besides Notes
    vexotest::BootDevice(dpi, vexotest::SettingsText({"\"TLHWKey\"=dword:000000c1"}));
    vexotest::StartWindowProgram(u"Notes");
    for (int i = 0; i < programs; ++i)
        Start(kPrograms[size_t(programs == 1 ? 0 : i)]);
    DWORD vexo = vexotest::StartVexo();
    cesim::HoldHardwareKey(kKey, 100);
    // With ten tasks, nine presses come round to the one in front: the long title, cut
    // with "...", in the middle row, the list wrapping above it. The last paint is traced.
    for (int i = 0; programs > 1 && i < 9; ++i) {
        if (i == 8)
            cesim::StartGdiTraceOfProcess(vexo);
        cesim::PressHardwareKey(kKey);
    }
    cesim::StopGdiTrace();
    HWND switcher = switcherWnd;
    ASSERT_TRUE(switcher);

    // What the design fixes besides the picture: the place, the rows and the selection.
    int rows = programs + 1 < kSwitcherRows ? programs + 1 : kSwitcherRows;
    RECT window = cesim::Inspect(switcher)->rect;
    RECT client;
    GetClientRect(switcher, &client);
    EXPECT_EQ(window.left, Sx(20));
    EXPECT_EQ(window.top, Sx(40));
    EXPECT_EQ(window.right, cesim::BootedWith().width - Sx(20));
    EXPECT_EQ(client.bottom, rows * Sy(20));
    cesim::Surface screen = cesim::ComposeScreen();
    POINT origin = {0, 0};
    ClientToScreen(switcher, &origin);
    EXPECT_EQ(screen.at(origin.x + client.right - 1, origin.y + (rows / 2 + 1) * Sy(20) - 1),
              cesim::PixelFromColorref(GetSysColor(COLOR_HIGHLIGHT)));
    if (programs > 1) {
        // The long title ends in "..." within Sx(25) of the client area's right edge.
        bool cut = false;
        for (const cesim::GdiCall& call : cesim::GdiTrace()) {
            bool measuring = call.args.size() == 6 && (call.args[5] & DT_CALCRECT);
            if (call.name != "DrawTextW" || measuring || call.text.size() < 3 ||
                call.text.compare(call.text.size() - 3, 3, u"...") != 0)
                continue;
            EXPECT_EQ(call.args[3], client.right - Sx(25));
            EXPECT_EQ(call.text.substr(0, 10), u"Quarterly ");
            cut = true;
        }
        EXPECT_TRUE(cut) << cesim::Describe(cesim::GdiTrace());
    }
    vexotest::CompareWithReference(screen, "switcher",
                                   std::to_string(programs + 1) + "TasksAt" + std::to_string(dpi));
}

std::string CaseName(const ::testing::TestParamInfo<std::tuple<int, int>>& info) {
    return std::to_string(std::get<1>(info.param) + 1) + "TasksAt" +
           std::to_string(std::get<0>(info.param));
}

INSTANTIATE_TEST_SUITE_P(Switcher, SwitcherImage,
                         ::testing::Combine(::testing::Values(96, 192), ::testing::Values(1, 9)),
                         CaseName);

} // namespace
