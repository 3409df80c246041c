// The core of the simulated device: the kernel lock, threads, processes, the virtual clock and
// the wait/settle protocol every blocking call goes through.
//
// One lock guards all device state. A simulated thread blocks only inside Kernel::Wait, which
// marks it idle; whoever gives it work clears that mark before letting go of the lock. Settle()
// therefore sees "all idle" only when no thread can make progress without the clock moving.
#pragma once

#include <windows.h>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace cesim {

struct SentMessage {
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    LRESULT result = 0;
    bool done = false;
    struct Thread* sender = nullptr;
    std::function<void()> call; // set: the driver's code to run instead of a window procedure
};

struct Thread {
    DWORD id = 0;
    DWORD processId = 0;
    bool driver = false; // a host thread of the test or app; never waited for
    bool idle = false;   // blocked in Kernel::Wait with nothing to do
    bool ended = false;
    bool stopped = false; // ended by its process; parks at its next wait, for good
    bool parked = false;
    DWORD exitCode = STILL_ACTIVE;
    DWORD deadline = INFINITE; // virtual time at which a timed wait gives up
    std::condition_variable wake;
    std::deque<MSG> posted;
    std::deque<SentMessage*> sent;
    bool quitPosted = false;
    int quitCode = 0;
    DWORD lastError = 0;
    int handlingSent = 0;               // depth of messages sent from other threads being handled
    std::vector<SentMessage*> handling; // those messages, innermost last
};

struct Process {
    DWORD id = 0;
    std::u16string modulePath;
    HINSTANCE instance = nullptr;
    std::vector<uint8_t> resources;
    std::u16string commandLine;
    int liveThreads = 0;
    DWORD primaryThreadId = 0;
    bool ended = false;
    int exitCode = 0;
    size_t leftGdiObjects = 0;
    size_t leftIcons = 0;
    size_t leftWindows = 0;
    size_t leftHandles = 0;
    size_t leftMenus = 0;
    size_t leftHotKeys = 0;
    size_t leftTimers = 0;
    bool openable = true; // false: OpenProcess of it is refused
};

// Anything a HANDLE can stand for: mutexes, files, processes, threads. The ones a thread can
// wait on say whether a wait is satisfied now and take what a satisfied wait takes.
struct KernelObject {
    virtual ~KernelObject() {}
    virtual bool Waitable() const { return false; }
    virtual bool Signaled(const std::unique_lock<std::mutex>&, const Thread&) const {
        return false;
    }
    virtual void Acquire(const std::unique_lock<std::mutex>&, Thread&) {}
};

class Kernel {
public:
    static std::mutex& Mutex();
    typedef std::unique_lock<std::mutex> Lock;

    // The calling host thread's record; host threads the device did not start become driver
    // threads of the driver process on first use.
    static Thread& Current(const Lock& held);
    static Thread* FindThread(const Lock& held, DWORD id);
    static Process* FindProcess(const Lock& held, DWORD id);
    static Process* FindProcessByInstance(const Lock& held, HINSTANCE instance);
    // A running process of that module path (case ignored), else the last one that ran.
    static Process* FindProcessByModule(const Lock& held, const std::u16string& modulePath);

    // Processes that have not ended, in the order they were started.
    static std::vector<Process*> LiveProcesses(const Lock& held);

    // Creates a process and starts fn on its first thread; returns the process id. When fn
    // returns, the process ends with its result, and any other thread of it is stopped.
    static DWORD StartProcess(const std::u16string& modulePath, std::vector<uint8_t> resources,
                              const std::u16string& commandLine, std::function<int(Process&)> fn);
    // Starts body on a new thread of the process; returns the thread's id.
    static DWORD StartThread(const Lock& held, Process& process, std::function<DWORD()> body);
    // Ends every thread of the process and then the process, as TerminateProcess does. A
    // thread that is stopped this way never returns from the kernel: it parks at its next
    // wait. The caller's own thread, if it is one of them, parks at once.
    static void TerminateProcess(Lock& lock, Process& process, int exitCode);

    // Parks the current thread for good when its process has stopped it: for the calls that
    // reach what the process owned (its critical sections) without waiting.
    static void ParkIfStopped(Lock& lock);

    // Blocks the current thread until ready() holds or the virtual timeout runs out. Returns
    // false on time-out. Incoming sent messages are handled while waiting when pumpSent is set.
    static bool Wait(Lock& lock, const std::function<bool()>& ready, DWORD timeoutMs,
                     bool pumpSent);
    // Makes a thread runnable again: it re-checks what it waits for.
    static void WakeThread(const Lock& held, Thread& thread);
    static void WakeAll(const Lock& held);

    // Handles one sent message queued for the current thread; false when there was none.
    // Releases the lock around the window procedure.
    static bool DispatchOneSent(Lock& lock);

    // The handle table. Handles belong to the process that opened them and close with it.
    static HANDLE AddHandle(const Lock& held, std::shared_ptr<KernelObject> object);
    static std::shared_ptr<KernelObject> FindHandle(const Lock& held, HANDLE handle);
    static bool CloseHandle(const Lock& held, HANDLE handle);
    static size_t HandleCount(const Lock& held, DWORD processId);

    // Ends every process but the driver's, as a reset does; the caller's own thread, if it is
    // a simulated one, parks at once.
    static void TerminateEveryProcess(Lock& lock, int exitCode);

    // While the clock is held, Advance moves nothing: a sleeping device counts no time.
    static void HoldClock(const Lock& held, bool hold);

    static DWORD Now(const Lock& held);
    static void Settle();
    static void Advance(DWORD milliseconds);

    // Called by the device on reboot: forgets every thread and process (joining them first).
    static void Reset();

    // Hooks other modules register, run under the lock.
    static void OnThreadEnd(std::function<void(const Lock&, Thread&)> hook);
    static void OnProcessEnd(std::function<void(const Lock&, Process&)> hook);
    // Earliest virtual time something other than a thread deadline is due (timers).
    static void OnNextDue(std::function<DWORD(const Lock&)> nextDue,
                          std::function<void(const Lock&, DWORD now)> fireDue);
};

// Converts between the device's 16-bit strings and host std::u16string.
inline std::u16string U16(const wchar_t* s) {
    std::u16string r;
    if (s)
        for (; *s; ++s)
            r.push_back(char16_t(*s));
    return r;
}
inline const wchar_t* W(const std::u16string& s) {
    return reinterpret_cast<const wchar_t*>(s.c_str());
}
bool EqualsNoCase(const std::u16string& a, const std::u16string& b);

} // namespace cesim
