// The Alt-Tab switcher: a list of the running programs that a short press of the hot key opens.
// Each further press selects the next program; a pause brings the selected one to the front.
#ifndef VEXO_SHELL_SWITCHER_H
#define VEXO_SHELL_SWITCHER_H

#include <windows.h>

// The switcher window while it is open, null otherwise.
extern HWND switcherWnd;
// The task table's index of the selected program.
extern int switcherIndex;

const UINT_PTR SwitcherTimer = 7;
// At most this many rows show; the selected one sits in the middle.
const int kSwitcherRows = 7;
// The pause that closes the switcher is kept between these, in milliseconds: while open the
// switcher holds the stylus capture, so a huge setting would leave every tap swallowed.
const DWORD kSwitcherTimeoutMin = 100;
const DWORD kSwitcherTimeoutMax = 10000;

// Registers the switcher's window class; a failure only means the switcher cannot open.
void RegisterSwitcherClass();
// Opens the switcher on the task table as it stands; the table must hold more than one task.
void OpenSwitcher();

// AltTabTimeout as the switcher uses it.
DWORD SwitcherTimeout(DWORD setting);
// The table index shown in the first row when `count` tasks show `rows` rows around `selected`.
int FirstSwitcherRow(int selected, int count, int rows);

#endif
