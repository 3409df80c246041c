// Painting the button face.
#include "button/paint.h"

int closeButtonType = CLOSE_BUTTON_NONE;

int GetCloseButtonType(HWND window) { return CLOSE_BUTTON_NONE; }

// Until the face is drawn the update region must still be validated, or WM_PAINT would
// come back for ever.
void OnPaint(HWND window) {
    PAINTSTRUCT ps;
    BeginPaint(window, &ps);
    EndPaint(window, &ps);
}
