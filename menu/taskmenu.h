// The task menu: built from the task table and the enabled commands, tracked below the taskbar.
#ifndef VEXO_MENU_TASKMENU_H
#define VEXO_MENU_TASKMENU_H

#include <windows.h>

// Set for each chosen command: the tap that chose it lay in the close zone at the item's end.
extern bool CloseTapFlag;

// Shows the menu and returns when it has closed; a chosen command is posted to the button.
void ShowTaskMenu();

#endif
