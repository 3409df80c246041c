// Closing tasks.
#include "tasks/closing.h"

CRITICAL_SECTION closeLock;

void OnClose(HWND window, bool force) {}

void OnCloseAll() {}

void OnCloseAllButCurrent() {}
