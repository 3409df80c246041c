// Simulated programs and the messages they receive.
#include <cesim/device.h>
#include <cesim/programs.h>

#include "dialogs.h"
#include "icon_store.h"
#include "kernel.h"

#include <prsht.h>

#include <map>

namespace cesim {

namespace {

const wchar_t kPageClass[] = L"SimPropertyPage";
const UINT_PTR kSheetCloseTimer = 0x5E;

struct WindowState {
    SimWindow window;
    HWND page = nullptr;    // property sheets
    bool confirmed = false; // property sheets
};

struct State {
    std::map<HWND, WindowState> windows;
    std::map<DWORD, std::vector<ReceivedMessage>> received;
};

State& S() {
    static State* state = new State;
    return *state;
}

// Per program thread: the queued message its loop is dispatching, and how deeply its window
// procedures are nested; a nested message is the program's own doing.
thread_local const MSG* t_dispatching = nullptr;
thread_local int t_depth = 0;

struct Nesting {
    Nesting() { ++t_depth; }
    ~Nesting() { --t_depth; }
};

bool Interesting(UINT message) {
    // Painting is the device's own business; everything else is part of the conversation.
    return message != WM_PAINT && message != WM_ERASEBKGND;
}

void Record(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!Interesting(message))
        return;
    bool outer = t_depth == 1;
    bool sent = outer && InSendMessage() != FALSE;
    bool posted = outer && !sent && t_dispatching && t_dispatching->hwnd == window &&
                  t_dispatching->message == message && t_dispatching->wParam == wParam &&
                  t_dispatching->lParam == lParam;
    Kernel::Lock lock(Kernel::Mutex());
    S().received[Kernel::Current(lock).processId].push_back(
        ReceivedMessage{window, message, wParam, lParam, sent, posted});
}

WindowState StateOf(HWND window) {
    Kernel::Lock lock(Kernel::Mutex());
    auto it = S().windows.find(window);
    return it == S().windows.end() ? WindowState() : it->second;
}

void Forget(HWND window) {
    Kernel::Lock lock(Kernel::Mutex());
    S().windows.erase(window);
}

// Stops answering where the window says it hangs.
void HangIfDue(const SimWindow& asked, UINT message) {
    if (message != asked.hangOn)
        return;
    if (asked.onClose == CloseBehaviour::Hang) {
        Kernel::Lock lock(Kernel::Mutex());
        Kernel::Wait(
            lock, [] { return false; }, INFINITE, false);
    } else if (asked.onClose == CloseBehaviour::Recover) {
        Sleep(asked.hangMs);
    }
}

// Whether WM_CLOSE is to be swallowed instead of closing the window.
bool RefusesClose(HWND window, const SimWindow& asked) {
    if (asked.onClose == CloseBehaviour::Ignore)
        return true;
    return asked.onClose == CloseBehaviour::CloseWhenEnabled && !IsWindowEnabled(window);
}

void ConfirmSheet(HWND window) {
    {
        Kernel::Lock lock(Kernel::Mutex());
        auto it = S().windows.find(window);
        if (it == S().windows.end() || it->second.confirmed)
            return;
        it->second.confirmed = true;
    }
    SetTimer(window, kSheetCloseTimer, kSheetCloseDelayMs, nullptr);
}

bool HandleSheet(HWND window, const WindowState& state, UINT message, WPARAM wParam,
                 LRESULT* result) {
    *result = 0;
    switch (message) {
    case PSM_GETCURRENTPAGEHWND:
        *result = reinterpret_cast<LRESULT>(state.page);
        return true;
    case PSM_PRESSBUTTON:
        if (wParam == PSBTN_OK || wParam == PSBTN_CANCEL)
            ConfirmSheet(window);
        return true;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)
            ConfirmSheet(window);
        return true;
    case WM_TIMER:
        if (wParam != kSheetCloseTimer)
            return false;
        KillTimer(window, kSheetCloseTimer);
        DestroyWindow(window);
        return true;
    }
    return false;
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
    Nesting nesting;
    Record(window, message, wParam, lParam);
    WindowState state = StateOf(window);
    HangIfDue(state.window, message);
    LRESULT result = 0;
    if (state.window.kind == WindowKind::PropertySheet &&
        HandleSheet(window, state, message, wParam, &result))
        return result;
    switch (message) {
    case WM_CLOSE:
        if (RefusesClose(window, state.window))
            return 0;
        break;
    case WM_COMMAND:
        if (state.window.kind == WindowKind::CaptionOk && LOWORD(wParam) == IDOK) {
            DestroyWindow(window);
            return 0;
        }
        break;
    case WM_PAINT:
        PaintProgramWindow(window);
        return 0;
    case WM_DESTROY:
        Forget(window);
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// The dialog procedure of dialogs; their window procedure is the system's.
INT_PTR CALLBACK SimDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    Nesting nesting;
    Record(dialog, message, wParam, lParam);
    WindowState state = StateOf(dialog);
    HangIfDue(state.window, message);
    switch (message) {
    case WM_CLOSE:
        return RefusesClose(dialog, state.window) ? TRUE : FALSE;
    case WM_COMMAND:
        if (LOWORD(wParam) != IDOK && LOWORD(wParam) != IDCANCEL)
            return FALSE;
        DestroyWindow(dialog);
        return TRUE;
    case WM_DESTROY:
        Forget(dialog);
        return FALSE;
    }
    return FALSE;
}

void RegisterProgramClass(const std::u16string& name, WNDPROC proc) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = W(name);
    // A second window of the class finds it registered already.
    RegisterClassW(&wc);
}

HWND CreateProgramWindow(const SimWindow& window, HWND link) {
    const RECT& r = window.rect;
    DWORD style = window.style | (window.parent >= 0 ? WS_CHILD : 0);
    if (window.kind == WindowKind::Dialog)
        return CreateDialogWindow(window.exStyle, window.title, style, r, link, SimDialogProc, 0);
    RegisterProgramClass(window.className, SimWindowProc);
    HWND w = CreateWindowExW(window.exStyle, W(window.className), W(window.title), style, r.left,
                             r.top, r.right - r.left, r.bottom - r.top, link, nullptr,
                             GetModuleHandleW(nullptr), nullptr);
    if (!w || window.kind != WindowKind::PropertySheet)
        return w;
    RegisterProgramClass(U16(kPageClass), DefWindowProcW);
    HWND page =
        CreateWindowExW(0, kPageClass, L"Page", WS_CHILD | WS_VISIBLE, 0, 20, r.right - r.left,
                        r.bottom - r.top - 20, w, nullptr, GetModuleHandleW(nullptr), nullptr);
    Kernel::Lock lock(Kernel::Mutex());
    S().windows[w].page = page;
    return w;
}

// Destroys what is left of the program's windows, owned and child windows first.
void DestroyProgramWindows(const RunningProgram& running) {
    std::vector<HWND> windows;
    {
        Kernel::Lock lock(Kernel::Mutex());
        windows = running.windows;
    }
    for (auto it = windows.rbegin(); it != windows.rend(); ++it)
        if (IsWindow(*it))
            DestroyWindow(*it);
}

void RunProgram(const SimProgram& program, RunningProgram* running) {
    for (const SimWindow& window : program.windows) {
        HWND link = nullptr;
        if (window.parent >= 0 && size_t(window.parent) < running->windows.size())
            link = running->windows[window.parent];
        else if (window.owner >= 0 && size_t(window.owner) < running->windows.size())
            link = running->windows[window.owner];
        HWND w = CreateProgramWindow(window, link);
        Kernel::Lock lock(Kernel::Mutex());
        S().windows[w].window = window;
        running->windows.push_back(w);
    }
    {
        Kernel::Lock lock(Kernel::Mutex());
        running->threadId = Kernel::Current(lock).id;
    }
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0)) {
        TranslateMessage(&msg);
        t_dispatching = &msg;
        DispatchMessageW(&msg);
        t_dispatching = nullptr;
    }
    // A quit that names a window was posted to it by another program, as media players are
    // closed; the program then leaves.
    if (msg.hwnd) {
        {
            Kernel::Lock lock(Kernel::Mutex());
            S().received[Kernel::Current(lock).processId].push_back(
                ReceivedMessage{msg.hwnd, WM_QUIT, msg.wParam, msg.lParam, false, true});
        }
        DestroyProgramWindows(*running);
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
    running->processId = StartHelperProcess(program.modulePath,
                                            [copy, running] { RunProgram(copy, running.get()); });
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
