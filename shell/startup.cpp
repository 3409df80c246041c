// The entry point: one instance per device, start-up in a fixed order, the message loop and
// the teardown after it.
#include "button/paint.h"
#include "config/config.h"
#include "config/language.h"
#include "config/log.h"
#include "device/radios.h"
#include "shell/backbuffer.h"
#include "shell/dpi.h"
#include "shell/gestures.h"
#include "shell/mainwindow.h"
#include "tasks/closing.h"

#include <new>

static const WCHAR kInstanceMutexName[] = L"VexoClassVexoWindow";

static bool IsAnotherInstanceRunning() {
    HANDLE mutex = CreateMutexW(NULL, TRUE, kInstanceMutexName);
    // The mutex is never released: the end of the process frees it.
    return mutex == NULL || GetLastError() == ERROR_ALREADY_EXISTS;
}

static ATOM RegisterButtonClass() {
    WNDCLASSW wc;
    memset(&wc, 0, sizeof wc);
    wc.style = CS_PARENTDC;
    wc.lpfnWndProc = VexoWndProc;
    wc.hInstance = appInstance;
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
    wc.lpszClassName = kButtonClassName;
    return RegisterClassW(&wc);
}

static void CreateLog() {
    appLog = new (std::nothrow) Log(config.LogFile, int(config.LogLevel));
}

static void CreateButtonWindow(const RECT& taskbar) {
    int width = Sx(28);
    int margin = Sy(2);
    buttonWindow = CreateWindowExW(0, kButtonClassName, kButtonWindowTitle, WS_CHILD | WS_VISIBLE,
                                   taskbar.right - width, taskbar.top + margin, width,
                                   taskbar.bottom - taskbar.top - 2 * margin, taskbarWindow, NULL,
                                   appInstance, NULL);
    SetWindowPos(buttonWindow, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE);
}

// The program takes no options; a command line reaches the window, which ignores it.
static void PassCommandLine(LPWSTR commandLine) {
    if (!commandLine || !commandLine[0])
        return;
    COPYDATASTRUCT data;
    data.dwData = 0;
    data.cbData = DWORD((wcslen(commandLine) + 1) * sizeof(WCHAR));
    data.lpData = commandLine;
    SendMessageW(buttonWindow, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
}

static void Teardown() {
    if (config.TLHWKey != 0)
        UnregisterHotKey(buttonWindow, kHotKeyId);
    KillTimer(buttonWindow, WatchTimer);
    KillTimer(buttonWindow, PressTimer);
    KillTimer(buttonWindow, HoldTimer);
    DestroyLanguageTable();
    FreeStringRing();
    DestroyBackBuffer();
    FreeWiFiDeviceName();
    // A close worker blocked in a hung program writes the log when it wakes, so the log then
    // stays until the process ends, as the closing set's lock always does.
    if (!CloseWorkersRunning()) {
        delete appLog;
        appLog = NULL;
    }
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPWSTR commandLine, int showCommand) {
    appInstance = instance;
    if (IsAnotherInstanceRunning())
        return 0;
    if (!AllocateStringRing())
        return 0;
    config.Load();
    ReadScreenDpi();
    InitWiFiDeviceName();
    CreateLog();
    CreateLanguageTable();
    if (!RegisterButtonClass())
        return 0;
    InitializeCriticalSection(&closeLock);
    readConfigMessage = RegisterWindowMessageW(kReadConfigMessageName);
    desktopWindow = FindWindowW(L"DesktopExplorerWindow", L"Desktop");
    taskbarWindow = FindWindowW(L"HHTaskBar", NULL);

    RECT taskbar;
    memset(&taskbar, 0, sizeof taskbar);
    GetWindowRect(taskbarWindow, &taskbar);
    CreateButtonWindow(taskbar);
    // Without a taskbar there is nowhere to sit, and a windowless instance could never be
    // told to quit; give the device back instead.
    if (!buttonWindow) {
        Teardown();
        return 0;
    }
    PassCommandLine(commandLine);
    if (config.TLHWKey != 0) {
        UnregisterHotKey(buttonWindow, kHotKeyId);
        RegisterHotKey(buttonWindow, kHotKeyId, kHotKeyModifiers, config.TLHWKey);
    }
    CreateBackBuffer(Sx(28), taskbar.bottom - 2 * Sy(2) - taskbar.top);
    closeButtonType = GetCloseButtonType(GetForegroundWindow());
    SetTimer(buttonWindow, WatchTimer, 500, NULL);

    MSG msg;
    while (GetMessageW(&msg, NULL, 0, 0)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    Teardown();
    return int(msg.wParam);
}
