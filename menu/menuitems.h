// Measuring and drawing the owner-drawn items of the task menu.
#ifndef VEXO_MENU_MENUITEMS_H
#define VEXO_MENU_MENUITEMS_H

#include <windows.h>

void OnMeasureItem(WPARAM wParam, LPARAM lParam);
void OnDrawItem(WPARAM wParam, LPARAM lParam);

#endif
