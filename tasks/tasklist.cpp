// The task list: enumeration of top-level windows with the filters that tell applications
// from the shell's own windows.
#include "tasks/tasklist.h"

#include "button/theme.h"
#include "config/config.h"
#include "config/log.h"
#include "shell/mainwindow.h"

#include <new>

TaskTable taskTable;

static WCHAR* CopyTitle(LPCWSTR title) {
    if (!title)
        title = L"";
    size_t length = wcslen(title);
    WCHAR* copy = static_cast<WCHAR*>(malloc((length + 1) * sizeof(WCHAR)));
    if (copy)
        memcpy(copy, title, (length + 1) * sizeof(WCHAR));
    return copy;
}

TaskEntry::TaskEntry(LPCWSTR title, DWORD processId, HWND window, HICON icon)
    : title(CopyTitle(title)), processId(processId), window(window), icon(icon) {}

TaskEntry::~TaskEntry() {
    free(title);
}

void RefreshTaskList() {
    for (int i = 0; i < taskTable.count; ++i) {
        delete taskTable.entries[i];
        taskTable.entries[i] = NULL;
    }
    taskTable.count = 0;
    EnumWindows(VexoEnumWindowsProc, 0);
}

// The shell's own windows and helper windows of the system, never tasks.
static const WCHAR* const kIgnoredClasses[] = {
    L"DesktopExplorerWindow", L"MS_SIPBUTTON", L"FAKEIMEUI", L"static",      L"MS_SOFTKEY_CE_1.0",
    L"tooltips_class32",      L"OLEAUT32",     L"Ime",       L"Default Ime", L"menu_worker",
};

bool IsTaskWindowClass(HWND window) {
    WCHAR name[231];
    name[0] = 0;
    GetClassNameW(window, name, 231);
    for (size_t i = 0; i < sizeof kIgnoredClasses / sizeof kIgnoredClasses[0]; ++i)
        if (wcscmp(name, kIgnoredClasses[i]) == 0)
            return false;
    return true;
}

static bool HasAll(DWORD value, DWORD bits) {
    return (value & bits) == bits;
}

bool IsToolWindow(HWND window) {
    DWORD style = DWORD(GetWindowLongW(window, GWL_STYLE));
    DWORD ex = DWORD(GetWindowLongW(window, GWL_EXSTYLE));
    if (HasAll(style, 0x50000404) && HasAll(ex, WS_EX_TOOLWINDOW | WS_EX_TOPMOST))
        return true;
    return HasAll(style, WS_POPUP) && HasAll(ex, WS_EX_TOOLWINDOW);
}

HWND GetRootWindow(HWND window) {
    HWND root = window;
    for (HWND parent = GetParent(root); parent; parent = GetParent(root))
        root = parent;
    return root;
}

HWND GetNextTaskWindow(HWND window) {
    for (HWND w = GetWindow(window, GW_HWNDNEXT); w; w = GetWindow(w, GW_HWNDNEXT)) {
        if (w == desktopWindow)
            return w;
        if (IsWindow(w) && IsWindowVisible(w) && IsTaskWindowClass(w))
            return w;
    }
    return NULL;
}

static bool TitleShownByEarlierTask(const WCHAR* title) {
    WCHAR rootTitle[kTitleChars];
    for (int i = 0; i < taskTable.count; ++i) {
        rootTitle[0] = 0;
        GetWindowTextW(GetRootWindow(taskTable.entries[i]->window), rootTitle, kTitleChars);
        if (wcscmp(rootTitle, title) == 0)
            return true;
    }
    return false;
}

// A path longer than the buffer comes back cut, and a cut path may be another program's;
// it reads as no path at all.
static void ReadWholeModulePath(HANDLE process, WCHAR* path) {
    DWORD length = GetModuleFileNameW(reinterpret_cast<HMODULE>(process), path, kMaxPathChars);
    if (length == 0 || length >= DWORD(kMaxPathChars))
        path[0] = 0;
    path[kMaxPathChars - 1] = 0;
}

static bool ReadModulePath(DWORD processId, WCHAR* path) {
    path[0] = 0;
    HANDLE process = OpenProcess(0, FALSE, processId);
    if (!process)
        return false;
    ReadWholeModulePath(process, path);
    CloseHandle(process);
    return true;
}

static bool IsIgnoredProgram(const WCHAR* path) {
    for (int i = 0; i < config.IgnoredAppsCount; ++i)
        if (_wcsicmp(path, config.IgnoredApps[i]) == 0)
            return true;
    return false;
}

BOOL CALLBACK VexoEnumWindowsProc(HWND window, LPARAM parameter) {
    if (appLog)
        appLog->Write(5, "VexoEnumWindowsProc(0x%X, 0x%X)", unsigned(UINT_PTR(window)),
                      unsigned(parameter));
    // The table never grows past its capacity; later windows are simply not listed.
    if (taskTable.count >= kMaxTasks)
        return TRUE;
    if (!IsWindow(window) || !IsWindowVisible(window))
        return TRUE;
    if (!IsTaskWindowClass(window) || IsToolWindow(window))
        return TRUE;
    WCHAR title[kTitleChars];
    title[0] = 0;
    if (GetWindowTextW(window, title, kTitleChars) == 0 || title[0] == 0)
        return TRUE;
    if (TitleShownByEarlierTask(title))
        return TRUE;
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    title[0] = 0;
    if (GetWindowTextW(GetRootWindow(window), title, kTitleChars) == 0 || title[0] == 0)
        return TRUE;
    WCHAR path[kMaxPathChars];
    if (!ReadModulePath(processId, path))
        return TRUE;
    if (IsIgnoredProgram(path))
        return TRUE;
    TaskEntry* entry = new (std::nothrow) TaskEntry(title, processId, window, NULL);
    if (!entry || !entry->title) {
        delete entry;
        return TRUE;
    }
    taskTable.entries[taskTable.count++] = entry;
    return TRUE;
}

struct PathMapping {
    const WCHAR* from;
    const WCHAR* to;
};

// Programs whose shell icon lives in a shortcut rather than in the program file.
static const PathMapping kClassShortcuts[] = {
    {L"Calendar", L"\\windows\\calendar.lnk"},
    {L"Tasks Application", L"\\windows\\tasks.lnk"},
    {L"Contacts", L"\\windows\\addrbook.lnk"},
    {L"MSContactsUI", L"\\windows\\addrbook.lnk"},
};

static const WCHAR* ShortcutForModule(const WCHAR* path) {
    int style = GetShellStyle();
    bool ce5 = style == ShellStyleCe5 || style == ShellStyleCe52;
    bool ce52 = style == ShellStyleCe52;
    if (_wcsicmp(path, L"\\windows\\shfind.exe") == 0)
        return ce5 ? L"\\windows\\search.lnk" : L"\\windows\\find.lnk";
    if (ce52 && _wcsicmp(path, L"\\windows\\pimg.exe") == 0)
        return L"\\windows\\pimg.lnk";
    if (ce52 && _wcsicmp(path, L"\\windows\\intshrui.exe") == 0)
        return L"\\windows\\intshrui.lnk";
    if (ce5 && _wcsicmp(path, L"\\windows\\cprog.exe") == 0)
        return L"\\windows\\cprog.lnk";
    if (ce5 && _wcsicmp(path, L"\\windows\\atciui.exe") == 0)
        return L"\\windows\\atciui.lnk";
    return NULL;
}

void GetTaskProgramPath(const TaskEntry* entry, WCHAR* path) {
    path[0] = 0;
    HANDLE process = OpenProcess(0, FALSE, entry->processId);
    if (!process)
        return;
    WCHAR rootClass[64];
    rootClass[0] = 0;
    GetClassNameW(GetRootWindow(entry->window), rootClass, 64);
    for (size_t i = 0; i < sizeof kClassShortcuts / sizeof kClassShortcuts[0]; ++i) {
        if (wcscmp(rootClass, kClassShortcuts[i].from) == 0) {
            wcscpy(path, kClassShortcuts[i].to);
            CloseHandle(process);
            return;
        }
    }
    ReadWholeModulePath(process, path);
    const WCHAR* shortcut = ShortcutForModule(path);
    if (shortcut)
        wcscpy(path, shortcut);
    CloseHandle(process);
}
