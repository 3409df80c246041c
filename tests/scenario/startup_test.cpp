// vexo's life on the simulated device: start-up, the button's place, the hot key, reloads of
// the settings and the two ways of ending.
#include "support/device_fixture.h"

#include <windows.h>

using vexotest::BootDevice;
using vexotest::ChangeSettings;
using vexotest::FindButtonWindow;
using vexotest::kSettingsPath;
using vexotest::SendFromOtherProcess;
using vexotest::StartVexo;

namespace {

const UINT kVkApp1 = 0xC1;
const UINT kVkApp2 = 0xC2;

void ExpectRect(const RECT& r, int x, int y, int w, int h) {
    EXPECT_EQ(r.left, x);
    EXPECT_EQ(r.top, y);
    EXPECT_EQ(r.right - r.left, w);
    EXPECT_EQ(r.bottom - r.top, h);
}

TEST(Startup, ButtonSitsAtTheRightEndOfTheTaskbarAt96Dpi) {
    BootDevice(96);
    DWORD pid = StartVexo();
    ASSERT_TRUE(cesim::ProcessRunning(pid));
    HWND button = FindButtonWindow();
    ASSERT_NE(button, nullptr);
    auto info = cesim::Inspect(button);
    ASSERT_TRUE(info);
    ExpectRect(cesim::Inspect(cesim::Taskbar())->rect, 0, 0, 240, 26);
    ExpectRect(info->rect, 212, 2, 28, 22);
    EXPECT_EQ(info->title, u"VexoWindow");
    EXPECT_EQ(info->style, DWORD(WS_CHILD | WS_VISIBLE));
    EXPECT_EQ(info->parent, cesim::Taskbar());
    EXPECT_EQ(info->processId, pid);
}

TEST(Startup, ButtonScalesWithTheScreenAt192Dpi) {
    BootDevice(192);
    ASSERT_TRUE(cesim::ProcessRunning(StartVexo()));
    ExpectRect(cesim::Inspect(cesim::Taskbar())->rect, 0, 0, 480, 52);
    HWND button = FindButtonWindow();
    ASSERT_NE(button, nullptr);
    ExpectRect(cesim::Inspect(button)->rect, 424, 4, 56, 44);
}

TEST(Startup, ButtonIsTheTopmostChildOfTheTaskbar) {
    BootDevice(96);
    StartVexo();
    std::vector<HWND> children = cesim::ChildWindows(cesim::Taskbar());
    ASSERT_FALSE(children.empty());
    EXPECT_EQ(children.front(), FindButtonWindow());
}

TEST(Startup, SecondStartReturnsZeroAndLeavesTheFirstAlone) {
    BootDevice(96, "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Holmvest\\Vexo]\n"
                   "\"TLHWKey\"=dword:000000c1\n");
    DWORD first = StartVexo();
    HWND button = FindButtonWindow();
    auto hotKeysBefore = cesim::HotKeys();
    size_t gdiBefore = cesim::LiveGdiObjects();

    DWORD second = StartVexo();
    cesim::Settle();
    EXPECT_FALSE(cesim::ProcessRunning(second));
    EXPECT_EQ(cesim::ProcessExitCode(second), 0);
    EXPECT_EQ(cesim::ProcessExitReport(second).windows, 0u);
    EXPECT_TRUE(cesim::ProcessRunning(first));
    EXPECT_EQ(FindButtonWindow(), button);
    EXPECT_EQ(cesim::ChildWindows(cesim::Taskbar()).size(), 1u);
    ASSERT_EQ(cesim::HotKeys().size(), hotKeysBefore.size());
    EXPECT_EQ(cesim::HotKeys()[0].window, button);
    EXPECT_EQ(cesim::LiveGdiObjects(), gdiBefore);
}

TEST(Startup, AStartAfterTheFirstEndedRunsAgain) {
    BootDevice(96);
    DWORD first = StartVexo();
    SendFromOtherProcess(FindButtonWindow(), WM_CLOSE);
    ASSERT_FALSE(cesim::ProcessRunning(first));
    DWORD second = StartVexo();
    EXPECT_TRUE(cesim::ProcessRunning(second));
    EXPECT_NE(FindButtonWindow(), nullptr);
}

TEST(Startup, WithoutATaskbarItEndsAndLeavesNothingBehind) {
    cesim::BootOptions options;
    options.taskbar = false;
    cesim::Boot(options);
    DWORD pid = StartVexo();
    EXPECT_FALSE(cesim::ProcessRunning(pid));
    EXPECT_EQ(cesim::ProcessExitCode(pid), 0);
    cesim::ExitReport left = cesim::ProcessExitReport(pid);
    EXPECT_EQ(left.gdiObjects, 0u);
    EXPECT_EQ(left.windows, 0u);
    // The mutex went with the process: a start once the shell is back succeeds.
    BootDevice(96);
    EXPECT_TRUE(cesim::ProcessRunning(StartVexo()));
}

TEST(HotKey, ZeroRegistersNothingAndAReloadRegistersIt) {
    BootDevice(96);
    StartVexo();
    HWND button = FindButtonWindow();
    EXPECT_TRUE(cesim::HotKeys().empty());

    ChangeSettings([] { cesim::reg::SetDword(kSettingsPath, "TLHWKey", kVkApp1); });
    auto key = cesim::HotKeyFor(kVkApp1);
    ASSERT_TRUE(key);
    EXPECT_EQ(key->window, button);
    EXPECT_EQ(key->id, 0);
    EXPECT_EQ(key->modifiers, UINT(MOD_WIN | MOD_KEYUP));

    ChangeSettings([] { cesim::reg::SetDword(kSettingsPath, "TLHWKey", kVkApp2); });
    EXPECT_FALSE(cesim::HotKeyFor(kVkApp1));
    EXPECT_TRUE(cesim::HotKeyFor(kVkApp2));

    ChangeSettings([] { cesim::reg::SetDword(kSettingsPath, "TLHWKey", 0); });
    EXPECT_TRUE(cesim::HotKeys().empty());
}

TEST(HotKey, ConfiguredKeyIsRegisteredAtStartUp) {
    BootDevice(96, "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Holmvest\\Vexo]\n"
                   "\"TLHWKey\"=dword:000000c1\n");
    StartVexo();
    auto key = cesim::HotKeyFor(kVkApp1);
    ASSERT_TRUE(key);
    EXPECT_EQ(key->window, FindButtonWindow());
    EXPECT_EQ(key->modifiers, UINT(MOD_WIN | MOD_KEYUP));
}

TEST(HotKey, UnchangedKeyIsNotTouchedByAReload) {
    BootDevice(96, "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Holmvest\\Vexo]\n"
                   "\"TLHWKey\"=dword:000000c1\n");
    StartVexo();
    HWND button = FindButtonWindow();
    // Another program registers a key after vexo. The device keeps registrations in the order
    // they were made, so a re-registration by vexo would move its key behind this one.
    // It keeps running, as a key's registration ends with the thread that made it.
    cesim::StartHelperProcess(u"\\Windows\\other.exe", [] {
        EXPECT_TRUE(RegisterHotKey(nullptr, 9, MOD_WIN, kVkApp2));
        MSG msg;
        GetMessageW(&msg, nullptr, 0, 0);
    });
    ChangeSettings([] { cesim::reg::SetDword(kSettingsPath, "ShowDot", 0); });
    auto keys = cesim::HotKeys();
    ASSERT_EQ(keys.size(), 2u);
    EXPECT_EQ(keys[0].virtualKey, kVkApp1);
    EXPECT_EQ(keys[0].window, button);
}

TEST(HotKey, AKeyTakenByAnotherProgramIsNotRegisteredTwice) {
    BootDevice(96);
    StartVexo();
    cesim::StartHelperProcess(u"\\Windows\\other.exe", [&] {
        EXPECT_TRUE(RegisterHotKey(nullptr, 5, MOD_WIN, kVkApp1));
        EXPECT_FALSE(RegisterHotKey(nullptr, 6, MOD_WIN | MOD_KEYUP, kVkApp1));
        EXPECT_EQ(GetLastError(), DWORD(ERROR_HOTKEY_ALREADY_REGISTERED));
        MSG msg;
        GetMessageW(&msg, nullptr, 0, 0);
    });
    ChangeSettings([] { cesim::reg::SetDword(kSettingsPath, "TLHWKey", kVkApp1); });
    ASSERT_EQ(cesim::HotKeys().size(), 1u);
    EXPECT_EQ(cesim::HotKeys()[0].id, 5);
}

TEST(ReadConfig, SettingsWrittenWithoutTheMessageWaitForTheNextStart) {
    BootDevice(96);
    DWORD first = StartVexo();
    cesim::reg::SetDword(kSettingsPath, "TLHWKey", kVkApp1);
    cesim::Advance(2000);
    EXPECT_TRUE(cesim::HotKeys().empty());

    SendFromOtherProcess(FindButtonWindow(), WM_CLOSE);
    ASSERT_FALSE(cesim::ProcessRunning(first));
    StartVexo();
    EXPECT_TRUE(cesim::HotKeyFor(kVkApp1));
}

TEST(ReadConfig, MessageIsAnsweredWithZeroAndIgnoresItsParameters) {
    BootDevice(96);
    StartVexo();
    UINT message = RegisterWindowMessageW(L"Holmvest::Vexo::Messages::ReadConfig");
    cesim::reg::SetDword(kSettingsPath, "TLHWKey", kVkApp2);
    EXPECT_EQ(SendFromOtherProcess(FindButtonWindow(), message, 1234, -1), 0);
    EXPECT_TRUE(cesim::HotKeyFor(kVkApp2));
}

TEST(Ending, CloseRunsTheWindowTeardownAndExitsWithZero) {
    BootDevice(96, "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Holmvest\\Vexo]\n"
                   "\"TLHWKey\"=dword:000000c1\n");
    size_t gdiBefore = cesim::LiveGdiObjects();
    DWORD pid = StartVexo();
    HWND button = FindButtonWindow();
    ASSERT_NE(button, nullptr);
    EXPECT_GT(cesim::LiveGdiObjects(pid), 0u);   // the back buffer at least

    SendFromOtherProcess(button, WM_CLOSE);
    EXPECT_FALSE(cesim::ProcessRunning(pid));
    EXPECT_EQ(cesim::ProcessExitCode(pid), 0);
    cesim::ExitReport left = cesim::ProcessExitReport(pid);
    EXPECT_EQ(left.gdiObjects, 0u);
    EXPECT_EQ(left.icons, 0u);
    EXPECT_EQ(left.windows, 0u);   // destroyed by the program, not by the device
    EXPECT_EQ(cesim::LiveGdiObjects(), gdiBefore);
    EXPECT_TRUE(cesim::HotKeys().empty());
    EXPECT_EQ(FindButtonWindow(), nullptr);
}

TEST(Ending, QuitWithoutCloseSkipsTheWindowTeardown) {
    BootDevice(96);
    DWORD pid = StartVexo();
    HWND button = FindButtonWindow();
    ASSERT_NE(button, nullptr);
    // The Exit command quits the loop directly; the window is left to the device.
    cesim::StartHelperProcess(u"\\Windows\\helper.exe", [&] {
        DWORD thread = GetWindowThreadProcessId(button, nullptr);
        PostThreadMessageW(thread, WM_QUIT, 0, 0);
    });
    cesim::Settle();
    EXPECT_FALSE(cesim::ProcessRunning(pid));
    EXPECT_EQ(cesim::ProcessExitCode(pid), 0);
    cesim::ExitReport left = cesim::ProcessExitReport(pid);
    // OnDestroy never ran: the window, its icons and its two fonts go with the process, while
    // the teardown after the loop still freed the back buffer.
    EXPECT_EQ(left.windows, 1u);
    EXPECT_EQ(left.icons, 11u);
    EXPECT_EQ(left.gdiObjects, 2u);
}

TEST(Ending, EraseBackgroundIsAnsweredWithZero) {
    BootDevice(96);
    StartVexo();
    EXPECT_EQ(SendFromOtherProcess(FindButtonWindow(), WM_ERASEBKGND), 0);
}

TEST(Ending, CommandLineIsHandedToTheWindowAndIgnored) {
    BootDevice(96);
    DWORD pid = StartVexo(u"--unknown option");
    EXPECT_TRUE(cesim::ProcessRunning(pid));
    EXPECT_NE(FindButtonWindow(), nullptr);
}

} // namespace
