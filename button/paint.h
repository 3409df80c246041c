// Painting the button face.
#ifndef VEXO_BUTTON_PAINT_H
#define VEXO_BUTTON_PAINT_H

#include <windows.h>

enum CloseButtonType {
    CLOSE_BUTTON_NONE = 0,
    CLOSE_BUTTON_X = 1,
    CLOSE_BUTTON_OK = 2
};

// Last close-button type seen for the foreground window; a change repaints the button.
extern int closeButtonType;

int GetCloseButtonType(HWND window);
void OnPaint(HWND window);

#endif
