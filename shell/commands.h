// Actions, the hardware hot key and the menu commands.
#ifndef VEXO_SHELL_COMMANDS_H
#define VEXO_SHELL_COMMANDS_H

#include <windows.h>

LRESULT OnHotKey(HWND window, int id, LPARAM lParam);
void OnCommand(WORD command);

#endif
