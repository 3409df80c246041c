// Threads, processes, the virtual clock and the settle protocol of the simulated device.
#include "kernel.h"

#include "messages.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>

namespace cesim {

namespace {

const DWORD kDriverProcessId = 1;
const auto kSettleLimit = std::chrono::seconds(60);

struct State {
    std::mutex mutex;
    std::condition_variable settled;
    std::map<DWORD, std::unique_ptr<Thread>> threads;
    // Threads that have ended for good: still found by id (their handles give the exit code),
    // but left out of every scan, which a device that has seen thousands of programs end would
    // otherwise make at each message and each step of the clock.
    std::map<DWORD, std::unique_ptr<Thread>> retired;
    std::map<DWORD, std::unique_ptr<Process>> processes;
    // Threads of an earlier boot that never ended; kept so their records outlive them.
    std::vector<std::unique_ptr<Thread>> abandoned;
    struct HandleEntry {
        DWORD processId;
        std::shared_ptr<KernelObject> object;
    };
    std::map<uintptr_t, HandleEntry> handles;
    uintptr_t nextHandle = 0x00300004;
    DWORD nextThreadId = 0x100;
    DWORD nextProcessId = 0x1000;
    DWORD now = 0;
    bool clockHeld = false;
    unsigned generation = 0;
    std::vector<std::function<void(const Kernel::Lock&, Thread&)>> threadEndHooks;
    std::vector<std::function<void(const Kernel::Lock&, Process&)>> processEndHooks;
    std::vector<std::function<DWORD(const Kernel::Lock&)>> nextDueHooks;
    std::vector<std::function<void(const Kernel::Lock&, DWORD)>> fireDueHooks;
};

// Never destroyed: simulated threads may still be blocked on it while the host process exits.
State& S() {
    static State* state = new State;
    return *state;
}

thread_local Thread* t_self = nullptr;
thread_local unsigned t_generation = 0;

Process& DriverProcess(const Kernel::Lock&) {
    std::unique_ptr<Process>& p = S().processes[kDriverProcessId];
    if (!p) {
        p.reset(new Process);
        p->id = kDriverProcessId;
        p->modulePath = u"\\driver";
        p->instance = reinterpret_cast<HINSTANCE>(uintptr_t(kDriverProcessId) << 16);
    }
    return *p;
}

bool AllIdle(const Kernel::Lock&) {
    for (auto& entry : S().threads) {
        const Thread& t = *entry.second;
        // A stopped thread still counts until it has parked, so nothing it does on the way
        // goes unseen.
        bool live = !t.ended || (t.stopped && !t.parked);
        if (!t.driver && live && !t.idle)
            return false;
    }
    return true;
}

void DumpThreads(const Kernel::Lock&) {
    std::fprintf(stderr, "cesim: the device did not settle; threads:\n");
    for (auto& entry : S().threads) {
        const Thread& t = *entry.second;
        std::fprintf(stderr, "  thread %#x process %#x%s %s, %zu posted, %zu sent\n",
                     unsigned(t.id), unsigned(t.processId), t.driver ? " (driver)" : "",
                     t.idle ? "idle" : "running", t.posted.size(), t.sent.size());
    }
}

void EndProcess(const Kernel::Lock& lock, Process& process) {
    for (auto& hook : S().processEndHooks)
        hook(lock, process);
    for (auto it = S().handles.begin(); it != S().handles.end();) {
        if (it->second.processId == process.id) {
            ++process.leftHandles;
            it = S().handles.erase(it);
        } else {
            ++it;
        }
    }
    process.ended = true;
    Kernel::WakeAll(lock);
}

void EndThread(const Kernel::Lock& lock, Thread& thread) {
    if (thread.ended)
        return;
    for (auto& hook : S().threadEndHooks)
        hook(lock, thread);
    // Whoever waits for a reply from this thread gets 0, as when a thread dies on the device:
    // those still queued and those it was handling when it stopped (a program that hung in
    // its window procedure is ended there, and never returns to answer).
    for (SentMessage* m : thread.handling)
        thread.sent.push_back(m);
    thread.handling.clear();
    for (SentMessage* m : thread.sent) {
        m->result = 0;
        m->done = true;
        if (m->sender)
            Kernel::WakeThread(lock, *m->sender);
    }
    thread.sent.clear();
    thread.ended = true;
    // Whoever waits on the thread's handle may go on.
    Kernel::WakeAll(lock);
    Process* process = Kernel::FindProcess(lock, thread.processId);
    if (process && --process->liveThreads == 0)
        EndProcess(lock, *process);
    S().settled.notify_all();
}

// Stops every live thread of the process but `spared`; the last one to end ends the process.
// Each wakes so that a thread blocked in a wait parks instead of coming back.
void StopThreadsOf(const Kernel::Lock& lock, Process& process, Thread* spared) {
    std::vector<Thread*> doomed;
    for (auto& entry : S().threads) {
        Thread& t = *entry.second;
        if (t.processId == process.id && !t.ended && &t != spared)
            doomed.push_back(&t);
    }
    for (Thread* t : doomed) {
        t->stopped = true;
        t->exitCode = DWORD(process.exitCode);
        EndThread(lock, *t);
        Kernel::WakeThread(lock, *t);
    }
}

void Retire(const Kernel::Lock&, Thread& thread) {
    auto it = S().threads.find(thread.id);
    if (it == S().threads.end() || it->second.get() != &thread)
        return;
    S().retired[thread.id] = std::move(it->second);
    S().threads.erase(it);
}

// A stopped thread has nothing to go back to; it waits here until the host process ends.
[[noreturn]] void Park(Kernel::Lock& lock, Thread& self) {
    self.parked = true;
    self.idle = true;
    // Nothing wakes a parked thread, so no timeout of its own may hold the clock.
    self.deadline = INFINITE;
    if (self.ended)
        Retire(lock, self);
    S().settled.notify_all();
    for (;;)
        self.wake.wait(lock);
}

DWORD StartHostThread(const Kernel::Lock& lock, Process& process, std::function<void()> body) {
    std::unique_ptr<Thread> thread(new Thread);
    thread->id = S().nextThreadId;
    S().nextThreadId += 4;
    thread->processId = process.id;
    Thread* record = thread.get();
    DWORD id = record->id;
    S().threads[id] = std::move(thread);
    ++process.liveThreads;
    unsigned generation = S().generation;
    std::thread([record, generation, body]() {
        t_self = record;
        t_generation = generation;
        body();
        Kernel::Lock lock(Kernel::Mutex());
        if (S().generation != generation)
            return;
        if (record->stopped)
            Park(lock, *record);
        EndThread(lock, *record);
        Retire(lock, *record);
    }).detach();
    return id;
}

} // namespace

std::mutex& Kernel::Mutex() {
    return S().mutex;
}

Thread& Kernel::Current(const Lock& held) {
    if (t_self && t_generation == S().generation)
        return *t_self;
    Process& driver = DriverProcess(held);
    std::unique_ptr<Thread> thread(new Thread);
    thread->id = S().nextThreadId;
    S().nextThreadId += 4;
    thread->processId = driver.id;
    thread->driver = true;
    t_self = thread.get();
    t_generation = S().generation;
    S().threads[thread->id] = std::move(thread);
    return *t_self;
}

Thread* Kernel::FindThread(const Lock&, DWORD id) {
    auto it = S().threads.find(id);
    if (it != S().threads.end())
        return it->second.get();
    auto retired = S().retired.find(id);
    return retired == S().retired.end() ? nullptr : retired->second.get();
}

Process* Kernel::FindProcess(const Lock&, DWORD id) {
    auto it = S().processes.find(id);
    return it == S().processes.end() ? nullptr : it->second.get();
}

Process* Kernel::FindProcessByInstance(const Lock&, HINSTANCE instance) {
    for (auto& entry : S().processes)
        if (entry.second->instance == instance)
            return entry.second.get();
    return nullptr;
}

Process* Kernel::FindProcessByModule(const Lock&, const std::u16string& modulePath) {
    Process* found = nullptr;
    for (auto& entry : S().processes) {
        Process* p = entry.second.get();
        if (!EqualsNoCase(p->modulePath, modulePath))
            continue;
        if (!p->ended)
            return p;
        found = p;
    }
    return found;
}

std::vector<Process*> Kernel::LiveProcesses(const Lock&) {
    std::vector<Process*> live;
    for (auto& entry : S().processes)
        if (!entry.second->ended)
            live.push_back(entry.second.get());
    return live;
}

DWORD Kernel::StartProcess(const std::u16string& modulePath, std::vector<uint8_t> resources,
                           const std::u16string& commandLine, std::function<int(Process&)> fn) {
    Lock lock(Mutex());
    std::unique_ptr<Process> process(new Process);
    process->id = S().nextProcessId;
    S().nextProcessId += 0x10;
    process->modulePath = modulePath;
    process->instance = reinterpret_cast<HINSTANCE>(uintptr_t(process->id) << 16);
    process->resources = std::move(resources);
    process->commandLine = commandLine;
    Process* record = process.get();
    S().processes[record->id] = std::move(process);
    unsigned generation = S().generation;
    record->primaryThreadId = StartHostThread(lock, *record, [record, fn, generation]() {
        int code = fn(*record);
        Lock done(Mutex());
        if (S().generation != generation || t_self->stopped)
            return;
        // Returning from the entry point ends the process, whatever its other threads do.
        t_self->exitCode = DWORD(code);
        record->exitCode = code;
        StopThreadsOf(done, *record, t_self);
    });
    return record->id;
}

DWORD Kernel::StartThread(const Lock& held, Process& process, std::function<DWORD()> body) {
    return StartHostThread(held, process, [body]() {
        DWORD code = body();
        Lock done(Mutex());
        if (!t_self->stopped)
            t_self->exitCode = code;
    });
}

void Kernel::TerminateProcess(Lock& lock, Process& process, int exitCode) {
    if (process.ended)
        return;
    Thread* self = t_self && t_generation == S().generation ? t_self : nullptr;
    process.exitCode = exitCode;
    bool own = self && self->processId == process.id && !self->driver;
    StopThreadsOf(lock, process, own ? self : nullptr);
    if (own) {
        self->stopped = true;
        self->exitCode = DWORD(exitCode);
        EndThread(lock, *self);
        Park(lock, *self);
    }
}

void Kernel::TerminateEveryProcess(Lock& lock, int exitCode) {
    Thread* self = t_self && t_generation == S().generation ? t_self : nullptr;
    Process* own = nullptr;
    std::vector<Process*> others;
    for (auto& entry : S().processes) {
        Process* p = entry.second.get();
        if (p->id == kDriverProcessId || p->ended)
            continue;
        if (self && !self->driver && p->id == self->processId)
            own = p;
        else
            others.push_back(p);
    }
    for (Process* p : others)
        TerminateProcess(lock, *p, exitCode);
    if (own)
        TerminateProcess(lock, *own, exitCode);
}

void Kernel::HoldClock(const Lock&, bool hold) {
    S().clockHeld = hold;
}

bool Kernel::Wait(Lock& lock, const std::function<bool()>& ready, DWORD timeoutMs, bool pumpSent) {
    Thread& self = Current(lock);
    DWORD deadline = timeoutMs == INFINITE ? INFINITE : S().now + timeoutMs;
    for (;;) {
        // Stopped while it ran: whatever it waited for, its program is gone.
        if (self.stopped)
            Park(lock, self);
        if (pumpSent && !self.sent.empty()) {
            DispatchOneSent(lock);
            continue;
        }
        if (ready()) {
            self.deadline = INFINITE;
            return true;
        }
        if (deadline != INFINITE && S().now >= deadline) {
            self.deadline = INFINITE;
            return false;
        }
        self.deadline = deadline;
        self.idle = true;
        S().settled.notify_all();
        while (self.idle)
            self.wake.wait(lock);
        // A thread left over from an earlier boot has nothing to come back to.
        while (t_generation != S().generation)
            self.wake.wait(lock);
        if (self.stopped)
            Park(lock, self);
    }
}

void Kernel::ParkIfStopped(Lock& lock) {
    Thread& self = Current(lock);
    if (self.stopped)
        Park(lock, self);
}

void Kernel::WakeThread(const Lock&, Thread& thread) {
    // A parked thread never runs again; waking each one at every event made a device that has
    // seen thousands of programs end slower with each of them.
    if (thread.parked)
        return;
    thread.idle = false;
    thread.wake.notify_all();
}

void Kernel::WakeAll(const Lock& held) {
    for (auto& entry : S().threads)
        WakeThread(held, *entry.second);
}

bool Kernel::DispatchOneSent(Lock& lock) {
    Thread& self = Current(lock);
    if (self.sent.empty())
        return false;
    SentMessage* m = self.sent.front();
    self.sent.pop_front();
    ++self.handlingSent;
    self.handling.push_back(m);
    if (m->call) {
        lock.unlock();
        m->call();
        lock.lock();
    } else {
        m->result = DeliverMessage(lock, m->window, m->message, m->wParam, m->lParam);
    }
    // Stopped meanwhile: the sender has had its 0 and may be gone.
    if (self.ended)
        Park(lock, self);
    self.handling.pop_back();
    --self.handlingSent;
    m->done = true;
    if (m->sender)
        WakeThread(lock, *m->sender);
    return true;
}

HANDLE Kernel::AddHandle(const Lock& held, std::shared_ptr<KernelObject> object) {
    uintptr_t handle = S().nextHandle;
    S().nextHandle += 4;
    S().handles[handle] = State::HandleEntry{Current(held).processId, std::move(object)};
    return reinterpret_cast<HANDLE>(handle);
}

std::shared_ptr<KernelObject> Kernel::FindHandle(const Lock&, HANDLE handle) {
    auto it = S().handles.find(uintptr_t(handle));
    return it == S().handles.end() ? nullptr : it->second.object;
}

size_t Kernel::HandleCount(const Lock&, DWORD processId) {
    size_t count = 0;
    for (auto& entry : S().handles)
        count += entry.second.processId == processId ? 1 : 0;
    return count;
}

bool Kernel::CloseHandle(const Lock&, HANDLE handle) {
    return S().handles.erase(uintptr_t(handle)) != 0;
}

DWORD Kernel::Now(const Lock&) {
    return S().now;
}

void Kernel::Settle() {
    Lock lock(Mutex());
    auto limit = std::chrono::steady_clock::now() + kSettleLimit;
    while (!AllIdle(lock)) {
        if (S().settled.wait_until(lock, limit) == std::cv_status::timeout && !AllIdle(lock)) {
            DumpThreads(lock);
            std::abort();
        }
    }
}

void Kernel::Advance(DWORD milliseconds) {
    Settle();
    DWORD target;
    {
        Lock lock(Mutex());
        target = S().now + milliseconds;
    }
    for (;;) {
        Lock lock(Mutex());
        if (S().clockHeld)
            break;
        DWORD next = INFINITE;
        for (auto& entry : S().threads) {
            const Thread& t = *entry.second;
            if (t.idle && t.deadline != INFINITE)
                next = std::min(next, t.deadline);
        }
        for (auto& hook : S().nextDueHooks)
            next = std::min(next, hook(lock));
        if (next == INFINITE || next > target) {
            S().now = target;
            break;
        }
        S().now = std::max(S().now, next);
        for (auto& entry : S().threads) {
            Thread& t = *entry.second;
            if (t.idle && t.deadline != INFINITE && t.deadline <= S().now)
                WakeThread(lock, t);
        }
        for (auto& hook : S().fireDueHooks)
            hook(lock, S().now);
        lock.unlock();
        Settle();
    }
    Settle();
}

void Kernel::Reset() {
    Lock lock(Mutex());
    ++S().generation;
    // Records of threads that may still run, or that are parked, must outlive them.
    for (auto& entry : S().threads)
        if ((!entry.second->ended || entry.second->stopped) && !entry.second->driver)
            S().abandoned.push_back(std::move(entry.second));
    for (auto& entry : S().retired)
        if (entry.second->parked)
            S().abandoned.push_back(std::move(entry.second));
    S().threads.clear();
    S().retired.clear();
    S().processes.clear();
    S().handles.clear();
    S().now = 0;
    S().clockHeld = false;
    t_self = nullptr;
}

void Kernel::OnThreadEnd(std::function<void(const Lock&, Thread&)> hook) {
    Lock lock(Mutex());
    S().threadEndHooks.push_back(hook);
}

void Kernel::OnProcessEnd(std::function<void(const Lock&, Process&)> hook) {
    Lock lock(Mutex());
    S().processEndHooks.push_back(hook);
}

void Kernel::OnNextDue(std::function<DWORD(const Lock&)> nextDue,
                       std::function<void(const Lock&, DWORD)> fireDue) {
    Lock lock(Mutex());
    S().nextDueHooks.push_back(nextDue);
    S().fireDueHooks.push_back(fireDue);
}

bool EqualsNoCase(const std::u16string& a, const std::u16string& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (cesim_towlower(wchar_t(a[i])) != cesim_towlower(wchar_t(b[i])))
            return false;
    return true;
}

} // namespace cesim

extern "C" {

DWORD GetLastError(void) {
    cesim::Kernel::Lock lock(cesim::Kernel::Mutex());
    return cesim::Kernel::Current(lock).lastError;
}

void SetLastError(DWORD error) {
    cesim::Kernel::Lock lock(cesim::Kernel::Mutex());
    cesim::Kernel::Current(lock).lastError = error;
}

BOOL CloseHandle(HANDLE handle) {
    cesim::Kernel::Lock lock(cesim::Kernel::Mutex());
    if (!cesim::Kernel::CloseHandle(lock, handle)) {
        cesim::Kernel::Current(lock).lastError = ERROR_INVALID_HANDLE;
        return FALSE;
    }
    return TRUE;
}

DWORD GetTickCount(void) {
    cesim::Kernel::Lock lock(cesim::Kernel::Mutex());
    return cesim::Kernel::Now(lock);
}

void Sleep(DWORD milliseconds) {
    cesim::Kernel::Lock lock(cesim::Kernel::Mutex());
    // The driver moves the clock; if it slept on the clock, nothing would ever wake it.
    if (cesim::Kernel::Current(lock).driver || milliseconds == 0)
        return;
    cesim::Kernel::Wait(
        lock, [] { return false; }, milliseconds, false);
}

DWORD GetCurrentThreadId(void) {
    cesim::Kernel::Lock lock(cesim::Kernel::Mutex());
    return cesim::Kernel::Current(lock).id;
}

DWORD GetCurrentProcessId(void) {
    cesim::Kernel::Lock lock(cesim::Kernel::Mutex());
    return cesim::Kernel::Current(lock).processId;
}

} // extern "C"
