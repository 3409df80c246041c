// Pointer gestures on the button and the button window's timers.
#ifndef VEXO_SHELL_GESTURES_H
#define VEXO_SHELL_GESTURES_H

#include <windows.h>

enum ButtonTimer {
    PressTimer = 1,
    HoldTimer = 2,
    WatchTimer = 3,
    HotKeyHoldTimer = 4
};

// True while the stylus holds the button down; the face shows it pressed.
extern bool pressed;
// The current press began in the dot zone.
extern bool dotPressed;
// The task menu is open, or its chosen command is still on its way.
extern bool menuOpen;
// The task menu was just cancelled; the next release on the button is ignored.
extern bool menuDismissed;

LRESULT OnLButtonDown(HWND window, int x, int y, WORD keys);
LRESULT OnMouseMove(HWND window, int x, int y, WORD keys);
LRESULT OnLButtonUp(HWND window, int x, int y, WORD keys);
void OnTimer(WPARAM timer);

#endif
