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
    HWND trayIcons = nullptr;
    HWND closeButton = nullptr;
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

const uint32_t kGlyph = 0xFFFFFF;

// The shell draws its own windows straight into their surfaces. The taskbar and its children
// share one gradient from top to bottom; the children add their glyphs in white.
void PaintTaskbar(HWND window) {
    uint32_t top = PixelFromColorref(ThemeEntry(8, RGB(40, 110, 200)));
    uint32_t bottom = PixelFromColorref(ThemeEntry(6, RGB(16, 52, 120)));
    HWND tray = S().trayIcons, close = S().closeButton;
    Kernel::Lock lock(Kernel::Mutex());
    Window* w = WindowManager::Find(lock, window);
    if (!w)
        return;
    Surface& s = w->surface;
    for (int y = 0; y < s.height; ++y)
        for (int x = 0; x < s.width; ++x)
            s.set(x, y, Blend(top, bottom, y, s.height - 1));
    if (window == tray) {
        // One square outline per notification icon, each as wide as the bar is high.
        for (int left = 0; left + s.height <= s.width; left += s.height)
            for (int i = s.height / 4; i < s.height - s.height / 4; ++i) {
                s.set(left + i, s.height / 4, kGlyph);
                s.set(left + i, s.height - 1 - s.height / 4, kGlyph);
                s.set(left + s.height / 4, i, kGlyph);
                s.set(left + s.height - 1 - s.height / 4, i, kGlyph);
            }
    } else if (window == close) {
        // The shell's own close mark, which a program that puts a button there covers.
        int size = std::min(s.width, s.height) / 2;
        int left = (s.width - size) / 2, topY = (s.height - size) / 2;
        for (int i = 0; i < size; ++i) {
            s.set(left + i, topY + i, kGlyph);
            s.set(left + size - 1 - i, topY + i, kGlyph);
        }
    }
}

void PaintDesktop(HWND window) {
    Kernel::Lock lock(Kernel::Mutex());
    Window* w = WindowManager::Find(lock, window);
    if (!w)
        return;
    std::fill(w->surface.pixels.begin(), w->surface.pixels.end(), 0xFFFFFFu);
}

// Moves one of the taskbar's own children along with the taskbar's right end.
void KeepAtRightEnd(HWND child, HWND taskbar, int widthChange) {
    RECT r = {0, 0, 0, 0};
    if (!child || !GetWindowRect(child, &r))
        return;
    POINT at = {r.left, r.top};
    ScreenToClient(taskbar, &at);
    SetWindowPos(child, nullptr, at.x + widthChange, at.y, 0, 0,
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOSIZE);
}

// After the screen has turned, the taskbar spans the new width, its notification icons and close
// button stay at its right end, and the desktop covers the new screen.
void LayOutShell() {
    Display display = CurrentDisplay();
    HWND taskbar, desktop, tray, close;
    {
        Kernel::Lock lock(Kernel::Mutex());
        taskbar = S().taskbar;
        desktop = S().desktop;
        tray = S().trayIcons;
        close = S().closeButton;
    }
    RECT bar = {0, 0, 0, 0};
    if (taskbar && GetWindowRect(taskbar, &bar) && bar.right - bar.left != display.width) {
        SetWindowPos(taskbar, nullptr, 0, 0, display.width, bar.bottom - bar.top,
                     SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);
        int widthChange = display.width - (bar.right - bar.left);
        KeepAtRightEnd(tray, taskbar, widthChange);
        KeepAtRightEnd(close, taskbar, widthChange);
    }
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
        if (window == S().taskbar || window == S().trayIcons || window == S().closeButton)
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
    wc.lpszClassName = L"SimTrayIcons";
    RegisterClassW(&wc);
    wc.lpszClassName = L"SimCloseButton";
    RegisterClassW(&wc);
    HWND desktop =
        CreateWindowExW(0, L"DesktopExplorerWindow", L"Desktop", WS_VISIBLE, 0, 0, display.width,
                        display.height, nullptr, nullptr, wc.hInstance, nullptr);
    int height = (26 * display.dpiY + 48) / 96;
    HWND taskbar = nullptr;
    HWND tray = nullptr, close = nullptr;
    if (withTaskbar) {
        taskbar = CreateWindowExW(WS_EX_TOPMOST, L"HHTaskBar", L"", WS_VISIBLE, 0, 0, display.width,
                                  height, nullptr, nullptr, wc.hInstance, nullptr);
        // A taskbar has children of its own besides what programs put there: the notification
        // icons, and at the right end the shell's close button.
        int closeWidth = (28 * display.dpiX + 48) / 96;
        int icons = 3 * height;
        tray = CreateWindowExW(0, L"SimTrayIcons", L"", WS_CHILD | WS_VISIBLE,
                               display.width - closeWidth - icons, 0, icons, height, taskbar,
                               nullptr, wc.hInstance, nullptr);
        close = CreateWindowExW(0, L"SimCloseButton", L"", WS_CHILD | WS_VISIBLE,
                                display.width - closeWidth, 0, closeWidth, height, taskbar, nullptr,
                                wc.hInstance, nullptr);
    }
    {
        Kernel::Lock lock(Kernel::Mutex());
        S().desktop = desktop;
        S().taskbar = taskbar;
        S().trayIcons = tray;
        S().closeButton = close;
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
