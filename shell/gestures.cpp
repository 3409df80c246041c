// Pointer gestures on the button and the button window's timers: a tap, a tap-and-hold and a
// drag down off the button each become a trigger; a tap on the dot opens the task menu.
#include "shell/gestures.h"

#include "button/paint.h"
#include "config/config.h"
#include "config/log.h"
#include "shell/backbuffer.h"
#include "shell/commands.h"
#include "shell/dpi.h"
#include "shell/mainwindow.h"

#include <aygshell.h>

bool pressed = false;
bool dotPressed = false;
bool menuOpen = false;
bool menuDismissed = false;

// Where the last press landed, in the button's client coordinates.
static POINT downPoint;

static const UINT kPressLookMs = 200;
static const UINT kHoldStartMs = 100;

// The button's zones for a point in client coordinates: the dot strip at the left edge, and
// the main zone right of it (or of the left edge, without the dot). Both include their right
// and bottom edges.
struct ButtonZones {
    RECT client;
    int left;     // L
    int dotRight; // D
    int mainLeft; // E: the main zone begins right of it
};

static ButtonZones GetButtonZones() {
    ButtonZones z;
    memset(&z.client, 0, sizeof z.client);
    GetClientRect(buttonWindow, &z.client);
    z.left = z.client.right - Sx(28);
    z.dotRight = z.left + Sx(8);
    z.mainLeft = config.ShowDot ? z.dotRight : z.left;
    return z;
}

static bool WithinHeight(const ButtonZones& z, int y) {
    return z.client.top <= y && y <= z.client.bottom;
}

static bool InDotStrip(const ButtonZones& z, int x, int y) {
    return z.left <= x && x <= z.dotRight && WithinHeight(z, y);
}

static bool InMainZone(const ButtonZones& z, int x, int y) {
    return z.mainLeft < x && x <= z.client.right && WithinHeight(z, y);
}

// Every start of a one-shot timer replaces the one still running.
static void RestartTimer(UINT_PTR timer, UINT ms) {
    KillTimer(buttonWindow, timer);
    SetTimer(buttonWindow, timer, ms, NULL);
}

static void EndPressedLook() {
    if (pressed)
        InvalidateRect(buttonWindow, NULL, FALSE);
    pressed = false;
    KillTimer(buttonWindow, PressTimer);
}

// With the task menu open, the button only closes it.
static void CloseTaskMenu() {
    SendMessageW(buttonWindow, WM_CANCELMODE, 0, 0);
}

static int Distance(int a, int b) {
    return a > b ? a - b : b - a;
}

LRESULT OnLButtonDown(HWND window, int x, int y, WORD keys) {
    if (appLog)
        appLog->Write(5, "OnLButtonDown(%d, %d, %d, %d)", int(INT_PTR(window)), x, y, int(keys));
    if (menuOpen) {
        CloseTaskMenu();
        dotPressed = false;
        return 0;
    }
    menuDismissed = false;
    ButtonZones z = GetButtonZones();
    SetCapture(buttonWindow);
    if (InMainZone(z, x, y))
        RestartTimer(HoldTimer, kHoldStartMs);
    if (config.ShowDot && InDotStrip(z, x, y)) {
        dotPressed = true;
    } else {
        pressed = true;
        InvalidateRect(buttonWindow, NULL, FALSE);
        dotPressed = false;
        RestartTimer(PressTimer, kPressLookMs);
    }
    downPoint.x = x;
    downPoint.y = y;
    return 0;
}

LRESULT OnMouseMove(HWND window, int x, int y, WORD keys) {
    if (appLog)
        appLog->Write(5, "OnMouseMove(%d, %d, %d, %d)", int(INT_PTR(window)), x, y, int(keys));
    ButtonZones z = GetButtonZones();
    // Leaving sideways (or any move of a dot press) lets go of the button; a drag straight
    // down keeps the capture, so that its release still reaches the button.
    if (dotPressed || x <= z.dotRight || x > z.client.right) {
        ReleaseCapture();
        EndPressedLook();
    }
    // Both distances use the horizontal scale.
    if (Distance(downPoint.x, x) > Sx(3) || Distance(downPoint.y, y) > Sx(3))
        KillTimer(buttonWindow, HoldTimer);
    return 0;
}

LRESULT OnLButtonUp(HWND window, int x, int y, WORD keys) {
    if (appLog)
        appLog->Write(5, "OnLButtonUp(%d, %d, %d, %d)", int(INT_PTR(window)), x, y, int(keys));
    EndPressedLook();
    KillTimer(buttonWindow, HoldTimer);
    ReleaseCapture();
    if (menuOpen) {
        CloseTaskMenu();
        menuOpen = false;
        dotPressed = false;
        return 0;
    }
    // The release of the tap that cancelled the menu.
    if (menuDismissed) {
        menuDismissed = false;
        return 0;
    }
    ButtonZones z = GetButtonZones();
    if (dotPressed) {
        // dotPressed stays set until the menu or a command clears it.
        if (InDotStrip(z, x, y))
            OnShowTaskMenu();
        return 0;
    }
    if (x <= z.mainLeft || x > z.client.right)
        return 0;
    if (WithinHeight(z, y))
        DoAction(TRIGGER_TAP, GetForegroundWindow());
    else if (y >= z.client.bottom + Sy(5))
        DoAction(TRIGGER_GESTURE, GetForegroundWindow());
    return 0;
}

static void OnPressTimer() {
    pressed = false;
    KillTimer(buttonWindow, PressTimer);
    InvalidateRect(buttonWindow, NULL, FALSE);
}

// The stylus rests on the button: the platform shows its tap-and-hold feedback and says
// whether the hold lasted.
static void OnHoldTimer() {
    KillTimer(buttonWindow, HoldTimer);
    ReleaseCapture();
    SHRGINFO info;
    memset(&info, 0, sizeof info);
    info.cbSize = sizeof info;
    info.hwndClient = buttonWindow;
    info.ptDown = downPoint;
    info.dwFlags = SHRG_RETURNCMD;
    if (SHRecognizeGesture(&info) != GN_CONTEXTMENU)
        return;
    // The face is brought up to date before the action, which may open a modal menu.
    InvalidateRect(buttonWindow, NULL, FALSE);
    UpdateWindow(buttonWindow);
    DoAction(TRIGGER_TAP_AND_HOLD, GetForegroundWindow());
}

// Keeps the face in step with the program in front and the button anchored to the taskbar's
// right end, whatever the shell did to the taskbar meanwhile.
static void OnWatchTimer() {
    int type = GetCloseButtonType(GetForegroundWindow());
    if (type != closeButtonType) {
        closeButtonType = type;
        InvalidateRect(buttonWindow, NULL, FALSE);
    }
    HWND parent = IsWindow(buttonWindow) ? GetParent(buttonWindow) : NULL;
    if (!parent)
        return;
    RECT taskbar;
    RECT button;
    memset(&taskbar, 0, sizeof taskbar);
    memset(&button, 0, sizeof button);
    GetClientRect(parent, &taskbar);
    GetWindowRect(buttonWindow, &button);
    // The button's place is compared in the taskbar's coordinates, and its height too, so a
    // taskbar that moves or grows takes the button along.
    POINT origin = {0, 0};
    ClientToScreen(parent, &origin);
    int x = taskbar.right - Sx(28);
    int y = taskbar.top + Sy(2);
    int height = taskbar.bottom - 2 * Sx(2) - taskbar.top;
    if (button.left - origin.x == x && button.top - origin.y == y &&
        button.bottom - button.top == height)
        return;
    SetWindowPos(buttonWindow, HWND_TOP, x, y, Sx(28), height, SWP_NOZORDER);
    // A face painted past the back buffer would be garbage; the buffer follows the button.
    ResizeBackBuffer(Sx(28), height);
    InvalidateRect(buttonWindow, NULL, FALSE);
}

// The hot key is still down when its hold time runs out: the long press opens the menu.
static void OnHotKeyHoldTimer() {
    KillTimer(buttonWindow, HotKeyHoldTimer);
    OnShowTaskMenu();
}

void OnTimer(WPARAM timer) {
    if (appLog)
        appLog->Write(5, "OnTimer(%d)", int(timer));
    switch (timer) {
    case PressTimer:
        OnPressTimer();
        break;
    case HoldTimer:
        OnHoldTimer();
        break;
    case WatchTimer:
        OnWatchTimer();
        break;
    case HotKeyHoldTimer:
        OnHotKeyHoldTimer();
        break;
    }
}
