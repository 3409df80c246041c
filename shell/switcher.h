// The Alt-Tab switcher: a list of the running programs that a short press of the hot key opens.
#ifndef VEXO_SHELL_SWITCHER_H
#define VEXO_SHELL_SWITCHER_H

#include <windows.h>

// The switcher window while it is open, null otherwise.
extern HWND switcherWnd;

// Registers the switcher's window class; a failure only means the switcher cannot open.
void RegisterSwitcherClass();
// Opens the switcher on the task table as it stands; the table must hold more than one task.
void OpenSwitcher();

#endif
