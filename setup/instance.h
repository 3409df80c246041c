// Finding the running vexo by its button window under the taskbar, and ending it before the
// installer replaces or removes its files.
#ifndef VEXO_SETUP_INSTANCE_H
#define VEXO_SETUP_INSTANCE_H

#include <windows.h>

// The library is linked into one host process with vexo on the simulated device, so its
// names stay apart from the program's.
namespace VexoSetup {

// How long a running vexo has to end, once asked to close, before it is terminated.
const DWORD kCloseWaitMs = 8000;

// The first child of the taskbar, in z-order, whose class is exactly "VexoClass"; or NULL.
HWND FindRunningInstance();

// Asks the running vexo, if any, to close and waits for its process to end; terminates it
// when it has not ended in time.
void CloseRunningInstance();

} // namespace VexoSetup

#endif
