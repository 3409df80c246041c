// Closing tasks on the device: which windows a close reaches, the windows it must spare, the
// closing set, the two "close all" commands, and the button staying free while programs hang.
#include "support/device_fixture.h"

#include "support/conversation.h"

#include <windows.h>

#include <cesim/programs.h>
#include <cesim/threads.h>

#include "tasks/closing.h"
#include "tasks/tasklist.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <fstream>
#include <regex>
#include <sstream>

using cesim::CloseBehaviour;
using cesim::RunningProgram;
using vexotest::OnVexoThread;

namespace {

const char kLogAtLevel2[] = "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Holmvest\\Vexo]\n"
                            "\"LogLevel\"=dword:00000002\n";

RunningProgram StartProgram(const std::u16string& title,
                            CloseBehaviour onClose = CloseBehaviour::Close, DWORD hangMs = 0) {
    cesim::SimProgram p;
    p.modulePath = u"\\Windows\\" + title + u".exe";
    cesim::SimWindow w;
    w.title = title;
    w.onClose = onClose;
    w.hangMs = hangMs;
    p.windows.push_back(w);
    return cesim::StartSimulatedProgram(p);
}

int ClosesReceived(const RunningProgram& program) {
    int closes = 0;
    for (const cesim::ReceivedMessage& m : vexotest::Conversation(program))
        closes += m.message == WM_CLOSE ? 1 : 0;
    return closes;
}

std::vector<std::string> LogMessages() {
    std::ifstream in(cesim::HostPath(u"\\vexo.log"));
    std::vector<std::string> messages;
    for (std::string line; std::getline(in, line);)
        messages.push_back(line.size() > 11 ? line.substr(11) : line);
    return messages;
}

// Each line one time stamp and one message, however many threads wrote at once.
void ExpectWholeLines() {
    std::ifstream in(cesim::HostPath(u"\\vexo.log"));
    const std::regex stamp("[0-9][0-9]:[0-9][0-9]:[0-9][0-9] - ");
    for (std::string line; std::getline(in, line);) {
        auto stamps = std::distance(std::sregex_iterator(line.begin(), line.end(), stamp),
                                    std::sregex_iterator());
        EXPECT_TRUE(stamps == 1 &&
                    std::regex_search(line, stamp, std::regex_constants::match_continuous) &&
                    line.size() > 11)
            << line;
    }
}

std::string Hex(HWND window) {
    char text[16];
    std::snprintf(text, sizeof text, "%x", unsigned(uintptr_t(window)));
    return text;
}

void CloseFromMenu(void (*command)()) {
    // The menu refreshes the table just before it shows; the command runs after it has gone.
    ASSERT_TRUE(OnVexoThread([command] {
        RefreshTaskList();
        command();
    }));
}

TEST(Closing, ForceClosesTheRootsNamesakesButSparesTheDesktopAndVexosOwnWindows) {
    vexotest::BootDevice();
    RunningProgram notes = StartProgram(u"Notes");
    RunningProgram other = StartProgram(u"Notes"); // a second window of the same title
    RunningProgram desktopNamesake = StartProgram(u"Desktop");
    vexotest::StartVexo();
    // A window of vexo's own that shows a task's title, as a switcher would.
    HWND own = nullptr;
    ASSERT_TRUE(OnVexoThread([&] {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = DefWindowProcW;
        wc.lpszClassName = L"VexoTestWindow";
        RegisterClassW(&wc);
        own = CreateWindowExW(0, L"VexoTestWindow", L"Notes", WS_VISIBLE, 0, 26, 240, 100, nullptr,
                              nullptr, nullptr, nullptr);
    }));
    HWND desktop = cesim::DesktopWindow();
    ASSERT_TRUE(OnVexoThread([&] {
        OnClose(notes.windows[0], true);
        OnClose(desktopNamesake.windows[0], true);
    }));
    EXPECT_FALSE(IsWindow(notes.windows[0]));
    EXPECT_FALSE(IsWindow(other.windows[0]));
    EXPECT_FALSE(IsWindow(desktopNamesake.windows[0]));
    EXPECT_TRUE(IsWindow(own) && IsWindowVisible(own));
    EXPECT_TRUE(IsWindowVisible(desktop));
    // Nor does a chain that ends at the desktop reach it: a popup it owns.
    HWND owned = nullptr;
    cesim::StartHelperProcess(u"\\Windows\\owned.exe", [&] {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = DefWindowProcW;
        wc.lpszClassName = L"Owned";
        RegisterClassW(&wc);
        owned = CreateWindowExW(0, L"Owned", L"Owned", WS_VISIBLE | WS_POPUP, 0, 26, 240, 100,
                                desktop, nullptr, nullptr, nullptr);
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0))
            DispatchMessageW(&msg);
    });
    ASSERT_EQ(GetParent(owned), desktop);
    ASSERT_TRUE(OnVexoThread([&] { OnClose(owned, true); }));
    EXPECT_FALSE(IsWindow(owned));
    EXPECT_TRUE(IsWindowVisible(desktop));
}

TEST(Closing, AnUntitledRootClosesItsChainOnlyAndNoOtherUntitledWindow) {
    vexotest::BootDevice();
    RunningProgram untitled = StartProgram(u"");
    RunningProgram bystander = StartProgram(u"");
    vexotest::StartVexo();
    ASSERT_TRUE(OnVexoThread([&] { OnClose(untitled.windows[0], true); }));
    EXPECT_FALSE(IsWindow(untitled.windows[0]));
    EXPECT_EQ(ClosesReceived(bystander), 0);
    EXPECT_TRUE(IsWindowVisible(cesim::Taskbar())) << "the taskbar has no title either";
}

TEST(Closing, AToolWindowInFrontClosesTheFirstRealWindowBelowItUnlessThatIsTheDesktop) {
    vexotest::BootDevice();
    RunningProgram below = StartProgram(u"Notes");
    HWND tool = vexotest::StartWindowProgram(u"Keyboard", WS_VISIBLE | WS_POPUP, WS_EX_TOOLWINDOW);
    vexotest::StartVexo();
    ASSERT_TRUE(OnVexoThread([&] { OnClose(tool, false); }));
    EXPECT_FALSE(IsWindow(below.windows[0]));
    EXPECT_TRUE(IsWindow(tool));
    // Now the desktop is the next one down.
    ASSERT_TRUE(OnVexoThread([&] { OnClose(tool, false); }));
    EXPECT_TRUE(IsWindow(tool));
    EXPECT_TRUE(IsWindowVisible(cesim::DesktopWindow()));
}

TEST(Closing, OneCloseAtATimePerWindowAndTheLogShowsEachAtItsLevel) {
    vexotest::BootDevice(96, kLogAtLevel2);
    RunningProgram busy = StartProgram(u"Busy", CloseBehaviour::Recover, 400);
    vexotest::StartVexo();
    HWND w = busy.windows[0];
    ASSERT_TRUE(OnVexoThread([&] { OnClose(w, false); }));
    ASSERT_TRUE(OnVexoThread([&] { OnClose(w, true); })); // while the first runs: nothing
    EXPECT_EQ(ClosesReceived(busy), 1);
    cesim::Advance(400);
    // Once the first is done a second starts, and finds the window gone.
    ASSERT_TRUE(OnVexoThread([&] { OnClose(w, true); }));
    std::string x = Hex(w);
    EXPECT_EQ(
        LogMessages(),
        (std::vector<std::string>{
            "OnCreate()", "OnClose(" + x + ")", "CloseThreadProc - start", "Close(" + x + ")",
            "OnClose(" + x + ")", "WM_CLOSE2 - 0", "CloseThreadProc - end", "OnClose(" + x + ")",
            "TerminateThreadProc - start", "Close(" + x + ")", "TerminateThreadProc - end"}));
}

TEST(Closing, LevelOneLogsOnlyTheResultsOfTheCloseMessages) {
    vexotest::BootDevice(96, "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Holmvest\\Vexo]\n"
                             "\"LogLevel\"=dword:00000001\n");
    RunningProgram notes = StartProgram(u"Notes");
    cesim::SimProgram playerProgram;
    cesim::SimWindow player;
    player.className = u"WMP for Mobile Devices";
    player.title = u"Windows Media";
    player.onClose = CloseBehaviour::Ignore;
    playerProgram.windows.push_back(player);
    RunningProgram media = cesim::StartSimulatedProgram(playerProgram);
    vexotest::StartVexo();
    ASSERT_TRUE(OnVexoThread([&] { OnClose(notes.windows[0], false); }));
    ASSERT_TRUE(OnVexoThread([&] { OnClose(media.windows[0], false); }));
    EXPECT_EQ(LogMessages(), (std::vector<std::string>{"WM_CLOSE2 - 0", "WM_QUIT - 1"}));
}

TEST(Closing, AWorkerThatCannotStartGivesItsWindowsBack) {
    vexotest::BootDevice();
    RunningProgram notes = StartProgram(u"Notes", CloseBehaviour::Ignore);
    vexotest::StartVexo();
    HWND w = notes.windows[0];
    cesim::InjectFailure("CreateThread", ERROR_NOT_ENOUGH_MEMORY, 1);
    ASSERT_TRUE(OnVexoThread([&] { OnClose(w, false); }));
    cesim::InjectFailure("CreateThread", ERROR_NOT_ENOUGH_MEMORY, 1);
    CloseFromMenu(OnCloseAll);
    EXPECT_EQ(ClosesReceived(notes), 0);
    ASSERT_TRUE(OnVexoThread([&] { OnClose(w, false); }));
    CloseFromMenu(OnCloseAll);
    EXPECT_EQ(ClosesReceived(notes), 2);
}

// Three programs, the last started in front; which of them the command closed.
std::vector<bool> ClosedByMenuCommand(void (*command)()) {
    vexotest::BootDevice();
    std::vector<RunningProgram> programs = {StartProgram(u"Calendar"), StartProgram(u"Notes"),
                                            StartProgram(u"Word")};
    vexotest::StartVexo();
    EXPECT_EQ(GetForegroundWindow(), programs[2].windows[0]);
    // The table's entries are the program's; what the command itself takes it must give back.
    EXPECT_TRUE(OnVexoThread(RefreshTaskList));
    size_t blocks = cesim::HeapBlocks();
    CloseFromMenu(command);
    EXPECT_EQ(cesim::HeapBlocks(), blocks) << "the batch outlived its worker";
    std::vector<bool> closed;
    for (const RunningProgram& p : programs)
        closed.push_back(!IsWindow(p.windows[0]));
    return closed;
}

// The desktop item is shown (ShowDesktop is on by default), and still the topmost task closes.
TEST(Closing, CloseAllClosesEveryListedTask) {
    EXPECT_EQ(ClosedByMenuCommand(OnCloseAll), (std::vector<bool>{true, true, true}));
}

TEST(Closing, CloseBackgroundTasksSparesOnlyTheOneInFront) {
    EXPECT_EQ(ClosedByMenuCommand(OnCloseAllButCurrent), (std::vector<bool>{true, true, false}));
}

// Posts the button a message every 10 ms of virtual time, as stylus input and timers reach
// it, while the clock moves on by the given span.
void KeepPostingToTheButton(DWORD span) {
    HWND button = vexotest::FindButtonWindow();
    cesim::StartHelperProcess(u"\\Windows\\pinger.exe", [=] {
        for (DWORD start = GetTickCount(); GetTickCount() - start < span; Sleep(10))
            PostMessageW(button, WM_NULL, 0, 0);
    });
    cesim::Advance(span);
}

TEST(Closing, CloseAllWithOneHungProgramLeavesTheButtonFreeAndKeepsItsOrder) {
    vexotest::BootDevice(96, kLogAtLevel2);
    // Started bottom first: the table lists them topmost first, Word to Calendar.
    std::vector<RunningProgram> programs = {StartProgram(u"Calendar"), StartProgram(u"Notes"),
                                            StartProgram(u"Busy", CloseBehaviour::Recover, 5000),
                                            StartProgram(u"Excel"), StartProgram(u"Word")};
    vexotest::StartVexo();
    CloseFromMenu(OnCloseAll);
    auto closed = [&] {
        std::vector<bool> gone;
        for (const RunningProgram& p : programs)
            gone.push_back(!IsWindow(p.windows[0]));
        return gone;
    };
    EXPECT_EQ(closed(), (std::vector<bool>{false, false, false, true, true}));
    EXPECT_EQ(ClosesReceived(programs[0]), 0);

    // Meanwhile the button answers at once, a new close starts, and a window the batch will
    // still reach is left to it.
    RunningProgram late = StartProgram(u"Late");
    ASSERT_TRUE(OnVexoThread([&] {
        OnClose(late.windows[0], false);
        OnClose(programs[0].windows[0], false);
    }));
    EXPECT_FALSE(IsWindow(late.windows[0]));
    EXPECT_EQ(ClosesReceived(programs[0]), 0);
    KeepPostingToTheButton(4000);
    cesim::Advance(1000);
    EXPECT_EQ(closed(), (std::vector<bool>(5, true)));
    DWORD blocked =
        cesim::LongestQueueWait(GetWindowThreadProcessId(vexotest::FindButtonWindow(), nullptr));
    std::printf("longest wait in the button's queue during Close All: %u virtual ms\n",
                unsigned(blocked));
    EXPECT_EQ(blocked, 0u);
    std::vector<std::string> closes;
    for (const std::string& m : LogMessages())
        if (m.rfind("Close(", 0) == 0)
            closes.push_back(m);
    std::vector<std::string> order;
    for (int i = 4; i >= 0; --i)
        order.push_back("Close(" + Hex(programs[i].windows[0]) + ")");
    order.insert(order.begin() + 3, "Close(" + Hex(late.windows[0]) + ")");
    EXPECT_EQ(closes, order);
}

TEST(Closing, AFullClosingSetStartsNothingUntilItsWorkersEnd) {
    vexotest::BootDevice();
    std::vector<RunningProgram> programs;
    for (int i = 0; i <= kMaxClosingWindows; ++i)
        programs.push_back(
            StartProgram(u"Busy" + cesim::Widen(std::to_string(i)), CloseBehaviour::Recover, 1000));
    vexotest::StartVexo();
    ASSERT_TRUE(OnVexoThread([&] {
        for (const RunningProgram& p : programs)
            OnClose(p.windows[0], false);
    }));
    int started = 0;
    for (int i = 0; i < kMaxClosingWindows; ++i)
        started += ClosesReceived(programs[i]);
    EXPECT_EQ(started, kMaxClosingWindows);
    EXPECT_EQ(ClosesReceived(programs.back()), 0);
    cesim::Advance(1000);
    ASSERT_TRUE(OnVexoThread([&] { OnClose(programs.back().windows[0], false); }));
    EXPECT_EQ(ClosesReceived(programs.back()), 1);
}

TEST(Closing, WorkersAndTheUserInterfaceShareTheLogAndTheSetSafely) {
    vexotest::BootDevice(96, "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Holmvest\\Vexo]\n"
                             "\"LogLevel\"=dword:00000005\n");
    // Recovering in four groups, so that many workers wake in the same millisecond.
    std::vector<RunningProgram> programs;
    for (int i = 0; i < 48; ++i)
        programs.push_back(StartProgram(u"Task" + cesim::Widen(std::to_string(i)),
                                        CloseBehaviour::Recover, DWORD(10 * (1 + i % 4))));
    vexotest::StartVexo();
    std::atomic<int> rounds{0};
    // The user opens the menu again and again (each opening refreshes the task list) and taps
    // close marks, in bursts, while the workers of the earlier taps wake and write their ends.
    OnVexoThread([&] {
        for (int round = 0; round < 40; ++round) {
            RefreshTaskList();
            for (int tap = 0; tap < 8; ++tap)
                OnClose(programs[(round * 8 + tap) % programs.size()].windows[0], tap % 2 == 0);
            if (round % 16 == 8)
                OnCloseAllButCurrent();
            ++rounds;
            Sleep(1);
        }
    });
    cesim::Advance(200);
    EXPECT_EQ(rounds, 40);
    for (const RunningProgram& p : programs)
        EXPECT_FALSE(IsWindow(p.windows[0]));
    ExpectWholeLines();
    std::vector<std::string> log = LogMessages();
    for (const char* worker : {"CloseThreadProc", "TerminateThreadProc"})
        EXPECT_EQ(std::count(log.begin(), log.end(), std::string(worker) + " - start"),
                  std::count(log.begin(), log.end(), std::string(worker) + " - end"))
            << worker;
}

TEST(Closing, TheProgramMayEndWhileAWorkerWaitsForAHungProgram) {
    vexotest::BootDevice(96, kLogAtLevel2);
    RunningProgram busy = StartProgram(u"Busy", CloseBehaviour::Recover, 1000);
    DWORD vexo = vexotest::StartVexo();
    ASSERT_TRUE(OnVexoThread([&] { OnClose(busy.windows[0], false); }));
    vexotest::SendFromOtherProcess(vexotest::FindButtonWindow(), WM_CLOSE);
    ASSERT_FALSE(cesim::ProcessRunning(vexo));
    EXPECT_EQ(cesim::ProcessExitCode(vexo), 0);
    cesim::Advance(1000);
    // The program got its close; the stopped worker never ran again.
    EXPECT_FALSE(IsWindow(busy.windows[0]));
    std::vector<std::string> log = LogMessages();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back(), "OnDestroy()");
}

TEST(Closing, TheProgramMayEndJustAsAHungProgramRecovers) {
    // vexo is told to leave at the very moment the program answers the worker.
    vexotest::BootDevice(96, kLogAtLevel2);
    RunningProgram busy = StartProgram(u"Busy", CloseBehaviour::Recover, 100);
    DWORD vexo = vexotest::StartVexo();
    HWND button = vexotest::FindButtonWindow();
    ASSERT_TRUE(OnVexoThread([&] { OnClose(busy.windows[0], false); }));
    cesim::StartHelperProcess(u"\\Windows\\setup.exe", [button] {
        Sleep(100);
        PostMessageW(button, WM_CLOSE, 0, 0);
    });
    cesim::Advance(100);
    EXPECT_FALSE(cesim::ProcessRunning(vexo));
    EXPECT_FALSE(IsWindow(busy.windows[0]));
    ExpectWholeLines();
}

} // namespace
