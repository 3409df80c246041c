// The task menu on the screen as images, against reviewed references: one case a combination of
// settings, at 96 and 192 DPI. VEXO_UPDATE_REFERENCES=1 rewrites the references instead of
// comparing; `make references` redraws the contact sheets docs/menu.png and docs/menu-192.png.
#include "image/reference.h"
#include "support/device_fixture.h"
#include "support/menu_host.h"

#include <windows.h>

#include <cesim/menus.h>
#include <cesim/programs.h>

#include "config/config.h"
#include "shell/dpi.h"

using vexotest::kSettingsPath;
using vexotest::MenuHost;

namespace {

struct Task {
    const char16_t* title;
    const char16_t* className;
    const char16_t* module;
    cesim::ShellIcon icon;
};

// In the order they start; the last one is in front and first in the menu.
const Task kTasks[] = {
    {u"Calendar", u"Calendar", u"\\Windows\\calendar.exe", cesim::ShellIcon::None},
    {u"Inbox", u"SimProgram", u"\\Windows\\tmail.exe", cesim::ShellIcon::Mail},
    {u"Q&A Notes", u"SimProgram", u"\\Windows\\notes.exe", cesim::ShellIcon::Notes},
    {u"Solitaire", u"SimProgram", u"\\Windows\\solitare.exe", cesim::ShellIcon::None},
    {u"Word Mobile", u"SimProgram", u"\\Windows\\pword.exe", cesim::ShellIcon::Document},
};

const Task kLongTask = {u"Quarterly report of the northern region - Word Mobile", u"SimProgram",
                        u"\\Windows\\pword.exe", cesim::ShellIcon::Document};

void Start(const Task& task) {
    cesim::SimProgram p;
    p.modulePath = task.module;
    p.icon = task.icon;
    cesim::SimWindow w;
    w.title = task.title;
    w.className = task.className;
    // Below the taskbar, whatever the screen's size.
    const cesim::BootOptions& screen = cesim::BootedWith();
    w.rect = RECT{0, (26 * screen.dpi + 48) / 96, screen.width, screen.height};
    p.windows.push_back(w);
    cesim::StartSimulatedProgram(p);
}

const char kDeviceCommands[] = "\"ShowDisplayOff\"=dword:1\n\"ShowSoftReset\"=dword:1\n"
                               "\"ShowLandscapeLeft\"=dword:1\n\"ShowLandscapeRight\"=dword:1\n"
                               "\"ShowWiFi\"=dword:1\n\"WiFiDevice\"=\"WLAN1\"\n"
                               "\"ShowBth\"=dword:1\n\"ShowPowerOff\"=dword:1\n";

struct MenuCase {
    const char* name;
    std::string settings;
    int tasks; // of kTasks, from the first; -1: the one with the long title
    int downs; // key presses that move the selection before the picture is taken
};

const MenuCase kCases[] = {
    {"Defaults", "", 5, 2},
    // One task, so that every command fits below the taskbar.
    {"DeviceCommands", kDeviceCommands, 1, 0},
    {"Compact", std::string(kDeviceCommands) + "\"CompactMode\"=dword:1\n", 5, 0},
    {"LongTitle", "", -1, 0},
    {"MenuColors",
     "\"ClrMenuBg\"=dword:00402010\n\"ClrMenuFg\"=dword:00e0e0e0\n"
     "\"ClrMenuHiBg\"=dword:0000c0ff\n\"ClrMenuHiFg\"=dword:00000000\n",
     5, 9},
};

class MenuImage : public ::testing::TestWithParam<std::tuple<int, int>> {};

TEST_P(MenuImage, MatchesItsReference) {
    int dpi = std::get<0>(GetParam());
    const MenuCase& c = kCases[std::get<1>(GetParam())];
    vexotest::BootDevice(dpi, "REGEDIT4\n\n[" + std::string(kSettingsPath) + "]\n" + c.settings);
    if (c.tasks < 0)
        Start(kLongTask);
    for (int i = 0; i < c.tasks; ++i)
        Start(kTasks[i]);
    MenuHost::Start();
    MenuHost::OpenMenu();
    for (int i = 0; i < c.downs; ++i)
        cesim::PressKey(VK_DOWN);
    auto menu = cesim::ActiveMenu();
    ASSERT_TRUE(menu);

    // What the design fixes, besides the picture: the menu hangs from the taskbar's right end.
    RECT taskbar = cesim::Inspect(cesim::Taskbar())->rect;
    EXPECT_EQ(menu->rect.right, taskbar.right);
    EXPECT_EQ(menu->rect.top, taskbar.bottom);
    EXPECT_EQ(menu->items[0].bottom - menu->items[0].top, Sy(18));
    cesim::Surface screen = cesim::ComposeScreen();
    if (menu->selected >= 0) {
        RECT row = menu->items[size_t(menu->selected)];
        EXPECT_EQ(screen.at(row.right - 1, row.bottom - 1),
                  cesim::PixelFromColorref(config.ClrMenuHiBg));
    }
    vexotest::CompareWithReference(screen, "menu",
                                   std::string(c.name) + "At" + std::to_string(dpi));
    cesim::PressKey(VK_ESCAPE);
}

std::string CaseName(const ::testing::TestParamInfo<std::tuple<int, int>>& info) {
    return std::string(kCases[std::get<1>(info.param)].name) + "At" +
           std::to_string(std::get<0>(info.param));
}

INSTANTIATE_TEST_SUITE_P(Menu, MenuImage,
                         ::testing::Combine(::testing::Values(96, 192),
                                            ::testing::Range(0, int(sizeof kCases /
                                                                    sizeof kCases[0]))),
                         CaseName);

} // namespace
