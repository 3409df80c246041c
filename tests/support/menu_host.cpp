// The task menu's own thread without the rest of the program.
#include "support/device_fixture.h"

#include "support/menu_host.h"

#include "button/paint.h"
#include "config/config.h"
#include "config/language.h"
#include "device/radios.h"
#include "button/paint.h"
#include "menu/taskmenu.h"
#include "shell/backbuffer.h"
#include "shell/backbuffer.h"
#include "shell/dpi.h"
#include "shell/gestures.h"
#include "shell/mainwindow.h"

#include <cesim/device.h>

namespace vexotest {

namespace {

const UINT kRunOnHost = WM_APP + 0x100;

struct HostState {
    DWORD threadId = 0;
    std::vector<PostedCommand> commands;
};

HostState& Host() {
    static HostState state;
    return state;
}

void CreateButton(HINSTANCE instance) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = VexoWndProc;
    wc.hInstance = instance;
    wc.lpszClassName = kButtonClassName;
    RegisterClassW(&wc);
    desktopWindow = FindWindowW(L"DesktopExplorerWindow", L"Desktop");
    taskbarWindow = FindWindowW(L"HHTaskBar", nullptr);
    RECT taskbar = {};
    GetWindowRect(taskbarWindow, &taskbar);
    buttonWindow = CreateWindowExW(0, kButtonClassName, kButtonWindowTitle, WS_CHILD | WS_VISIBLE,
                                   taskbar.right - Sx(28), taskbar.top + Sy(2), Sx(28),
                                   taskbar.bottom - taskbar.top - 2 * Sy(2), taskbarWindow, nullptr,
                                   instance, nullptr);
    // The face is painted through the back buffer, which start-up makes after the window.
    CreateBackBuffer(Sx(28), taskbar.bottom - taskbar.top - 2 * Sy(2));
    closeButtonType = GetCloseButtonType(GetForegroundWindow());
    InvalidateRect(buttonWindow, nullptr, FALSE);
}

int HostMain(HINSTANCE instance, HINSTANCE, LPWSTR, int) {
    appInstance = instance;
    AllocateStringRing();
    config.Load();
    ReadScreenDpi();
    FreeWiFiDeviceName();
    InitWiFiDeviceName();
    CreateLanguageTable();
    CreateButton(instance);
    Host().threadId = GetCurrentThreadId();
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0)) {
        if (!msg.hwnd && msg.message == kRunOnHost) {
            auto* fn = reinterpret_cast<std::function<void()>*>(msg.lParam);
            (*fn)();
            delete fn;
            continue;
        }
        if (msg.hwnd == buttonWindow && msg.message == WM_COMMAND) {
            Host().commands.push_back(PostedCommand{LOWORD(msg.wParam), CloseTapFlag});
            continue;
        }
        DispatchMessageW(&msg);
    }
    return 0;
}

} // namespace

DWORD MenuHost::Start() {
    Host() = HostState();
    cesim::ProgramImage image;
    image.entry = &HostMain;
    image.modulePath = u"\\Program Files\\Vexo\\vexo.exe";
    image.resources = cesim::ProgramResourceSection();
    return cesim::StartProgram(image);
}

void MenuHost::Run(std::function<void()> fn) {
    PostThreadMessageW(Host().threadId, kRunOnHost, 0,
                       reinterpret_cast<LPARAM>(new std::function<void()>(std::move(fn))));
    cesim::Settle();
}

void MenuHost::OpenMenu() {
    Run([] {
        menuOpen = true;
        ShowTaskMenu();
    });
}

std::vector<PostedCommand> MenuHost::Commands() {
    return Host().commands;
}

void MenuHost::ClearCommands() {
    Host().commands.clear();
}

} // namespace vexotest
