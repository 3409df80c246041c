// Measuring and drawing the owner-drawn items of the task menu.
#ifndef VEXO_MENU_MENUITEMS_H
#define VEXO_MENU_MENUITEMS_H

#include <windows.h>

void OnMeasureItem(WPARAM wParam, LPARAM lParam);
void OnDrawItem(WPARAM wParam, LPARAM lParam);

// Draws one line of text, cut at the end with "..." until it fits the rectangle. A negative
// length is the text's own length; returns what the final DrawTextW returns.
int DrawTextEndEllipsis(HDC dc, LPCWSTR text, int length, RECT* rect, UINT format);

class TaskEntry;
// Draws the shell's small icon of the task's program with its top left corner at x, y.
void DrawTaskIcon(HDC dc, int x, int y, const TaskEntry& entry);

#endif
