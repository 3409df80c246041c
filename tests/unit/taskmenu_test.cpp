// The task menu as it is built and chosen from: which items it holds in which order for the
// settings, the icon row, and what a choice posts to the button, depending on where the
// choosing tap lay; and that each menu gives back everything it took.
#include "support/device_fixture.h"
#include "support/menu_host.h"

#include <windows.h>

#include <cesim/menus.h>
#include <cesim/programs.h>
#include <cesim/stylus.h>

#include "menu/taskmenu.h"
#include "shell/commandids.h"
#include "shell/dpi.h"
#include "shell/gestures.h"
#include "shell/mainwindow.h"
#include "tasks/tasklist.h"

#include <map>
#include <string>

using vexotest::kSettingsPath;
using vexotest::MenuHost;
using vexotest::PostedCommand;

namespace {

const char kAllDeviceCommands[] = R"(
"ShowDisplayOff"=dword:1
"ShowSoftReset"=dword:1
"ShowLandscapeLeft"=dword:1
"ShowLandscapeRight"=dword:1
"ShowWiFi"=dword:1
"WiFiDevice"="WLAN1"
"ShowBth"=dword:1
"ShowPowerOff"=dword:1
)";

std::string Settings(const std::string& values) {
    return "REGEDIT4\n\n[" + std::string(kSettingsPath) + "]\n" + values + "\n";
}

std::string Name(const cesim::MenuItemInfo& item) {
    static const std::map<UINT, std::string> names = {
        {CMD_DESKTOP, "Desktop"},
        {CMD_MINIMIZE, "Minimize"},
        {CMD_CLOSE_BACKGROUND, "Background"},
        {CMD_CLOSE_ALL, "CloseAll"},
        {CMD_DISPLAY_OFF, "DisplayOff"},
        {CMD_SOFT_RESET, "Reset"},
        {CMD_LANDSCAPE_LEFT, "Left"},
        {CMD_LANDSCAPE_RIGHT, "Right"},
        {CMD_WIFI, "WiFi"},
        {CMD_BLUETOOTH, "Bluetooth"},
        {CMD_POWER_OFF, "PowerOff"},
        {CMD_ICON_ROW, "Icons"},
        {CMD_SETTINGS, "Settings"},
        {CMD_EXIT, "Exit"},
    };
    const TaskEntry* entry = reinterpret_cast<const TaskEntry*>(item.data);
    std::string name;
    if (item.id == 0xFFFFFFFF && !entry)
        name = "-";
    else if (item.id >= CMD_TASK_FIRST && item.id <= CMD_TASK_LAST)
        name = "task:" + cesim::Narrow(vexotest::U16(entry->title));
    else if (names.count(item.id))
        name = names.at(item.id);
    else
        name = "?" + std::to_string(item.id);
    return name + ((item.flags & MF_CHECKED) ? "*" : "");
}

// The items of the menu on the screen, by name.
std::string Items() {
    auto menu = cesim::ActiveMenu();
    if (!menu)
        return "(no menu)";
    std::string out;
    for (const cesim::MenuItemInfo& item : cesim::MenuItems(menu->menu))
        out += (out.empty() ? "" : " ") + Name(item);
    return out;
}

void StartTask(const std::u16string& title) {
    vexotest::StartWindowProgram(title);
}

class TaskMenuTest : public ::testing::Test {
protected:
    void Boot(const std::string& values = std::string(), int dpi = 96) {
        vexotest::BootDevice(dpi, Settings(values));
    }
    void TearDown() override {
        cesim::StopFailingAllocations();
        cesim::ClearFailures();
    }
};

TEST_F(TaskMenuTest, ItemsFollowTheSettingsInTheirFixedOrder) {
    struct Case {
        const char* name;
        std::string settings;
        int tasks;
        const char* items;
    } cases[] = {
        {"defaults", "", 2,
         "Desktop task:Two task:One - Minimize Background CloseAll - Settings Exit"},
        {"nothing to show", "\"ShowDesktop\"=dword:0\n\"ShowTaskOperations\"=dword:0\n", 0,
         "- Settings Exit"},
        {"desktop alone", "\"ShowTaskOperations\"=dword:0\n", 0, "Desktop - Settings Exit"},
        {"every device command", std::string(kAllDeviceCommands) + "\"ShowDesktop\"=dword:0\n", 1,
         "task:One - Minimize Background CloseAll - DisplayOff Reset Left Right WiFi Bluetooth "
         "PowerOff - Settings Exit"},
        {"WiFi needs an adapter", "\"ShowWiFi\"=dword:1\n\"ShowTaskOperations\"=dword:0\n", 0,
         "Desktop - Settings Exit"},
        {"compact: one row for every device command",
         std::string(kAllDeviceCommands) + "\"CompactMode\"=dword:1\n", 0,
         "Desktop - Minimize Background CloseAll - Icons - Settings Exit"},
        {"compact without device commands", "\"CompactMode\"=dword:1\n", 0,
         "Desktop - Minimize Background CloseAll - Settings Exit"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Boot(c.settings);
        if (c.tasks > 0)
            StartTask(u"One");
        if (c.tasks > 1)
            StartTask(u"Two");
        MenuHost::Start();
        MenuHost::OpenMenu();
        EXPECT_EQ(Items(), c.items);
        cesim::PressKey(VK_ESCAPE);
    }
}

TEST_F(TaskMenuTest, CommandItemsCarryTheirLabelsAndIconsAndTasksTheTablesEntries) {
    Boot(kAllDeviceCommands);
    StartTask(u"Notes");
    MenuHost::Start();
    MenuHost::OpenMenu();
    std::map<UINT, const TaskEntry*> entries;
    for (const cesim::MenuItemInfo& item : cesim::MenuItems(cesim::ActiveMenu()->menu)) {
        EXPECT_TRUE(item.flags & MF_OWNERDRAW);
        entries[item.id] = reinterpret_cast<const TaskEntry*>(item.data);
    }
    struct Expected {
        UINT id;
        const char16_t* label;
        HICON icon;
    } expected[] = {
        {CMD_DESKTOP, u"Desktop", nullptr},
        {CMD_MINIMIZE, u"&Minimize", nullptr},
        {CMD_DISPLAY_OFF, u"Display O&ff", icons[ICON_DISPLAY_OFF]},
        {CMD_SOFT_RESET, u"Software &Reset", icons[ICON_SOFT_RESET]},
        {CMD_LANDSCAPE_RIGHT, u"La&ndscape Right", icons[ICON_LANDSCAPE_RIGHT]},
        {CMD_WIFI, u"WiFi On", icons[ICON_WIFI_ON]}, // offered while the radio is off
        {CMD_BLUETOOTH, u"Bluetooth On", icons[ICON_BLUETOOTH_ON]},
        {CMD_POWER_OFF, u"Po&wer Off", icons[ICON_POWER_OFF]},
        {CMD_SETTINGS, u"&Settings...", icons[ICON_SETTINGS]},
        {CMD_EXIT, u"E&xit", nullptr},
    };
    for (const Expected& e : expected) {
        SCOPED_TRACE(e.id);
        ASSERT_TRUE(entries[e.id]);
        EXPECT_EQ(vexotest::U16(entries[e.id]->title), e.label);
        EXPECT_EQ(entries[e.id]->processId, 0u);
        EXPECT_EQ(entries[e.id]->icon, e.icon);
    }
    EXPECT_NE(icons[ICON_DISPLAY_OFF], nullptr);
    EXPECT_EQ(entries[CMD_DESKTOP]->window, cesim::DesktopWindow());
    EXPECT_EQ(entries[CMD_TASK_FIRST], taskTable.entries[0]);
    EXPECT_EQ(Items().find('*'), std::string::npos) << "in portrait no landscape item is checked";
    cesim::PressKey(VK_ESCAPE);
}

TEST_F(TaskMenuTest, ACancelledMenuClearsTheShellsFlagsAndGivesBackItsEntries) {
    Boot();
    StartTask(u"One");
    MenuHost::Start();
    MenuHost::Run([] { RefreshTaskList(); });
    size_t blocks = cesim::HeapBlocks();
    MenuHost::Run([] { dotPressed = true; });
    MenuHost::OpenMenu();
    ASSERT_TRUE(cesim::ActiveMenu());
    cesim::PressKey(VK_ESCAPE);
    EXPECT_FALSE(cesim::ActiveMenu());
    EXPECT_FALSE(menuOpen);
    EXPECT_FALSE(dotPressed);
    EXPECT_TRUE(menuDismissed);
    EXPECT_TRUE(MenuHost::Commands().empty());
    EXPECT_EQ(cesim::HeapBlocks(), blocks) << "the table is rebuilt alike; the menu's own are gone";
}

class CloseZoneTest : public TaskMenuTest, public ::testing::WithParamInterface<int> {};

// Where a tap on the first task's row lands, and what it posts. (The program reads the DPI
// once, so each DPI runs in a process of its own.)
TEST_P(CloseZoneTest, ATapInTheCloseZoneAtTheRowsEndMarksTheChoiceAsAClose) {
    Boot("", GetParam());
    StartTask(u"One");
    MenuHost::Start();
    int right = cesim::Inspect(cesim::Taskbar())->rect.right;
    struct Case {
        int x;
        bool closeTap;
    } cases[] = {{right - Sx(18) - 1, false}, {right - Sx(18), true}, {right - Sx(2), true}};
    for (const Case& c : cases) {
        MenuHost::ClearCommands();
        MenuHost::OpenMenu();
        RECT row = cesim::ActiveMenu()->items[1];
        cesim::Tap(c.x, (row.top + row.bottom) / 2);
        ASSERT_EQ(MenuHost::Commands().size(), 1u) << c.x;
        EXPECT_EQ(MenuHost::Commands()[0].id, UINT(CMD_TASK_FIRST));
        EXPECT_EQ(MenuHost::Commands()[0].closeTap, c.closeTap) << c.x;
    }
    // Chosen with the keys, the same row is never a close.
    MenuHost::ClearCommands();
    MenuHost::OpenMenu();
    cesim::PressKey(VK_DOWN);
    cesim::PressKey(VK_DOWN);
    cesim::PressKey(VK_RETURN);
    ASSERT_EQ(MenuHost::Commands().size(), 1u);
    EXPECT_EQ(MenuHost::Commands()[0].id, UINT(CMD_TASK_FIRST));
    EXPECT_FALSE(MenuHost::Commands()[0].closeTap);
}
INSTANTIATE_TEST_SUITE_P(Dpi, CloseZoneTest, ::testing::Values(96, 192));

TEST_F(TaskMenuTest, TheIconRowPostsTheCommandOfTheIconTappedAndNothingElse) {
    Boot(std::string(kAllDeviceCommands) + "\"CompactMode\"=dword:1\n\"ShowWiFi\"=dword:0\n");
    MenuHost::Start();
    MenuHost::OpenMenu();
    ASSERT_EQ(compactIconTable.count, 6);
    const UINT order[] = {CMD_DISPLAY_OFF,     CMD_SOFT_RESET, CMD_LANDSCAPE_LEFT,
                          CMD_LANDSCAPE_RIGHT, CMD_BLUETOOTH,  CMD_POWER_OFF};
    for (int k = 0; k < 6; ++k)
        EXPECT_EQ(compactIconTable.slots[k].command, order[k]) << k;
    EXPECT_EQ(compactIconTable.slots[4].icon, icons[ICON_BLUETOOTH_ON]);
    cesim::PressKey(VK_ESCAPE);

    int right = cesim::Inspect(cesim::Taskbar())->rect.right;
    struct Case {
        int offset;  // from the row's left end as the program reckons it
        int command; // 0: nothing
    } cases[] = {{0, CMD_DISPLAY_OFF},     {Sx(20) - 1, CMD_DISPLAY_OFF},
                 {Sx(20), CMD_SOFT_RESET}, {5 * Sx(20) + 3, CMD_POWER_OFF},
                 {6 * Sx(20), 0},          {6 * Sx(20) + 30, 0}};
    for (const Case& c : cases) {
        MenuHost::ClearCommands();
        MenuHost::Run([] {
            menuOpen = true;
            dotPressed = true;
        });
        MenuHost::OpenMenu();
        auto menu = cesim::ActiveMenu();
        RECT row = menu->items[6];
        ASSERT_EQ(cesim::MenuItems(menu->menu)[6].id, UINT(CMD_ICON_ROW));
        int rowLeft = right - MenuItemWidth;
        cesim::Tap(rowLeft + c.offset, (row.top + row.bottom) / 2);
        EXPECT_FALSE(cesim::ActiveMenu());
        if (c.command) {
            ASSERT_EQ(MenuHost::Commands().size(), 1u) << c.offset;
            EXPECT_EQ(MenuHost::Commands()[0].id, UINT(c.command)) << c.offset;
        } else {
            EXPECT_TRUE(MenuHost::Commands().empty()) << c.offset;
            // Nothing is on its way, so the button must not wait for it.
            EXPECT_FALSE(menuOpen) << c.offset;
            EXPECT_FALSE(dotPressed) << c.offset;
        }
    }
    // The row chosen with the keys names no icon at all.
    MenuHost::ClearCommands();
    MenuHost::OpenMenu();
    for (int i = 0; i < 7; ++i)
        cesim::PressKey(VK_DOWN);
    EXPECT_EQ(cesim::ActiveMenu()->selected, 6);
    cesim::PressKey(VK_RETURN);
    EXPECT_TRUE(MenuHost::Commands().empty());
    EXPECT_FALSE(menuOpen);
}

TEST(TaskMenuHitTest, TheIconRowIsReckonedInSignedCoordinates) {
    dpiX = dpiY = 96;
    EXPECT_EQ(CompactSlotAt(-10, 100, 130, 20, 7), 1) << "the row starts at -30";
    EXPECT_EQ(CompactSlotAt(-31, 100, 130, 20, 7), -1);
    EXPECT_EQ(CompactSlotAt(109, 100, 130, 20, 7), 6);
    EXPECT_EQ(CompactSlotAt(110, 100, 130, 20, 7), -1);
    EXPECT_FALSE(IsInCloseZone(81, 100));
    EXPECT_TRUE(IsInCloseZone(82, 100));
    EXPECT_TRUE(IsInCloseZone(100, 100));
    EXPECT_FALSE(IsInCloseZone(101, 100));
}

TEST_F(TaskMenuTest, AMenuThatCannotBeMadeLeavesTheButtonReady) {
    Boot();
    MenuHost::Start();
    cesim::InjectFailure("CreatePopupMenu", ERROR_NOT_ENOUGH_MEMORY, 1);
    MenuHost::OpenMenu();
    EXPECT_FALSE(cesim::ActiveMenu());
    EXPECT_FALSE(menuOpen);
}

TEST_F(TaskMenuTest, AnEntryWhoseTitleCannotBeCopiedGoesInWithoutData) {
    Boot("\"ShowTaskOperations\"=dword:0\n");
    MenuHost::Start();
    MenuHost::Run([] { RefreshTaskList(); });
    size_t blocks = cesim::HeapBlocks();
    // The desktop entry is made, then its title copy fails.
    MenuHost::Run([] { cesim::FailAllocations(1, 1); });
    MenuHost::OpenMenu();
    cesim::StopFailingAllocations();
    auto items = cesim::MenuItems(cesim::ActiveMenu()->menu);
    ASSERT_EQ(items.size(), 4u);
    EXPECT_EQ(items[0].id, UINT(CMD_DESKTOP));
    EXPECT_EQ(items[0].data, 0u);
    EXPECT_EQ(items[2].id, UINT(CMD_SETTINGS));
    cesim::PressKey(VK_ESCAPE);
    EXPECT_EQ(cesim::HeapBlocks(), blocks);
}

TEST_F(TaskMenuTest, AThousandMenusGiveBackEveryBlockObjectIconAndMenu) {
    Boot(std::string(kAllDeviceCommands));
    for (const char16_t* title : {u"Calendar", u"Notes", u"Word"})
        StartTask(title);
    DWORD vexo = MenuHost::Start();
    MenuHost::OpenMenu();
    cesim::PressKey(VK_ESCAPE);
    size_t blocks = cesim::HeapBlocks();
    size_t objects = cesim::LiveGdiObjects(vexo);
    size_t icons = cesim::LiveIcons(vexo);
    for (int i = 0; i < 1000; ++i) {
        MenuHost::OpenMenu();
        if (i % 2)
            cesim::PressKey(VK_DOWN); // a selection redraws items too
        cesim::PressKey(VK_ESCAPE);
    }
    EXPECT_EQ(cesim::HeapBlocks(), blocks);
    EXPECT_EQ(cesim::LiveGdiObjects(vexo), objects);
    EXPECT_EQ(cesim::LiveIcons(vexo), icons);
    EXPECT_EQ(cesim::LiveMenus(vexo), 0u);
}

TEST_F(TaskMenuTest, AHundredAndTwentyEightTasksMakeAMenuThatScrollsOverTheWholeScreen) {
    Boot();
    for (int i = 0; i < 130; ++i)
        StartTask(u"Task " + cesim::Widen(std::to_string(i)));
    MenuHost::Start();
    MenuHost::OpenMenu();
    auto menu = cesim::ActiveMenu();
    ASSERT_TRUE(menu);
    EXPECT_EQ(taskTable.count, 128) << "the table holds no more";
    EXPECT_TRUE(menu->scrolls);
    EXPECT_EQ(menu->rect.top, 0);
    EXPECT_EQ(menu->rect.bottom, 320);
    EXPECT_EQ(cesim::MenuItems(menu->menu).size(), size_t(128 + 8));
    // The last task is reached from below: up from nothing selects Exit, then seven more.
    for (int i = 0; i < 8; ++i)
        cesim::PressKey(VK_UP);
    menu = cesim::ActiveMenu();
    EXPECT_EQ(menu->selected, 128);
    EXPECT_TRUE(menu->items[128].bottom > menu->items[128].top) << "scrolled into view";
    cesim::Tap((menu->items[128].left + menu->items[128].right) / 2 - 30,
               (menu->items[128].top + menu->items[128].bottom) / 2);
    ASSERT_EQ(MenuHost::Commands().size(), 1u);
    EXPECT_EQ(MenuHost::Commands()[0].id, UINT(CMD_TASK_FIRST + 127));
}

} // namespace
