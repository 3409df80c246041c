// Simulated programs that record what they receive.
#include "programs.h"

#include <prsht.h>

namespace {

const wchar_t kProgramClass[] = L"StandinProgram";
const wchar_t kMediaPlayerClass[] = L"WMP for Mobile Devices";
const wchar_t kPageClass[] = L"StandinPage";
constexpr UINT_PTR kCloseTimer = 1;
// A pressed OK button closes the sheet a little later, so that what the closer sends right
// after the press still reaches a live window and shows in the record.
constexpr UINT kCloseDelayMs = 250;
constexpr DWORD kRecoverMs = 2000;

struct Program {
    ProgramRequest request;
    RECT area;
    Record* record;
    HWND window = nullptr;
    HWND page = nullptr; // a sheet's page, or the modal child of a disabled program
    HANDLE ready = nullptr;
};

// Per thread: the queued message being dispatched, and how deep window procedures are nested.
thread_local const MSG* dispatching = nullptr;
thread_local int depth = 0;

Delivery HowDelivered(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    // Nested calls are caused by the program's own handling of an outer message.
    if (depth > 1)
        return Delivery::Local;
    if (InSendMessage())
        return Delivery::Sent;
    if (dispatching && dispatching->hwnd == window && dispatching->message == message &&
        dispatching->wParam == wParam && dispatching->lParam == lParam)
        return Delivery::Posted;
    return Delivery::Local;
}

bool HasCaptionOk(ProgramKind kind) {
    return kind == ProgramKind::CaptionOk || kind == ProgramKind::Sheet;
}

void PaintProgram(HWND window, const Program& program) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    RECT client;
    GetClientRect(window, &client);
    FillRect(dc, &client, GetSysColorBrush(COLOR_WINDOW));
    SetBkMode(dc, TRANSPARENT);
    DrawTextW(dc, program.request.title.c_str(), -1, &client,
              DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    EndPaint(window, &ps);
}

LRESULT OnProgramMessage(HWND window, Program& program, UINT message, WPARAM wParam,
                         LPARAM lParam) {
    ProgramKind kind = program.request.kind;
    switch (message) {
    case WM_CLOSE:
        if (kind == ProgramKind::IgnoreClose || kind == ProgramKind::MediaPlayer)
            return 0;
        if (kind == ProgramKind::Disabled && !IsWindowEnabled(window))
            return 0;
        if (kind == ProgramKind::Hang)
            for (;;)
                Sleep(INFINITE);
        if (kind == ProgramKind::Recovers)
            Sleep(kRecoverMs);
        break;
    case WM_COMMAND:
        if (kind == ProgramKind::CaptionOk && LOWORD(wParam) == IDOK) {
            DestroyWindow(window);
            return 0;
        }
        break;
    case PSM_GETCURRENTPAGEHWND:
        if (kind == ProgramKind::Sheet)
            return reinterpret_cast<LRESULT>(program.page);
        break;
    case PSM_PRESSBUTTON:
        if (kind == ProgramKind::Sheet && wParam == PSBTN_OK) {
            SetTimer(window, kCloseTimer, kCloseDelayMs, nullptr);
            return 0;
        }
        break;
    case WM_TIMER:
        if (wParam == kCloseTimer) {
            DestroyWindow(window);
            return 0;
        }
        break;
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
        PaintProgram(window, program);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CALLBACK ProgramProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* program = reinterpret_cast<Program*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!program)
        return DefWindowProcW(window, message, wParam, lParam);
    ++depth;
    // Painting tells nothing of how a program is asked to close; everything else may.
    if (message != WM_PAINT && message != WM_ERASEBKGND && message != WM_NCPAINT)
        program->record->Write(program->request.title,
                               HowDelivered(window, message, wParam, lParam), message, wParam,
                               lParam);
    LRESULT result = OnProgramMessage(window, *program, message, wParam, lParam);
    --depth;
    return result;
}

void RegisterClasses() {
    static bool registered = false;
    if (registered)
        return;
    registered = true;
    WNDCLASSW wc = {};
    wc.lpfnWndProc = ProgramProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = kProgramClass;
    RegisterClassW(&wc);
    wc.lpszClassName = kMediaPlayerClass;
    RegisterClassW(&wc);
    wc.lpfnWndProc = DefWindowProcW;
    wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    wc.lpszClassName = kPageClass;
    RegisterClassW(&wc);
}

DWORD WINAPI ProgramThreadProc(void* parameter) {
    Program& program = *static_cast<Program*>(parameter);
    ProgramKind kind = program.request.kind;
    DWORD style = WS_POPUP | WS_VISIBLE | (HasCaptionOk(kind) ? WS_CAPTION : 0) |
                  (kind == ProgramKind::Disabled ? WS_DISABLED : 0);
    DWORD exStyle = HasCaptionOk(kind) ? kCaptionOkButton : 0;
    const wchar_t* className = kind == ProgramKind::MediaPlayer ? kMediaPlayerClass : kProgramClass;
    const RECT& a = program.area;
    HWND window = CreateWindowExW(exStyle, className, program.request.title.c_str(), style, a.left,
                                  a.top, a.right - a.left, a.bottom - a.top, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), &program);
    if (window && kind == ProgramKind::Sheet) {
        RECT client;
        GetClientRect(window, &client);
        program.page =
            CreateWindowExW(0, kPageClass, L"Page", WS_CHILD | WS_VISIBLE, 0, 0, client.right,
                            client.bottom, window, nullptr, GetModuleHandleW(nullptr), nullptr);
    }
    if (!window) {
        SetEvent(program.ready);
        return 1;
    }
    // The newest program is in front, as on the device.
    SetForegroundWindow(window);
    // The modal child that keeps its owner disabled, in front of it; what it receives is not
    // recorded.
    if (kind == ProgramKind::Disabled)
        program.page = CreateWindowExW(
            0, kPageClass, L"Send/Receive", WS_POPUP | WS_VISIBLE | WS_CAPTION, a.left, a.top + 40,
            a.right - a.left, 120, window, nullptr, GetModuleHandleW(nullptr), nullptr);
    program.window = window;
    SetEvent(program.ready);

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        dispatching = &msg;
        DispatchMessageW(&msg);
        dispatching = nullptr;
    }
    // A quit that arrives while the window lives was posted by someone else, as some players
    // are closed; the one the window posts itself on destruction is not news.
    if (msg.message == WM_QUIT && IsWindow(window)) {
        program.record->Write(program.request.title, Delivery::Posted, WM_QUIT, msg.wParam,
                              msg.lParam);
        DestroyWindow(window);
    }
    return 0;
}

} // namespace

HWND StartProgram(const ProgramRequest& request, const RECT& area, Record& record) {
    RegisterClasses();
    // The program lives as long as the shell; its state is never freed.
    auto* program = new Program;
    program->request = request;
    program->area = area;
    program->record = &record;
    program->ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE thread = CreateThread(nullptr, 0, ProgramThreadProc, program, 0, nullptr);
    if (!thread)
        return nullptr;
    CloseHandle(thread);
    WaitForSingleObject(program->ready, INFINITE);
    return program->window;
}
