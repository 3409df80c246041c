// Measuring and drawing the owner-drawn items of the task menu.
#include "menu/menuitems.h"

void OnMeasureItem(WPARAM wParam, LPARAM lParam) {}

void OnDrawItem(WPARAM wParam, LPARAM lParam) {}

int DrawTextEndEllipsis(HDC dc, LPCWSTR text, int length, RECT* rect, UINT format) { return 0; }
