// Pointer gestures on the button and the button window's timers.
#include "shell/gestures.h"

LRESULT OnLButtonDown(HWND window, int x, int y, WORD keys) { return 0; }

LRESULT OnMouseMove(HWND window, int x, int y, WORD keys) { return 0; }

LRESULT OnLButtonUp(HWND window, int x, int y, WORD keys) { return 0; }

void OnTimer(WPARAM timer) {}
