// Closing tasks: each kind of window gets the messages that close it, sent from worker threads
// so that a program that stops answering blocks only its worker, never the button.
#include "tasks/closing.h"

#include "config/log.h"
#include "shell/mainwindow.h"
#include "tasks/tasklist.h"

#include <prsht.h>

CRITICAL_SECTION closeLock;

// Guarded by closeLock.
static HWND closingWindows[kMaxClosingWindows];
static int runningWorkers;

// The two system programs whose windows are hidden rather than closed.
static const WCHAR kShellPath[] = L"\\windows\\shell32.exe";
static const WCHAR kControlPanelPath[] = L"\\windows\\cprog.exe";
// The media player leaves on WM_QUIT only.
static const WCHAR kMediaPlayerClass[] = L"WMP for Mobile Devices";
// The system's default dialog procedure, seen from any process: the slot bits above vary.
static const DWORD kDefaultDialogProc = 0x3173B0;
static const DWORD kLow24Bits = 0xFFFFFF;
// IDOK as the caption's OK button sends it.
static const WPARAM kCaptionOkCommand = 0x10000001;
static const int kClassChars = 64;

// The batch of windows a "close all" command closes in table order.
struct CloseBatch {
    int count;
    HWND windows[kMaxTasks];
};

static void ReadModulePath(HANDLE process, WCHAR* path) {
    path[0] = 0;
    GetModuleFileNameW(reinterpret_cast<HMODULE>(process), path, kMaxPathChars);
    path[kMaxPathChars - 1] = 0;
}

static HANDLE OpenWindowProcess(HWND window) {
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    return OpenProcess(0, FALSE, processId);
}

// An unopenable process gives an empty path.
static void ReadWindowModulePath(HWND window, WCHAR* path) {
    path[0] = 0;
    HANDLE process = OpenWindowProcess(window);
    if (!process)
        return;
    ReadModulePath(process, path);
    CloseHandle(process);
}

static bool IsSystemProgram(const WCHAR* path) {
    return _wcsicmp(path, kShellPath) == 0 || _wcsicmp(path, kControlPanelPath) == 0;
}

static void HideAtBottom(HWND window) {
    SetWindowPos(window, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_HIDEWINDOW);
}

// The desktop and the program's own windows are never closed or hidden, whatever they are
// titled or whoever they belong to.
static bool IsSpared(HWND window) {
    if (window == desktopWindow)
        return true;
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    return processId == GetCurrentProcessId();
}

static void ConfirmCaptionOkDialog(HWND window, DWORD windowProc, const WCHAR* path) {
    if ((windowProc & kLow24Bits) == kDefaultDialogProc) {
        LRESULT result = SendMessageW(window, WM_CLOSE, 0, 0);
        if (appLog)
            appLog->Write(1, "WM_CLOSE - %d", int(result));
    } else {
        if (SendMessageW(window, PSM_GETCURRENTPAGEHWND, 0, 0) != 0)
            PostMessageW(window, PSM_PRESSBUTTON, PSBTN_OK, 0);
        SendMessageW(window, WM_COMMAND, kCaptionOkCommand, 0);
    }
    if (_wcsicmp(path, kControlPanelPath) == 0)
        HideAtBottom(window);
}

static void CloseOrHide(HWND window, const WCHAR* path, const WCHAR* className) {
    if (IsSystemProgram(path)) {
        HideAtBottom(window);
    } else if (wcscmp(className, kMediaPlayerClass) == 0) {
        BOOL posted = PostMessageW(window, WM_QUIT, 0, 0);
        if (appLog)
            appLog->Write(1, "WM_QUIT - %d", int(posted));
    } else {
        LRESULT result = SendMessageW(window, WM_CLOSE, 0, 0);
        if (appLog)
            appLog->Write(1, "WM_CLOSE2 - %d", int(result));
    }
}

void Close(HWND window) {
    if (appLog)
        appLog->Write(2, "Close(%x)", unsigned(UINT_PTR(window)));
    HANDLE process = OpenWindowProcess(window);
    if (!process)
        return;
    WCHAR path[kMaxPathChars];
    ReadModulePath(process, path);
    DWORD windowProc = DWORD(GetWindowLongW(window, GWL_WNDPROC));
    DWORD exStyle = DWORD(GetWindowLongW(window, GWL_EXSTYLE));
    if (!IsWindow(window)) {
        CloseHandle(process);
        return;
    }
    WCHAR className[kClassChars];
    className[0] = 0;
    GetClassNameW(window, className, kClassChars);
    if (exStyle & WS_EX_CAPTIONOKBTN)
        ConfirmCaptionOkDialog(window, windowProc, path);
    else
        CloseOrHide(window, path, className);
    CloseHandle(process);
}

bool AddClosingWindow(HWND window) {
    EnterCriticalSection(&closeLock);
    int empty = -1;
    bool present = false;
    for (int i = 0; i < kMaxClosingWindows && !present; ++i) {
        if (closingWindows[i] == window)
            present = true;
        else if (!closingWindows[i] && empty < 0)
            empty = i;
    }
    bool added = !present && empty >= 0;
    if (added)
        closingWindows[empty] = window;
    LeaveCriticalSection(&closeLock);
    return added;
}

void RemoveClosingWindow(HWND window) {
    EnterCriticalSection(&closeLock);
    for (int i = 0; i < kMaxClosingWindows; ++i)
        if (closingWindows[i] == window)
            closingWindows[i] = NULL;
    LeaveCriticalSection(&closeLock);
}

bool CloseWorkersRunning() {
    EnterCriticalSection(&closeLock);
    bool running = runningWorkers > 0;
    LeaveCriticalSection(&closeLock);
    return running;
}

static void CountWorker(int change) {
    EnterCriticalSection(&closeLock);
    runningWorkers += change;
    LeaveCriticalSection(&closeLock);
}

// Counted before it starts, so that teardown never sees a worker that is about to begin.
static bool StartWorker(LPTHREAD_START_ROUTINE proc, LPVOID parameter) {
    CountWorker(1);
    HANDLE thread = CreateThread(NULL, 0, proc, parameter, 0, NULL);
    if (!thread) {
        CountWorker(-1);
        return false;
    }
    CloseHandle(thread);
    return true;
}

// The last thing a worker does: after it, the worker touches neither the log nor the set.
static DWORD EndWorker() {
    CountWorker(-1);
    return 0;
}

DWORD WINAPI CloseThreadProc(LPVOID parameter) {
    HWND window = static_cast<HWND>(parameter);
    if (appLog)
        appLog->Write(2, "CloseThreadProc - start");
    WCHAR path[kMaxPathChars];
    ReadWindowModulePath(window, path);
    // A program left disabled by a modal child of its own would not close.
    if (!IsSystemProgram(path))
        EnableWindow(window, TRUE);
    Close(window);
    RemoveClosingWindow(window);
    if (appLog)
        appLog->Write(2, "CloseThreadProc - end");
    return EndWorker();
}

// The window and its ancestors in turn; each parent is read before its child is closed, since
// a closed child has no parent left to ask for.
static void CloseParentChain(HWND window) {
    while (window) {
        HWND parent = GetParent(window);
        if (!IsSpared(window))
            Close(window);
        window = parent;
    }
}

BOOL CALLBACK CloseByTitleEnumProc(HWND window, LPARAM title) {
    WCHAR text[kTitleChars];
    text[0] = 0;
    GetWindowTextW(window, text, kTitleChars);
    if (wcscmp(text, reinterpret_cast<const WCHAR*>(title)) == 0 && !IsSpared(window))
        Close(window);
    return TRUE;
}

DWORD WINAPI TerminateThreadProc(LPVOID parameter) {
    HWND window = static_cast<HWND>(parameter);
    if (appLog)
        appLog->Write(2, "TerminateThreadProc - start");
    WCHAR path[kMaxPathChars];
    ReadWindowModulePath(window, path);
    if (IsSystemProgram(path)) {
        Close(window);
    } else {
        WCHAR rootTitle[kTitleChars];
        rootTitle[0] = 0;
        GetWindowTextW(GetRootWindow(window), rootTitle, kTitleChars);
        CloseParentChain(window);
        // An untitled root names no program: every untitled window would match.
        if (rootTitle[0])
            EnumWindows(CloseByTitleEnumProc, reinterpret_cast<LPARAM>(rootTitle));
    }
    RemoveClosingWindow(window);
    if (appLog)
        appLog->Write(2, "TerminateThreadProc - end");
    return EndWorker();
}

void OnClose(HWND window, bool force) {
    if (appLog)
        appLog->Write(2, "OnClose(%x)", unsigned(UINT_PTR(window)));
    HWND target = window;
    if (IsToolWindow(window))
        target = GetNextTaskWindow(window);
    if (!target || target == desktopWindow)
        return;
    if (!AddClosingWindow(target))
        return;
    if (!StartWorker(force ? TerminateThreadProc : CloseThreadProc, target))
        RemoveClosingWindow(target);
}

// Each window leaves the set as soon as its own close is done.
static DWORD WINAPI CloseAllThreadProc(LPVOID parameter) {
    CloseBatch* batch = static_cast<CloseBatch*>(parameter);
    for (int i = 0; i < batch->count; ++i) {
        Close(batch->windows[i]);
        RemoveClosingWindow(batch->windows[i]);
    }
    free(batch);
    return EndWorker();
}

// The same closes in the same order as the table lists them, on one worker, so that a hung
// program holds up the rest of the batch but not the button, the menu or the hot key. A window
// whose close is already running is left to it.
static void CloseListedTasks(bool spareForeground) {
    HWND foreground = spareForeground ? GetForegroundWindow() : NULL;
    CloseBatch* batch = static_cast<CloseBatch*>(malloc(sizeof(CloseBatch)));
    if (!batch)
        return;
    batch->count = 0;
    for (int i = 0; i < taskTable.count; ++i) {
        const TaskEntry* entry = taskTable.entries[i];
        if (!entry || (spareForeground && entry->window == foreground))
            continue;
        if (AddClosingWindow(entry->window))
            batch->windows[batch->count++] = entry->window;
    }
    if (batch->count > 0 && StartWorker(CloseAllThreadProc, batch))
        return;
    for (int i = 0; i < batch->count; ++i)
        RemoveClosingWindow(batch->windows[i]);
    free(batch);
}

void OnCloseAll() {
    if (appLog)
        appLog->Write(2, "OnCloseAll()");
    CloseListedTasks(false);
}

void OnCloseAllButCurrent() {
    if (appLog)
        appLog->Write(2, "OnCloseAllButCurrent()");
    CloseListedTasks(true);
}
