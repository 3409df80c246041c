// Stand-ins for the services of Windows CE that desktop Windows lacks: tap-and-hold
// recognition, the special-folder lookup, shortcuts in the device's text form, the power
// manager, the Bluetooth utility calls and the kernel's I/O control.
#include <aygshell.h>
#include <bthutil.h>
#include <pkfuncs.h>
#include <pm.h>
#include <shellapi.h>

#include <string.h>

// How long the stylus must stay down for a tap-and-hold, after the program's own 100 ms.
static const DWORD kHoldMilliseconds = 400;

DWORD SHRecognizeGesture(SHRGINFO* info) {
    if (!info)
        return 0;
    POINT start = info->ptDown;
    ClientToScreen(info->hwndClient, &start);
    int slackX = GetSystemMetrics(SM_CXDRAG);
    int slackY = GetSystemMetrics(SM_CYDRAG);
    DWORD began = GetTickCount();
    while (GetTickCount() - began < kHoldMilliseconds) {
        if (!(GetAsyncKeyState(VK_LBUTTON) & 0x8000))
            return 0;
        POINT now;
        GetCursorPos(&now);
        if (abs(now.x - start.x) > slackX || abs(now.y - start.y) > slackY)
            return 0;
        Sleep(10);
    }
    return GN_CONTEXTMENU;
}

// The longest command a shortcut holds, as the platform documents it.
static const size_t kLongestShortcutCommand = 256;

BOOL SHCreateShortcut(LPWSTR shortcut, LPWSTR target) {
    if (!shortcut || !target || !target[0] || wcslen(target) > kLongestShortcutCommand) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    // The device's shortcut is one line: the length of the command, '#', the command as given.
    char command[kLongestShortcutCommand * 4 + 1];
    int length = WideCharToMultiByte(CP_ACP, 0, target, -1, command, sizeof command, NULL, NULL);
    if (length <= 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    char text[sizeof command + 16];
    int textLength = _snprintf(text, sizeof text - 1, "%d#%s", int(wcslen(target)), command);
    text[sizeof text - 1] = 0;
    // An existing shortcut is left alone and the call fails, as on the device.
    HANDLE file =
        CreateFileW(shortcut, GENERIC_WRITE, 0, NULL, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return FALSE;
    DWORD written = 0;
    BOOL ok = WriteFile(file, text, DWORD(textLength), &written, NULL) &&
              written == DWORD(textLength);
    DWORD error = GetLastError();
    CloseHandle(file);
    if (!ok) {
        DeleteFileW(shortcut);
        SetLastError(error);
    }
    return ok;
}

extern "C" __declspec(dllimport) BOOL WINAPI SHGetSpecialFolderPathW(HWND, LPWSTR, int, BOOL);

BOOL WINAPI CeSHGetSpecialFolderPath(HWND owner, LPWSTR path, int folder, BOOL create) {
    if (!path) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (SHGetSpecialFolderPathW(owner, path, folder, create))
        return TRUE;
    path[0] = 0;
    return FALSE;
}

struct PowerEntry {
    WCHAR name[64];
    CEDEVICE_POWER_STATE state;
};
static PowerEntry powerTable[16];
static int powerCount = 0;

static PowerEntry* FindPowerEntry(const WCHAR* name, bool create) {
    for (int i = 0; i < powerCount; ++i)
        if (_wcsicmp(powerTable[i].name, name) == 0)
            return &powerTable[i];
    if (!create || powerCount == 16 || wcslen(name) >= 64)
        return NULL;
    PowerEntry* entry = &powerTable[powerCount++];
    wcscpy(entry->name, name);
    entry->state = D0;
    return entry;
}

DWORD GetDevicePower(PVOID device, DWORD flags, PCEDEVICE_POWER_STATE state) {
    if (!device || !state || !(flags & POWER_NAME))
        return ERROR_INVALID_PARAMETER;
    PowerEntry* entry = FindPowerEntry(static_cast<const WCHAR*>(device), false);
    *state = entry ? entry->state : D0;
    return ERROR_SUCCESS;
}

DWORD SetDevicePower(PVOID device, DWORD flags, CEDEVICE_POWER_STATE state) {
    if (!device || !(flags & POWER_NAME) || state < D0 || state > D4)
        return ERROR_INVALID_PARAMETER;
    PowerEntry* entry = FindPowerEntry(static_cast<const WCHAR*>(device), true);
    if (!entry)
        return ERROR_NOT_ENOUGH_MEMORY;
    entry->state = state;
    return ERROR_SUCCESS;
}

static DWORD bluetoothMode = BTH_POWER_OFF;

int BthGetMode(DWORD* mode) {
    if (!mode)
        return ERROR_INVALID_PARAMETER;
    *mode = bluetoothMode;
    return ERROR_SUCCESS;
}

int BthSetMode(DWORD mode) {
    if (mode > BTH_DISCOVERABLE)
        return ERROR_INVALID_PARAMETER;
    bluetoothMode = mode;
    return ERROR_SUCCESS;
}

BOOL KernelIoControl(DWORD code, LPVOID in, DWORD inSize, LPVOID out, DWORD outSize,
                     LPDWORD returned) {
    if (returned)
        *returned = 0;
    SetLastError(ERROR_NOT_SUPPORTED);
    return FALSE;
}
