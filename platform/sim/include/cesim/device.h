// The driver API of the simulated device: boot it, start programs, move its clock, look at it.
//
// One device lives per host process. The driver (a test or the simulator app) runs on its own
// host thread, which is not a simulated thread: Settle() waits for the simulated ones only.
#pragma once

#include <windows.h>

#include <cesim/surface.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace cesim {

struct BootOptions {
    int width = 240;
    int height = 320;
    int dpi = 96;
    int dpiX = 0;               // horizontal and vertical DPI where they differ; 0: dpi
    int dpiY = 0;
    int osMajor = 4;
    int osMinor = 20;
    std::string registryFile;   // REGEDIT4 text imported after the built-in keys
    std::string fileRoot;       // host folder behind the device's "\"; empty: a fresh temp dir
    bool taskbar = true;        // false: a shell that has no taskbar window
    // The display driver: whether it knows the power-management escape, and the rotations
    // it accepts besides portrait (DMDO_90, DMDO_180, DMDO_270 flags).
    bool displayPowerEscape = true;
    DWORD rotations = DMDO_90 | DMDO_180 | DMDO_270;
};

// Boots a device. A second call reboots: every program is gone and the state is fresh.
void Boot(const BootOptions& options = BootOptions());
const BootOptions& BootedWith();

typedef int (*ProgramEntry)(HINSTANCE, HINSTANCE, LPWSTR, int);

struct ProgramImage {
    ProgramEntry entry = nullptr;
    std::u16string modulePath;                     // e.g. u"\\Program Files\\Vexo\\vexo.exe"
    std::vector<uint8_t> resources;                // the module's compiled .res
    std::u16string commandLine;
};

// Starts the program's entry point on a new simulated thread of a new process; returns its id.
// Returning from the entry point ends the process, and any other thread of it with it.
DWORD StartProgram(const ProgramImage& image);

// Puts the program on the device at image.modulePath (the file appears in the file system),
// so that CreateProcessW of that path starts it with the command line it is given. Installing
// again at the same path replaces the image.
void InstallProgram(const ProgramImage& image);

// What CreateProcessW started since boot, in order.
struct StartedProcess {
    DWORD processId = 0;
    DWORD parentProcessId = 0;   // the process that called CreateProcessW
    std::u16string modulePath;   // of the installed image
    std::u16string commandLine;  // as passed (empty for none)
};
std::vector<StartedProcess> StartedProcesses();

// Ends a process as TerminateProcess does, settles, and returns false when it was not running.
bool TerminateProgram(DWORD processId, int exitCode);

bool ProcessRunning(DWORD processId);
// The entry point's result; only meaningful once the process has ended.
int ProcessExitCode(DWORD processId);

// What a process still held when it ended, before the device reclaimed it.
struct ExitReport {
    size_t gdiObjects = 0;
    size_t icons = 0;
    size_t windows = 0;
    size_t handles = 0;   // kernel handles (files, mutexes, processes, threads) left open
    size_t menus = 0;
    size_t hotKeys = 0;   // still registered on those windows
    size_t timers = 0;    // still set on those windows
};
ExitReport ProcessExitReport(DWORD processId);
// Kernel handles a running process holds open, and its threads that have not ended.
size_t OpenHandles(DWORD processId);
size_t LiveThreads(DWORD processId);

// Runs fn on a new simulated thread in a process of its own (a stand-in for another program)
// and returns the process id. The thread's end ends the process.
DWORD StartHelperProcess(const std::u16string& modulePath, std::function<void()> fn);

// Runs fn on a new simulated thread of a running process, as if the process had started it,
// and settles; returns the thread's id, or 0 when the process is not running.
DWORD StartThreadIn(DWORD processId, std::function<void()> fn);

// A process whose OpenProcess is refused, as with a protected system process.
void SetProcessOpenable(DWORD processId, bool openable);

// Waits until every simulated thread is blocked with nothing to do.
void Settle();
// Moves the virtual clock forward, firing timers and waking sleepers in due order, settling
// after each step.
void Advance(DWORD milliseconds);
DWORD Now();

// ---- windows ----------------------------------------------------------------------------
HWND Taskbar();
HWND DesktopWindow();
std::vector<HWND> TopLevelWindows();      // in z-order, topmost first
std::vector<HWND> ChildWindows(HWND parent);

struct WindowInfo {
    std::u16string className;
    std::u16string title;
    DWORD style = 0;
    DWORD exStyle = 0;
    RECT rect = {0, 0, 0, 0};   // screen coordinates
    HWND parent = nullptr;
    HWND owner = nullptr;
    bool visible = false;
    DWORD threadId = 0;
    DWORD processId = 0;
    int placements = 0;   // SetWindowPos and MoveWindow calls that asked to move or size it
};
std::optional<WindowInfo> Inspect(HWND window);

// A live icon: its size and the icon group resource it was loaded from (0 when made otherwise).
struct IconInfo {
    int width = 0;
    int height = 0;
    int resourceId = 0;
};
std::optional<IconInfo> InspectIcon(HICON icon);

// Moves and resizes the shell's taskbar, as a shell with another layout would.
void SetTaskbarRect(const RECT& rect);

// ---- input ------------------------------------------------------------------------------
struct HotKeyInfo {
    HWND window = nullptr;
    int id = 0;
    UINT modifiers = 0;
    UINT virtualKey = 0;
};
std::vector<HotKeyInfo> HotKeys();
std::optional<HotKeyInfo> HotKeyFor(UINT virtualKey);
void PressHardwareKey(UINT virtualKey);
void ReleaseHardwareKey(UINT virtualKey);
// Presses the key, keeps it down for `ms` of virtual time, and releases it.
void HoldHardwareKey(UINT virtualKey, DWORD ms);

// ---- display ------------------------------------------------------------------------------
Surface ComposeScreen();
void SetSysColor(int index, COLORREF color);
size_t LiveGdiObjects();
size_t LiveGdiObjects(DWORD processId);
// Icons a process holds: loaded, made or handed out by the shell, and not destroyed.
size_t LiveIcons(DWORD processId);

// ---- files and time -----------------------------------------------------------------------
// The host path behind a device path such as u"\\vexo.log"; the device's file system ignores
// case, so an existing host file of any case is found.
std::string HostPath(const std::u16string& devicePath);
// The wall-clock time at virtual time 0; GetLocalTime adds the virtual clock to it.
void SetLocalTimeBase(const SYSTEMTIME& time);

// ---- heap -------------------------------------------------------------------------------
// Blocks the program holds from malloc, calloc, realloc and nothrow new.
size_t HeapBlocks();
// How many allocations the program has made so far, freed or not.
size_t HeapAllocations();
// Lets `succeed` more allocations through, then fails the next `fail` ones (-1: all).
void FailAllocations(int succeed, int fail = 1);
// Fails the next `fail` allocations of exactly `size` bytes (-1: all), letting others through.
void FailAllocationsOfSize(size_t size, int fail = 1);
void StopFailingAllocations();

// ---- faults -------------------------------------------------------------------------------
// Makes the named API call (e.g. "CreateFileW", "WriteFile", "RegisterClassW") fail with the
// given error for the next `times` calls; -1 keeps failing until cleared, 0 clears it.
void InjectFailure(const std::string& api, DWORD error, int times = -1);
void ClearFailures();

// ---- the program's resources (linked in from the compiled resource script) --------------
std::vector<uint8_t> ProgramResourceSection();

// ---- text helpers for drivers -----------------------------------------------------------
std::string Narrow(const std::u16string& text);   // UTF-8
std::u16string Widen(const std::string& text);    // from UTF-8

} // namespace cesim
