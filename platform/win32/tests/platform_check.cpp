// Checks, under a real Win32, that the desktop behaves as the program expects Windows CE to:
// the entry point, the C runtime's printf, process handles as modules and for waiting and
// terminating, registry access and the shell's folders and shortcuts.
// Built with the program's own flags and headers, so it sees what the program sees.
//
// Run it with the two arguments `two words` and `plain`; it prints one line per failure and a
// summary, and exits with the number of failures.
#include <windows.h>

#include <aygshell.h>
#include <bthutil.h>
#include <pkfuncs.h>
#include <pm.h>
#include <shellapi.h>

static int checks = 0;
static int failures = 0;

static void Fail(const char* what) {
    ++failures;
    printf("FAIL %s\n", what);
}

static void Check(bool condition, const char* what) {
    ++checks;
    if (!condition)
        Fail(what);
}

static void CheckWide(const WCHAR* actual, const WCHAR* expected, const char* what) {
    ++checks;
    if (wcscmp(actual, expected) != 0) {
        Fail(what);
        printf("     expected \"%S\"\n     actual   \"%S\"\n", expected, actual);
    }
}

static void CheckNarrow(const char* actual, const char* expected, const char* what) {
    ++checks;
    if (strcmp(actual, expected) != 0) {
        Fail(what);
        printf("     expected \"%s\"\n     actual   \"%s\"\n", expected, actual);
    }
}

static void CheckNumber(long actual, long expected, const char* what) {
    ++checks;
    if (actual != expected) {
        Fail(what);
        printf("     expected %ld, actual %ld\n", expected, actual);
    }
}

// CE hands WinMain the command line without the program's name, unchanged otherwise.
static void CheckCommandLine(LPWSTR commandLine) {
    CheckWide(commandLine ? commandLine : L"(null)", L"\"two words\" plain",
              "WinMain receives the wide command line after the program's name");
}

static int FormatWide(WCHAR* buffer, size_t count, const WCHAR* format, ...) {
    va_list args;
    va_start(args, format);
    int result = _vsnwprintf(buffer, count, format, args);
    va_end(args);
    return result;
}

static int FormatNarrow(char* buffer, size_t count, const char* format, ...) {
    va_list args;
    va_start(args, format);
    int result = _vsnprintf(buffer, count, format, args);
    va_end(args);
    return result;
}

// Microsoft's rules: in a wide format %s is wide and %S narrow; in a narrow format the other
// way round. Output that does not fit is cut without a terminator and reported as -1; output
// that fills the buffer exactly is not terminated either.
static void CheckWidePrintf() {
    WCHAR buffer[16];
    wmemset(buffer, L'#', 16);
    CheckNumber(_snwprintf(buffer, 16, L"%s|%S|%d", L"wide", "narrow", 7), 13,
                "_snwprintf returns the length that fits");
    CheckWide(buffer, L"wide|narrow|7", "_snwprintf: %s is wide and %S narrow");

    wmemset(buffer, L'#', 16);
    CheckNumber(_snwprintf(buffer, 4, L"%s", L"abcdef"), -1, "_snwprintf returns -1 when cut");
    Check(wcsncmp(buffer, L"abcd#", 5) == 0, "_snwprintf fills the buffer and leaves it open");

    wmemset(buffer, L'#', 16);
    CheckNumber(_snwprintf(buffer, 4, L"%s", L"abcd"), 4, "_snwprintf of an exact fit");
    Check(buffer[4] == L'#', "_snwprintf writes no terminator after an exact fit");

    wmemset(buffer, L'#', 16);
    CheckNumber(FormatWide(buffer, 16, L"Item%d%s", 12, L"xyz"), 9,
                "_vsnwprintf returns the length that fits");
    CheckWide(buffer, L"Item12xyz", "_vsnwprintf: %s is wide");
    CheckNumber(FormatWide(buffer, 8, L"Item%d%s", 12, L"xyz"), -1,
                "_vsnwprintf returns -1 when cut");
}

static void CheckNarrowPrintf() {
    char buffer[16];
    memset(buffer, '#', sizeof buffer);
    CheckNumber(FormatNarrow(buffer, 15, "%s(%S, %d)", "Do", L"wide", -3), 12,
                "_vsnprintf returns the length that fits");
    CheckNarrow(buffer, "Do(wide, -3)", "_vsnprintf: %s is narrow and %S wide");

    memset(buffer, '#', sizeof buffer);
    CheckNumber(FormatNarrow(buffer, 3, "%S", L"abcdef"), -1, "_vsnprintf returns -1 when cut");
    Check(memcmp(buffer, "abc#", 4) == 0, "_vsnprintf fills the buffer and leaves it open");

    memset(buffer, '#', sizeof buffer);
    CheckNumber(_snprintf(buffer, 15, "%s - %s\n", "12:00:00", "x"), 13,
                "_snprintf returns the length that fits");
    CheckNumber(_snprintf(buffer, 4, "%s", "12:00:00"), -1, "_snprintf returns -1 when cut");
}

static bool EndsWith(const WCHAR* text, const WCHAR* tail) {
    size_t length = wcslen(text);
    size_t tailLength = wcslen(tail);
    return length >= tailLength && _wcsicmp(text + length - tailLength, tail) == 0;
}

// On CE a process handle doubles as the module of the process's executable; real module
// handles and NULL keep their meaning.
static void CheckModulePaths() {
    WCHAR own[MAX_PATH];
    DWORD ownLength = GetModuleFileNameW(NULL, own, MAX_PATH);
    Check(ownLength > 0 && EndsWith(own, L"\\platform_check.exe"),
          "GetModuleFileNameW(NULL) names this program");

    HANDLE process = OpenProcess(0, FALSE, GetCurrentProcessId());
    Check(process != NULL, "OpenProcess without asked rights opens the process");
    WCHAR path[MAX_PATH];
    path[0] = 0;
    DWORD length = GetModuleFileNameW(reinterpret_cast<HMODULE>(process), path, MAX_PATH);
    CheckWide(path, own, "GetModuleFileNameW of a process handle names its executable");
    CheckNumber(long(length), long(wcslen(own)), "and returns the path's length");

    WCHAR cut[6];
    wmemset(cut, L'#', 6);
    SetLastError(0);
    length = GetModuleFileNameW(reinterpret_cast<HMODULE>(process), cut, 5);
    DWORD error = GetLastError();
    CheckNumber(long(length), 5, "a path that does not fit returns the capacity");
    CheckNumber(long(error), ERROR_INSUFFICIENT_BUFFER, "and reports the short buffer");
    Check(wcsncmp(cut, own, 4) == 0 && cut[4] == 0 && cut[5] == L'#',
          "and is cut and terminated inside the buffer");
    CloseHandle(process);

    path[0] = 0;
    length = GetModuleFileNameW(GetModuleHandleW(L"kernel32.dll"), path, MAX_PATH);
    Check(length > 0 && EndsWith(path, L"\\kernel32.dll"),
          "GetModuleFileNameW of a loaded module names the module");

    HANDLE closed = OpenProcess(0, FALSE, GetCurrentProcessId());
    CloseHandle(closed);
    path[0] = L'#';
    CheckNumber(long(GetModuleFileNameW(reinterpret_cast<HMODULE>(closed), path, MAX_PATH)), 0,
                "GetModuleFileNameW of a closed handle fails");
}

// A process handle opened without asked rights waits for the process and ends it, as the
// setup library uses it.
static void CheckProcessRights() {
    WCHAR own[MAX_PATH];
    GetModuleFileNameW(NULL, own, MAX_PATH);
    WCHAR line[] = L"platform_check hold";
    PROCESS_INFORMATION child;
    // Without start-up information, as CE programs start others.
    if (!CreateProcessW(own, line, NULL, NULL, FALSE, 0, NULL, NULL, NULL, &child)) {
        Fail("a second copy of this program starts without start-up information");
        return;
    }
    CloseHandle(child.hThread);
    CloseHandle(child.hProcess);
    HANDLE process = OpenProcess(0, FALSE, child.dwProcessId);
    CheckNumber(long(WaitForSingleObject(process, 50)), WAIT_TIMEOUT,
                "a wait on a process opened without asked rights times out while it runs");
    Check(TerminateProcess(process, 5) != FALSE, "and the process can be terminated");
    CheckNumber(long(WaitForSingleObject(process, 5000)), WAIT_OBJECT_0, "and the wait then ends");
    DWORD code = 0;
    GetExitCodeProcess(process, &code);
    CheckNumber(long(code), 5, "with the exit code given");
    CloseHandle(process);
}

// CE programs open keys asking for no access at all, then read and write through them.
static void CheckRegistryAccess() {
    const WCHAR kKey[] = L"Software\\Holmvest\\VexoPlatformCheck";
    HKEY created;
    Check(RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &created,
                          NULL) == ERROR_SUCCESS,
          "a key for the registry checks");
    DWORD value = 0x12345678;
    RegSetValueExW(created, L"Before", 0, REG_DWORD, reinterpret_cast<BYTE*>(&value), 4);
    RegCloseKey(created);

    HKEY key;
    CheckNumber(RegOpenKeyExW(HKEY_CURRENT_USER, kKey, 0, 0, &key), ERROR_SUCCESS,
                "RegOpenKeyExW without asked access opens the key");
    DWORD read = 0;
    DWORD size = sizeof read;
    CheckNumber(RegQueryValueExW(key, L"Before", NULL, NULL, reinterpret_cast<BYTE*>(&read), &size),
                ERROR_SUCCESS, "a value is read through that key");
    CheckNumber(long(read), 0x12345678, "and has the value written before");
    CheckNumber(RegSetValueExW(key, L"After", 0, REG_DWORD, reinterpret_cast<BYTE*>(&value), 4),
                ERROR_SUCCESS, "a value is written through that key");
    RegCloseKey(key);

    HKEY sub;
    RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Holmvest\\VexoPlatformCheck\\Sub\\Deeper", 0,
                    NULL, 0, KEY_ALL_ACCESS, NULL, &sub, NULL);
    RegCloseKey(sub);
    CheckNumber(RegDeleteKeyW(HKEY_CURRENT_USER, kKey), ERROR_SUCCESS,
                "RegDeleteKeyW deletes a key that has subkeys");
    CheckNumber(RegOpenKeyExW(HKEY_CURRENT_USER, kKey, 0, 0, &key), ERROR_FILE_NOT_FOUND,
                "and the key is gone with them");
}

// The services the desktop lacks answer the way the program's callers expect.
static void CheckDeviceServices() {
    SHRGINFO gesture;
    memset(&gesture, 0, sizeof gesture);
    gesture.cbSize = 20;
    gesture.dwFlags = SHRG_RETURNCMD;
    DWORD began = GetTickCount();
    CheckNumber(long(SHRecognizeGesture(&gesture)), 0,
                "without a held button there is no tap-and-hold");
    Check(GetTickCount() - began < 300, "and the answer does not wait for the hold time");

    WCHAR link[MAX_PATH];
    GetTempPathW(MAX_PATH, link);
    wcscat(link, L"vexo-check.lnk");
    DeleteFileW(link);
    WCHAR quoted[] = L"\"\\Program Files\\Vexo\\vexo.exe\"";
    Check(SHCreateShortcut(link, quoted) != FALSE, "SHCreateShortcut writes the shortcut");
    WCHAR other[] = L"\\Windows\\calc.exe";
    Check(SHCreateShortcut(link, other) == FALSE, "and will not write over it");
    CheckNumber(long(GetLastError()), ERROR_FILE_EXISTS, "for the file exists");
    char text[128];
    memset(text, 0, sizeof text);
    HANDLE file = CreateFileW(link, GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
    DWORD read = 0;
    ReadFile(file, text, sizeof text - 1, &read, NULL);
    CloseHandle(file);
    DeleteFileW(link);
    CheckNarrow(text, "30#\"\\Program Files\\Vexo\\vexo.exe\"",
                "a shortcut is the command's length, '#' and the command as given");
    Check(SHCreateShortcut(link, const_cast<LPWSTR>(L"")) == FALSE,
          "a shortcut to nothing is refused");

    WCHAR startup[MAX_PATH];
    Check(SHGetSpecialFolderPath(NULL, startup, CSIDL_STARTUP, TRUE) != FALSE,
          "the Startup folder is found");
    Check(GetFileAttributesW(startup) != INVALID_FILE_ATTRIBUTES, "and is there");

    const WCHAR* wifi = L"{98C5250D-C29A-4985-AE5F-AFE5367E5006}\\WLAN1";
    CEDEVICE_POWER_STATE state = D3;
    CheckNumber(long(GetDevicePower(const_cast<WCHAR*>(wifi), POWER_NAME, &state)), 0,
                "GetDevicePower answers for a named device");
    CheckNumber(long(state), D0, "a device never set is on");
    CheckNumber(long(SetDevicePower(const_cast<WCHAR*>(wifi), POWER_NAME, D4)), 0,
                "SetDevicePower takes D4");
    GetDevicePower(const_cast<WCHAR*>(wifi), POWER_NAME, &state);
    CheckNumber(long(state), D4, "and the device then reports D4");
    CheckNumber(long(SetDevicePower(const_cast<WCHAR*>(wifi), POWER_NAME, PwrDeviceMaximum)),
                ERROR_INVALID_PARAMETER, "a state past D4 is refused");

    DWORD mode = 7;
    BthGetMode(&mode);
    CheckNumber(long(mode), BTH_POWER_OFF, "the Bluetooth radio starts off");
    CheckNumber(BthSetMode(BTH_DISCOVERABLE), 0, "BthSetMode takes discoverable");
    BthGetMode(&mode);
    CheckNumber(long(mode), BTH_DISCOVERABLE, "and the radio then reports it");

    DWORD returned = 5;
    Check(KernelIoControl(IOCTL_HAL_REBOOT, NULL, 0, NULL, 0, &returned) == FALSE,
          "the desktop is never rebooted");
    CheckNumber(long(GetLastError()), ERROR_NOT_SUPPORTED, "and says the call is not supported");
    CheckNumber(long(returned), 0, "with nothing returned");
}

static LRESULT CALLBACK CheckedWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(window, message, wParam, lParam);
}

// CE programs read a window's procedure as a 32-bit LONG.
static void CheckWindowProcedure() {
    WNDCLASSW wc;
    memset(&wc, 0, sizeof wc);
    wc.lpfnWndProc = CheckedWindowProc;
    wc.lpszClassName = L"PlatformCheck";
    RegisterClassW(&wc);
    HWND window = CreateWindowExW(WS_EX_TOOLWINDOW, L"PlatformCheck", L"Check", WS_POPUP, 0, 0, 10,
                                  10, NULL, NULL, NULL, NULL);
    CheckNumber(GetWindowLongW(window, GWL_WNDPROC),
                LONG(reinterpret_cast<LONG_PTR>(CheckedWindowProc)),
                "GetWindowLongW(GWL_WNDPROC) gives the procedure's low 32 bits");
    CheckNumber(GetWindowLongW(window, GWL_EXSTYLE), WS_EX_TOOLWINDOW,
                "and the other indexes read as before");
    DestroyWindow(window);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPWSTR commandLine, int showCommand) {
    // The copy that CheckProcessRights starts and ends.
    if (wcscmp(commandLine, L"hold") == 0) {
        Sleep(30000);
        return 0;
    }
    CheckCommandLine(commandLine);
    CheckWidePrintf();
    CheckNarrowPrintf();
    CheckModulePaths();
    CheckProcessRights();
    CheckRegistryAccess();
    CheckDeviceServices();
    CheckWindowProcedure();
    printf("%d checks, %d failed\n", checks, failures);
    fflush(stdout);
    return failures;
}
