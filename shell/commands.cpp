// Actions, the hardware hot key and the menu commands.
#include "shell/commands.h"

void DoAction(int trigger, HWND window) {}

void OnShowTaskMenu() {}

LRESULT OnHotKey(HWND window, int id, LPARAM lParam) { return 0; }

void OnCommand(WORD command) {}
