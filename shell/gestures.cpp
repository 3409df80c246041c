// Pointer gestures on the button and the button window's timers.
#include "shell/gestures.h"

#include "button/paint.h"
#include "config/log.h"
#include "shell/backbuffer.h"
#include "shell/dpi.h"
#include "shell/mainwindow.h"

bool pressed = false;
bool dotPressed = false;
bool menuOpen = false;
bool menuDismissed = false;

LRESULT OnLButtonDown(HWND window, int x, int y, WORD keys) { return 0; }

LRESULT OnMouseMove(HWND window, int x, int y, WORD keys) { return 0; }

LRESULT OnLButtonUp(HWND window, int x, int y, WORD keys) { return 0; }

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

void OnTimer(WPARAM timer) {
    if (appLog)
        appLog->Write(5, "OnTimer(%d)", int(timer));
    if (timer == WatchTimer)
        OnWatchTimer();
}
