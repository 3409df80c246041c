// Actions, the hardware hot key and the menu commands.
#ifndef VEXO_SHELL_COMMANDS_H
#define VEXO_SHELL_COMMANDS_H

#include <windows.h>

enum Trigger { TRIGGER_TAP = 0, TRIGGER_TAP_AND_HOLD = 1, TRIGGER_GESTURE = 2 };

enum Action { ACTION_CLOSE = 0, ACTION_MINIMIZE = 1, ACTION_TASK_MENU = 2 };

// The next release of the hot key is to be ignored: its press closed the task menu.
extern bool skipKeyUp;

// Runs the action the settings give the trigger for the program of window.
void DoAction(int trigger, HWND window);
void OnShowTaskMenu();
LRESULT OnHotKey(HWND window, int id, LPARAM lParam);
void OnCommand(WORD command);

void OnSettings();
// Minimises window, or the task below it when window is a tool window; never the desktop.
void OnMinimize(HWND window);
void OnShowDesktop();
void OnRotateScreenLeft();
void OnRotateScreenRight();

#endif
