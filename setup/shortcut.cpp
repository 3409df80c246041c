// The program's path in the installation folder, and its shortcut in the Startup folder.
#include "setup/shortcut.h"

#include <shellapi.h>

namespace VexoSetup {

static const WCHAR kProgramFile[] = L"vexo.exe";
static const WCHAR kSeparator[] = L"\\";
static const WCHAR kShortcutFile[] = L"\\Vexo.lnk";
static const WCHAR kQuotedFormat[] = L"\"%s\"";

WCHAR* ProgramPath(LPCWSTR installDir) {
    if (!installDir)
        return NULL;
    size_t length = wcslen(installDir) + wcslen(kSeparator) + wcslen(kProgramFile);
    WCHAR* path = static_cast<WCHAR*>(malloc((length + 1) * sizeof(WCHAR)));
    if (!path)
        return NULL;
    wcscpy(path, installDir);
    wcscat(path, kSeparator);
    wcscat(path, kProgramFile);
    return path;
}

WCHAR* StartupShortcutPath() {
    WCHAR folder[MAX_PATH];
    // Without the folder there is no path: the buffer says nothing after a failed lookup.
    if (!SHGetSpecialFolderPath(NULL, folder, CSIDL_STARTUP, FALSE))
        return NULL;
    folder[MAX_PATH - 1] = 0;
    size_t length = wcslen(folder) + wcslen(kShortcutFile);
    WCHAR* path = static_cast<WCHAR*>(malloc((length + 1) * sizeof(WCHAR)));
    if (!path)
        return NULL;
    wcscpy(path, folder);
    wcscat(path, kShortcutFile);
    return path;
}

// The program path in double quotes, so that the shell reads a path with spaces as one.
static WCHAR* QuotedTarget(LPCWSTR programPath) {
    size_t capacity = wcslen(programPath) + 3;
    WCHAR* target = static_cast<WCHAR*>(malloc(capacity * sizeof(WCHAR)));
    if (target)
        _snwprintf(target, capacity, kQuotedFormat, programPath);
    return target;
}

BOOL CreateStartupShortcut(LPCWSTR installDir) {
    BOOL created = FALSE;
    WCHAR* programPath = ProgramPath(installDir);
    WCHAR* target = programPath ? QuotedTarget(programPath) : NULL;
    WCHAR* shortcut = target ? StartupShortcutPath() : NULL;
    if (shortcut) {
        // The platform will not write over a shortcut, and one left by an installation in
        // another folder would go on starting the program from there.
        DeleteFileW(shortcut);
        created = SHCreateShortcut(shortcut, target);
    }
    free(shortcut);
    free(target);
    free(programPath);
    return created;
}

bool DeleteStartupShortcut() {
    WCHAR* shortcut = StartupShortcutPath();
    if (!shortcut)
        return true;
    bool gone = DeleteFileW(shortcut) != FALSE;
    if (!gone) {
        DWORD error = GetLastError();
        gone = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    }
    free(shortcut);
    return gone;
}

} // namespace VexoSetup
