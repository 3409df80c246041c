// Painting the button face.
#ifndef VEXO_BUTTON_PAINT_H
#define VEXO_BUTTON_PAINT_H

#include <windows.h>

enum CloseButtonType {
    CloseButtonNone = 0,
    CloseButtonX = 1,
    CloseButtonOk = 2
};

// Last close-button type seen for the foreground window; a change repaints the button.
extern int closeButtonType;

int GetCloseButtonType(HWND window);
void OnPaint(HWND window);

void DrawPlainBackground(HDC dc, int left, int top, int right, int bottom);
void DrawFlatBackground(HDC dc, int left, int top, int right, int bottom);
void DrawGradientBackground(HDC dc, int left, int top, int right, int bottom);
void DrawGlossBackground(HDC dc, int left, int top, int right, int bottom);
void DrawRoundButton(int type, HDC dc, int left, int top, int right, int bottom, bool lowDpi);
void DrawGradientButton(int type, HDC dc, int left, int top, int right, int bottom, bool lowDpi);
void DrawFramedButton(int type, HDC dc, int left, int top, int right, int bottom, bool lowDpi);

#endif
