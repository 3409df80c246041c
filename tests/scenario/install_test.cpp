// vexo installed, reinstalled and removed by the device's installer with the setup library's
// hooks, and started again at boot by the shortcut they leave in the Startup folder.
#include "support/device_fixture.h"

#include <ce_setup.h>
#include <windows.h>

#include <cesim/installer.h>
#include <cesim/shortcuts.h>

#include <filesystem>

using vexotest::FindButtonWindow;
using vexotest::kSettingsPath;

namespace {

const std::u16string kShortcut = u"\\Windows\\StartUp\\Vexo.lnk";
const std::u16string kFolder = u"\\Program Files\\Vexo";
const std::u16string kCardFolder = u"\\Storage Card\\Vexo";

cesim::Package VexoPackage() {
    cesim::Package package;
    cesim::PackageFile program;
    program.name = u"vexo.exe";
    program.entry = &WinMain;
    program.resources = cesim::ProgramResourceSection();
    package.files.push_back(program);
    package.setup.installInit = Install_Init;
    package.setup.installExit = Install_Exit;
    package.setup.uninstallInit = Uninstall_Init;
    package.setup.uninstallExit = Uninstall_Exit;
    return package;
}

// The process whose button window sits under the taskbar, and the file it runs from.
struct Running {
    DWORD processId = 0;
    std::u16string modulePath;
};
Running RunningVexo() {
    Running r;
    HWND button = FindButtonWindow();
    if (!button)
        return r;
    r.processId = cesim::Inspect(button)->processId;
    for (const cesim::StartedProcess& p : cesim::StartedProcesses())
        if (p.processId == r.processId)
            r.modulePath = p.modulePath;
    return r;
}

size_t ButtonWindows() {
    size_t n = 0;
    for (HWND child : cesim::ChildWindows(cesim::Taskbar()))
        n += cesim::Inspect(child)->className == u"VexoClass";
    return n;
}

void ExpectInstalledAt(const cesim::InstallerRun& run, const std::u16string& folder) {
    EXPECT_TRUE(run.ended);
    EXPECT_EQ(run.initResult, codeINSTALL_INIT_CONTINUE);
    EXPECT_EQ(run.exitResult, codeINSTALL_EXIT_DONE);
    EXPECT_TRUE(run.failedFiles.empty()) << "a file could not be replaced";
    EXPECT_EQ(cesim::reg::GetString(kSettingsPath, "InstallDir"), folder);
    EXPECT_EQ(cesim::ShortcutCommand(kShortcut), u"\"" + folder + u"\\vexo.exe\"");
    EXPECT_EQ(RunningVexo().modulePath, folder + u"\\vexo.exe");
    EXPECT_EQ(ButtonWindows(), 1u);
}

class Install : public vexotest::DeviceTest {};

TEST_F(Install, TheInstallerLeavesVexoRunningFromItsFolder) {
    ExpectInstalledAt(cesim::InstallPackage(VexoPackage(), kFolder), kFolder);
    EXPECT_EQ(cesim::reg::GetDword("HKLM\\Software\\Apps\\Holmvest Vexo", "Instl"), 1u);
}

// Three lives of vexo in one test: each reinstall ends the one before.
TEST_F(Install, AReinstallEndsTheRunningVexoBeforeItsFileIsReplaced) {
    cesim::InstallPackage(VexoPackage(), kFolder);
    DWORD first = RunningVexo().processId;
    ASSERT_NE(first, 0u);

    cesim::InstallerRun again = cesim::InstallPackage(VexoPackage(), kFolder);
    ExpectInstalledAt(again, kFolder);
    EXPECT_LT(again.initMs, 100u) << "vexo should end at once, not at the time-out";
    EXPECT_FALSE(cesim::ProcessRunning(first));
    EXPECT_EQ(cesim::ProcessExitCode(first), 0);
    cesim::ExitReport left = cesim::ProcessExitReport(first);
    EXPECT_EQ(left.gdiObjects + left.icons + left.windows, 0u) << "vexo did not tear down";

    DWORD second = RunningVexo().processId;
    ExpectInstalledAt(cesim::InstallPackage(VexoPackage(), kCardFolder), kCardFolder);
    EXPECT_FALSE(cesim::ProcessRunning(second));
}

TEST_F(Install, AfterARebootTheStartupShortcutStartsVexo) {
    cesim::InstallPackage(VexoPackage(), kFolder);
    cesim::Boot(cesim::BootedWith());
    ASSERT_NE(FindButtonWindow(), nullptr);
    auto started = cesim::StartedProcesses();
    ASSERT_EQ(started.size(), 1u);
    EXPECT_EQ(started[0].modulePath, kFolder + u"\\vexo.exe");
    EXPECT_EQ(started[0].commandLine, u"");
    EXPECT_EQ(started[0].processId, RunningVexo().processId);
}

TEST_F(Install, UninstallEndsVexoAndLeavesNothingOfItBehind) {
    cesim::InstallPackage(VexoPackage(), kFolder);
    DWORD running = RunningVexo().processId;
    cesim::reg::SetDword(std::string(kSettingsPath) + "\\IgnoredApps", "\\Windows\\calc.exe", 1);

    cesim::InstallerRun run = cesim::UninstallPackage(VexoPackage());
    EXPECT_EQ(run.initResult, codeUNINSTALL_INIT_CONTINUE);
    EXPECT_EQ(run.exitResult, codeUNINSTALL_EXIT_DONE);
    EXPECT_TRUE(run.failedFiles.empty()) << "vexo.exe was still in use";
    EXPECT_FALSE(cesim::ProcessRunning(running));
    EXPECT_EQ(FindButtonWindow(), nullptr);
    EXPECT_FALSE(cesim::reg::KeyExists(kSettingsPath));
    EXPECT_FALSE(cesim::reg::KeyExists("HKLM\\Software\\Apps\\Holmvest Vexo"));
    EXPECT_FALSE(std::filesystem::exists(cesim::HostPath(kShortcut)));
    EXPECT_FALSE(std::filesystem::exists(cesim::HostPath(kFolder + u"\\vexo.exe")));
}

} // namespace
