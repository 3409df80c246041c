// The setup library's hooks on the simulated device, against stand-ins for a running vexo: which
// window it closes and how long it waits, what it records, the Startup shortcut it makes and
// deletes, and what it does when the platform fails it.
#include "support/device_fixture.h"

#include <ce_setup.h>
#include <windows.h>

#include <cesim/installer.h>
#include <cesim/shortcuts.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <set>

using vexotest::BootDevice;
using vexotest::DeviceTest;
using vexotest::kSettingsPath;

namespace {

const std::u16string kShortcut = u"\\Windows\\StartUp\\Vexo.lnk";

// ---- stand-ins for a running vexo ---------------------------------------------------------

enum class OnClose {
    Ends,    // leaves its loop and ends, as vexo does
    Lingers, // destroys its window at once but takes two seconds more to end
    Hangs,   // stops answering
};

std::mutex g_closedMutex;
std::set<HWND> g_closed;

LRESULT CALLBACK StandInProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_CLOSE)
        return DefWindowProcW(window, message, wParam, lParam);
    {
        std::lock_guard<std::mutex> lock(g_closedMutex);
        g_closed.insert(window);
    }
    if (OnClose(GetWindowLongW(window, GWL_USERDATA)) == OnClose::Hangs)
        Sleep(INFINITE);
    PostQuitMessage(0);
    DestroyWindow(window);
    return 0;
}

struct StandIn {
    DWORD processId = 0;
    HWND window = nullptr;
    bool closed() const {
        std::lock_guard<std::mutex> lock(g_closedMutex);
        return g_closed.count(window) != 0;
    }
};

// A program with one child window of the class under the taskbar, on top of the others there.
StandIn StartStandIn(OnClose behaviour, const std::u16string& className = u"VexoClass") {
    StandIn s;
    s.processId = cesim::StartHelperProcess(u"\\Program Files\\Vexo\\vexo.exe", [=] {
        const wchar_t* name = reinterpret_cast<const wchar_t*>(className.c_str());
        WNDCLASSW wc = {};
        wc.lpfnWndProc = StandInProc;
        wc.lpszClassName = name;
        RegisterClassW(&wc);
        HWND w = CreateWindowExW(0, name, L"VexoWindow", WS_CHILD | WS_VISIBLE, 212, 2, 28, 22,
                                 FindWindowW(L"HHTaskBar", nullptr), nullptr, nullptr, nullptr);
        SetWindowLongW(w, GWL_USERDATA, LONG(behaviour));
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0))
            DispatchMessageW(&msg);
        if (behaviour == OnClose::Lingers)
            Sleep(2000);
    });
    for (HWND child : cesim::ChildWindows(cesim::Taskbar()))
        if (cesim::Inspect(child)->processId == s.processId)
            s.window = child;
    return s;
}

// ---- the hooks, called the way the installer calls them ----------------------------------

cesim::Package SetupOnly() {
    cesim::Package package;
    package.setup.installInit = Install_Init;
    package.setup.installExit = Install_Exit;
    package.setup.uninstallInit = Uninstall_Init;
    package.setup.uninstallExit = Uninstall_Exit;
    return package;
}

// Runs fn in a process of its own, as the installer would, advancing the clock until it ends;
// returns that process's id.
DWORD InInstallerProcess(std::function<void()> fn) {
    auto done = std::make_shared<std::atomic<bool>>(false);
    DWORD pid = cesim::StartHelperProcess(u"\\Windows\\wceload.exe", [fn, done] {
        fn();
        *done = true;
    });
    for (int i = 0; i < 600 && !*done; ++i)
        cesim::Advance(100);
    EXPECT_TRUE(*done) << "the hook did not return within a minute";
    return pid;
}

int WINAPI IdleEntry(HINSTANCE, HINSTANCE, LPWSTR, int) {
    Sleep(INFINITE);
    return 0;
}

// Puts a program at folder\vexo.exe that CreateProcessW can start.
void PlaceProgram(const std::u16string& folder) {
    cesim::ProgramImage image;
    image.entry = IdleEntry;
    image.modulePath = folder + u"\\vexo.exe";
    cesim::InstallProgram(image);
}

int CallInstallExit(const wchar_t* folder) {
    int result = -1;
    InInstallerProcess([&] { result = Install_Exit(nullptr, folder, 0, 0, 0, 0, 0); });
    return result;
}

bool Exists(const std::u16string& devicePath) {
    return std::filesystem::exists(cesim::HostPath(devicePath));
}

class SetupHooks : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        std::lock_guard<std::mutex> lock(g_closedMutex);
        g_closed.clear();
    }
};

// ---- closing a running vexo ---------------------------------------------------------------

TEST_F(SetupHooks, InstallInitClosesOnlyTheFirstExactVexoClassChildOfTheTaskbar) {
    StandIn behind = StartStandIn(OnClose::Ends);
    StandIn first = StartStandIn(OnClose::Ends);
    // Names that only look like it, on top of both.
    StandIn longer = StartStandIn(OnClose::Ends, u"VexoClassic");
    StandIn lower = StartStandIn(OnClose::Ends, u"vexoclass");
    StandIn shorter = StartStandIn(OnClose::Ends, u"VexoClas");

    cesim::InstallerRun run = cesim::InstallPackage(SetupOnly(), u"\\Program Files\\Vexo");
    EXPECT_EQ(run.initResult, codeINSTALL_INIT_CONTINUE);
    EXPECT_TRUE(first.closed());
    EXPECT_FALSE(cesim::ProcessRunning(first.processId));
    for (const StandIn* other : {&behind, &longer, &lower, &shorter}) {
        EXPECT_FALSE(other->closed());
        EXPECT_TRUE(cesim::ProcessRunning(other->processId));
    }
}

TEST_F(SetupHooks, InstallInitReturnsOnlyOnceTheClosedProgramHasEnded) {
    StandIn lingering = StartStandIn(OnClose::Lingers);
    bool endedBeforeReturn = false;
    InInstallerProcess([&] {
        Install_Init(nullptr, TRUE, FALSE, L"\\Program Files\\Vexo");
        endedBeforeReturn = !cesim::ProcessRunning(lingering.processId);
    });
    EXPECT_TRUE(lingering.closed());
    EXPECT_TRUE(endedBeforeReturn) << "the installer would replace files of a running program";
}

TEST_F(SetupHooks, AProgramThatHangsAtCloseIsTerminatedAfterEightSeconds) {
    StandIn hung = StartStandIn(OnClose::Hangs);
    cesim::InstallerRun run = cesim::InstallPackage(SetupOnly(), u"\\Program Files\\Vexo");
    ASSERT_TRUE(run.ended) << "a hung program held the installer";
    EXPECT_TRUE(hung.closed());
    EXPECT_GE(run.initMs, 8000u);
    EXPECT_LT(run.initMs, 8100u);
    EXPECT_FALSE(cesim::ProcessRunning(hung.processId));
    EXPECT_EQ(cesim::ProcessExitCode(hung.processId), 0);
}

TEST_F(SetupHooks, NothingIsWaitedForWhenNoVexoRuns) {
    EXPECT_EQ(cesim::InstallPackage(SetupOnly(), u"\\Program Files\\Vexo").initMs, 0u);
    cesim::BootOptions noTaskbar;
    noTaskbar.taskbar = false;
    cesim::Boot(noTaskbar);
    cesim::InstallerRun run = cesim::InstallPackage(SetupOnly(), u"\\Program Files\\Vexo");
    EXPECT_EQ(run.initResult, codeINSTALL_INIT_CONTINUE);
    EXPECT_EQ(run.initMs, 0u);
}

// ---- recording the folder, the shortcut, starting the program -----------------------------

TEST_F(SetupHooks, InstallExitRecordsTheFolderMakesAQuotedShortcutAndStartsTheProgram) {
    struct Case {
        const wchar_t* folder;
        std::u16string program;  // what is started
        std::u16string shortcut; // what the shortcut holds
    } cases[] = {
        {L"\\Program Files\\Vexo", u"\\Program Files\\Vexo\\vexo.exe",
         u"\"\\Program Files\\Vexo\\vexo.exe\""},
        // The folder is taken as the installer gives it.
        {L"\\Storage Card\\Vexo\\", u"\\Storage Card\\Vexo\\vexo.exe",
         u"\"\\Storage Card\\Vexo\\\\vexo.exe\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(cesim::Narrow(vexotest::U16(c.folder)));
        BootDevice();
        cesim::reg::SetDword(kSettingsPath, "TapAction", 1);
        cesim::reg::SetString(kSettingsPath, "InstallDir", u"\\Old");
        PlaceProgram(u"\\Program Files\\Vexo");
        PlaceProgram(u"\\Storage Card\\Vexo");
        size_t heapBlocks = cesim::HeapBlocks();

        DWORD installer = 0;
        int result = -1;
        installer =
            InInstallerProcess([&] { result = Install_Exit(nullptr, c.folder, 0, 0, 0, 0, 0); });
        EXPECT_EQ(result, codeINSTALL_EXIT_DONE);
        EXPECT_EQ(cesim::reg::GetString(kSettingsPath, "InstallDir"), vexotest::U16(c.folder));
        EXPECT_EQ(cesim::reg::GetDword(kSettingsPath, "TapAction"), 1u);
        EXPECT_EQ(cesim::ShortcutCommand(kShortcut), c.shortcut);
        auto started = cesim::StartedProcesses();
        ASSERT_EQ(started.size(), 1u);
        EXPECT_EQ(started[0].modulePath, c.program);
        EXPECT_EQ(started[0].commandLine, u"");
        EXPECT_EQ(started[0].parentProcessId, installer);
        EXPECT_EQ(cesim::ProcessExitReport(installer).handles, 0u) << "process handles left open";
        EXPECT_EQ(cesim::HeapBlocks(), heapBlocks);
        EXPECT_EQ(cesim::reg::OpenHandleCount(), 0u);
    }
}

TEST_F(SetupHooks, AFolderThatCannotBeRecordedTakesTheInstallationBack) {
    struct Case {
        const char* what;
        std::function<void()> fail;
        const wchar_t* folder;
    } cases[] = {
        {"key refused", [] { cesim::reg::FailOpen(kSettingsPath, ERROR_ACCESS_DENIED); },
         L"\\Program Files\\Vexo"},
        {"value refused", [] { cesim::reg::FailWrite(kSettingsPath, ERROR_ACCESS_DENIED); },
         L"\\Program Files\\Vexo"},
        {"no folder", [] {}, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        BootDevice();
        PlaceProgram(u"\\Program Files\\Vexo");
        c.fail();
        EXPECT_EQ(CallInstallExit(c.folder), codeINSTALL_EXIT_UNINSTALL);
        cesim::reg::ClearFailures();
        EXPECT_FALSE(cesim::reg::GetValue(kSettingsPath, "InstallDir"));
        EXPECT_FALSE(Exists(kShortcut));
        EXPECT_TRUE(cesim::StartedProcesses().empty());
    }
}

TEST_F(SetupHooks, WithoutTheStartupFolderTheShortcutIsSkippedAndTheRestDone) {
    struct Case {
        const char* what;
        std::function<void()> hide;
    } cases[] = {
        {"lookup fails",
         [] { cesim::InjectFailure("SHGetSpecialFolderPath", ERROR_NOT_ENOUGH_MEMORY); }},
        {"folder missing",
         [] { std::filesystem::remove_all(cesim::HostPath(u"\\Windows\\StartUp")); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        BootDevice();
        PlaceProgram(u"\\Program Files\\Vexo");
        c.hide();
        EXPECT_EQ(CallInstallExit(L"\\Program Files\\Vexo"), codeINSTALL_EXIT_DONE);
        cesim::ClearFailures();
        EXPECT_FALSE(Exists(u"\\Vexo.lnk")) << "a failed lookup is no folder";
        EXPECT_FALSE(Exists(kShortcut));
        EXPECT_EQ(cesim::StartedProcesses().size(), 1u);
    }
}

TEST_F(SetupHooks, AReinstallIntoAnotherFolderPointsTheShortcutThere) {
    PlaceProgram(u"\\Program Files\\Vexo");
    PlaceProgram(u"\\Storage Card\\Vexo");
    CallInstallExit(L"\\Program Files\\Vexo");
    ASSERT_EQ(cesim::ShortcutCommand(kShortcut), u"\"\\Program Files\\Vexo\\vexo.exe\"");
    EXPECT_EQ(CallInstallExit(L"\\Storage Card\\Vexo"), codeINSTALL_EXIT_DONE);
    EXPECT_EQ(cesim::ShortcutCommand(kShortcut), u"\"\\Storage Card\\Vexo\\vexo.exe\"");
}

TEST_F(SetupHooks, OutOfMemoryLeavesOutThePathsButStillRecordsTheFolder) {
    PlaceProgram(u"\\Program Files\\Vexo");
    size_t heapBlocks = cesim::HeapBlocks();
    cesim::FailAllocations(0, -1);
    EXPECT_EQ(CallInstallExit(L"\\Program Files\\Vexo"), codeINSTALL_EXIT_DONE);
    cesim::StopFailingAllocations();
    EXPECT_EQ(cesim::reg::GetString(kSettingsPath, "InstallDir"), u"\\Program Files\\Vexo");
    EXPECT_FALSE(Exists(kShortcut));
    EXPECT_TRUE(cesim::StartedProcesses().empty());
    EXPECT_EQ(cesim::HeapBlocks(), heapBlocks);
}

// ---- uninstalling -------------------------------------------------------------------------

TEST_F(SetupHooks, UninstallInitRemovesSettingsWithSubkeysTheShortcutAndTheProgram) {
    cesim::reg::SetDword(kSettingsPath, "TapAction", 1);
    cesim::reg::SetDword(std::string(kSettingsPath) + "\\Exceptions\\Calc", "TapAction", 0);
    PlaceProgram(u"\\Program Files\\Vexo");
    CallInstallExit(L"\\Program Files\\Vexo");
    ASSERT_TRUE(Exists(kShortcut));
    StandIn running = StartStandIn(OnClose::Ends);

    int result = -1;
    InInstallerProcess([&] { result = Uninstall_Init(nullptr, L"\\Program Files\\Vexo"); });
    EXPECT_EQ(result, codeUNINSTALL_INIT_CONTINUE);
    EXPECT_FALSE(cesim::reg::KeyExists(kSettingsPath));
    EXPECT_FALSE(Exists(kShortcut));
    EXPECT_FALSE(cesim::ProcessRunning(running.processId));
    EXPECT_EQ(Uninstall_Exit(nullptr), codeUNINSTALL_EXIT_DONE);
}

TEST_F(SetupHooks, AShortcutTheUserDeletedDoesNotStopTheUninstall) {
    cesim::reg::SetDword(kSettingsPath, "TapAction", 1);
    ASSERT_FALSE(Exists(kShortcut));
    EXPECT_EQ(Uninstall_Init(nullptr, L"\\Program Files\\Vexo"), codeUNINSTALL_INIT_CONTINUE);
    EXPECT_FALSE(cesim::reg::KeyExists(kSettingsPath));
}

TEST_F(SetupHooks, AShortcutThatCannotBeDeletedCancelsAndKeepsSettingsAndProgram) {
    cesim::reg::SetDword(kSettingsPath, "TapAction", 1);
    PlaceProgram(u"\\Program Files\\Vexo");
    CallInstallExit(L"\\Program Files\\Vexo");
    StandIn running = StartStandIn(OnClose::Ends);
    // Another program holds the shortcut open without sharing it.
    cesim::StartHelperProcess(u"\\Windows\\holder.exe", [] {
        CreateFileW(L"\\Windows\\StartUp\\Vexo.lnk", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0,
                    nullptr);
        Sleep(INFINITE);
    });

    int result = -1;
    InInstallerProcess([&] { result = Uninstall_Init(nullptr, L"\\Program Files\\Vexo"); });
    EXPECT_EQ(result, codeUNINSTALL_INIT_CANCEL);
    EXPECT_EQ(cesim::reg::GetDword(kSettingsPath, "TapAction"), 1u);
    EXPECT_TRUE(Exists(kShortcut));
    EXPECT_TRUE(cesim::ProcessRunning(running.processId));
    EXPECT_FALSE(running.closed());
}

} // namespace
