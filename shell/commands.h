// Actions, the hardware hot key and the menu commands.
#ifndef VEXO_SHELL_COMMANDS_H
#define VEXO_SHELL_COMMANDS_H

#include <windows.h>

enum Trigger {
    TRIGGER_TAP = 0,
    TRIGGER_TAP_AND_HOLD = 1,
    TRIGGER_GESTURE = 2
};

enum Action {
    ACTION_CLOSE = 0,
    ACTION_MINIMIZE = 1,
    ACTION_TASK_MENU = 2
};

void DoAction(int trigger, HWND window);
void OnShowTaskMenu();
LRESULT OnHotKey(HWND window, int id, LPARAM lParam);
void OnCommand(WORD command);

#endif
