// The button window: its class, its window procedure, its life-cycle handlers and the handles
// the whole program shares.
#ifndef VEXO_SHELL_MAINWINDOW_H
#define VEXO_SHELL_MAINWINDOW_H

#include <windows.h>

extern HINSTANCE appInstance;
extern HWND buttonWindow;
extern HWND taskbarWindow;
extern HWND desktopWindow;
extern UINT readConfigMessage;

// The single hot-key identifier, used by the button window and by the switcher.
const int kHotKeyId = 0;
const UINT kHotKeyModifiers = MOD_WIN | MOD_KEYUP;

extern const WCHAR kButtonClassName[];
extern const WCHAR kButtonWindowTitle[];
extern const WCHAR kReadConfigMessageName[];

// Icons loaded with the window, in the order they are loaded.
enum IconIndex {
    ICON_CLOSE,
    ICON_DISPLAY_OFF,
    ICON_SOFT_RESET,
    ICON_POWER_OFF,
    ICON_LANDSCAPE_LEFT,
    ICON_LANDSCAPE_RIGHT,
    ICON_SETTINGS,
    ICON_WIFI_ON,
    ICON_WIFI_OFF,
    ICON_BLUETOOTH_ON,
    ICON_BLUETOOTH_OFF,
    ICON_COUNT
};
extern HICON icons[ICON_COUNT];
extern COLORREF lastHighlightColor;

LRESULT CALLBACK VexoWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

void OnCreate();
void OnDestroy();
void OnReadConfig();

// Registers or drops the hot key when the setting changes from old to new.
void ReRegisterHotKey(DWORD oldKey, DWORD newKey);

#endif
