// Closing tasks.
#include "tasks/closing.h"

#include "config/log.h"

CRITICAL_SECTION closeLock;

void OnClose(HWND window, bool force) {
    if (appLog)
        appLog->Write(2, "OnClose(%x)", unsigned(UINT_PTR(window)));
}

void OnCloseAll() {
    if (appLog)
        appLog->Write(2, "OnCloseAll()");
}

void OnCloseAllButCurrent() {
    if (appLog)
        appLog->Write(2, "OnCloseAllButCurrent()");
}
