// The Alt-Tab switcher window.
#include "shell/switcher.h"

HWND switcherWnd = NULL;

void RegisterSwitcherClass() {}

void OpenSwitcher() {}
