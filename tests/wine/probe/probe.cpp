// Looks at Win32 state from outside the program under test and pokes it, printing what it
// finds as text lines that a shell script reads.
//
// A target names a window: CLASS or CLASS:TITLE for a top-level window, PARENT/CLASS[:TITLE]
// for a child of the top-level window PARENT (the first in z-order of those that match).
#include <windows.h>

#include <prsht.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

constexpr int kNotFound = 1;
constexpr int kUsage = 2;
constexpr UINT kHotKeyModifiers = MOD_WIN | 0x1000; // the device's key-up flag
constexpr UINT kSendTimeoutMs = 5000;

struct Name {
    std::wstring className;
    std::wstring title;
    bool anyTitle = true;
};

struct Target {
    bool child = false;
    Name parent;
    Name window;
};

Name ParseName(const std::wstring& text) {
    Name name;
    size_t colon = text.find(L':');
    name.className = text.substr(0, colon);
    if (colon != std::wstring::npos) {
        name.title = text.substr(colon + 1);
        name.anyTitle = false;
    }
    return name;
}

Target ParseTarget(const std::wstring& text) {
    Target target;
    size_t slash = text.find(L'/');
    if (slash == std::wstring::npos) {
        target.window = ParseName(text);
    } else {
        target.child = true;
        target.parent = ParseName(text.substr(0, slash));
        target.window = ParseName(text.substr(slash + 1));
    }
    return target;
}

// Every window the target matches, in z-order.
std::vector<HWND> FindAll(const Target& target) {
    std::vector<HWND> found;
    HWND parent = nullptr;
    if (target.child) {
        const Name& p = target.parent;
        parent = FindWindowW(p.className.c_str(), p.anyTitle ? nullptr : p.title.c_str());
        if (!parent)
            return found;
    }
    const Name& w = target.window;
    for (HWND h = nullptr;;) {
        h = FindWindowExW(parent, h, w.className.c_str(), w.anyTitle ? nullptr : w.title.c_str());
        if (!h)
            break;
        found.push_back(h);
    }
    return found;
}

std::string Utf8(const std::wstring& text) {
    int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), int(text.size()), nullptr, 0, nullptr,
                                nullptr);
    std::string out(size_t(n > 0 ? n : 0), '\0');
    if (n > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), int(text.size()), &out[0], n, nullptr,
                            nullptr);
    return out;
}

unsigned long long HandleValue(HWND window) {
    return static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(window));
}

void PrintWindow(HWND window, size_t count) {
    wchar_t className[256] = L"";
    wchar_t title[256] = L"";
    GetClassNameW(window, className, 256);
    GetWindowTextW(window, title, 256);
    RECT r = {};
    GetWindowRect(window, &r);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    std::printf("hwnd=0x%llX\n", HandleValue(window));
    std::printf("class=%s\n", Utf8(className).c_str());
    std::printf("title=%s\n", Utf8(title).c_str());
    std::printf("rect=%ld %ld %ld %ld\n", r.left, r.top, r.right, r.bottom);
    std::printf("style=0x%08lX\n", static_cast<unsigned long>(GetWindowLongW(window, GWL_STYLE)));
    std::printf("exstyle=0x%08lX\n",
                static_cast<unsigned long>(GetWindowLongW(window, GWL_EXSTYLE)));
    std::printf("parent=0x%llX\n", HandleValue(GetAncestor(window, GA_PARENT)));
    std::printf("pid=%lu\n", static_cast<unsigned long>(pid));
    std::printf("count=%zu\n", count);
}

int Info(const Target& target) {
    std::vector<HWND> found = FindAll(target);
    if (found.empty()) {
        std::printf("not found\n");
        return kNotFound;
    }
    PrintWindow(found.front(), found.size());
    return 0;
}

// Polls until the target exists (or, with gone, no longer exists) or the time is up.
int Wait(const Target& target, double seconds, bool gone) {
    DWORD deadline = GetTickCount() + DWORD(seconds * 1000);
    for (;;) {
        std::vector<HWND> found = FindAll(target);
        if (gone ? found.empty() : !found.empty())
            break;
        if (LONG(GetTickCount() - deadline) >= 0) {
            std::printf(gone ? "still there\n" : "not found\n");
            return kNotFound;
        }
        Sleep(50);
    }
    return gone ? (std::printf("gone\n"), 0) : Info(target);
}

// A number (decimal or 0x hex), one of a few names, or else the name of a registered message.
UINT ParseMessage(const std::wstring& text) {
    struct Known {
        const wchar_t* name;
        UINT message;
    };
    static const Known known[] = {
        {L"WM_CLOSE", WM_CLOSE},
        {L"WM_QUIT", WM_QUIT},
        {L"WM_COMMAND", WM_COMMAND},
        {L"PSM_PRESSBUTTON", PSM_PRESSBUTTON},
        {L"PSM_GETCURRENTPAGEHWND", PSM_GETCURRENTPAGEHWND},
    };
    if (!text.empty() && iswdigit(text[0]))
        return UINT(std::wcstoul(text.c_str(), nullptr, 0));
    for (const Known& k : known)
        if (text == k.name)
            return k.message;
    return RegisterWindowMessageW(text.c_str());
}

ULONG_PTR ParseNumber(const std::vector<std::wstring>& args, size_t i) {
    return i < args.size() ? ULONG_PTR(std::wcstoull(args[i].c_str(), nullptr, 0)) : 0;
}

int Deliver(const std::vector<std::wstring>& args, bool post) {
    std::vector<HWND> found = FindAll(ParseTarget(args[1]));
    if (found.empty()) {
        std::printf("not found\n");
        return kNotFound;
    }
    UINT message = ParseMessage(args[2]);
    WPARAM wParam = ParseNumber(args, 3);
    LPARAM lParam = LPARAM(ParseNumber(args, 4));
    std::printf("message=0x%04X\n", message);
    if (post) {
        if (!PostMessageW(found.front(), message, wParam, lParam)) {
            std::printf("error=%lu\n", GetLastError());
            return kNotFound;
        }
        return 0;
    }
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(found.front(), message, wParam, lParam, SMTO_ABORTIFHUNG,
                             kSendTimeoutMs, &result)) {
        std::printf("error=%lu\n", GetLastError());
        return kNotFound;
    }
    std::printf("result=0x%llX\n", static_cast<unsigned long long>(result));
    return 0;
}

// Whether another program holds the hot key of the device's kind for the key.
int HotKeyFree(UINT vk) {
    if (RegisterHotKey(nullptr, 1, kHotKeyModifiers, vk)) {
        UnregisterHotKey(nullptr, 1);
        std::printf("free\n");
        return 0;
    }
    DWORD error = GetLastError();
    if (error == ERROR_HOTKEY_ALREADY_REGISTERED) {
        std::printf("taken\n");
        return 0;
    }
    std::printf("error=%lu\n", error);
    return kNotFound;
}

// Holds the hot key for a while, so that a check can see how another holder shows.
int HoldHotKey(UINT vk, double seconds) {
    if (!RegisterHotKey(nullptr, 1, kHotKeyModifiers, vk)) {
        std::printf("error=%lu\n", GetLastError());
        return kNotFound;
    }
    std::printf("held\n");
    std::fflush(stdout);
    Sleep(DWORD(seconds * 1000));
    UnregisterHotKey(nullptr, 1);
    return 0;
}

int Dpi() {
    HDC screen = GetDC(nullptr);
    std::printf("%d %d\n", GetDeviceCaps(screen, LOGPIXELSX), GetDeviceCaps(screen, LOGPIXELSY));
    ReleaseDC(nullptr, screen);
    return 0;
}

// Every system colour as INDEX=0xBBGGRR (a COLORREF), for a simulated device to copy.
int SysColors() {
    for (int index = 0; index <= COLOR_GRADIENTINACTIVECAPTION; ++index)
        std::printf("%d=0x%06lX\n", index, static_cast<unsigned long>(GetSysColor(index)));
    return 0;
}

int Screen() {
    HDC screen = GetDC(nullptr);
    std::printf("%d %d\n", GetDeviceCaps(screen, HORZRES), GetDeviceCaps(screen, VERTRES));
    ReleaseDC(nullptr, screen);
    return 0;
}

// Repaints the target's client area, copies it through a 32-bit DIB section and writes it as
// a binary PPM, the simplest format a comparison on the host can read. The copy is taken from
// the screen: Wine refuses a BitBlt from the window DC of another process's window.
int Capture(const Target& target, const std::wstring& path) {
    std::vector<HWND> found = FindAll(target);
    if (found.empty()) {
        std::printf("not found\n");
        return kNotFound;
    }
    HWND window = found.front();
    // The paint happens on the owner's thread; give it time to finish before the copy.
    InvalidateRect(window, nullptr, FALSE);
    Sleep(300);
    RECT client = {};
    GetClientRect(window, &client);
    int width = client.right - client.left;
    int height = client.bottom - client.top;
    if (width <= 0 || height <= 0) {
        std::printf("error=empty client area\n");
        return kNotFound;
    }
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height; // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    POINT origin = {0, 0};
    ClientToScreen(window, &origin);
    HDC screenDc = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screenDc);
    HBITMAP section = CreateDIBSection(screenDc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ previous = SelectObject(memory, section);
    BOOL copied = BitBlt(memory, 0, 0, width, height, screenDc, origin.x, origin.y, SRCCOPY);
    GdiFlush();
    int result = 0;
    FILE* out = copied && bits ? _wfopen(path.c_str(), L"wb") : nullptr;
    if (out) {
        std::fprintf(out, "P6\n%d %d\n255\n", width, height);
        const unsigned char* p = static_cast<const unsigned char*>(bits);
        for (int i = 0; i < width * height; ++i, p += 4) {
            unsigned char rgb[3] = {p[2], p[1], p[0]};
            std::fwrite(rgb, 1, 3, out);
        }
        if (std::fclose(out) == 0) {
            std::printf("size=%d %d\n", width, height);
        } else {
            std::printf("error=write failed\n");
            result = kNotFound;
        }
    } else {
        std::printf("error=%s %lu\n", copied ? "cannot open the file" : "BitBlt failed",
                    GetLastError());
        result = kNotFound;
    }
    SelectObject(memory, previous);
    DeleteObject(section);
    DeleteDC(memory);
    ReleaseDC(nullptr, screenDc);
    return result;
}

// Makes the target child window a topmost top-level window at the same place on the screen.
// Wine shows nothing of what a process paints into a child of another process's window, so a
// child that should be captured is first taken out of its parent.
int Detach(const Target& target) {
    std::vector<HWND> found = FindAll(target);
    if (found.empty()) {
        std::printf("not found\n");
        return kNotFound;
    }
    HWND window = found.front();
    RECT r = {};
    GetWindowRect(window, &r);
    LONG style = GetWindowLongW(window, GWL_STYLE);
    SetWindowLongW(window, GWL_STYLE, (style & ~WS_CHILD) | WS_POPUP);
    SetParent(window, nullptr);
    SetWindowPos(window, HWND_TOPMOST, r.left, r.top, r.right - r.left, r.bottom - r.top,
                 SWP_NOACTIVATE | SWP_SHOWWINDOW | SWP_FRAMECHANGED);
    PrintWindow(window, 1);
    return 0;
}

// Brings the target to the foreground and prints the class of what is in front afterwards.
int Foreground(const Target& target) {
    std::vector<HWND> found = FindAll(target);
    if (found.empty()) {
        std::printf("not found\n");
        return kNotFound;
    }
    SetForegroundWindow(found.front());
    Sleep(100);
    wchar_t className[256] = L"";
    GetClassNameW(GetForegroundWindow(), className, 256);
    std::printf("foreground=%s\n", Utf8(className).c_str());
    return GetForegroundWindow() == found.front() ? 0 : kNotFound;
}

// The window in front, as info prints a target.
int Front() {
    HWND window = GetForegroundWindow();
    if (!window) {
        std::printf("not found\n");
        return kNotFound;
    }
    PrintWindow(window, 1);
    return 0;
}

int Usage();

// ---- input as a user's hand gives it, through SendInput ----------------------------------

void SendMouse(DWORD flags, int x, int y) {
    INPUT input = {};
    input.type = INPUT_MOUSE;
    int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    // The smallest normalised coordinate that lands on the pixel.
    input.mi.dx = LONG(((LONGLONG(x) << 16) + width - 1) / width);
    input.mi.dy = LONG(((LONGLONG(y) << 16) + height - 1) / height);
    input.mi.dwFlags = flags | MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    SendInput(1, &input, sizeof input);
}

void SendKey(WORD vk, bool up) {
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = vk;
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    SendInput(1, &input, sizeof input);
}

// Down at the first point, moves every 10 ms on a straight line to the last, up there.
int Stroke(int x1, int y1, int x2, int y2, DWORD ms) {
    SendMouse(0, x1, y1);
    SendMouse(MOUSEEVENTF_LEFTDOWN, x1, y1);
    DWORD steps = ms / 10;
    for (DWORD i = 1; i <= steps; ++i) {
        Sleep(10);
        if (x1 != x2 || y1 != y2)
            SendMouse(0, x1 + int(LONGLONG(x2 - x1) * i / steps),
                      y1 + int(LONGLONG(y2 - y1) * i / steps));
    }
    SendMouse(MOUSEEVENTF_LEFTUP, x2, y2);
    POINT at = {};
    GetCursorPos(&at);
    std::printf("up=%ld %ld\n", at.x, at.y);
    return 0;
}

// A hardware key of the device: the Windows key held with it, as the device reports them.
int PressKey(WORD vk, DWORD ms) {
    SendKey(VK_LWIN, false);
    SendKey(vk, false);
    Sleep(ms);
    SendKey(vk, true);
    SendKey(VK_LWIN, true);
    return 0;
}

// Started with nothing to do, as a program that another one starts: says how it was started.
int ReportStart() {
    const wchar_t* file = _wgetenv(L"VEXO_PROBE_STARTED");
    if (!file)
        return Usage();
    FILE* out = _wfopen(file, L"ab");
    if (!out)
        return kNotFound;
    std::fprintf(out, "%s\n", Utf8(GetCommandLineW()).c_str());
    std::fclose(out);
    return 0;
}

int Usage() {
    std::fputs("usage: probe dpi\n"
               "       probe info TARGET\n"
               "       probe wait TARGET SECONDS | wait-gone TARGET SECONDS\n"
               "       probe send TARGET MESSAGE [WPARAM [LPARAM]]\n"
               "       probe post TARGET MESSAGE [WPARAM [LPARAM]]\n"
               "       probe hotkey-free VK | hold-hotkey VK SECONDS\n"
               "       probe syscolors | screen | capture TARGET FILE.ppm | detach TARGET\n"
               "       probe foreground TARGET | front\n"
               "       probe tap X Y MS | drag X1 Y1 X2 Y2 MS | key VK MS\n"
               "With no command and VEXO_PROBE_STARTED naming a file, appends its command\n"
               "line to that file.\n"
               "TARGET: CLASS[:TITLE] or PARENTCLASS[:TITLE]/CLASS[:TITLE]\n",
               stderr);
    return kUsage;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    // Rectangles and the DPI in real pixels, whatever the screen's scale.
    SetProcessDPIAware();
    std::vector<std::wstring> args(argv + 1, argv + argc);
    if (args.empty())
        return ReportStart();
    const std::wstring& command = args[0];
    int result = kUsage;
    if (command == L"dpi" && args.size() == 1)
        result = Dpi();
    else if (command == L"info" && args.size() == 2)
        result = Info(ParseTarget(args[1]));
    else if ((command == L"wait" || command == L"wait-gone") && args.size() == 3)
        result = Wait(ParseTarget(args[1]), std::wcstod(args[2].c_str(), nullptr),
                      command == L"wait-gone");
    else if ((command == L"send" || command == L"post") && args.size() >= 3 && args.size() <= 5)
        result = Deliver(args, command == L"post");
    else if (command == L"hotkey-free" && args.size() == 2)
        result = HotKeyFree(UINT(std::wcstoul(args[1].c_str(), nullptr, 0)));
    else if (command == L"hold-hotkey" && args.size() == 3)
        result = HoldHotKey(UINT(std::wcstoul(args[1].c_str(), nullptr, 0)),
                            std::wcstod(args[2].c_str(), nullptr));
    else if (command == L"syscolors" && args.size() == 1)
        result = SysColors();
    else if (command == L"screen" && args.size() == 1)
        result = Screen();
    else if (command == L"capture" && args.size() == 3)
        result = Capture(ParseTarget(args[1]), args[2]);
    else if (command == L"detach" && args.size() == 2)
        result = Detach(ParseTarget(args[1]));
    else if (command == L"foreground" && args.size() == 2)
        result = Foreground(ParseTarget(args[1]));
    else if (command == L"front" && args.size() == 1)
        result = Front();
    else if (command == L"tap" && args.size() == 4)
        result =
            Stroke(int(ParseNumber(args, 1)), int(ParseNumber(args, 2)), int(ParseNumber(args, 1)),
                   int(ParseNumber(args, 2)), DWORD(ParseNumber(args, 3)));
    else if (command == L"drag" && args.size() == 6)
        result =
            Stroke(int(ParseNumber(args, 1)), int(ParseNumber(args, 2)), int(ParseNumber(args, 3)),
                   int(ParseNumber(args, 4)), DWORD(ParseNumber(args, 5)));
    else if (command == L"key" && args.size() == 3)
        result = PressKey(WORD(ParseNumber(args, 1)), DWORD(ParseNumber(args, 2)));
    else
        return Usage();
    std::fflush(stdout);
    return result;
}
