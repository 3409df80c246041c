// The four hooks the CE installer calls while it installs or removes vexo, and the library's
// entry point. Every string is built on the heap and freed before the hook returns; nothing
// is kept between calls.
#include <ce_setup.h>

#include "setup/instance.h"
#include "setup/shortcut.h"

static const WCHAR kSettingsKey[] = L"Software\\Holmvest\\Vexo";
static const WCHAR kInstallDirValue[] = L"InstallDir";

// vexo finds its language files and the settings program through this value.
static bool RecordInstallDir(LPCWSTR installDir) {
    HKEY key;
    DWORD disposition;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key,
                        &disposition) != ERROR_SUCCESS)
        return false;
    DWORD size = DWORD((wcslen(installDir) + 1) * sizeof(WCHAR));
    LONG status = RegSetValueExW(key, kInstallDirValue, 0, REG_SZ,
                                 reinterpret_cast<const BYTE*>(installDir), size);
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

static void StartProgram(LPCWSTR installDir) {
    WCHAR* path = VexoSetup::ProgramPath(installDir);
    if (!path)
        return;
    PROCESS_INFORMATION started;
    memset(&started, 0, sizeof started);
    if (CreateProcessW(path, NULL, NULL, NULL, FALSE, 0, NULL, NULL, NULL, &started)) {
        // The program runs on its own; nothing here waits for it.
        CloseHandle(started.hThread);
        CloseHandle(started.hProcess);
    }
    free(path);
}

extern "C" BOOL WINAPI DllMain(HANDLE module, DWORD reason, LPVOID reserved) {
    return TRUE;
}

codeINSTALL_INIT Install_Init(HWND parent, BOOL firstCall, BOOL previouslyInstalled,
                              LPCWSTR installDir) {
    VexoSetup::CloseRunningInstance();
    return codeINSTALL_INIT_CONTINUE;
}

codeINSTALL_EXIT Install_Exit(HWND parent, LPCWSTR installDir, WORD failedDirs, WORD failedFiles,
                              WORD failedRegKeys, WORD failedRegValues, WORD failedShortcuts) {
    // Without a folder there is nothing to record or start: the installation is taken back.
    if (!installDir || !RecordInstallDir(installDir))
        return codeINSTALL_EXIT_UNINSTALL;
    VexoSetup::CreateStartupShortcut(installDir);
    StartProgram(installDir);
    return codeINSTALL_EXIT_DONE;
}

codeUNINSTALL_INIT Uninstall_Init(HWND parent, LPCWSTR installDir) {
    // The shortcut goes first: when it cannot be deleted the removal is cancelled, and the
    // program should then still have its settings and still be running.
    if (!VexoSetup::DeleteStartupShortcut())
        return codeUNINSTALL_INIT_CANCEL;
    RegDeleteKeyW(HKEY_CURRENT_USER, kSettingsKey);
    VexoSetup::CloseRunningInstance();
    return codeUNINSTALL_INIT_CONTINUE;
}

codeUNINSTALL_EXIT Uninstall_Exit(HWND parent) {
    return codeUNINSTALL_EXIT_DONE;
}
