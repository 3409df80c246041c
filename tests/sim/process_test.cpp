// Processes and threads of the simulated device: threads on the virtual clock, a process that
// ends when its entry point returns, termination, waits with time-outs, and programs started
// from images installed on the device.
#include <gtest/gtest.h>

#include <windows.h>

#include <cesim/device.h>
#include <cesim/programs.h>

#include <atomic>
#include <string>

namespace {

std::u16string Text(const wchar_t* s) {
    std::u16string r;
    while (s && *s)
        r.push_back(char16_t(*s++));
    return r;
}

// Set by the code a test runs on simulated threads, read once the device has settled.
std::atomic<int> g_steps{0};
std::u16string g_commandLine;
DWORD g_waitResult = 0;
DWORD g_waitedAt = 0;

DWORD WINAPI SleepThenStep(LPVOID parameter) {
    Sleep(DWORD(reinterpret_cast<uintptr_t>(parameter)));
    ++g_steps;
    return 42;
}

int WINAPI RecordingEntry(HINSTANCE, HINSTANCE, LPWSTR commandLine, int) {
    g_commandLine = Text(commandLine);
    Sleep(INFINITE);
    return 0;
}

cesim::ProgramImage Image(const std::u16string& path) {
    cesim::ProgramImage image;
    image.entry = &RecordingEntry;
    image.modulePath = path;
    return image;
}

class Processes : public ::testing::Test {
protected:
    void SetUp() override {
        cesim::Boot();
        g_steps = 0;
        g_commandLine.clear();
        g_waitResult = WAIT_FAILED;
    }
    void TearDown() override { cesim::ClearFailures(); }
};

TEST_F(Processes, ThreadsRunOnTheVirtualClockAndReportTheirResult) {
    DWORD code = 0;
    DWORD pid = cesim::StartHelperProcess(u"\\Windows\\threads.exe", [&] {
        HANDLE thread =
            CreateThread(nullptr, 0, SleepThenStep, reinterpret_cast<LPVOID>(100), 0, nullptr);
        GetExitCodeThread(thread, &code);
        g_waitResult = WaitForSingleObject(thread, INFINITE);
        GetExitCodeThread(thread, &code);
        CloseHandle(thread);
        Sleep(INFINITE);
    });
    EXPECT_EQ(code, DWORD(STILL_ACTIVE));
    EXPECT_EQ(cesim::LiveThreads(pid), 2u);
    cesim::Advance(99);
    EXPECT_EQ(g_steps, 0);
    cesim::Advance(1);
    EXPECT_EQ(g_steps, 1);
    EXPECT_EQ(g_waitResult, DWORD(WAIT_OBJECT_0));
    EXPECT_EQ(code, 42u);
    EXPECT_EQ(cesim::LiveThreads(pid), 1u);
    EXPECT_TRUE(cesim::ProcessRunning(pid));
}

TEST_F(Processes, ReturningFromTheEntryPointStopsTheOtherThreadsAndReclaimsTheirThings) {
    DWORD pid = cesim::StartHelperProcess(u"\\Windows\\leaver.exe", [] {
        CloseHandle(
            CreateThread(nullptr, 0, SleepThenStep, reinterpret_cast<LPVOID>(50), 0, nullptr));
        CreateMutexW(nullptr, FALSE, L"LeftOpen");
        WNDCLASSW wc = {};
        wc.lpfnWndProc = DefWindowProcW;
        wc.lpszClassName = L"Leaver";
        RegisterClassW(&wc);
        CreateWindowExW(0, L"Leaver", L"Leaver", WS_VISIBLE, 0, 26, 240, 294, nullptr, nullptr,
                        nullptr, nullptr);
    });
    EXPECT_FALSE(cesim::ProcessRunning(pid));
    EXPECT_EQ(cesim::LiveThreads(pid), 0u);
    cesim::ExitReport report = cesim::ProcessExitReport(pid);
    EXPECT_EQ(report.windows, 1u);
    EXPECT_EQ(report.handles, 1u);
    cesim::Advance(1000);
    EXPECT_EQ(g_steps, 0) << "a stopped thread must never run again";
}

TEST_F(Processes, AWorkerBlockedInASentMessageIsStoppedWithItsProcess) {
    cesim::SimProgram hung;
    hung.modulePath = u"\\Windows\\hung.exe";
    cesim::SimWindow w;
    w.title = u"Hung";
    w.onClose = cesim::CloseBehaviour::Hang;
    hung.windows.push_back(w);
    HWND target = cesim::StartSimulatedProgram(hung).windows[0];

    static HWND s_target;
    s_target = target;
    DWORD pid = cesim::StartHelperProcess(u"\\Windows\\closer.exe", [] {
        CloseHandle(CreateThread(
            nullptr, 0,
            [](LPVOID) -> DWORD {
                SendMessageW(s_target, WM_CLOSE, 0, 0);
                ++g_steps;
                return 0;
            },
            nullptr, 0, nullptr));
        Sleep(10);
    });
    EXPECT_TRUE(cesim::ProcessRunning(pid));
    cesim::Advance(10);
    EXPECT_FALSE(cesim::ProcessRunning(pid));
    EXPECT_EQ(g_steps, 0);
    EXPECT_TRUE(IsWindow(target));
}

// A program that hung inside its window procedure and is then ended answers its sender with 0,
// as on the device; the sender, here a closer like vexo's workers, goes on and ends.
TEST_F(Processes, EndingAProgramHungInASentMessageReleasesItsSender) {
    cesim::SimProgram hung;
    hung.modulePath = u"\\Windows\\hung.exe";
    cesim::SimWindow w;
    w.title = u"Hung";
    w.onClose = cesim::CloseBehaviour::Hang;
    hung.windows.push_back(w);
    cesim::RunningProgram program = cesim::StartSimulatedProgram(hung);
    static HWND s_target;
    static LRESULT s_result;
    s_target = program.windows[0];
    s_result = -1;
    DWORD closer = cesim::StartHelperProcess(u"\\Windows\\closer.exe", [] {
        s_result = SendMessageW(s_target, WM_CLOSE, 0, 0);
        ++g_steps;
    });
    cesim::Advance(1000);
    EXPECT_TRUE(cesim::ProcessRunning(closer));
    EXPECT_EQ(g_steps, 0);
    EXPECT_TRUE(cesim::TerminateProgram(program.processId, 1));
    cesim::Advance(10);
    EXPECT_EQ(g_steps, 1);
    EXPECT_EQ(s_result, 0);
    EXPECT_FALSE(cesim::ProcessRunning(closer));
}

TEST_F(Processes, WaitsOnAProcessTimeOutOnTheVirtualClockOrEndWithIt) {
    cesim::InstallProgram(Image(u"\\Program Files\\Target\\target.exe"));
    DWORD target = 0;
    cesim::StartHelperProcess(u"\\Windows\\waiter.exe", [&] {
        PROCESS_INFORMATION pi = {};
        CreateProcessW(L"\\Program Files\\Target\\target.exe", nullptr, nullptr, nullptr, FALSE, 0,
                       nullptr, nullptr, nullptr, &pi);
        target = pi.dwProcessId;
        CloseHandle(pi.hThread);
        g_waitResult = WaitForSingleObject(pi.hProcess, 8000);
        g_waitedAt = GetTickCount();
        if (g_waitResult == WAIT_TIMEOUT)
            TerminateProcess(pi.hProcess, 7);
        g_waitResult = g_waitResult << 8 | WaitForSingleObject(pi.hProcess, 0);
        DWORD code = 0;
        GetExitCodeProcess(pi.hProcess, &code);
        g_steps = int(code);
        CloseHandle(pi.hProcess);
        Sleep(INFINITE);
    });
    cesim::Advance(7999);
    EXPECT_TRUE(cesim::ProcessRunning(target));
    cesim::Advance(1);
    EXPECT_EQ(g_waitedAt, 8000u);
    EXPECT_EQ(g_waitResult, DWORD(WAIT_TIMEOUT) << 8 | WAIT_OBJECT_0);
    EXPECT_FALSE(cesim::ProcessRunning(target));
    EXPECT_EQ(cesim::ProcessExitCode(target), 7);
    EXPECT_EQ(g_steps, 7);
}

TEST_F(Processes, TerminatingTheCallersOwnProcessNeverReturns) {
    DWORD pid = cesim::StartHelperProcess(u"\\Windows\\self.exe", [] {
        HANDLE self = OpenProcess(0, FALSE, GetCurrentProcessId());
        TerminateProcess(self, 3);
        ++g_steps;
    });
    EXPECT_FALSE(cesim::ProcessRunning(pid));
    EXPECT_EQ(cesim::ProcessExitCode(pid), 3);
    EXPECT_EQ(g_steps, 0);
    EXPECT_FALSE(cesim::TerminateProgram(pid, 4)) << "an ended process cannot end again";
}

TEST_F(Processes, CreateProcessStartsInstalledImagesOnly) {
    cesim::InstallProgram(Image(u"\\Program Files\\Vexo\\VexoCfg.exe"));
    cesim::InstallProgram(Image(u"\\Windows\\calc.exe"));
    HANDLE stray =
        CreateFileW(L"\\Windows\\stray.exe", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    CloseHandle(stray);
    cesim::InstallProgram(Image(u"\\Windows\\gone.exe"));
    DeleteFileW(L"\\Windows\\gone.exe");

    struct Case {
        const wchar_t* image;
        const wchar_t* commandLine;
        DWORD error; // 0: started
        std::u16string startedPath;
    } cases[] = {
        {L"\\program files\\vexo\\vexocfg.exe", L"", 0, u"\\Program Files\\Vexo\\VexoCfg.exe"},
        {L"calc", L"/x 1", 0, u"\\Windows\\calc.exe"},
        {L"\\Program Files\\Vexo\\missing.exe", L"", ERROR_FILE_NOT_FOUND, u""},
        {L"\\Windows\\stray.exe", L"", ERROR_BAD_EXE_FORMAT, u""},
        {L"\\Windows\\gone.exe", L"", ERROR_FILE_NOT_FOUND, u""},
        {nullptr, L"", ERROR_INVALID_PARAMETER, u""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.image ? cesim::Narrow(Text(c.image)) : "null image");
        size_t before = cesim::StartedProcesses().size();
        BOOL ok = FALSE;
        DWORD error = 0;
        size_t handlesLeft = 0;
        cesim::StartHelperProcess(u"\\Windows\\starter.exe", [&] {
            PROCESS_INFORMATION pi = {};
            std::vector<wchar_t> line(c.commandLine, c.commandLine + wcslen(c.commandLine) + 1);
            ok = CreateProcessW(c.image, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                nullptr, &pi);
            error = ok ? 0 : GetLastError();
            if (ok) {
                EXPECT_TRUE(CloseHandle(pi.hProcess));
                EXPECT_TRUE(CloseHandle(pi.hThread));
            }
            handlesLeft = cesim::OpenHandles(GetCurrentProcessId());
        });
        EXPECT_EQ(error, c.error);
        EXPECT_EQ(handlesLeft, 0u);
        auto started = cesim::StartedProcesses();
        if (c.error) {
            EXPECT_FALSE(ok);
            EXPECT_EQ(started.size(), before);
            continue;
        }
        ASSERT_EQ(started.size(), before + 1);
        EXPECT_EQ(started.back().modulePath, c.startedPath);
        EXPECT_EQ(started.back().commandLine, Text(c.commandLine));
        EXPECT_TRUE(cesim::ProcessRunning(started.back().processId));
        EXPECT_EQ(g_commandLine, Text(c.commandLine));
    }
}

TEST_F(Processes, InjectedFailuresOfThreadAndProcessCreationReachTheCaller) {
    cesim::InstallProgram(Image(u"\\Windows\\calc.exe"));
    cesim::InjectFailure("CreateThread", ERROR_NOT_ENOUGH_MEMORY, 1);
    cesim::InjectFailure("CreateProcessW", ERROR_OUTOFMEMORY, 1);
    HANDLE thread = INVALID_HANDLE_VALUE;
    BOOL started = TRUE;
    DWORD errors[2] = {};
    cesim::StartHelperProcess(u"\\Windows\\starter.exe", [&] {
        thread = CreateThread(nullptr, 0, SleepThenStep, nullptr, 0, nullptr);
        errors[0] = GetLastError();
        PROCESS_INFORMATION pi = {};
        started = CreateProcessW(L"calc", nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                 nullptr, &pi);
        errors[1] = GetLastError();
    });
    EXPECT_EQ(thread, nullptr);
    EXPECT_FALSE(started);
    EXPECT_EQ(errors[0], DWORD(ERROR_NOT_ENOUGH_MEMORY));
    EXPECT_EQ(errors[1], DWORD(ERROR_OUTOFMEMORY));
    EXPECT_TRUE(cesim::StartedProcesses().empty());
}

} // namespace
