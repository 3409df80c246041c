// The hardware hot key: a short press for the switcher, a long one for the task menu, a press
// that closes the menu and the release after it, and the key without Alt-Tab.
#include "support/device_fixture.h"

#include "support/button_driver.h"

#include <windows.h>

#include "shell/commands.h"
#include "shell/gestures.h"
#include "tasks/tasklist.h"

using vexotest::CountLog;

namespace {

const UINT kKey = 0xC1;
const char kKeySetting[] = "\"TLHWKey\"=dword:000000c1";

int Menus() {
    return CountLog("ShowTaskMenu()");
}

TEST(HotKey, AShortPressRefreshesTheTaskListAndOnlyMoreThanOneTaskGoesToTheSwitcher) {
    vexotest::BootWithNotes(96, {kKeySetting});
    cesim::HoldHardwareKey(kKey, 100);
    EXPECT_EQ(CountLog("OnHotKey("), 2);
    // A refresh of the task list asks about each top-level window in turn.
    EXPECT_GT(CountLog("VexoEnumWindowsProc("), 0);
    EXPECT_EQ(taskTable.count, 1);
    // The release stopped the long press: no menu, however long one waits.
    cesim::Advance(2000);
    EXPECT_EQ(Menus(), 0);

    vexotest::StartWindowProgram(u"Mail");
    cesim::HoldHardwareKey(kKey, 100);
    EXPECT_EQ(taskTable.count, 2);
    cesim::Advance(2000);
    EXPECT_EQ(Menus(), 0);
}

TEST(HotKey, ALongPressOpensTheMenuItsReleaseDoesNothingAndThePressAfterClosesIt) {
    vexotest::BootWithNotes(96, {kKeySetting});
    cesim::PressHardwareKey(kKey);
    cesim::Advance(499);
    EXPECT_EQ(Menus(), 0);
    cesim::Advance(1);
    EXPECT_EQ(Menus(), 1);
    EXPECT_TRUE(menuOpen);
    int enumerated = CountLog("VexoEnumWindowsProc(");
    cesim::ReleaseHardwareKey(kKey);
    EXPECT_TRUE(menuOpen);
    // The next press closes the menu, and its release is swallowed: no refresh, no switcher.
    cesim::HoldHardwareKey(kKey, 100);
    EXPECT_FALSE(menuOpen);
    EXPECT_FALSE(skipKeyUp);
    EXPECT_EQ(CountLog("VexoEnumWindowsProc("), enumerated);
    cesim::Advance(1000);
    EXPECT_EQ(Menus(), 1);
    // Then the key is a short press again.
    cesim::HoldHardwareKey(kKey, 100);
    EXPECT_GT(CountLog("VexoEnumWindowsProc("), enumerated);
    EXPECT_EQ(Menus(), 1);
}

TEST(HotKey, TheLongPressWaitsForLongPressTimeout) {
    vexotest::BootWithNotes(96, {kKeySetting, "\"LongPressTimeout\"=dword:00000320"});
    cesim::PressHardwareKey(kKey);
    cesim::Advance(799);
    EXPECT_EQ(Menus(), 0);
    cesim::Advance(1);
    EXPECT_EQ(Menus(), 1);
}

TEST(HotKey, WithoutAltTabEachPressOpensOrClosesTheMenuAndReleasesDoNothing) {
    vexotest::BootWithNotes(96, {kKeySetting, "\"AltTab\"=dword:00000000"});
    cesim::HoldHardwareKey(kKey, 50);
    EXPECT_EQ(Menus(), 1);
    EXPECT_TRUE(menuOpen);
    // The menu lists the tasks; nothing else may walk the windows.
    const int perMenu = CountLog("VexoEnumWindowsProc(");
    cesim::HoldHardwareKey(kKey, 50);
    EXPECT_FALSE(menuOpen);
    EXPECT_EQ(Menus(), 1);
    cesim::HoldHardwareKey(kKey, 50);
    EXPECT_EQ(Menus(), 2);
    cesim::Advance(1000);
    EXPECT_EQ(Menus(), 2);
    EXPECT_EQ(CountLog("VexoEnumWindowsProc("), 2 * perMenu);
    EXPECT_EQ(CountLog("OnHotKey("), 6);
}

} // namespace
