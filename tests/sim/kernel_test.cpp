// The simulated device's threads, clock, messages, windows and kernel objects behave as the
// device's do.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <windows.h>

#include <cesim/device.h>
#include <cesim/message_watch.h>
#include <cesim_heap.h>

#include <fstream>
#include <string>
#include <vector>

namespace {

struct Record {
    UINT message;
    WPARAM wParam;
    DWORD time;
    bool operator==(const Record& o) const {
        return message == o.message && wParam == o.wParam && time == o.time;
    }
};

std::ostream& operator<<(std::ostream& os, const Record& r) {
    return os << "{msg " << std::hex << r.message << std::dec << ", wParam " << r.wParam << ", t "
              << r.time << "}";
}

// Messages a recording window received; filled on the simulated thread, read by the test
// after the device settles.
std::vector<Record> g_records;

LRESULT CALLBACK RecordingProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m == WM_TIMER || m == WM_HOTKEY || m >= WM_USER)
        g_records.push_back(Record{m, wp, GetTickCount()});
    if (m == WM_HOTKEY)
        g_records.back().time = DWORD(lp);
    if (m == WM_TIMER && wp == 1)
        KillTimer(w, 1);
    if (m == WM_USER + 1)
        return LRESULT(wp * 2);
    if (m == WM_USER + 7)
        SetTimer(w, 5, 100, nullptr);
    return DefWindowProcW(w, m, wp, lp);
}

HWND g_window = nullptr;

// A program with one recording window and a message loop, on its own thread.
DWORD StartRecordingProgram(std::function<void(HWND)> setup = nullptr) {
    g_records.clear();
    return cesim::StartHelperProcess(u"\\Windows\\recorder.exe", [setup] {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = RecordingProc;
        wc.lpszClassName = L"Recorder";
        RegisterClassW(&wc);
        g_window = CreateWindowExW(0, L"Recorder", L"Recorder", WS_VISIBLE, 0, 26, 240, 294,
                                   nullptr, nullptr, nullptr, nullptr);
        if (setup)
            setup(g_window);
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0))
            DispatchMessageW(&msg);
    });
}

TEST(Clock, TimersFireOnlyAsTheClockMovesInDueOrder) {
    cesim::Boot();
    StartRecordingProgram([](HWND w) {
        SetTimer(w, 1, 300, nullptr); // one-shot: killed on its first tick
        SetTimer(w, 2, 250, nullptr);
        SetTimer(w, 3, 200, nullptr);
    });
    EXPECT_TRUE(g_records.empty());
    cesim::Advance(199);
    EXPECT_TRUE(g_records.empty());
    cesim::Advance(451);
    std::vector<Record> expected = {{WM_TIMER, 3, 200}, {WM_TIMER, 2, 250}, {WM_TIMER, 1, 300},
                                    {WM_TIMER, 3, 400}, {WM_TIMER, 2, 500}, {WM_TIMER, 3, 600}};
    EXPECT_EQ(g_records, expected);
    EXPECT_EQ(cesim::Now(), 650u);
}

TEST(Clock, SettingATimerAgainRestartsItsPeriodAndOnlyItsOwnerMaySetIt) {
    cesim::Boot();
    StartRecordingProgram([](HWND w) { SetTimer(w, 5, 100, nullptr); });
    cesim::Advance(80);
    // Only the owner's thread may set a window's timer: from elsewhere it fails.
    cesim::StartHelperProcess(u"\\Windows\\y.exe",
                              [] { EXPECT_EQ(SetTimer(g_window, 5, 100, nullptr), 0u); });
    PostMessageW(g_window, WM_USER + 7, 0, 0); // the owner sets it again at 80
    cesim::Settle();
    cesim::Advance(99);
    EXPECT_EQ(g_records.size(), 1u);
    cesim::Advance(1);
    std::vector<Record> expected = {{WM_USER + 7, 0, 80}, {WM_TIMER, 5, 180}};
    EXPECT_EQ(g_records, expected);
}

TEST(Clock, SleepWaitsForVirtualTime) {
    cesim::Boot();
    DWORD wokeAt = 0;
    cesim::StartHelperProcess(u"\\Windows\\sleeper.exe", [&] {
        Sleep(250);
        wokeAt = GetTickCount();
    });
    EXPECT_EQ(wokeAt, 0u);
    cesim::Advance(249);
    EXPECT_EQ(wokeAt, 0u);
    cesim::Advance(1);
    EXPECT_EQ(wokeAt, 250u);
}

TEST(Messages, SendToAnotherThreadWaitsForTheAnswerAndServesNestedSends) {
    cesim::Boot();
    StartRecordingProgram();
    LRESULT answer = 0;
    cesim::StartHelperProcess(u"\\Windows\\sender.exe",
                              [&] { answer = SendMessageW(g_window, WM_USER + 1, 21, 0); });
    EXPECT_EQ(answer, 42);
    // The driver's own thread can send too.
    EXPECT_EQ(SendMessageW(g_window, WM_USER + 1, 5, 0), 10);
    EXPECT_EQ(SendMessageW(reinterpret_cast<HWND>(0x1234), WM_USER, 0, 0), 0);
}

TEST(Messages, PostedMessagesComeBeforeTheQuitRequest) {
    cesim::Boot();
    std::vector<UINT> seen;
    int exitCode = -1;
    cesim::StartHelperProcess(u"\\Windows\\q.exe", [&] {
        PostMessageW(nullptr, WM_USER + 1, 0, 0);
        PostQuitMessage(3);
        PostMessageW(nullptr, WM_USER + 2, 0, 0);
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0))
            seen.push_back(msg.message);
        exitCode = int(msg.wParam);
    });
    EXPECT_EQ(seen, (std::vector<UINT>{WM_USER + 1, WM_USER + 2}));
    EXPECT_EQ(exitCode, 3);
}

TEST(Messages, RegisteredMessagesAreSharedByNameWhateverTheCase) {
    cesim::Boot();
    UINT a = RegisterWindowMessageW(L"Holmvest::Vexo::Messages::ReadConfig");
    UINT b = 0, c = 0;
    cesim::StartHelperProcess(u"\\Windows\\other.exe", [&] {
        b = RegisterWindowMessageW(L"HOLMVEST::VEXO::MESSAGES::READCONFIG");
        c = RegisterWindowMessageW(L"Something else");
    });
    EXPECT_GE(a, 0xC000u);
    EXPECT_LE(a, 0xFFFFu);
    EXPECT_EQ(a, b);
    EXPECT_NE(a, c);
}

TEST(Windows, CreateRunsWmCreateInsideTheCallAndMinusOneRefusesTheWindow) {
    cesim::Boot();
    static bool createdInside = false;
    HWND refused = reinterpret_cast<HWND>(1);
    cesim::StartHelperProcess(u"\\Windows\\w.exe", [&] {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = [](HWND w, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
            if (m == WM_CREATE) {
                auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
                createdInside = true;
                return cs->lpCreateParams ? -1 : 0;
            }
            return DefWindowProcW(w, m, wp, lp);
        };
        wc.lpszClassName = L"Creating";
        ASSERT_NE(RegisterClassW(&wc), 0);
        EXPECT_EQ(RegisterClassW(&wc), 0);
        EXPECT_EQ(GetLastError(), DWORD(ERROR_CLASS_ALREADY_EXISTS));
        HWND ok = CreateWindowExW(0, L"creating", L"", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                                  nullptr);
        EXPECT_TRUE(createdInside);
        EXPECT_TRUE(IsWindow(ok));
        refused = CreateWindowExW(0, L"Creating", L"", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                                  reinterpret_cast<void*>(1));
    });
    EXPECT_EQ(refused, nullptr);
}

TEST(Windows, CloseDestroysThroughDefaultProcessingAndOnlyTheOwnerMayDestroy) {
    cesim::Boot();
    StartRecordingProgram();
    HWND w = g_window;
    EXPECT_FALSE(DestroyWindow(w));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(IsWindow(w));
    SendMessageW(w, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(w));
}

TEST(Windows, TreeAndZOrderFollowTheDevice) {
    cesim::Boot();
    HWND taskbar = cesim::Taskbar();
    ASSERT_NE(taskbar, nullptr);
    EXPECT_EQ(FindWindowW(L"hhtaskbar", nullptr), taskbar);
    EXPECT_EQ(FindWindowW(L"DesktopExplorerWindow", L"Desktop"), cesim::DesktopWindow());
    EXPECT_EQ(FindWindowW(L"DesktopExplorerWindow", L"desktop"), nullptr);
    EXPECT_EQ(GetForegroundWindow(), cesim::DesktopWindow());

    // The shell's own children of the taskbar come first; a program's go on top of them.
    const std::vector<HWND> shellChildren = cesim::ChildWindows(taskbar);
    ASSERT_EQ(shellChildren.size(), 2u);
    HWND a = nullptr, b = nullptr;
    cesim::StartHelperProcess(u"\\Windows\\kids.exe", [&] {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = DefWindowProcW;
        wc.lpszClassName = L"Kid";
        RegisterClassW(&wc);
        a = CreateWindowExW(0, L"Kid", L"a", WS_CHILD | WS_VISIBLE, 1, 2, 3, 4, taskbar, nullptr,
                            nullptr, nullptr);
        b = CreateWindowExW(0, L"Kid", L"b", WS_CHILD | WS_VISIBLE, 5, 6, 7, 8, taskbar, nullptr,
                            nullptr, nullptr);
        // Children are not found by FindWindowW, which looks at top-level windows only.
        EXPECT_EQ(FindWindowW(L"Kid", nullptr), nullptr);
        EXPECT_EQ(GetWindow(taskbar, GW_CHILD), b);
        EXPECT_EQ(GetWindow(b, GW_HWNDNEXT), a);
        EXPECT_EQ(GetWindow(a, GW_HWNDNEXT), shellChildren[0]);
        // A window that is not topmost, as no child window is, keeps its place for
        // HWND_NOTOPMOST; HWND_TOP and HWND_BOTTOM move it.
        SetWindowPos(a, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE);
        EXPECT_EQ(GetWindow(taskbar, GW_CHILD), b);
        SetWindowPos(a, HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE);
        EXPECT_EQ(GetWindow(taskbar, GW_CHILD), a);
        SetWindowPos(b, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE);
        EXPECT_EQ(GetWindow(shellChildren[1], GW_HWNDNEXT), b);
        SetWindowPos(b, HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE);
        EXPECT_EQ(GetParent(a), taskbar);
        RECT r;
        GetWindowRect(b, &r);
        EXPECT_EQ(r.left, 5);
        EXPECT_EQ(r.bottom, 14);
        GetClientRect(b, &r);
        EXPECT_EQ(r.right, 7);
        EXPECT_EQ(r.bottom, 8);
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0))
            DispatchMessageW(&msg);
    });
    EXPECT_EQ(cesim::ChildWindows(taskbar),
              (std::vector<HWND>{b, a, shellChildren[0], shellChildren[1]}));
}

TEST(Windows, NotTopmostMovesOnlyATopmostWindow) {
    cesim::Boot();
    HWND taskbar = cesim::Taskbar();
    HWND p = nullptr, q = nullptr;
    std::vector<HWND> order;
    cesim::StartHelperProcess(u"\\Windows\\tops.exe", [&] {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = DefWindowProcW;
        wc.lpszClassName = L"Top";
        RegisterClassW(&wc);
        p = CreateWindowExW(0, L"Top", L"p", WS_VISIBLE, 0, 0, 9, 9, nullptr, nullptr, nullptr,
                            nullptr);
        q = CreateWindowExW(0, L"Top", L"q", WS_VISIBLE, 0, 0, 9, 9, nullptr, nullptr, nullptr,
                            nullptr);
        const UINT keep = SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE;
        SetWindowPos(p, HWND_NOTOPMOST, 0, 0, 0, 0, keep);
        order.push_back(GetWindow(taskbar, GW_HWNDNEXT)); // still q, then p
        SetWindowPos(p, HWND_TOPMOST, 0, 0, 0, 0, keep);
        order.push_back(GetWindow(taskbar, GW_HWNDFIRST)); // p, above the taskbar
        SetWindowPos(p, HWND_NOTOPMOST, 0, 0, 0, 0, keep);
        order.push_back(GetWindow(taskbar, GW_HWNDNEXT)); // p, first below the topmost
        order.push_back(HWND(UINT_PTR(GetWindowLongW(p, GWL_EXSTYLE) & WS_EX_TOPMOST)));
    });
    EXPECT_EQ(order, (std::vector<HWND>{q, p, p, nullptr}));
}

TEST(Windows, ThreadEndTakesItsWindowsWithIt) {
    cesim::Boot();
    HWND w = nullptr;
    DWORD pid = cesim::StartHelperProcess(u"\\Windows\\brief.exe", [&] {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = DefWindowProcW;
        wc.lpszClassName = L"Brief";
        RegisterClassW(&wc);
        w = CreateWindowExW(0, L"Brief", L"", WS_VISIBLE, 0, 0, 5, 5, nullptr, nullptr, nullptr,
                            nullptr);
        EXPECT_EQ(GetForegroundWindow(), w);
    });
    EXPECT_FALSE(cesim::ProcessRunning(pid));
    EXPECT_FALSE(IsWindow(w));
    EXPECT_EQ(cesim::ProcessExitReport(pid).windows, 1u);
    EXPECT_EQ(GetForegroundWindow(), cesim::DesktopWindow());
}

TEST(Windows, AnEndingProcessReportsTheHotKeysAndTimersItsWindowsStillHeld) {
    cesim::Boot();
    // keep: how many of the two timers and of the hot key the program leaves in place.
    const auto run = [](bool keepTimer, bool keepHotKey) {
        return cesim::StartHelperProcess(u"\\Windows\\brief.exe", [=] {
            WNDCLASSW wc = {};
            wc.lpfnWndProc = DefWindowProcW;
            wc.lpszClassName = L"Brief";
            RegisterClassW(&wc);
            HWND w = CreateWindowExW(0, L"Brief", L"", WS_VISIBLE, 0, 0, 5, 5, nullptr, nullptr,
                                     nullptr, nullptr);
            SetTimer(w, 1, 100, nullptr);
            SetTimer(w, 2, 100, nullptr);
            SetTimer(nullptr, 0, 100, nullptr); // a thread timer belongs to no window
            RegisterHotKey(w, 0, MOD_WIN, 0xC1);
            KillTimer(w, 2);
            if (!keepTimer)
                KillTimer(w, 1);
            if (!keepHotKey)
                UnregisterHotKey(w, 0);
        });
    };
    cesim::ExitReport both = cesim::ProcessExitReport(run(true, true));
    EXPECT_EQ(both.windows, 1u);
    EXPECT_EQ(both.timers, 1u);
    EXPECT_EQ(both.hotKeys, 1u);
    cesim::ExitReport neither = cesim::ProcessExitReport(run(false, false));
    EXPECT_EQ(neither.windows, 1u);
    EXPECT_EQ(neither.timers, 0u);
    EXPECT_EQ(neither.hotKeys, 0u);
    EXPECT_TRUE(cesim::HotKeys().empty());
}

TEST(Windows, PlacementsCountTheCallsThatMoveOrSizeAWindow) {
    cesim::Boot();
    StartRecordingProgram();
    EXPECT_EQ(cesim::Inspect(g_window)->placements, 0);
    cesim::StartHelperProcess(u"\\Windows\\mover.exe", [] {
        SetWindowPos(g_window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE); // z-order only
        SetWindowPos(g_window, nullptr, 0, 26, 240, 294, SWP_NOZORDER);        // where it is
        SetWindowPos(g_window, nullptr, 5, 30, 0, 0, SWP_NOZORDER | SWP_NOSIZE);
        MoveWindow(g_window, 5, 30, 100, 100, TRUE);
    });
    EXPECT_EQ(cesim::Inspect(g_window)->placements, 3);
}

TEST(Messages, AWatchRecordsWhatWindowsOfOneClassReceiveWithTheirCopiedData) {
    cesim::Boot();
    cesim::WatchMessages(u"recorder");
    StartRecordingProgram();
    cesim::StartHelperProcess(u"\\Windows\\sender.exe", [] {
        wchar_t text[] = L"hi";
        COPYDATASTRUCT data = {7, sizeof text, text};
        SendMessageW(g_window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
        PostMessageW(g_window, WM_USER + 3, 4, 5);
        SendMessageW(cesim::Taskbar(), WM_USER + 3, 4, 5); // another class: not recorded
    });
    std::vector<cesim::WatchedMessage> seen = cesim::WatchedMessages();
    ASSERT_GE(seen.size(), 3u);
    EXPECT_EQ(seen.front().message, UINT(WM_CREATE));
    const cesim::WatchedMessage& copy = seen[seen.size() - 2];
    EXPECT_EQ(copy.window, g_window);
    EXPECT_EQ(copy.message, UINT(WM_COPYDATA));
    EXPECT_EQ(copy.copyDataTag, 7u);
    EXPECT_EQ(copy.copyDataSize, 6u);
    EXPECT_EQ(copy.copyData, (std::vector<uint8_t>{'h', 0, 'i', 0, 0, 0}));
    EXPECT_EQ(seen.back().message, UINT(WM_USER + 3));
    EXPECT_EQ(seen.back().wParam, 4u);
    cesim::Boot();
    EXPECT_TRUE(cesim::WatchedMessages().empty());
}

TEST(HotKeys, PressAndReleaseArriveWithTheKeyUpFlagOnlyWhenAsked) {
    cesim::Boot();
    StartRecordingProgram([](HWND w) {
        EXPECT_TRUE(RegisterHotKey(w, 0, MOD_WIN | MOD_KEYUP, 0xC1));
        EXPECT_TRUE(RegisterHotKey(w, 1, MOD_WIN, 0xC2));
        EXPECT_FALSE(RegisterHotKey(w, 2, MOD_WIN, 0xC1));
        EXPECT_EQ(GetLastError(), DWORD(ERROR_HOTKEY_ALREADY_REGISTERED));
    });
    cesim::PressHardwareKey(0xC1);
    cesim::ReleaseHardwareKey(0xC1);
    cesim::PressHardwareKey(0xC2);
    cesim::ReleaseHardwareKey(0xC2);
    cesim::PressHardwareKey(0xC3);
    // The record keeps lParam in the time slot: low word the modifiers, high word the key.
    std::vector<Record> expected = {{WM_HOTKEY, 0, DWORD(MAKELPARAM(MOD_WIN, 0xC1))},
                                    {WM_HOTKEY, 0, DWORD(MAKELPARAM(MOD_WIN | MOD_KEYUP, 0xC1))},
                                    {WM_HOTKEY, 1, DWORD(MAKELPARAM(MOD_WIN, 0xC2))}};
    EXPECT_EQ(g_records, expected);
}

TEST(HotKeys, UnregisteringOrDestroyingTheWindowFreesTheKey) {
    cesim::Boot();
    StartRecordingProgram([](HWND w) { RegisterHotKey(w, 0, MOD_WIN, 0xC1); });
    EXPECT_FALSE(UnregisterHotKey(g_window, 9));
    EXPECT_TRUE(cesim::HotKeyFor(0xC1));
    SendMessageW(g_window, WM_CLOSE, 0, 0);
    EXPECT_FALSE(cesim::HotKeyFor(0xC1));
    EXPECT_TRUE(RegisterHotKey(nullptr, 4, MOD_WIN, 0xC1));
    EXPECT_TRUE(UnregisterHotKey(nullptr, 4));
    EXPECT_TRUE(cesim::HotKeys().empty());
}

TEST(Kernel, NamedMutexIsHeldUntilItsProcessEnds) {
    cesim::Boot();
    DWORD firstError = 1, secondError = 0, thirdError = 1, holderThread = 0;
    DWORD holder = cesim::StartHelperProcess(u"\\Windows\\holder.exe", [&] {
        holderThread = GetCurrentThreadId();
        CreateMutexW(nullptr, TRUE, L"VexoClassVexoWindow");
        firstError = GetLastError();
        MSG msg;
        GetMessageW(&msg, nullptr, 0, 0); // stays until told to go
    });
    cesim::StartHelperProcess(u"\\Windows\\second.exe", [&] {
        HANDLE m = CreateMutexW(nullptr, TRUE, L"VexoClassVexoWindow");
        secondError = GetLastError();
        EXPECT_EQ(WaitForSingleObject(m, 0), DWORD(WAIT_TIMEOUT));
        CloseHandle(m);
    });
    EXPECT_EQ(firstError, 0u);
    EXPECT_EQ(secondError, DWORD(ERROR_ALREADY_EXISTS));

    ASSERT_TRUE(cesim::ProcessRunning(holder));
    PostThreadMessageW(holderThread, WM_QUIT, 0, 0);
    cesim::Settle();
    EXPECT_FALSE(cesim::ProcessRunning(holder));
    cesim::StartHelperProcess(u"\\Windows\\third.exe", [&] {
        CreateMutexW(nullptr, TRUE, L"VexoClassVexoWindow");
        thirdError = GetLastError();
    });
    EXPECT_EQ(thirdError, 0u);
}

TEST(Kernel, CriticalSectionsExcludeOtherThreadsAndNest) {
    cesim::Boot();
    CRITICAL_SECTION cs;
    InitializeCriticalSection(&cs);
    std::vector<int> order;
    EnterCriticalSection(&cs);
    EnterCriticalSection(&cs);
    cesim::StartHelperProcess(u"\\Windows\\a.exe", [&] {
        EnterCriticalSection(&cs);
        order.push_back(2);
        LeaveCriticalSection(&cs);
    });
    order.push_back(1);
    LeaveCriticalSection(&cs);
    cesim::Settle();
    EXPECT_EQ(order, (std::vector<int>{1})); // still held once
    LeaveCriticalSection(&cs);
    cesim::Settle();
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
    DeleteCriticalSection(&cs);
}

TEST(Heap, PlannedFailuresHitTheCountedAllocationsOrOnlyThoseOfOneSize) {
    cesim::Boot();
    const size_t before = cesim::HeapBlocks();
    cesim::FailAllocations(1, 1);
    void* first = cesim_malloc(8);
    EXPECT_NE(first, nullptr);
    EXPECT_EQ(cesim_malloc(8), nullptr);
    void* third = cesim_malloc(8);
    EXPECT_NE(third, nullptr);
    cesim::FailAllocationsOfSize(24, 2);
    void* other = cesim_calloc(2, 8);
    EXPECT_NE(other, nullptr);
    EXPECT_EQ(cesim_calloc(3, 8), nullptr);
    EXPECT_EQ(cesim_realloc(other, 24), nullptr); // the old block stays
    void* grown = cesim_realloc(other, 24);
    EXPECT_NE(grown, nullptr);
    cesim::StopFailingAllocations();
    EXPECT_EQ(cesim::HeapBlocks(), before + 3);
    for (void* block : {first, third, grown})
        cesim_free(block);
    EXPECT_EQ(cesim::HeapBlocks(), before);
}

TEST(Gdi, BitmapsFollowTheSelectionRulesAndEveryObjectIsCounted) {
    cesim::Boot();
    size_t before = cesim::LiveGdiObjects();
    HDC screen = GetDC(nullptr);
    EXPECT_EQ(GetDeviceCaps(screen, LOGPIXELSX), 96);
    EXPECT_EQ(GetDeviceCaps(screen, HORZRES), 240);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 28, 22);
    HDC memory = CreateCompatibleDC(screen);
    HDC other = CreateCompatibleDC(screen);
    EXPECT_EQ(cesim::LiveGdiObjects(), before + 4);
    HGDIOBJ original = SelectObject(memory, bitmap);
    EXPECT_NE(original, nullptr);
    EXPECT_EQ(SelectObject(other, bitmap), nullptr); // already in a DC
    EXPECT_FALSE(DeleteObject(bitmap));              // still selected
    EXPECT_EQ(SelectObject(memory, original), bitmap);
    EXPECT_TRUE(DeleteObject(bitmap));
    EXPECT_TRUE(DeleteObject(GetStockObject(NULL_BRUSH))); // stock objects stay
    EXPECT_TRUE(DeleteDC(memory));
    EXPECT_TRUE(DeleteDC(other));
    EXPECT_EQ(ReleaseDC(nullptr, screen), 1);
    EXPECT_EQ(cesim::LiveGdiObjects(), before);
}

TEST(Gdi, SystemColoursAnswerWithOrWithoutTheIndexFlag) {
    cesim::Boot();
    cesim::SetSysColor(COLOR_HIGHLIGHT, RGB(10, 20, 30));
    EXPECT_EQ(GetSysColor(COLOR_HIGHLIGHT | SYS_COLOR_INDEX_FLAG), RGB(10, 20, 30));
    EXPECT_EQ(GetSysColor(COLOR_HIGHLIGHT), RGB(10, 20, 30));
    EXPECT_EQ(GetSysColor(999), 0u);
}

TEST(Gdi, ProcessExitCountsWhatWasLeftBeforeReclaimingIt) {
    cesim::Boot();
    size_t before = cesim::LiveGdiObjects();
    DWORD pid = cesim::StartHelperProcess(u"\\Windows\\leaky.exe", [] {
        HDC screen = GetDC(nullptr);
        CreateCompatibleBitmap(screen, 4, 4);
        CreateCompatibleDC(screen);
    });
    EXPECT_EQ(cesim::ProcessExitReport(pid).gdiObjects, 3u);
    EXPECT_EQ(cesim::LiveGdiObjects(), before);
}

TEST(Screen, TheShellDrawsATaskbarAcrossTheTopAt192Dpi) {
    cesim::BootOptions options;
    options.dpi = 192;
    options.width = 480;
    options.height = 640;
    cesim::Boot(options);
    auto bar = cesim::Inspect(cesim::Taskbar());
    ASSERT_TRUE(bar);
    EXPECT_EQ(bar->rect.bottom - bar->rect.top, 52);
    EXPECT_EQ(bar->rect.right, 480);
    cesim::Surface screen = cesim::ComposeScreen();
    ASSERT_EQ(screen.width, 480);
    EXPECT_NE(screen.at(10, 10), 0xFFFFFFu);  // taskbar colours
    EXPECT_EQ(screen.at(10, 300), 0xFFFFFFu); // the white desktop
}

TEST(Screen, EachDirectionHasItsOwnDpiWhereTheyDiffer) {
    cesim::BootOptions options;
    options.dpi = 96;
    options.dpiY = 192;
    options.height = 640;
    cesim::Boot(options);
    HDC screen = GetDC(nullptr);
    EXPECT_EQ(GetDeviceCaps(screen, LOGPIXELSX), 96);
    EXPECT_EQ(GetDeviceCaps(screen, LOGPIXELSY), 192);
    TEXTMETRICW metrics = {};
    GetTextMetricsW(screen, &metrics);
    EXPECT_EQ(metrics.tmDigitizedAspectX, 96);
    EXPECT_EQ(metrics.tmDigitizedAspectY, 192);
    ReleaseDC(nullptr, screen);
    // Heights follow the vertical DPI: the system font's and the taskbar's.
    LOGFONTW system = {};
    GetObjectW(GetStockObject(SYSTEM_FONT), sizeof system, &system);
    EXPECT_EQ(system.lfHeight, -24);
    RECT bar = cesim::Inspect(cesim::Taskbar())->rect;
    EXPECT_EQ(bar.bottom - bar.top, 52);
    EXPECT_EQ(bar.right - bar.left, 240);
}

TEST(Files, SharingRulesAndTheCaseOfPaths) {
    cesim::Boot();
    HANDLE log = CreateFileW(L"\\Vexo.log", GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(log, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), 0u);
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(log, "abc", 3, &written, nullptr));
    EXPECT_EQ(written, 3u);
    EXPECT_EQ(CreateFileW(L"\\vexo.LOG", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                          nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_SHARING_VIOLATION));
    EXPECT_FALSE(DeleteFileW(L"\\vexo.log"));
    EXPECT_TRUE(CloseHandle(log));
    std::ifstream in(cesim::HostPath(u"\\VEXO.LOG"));
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text, "abc");
    HANDLE again = CreateFileW(L"\\vexo.log", GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, 0, nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ALREADY_EXISTS));
    CloseHandle(again);
    EXPECT_TRUE(DeleteFileW(L"\\vexo.log"));
    EXPECT_FALSE(DeleteFileW(L"\\vexo.log"));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
}

// However many ".." a path climbs, it stays on the device: a hostile log file name must not
// reach the host's files.
TEST(Files, DotDotStopsAtTheDeviceRoot) {
    cesim::Boot();
    const std::string root = cesim::HostPath(u"\\");
    for (const char16_t* path :
         {u"\\..\\..\\..\\escape.txt", u"\\Windows\\..\\..\\escape.txt", u"/../../escape.txt"}) {
        HANDLE file = CreateFileW(reinterpret_cast<const WCHAR*>(path), GENERIC_WRITE, 0, nullptr,
                                  CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        CloseHandle(file);
        EXPECT_EQ(cesim::HostPath(path), cesim::HostPath(u"\\escape.txt"));
        EXPECT_EQ(cesim::HostPath(path).compare(0, root.size(), root), 0);
        EXPECT_TRUE(DeleteFileW(L"\\escape.txt"));
    }
    EXPECT_EQ(cesim::HostPath(u"\\Windows\\Start Menu\\..\\x.lnk"),
              cesim::HostPath(u"\\Windows\\x.lnk"));
}

TEST(Files, InjectedFailuresReachTheCaller) {
    cesim::Boot();
    cesim::InjectFailure("CreateFileW", ERROR_ACCESS_DENIED, 1);
    EXPECT_EQ(CreateFileW(L"\\a.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    HANDLE f = CreateFileW(L"\\a.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    cesim::InjectFailure("WriteFile", ERROR_DISK_FULL);
    DWORD written = 7;
    EXPECT_FALSE(WriteFile(f, "x", 1, &written, nullptr));
    EXPECT_EQ(written, 0u);
    EXPECT_FALSE(WriteFile(f, "x", 1, &written, nullptr));
    cesim::ClearFailures();
    EXPECT_TRUE(WriteFile(f, "x", 1, &written, nullptr));
    CloseHandle(f);
    cesim::InjectFailure("GetTimeFormatW", ERROR_INVALID_PARAMETER, 1);
    wchar_t text[32];
    EXPECT_EQ(GetTimeFormatW(LOCALE_USER_DEFAULT, 0, nullptr, L"HH:mm:ss", text, 32), 0);
}

TEST(Time, LocalTimeFollowsTheVirtualClock) {
    cesim::Boot();
    SYSTEMTIME base = {2026, 12, 2, 8, 23, 59, 58, 500};
    cesim::SetLocalTimeBase(base);
    cesim::Advance(2000);
    SYSTEMTIME now;
    GetLocalTime(&now);
    EXPECT_EQ(now.wYear, 2026);
    EXPECT_EQ(now.wMonth, 12);
    EXPECT_EQ(now.wDay, 9);
    EXPECT_EQ(now.wDayOfWeek, 3);
    EXPECT_EQ(now.wHour, 0);
    EXPECT_EQ(now.wMinute, 0);
    EXPECT_EQ(now.wSecond, 0);
    EXPECT_EQ(now.wMilliseconds, 500);
    SYSTEMTIME t = {2026, 1, 1, 1, 9, 5, 31, 0};
    wchar_t text[32];
    EXPECT_EQ(GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &t, L"HH:mm:ss", text, 255), 9);
    EXPECT_EQ(std::u16string(reinterpret_cast<char16_t*>(text)), u"09:05:31");
    EXPECT_EQ(GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &t, L"HH:mm:ss", text, 8), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &t, L"h:mm tt", text, 32), 8);
    EXPECT_EQ(std::u16string(reinterpret_cast<char16_t*>(text)), u"9:05 AM");
}

} // namespace
