// Actions, the hardware hot key and the menu commands: what the program does with a trigger of
// the button, a press of the hot key and a command chosen in the task menu.
#include "shell/commands.h"

#include "button/paint.h"
#include "config/config.h"
#include "config/log.h"
#include "device/power.h"
#include "device/radios.h"
#include "menu/taskmenu.h"
#include "shell/commandids.h"
#include "shell/gestures.h"
#include "shell/mainwindow.h"
#include "shell/switcher.h"
#include "tasks/closing.h"
#include "tasks/tasklist.h"

bool skipKeyUp = false;

// Screen orientations as the display settings number them.
static const DWORD kUpright = 0;
static const DWORD kQuarterTurn = 1;      // 90 degrees: landscape right
static const DWORD kThreeQuarterTurn = 4; // 270 degrees: landscape left

// The executable of window's process; false when the process cannot be opened or its path
// read whole (a cut path must not match another program's exception).
static bool GetProgramPath(HWND window, WCHAR* path) {
    path[0] = 0;
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    HANDLE process = OpenProcess(0, FALSE, processId);
    if (!process)
        return false;
    DWORD length =
        GetModuleFileNameW(reinterpret_cast<HMODULE>(process), path, DWORD(kMaxPathChars));
    CloseHandle(process);
    if (length == 0 || length >= DWORD(kMaxPathChars)) {
        path[0] = 0;
        return false;
    }
    return true;
}

static const AppException* FindException(HWND window) {
    // Most devices list no exception: every tap is spared opening the program's process.
    if (config.ExceptionsCount == 0)
        return NULL;
    WCHAR path[kMaxPathChars];
    if (!GetProgramPath(window, path))
        return NULL;
    for (int i = 0; i < config.ExceptionsCount; ++i) {
        const AppException* e = config.Exceptions[i];
        if (e && e->ExeName && _wcsicmp(e->ExeName, path) == 0)
            return e;
    }
    return NULL;
}

void DoAction(int trigger, HWND window) {
    if (appLog)
        appLog->Write(3, "DoAction(%d, %d)", trigger, int(INT_PTR(window)));
    DWORD tap = config.TapAction;
    DWORD gesture = config.GestureAction;
    const AppException* exception = FindException(window);
    if (exception) {
        tap = exception->TapAction;
        gesture = exception->GestureAction;
    }
    DWORD action;
    switch (trigger) {
    case TRIGGER_TAP:
        action = tap;
        break;
    case TRIGGER_TAP_AND_HOLD:
        action = config.TapAndHoldAction;
        break;
    case TRIGGER_GESTURE:
        action = gesture;
        break;
    default:
        return;
    }
    int type = GetCloseButtonType(window);
    switch (action) {
    case ACTION_CLOSE:
        OnClose(window, false);
        break;
    case ACTION_MINIMIZE:
        // A window with an OK button is a dialog: minimising it would hide it half done.
        if (type == CloseButtonOk)
            OnClose(window, false);
        else
            OnMinimize(window);
        break;
    case ACTION_TASK_MENU:
        OnShowTaskMenu();
        break;
    }
}

void OnShowTaskMenu() {
    if (appLog)
        appLog->Write(2, "OnShowTaskMenu()");
    menuOpen = true;
    ShowTaskMenu();
}

// ---- the hot key ----------------------------------------------------------------------------

static LRESULT OnHotKeyWithMenuOpen(bool released) {
    // The release of the press that opened the menu, or of a long press, does nothing.
    if (released)
        return 0;
    ReleaseCapture();
    SendMessageW(buttonWindow, WM_CANCELMODE, 0, 0);
    dotPressed = false;
    menuOpen = false;
    skipKeyUp = true;
    return 0;
}

// A short press opens the switcher, a long one the task menu; the switcher, once open, takes
// the key over.
static LRESULT OnAltTabHotKey(bool released) {
    if (!released) {
        if (!switcherWnd)
            SetTimer(buttonWindow, HotKeyHoldTimer, config.LongPressTimeout, NULL);
        return 0;
    }
    if (skipKeyUp) {
        skipKeyUp = false;
        return 0;
    }
    if (switcherWnd)
        return 0;
    KillTimer(buttonWindow, HotKeyHoldTimer);
    RefreshTaskList();
    if (taskTable.count > 1)
        OpenSwitcher();
    return 0;
}

LRESULT OnHotKey(HWND window, int id, LPARAM lParam) {
    if (appLog)
        appLog->Write(3, "OnHotKey(%d, %d, %d)", int(INT_PTR(window)), id, int(lParam));
    bool released = (LOWORD(lParam) & MOD_KEYUP) != 0;
    if (menuOpen)
        return OnHotKeyWithMenuOpen(released);
    if (config.AltTab)
        return OnAltTabHotKey(released);
    if (!released)
        OnShowTaskMenu();
    return 0;
}

// ---- the menu commands ----------------------------------------------------------------------

static void OnExit() {
    // The loop ends and teardown runs with the window still there.
    PostQuitMessage(0);
}

static void OnMinimizeForeground() {
    OnMinimize(GetForegroundWindow());
}

static void OnToggleWiFi() {
    if (WiFiDeviceName)
        SetWiFiPower(!IsWiFiOn());
}

static void OnToggleBluetooth() {
    SetBluetoothPower(!IsBluetoothOn());
}

struct MenuCommand {
    WORD id;
    void (*run)();
};

static const MenuCommand kMenuCommands[] = {
    {CMD_SETTINGS, OnSettings},
    {CMD_CLOSE_ALL, OnCloseAll},
    {CMD_EXIT, OnExit},
    {CMD_DISPLAY_OFF, DisplayOff},
    {CMD_MINIMIZE, OnMinimizeForeground},
    {CMD_CLOSE_BACKGROUND, OnCloseAllButCurrent},
    {CMD_SOFT_RESET, OnSoftReset},
    {CMD_LANDSCAPE_LEFT, OnRotateScreenLeft},
    {CMD_POWER_OFF, PowerOff},
    {CMD_LANDSCAPE_RIGHT, OnRotateScreenRight},
    {CMD_WIFI, OnToggleWiFi},
    {CMD_BLUETOOTH, OnToggleBluetooth},
    {CMD_DESKTOP, OnShowDesktop},
};

// A task item chosen in the menu: its close mark closes the task, the rest brings it to the
// front. An entry refreshed away since the menu was built does nothing.
static void OnTaskCommand(int index) {
    if (index >= taskTable.count || !taskTable.entries[index])
        return;
    HWND window = taskTable.entries[index]->window;
    if (CloseTapFlag)
        OnClose(window, true);
    else
        SetForegroundWindow(window);
}

void OnCommand(WORD command) {
    if (appLog)
        appLog->Write(2, "OnCommand()");
    if (command >= CMD_TASK_FIRST && command <= CMD_TASK_LAST) {
        OnTaskCommand(command - CMD_TASK_FIRST);
    } else {
        for (size_t i = 0; i < sizeof kMenuCommands / sizeof kMenuCommands[0]; ++i) {
            if (kMenuCommands[i].id == command) {
                kMenuCommands[i].run();
                break;
            }
        }
    }
    dotPressed = false;
    menuOpen = false;
}

// ---- the small operations of the commands ---------------------------------------------------

void OnMinimize(HWND window) {
    if (appLog)
        appLog->Write(2, "OnMinimize(%d)", int(INT_PTR(window)));
    if (IsToolWindow(window))
        window = GetNextTaskWindow(window);
    if (window && window != desktopWindow)
        ShowWindow(window, SW_MINIMIZE);
}

void OnShowDesktop() {
    if (appLog)
        appLog->Write(2, "OnShowDesktop()");
    // Each pass minimises the program in front. A window that stays in front, a front that
    // OnMinimize skips or no front at all ends the loop, and so does a table's worth of passes,
    // so that no program can keep the button busy.
    HWND previous = NULL;
    for (int pass = 0; pass < kMaxTasks; ++pass) {
        HWND front = GetForegroundWindow();
        if (!front || front == desktopWindow || front == previous)
            return;
        OnMinimize(front);
        previous = front;
    }
}

void OnRotateScreenLeft() {
    if (appLog)
        appLog->Write(2, "OnRotateScreenLeft()");
    SetScreenOrientation(GetScreenOrientation() == kThreeQuarterTurn ? kUpright
                                                                     : kThreeQuarterTurn);
}

void OnRotateScreenRight() {
    if (appLog)
        appLog->Write(2, "OnRotateScreenRight()");
    SetScreenOrientation(GetScreenOrientation() == kQuarterTurn ? kUpright : kQuarterTurn);
}

// Starts the settings program from the installation folder and lets it run on its own; it
// tells the button when the settings change.
void OnSettings() {
    if (appLog)
        appLog->Write(2, "OnSettings()");
    // Without a known installation folder there is no settings program to start.
    if (!config.InstallDir || !config.InstallDir[0])
        return;
    WCHAR path[MAX_PATH];
    int length = _snwprintf(path, MAX_PATH, L"%s\\VexoCfg.exe", config.InstallDir);
    // A path cut to fit could name another program.
    if (length < 0 || length >= MAX_PATH)
        return;
    WCHAR noArguments[1] = {0};
    PROCESS_INFORMATION started;
    if (!CreateProcessW(path, noArguments, NULL, NULL, FALSE, 0, NULL, NULL, NULL, &started))
        return;
    CloseHandle(started.hProcess);
    CloseHandle(started.hThread);
}
