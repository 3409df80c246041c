// Simulated programs and the messages they receive.
#include <cesim/device.h>
#include <cesim/programs.h>

#include "icon_store.h"
#include "kernel.h"

#include <map>

namespace cesim {

namespace {

struct State {
    std::map<HWND, CloseBehaviour> behaviour;
    std::map<DWORD, std::vector<ReceivedMessage>> received;
};

State& S() {
    static State* state = new State;
    return *state;
}

bool Interesting(UINT message) {
    // Painting is the device's own business; everything else is part of the conversation.
    return message != WM_PAINT && message != WM_ERASEBKGND;
}

// A program shows its title, in a caption bar when it has one, so a screenshot tells which
// program is in front.
void PaintProgramWindow(HWND window) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    RECT client;
    GetClientRect(window, &client);
    wchar_t title[128] = {};
    GetWindowTextW(window, title, 128);
    bool caption = (DWORD(GetWindowLongW(window, GWL_STYLE)) & WS_CAPTION) == WS_CAPTION;
    RECT bar = client;
    bar.bottom = bar.top + 20;
    if (caption)
        FillRect(dc, &bar, reinterpret_cast<HBRUSH>(COLOR_ACTIVECAPTION + 1));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(caption ? COLOR_CAPTIONTEXT : COLOR_WINDOWTEXT));
    bar.left += 4;
    DrawTextW(dc, title, -1, &bar, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    EndPaint(window, &ps);
}

LRESULT CALLBACK SimWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    bool sent = InSendMessage() != FALSE;
    CloseBehaviour onClose = CloseBehaviour::Close;
    {
        Kernel::Lock lock(Kernel::Mutex());
        if (Interesting(message))
            S().received[Kernel::Current(lock).processId].push_back(
                ReceivedMessage{window, message, wParam, lParam, sent});
        auto it = S().behaviour.find(window);
        if (it != S().behaviour.end())
            onClose = it->second;
    }
    if (message == WM_CLOSE) {
        if (onClose == CloseBehaviour::Ignore)
            return 0;
        if (onClose == CloseBehaviour::Hang) {
            Kernel::Lock lock(Kernel::Mutex());
            Kernel::Wait(lock, [] { return false; }, INFINITE, false);
        }
    }
    if (message == WM_PAINT) {
        PaintProgramWindow(window);
        return 0;
    }
    if (message == WM_DESTROY) {
        Kernel::Lock lock(Kernel::Mutex());
        S().behaviour.erase(window);
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void RunProgram(const SimProgram& program, RunningProgram* running) {
    std::vector<std::u16string> registered;
    for (const SimWindow& window : program.windows) {
        bool known = false;
        for (const std::u16string& name : registered)
            known = known || name == window.className;
        if (!known) {
            WNDCLASSW wc = {};
            wc.lpfnWndProc = SimWindowProc;
            wc.hInstance = GetModuleHandleW(nullptr);
            wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
            wc.lpszClassName = reinterpret_cast<const wchar_t*>(window.className.c_str());
            RegisterClassW(&wc);
            registered.push_back(window.className);
        }
        HWND link = nullptr;
        if (window.parent >= 0 && size_t(window.parent) < running->windows.size())
            link = running->windows[window.parent];
        else if (window.owner >= 0 && size_t(window.owner) < running->windows.size())
            link = running->windows[window.owner];
        HWND w = CreateWindowExW(window.exStyle, reinterpret_cast<const wchar_t*>(window.className.c_str()),
                                 reinterpret_cast<const wchar_t*>(window.title.c_str()),
                                 window.style | (window.parent >= 0 ? WS_CHILD : 0), window.rect.left,
                                 window.rect.top, window.rect.right - window.rect.left,
                                 window.rect.bottom - window.rect.top, link, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
        {
            Kernel::Lock lock(Kernel::Mutex());
            S().behaviour[w] = window.onClose;
            running->windows.push_back(w);
        }
    }
    {
        Kernel::Lock lock(Kernel::Mutex());
        running->threadId = Kernel::Current(lock).id;
    }
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

} // namespace

RunningProgram StartSimulatedProgram(const SimProgram& program) {
    {
        Kernel::Lock lock(Kernel::Mutex());
        RegisterProgramIcon(lock, program.modulePath, program.icon);
    }
    auto running = std::make_shared<RunningProgram>();
    SimProgram copy = program;
    running->processId =
        StartHelperProcess(program.modulePath, [copy, running] { RunProgram(copy, running.get()); });
    Settle();
    Kernel::Lock lock(Kernel::Mutex());
    return *running;
}

std::vector<ReceivedMessage> ReceivedMessages(DWORD processId) {
    Kernel::Lock lock(Kernel::Mutex());
    return S().received[processId];
}

void ClearReceivedMessages(DWORD processId) {
    Kernel::Lock lock(Kernel::Mutex());
    S().received[processId].clear();
}

} // namespace cesim
