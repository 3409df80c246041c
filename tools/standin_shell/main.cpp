// A stand-in for the Pocket PC shell on desktop Windows: a device-sized frame at the screen's
// origin that holds the taskbar and the desktop as top-level windows, and on request a few
// programs that record what they are sent. A program that looks for the shell's windows finds
// them by class and title, as on the device.
#include "options.h"
#include "programs.h"
#include "record.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

const wchar_t kFrameClass[] = L"StandinShellFrame";
const wchar_t kTaskbarClass[] = L"HHTaskBar";
const wchar_t kDesktopClass[] = L"DesktopExplorerWindow";
constexpr UINT_PTR kTimeOutTimer = 1;
constexpr int kTimeOutExitCode = 2;
constexpr int kUsageExitCode = 64;
constexpr int kTaskbarHeightAt96Dpi = 26;

int ScreenDpiY() {
    HDC screen = GetDC(nullptr);
    int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi;
}

int ScaleY(int n, int dpi) {
    return (n * dpi + 48) / 96;
}

// Top to bottom from the first colour to the second, one band per row.
void FillGradient(HDC dc, const RECT& area, COLORREF top, COLORREF bottom) {
    int rows = area.bottom - area.top;
    for (int y = 0; y < rows; ++y) {
        auto mix = [&](int a, int b) { return a + (b - a) * y / (rows > 1 ? rows - 1 : 1); };
        COLORREF c =
            RGB(mix(GetRValue(top), GetRValue(bottom)), mix(GetGValue(top), GetGValue(bottom)),
                mix(GetBValue(top), GetBValue(bottom)));
        HBRUSH brush = CreateSolidBrush(c);
        RECT row = {area.left, area.top + y, area.right, area.top + y + 1};
        FillRect(dc, &row, brush);
        DeleteObject(brush);
    }
}

LRESULT CALLBACK TaskbarProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(window, &ps);
        RECT client;
        GetClientRect(window, &client);
        FillGradient(dc, client, RGB(0x10, 0x3C, 0x9C), RGB(0x4A, 0x84, 0xE0));
        EndPaint(window, &ps);
        return 0;
    }
    case WM_ERASEBKGND:
        return 1;
    case WM_MOUSEACTIVATE:
        // A tap on the taskbar, or on a button in it, leaves the program in front as it is.
        return MA_NOACTIVATE;
    case WM_TIMER:
        if (wParam == kTimeOutTimer)
            PostQuitMessage(kTimeOutExitCode);
        return 0;
    case WM_CLOSE:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CALLBACK DesktopProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    // The desktop is never closed.
    if (message == WM_CLOSE)
        return 0;
    return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CALLBACK FrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CLOSE) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void RegisterShellClass(const wchar_t* name, WNDPROC proc, HBRUSH background) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = background;
    wc.lpszClassName = name;
    RegisterClassW(&wc);
}

// The device's screen, at the origin of the real one: programs written for the device place
// children of the taskbar by its window rectangle, which equals its client area only there.
HWND CreateFrame(int width, int height) {
    // A popup tool window, so that a task list leaves it out.
    return CreateWindowExW(WS_EX_TOOLWINDOW, kFrameClass, L"Pocket PC", WS_POPUP | WS_VISIBLE, 0, 0,
                           width, height, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
}

std::string HandleText(HWND window) {
    char text[32];
    std::snprintf(text, sizeof text, "0x%llX",
                  static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(window)));
    return text;
}

// Written whole under another name and then renamed, so a reader never sees half of it.
bool WriteReadyFile(const std::wstring& path, const std::string& text) {
    std::wstring temporary = path + L".tmp";
    HANDLE file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    BOOL ok = WriteFile(file, text.data(), DWORD(text.size()), &written, nullptr);
    CloseHandle(file);
    return ok && MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
}

int Usage(const std::wstring& why) {
    std::fwprintf(stderr, L"standin-shell: %ls\n%ls", why.c_str(), kUsage);
    return kUsageExitCode;
}

int Fail(const std::wstring& why) {
    std::fwprintf(stderr, L"standin-shell: %ls\n", why.c_str());
    return 1;
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
    // Lengths are in real pixels, scaled by the program that draws them.
    SetProcessDPIAware();

    std::vector<std::wstring> args(__wargv + 1, __wargv + __argc);
    Options options;
    std::wstring error;
    if (!ParseOptions(args, options, error))
        return Usage(error);
    // The programs' threads write to it until the process ends; it is never freed.
    Record* record = new Record(options.recordFile);

    RegisterShellClass(kFrameClass, FrameProc, GetSysColorBrush(COLOR_APPWORKSPACE));
    RegisterShellClass(kTaskbarClass, TaskbarProc, nullptr);
    RegisterShellClass(kDesktopClass, DesktopProc,
                       static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));

    HWND frame = CreateFrame(options.width, options.height);
    if (!frame)
        return Fail(L"cannot create the frame window");
    int width = options.width;
    int height = options.height;
    int taskbarHeight = ScaleY(kTaskbarHeightAt96Dpi, ScreenDpiY());
    // Owned by the frame, so that the desktop always stays in front of it.
    HWND desktop = CreateWindowExW(0, kDesktopClass, L"Desktop", WS_POPUP | WS_VISIBLE, 0,
                                   taskbarHeight, width, height - taskbarHeight, frame, nullptr,
                                   GetModuleHandleW(nullptr), nullptr);
    HWND taskbar = CreateWindowExW(
        WS_EX_TOPMOST, kTaskbarClass, L"", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, width,
        taskbarHeight, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!desktop || !taskbar)
        return Fail(L"cannot create the taskbar or the desktop");

    std::string ready =
        "taskbar\t" + HandleText(taskbar) + "\ndesktop\t" + HandleText(desktop) + "\n";
    RECT area = {0, taskbarHeight, width, height};
    for (const ProgramRequest& request : options.programs) {
        HWND window = StartProgram(request, area, *record);
        if (!window)
            return Fail(L"cannot start the program " + request.title);
        // The device has one input state for all its programs: sharing the shell's lets a
        // button in the taskbar keep the stylus (the capture) whichever program is in front.
        AttachThreadInput(GetWindowThreadProcessId(window, nullptr), GetCurrentThreadId(), TRUE);
        ready += "program\t" + Utf8(request.title) + "\t" + HandleText(window) + "\n";
    }
    if (options.seconds > 0)
        SetTimer(taskbar, kTimeOutTimer, UINT(options.seconds) * 1000, nullptr);
    if (!options.readyFile.empty() && !WriteReadyFile(options.readyFile, ready))
        return Fail(L"cannot write " + options.readyFile);

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    // Ends the programs' threads too, a hung one included.
    return int(msg.wParam);
}
