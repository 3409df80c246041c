// vexo's life on the simulated device: start-up, the button's place, the hot key, reloads of
// the settings and the two ways of ending.
#include "support/device_fixture.h"

#include <windows.h>

#include <cesim/message_watch.h>

#include "config/log.h"
#include "shell/mainwindow.h"

#include <fstream>
#include <sstream>

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

// One program life each: the DPI is read once per life.
#define GEOMETRY_CASE(name, dpiX, dpiY, x, y, w, h)                                                \
    TEST(StartupGeometry, name) {                                                                  \
        vexotest::BootDeviceWithDpi(dpiX, dpiY);                                                   \
        ASSERT_TRUE(cesim::ProcessRunning(StartVexo()));                                           \
        ExpectRect(cesim::Inspect(FindButtonWindow())->rect, x, y, w, h);                          \
    }
// Widths scale across, the margins and the height down.
GEOMETRY_CASE(TallPixels96x192, 96, 192, 212, 4, 28, 44)
GEOMETRY_CASE(WidePixels192x96, 192, 96, 424, 2, 56, 22)
GEOMETRY_CASE(Odd120x144, 120, 144, 265, 3, 35, 33)

TEST(Startup, EachIconComesFromItsOwnResourceAtSixteenPixelsScaledEachWay) {
    vexotest::BootDeviceWithDpi(96, 192);
    StartVexo();
    const int resources[ICON_COUNT] = {104, 109, 108, 110, 111, 112, 128, 131, 130, 113, 129};
    for (int i = 0; i < ICON_COUNT; ++i) {
        std::optional<cesim::IconInfo> icon = cesim::InspectIcon(icons[i]);
        ASSERT_TRUE(icon) << "slot " << i;
        EXPECT_EQ(icon->resourceId, resources[i]) << "slot " << i;
        EXPECT_EQ(icon->width, 16) << "slot " << i;
        EXPECT_EQ(icon->height, 32) << "slot " << i;
    }
}

TEST(Startup, ButtonIsTheTopmostChildOfTheTaskbar) {
    BootDevice(96);
    std::vector<HWND> shellChildren = cesim::ChildWindows(cesim::Taskbar());
    ASSERT_FALSE(shellChildren.empty());
    StartVexo();
    std::vector<HWND> children = cesim::ChildWindows(cesim::Taskbar());
    ASSERT_EQ(children.size(), shellChildren.size() + 1);
    EXPECT_EQ(children.front(), FindButtonWindow());
    EXPECT_EQ(std::vector<HWND>(children.begin() + 1, children.end()), shellChildren);
}

TEST(Startup, SecondStartReturnsZeroAndLeavesTheFirstAlone) {
    BootDevice(96, "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Holmvest\\Vexo]\n"
                   "\"TLHWKey\"=dword:000000c1\n");
    DWORD first = StartVexo();
    HWND button = FindButtonWindow();
    auto hotKeysBefore = cesim::HotKeys();
    size_t gdiBefore = cesim::LiveGdiObjects();
    std::vector<HWND> childrenBefore = cesim::ChildWindows(cesim::Taskbar());

    DWORD second = StartVexo();
    cesim::Settle();
    EXPECT_FALSE(cesim::ProcessRunning(second));
    EXPECT_EQ(cesim::ProcessExitCode(second), 0);
    EXPECT_EQ(cesim::ProcessExitReport(second).windows, 0u);
    EXPECT_TRUE(cesim::ProcessRunning(first));
    EXPECT_EQ(FindButtonWindow(), button);
    EXPECT_EQ(cesim::ChildWindows(cesim::Taskbar()), childrenBefore);
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

std::string ReadHostFile(const std::u16string& devicePath) {
    std::ifstream in(cesim::HostPath(devicePath), std::ios::binary);
    if (!in)
        return "<missing>";
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

const char kLogAtLevelTwo[] = "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Holmvest\\Vexo]\n"
                              "\"LogLevel\"=dword:00000002\n\"LogFile\"=\"\\\\first.log\"\n"
                              "\"TLHWKey\"=dword:000000c1\n";

// What start-up leaves behind when it gives up early: no window, no hot key, exit code 0.
void ExpectNothingStarted(DWORD pid) {
    EXPECT_FALSE(cesim::ProcessRunning(pid));
    EXPECT_EQ(cesim::ProcessExitCode(pid), 0);
    EXPECT_EQ(cesim::ProcessExitReport(pid).windows, 0u);
    EXPECT_EQ(FindButtonWindow(), nullptr);
    EXPECT_TRUE(cesim::HotKeys().empty());
}

TEST(StartupFailure, WithoutItsStringRingVexoEndsBeforeReadingItsSettings) {
    BootDevice(96, kLogAtLevelTwo);
    cesim::FailAllocations(0, 1);
    DWORD pid = StartVexo();
    cesim::StopFailingAllocations();
    ExpectNothingStarted(pid);
    EXPECT_EQ(ReadHostFile(u"\\first.log"), "<missing>");
}

TEST(StartupFailure, AClassThatCannotBeRegisteredEndsIt) {
    BootDevice(96, kLogAtLevelTwo);
    cesim::InjectFailure("RegisterClassW", ERROR_CLASS_ALREADY_EXISTS, 1);
    DWORD pid = StartVexo();
    ExpectNothingStarted(pid);
    // The log was begun, as start-up makes it before the class; nothing reached it.
    EXPECT_EQ(ReadHostFile(u"\\first.log"), "");
    // The mutex went with the process.
    EXPECT_TRUE(cesim::ProcessRunning(StartVexo()));
}

TEST(StartupFailure, WithoutMemoryForItsLogVexoRunsWithoutOne) {
    BootDevice(96, kLogAtLevelTwo);
    std::ofstream(cesim::HostPath(u"\\first.log")) << "an older run\n";
    cesim::FailAllocationsOfSize(sizeof(Log));
    DWORD pid = StartVexo();
    cesim::StopFailingAllocations();
    ASSERT_TRUE(cesim::ProcessRunning(pid));
    EXPECT_EQ(appLog, nullptr);
    EXPECT_NE(FindButtonWindow(), nullptr);
    EXPECT_TRUE(cesim::HotKeyFor(kVkApp1));
    // Every handler runs as usual, only without writing.
    cesim::Advance(1000);
    vexotest::SendReadConfig();
    SendFromOtherProcess(FindButtonWindow(), WM_CLOSE);
    EXPECT_FALSE(cesim::ProcessRunning(pid));
    EXPECT_EQ(ReadHostFile(u"\\first.log"), "an older run\n");
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
    cesim::StartHelperProcess(u"\\Windows\\other.exe", [] {
        EXPECT_TRUE(RegisterHotKey(nullptr, 9, MOD_WIN, kVkApp2));
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

TEST(ReadConfig, ANewLogLevelOrLogFileWaitsForTheNextStart) {
    BootDevice(96, kLogAtLevelTwo);
    SYSTEMTIME base = {2026, 12, 2, 8, 9, 5, 31, 0};
    cesim::SetLocalTimeBase(base);
    DWORD first = StartVexo();
    // Level 5 would log every tick of the watch; the second file would start empty.
    ChangeSettings([] {
        cesim::reg::SetDword(kSettingsPath, "LogLevel", 5);
        cesim::reg::SetString(kSettingsPath, "LogFile", u"\\second.log");
    });
    cesim::Advance(1000);
    SendFromOtherProcess(FindButtonWindow(), WM_CLOSE);
    ASSERT_FALSE(cesim::ProcessRunning(first));
    EXPECT_EQ(ReadHostFile(u"\\first.log"), "09:05:31 - OnCreate()\n"
                                            "09:05:31 - OnReadConfig()\n"
                                            "09:05:32 - OnDestroy()\n");
    EXPECT_EQ(ReadHostFile(u"\\second.log"), "<missing>");

    StartVexo();
    cesim::Advance(500);
    const std::string second = ReadHostFile(u"\\second.log");
    EXPECT_EQ(second.rfind("09:05:32 - OnCreate()\n", 0), 0u) << second;
    EXPECT_NE(second.find(" - OnTimer(3)\n"), std::string::npos) << second;
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
    BootDevice(96, "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Holmvest\\Vexo]\n"
                   "\"TLHWKey\"=dword:000000c1\n");
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
    // The window outlived the loop, so its hot key and timers went only because the teardown
    // dropped them.
    EXPECT_EQ(left.hotKeys, 0u);
    EXPECT_EQ(left.timers, 0u);
}

TEST(Ending, EraseBackgroundIsAnsweredWithZero) {
    BootDevice(96);
    StartVexo();
    EXPECT_EQ(SendFromOtherProcess(FindButtonWindow(), WM_ERASEBKGND), 0);
}

std::vector<cesim::WatchedMessage> CopyDataReceived() {
    std::vector<cesim::WatchedMessage> copies;
    for (const cesim::WatchedMessage& m : cesim::WatchedMessages())
        if (m.message == WM_COPYDATA)
            copies.push_back(m);
    return copies;
}

TEST(Ending, CommandLineIsHandedToTheWindowAndIgnored) {
    BootDevice(96);
    cesim::WatchMessages(u"VexoClass");
    DWORD pid = StartVexo(u"--unknown \u00FCption");
    EXPECT_TRUE(cesim::ProcessRunning(pid));
    HWND button = FindButtonWindow();
    ASSERT_NE(button, nullptr);
    std::vector<cesim::WatchedMessage> copies = CopyDataReceived();
    ASSERT_EQ(copies.size(), 1u);
    EXPECT_EQ(copies[0].window, button);
    EXPECT_EQ(copies[0].wParam, 0u);
    EXPECT_EQ(copies[0].copyDataTag, 0u);
    // The text with its terminator, in UTF-16.
    const std::u16string text = u"--unknown \u00FCption";
    std::vector<uint8_t> bytes;
    for (char16_t c : text + u'\0') {
        bytes.push_back(uint8_t(c));
        bytes.push_back(uint8_t(c >> 8));
    }
    EXPECT_EQ(copies[0].copyDataSize, bytes.size());
    EXPECT_EQ(copies[0].copyData, bytes);
}

TEST(Ending, AnEmptyCommandLineIsNotHandedOver) {
    BootDevice(96);
    cesim::WatchMessages(u"VexoClass");
    StartVexo(u"");
    EXPECT_NE(FindButtonWindow(), nullptr);
    EXPECT_TRUE(CopyDataReceived().empty());
    EXPECT_FALSE(cesim::WatchedMessages().empty()); // the watch saw the window's other messages
}

} // namespace
