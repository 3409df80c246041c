// Finding and ending a running vexo.
#include "setup/instance.h"

namespace VexoSetup {

static const WCHAR kTaskbarClass[] = L"HHTaskBar";
static const WCHAR kButtonClass[] = L"VexoClass";
// One character more than the name and its terminator need is read, so a longer class name
// that merely begins with it cannot match.
static const int kClassNameCapacity = 16;

static bool IsButtonWindow(HWND window) {
    WCHAR name[kClassNameCapacity];
    name[0] = 0;
    GetClassNameW(window, name, kClassNameCapacity);
    return wcscmp(name, kButtonClass) == 0;
}

HWND FindRunningInstance() {
    HWND taskbar = FindWindowW(kTaskbarClass, NULL);
    if (!taskbar)
        return NULL;
    for (HWND child = GetWindow(taskbar, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if (IsButtonWindow(child))
            return child;
    return NULL;
}

void CloseRunningInstance() {
    HWND button = FindRunningInstance();
    if (!button)
        return;
    // The process is found and opened first: vexo answers WM_CLOSE by destroying this window,
    // after which nothing would tell which process to wait for.
    DWORD processId = 0;
    GetWindowThreadProcessId(button, &processId);
    HANDLE process = processId ? OpenProcess(0, FALSE, processId) : NULL;
    // Posted rather than sent: a vexo that has stopped answering would hold a sender forever,
    // and the wait below, with its last resort, would never begin.
    PostMessageW(button, WM_CLOSE, 0, 0);
    if (!process)
        return;
    if (WaitForSingleObject(process, kCloseWaitMs) == WAIT_TIMEOUT)
        TerminateProcess(process, 0);
    CloseHandle(process);
}

} // namespace VexoSetup
