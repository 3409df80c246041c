// The task menu: the running tasks, the task operations, the device commands, the settings and
// exit, tracked below the taskbar; where the choosing tap lay decides what the choice means.
#include "menu/taskmenu.h"

#include "config/config.h"
#include "config/language.h"
#include "config/log.h"
#include "device/power.h"
#include "device/radios.h"
#include "resources/resource.h"
#include "shell/commandids.h"
#include "shell/dpi.h"
#include "shell/gestures.h"
#include "shell/mainwindow.h"
#include "tasks/tasklist.h"

#include <new>

bool CloseTapFlag = false;
CompactIconTable compactIconTable;
int MenuItemWidth = 0;

// Orientations of the display settings that the landscape items stand for.
static const DWORD kOrientationRight = 1; // 90 degrees
static const DWORD kOrientationLeft = 4;  // 270 degrees

// The entries made for the command items of the menu being shown; task items use the task
// table's own. At most the desktop, three task operations, seven device commands, the icon
// row, the settings and exit.
static const int kMaxCommandEntries = 16;
static TaskEntry* commandEntries[kMaxCommandEntries];
static int commandEntryCount = 0;

static BOOL AppendOwnerDrawn(HMENU menu, UINT command, UINT flags, const TaskEntry* entry) {
    return InsertMenuW(menu, 0xFFFFFFFF, MF_BYPOSITION | MF_OWNERDRAW | flags, command,
                       reinterpret_cast<LPCWSTR>(entry));
}

static BOOL InsertCommandEntry(HMENU menu, UINT command, LPCWSTR text, HWND window, HICON icon) {
    if (appLog)
        appLog->Write(5, "InsertMenuItem()");
    TaskEntry* entry = NULL;
    if (commandEntryCount < kMaxCommandEntries)
        entry = new (std::nothrow) TaskEntry(text, 0, window, icon);
    // An entry whose title could not be copied would be drawn from nothing; the item goes in
    // without data instead and draws as a plain line.
    if (entry && !entry->title) {
        delete entry;
        entry = NULL;
    }
    if (entry)
        commandEntries[commandEntryCount++] = entry;
    return AppendOwnerDrawn(menu, command, 0, entry);
}

BOOL InsertMenuItem(HMENU menu, UINT command, LPCWSTR text, HWND window) {
    return InsertCommandEntry(menu, command, text, window, NULL);
}

BOOL InsertMenuItem(HMENU menu, UINT command, LPCWSTR text, HICON icon) {
    return InsertCommandEntry(menu, command, text, NULL, icon);
}

BOOL InsertMenuSeparator(HMENU menu) {
    return AppendOwnerDrawn(menu, 0xFFFFFFFF, MF_GRAYED, NULL);
}

bool SetCompactIcon(int slot, UINT command, HICON icon) {
    if (slot < 0 || slot >= kCompactSlots)
        return false;
    compactIconTable.slots[slot].command = command;
    compactIconTable.slots[slot].icon = icon;
    return true;
}

static void DestroyCommandEntries() {
    for (int i = 0; i < commandEntryCount; ++i) {
        delete commandEntries[i];
        commandEntries[i] = NULL;
    }
    commandEntryCount = 0;
}

int CompactSlotAt(int x, int taskbarRight, int rowWidth, int slotWidth, int count) {
    // The row may reach past the screen's left edge, so its left end can be negative.
    int rowLeft = taskbarRight - rowWidth;
    if (x < rowLeft || slotWidth <= 0)
        return -1;
    int slot = (x - rowLeft) / slotWidth;
    return slot < count ? slot : -1;
}

bool IsInCloseZone(int x, int taskbarRight) {
    return taskbarRight - Sx(18) <= x && x <= taskbarRight;
}

static void AddTaskItems(HMENU menu) {
    for (int i = 0; i < taskTable.count; ++i)
        AppendOwnerDrawn(menu, CMD_TASK_FIRST + i, 0, taskTable.entries[i]);
}

static void AddTaskOperations(HMENU menu) {
    InsertMenuItem(menu, CMD_MINIMIZE, LoadUiString(IDS_MINIMIZE), (HICON)NULL);
    InsertMenuItem(menu, CMD_CLOSE_BACKGROUND, LoadUiString(IDS_CLOSE_BACKGROUND), (HICON)NULL);
    InsertMenuItem(menu, CMD_CLOSE_ALL, LoadUiString(IDS_CLOSE_ALL), (HICON)NULL);
    InsertMenuSeparator(menu);
}

// One device command: an item of its own, or in compact mode the next icon of the row.
static void AddDeviceCommand(HMENU menu, int* shown, UINT command, int label, HICON icon) {
    if (config.CompactMode)
        SetCompactIcon(*shown, command, icon);
    else
        InsertMenuItem(menu, command, LoadUiString(label), icon);
    ++*shown;
}

static void CheckLandscapeItem(HMENU menu, UINT command, bool checked) {
    if (!config.CompactMode)
        CheckMenuItem(menu, command, MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
}

// Returns how many device commands are shown.
static int AddDeviceCommands(HMENU menu) {
    int shown = 0;
    if (config.ShowDisplayOff)
        AddDeviceCommand(menu, &shown, CMD_DISPLAY_OFF, IDS_DISPLAY_OFF, icons[ICON_DISPLAY_OFF]);
    if (config.ShowSoftReset)
        AddDeviceCommand(menu, &shown, CMD_SOFT_RESET, IDS_SOFT_RESET, icons[ICON_SOFT_RESET]);
    DWORD orientation = GetScreenOrientation();
    if (config.ShowLandscapeLeft) {
        AddDeviceCommand(menu, &shown, CMD_LANDSCAPE_LEFT, IDS_LANDSCAPE_LEFT,
                         icons[ICON_LANDSCAPE_LEFT]);
        CheckLandscapeItem(menu, CMD_LANDSCAPE_LEFT, orientation == kOrientationLeft);
    }
    if (config.ShowLandscapeRight) {
        AddDeviceCommand(menu, &shown, CMD_LANDSCAPE_RIGHT, IDS_LANDSCAPE_RIGHT,
                         icons[ICON_LANDSCAPE_RIGHT]);
        CheckLandscapeItem(menu, CMD_LANDSCAPE_RIGHT, orientation == kOrientationRight);
    }
    // Each radio item offers the switch to the other state, with that state's label and icon.
    if (WiFiDeviceName && config.ShowWiFi) {
        bool on = IsWiFiOn();
        AddDeviceCommand(menu, &shown, CMD_WIFI, on ? IDS_WIFI_OFF : IDS_WIFI_ON,
                         icons[on ? ICON_WIFI_OFF : ICON_WIFI_ON]);
    }
    if (config.ShowBth) {
        bool on = IsBluetoothOn();
        AddDeviceCommand(menu, &shown, CMD_BLUETOOTH, on ? IDS_BLUETOOTH_OFF : IDS_BLUETOOTH_ON,
                         icons[on ? ICON_BLUETOOTH_OFF : ICON_BLUETOOTH_ON]);
    }
    if (config.ShowPowerOff)
        AddDeviceCommand(menu, &shown, CMD_POWER_OFF, IDS_POWER_OFF, icons[ICON_POWER_OFF]);
    return shown;
}

static void BuildMenu(HMENU menu) {
    if (config.ShowDesktop)
        InsertMenuItem(menu, CMD_DESKTOP, LoadUiString(IDS_DESKTOP), desktopWindow);
    AddTaskItems(menu);
    InsertMenuSeparator(menu);
    if (config.ShowTaskOperations)
        AddTaskOperations(menu);
    int shown = AddDeviceCommands(menu);
    if (shown > 0) {
        if (config.CompactMode) {
            InsertMenuItem(menu, CMD_ICON_ROW, L"", (HICON)NULL);
            compactIconTable.count = shown;
        }
        InsertMenuSeparator(menu);
    }
    InsertMenuItem(menu, CMD_SETTINGS, LoadUiString(IDS_SETTINGS), icons[ICON_SETTINGS]);
    InsertMenuItem(menu, CMD_EXIT, LoadUiString(IDS_EXIT), (HICON)NULL);
}

// Nothing is on its way to the button: it must not wait for a command to clear its state.
static void ForgetOpenMenu() {
    menuOpen = false;
    dotPressed = false;
}

static POINT PointOf(DWORD position) {
    POINT p;
    p.x = (short)LOWORD(position);
    p.y = (short)HIWORD(position);
    return p;
}

// A choice made without a new tap (with the keys, say) has the opening tap's position.
static void OnMenuChoice(UINT command, DWORD openedAt) {
    DWORD chosenAt = GetMessagePos();
    RECT taskbar;
    memset(&taskbar, 0, sizeof taskbar);
    GetWindowRect(taskbarWindow, &taskbar);
    bool unmoved = chosenAt == openedAt;
    int x = PointOf(chosenAt).x;
    if (command == CMD_ICON_ROW) {
        int slot = unmoved ? -1
                           : CompactSlotAt(x, taskbar.right, MenuItemWidth, Sx(20),
                                           compactIconTable.count);
        if (slot < 0) {
            ForgetOpenMenu();
            return;
        }
        PostMessageW(buttonWindow, WM_COMMAND, compactIconTable.slots[slot].command, 0);
        return;
    }
    CloseTapFlag = !unmoved && IsInCloseZone(x, taskbar.right);
    PostMessageW(buttonWindow, WM_COMMAND, command, 0);
}

void ShowTaskMenu() {
    if (appLog)
        appLog->Write(2, "ShowTaskMenu()");
    RECT taskbar;
    memset(&taskbar, 0, sizeof taskbar);
    GetWindowRect(taskbarWindow, &taskbar);
    RefreshTaskList();
    HMENU menu = CreatePopupMenu();
    if (!menu) {
        ForgetOpenMenu();
        return;
    }
    BuildMenu(menu);
    DWORD openedAt = GetMessagePos();
    UINT command = UINT(TrackPopupMenuEx(menu, TPM_RETURNCMD | TPM_RIGHTALIGN, taskbar.right,
                                         taskbar.bottom, buttonWindow, NULL));
    if (command == 0) {
        ForgetOpenMenu();
        menuDismissed = true;
    } else {
        OnMenuChoice(command, openedAt);
    }
    DestroyMenu(menu);
    DestroyCommandEntries();
}
