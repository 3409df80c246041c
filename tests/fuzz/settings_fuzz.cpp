// Fuzzes the settings as the settings program or a damaged registry may leave them: the bytes
// become the values of the settings key (any name of the record, or another, with any type and
// length), exception subkeys and ignored programs. vexo then reloads them as it does on the
// settings program's message, paints its button and opens its task menu once. Besides what the
// sanitizers catch, the record must stay usable and the menu must leave nothing behind.
#include <windows.h>

#include <cesim/device.h>
#include <cesim/menus.h>
#include <cesim/programs.h>
#include <cesim/registry.h>

#include "config/config.h"
#include "config/language.h"
#include "config/log.h"
#include "device/radios.h"
#include "menu/taskmenu.h"
#include "shell/backbuffer.h"
#include "shell/dpi.h"
#include "shell/gestures.h"
#include "shell/mainwindow.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace {

const char kSettings[] = "HKEY_CURRENT_USER\\Software\\Holmvest\\Vexo";

// Every value the record reads, so that most records hit a name that matters.
const char* const kNames[] = {
    "InstallDir",        "TapAction",
    "TapAndHoldAction",  "GestureAction",
    "TLHWKey",           "AltTab",
    "CompactMode",       "ShowDesktop",
    "ShowSoftReset",     "ShowDisplayOff",
    "ShowLandscapeLeft", "ShowLandscapeRight",
    "ShowPowerOff",      "ShowTaskOperations",
    "ShowWiFi",          "ShowBth",
    "WiFiDevice",        "ClrMenuHiBg",
    "ClrMenuHiFg",       "ClrMenuBg",
    "ClrMenuFg",         "Page",
    "OldStyleButton",    "ConfirmSoftReset",
    "ConfirmTerminate",  "KillTimeout",
    "ShowDot",           "OldStyleBkgnd",
    "LongPressTimeout",  "AltTabTimeout",
    "LogFile",           "LogLevel",
};
const size_t kNameCount = sizeof kNames / sizeof kNames[0];

void Check(bool holds) {
    if (!holds)
        std::abort();
}

// Reads the fuzzer's bytes front to back; past the end everything reads as zero.
struct Bytes {
    const uint8_t* data;
    size_t size;
    size_t at = 0;

    bool More() const { return at < size; }
    uint8_t Byte() { return at < size ? data[at++] : 0; }
    std::vector<uint8_t> Take(size_t n) {
        n = std::min(n, size - at);
        std::vector<uint8_t> out(data + at, data + at + n);
        at += n;
        return out;
    }
    // A registry name: a few bytes as UTF-16 units, which may be any units at all.
    std::string Name() {
        std::u16string name;
        size_t n = Byte() % 12;
        for (size_t i = 0; i < n; ++i) {
            char16_t unit = char16_t(Byte() | (Byte() << 8));
            name.push_back(unit ? unit : u'x');
        }
        return cesim::reg::ToUtf8(name);
    }
    // A key's name, which never holds the separator of a path.
    std::string KeyName() {
        std::string name = Name();
        std::replace(name.begin(), name.end(), '\\', '_');
        return name.empty() ? "p" : name;
    }
};

// One value: its name, its type and data. A length byte with the top bit set repeats the data
// up to a little past the 64 KB the loader accepts: everything longer takes the same refusal,
// and fresh memory of that size is most of what a long value costs an input.
void AddValue(Bytes& in, const std::string& key, const std::string& name) {
    uint8_t kind = in.Byte();
    DWORD type = kind < 0xF0 ? DWORD(kind % 8) : DWORD(kind) << 8;
    uint8_t length = in.Byte();
    std::vector<uint8_t> data = in.Take(length & 0x3F);
    if (length & 0x80) {
        size_t target = size_t(length & 0x7F) * 520 + data.size();
        if (data.empty())
            data = {'A', 0};
        // Whole copies of the unit, doubled in place rather than appended one at a time.
        size_t unit = data.size(), total = (target + unit - 1) / unit * unit;
        data.resize(total);
        for (size_t done = unit; done < total;) {
            size_t n = std::min(done, total - done);
            std::copy_n(data.begin(), n, data.begin() + ptrdiff_t(done));
            done += n;
        }
    }
    cesim::reg::SetValue(key, name, type, std::move(data));
}

void BuildSettings(Bytes& in) {
    cesim::reg::DeleteKey(kSettings);
    cesim::reg::SetDword(kSettings, "LogLevel", 0);
    std::string exceptions = std::string(kSettings) + "\\Exceptions";
    std::string ignored = std::string(kSettings) + "\\IgnoredApps";
    while (in.More()) {
        uint8_t op = in.Byte();
        switch (op % 6) {
        case 0:
        case 1:
        case 2:
            AddValue(in, kSettings, kNames[in.Byte() % kNameCount]);
            break;
        case 3:
            AddValue(in, kSettings, in.Name());
            break;
        case 4: {
            std::string key = exceptions + "\\" + in.KeyName();
            static const char* const kFields[] = {"ExeName", "TapAction", "GestureAction"};
            AddValue(in, key, in.Byte() % 4 < 3 ? kFields[in.Byte() % 3] : in.Name());
            break;
        }
        default:
            AddValue(in, ignored,
                     in.Byte() % 2 ? "Item" + std::to_string(in.Byte() % 8) : in.Name());
            break;
        }
    }
}

// ---- the program's thread ----------------------------------------------------------------

const UINT kRunOnThread = WM_APP + 0x100;
DWORD programThread = 0;
DWORD programProcess = 0;

int ProgramMain(HINSTANCE instance, HINSTANCE, LPWSTR, int) {
    appInstance = instance;
    AllocateStringRing();
    config.Load();
    ReadScreenDpi();
    InitWiFiDeviceName();
    CreateLanguageTable();
    WNDCLASSW wc = {};
    wc.lpfnWndProc = VexoWndProc;
    wc.hInstance = instance;
    wc.lpszClassName = kButtonClassName;
    RegisterClassW(&wc);
    readConfigMessage = RegisterWindowMessageW(kReadConfigMessageName);
    desktopWindow = FindWindowW(L"DesktopExplorerWindow", L"Desktop");
    taskbarWindow = FindWindowW(L"HHTaskBar", nullptr);
    RECT taskbar = {};
    GetWindowRect(taskbarWindow, &taskbar);
    int height = taskbar.bottom - taskbar.top - 2 * Sy(2);
    buttonWindow = CreateWindowExW(0, kButtonClassName, kButtonWindowTitle, WS_CHILD | WS_VISIBLE,
                                   taskbar.right - Sx(28), taskbar.top + Sy(2), Sx(28), height,
                                   taskbarWindow, nullptr, instance, nullptr);
    CreateBackBuffer(Sx(28), height);
    programThread = GetCurrentThreadId();
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0)) {
        if (!msg.hwnd && msg.message == kRunOnThread) {
            auto* fn = reinterpret_cast<std::function<void()>*>(msg.lParam);
            (*fn)();
            delete fn;
            continue;
        }
        // A command the menu posts is not run: it could end the program or the device.
        if (msg.hwnd == buttonWindow && msg.message == WM_COMMAND)
            continue;
        DispatchMessageW(&msg);
    }
    return 0;
}

// Returns once fn has returned or, when it shows the menu, once the menu waits for the user;
// the program's thread frees fn when it is done.
void RunOnProgramThread(std::function<void()> fn) {
    PostThreadMessageW(programThread, kRunOnThread, 0,
                       reinterpret_cast<LPARAM>(new std::function<void()>(std::move(fn))));
    cesim::Settle();
}

void StartTasks() {
    static const char16_t* const kTitles[] = {u"Notes", u"Calendar", u"Pocket Word"};
    for (const char16_t* title : kTitles) {
        cesim::SimProgram p;
        p.modulePath = u"\\Windows\\" + std::u16string(title) + u".exe";
        p.icon = cesim::ShellIcon::Notes;
        cesim::SimWindow w;
        w.title = title;
        p.windows.push_back(w);
        cesim::StartSimulatedProgram(p);
    }
}

size_t Length(const WCHAR* text) {
    size_t n = 0;
    while (text[n])
        ++n;
    return n;
}

void CheckRecord() {
    Check(config.WiFiDevice && config.LogFile);
    Check(config.IgnoredAppsCount >= 0 && (config.IgnoredAppsCount == 0 || config.IgnoredApps));
    for (int i = 0; i < config.IgnoredAppsCount; ++i)
        Check(config.IgnoredApps[i] && config.IgnoredApps[i][0]);
    Check(config.ExceptionsCount >= 0 && (config.ExceptionsCount == 0 || config.Exceptions));
    for (int i = 0; i < config.ExceptionsCount; ++i)
        Check(config.Exceptions[i] && config.Exceptions[i]->ExeName);
    // Texts past the loader's limit are refused, so none is longer than it.
    Check(Length(config.LogFile) <= 0x8000 && Length(config.WiFiDevice) <= 0x8000);
}

} // namespace

// Each input allocates a great deal (a menu, its items, values of up to 66 KB). A quarantine of
// 16 MB still holds everything freed during several inputs, and eight frames of where a block
// was allocated or freed are enough to start from; together they make the target about a fifth
// faster. ASAN_OPTIONS in the environment overrides both, for a full report of a found input.
extern "C" const char* __asan_default_options() {
    return "quarantine_size_mb=16:malloc_context_size=8";
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    cesim::Boot();
    StartTasks();
    cesim::ProgramImage image;
    image.entry = &ProgramMain;
    image.modulePath = u"\\Program Files\\Vexo\\vexo.exe";
    image.resources = cesim::ProgramResourceSection();
    programProcess = cesim::StartProgram(image);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Bytes in{data, size};
    BuildSettings(in);
    size_t objects = cesim::LiveGdiObjects(programProcess);
    RunOnProgramThread([] {
        // What the settings program's message does, then what start-up derives from the
        // settings: the WiFi device's name, the language file, the log.
        OnReadConfig();
        CheckRecord();
        FreeWiFiDeviceName();
        InitWiFiDeviceName();
        DestroyLanguageTable();
        CreateLanguageTable();
        if (config.LogLevel) {
            Log log(config.LogFile, 1);
            log.Write(1, "%s", "fuzz");
            DeleteFileW(config.LogFile);
        }
        InvalidateRect(buttonWindow, nullptr, FALSE);
        UpdateWindow(buttonWindow);
        menuOpen = true;
        ShowTaskMenu();
    });
    // The menu waits for the user; the escape key closes it.
    if (cesim::ActiveMenu())
        cesim::PressKey(VK_ESCAPE);
    RunOnProgramThread([] { menuOpen = false; });
    Check(!cesim::ActiveMenu());
    Check(cesim::LiveMenus(programProcess) == 0);
    Check(cesim::LiveGdiObjects(programProcess) == objects);
    return 0;
}
