// The installer the driver plays: the hooks in the installer's order from a process of its own,
// the files copied between them, and what each answer of the hooks makes it do.
#include <gtest/gtest.h>

#include <ce_setup.h>
#include <windows.h>

#include <cesim/installer.h>
#include <cesim/registry.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

const char kRecord[] = "HKLM\\Software\\Apps\\Holmvest Vexo";

// What the hooks saw, in order, and what they answer.
std::vector<std::string> g_calls;
codeINSTALL_INIT g_initAnswer;
codeINSTALL_EXIT g_exitAnswer;
codeUNINSTALL_INIT g_uninstallAnswer;

bool Exists(const std::u16string& path) {
    return std::filesystem::exists(cesim::HostPath(path));
}

std::string Narrow(LPCWSTR s) {
    std::u16string u;
    while (s && *s)
        u.push_back(char16_t(*s++));
    return cesim::Narrow(u);
}

codeINSTALL_INIT InstallInit(HWND parent, BOOL first, BOOL previously, LPCWSTR folder) {
    g_calls.push_back("Install_Init " + Narrow(folder) + (first ? " first" : "") +
                      (previously ? " again" : "") +
                      (Exists(u"\\Apps\\Tool\\tool.dat") ? " with files" : ""));
    return g_initAnswer;
}

codeINSTALL_EXIT InstallExit(HWND, LPCWSTR folder, WORD, WORD failedFiles, WORD, WORD, WORD) {
    g_calls.push_back("Install_Exit " + Narrow(folder) + " failed " + std::to_string(failedFiles) +
                      (Exists(u"\\Apps\\Tool\\tool.dat") ? " with files" : ""));
    return g_exitAnswer;
}

codeUNINSTALL_INIT UninstallInit(HWND, LPCWSTR folder) {
    g_calls.push_back("Uninstall_Init " + Narrow(folder));
    return g_uninstallAnswer;
}

codeUNINSTALL_EXIT UninstallExit(HWND) {
    g_calls.push_back("Uninstall_Exit" +
                      std::string(Exists(u"\\Apps\\Tool\\tool.dat") ? " with files" : ""));
    return codeUNINSTALL_EXIT_DONE;
}

cesim::Package ToolPackage() {
    cesim::Package package;
    cesim::PackageFile data;
    data.name = u"tool.dat";
    data.bytes = {1, 2, 3};
    package.files.push_back(data);
    package.setup = {InstallInit, InstallExit, UninstallInit, UninstallExit};
    return package;
}

class Installer : public ::testing::Test {
protected:
    void SetUp() override {
        cesim::Boot();
        g_calls.clear();
        g_initAnswer = codeINSTALL_INIT_CONTINUE;
        g_exitAnswer = codeINSTALL_EXIT_DONE;
        g_uninstallAnswer = codeUNINSTALL_INIT_CONTINUE;
    }
};

TEST_F(Installer, CallsTheHooksAroundTheCopiesAndKeepsARecord) {
    cesim::InstallerRun run = cesim::InstallPackage(ToolPackage(), u"\\Apps\\Tool");
    EXPECT_TRUE(run.ended);
    EXPECT_NE(run.processId, 1u) << "the installer runs as a process of its own";
    cesim::InstallPackage(ToolPackage(), u"\\Apps\\Tool");
    EXPECT_EQ(g_calls, (std::vector<std::string>{"Install_Init \\Apps\\Tool first",
                                                 "Install_Exit \\Apps\\Tool failed 0 with files",
                                                 "Install_Init \\Apps\\Tool first again with files",
                                                 "Install_Exit \\Apps\\Tool failed 0 with files"}));
    EXPECT_EQ(cesim::reg::GetString(kRecord, "InstallDir"), u"\\Apps\\Tool");

    g_calls.clear();
    run = cesim::UninstallPackage(ToolPackage());
    EXPECT_EQ(g_calls, (std::vector<std::string>{"Uninstall_Init \\Apps\\Tool", "Uninstall_Exit"}));
    EXPECT_FALSE(cesim::reg::KeyExists(kRecord));
    g_calls.clear();
    cesim::UninstallPackage(ToolPackage());
    EXPECT_TRUE(g_calls.empty()) << "nothing is installed any more";
}

TEST_F(Installer, TheHooksAnswersCancelOrTakeBackTheInstallation) {
    g_initAnswer = codeINSTALL_INIT_CANCEL;
    cesim::InstallerRun run = cesim::InstallPackage(ToolPackage(), u"\\Apps\\Tool");
    EXPECT_EQ(run.exitResult, -1);
    EXPECT_FALSE(Exists(u"\\Apps\\Tool\\tool.dat"));

    g_initAnswer = codeINSTALL_INIT_CONTINUE;
    g_exitAnswer = codeINSTALL_EXIT_UNINSTALL;
    cesim::InstallPackage(ToolPackage(), u"\\Apps\\Tool");
    EXPECT_FALSE(Exists(u"\\Apps\\Tool\\tool.dat")) << "the copied files are taken back";
    EXPECT_FALSE(cesim::reg::KeyExists(kRecord));

    g_exitAnswer = codeINSTALL_EXIT_DONE;
    cesim::InstallPackage(ToolPackage(), u"\\Apps\\Tool");
    g_uninstallAnswer = codeUNINSTALL_INIT_CANCEL;
    run = cesim::UninstallPackage(ToolPackage());
    EXPECT_EQ(run.initResult, codeUNINSTALL_INIT_CANCEL);
    EXPECT_TRUE(Exists(u"\\Apps\\Tool\\tool.dat"));
    EXPECT_TRUE(cesim::reg::KeyExists(kRecord));
}

} // namespace
