// The Pocket PC shell of the simulated device: the desktop window and the taskbar across the
// top of the screen, painted in the theme colours of the registry.
#include "shell.h"

#include "gdi.h"
#include "shellfolders.h"
#include "windowing.h"

#include <cesim/device.h>

#include <algorithm>

namespace cesim {

namespace {

struct State {
    HWND taskbar = nullptr;
    HWND desktop = nullptr;
};

State& S() {
    static State* state = new State;
    return *state;
}

COLORREF ThemeEntry(int index, COLORREF fallback) {
    HKEY key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Color", 0, 0, &key) != 0)
        return fallback;
    DWORD table[41] = {};
    DWORD size = sizeof table;
    COLORREF result = fallback;
    if (RegQueryValueExW(key, L"SHColor", nullptr, nullptr, reinterpret_cast<BYTE*>(table),
                         &size) == 0 &&
        size >= DWORD(index + 1) * 4)
        result = table[index];
    RegCloseKey(key);
    return result;
}

uint32_t Blend(uint32_t from, uint32_t to, int step, int steps) {
    auto channel = [&](int shift) {
        int a = (from >> shift) & 0xff, b = (to >> shift) & 0xff;
        return uint32_t(a + (b - a) * step / std::max(1, steps)) << shift;
    };
    return channel(16) | channel(8) | channel(0);
}

// The shell draws its own windows straight into their surfaces.
void PaintTaskbar(HWND window) {
    uint32_t top = PixelFromColorref(ThemeEntry(8, RGB(40, 110, 200)));
    uint32_t bottom = PixelFromColorref(ThemeEntry(6, RGB(16, 52, 120)));
    Kernel::Lock lock(Kernel::Mutex());
    Window* w = WindowManager::Find(lock, window);
    if (!w)
        return;
    Surface& s = w->surface;
    for (int y = 0; y < s.height; ++y)
        for (int x = 0; x < s.width; ++x)
            s.set(x, y, Blend(top, bottom, y, s.height - 1));
}

void PaintDesktop(HWND window) {
    Kernel::Lock lock(Kernel::Mutex());
    Window* w = WindowManager::Find(lock, window);
    if (!w)
        return;
    std::fill(w->surface.pixels.begin(), w->surface.pixels.end(), 0xFFFFFFu);
}

// After the screen has turned, the taskbar spans the new width and the desktop the new screen.
void LayOutShell() {
    Display display = CurrentDisplay();
    HWND taskbar, desktop;
    {
        Kernel::Lock lock(Kernel::Mutex());
        taskbar = S().taskbar;
        desktop = S().desktop;
    }
    RECT bar = {0, 0, 0, 0};
    if (taskbar && GetWindowRect(taskbar, &bar) && bar.right - bar.left != display.width)
        SetWindowPos(taskbar, nullptr, 0, 0, display.width, bar.bottom - bar.top,
                     SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);
    SetWindowPos(desktop, nullptr, 0, 0, display.width, display.height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT CALLBACK ShellWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    // Both windows hear of the turn; the desktop's copy lays out the two.
    if (message == WM_SETTINGCHANGE && wParam == SETTINGCHANGE_RESET) {
        if (window == DesktopWindow())
            LayOutShell();
        return 0;
    }
    if (message == WM_PAINT) {
        PAINTSTRUCT ps;
        BeginPaint(window, &ps);
        if (window == S().taskbar)
            PaintTaskbar(window);
        else
            PaintDesktop(window);
        EndPaint(window, &ps);
        return 0;
    }
    if (message == WM_ERASEBKGND)
        return 1;
    // The shell's windows never close on request.
    if (message == WM_CLOSE)
        return 0;
    return DefWindowProcW(window, message, wParam, lParam);
}

int ShellMain(const Display& display, bool withTaskbar) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = ShellWindowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"DesktopExplorerWindow";
    RegisterClassW(&wc);
    wc.lpszClassName = L"HHTaskBar";
    RegisterClassW(&wc);
    HWND desktop = CreateWindowExW(0, L"DesktopExplorerWindow", L"Desktop", WS_VISIBLE, 0, 0,
                                   display.width, display.height, nullptr, nullptr,
                                   wc.hInstance, nullptr);
    int height = (26 * display.dpi + 48) / 96;
    HWND taskbar = nullptr;
    if (withTaskbar)
        taskbar = CreateWindowExW(WS_EX_TOPMOST, L"HHTaskBar", L"", WS_VISIBLE, 0, 0,
                                   display.width, height, nullptr, nullptr, wc.hInstance,
                                   nullptr);
    {
        Kernel::Lock lock(Kernel::Mutex());
        S().desktop = desktop;
        S().taskbar = taskbar;
    }
    LaunchStartupPrograms();
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}

} // namespace

void StartShell(bool withTaskbar) {
    {
        Kernel::Lock lock(Kernel::Mutex());
        S() = State();
    }
    Display display = CurrentDisplay();
    Kernel::StartProcess(u"\\Windows\\shell32.exe", {}, u"",
                         [display, withTaskbar](Process&) { return ShellMain(display, withTaskbar); });
    Kernel::Settle();
}

HWND Taskbar() {
    Kernel::Lock lock(Kernel::Mutex());
    return S().taskbar;
}

HWND DesktopWindow() {
    Kernel::Lock lock(Kernel::Mutex());
    return S().desktop;
}

} // namespace cesim
