// vexo as the Wine checks drive it: the program itself, whose button also takes one registered
// message that asks for a close the way a tap, a close mark or a menu command would. A check
// can then close tasks on vexo's own thread without taps or a menu.
#include <windows.h>

#include "shell/mainwindow.h"
#include "tasks/closing.h"
#include "tasks/tasklist.h"

namespace {

// wParam: the window; lParam: what to do with it.
const wchar_t kRequestName[] = L"VexoTest::Close";
enum Request {
    kAnswer = 0,          // nothing: says the button takes requests
    kClose = 1,           // a tap on the button
    kForce = 2,           // a tap on the task's close mark in the menu
    kCloseAll = 3,        // "Close All Tasks", the table refreshed as the menu does
    kCloseBackground = 4, // "Close Background Tasks"
};

UINT requestMessage;
WNDPROC buttonProc;

LRESULT CALLBACK DrivenButtonProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != requestMessage)
        return CallWindowProcW(buttonProc, window, message, wParam, lParam);
    HWND target = reinterpret_cast<HWND>(wParam);
    switch (lParam) {
    case kClose:
        OnClose(target, false);
        break;
    case kForce:
        OnClose(target, true);
        break;
    case kCloseAll:
        RefreshTaskList();
        OnCloseAll();
        break;
    case kCloseBackground:
        RefreshTaskList();
        OnCloseAllButCurrent();
        break;
    }
    return 1;
}

// Waits for the button to exist, then sees its messages first.
DWORD WINAPI SubclassButtonThreadProc(LPVOID) {
    for (int attempt = 0; attempt < 3000; ++attempt) {
        HWND button = FindWindowExW(FindWindowW(L"HHTaskBar", NULL), NULL, L"VexoClass", NULL);
        DWORD processId = 0;
        GetWindowThreadProcessId(button, &processId);
        if (button && processId == GetCurrentProcessId()) {
            buttonProc = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(button, GWLP_WNDPROC));
            SetWindowLongPtrW(button, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(DrivenButtonProc));
            return 0;
        }
        Sleep(10);
    }
    return 1;
}

} // namespace

extern "C" int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, LPWSTR commandLine,
                               int showCommand) {
    requestMessage = RegisterWindowMessageW(kRequestName);
    HANDLE thread = CreateThread(NULL, 0, SubclassButtonThreadProc, NULL, 0, NULL);
    if (thread)
        CloseHandle(thread);
    return CeWinMain(instance, previous, commandLine, showCommand);
}
