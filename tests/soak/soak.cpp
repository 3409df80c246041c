// Runs vexo on the simulated device for a day of virtual time, as a handheld would between
// resets, and fails when anything it holds creeps up: heap blocks, GDI objects, icons, menus,
// kernel handles, threads or windows. Programs come and go, some of them hang, the theme and
// the taskbar change, and in between the menu opens, tasks are closed, the switcher runs and the
// settings are reloaded.
//
//   vexo-soak [--ticks N] [--checkpoints N]     the whole day is 172800 ticks
//   vexo-soak --crowd                           1,000 windows and 128 hung programs at once
//
// The counts of menus, closes, switcher sessions and reloads follow the ticks: a day brings
// 10,000, 10,000, 10,000 and 1,000 of them.
#include <cesim/device.h>
#include <cesim/menus.h>
#include <cesim/programs.h>
#include <cesim/registry.h>
#include <cesim/stylus.h>

#include "shell/commandids.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <fstream>
#include <string>
#include <vector>

namespace {

const char kSettings[] = "HKEY_CURRENT_USER\\Software\\Holmvest\\Vexo";
const char kColors[] = "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Color";
const UINT kHotKey = 0xC1;
const DWORD kTick = 500;
const long kDayTicks = 172800;
const long kDayMenus = 10000, kDayCloses = 10000, kDaySwitches = 10000, kDayReloads = 1000;

int failures = 0;

void Fail(const std::string& what) {
    std::fprintf(stderr, "FAIL: %s\n", what.c_str());
    ++failures;
}

// ---- what vexo holds -------------------------------------------------------------------

struct Figures {
    size_t heapBlocks, gdiObjects, icons, menus, handles, threads, windows;
};

const char* const kFigureNames[] = {"heap blocks", "GDI objects", "icons",  "menus",
                                    "handles",     "threads",     "windows"};

std::vector<size_t> AsList(const Figures& f) {
    return {f.heapBlocks, f.gdiObjects, f.icons, f.menus, f.handles, f.threads, f.windows};
}

size_t WindowsOf(DWORD pid, const std::vector<HWND>& windows) {
    size_t n = 0;
    for (HWND w : windows) {
        auto info = cesim::Inspect(w);
        n += info && info->processId == pid;
        n += WindowsOf(pid, cesim::ChildWindows(w));
    }
    return n;
}

Figures Measure(DWORD pid) {
    return Figures{cesim::HeapBlocks(),
                   cesim::LiveGdiObjects(pid),
                   cesim::LiveIcons(pid),
                   cesim::LiveMenus(pid),
                   cesim::OpenHandles(pid),
                   cesim::LiveThreads(pid),
                   WindowsOf(pid, cesim::TopLevelWindows())};
}

void Print(const char* label, const Figures& f) {
    std::printf("%-12s heap %zu  gdi %zu  icons %zu  menus %zu  handles %zu  threads %zu  "
                "windows %zu\n",
                label, f.heapBlocks, f.gdiObjects, f.icons, f.menus, f.handles, f.threads,
                f.windows);
    std::fflush(stdout);
}

// Fails for each figure above its reference; `how` says which reference it is.
void ExpectNoGrowth(const Figures& now, const Figures& reference, const std::string& how) {
    std::vector<size_t> a = AsList(now), b = AsList(reference);
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i] > b[i])
            Fail(std::string(kFigureNames[i]) + " grew " + how + ": " + std::to_string(b[i]) +
                 " -> " + std::to_string(a[i]));
}

// ---- the device and vexo ---------------------------------------------------------------

HWND FindButton() {
    for (HWND child : cesim::ChildWindows(cesim::Taskbar())) {
        auto info = cesim::Inspect(child);
        if (info && info->className == u"VexoClass")
            return child;
    }
    return nullptr;
}

DWORD StartVexo() {
    cesim::ProgramImage vexo;
    vexo.entry = &WinMain;
    vexo.modulePath = u"\\Program Files\\Vexo\\vexo.exe";
    vexo.resources = cesim::ProgramResourceSection();
    return cesim::StartProgram(vexo);
}

POINT ButtonCentre() {
    RECT r = cesim::Inspect(FindButton())->rect;
    return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

void ReloadSettings() {
    UINT message = RegisterWindowMessageW(L"Holmvest::Vexo::Messages::ReadConfig");
    PostMessageW(FindButton(), message, 0, 0);
    cesim::Settle();
}

// The settings every checkpoint returns to, and the values a reload may change.
void WriteBaseSettings() {
    cesim::reg::DeleteKey(kSettings);
    cesim::reg::SetString(kSettings, "InstallDir", u"\\Program Files\\Vexo");
    cesim::reg::SetDword(kSettings, "TLHWKey", kHotKey);
    cesim::reg::SetDword(kSettings, "AltTab", 1);
    cesim::reg::SetDword(kSettings, "TapAction", 0);
    cesim::reg::SetDword(kSettings, "TapAndHoldAction", 2);
    cesim::reg::SetDword(kSettings, "GestureAction", 0);
    cesim::reg::SetDword(kSettings, "ConfirmTerminate", 0);
    cesim::reg::SetDword(kSettings, "KillTimeout", 2);
}

void WriteVariedSettings(long n) {
    cesim::reg::SetDword(kSettings, "ShowDot", n % 2);
    cesim::reg::SetDword(kSettings, "CompactMode", (n / 2) % 2);
    cesim::reg::SetDword(kSettings, "OldStyleButton", (n / 4) % 2);
    cesim::reg::SetDword(kSettings, "ShowSoftReset", (n / 3) % 2);
    cesim::reg::SetDword(kSettings, "ShowWiFi", (n / 5) % 2);
    cesim::reg::SetString(kSettings, "WiFiDevice", (n % 3) ? u"WLAN1" : u"");
    cesim::reg::SetDword(kSettings, "ClrMenuBg", 0x00E0E0E0 + DWORD(n % 16));
    std::string ignored = std::string(kSettings) + "\\IgnoredApps";
    cesim::reg::SetString(ignored, "Item0",
                          cesim::Widen("\\Windows\\app" + std::to_string(n % 7) + ".exe"));
    std::string exception = std::string(kSettings) + "\\Exceptions\\P" + std::to_string(n % 5);
    cesim::reg::SetString(exception, "ExeName", u"\\Windows\\app1.exe");
    cesim::reg::SetDword(exception, "TapAction", 1);
}

void SetTheme(long n) {
    static const COLORREF kHighlights[] = {RGB(0, 0, 128), RGB(0, 102, 204), RGB(200, 60, 0)};
    COLORREF highlight = kHighlights[n % 3];
    cesim::SetSysColor(COLOR_HIGHLIGHT, highlight);
    cesim::reg::SetDword(kColors, "6", RGB(40, 40, 40));
    cesim::reg::SetDword(kColors, "8", highlight);
    cesim::reg::SetDword(kColors, "9", RGB(255, 255, 255));
    cesim::reg::SetDword(kColors, "13", RGB(90, 90, 90));
}

// ---- programs coming and going ---------------------------------------------------------

struct Program {
    DWORD pid;
    bool hangs;
};

std::deque<Program> programs;
long programsStarted = 0;
long programsClosed = 0; // ended without the soak ending them: closed through vexo

// The kinds of program a device runs, each closing its own way.
void AddWindowsOfKind(long n, bool hangs, cesim::SimProgram& p) {
    cesim::SimWindow w;
    w.title = cesim::Widen("Program " + std::to_string(n));
    switch (n % 8) {
    case 1:
        w.onClose = cesim::CloseBehaviour::Ignore;
        break;
    case 2:
        w.kind = cesim::WindowKind::CaptionOk;
        w.exStyle = WS_EX_CAPTIONOKBTN;
        break;
    case 3:
        w.kind = cesim::WindowKind::Dialog;
        break;
    case 4:
        w.kind = cesim::WindowKind::PropertySheet;
        w.exStyle = WS_EX_CAPTIONOKBTN;
        break;
    case 5:
        // The media player leaves only on a quit.
        w.className = u"WMP for Mobile Devices";
        w.onClose = cesim::CloseBehaviour::Ignore;
        break;
    case 6:
        w.onClose = cesim::CloseBehaviour::Recover;
        w.hangMs = 3000;
        break;
    default:
        break;
    }
    if (hangs)
        w.onClose = cesim::CloseBehaviour::Hang;
    p.windows.push_back(w);
    if (n % 4 == 1) {
        // A window it owns, which makes the owner chain matter.
        cesim::SimWindow owned;
        owned.title = w.title + u" - Options";
        owned.owner = 0;
        owned.rect = RECT{20, 80, 220, 240};
        p.windows.push_back(owned);
    }
}

void StartProgram(bool hangs) {
    long n = programsStarted++;
    cesim::SimProgram p;
    p.modulePath = cesim::Widen("\\Windows\\app" + std::to_string(n % 7) + ".exe");
    p.icon = cesim::ShellIcon(n % 4);
    AddWindowsOfKind(n, hangs, p);
    programs.push_back(Program{cesim::StartSimulatedProgram(p).processId, hangs});
}

// Programs that left by themselves, or were closed, leave the list; the oldest one ends when
// too many run, as a user would end it from a task manager of the system's own.
void TidyPrograms(size_t keep) {
    for (auto it = programs.begin(); it != programs.end();) {
        if (cesim::ProcessRunning(it->pid)) {
            ++it;
        } else {
            ++programsClosed;
            it = programs.erase(it);
        }
    }
    while (programs.size() > keep) {
        cesim::TerminateProgram(programs.front().pid, 0);
        programs.pop_front();
    }
}

// ---- what the user does ----------------------------------------------------------------

std::vector<size_t> TaskItems(const cesim::TrackedMenu& menu) {
    std::vector<size_t> items;
    std::vector<cesim::MenuItemInfo> all = cesim::MenuItems(menu.menu);
    for (size_t i = 0; i < all.size() && i < menu.items.size(); ++i)
        if (all[i].id >= CMD_TASK_FIRST && all[i].id <= CMD_TASK_LAST &&
            menu.items[i].right > menu.items[i].left)
            items.push_back(i);
    return items;
}

bool ItemShown(const cesim::TrackedMenu& menu, UINT id, size_t* index) {
    std::vector<cesim::MenuItemInfo> all = cesim::MenuItems(menu.menu);
    for (size_t i = 0; i < all.size() && i < menu.items.size(); ++i)
        if (all[i].id == id && menu.items[i].right > menu.items[i].left) {
            *index = i;
            return true;
        }
    return false;
}

void TapRect(const RECT& r, int fromRight = -1) {
    int x = fromRight < 0 ? (r.left + r.right) / 2 : r.right - fromRight;
    cesim::Tap(x, (r.top + r.bottom) / 2);
}

// Opens the menu in one of the ways a user does.
bool OpenMenu(long n) {
    POINT c = ButtonCentre();
    switch (n % 3) {
    case 0:
        cesim::StylusDown(c.x, c.y);
        cesim::Hold(600);
        cesim::StylusUp();
        break;
    case 1:
        cesim::HoldHardwareKey(kHotKey, 800);
        break;
    default: {
        // The dot at the button's left edge, when the settings show it; else a hold.
        RECT r = cesim::Inspect(FindButton())->rect;
        cesim::Tap(r.left + 3, r.top + 5);
        if (!cesim::ActiveMenu()) {
            cesim::StylusDown(c.x, c.y);
            cesim::Hold(600);
            cesim::StylusUp();
        }
        break;
    }
    }
    return cesim::ActiveMenu().has_value();
}

// One menu opening ending in a choice or a cancel; returns whether it closed a task.
bool MenuSession(long n) {
    if (!OpenMenu(n)) {
        Fail("the menu did not open (" + std::to_string(n) + ")");
        return false;
    }
    cesim::TrackedMenu menu = *cesim::ActiveMenu();
    std::vector<size_t> tasks = TaskItems(menu);
    size_t index = 0;
    bool closed = false;
    switch (n % 6) {
    case 0:
        cesim::PressKey(VK_ESCAPE);
        break;
    case 1:
        // A tap beside the menu dismisses it.
        cesim::Tap(2, menu.rect.bottom < 300 ? 310 : 2);
        break;
    case 2:
        if (!tasks.empty())
            TapRect(menu.items[tasks[n % tasks.size()]]);
        else
            cesim::PressKey(VK_ESCAPE);
        break;
    case 3:
        if (!tasks.empty()) {
            TapRect(menu.items[tasks[n % tasks.size()]], 4);
            closed = true;
        } else {
            cesim::PressKey(VK_ESCAPE);
        }
        break;
    case 4:
        if (ItemShown(menu, CMD_CLOSE_BACKGROUND, &index)) {
            TapRect(menu.items[index]);
            closed = true;
        } else {
            cesim::PressKey(VK_ESCAPE);
        }
        break;
    default:
        cesim::PressKey(VK_DOWN);
        cesim::PressKey(VK_DOWN);
        cesim::PressKey(VK_ESCAPE);
        break;
    }
    if (cesim::ActiveMenu())
        cesim::PressKey(VK_ESCAPE);
    if (cesim::ActiveMenu())
        Fail("the menu stayed open");
    return closed;
}

void CloseSession(long n) {
    POINT c = ButtonCentre();
    switch (n % 3) {
    case 0:
        cesim::Tap(c.x, c.y);
        break;
    case 1:
        cesim::Drag(c, POINT{c.x, c.y + 40}, 60);
        break;
    default:
        if (OpenMenu(0)) {
            size_t index = 0;
            cesim::TrackedMenu menu = *cesim::ActiveMenu();
            if (ItemShown(menu, CMD_CLOSE_ALL, &index))
                TapRect(menu.items[index]);
            if (cesim::ActiveMenu())
                cesim::PressKey(VK_ESCAPE);
        }
        break;
    }
}

long switcherShown = 0; // sessions in which the switcher's window came up

void SwitcherSession(long n) {
    int presses = 1 + int(n % 3);
    for (int i = 0; i < presses; ++i) {
        cesim::PressHardwareKey(kHotKey);
        cesim::ReleaseHardwareKey(kHotKey);
        cesim::Advance(100);
        if (i == 0 && IsWindowVisible(FindWindowW(L"VexoTaskWndClass", L"VexoTaskWnd")))
            ++switcherShown;
    }
    // The pause after the last press brings the selected program to the front.
    cesim::Advance(1000);
}

// ---- checkpoints -----------------------------------------------------------------------

RECT startTaskbar;

// Every program gone, the settings, theme and taskbar as at start-up, and the menu opened and
// cancelled once, so that what vexo holds can be compared from one checkpoint to the next.
Figures Quiesce(DWORD pid) {
    TidyPrograms(0);
    WriteBaseSettings();
    ReloadSettings();
    SetTheme(0);
    cesim::SetTaskbarRect(startTaskbar);
    cesim::Advance(20000);
    if (!cesim::ProcessRunning(pid)) {
        Fail("vexo ended");
        return Figures{};
    }
    cesim::StylusDown(ButtonCentre().x, ButtonCentre().y);
    cesim::Hold(600);
    cesim::StylusUp();
    if (cesim::ActiveMenu())
        cesim::PressKey(VK_ESCAPE);
    cesim::Advance(1000);
    return Measure(pid);
}

long Scaled(long dayCount, long ticks) {
    return dayCount * ticks / kDayTicks;
}

int Soak(long ticks, int checkpoints) {
    cesim::Boot();
    WriteBaseSettings();
    SetTheme(0);
    startTaskbar = cesim::Inspect(cesim::Taskbar())->rect;
    DWORD pid = StartVexo();
    if (!FindButton()) {
        Fail("vexo did not start");
        return 1;
    }
    Figures start = Quiesce(pid);
    Print("start-up", start);
    Figures previous = start;

    // Each of the user's doings gets its own period in ticks, so they interleave.
    long menus = Scaled(kDayMenus, ticks), closes = Scaled(kDayCloses, ticks);
    long switches = Scaled(kDaySwitches, ticks), reloads = Scaled(kDayReloads, ticks);
    auto period = [&](long count) { return count > 0 ? std::max(1L, ticks / count) : ticks + 1; };
    long menuEvery = period(menus), closeEvery = period(closes);
    long switchEvery = period(switches), reloadEvery = period(reloads);
    long done[4] = {0, 0, 0, 0};
    long checkpointEvery = std::max(1L, ticks / checkpoints);
    auto began = std::chrono::steady_clock::now();

    for (long t = 1; t <= ticks; ++t) {
        cesim::Advance(kTick);
        if (t % 7 == 0)
            StartProgram(t % 91 == 0);
        if (t % 13 == 0)
            TidyPrograms(8);
        if (t % 29 == 0 && !programs.empty()) {
            // A tap on the screen brings the program under it to the front.
            cesim::Tap(120, 200);
        }
        if (t % 997 == 0)
            SetTheme(t / 997);
        if (t % 1499 == 0) {
            RECT r = startTaskbar;
            r.bottom += (t / 1499) % 2 ? 10 : 0;
            cesim::SetTaskbarRect(r);
        }
        if (t % menuEvery == 0 && done[0] < menus)
            MenuSession(done[0]++);
        if (t % closeEvery == 3 % closeEvery && done[1] < closes)
            CloseSession(done[1]++);
        if (t % switchEvery == 5 % switchEvery && done[2] < switches)
            SwitcherSession(done[2]++);
        if (t % reloadEvery == 11 % reloadEvery && done[3] < reloads) {
            WriteVariedSettings(done[3]++);
            ReloadSettings();
        }
        if (t % checkpointEvery == 0 || t == ticks) {
            Figures now = Quiesce(pid);
            char label[32];
            std::snprintf(label, sizeof label, "tick %ld", t);
            Print(label, now);
            ExpectNoGrowth(now, previous, "since the last checkpoint");
            previous = now;
        }
        if (failures > 20)
            break;
    }
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    std::printf("%ld ticks (%.1f h of device time): %ld menus, %ld closes, %ld switcher sessions, "
                "%ld of them shown, %ld reloads, %ld programs started, %ld of them closed through vexo, "
                "in %.1f s\n",
                ticks, ticks * double(kTick) / 3.6e6, done[0], done[1], done[2], switcherShown,
                done[3], programsStarted, programsClosed, seconds);
    // Closes that close nothing would make the whole run prove little.
    if (done[1] > 0 && programsClosed == 0)
        Fail("no program was closed through vexo");
    if (done[2] > 0 && switcherShown == 0)
        Fail("the switcher never came up");
    ExpectNoGrowth(previous, start, "over the run");
    return failures ? 1 : 0;
}

// ---- a crowded device ------------------------------------------------------------------

std::vector<std::string> LogLines() {
    std::ifstream in(cesim::HostPath(u"\\vexo.log"));
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(in, line))
        lines.push_back(line);
    return lines;
}

int Crowd() {
    cesim::Boot();
    WriteBaseSettings();
    cesim::reg::SetDword(kSettings, "LogLevel", 2);
    startTaskbar = cesim::Inspect(cesim::Taskbar())->rect;
    DWORD pid = StartVexo();
    if (!FindButton()) {
        Fail("vexo did not start");
        return 1;
    }
    Figures start = Quiesce(pid);
    Print("start-up", start);

    // 100 programs of 10 windows each; the first window of each is in front of its others.
    std::vector<DWORD> crowd;
    for (int p = 0; p < 100; ++p) {
        cesim::SimProgram program;
        program.modulePath = cesim::Widen("\\Windows\\crowd" + std::to_string(p) + ".exe");
        for (int w = 0; w < 10; ++w) {
            cesim::SimWindow window;
            window.title = cesim::Widen("Crowd " + std::to_string(p) + "." + std::to_string(w));
            program.windows.push_back(window);
        }
        crowd.push_back(cesim::StartSimulatedProgram(program).processId);
    }
    // 128 programs that stop answering once they are asked to close.
    std::vector<DWORD> hung;
    std::vector<HWND> hungWindows;
    for (int p = 0; p < 128; ++p) {
        cesim::SimProgram program;
        program.modulePath = cesim::Widen("\\Windows\\hung" + std::to_string(p) + ".exe");
        cesim::SimWindow window;
        window.title = cesim::Widen("Hung " + std::to_string(p));
        window.onClose = cesim::CloseBehaviour::Hang;
        program.windows.push_back(window);
        cesim::RunningProgram running = cesim::StartSimulatedProgram(program);
        hung.push_back(running.processId);
        hungWindows.push_back(running.windows[0]);
    }
    for (HWND w : hungWindows)
        PostMessageW(w, WM_CLOSE, 0, 0);
    cesim::Settle();
    std::printf("%zu top-level windows, %zu programs hung\n", cesim::TopLevelWindows().size(),
                hung.size());

    auto began = std::chrono::steady_clock::now();
    for (int n = 0; n < 6; ++n) {
        if (!OpenMenu(n)) {
            Fail("the menu did not open among the crowd (" + std::to_string(n) + ")");
            continue;
        }
        cesim::TrackedMenu menu = *cesim::ActiveMenu();
        std::vector<cesim::MenuItemInfo> items = cesim::MenuItems(menu.menu);
        size_t tasks = 0;
        for (const cesim::MenuItemInfo& item : items)
            tasks += item.id >= CMD_TASK_FIRST && item.id <= CMD_TASK_LAST;
        if (n == 0)
            std::printf("menu: %zu items, %zu of them tasks, %s\n", items.size(), tasks,
                        menu.scrolls ? "scrolling" : "not scrolling");
        // The table holds 128 tasks; more windows than that are simply not listed.
        if (tasks != 128)
            Fail("the menu lists " + std::to_string(tasks) + " tasks, not 128");
        cesim::PressKey(VK_ESCAPE);
    }
    // The button still answers: a tap asks to close the program in front.
    size_t before = LogLines().size();
    POINT c = ButtonCentre();
    cesim::Tap(c.x, c.y);
    cesim::Advance(1000);
    bool tapped = false;
    std::vector<std::string> lines = LogLines();
    for (size_t i = before; i < lines.size(); ++i)
        tapped = tapped || lines[i].find("OnClose(") != std::string::npos;
    if (!tapped)
        Fail("a tap on the button among the crowd did not ask to close the program in front");
    // Closing every task at once fills the closing set with hung programs; the menu still
    // opens while the workers wait on them.
    PostMessageW(FindButton(), WM_COMMAND, CMD_CLOSE_ALL, 0);
    cesim::Advance(5000);
    std::printf("closing all tasks: vexo runs %zu threads\n", cesim::LiveThreads(pid));
    if (!OpenMenu(1))
        Fail("the menu did not open while every task was being closed");
    cesim::PressKey(VK_ESCAPE);
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    std::printf("7 menus, a tap and a close of every task among the crowd in %.1f s\n", seconds);

    for (DWORD p : crowd)
        cesim::TerminateProgram(p, 0);
    for (DWORD p : hung)
        cesim::TerminateProgram(p, 0);
    Figures end = Quiesce(pid);
    Print("crowd gone", end);
    ExpectNoGrowth(end, start, "with the crowd");
    return failures ? 1 : 0;
}

} // namespace

int main(int argc, char** argv) {
    long ticks = kDayTicks;
    int checkpoints = 24;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--crowd")
            return Crowd();
        if (arg == "--ticks" && i + 1 < argc)
            ticks = std::atol(argv[++i]);
        else if (arg == "--checkpoints" && i + 1 < argc)
            checkpoints = std::atoi(argv[++i]);
    }
    return Soak(ticks, std::max(1, checkpoints));
}
