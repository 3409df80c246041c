// The button window: the window procedure and the handlers of its life cycle.
#include "shell/mainwindow.h"

#include "button/paint.h"
#include "button/theme.h"
#include "config/config.h"
#include "config/log.h"
#include "menu/menuitems.h"
#include "resources/resource.h"
#include "shell/commands.h"
#include "shell/dpi.h"
#include "shell/gestures.h"

HINSTANCE appInstance = NULL;
HWND buttonWindow = NULL;
HWND taskbarWindow = NULL;
HWND desktopWindow = NULL;
UINT readConfigMessage = 0;
HICON icons[ICON_COUNT];
COLORREF lastHighlightColor = 0;

const WCHAR kButtonClassName[] = L"VexoClass";
const WCHAR kButtonWindowTitle[] = L"VexoWindow";
const WCHAR kReadConfigMessageName[] = L"Holmvest::Vexo::Messages::ReadConfig";

static const WORD kIconResources[ICON_COUNT] = {
    IDI_CLOSE,          IDI_DISPLAY_OFF, IDI_SOFT_RESET, IDI_POWER_OFF,
    IDI_LANDSCAPE_LEFT, IDI_LANDSCAPE_RIGHT, IDI_SETTINGS, IDI_WIFI_ON,
    IDI_WIFI_OFF,       IDI_BLUETOOTH_ON, IDI_BLUETOOTH_OFF,
};

LRESULT CALLBACK VexoWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    // The registered id is not a constant, so it cannot be a case label.
    if (message == readConfigMessage && readConfigMessage != 0) {
        OnReadConfig();
        return 0;
    }
    int x = (short)LOWORD(lParam);
    int y = (short)HIWORD(lParam);
    switch (message) {
    case WM_CREATE:
        OnCreate();
        break;
    case WM_DESTROY:
        OnDestroy();
        break;
    case WM_PAINT:
        OnPaint(window);
        return 0;
    case WM_CLOSE:
        PostQuitMessage(0);
        break;
    case WM_ERASEBKGND:
        return 0;
    case WM_DRAWITEM:
        OnDrawItem(wParam, lParam);
        return 1;
    case WM_MEASUREITEM:
        OnMeasureItem(wParam, lParam);
        return 1;
    case WM_COMMAND:
        OnCommand(LOWORD(wParam));
        return 0;
    case WM_TIMER:
        OnTimer(wParam);
        return 0;
    case WM_MOUSEMOVE:
        return OnMouseMove(window, x, y, LOWORD(wParam));
    case WM_LBUTTONDOWN:
        return OnLButtonDown(window, x, y, LOWORD(wParam));
    case WM_LBUTTONUP:
        return OnLButtonUp(window, x, y, LOWORD(wParam));
    case WM_HOTKEY:
        return OnHotKey(buttonWindow, int(wParam), lParam);
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void OnCreate() {
    if (appLog)
        appLog->Write(2, "OnCreate()");
    int cx = Sx(16);
    int cy = Sy(16);
    for (int i = 0; i < ICON_COUNT; ++i)
        icons[i] = static_cast<HICON>(
            LoadImageW(appInstance, MAKEINTRESOURCE(kIconResources[i]), IMAGE_ICON, cx, cy, 0));
    LoadFonts();
    LoadThemeColors();
    lastHighlightColor = GetSysColor(COLOR_HIGHLIGHT | SYS_COLOR_INDEX_FLAG);
}

void OnDestroy() {
    if (appLog)
        appLog->Write(2, "OnDestroy()");
    for (int i = 0; i < ICON_COUNT; ++i) {
        if (icons[i])
            DestroyIcon(icons[i]);
        icons[i] = NULL;
    }
    DeleteObject(menuFont);
    DeleteObject(glyphFont);
    menuFont = NULL;
    glyphFont = NULL;
    // Without its window the program cannot be reached any more, not even by the installer;
    // when the taskbar takes the button with it, the program ends instead of lingering.
    PostQuitMessage(0);
}

void ReRegisterHotKey(DWORD oldKey, DWORD newKey) {
    if (oldKey == newKey)
        return;
    if (oldKey != 0)
        UnregisterHotKey(buttonWindow, kHotKeyId);
    if (newKey != 0)
        RegisterHotKey(buttonWindow, kHotKeyId, kHotKeyModifiers, newKey);
}

void OnReadConfig() {
    if (appLog)
        appLog->Write(2, "OnReadConfig()");
    DWORD oldKey = config.TLHWKey;
    config.Load();
    ReRegisterHotKey(oldKey, config.TLHWKey);
}
