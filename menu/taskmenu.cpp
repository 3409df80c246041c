// The task menu.
#include "menu/taskmenu.h"

bool CloseTapFlag = false;

void ShowTaskMenu() {}
