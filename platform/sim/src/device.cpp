// The driver API: booting the device, starting programs and looking at what they did.
#include <cesim/device.h>
#include <cesim/registry.h>

#include "gdi.h"
#include "icon_store.h"
#include "input.h"
#include "kernel.h"
#include "menus.h"
#include "messages.h"
#include "processes.h"
#include "services.h"
#include "shell.h"
#include "shellfolders.h"
#include "sync.h"
#include "windowing.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include <stdlib.h>
#include <unistd.h>

namespace cesim {

namespace {

struct State {
    BootOptions options;
    bool booted = false;
};

State& S() {
    static State* state = new State;
    return *state;
}

// The colours of the default Pocket PC theme, as the shell keeps them.
void SeedThemeColors() {
    std::vector<uint8_t> table(41 * 4, 0);
    auto put = [&](int index, COLORREF c) {
        for (int i = 0; i < 4; ++i)
            table[index * 4 + i] = uint8_t(c >> (8 * i));
    };
    put(6, RGB(16, 52, 120));
    put(8, RGB(40, 110, 200));
    put(9, RGB(255, 255, 255));
    put(13, RGB(0, 0, 0));
    reg::SetValue("HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Color", "SHColor", REG_BINARY,
                  table);
}

std::string MakeFileRoot() {
    std::filesystem::path base = std::filesystem::temp_directory_path();
    char name[64];
    std::snprintf(name, sizeof name, "cesim-%d-XXXXXX", int(::getpid()));
    std::string pattern = (base / name).string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back(0);
    const char* made = ::mkdtemp(buffer.data());
    if (!made) {
        std::fprintf(stderr, "cesim: cannot make a file root under %s\n", base.c_str());
        std::abort();
    }
    return made;
}

Window* WindowOf(const Kernel::Lock& lock, HWND h) { return WindowManager::Find(lock, h); }

void ComposeWindow(const Kernel::Lock& lock, const Window& w, int originX, int originY,
                   Surface& screen) {
    if (!(w.style & WS_VISIBLE))
        return;
    int left = originX + w.rect.left, top = originY + w.rect.top;
    for (int y = 0; y < w.surface.height; ++y) {
        for (int x = 0; x < w.surface.width; ++x) {
            uint32_t p = w.surface.at(x, y);
            if (p != kUnpainted)
                screen.set(left + x, top + y, p);
        }
    }
    for (auto it = w.children.rbegin(); it != w.children.rend(); ++it)
        if (const Window* child = WindowOf(lock, *it))
            ComposeWindow(lock, *child, left, top, screen);
}

// A fresh registry: the shell's built-in keys, then the driver's .reg file.
void InstallRegistry(const BootOptions& options) {
    reg::Clear();
    SeedThemeColors();
    if (!options.registryFile.empty()) {
        std::string error;
        if (!reg::ImportRegFile(options.registryFile, &error)) {
            std::fprintf(stderr, "cesim: cannot import %s: %s\n", options.registryFile.c_str(),
                         error.c_str());
            std::abort();
        }
    }
}

} // namespace

void Boot(const BootOptions& options) {
    BootDevice(options, false);
}

void BootDevice(const BootOptions& options, bool keepStorage) {
    if (S().booted)
        Kernel::Reset();
    {
        Kernel::Lock lock(Kernel::Mutex());
        WindowManager::Reset(lock);
        ResetMessages(lock);
        ResetInput(lock);
        ResetGdi(lock);
        ResetMenus(lock);
        ResetShellIcons(lock);
        ResetCriticalSections(lock);
    }
    S().options = options;
    if (S().options.fileRoot.empty())
        S().options.fileRoot = MakeFileRoot();
    std::filesystem::create_directories(S().options.fileRoot);
    MakeShellFolders();
    SetDisplay(Display{options.width, options.height, options.dpi});
    ResetProcesses();
    if (!keepStorage)
        InstallRegistry(options);
    BootDisplay(S().options);
    BootPower(keepStorage);
    BootPowerManager(keepStorage);
    BootBluetooth(keepStorage);
    BootMessageBoxes();
    S().booted = true;
    StartShell(options.taskbar);
}

const BootOptions& BootedWith() { return S().options; }

DWORD StartHelperProcess(const std::u16string& modulePath, std::function<void()> fn) {
    DWORD id = Kernel::StartProcess(modulePath, {}, u"", [fn](Process&) {
        fn();
        return 0;
    });
    Kernel::Settle();
    return id;
}

bool ProcessRunning(DWORD processId) {
    Kernel::Lock lock(Kernel::Mutex());
    Process* p = Kernel::FindProcess(lock, processId);
    return p && !p->ended;
}

int ProcessExitCode(DWORD processId) {
    Kernel::Lock lock(Kernel::Mutex());
    Process* p = Kernel::FindProcess(lock, processId);
    return p ? p->exitCode : -1;
}

ExitReport ProcessExitReport(DWORD processId) {
    Kernel::Lock lock(Kernel::Mutex());
    Process* p = Kernel::FindProcess(lock, processId);
    ExitReport report;
    if (p) {
        report.gdiObjects = p->leftGdiObjects;
        report.icons = p->leftIcons;
        report.windows = p->leftWindows;
        report.handles = p->leftHandles;
        report.menus = p->leftMenus;
    }
    return report;
}

void Settle() { Kernel::Settle(); }

void Advance(DWORD milliseconds) { Kernel::Advance(milliseconds); }

DWORD Now() {
    Kernel::Lock lock(Kernel::Mutex());
    return Kernel::Now(lock);
}

std::vector<HWND> TopLevelWindows() {
    Kernel::Lock lock(Kernel::Mutex());
    return WindowManager::TopLevel(lock);
}

std::vector<HWND> ChildWindows(HWND parent) {
    Kernel::Lock lock(Kernel::Mutex());
    Window* w = WindowOf(lock, parent);
    return w ? w->children : std::vector<HWND>();
}

std::optional<WindowInfo> Inspect(HWND window) {
    Kernel::Lock lock(Kernel::Mutex());
    Window* w = WindowOf(lock, window);
    if (!w)
        return std::nullopt;
    WindowInfo info;
    info.className = w->className;
    info.title = w->title;
    info.style = w->style;
    info.exStyle = w->exStyle;
    info.rect = WindowManager::ScreenRect(lock, *w);
    info.parent = w->parent;
    info.owner = w->owner;
    info.visible = (w->style & WS_VISIBLE) != 0;
    info.threadId = w->threadId;
    info.processId = w->processId;
    return info;
}

void SetTaskbarRect(const RECT& rect) {
    SetWindowPos(Taskbar(), nullptr, rect.left, rect.top, rect.right - rect.left,
                 rect.bottom - rect.top, SWP_NOZORDER | SWP_NOACTIVATE);
    Kernel::Settle();
}

Surface ComposeScreen() {
    Kernel::Settle();
    Kernel::Lock lock(Kernel::Mutex());
    Display d = CurrentDisplay(lock);
    Surface screen(d.width, d.height, 0);
    if (ScreenIsDark(lock))
        return screen;
    const std::vector<HWND>& top = WindowManager::TopLevel(lock);
    for (auto it = top.rbegin(); it != top.rend(); ++it)
        if (const Window* w = WindowOf(lock, *it))
            ComposeWindow(lock, *w, 0, 0, screen);
    return screen;
}

std::string Narrow(const std::u16string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        uint32_t c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        }
        if (c < 0x80) {
            out += char(c);
        } else if (c < 0x800) {
            out += char(0xC0 | (c >> 6));
            out += char(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += char(0xE0 | (c >> 12));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        } else {
            out += char(0xF0 | (c >> 18));
            out += char(0x80 | ((c >> 12) & 0x3F));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::u16string Widen(const std::string& text) {
    std::u16string out;
    size_t n = text.size();
    for (size_t i = 0; i < n;) {
        unsigned char lead = text[i];
        int extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 0;
        if ((lead >= 0x80 && lead < 0xC0) || i + extra >= n + (extra ? 0 : 1)) {
            out += char16_t(0xFFFD);
            ++i;
            continue;
        }
        uint32_t c = extra ? lead & (0x3F >> extra) : lead;
        for (int k = 1; k <= extra; ++k)
            c = (c << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        i += 1 + extra;
        if (c >= 0x10000) {
            c -= 0x10000;
            out += char16_t(0xD800 + (c >> 10));
            out += char16_t(0xDC00 + (c & 0x3FF));
        } else {
            out += char16_t(c);
        }
    }
    return out;
}

} // namespace cesim
