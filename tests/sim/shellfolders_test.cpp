// The shell's folders and shortcuts on the simulated device: the special folders a Pocket PC
// has, shortcut files in their text form, the Startup folder run at boot, and a running
// program's file that cannot be replaced.
#include <gtest/gtest.h>

#include <shellapi.h>
#include <windows.h>

#include <cesim/device.h>
#include <cesim/shortcuts.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

std::string FileText(const std::u16string& devicePath) {
    std::ifstream in(cesim::HostPath(devicePath), std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::u16string Text(const wchar_t* s) {
    std::u16string r;
    while (s && *s)
        r.push_back(char16_t(*s++));
    return r;
}

int WINAPI IdleEntry(HINSTANCE, HINSTANCE, LPWSTR, int) {
    Sleep(INFINITE);
    return 0;
}

cesim::ProgramImage Image(const std::u16string& path) {
    cesim::ProgramImage image;
    image.entry = &IdleEntry;
    image.modulePath = path;
    return image;
}

class ShellFolders : public ::testing::Test {
protected:
    void SetUp() override { cesim::Boot(); }
    void TearDown() override { cesim::ClearFailures(); }
};

TEST_F(ShellFolders, SpecialFoldersAreThePocketPcOnesAndMissingOnesAreMadeOnRequest) {
    wchar_t path[MAX_PATH];
    ASSERT_TRUE(SHGetSpecialFolderPath(nullptr, path, CSIDL_STARTUP, FALSE));
    EXPECT_EQ(Text(path), u"\\Windows\\StartUp");
    ASSERT_TRUE(SHGetSpecialFolderPath(nullptr, path, CSIDL_PROGRAM_FILES, FALSE));
    EXPECT_EQ(Text(path), u"\\Program Files");

    path[0] = L'x';
    EXPECT_FALSE(SHGetSpecialFolderPath(nullptr, path, CSIDL_FAVORITES, FALSE));
    EXPECT_EQ(path[0], 0) << "a failed lookup leaves no path behind";
    ASSERT_TRUE(SHGetSpecialFolderPath(nullptr, path, CSIDL_FAVORITES, TRUE));
    EXPECT_EQ(Text(path), u"\\Windows\\Favorites");
    EXPECT_TRUE(std::filesystem::is_directory(cesim::HostPath(u"\\Windows\\Favorites")));

    EXPECT_FALSE(SHGetSpecialFolderPath(nullptr, path, 0x7f, TRUE));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
}

TEST_F(ShellFolders, AShortcutIsWrittenInTheTextFormAndNeverOverwritten) {
    wchar_t shortcut[] = L"\\Windows\\StartUp\\Vexo.lnk";
    wchar_t target[] = L"\"\\Program Files\\Vexo\\vexo.exe\"";
    wchar_t other[] = L"\\Windows\\calc.exe";
    ASSERT_TRUE(SHCreateShortcut(shortcut, target));
    EXPECT_EQ(FileText(u"\\Windows\\StartUp\\Vexo.lnk"), "30#\"\\Program Files\\Vexo\\vexo.exe\"");

    EXPECT_FALSE(SHCreateShortcut(shortcut, other));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_EXISTS));
    EXPECT_EQ(cesim::ShortcutCommand(u"\\Windows\\StartUp\\Vexo.lnk"),
              u"\"\\Program Files\\Vexo\\vexo.exe\"");

    wchar_t nowhere[] = L"\\No Such Folder\\Vexo.lnk";
    EXPECT_FALSE(SHCreateShortcut(nowhere, other));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_PATH_NOT_FOUND));

    std::vector<wchar_t> tooLong(257, L'a');
    tooLong.push_back(0);
    wchar_t longShortcut[] = L"\\Windows\\StartUp\\Long.lnk";
    EXPECT_FALSE(SHCreateShortcut(longShortcut, tooLong.data()));
    EXPECT_FALSE(std::filesystem::exists(cesim::HostPath(u"\\Windows\\StartUp\\Long.lnk")));
}

TEST_F(ShellFolders, BootStartsTheCommandOfEveryStartupShortcut) {
    cesim::InstallProgram(Image(u"\\Program Files\\Alarm\\alarm.exe"));
    cesim::InstallProgram(Image(u"\\Windows\\clock.exe"));
    wchar_t alarm[] = L"\\Windows\\StartUp\\Alarm.lnk";
    wchar_t alarmTarget[] = L"\"\\Program Files\\Alarm\\alarm.exe\" /quiet";
    wchar_t clock[] = L"\\Windows\\StartUp\\Clock.lnk";
    wchar_t clockTarget[] = L"\\Windows\\clock.exe";
    ASSERT_TRUE(SHCreateShortcut(alarm, alarmTarget));
    ASSERT_TRUE(SHCreateShortcut(clock, clockTarget));
    std::ofstream(cesim::HostPath(u"\\Windows\\StartUp\\readme.txt")) << "12#\\Windows\\x.exe";

    cesim::BootOptions again = cesim::BootedWith();
    cesim::Boot(again);
    auto started = cesim::StartedProcesses();
    ASSERT_EQ(started.size(), 2u);
    EXPECT_EQ(started[0].modulePath, u"\\Program Files\\Alarm\\alarm.exe");
    EXPECT_EQ(started[0].commandLine, u"/quiet");
    EXPECT_EQ(started[1].modulePath, u"\\Windows\\clock.exe");
    EXPECT_EQ(started[1].commandLine, u"");
    EXPECT_NE(started[0].parentProcessId, 1u) << "the shell starts them, not the driver";
    EXPECT_TRUE(cesim::ProcessRunning(started[0].processId));
}

TEST_F(ShellFolders, ARunningProgramsFileCanBeReadButNotReplacedOrDeleted) {
    cesim::InstallProgram(Image(u"\\Program Files\\Vexo\\vexo.exe"));
    PROCESS_INFORMATION pi = {};
    ASSERT_TRUE(CreateProcessW(L"\\Program Files\\Vexo\\vexo.exe", nullptr, nullptr, nullptr, FALSE,
                               0, nullptr, nullptr, nullptr, &pi));
    CloseHandle(pi.hThread);
    cesim::Settle();

    const wchar_t* path = L"\\PROGRAM FILES\\vexo\\VEXO.EXE";
    HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    EXPECT_EQ(file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_SHARING_VIOLATION));
    EXPECT_FALSE(DeleteFileW(path));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_SHARING_VIOLATION));
    file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);

    ASSERT_TRUE(TerminateProcess(pi.hProcess, 0));
    CloseHandle(pi.hProcess);
    cesim::Settle();
    EXPECT_TRUE(DeleteFileW(path));
}

} // namespace
