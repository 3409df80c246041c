// The Alt-Tab switcher window: while it is open it owns the hot key (presses only) and the
// stylus capture; each press moves the selection on, and the pause after the last press closes
// the window, gives the key back to the button and brings the selected program to the front.
#include "shell/switcher.h"

#include "button/theme.h"
#include "config/config.h"
#include "config/log.h"
#include "menu/menuitems.h"
#include "shell/dpi.h"
#include "shell/mainwindow.h"
#include "tasks/tasklist.h"

HWND switcherWnd = NULL;
int switcherIndex = 0;

static const WCHAR kSwitcherClassName[] = L"VexoTaskWndClass";
static const WCHAR kSwitcherTitle[] = L"VexoTaskWnd";
static const DWORD kSwitcherStyle = WS_POPUP | WS_VISIBLE | WS_BORDER;
static const DWORD kSwitcherExStyle = WS_EX_DLGMODALFRAME;
static const int kRowHeight = 20;

DWORD SwitcherTimeout(DWORD setting) {
    if (setting < kSwitcherTimeoutMin)
        return kSwitcherTimeoutMin;
    return setting > kSwitcherTimeoutMax ? kSwitcherTimeoutMax : setting;
}

int FirstSwitcherRow(int selected, int count, int rows) {
    if (count <= 0)
        return 0;
    int first = (selected - rows / 2) % count;
    return first < 0 ? first + count : first;
}

static int ShownRows(int count) {
    return count < kSwitcherRows ? count : kSwitcherRows;
}

// ---- creation and the close -----------------------------------------------------------------

static void OnSwitcherCreate(HWND window) {
    if (appLog)
        appLog->Write(2, "OnSwitcherCreate()");
    UnregisterHotKey(buttonWindow, kHotKeyId);
    UnregisterHotKey(window, kHotKeyId);
    // Without MOD_KEYUP: from now on only presses arrive, and they arrive here.
    if (config.TLHWKey != 0)
        RegisterHotKey(window, kHotKeyId, MOD_WIN, config.TLHWKey);
    SetTimer(window, SwitcherTimer, SwitcherTimeout(config.AltTabTimeout), NULL);
    // Every tap now comes here and is left to default processing, so taps do nothing.
    SetCapture(window);
    switcherIndex = 1;
}

static void OnSwitcherDestroy(HWND window) {
    if (appLog)
        appLog->Write(2, "OnSwitcherDestroy(%d)", switcherIndex);
    if (GetCapture() == window)
        ReleaseCapture();
    UnregisterHotKey(window, kHotKeyId);
    switcherWnd = NULL;
    // A reload while the switcher was open may have turned the key off.
    if (config.TLHWKey != 0)
        RegisterHotKey(buttonWindow, kHotKeyId, kHotKeyModifiers, config.TLHWKey);
    if (switcherIndex < 0 || switcherIndex >= taskTable.count)
        return;
    const TaskEntry* selected = taskTable.entries[switcherIndex];
    // The program may have closed while its row was shown.
    if (selected && IsWindow(selected->window))
        SetForegroundWindow(selected->window);
}

static void OnSwitcherTimer(HWND window, WPARAM timer) {
    if (timer != SwitcherTimer)
        return;
    KillTimer(window, SwitcherTimer);
    DestroyWindow(window);
}

static void OnSwitcherHotKey(HWND window, LPARAM lParam) {
    if (appLog)
        appLog->Write(3, "OnSwitcherHotKey(%d, %d)", switcherIndex, int(lParam));
    // Only a press moves the selection on.
    if (LOWORD(lParam) & MOD_KEYUP)
        return;
    KillTimer(window, SwitcherTimer);
    ++switcherIndex;
    if (switcherIndex >= taskTable.count)
        switcherIndex = 0;
    InvalidateRect(window, NULL, FALSE);
    UpdateWindow(window);
    SetTimer(window, SwitcherTimer, SwitcherTimeout(config.AltTabTimeout), NULL);
}

// ---- painting -------------------------------------------------------------------------------

struct RowPaint {
    HDC dc;
    RECT client;
    HBRUSH highlight;
    HBRUSH background;
    HPEN nullPen;
};

static void FillRow(const RowPaint& paint, int top, int bottom, bool selected) {
    HGDIOBJ previousBrush = SelectObject(paint.dc, selected ? paint.highlight : paint.background);
    HGDIOBJ previousPen = SelectObject(paint.dc, paint.nullPen);
    // Without a pen the fill stops a pixel short of the right and bottom ends, and the
    // window erases nothing itself: the rows meet and reach the frame.
    Rectangle(paint.dc, paint.client.left, top, paint.client.right + 1, bottom + 1);
    SelectObject(paint.dc, previousPen);
    SelectObject(paint.dc, previousBrush);
}

static void DrawRowTitle(const RowPaint& paint, int top, int bottom, const TaskEntry& entry,
                         bool selected) {
    HGDIOBJ previousFont = SelectObject(paint.dc, menuFont);
    SetTextColor(paint.dc, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    int previousMode = SetBkMode(paint.dc, TRANSPARENT);
    RECT text = {paint.client.left + Sx(25), top, paint.client.right - Sx(25), bottom};
    // A task's title is the program's own text: an "&" in it is a plain character.
    UINT format = DT_SINGLELINE | DT_VCENTER | (entry.processId != 0 ? DT_NOPREFIX : 0);
    LPCWSTR title = entry.title ? entry.title : L"";
    DrawTextEndEllipsis(paint.dc, title, int(wcslen(title)), &text, format);
    SetBkMode(paint.dc, previousMode);
    SelectObject(paint.dc, previousFont);
}

static void DrawRow(const RowPaint& paint, int row, int index) {
    int top = paint.client.top + row * Sy(kRowHeight);
    int bottom = paint.client.top + (row + 1) * Sy(kRowHeight);
    bool selected = index == switcherIndex;
    FillRow(paint, top, bottom, selected);
    const TaskEntry* entry = taskTable.entries[index];
    if (!entry)
        return;
    DrawTaskIcon(paint.dc, paint.client.left + Sx(7), top + Sy(1), *entry);
    DrawRowTitle(paint, top, bottom, *entry, selected);
}

static void OnSwitcherPaint(HWND window) {
    PAINTSTRUCT ps;
    RowPaint paint;
    paint.dc = BeginPaint(window, &ps);
    GetClientRect(window, &paint.client);
    paint.highlight = CreateSolidBrush(GetSysColor(COLOR_HIGHLIGHT));
    paint.background = CreateSolidBrush(GetSysColor(COLOR_WINDOW));
    paint.nullPen = CreatePen(PS_NULL, 0, 0);
    int count = taskTable.count;
    int rows = ShownRows(count);
    int first = FirstSwitcherRow(switcherIndex, count, rows);
    for (int row = 0; row < rows; ++row)
        DrawRow(paint, row, (first + row) % count);
    DeleteObject(paint.highlight);
    DeleteObject(paint.background);
    DeleteObject(paint.nullPen);
    EndPaint(window, &ps);
}

static LRESULT CALLBACK SwitcherWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        OnSwitcherCreate(window);
        return 0;
    case WM_DESTROY:
        OnSwitcherDestroy(window);
        return 0;
    case WM_PAINT:
        OnSwitcherPaint(window);
        return 0;
    case WM_ERASEBKGND:
        return 0;
    case WM_TIMER:
        OnSwitcherTimer(window, wParam);
        return 0;
    case WM_HOTKEY:
        OnSwitcherHotKey(window, lParam);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void RegisterSwitcherClass() {
    WNDCLASSW wc;
    memset(&wc, 0, sizeof wc);
    wc.style = CS_PARENTDC;
    wc.lpfnWndProc = SwitcherWndProc;
    wc.hInstance = appInstance;
    wc.lpszClassName = kSwitcherClassName;
    RegisterClassW(&wc);
}

void OpenSwitcher() {
    int count = taskTable.count;
    if (switcherWnd || count < 2)
        return;
    // The rows fill the client area; the window is larger by its frame.
    RECT frame = {0, 0, 0, ShownRows(count) * Sy(kRowHeight)};
    AdjustWindowRectEx(&frame, kSwitcherStyle, FALSE, kSwitcherExStyle);
    int width = GetSystemMetrics(SM_CXSCREEN) - 2 * Sx(20);
    switcherWnd = CreateWindowExW(kSwitcherExStyle, kSwitcherClassName, kSwitcherTitle,
                                  kSwitcherStyle, Sx(20), Sx(40), width, frame.bottom - frame.top,
                                  buttonWindow, NULL, appInstance, NULL);
    if (!switcherWnd)
        return;
    SetWindowPos(switcherWnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE);
    ShowWindow(switcherWnd, SW_SHOW);
    UpdateWindow(switcherWnd);
}
