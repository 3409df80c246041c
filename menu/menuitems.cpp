// Measuring and drawing the owner-drawn items of the task menu.
#include "menu/menuitems.h"

void OnMeasureItem(WPARAM wParam, LPARAM lParam) {}

void OnDrawItem(WPARAM wParam, LPARAM lParam) {}
