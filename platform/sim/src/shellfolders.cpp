// The shell's special folders and its shortcut files: SHGetSpecialFolderPath,
// SHCreateShortcut, and the Startup folder that the shell runs at boot.
#include "shellfolders.h"

#include "faults.h"
#include "kernel.h"

#include <cesim/device.h>
#include <cesim/shortcuts.h>
#include <shellapi.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace cesim {

namespace {

namespace fs = std::filesystem;

// The longest command a shortcut holds, as the platform documents it.
const size_t kLongestShortcutCommand = 256;

struct SpecialFolder {
    int csidl;
    const char16_t* path;
    bool madeAtBoot;
};

// Where a Pocket PC keeps them.
const SpecialFolder kFolders[] = {
    {CSIDL_PROGRAMS, u"\\Windows\\Start Menu\\Programs", true},
    {CSIDL_PERSONAL, u"\\My Documents", true},
    {CSIDL_FAVORITES, u"\\Windows\\Favorites", false},
    {CSIDL_STARTUP, u"\\Windows\\StartUp", true},
    {CSIDL_RECENT, u"\\Windows\\Recent", false},
    {CSIDL_STARTMENU, u"\\Windows\\Start Menu", true},
    {CSIDL_FONTS, u"\\Windows\\Fonts", false},
    {CSIDL_APPDATA, u"\\Application Data", false},
    {CSIDL_WINDOWS, u"\\Windows", true},
    {CSIDL_PROGRAM_FILES, u"\\Program Files", true},
};

const SpecialFolder* FindFolder(int csidl) {
    for (const SpecialFolder& folder : kFolders)
        if (folder.csidl == csidl)
            return &folder;
    return nullptr;
}

bool IsFolder(const std::u16string& devicePath) {
    std::error_code ec;
    return fs::is_directory(HostPath(devicePath), ec);
}

std::string Lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return s;
}

// A command is a program, quoted when its path has spaces, and what follows it.
void SplitCommand(const std::u16string& command, std::u16string* program,
                  std::u16string* arguments) {
    size_t end;
    if (!command.empty() && command[0] == u'"') {
        end = command.find(u'"', 1);
        *program = command.substr(1, end == std::u16string::npos ? end : end - 1);
        end = end == std::u16string::npos ? command.size() : end + 1;
    } else {
        end = std::min(command.find(u' '), command.size());
        *program = command.substr(0, end);
    }
    size_t rest = command.find_first_not_of(u' ', end);
    *arguments = rest == std::u16string::npos ? std::u16string() : command.substr(rest);
}

} // namespace

void MakeShellFolders() {
    for (const SpecialFolder& folder : kFolders)
        if (folder.madeAtBoot)
            fs::create_directories(HostPath(folder.path));
}

std::optional<std::u16string> ShortcutCommand(const std::u16string& devicePath) {
    std::ifstream in(HostPath(devicePath), std::ios::binary);
    if (!in)
        return std::nullopt;
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    size_t hash = text.find('#');
    if (hash == 0 || hash == std::string::npos || text.find_first_not_of("0123456789") != hash)
        return std::nullopt;
    std::string command = text.substr(hash + 1);
    while (!command.empty() && (command.back() == '\n' || command.back() == '\r'))
        command.pop_back();
    return Widen(command);
}

void LaunchStartupPrograms() {
    std::error_code ec;
    std::vector<fs::path> shortcuts;
    for (const auto& entry : fs::directory_iterator(HostPath(u"\\Windows\\StartUp"), ec))
        if (Lower(entry.path().extension().string()) == ".lnk")
            shortcuts.push_back(entry.path());
    std::sort(shortcuts.begin(), shortcuts.end());
    for (const fs::path& shortcut : shortcuts) {
        auto command =
            ShortcutCommand(u"\\Windows\\StartUp\\" + Widen(shortcut.filename().string()));
        if (!command)
            continue;
        std::u16string program, arguments;
        SplitCommand(*command, &program, &arguments);
        std::vector<wchar_t> line(arguments.begin(), arguments.end());
        line.push_back(0);
        PROCESS_INFORMATION started = {};
        if (CreateProcessW(W(program), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                           nullptr, &started)) {
            CloseHandle(started.hThread);
            CloseHandle(started.hProcess);
        }
    }
}

} // namespace cesim

using namespace cesim;

extern "C" {

BOOL SHGetSpecialFolderPath(HWND owner, LPWSTR path, int folder, BOOL create) {
    DWORD injected = 0;
    bool fail = ShouldFail("SHGetSpecialFolderPath", &injected);
    if (!path) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    path[0] = 0;
    if (fail) {
        SetLastError(injected);
        return FALSE;
    }
    const SpecialFolder* special = FindFolder(folder);
    if (!special) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::u16string devicePath = special->path;
    if (!IsFolder(devicePath)) {
        std::error_code ec;
        if (!create || !fs::create_directories(HostPath(devicePath), ec)) {
            SetLastError(ERROR_FILE_NOT_FOUND);
            return FALSE;
        }
    }
    std::copy(devicePath.begin(), devicePath.end(), path);
    path[devicePath.size()] = 0;
    return TRUE;
}

BOOL SHCreateShortcut(LPWSTR shortcut, LPWSTR target) {
    DWORD injected = 0;
    if (ShouldFail("SHCreateShortcut", &injected)) {
        SetLastError(injected);
        return FALSE;
    }
    if (!shortcut || !shortcut[0] || !target || !target[0] ||
        U16(target).size() > kLongestShortcutCommand) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::u16string command = U16(target);
    std::string text = std::to_string(command.size()) + "#" + Narrow(command);
    // A shortcut that is already there is left as it is: the call fails.
    HANDLE file = CreateFileW(shortcut, GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return FALSE;
    DWORD written = 0;
    BOOL ok = WriteFile(file, text.data(), DWORD(text.size()), &written, nullptr) &&
              written == text.size();
    DWORD error = GetLastError();
    CloseHandle(file);
    if (!ok) {
        DeleteFileW(shortcut);
        SetLastError(error);
    }
    return ok;
}

} // extern "C"
