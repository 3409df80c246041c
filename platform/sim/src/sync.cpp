// Kernel objects for synchronisation: named mutexes and critical sections.
#include "kernel.h"
#include "sync.h"

#include <algorithm>
#include <set>

namespace cesim {

namespace {

typedef Kernel::Lock Lock;

struct MutexObject : KernelObject {
    std::u16string name;
    DWORD ownerThread = 0;
    DWORD ownerProcess = 0;
    int recursion = 0;

    bool Waitable() const override { return true; }
    bool Signaled(const Lock&, const Thread& waiter) const override {
        return ownerThread == 0 || ownerThread == waiter.id;
    }
    void Acquire(const Lock&, Thread& waiter) override {
        ownerThread = waiter.id;
        ownerProcess = waiter.processId;
        ++recursion;
    }
};

struct CriticalSectionImpl {
    DWORD processId = 0;
    DWORD ownerThread = 0;
    int recursion = 0;
};

struct State {
    // A named mutex lives while a handle to it is open.
    std::vector<std::weak_ptr<MutexObject>> named;
    // Critical sections live in their process's memory and go with it.
    std::set<CriticalSectionImpl*> sections;
};

State& S() {
    static State* state = new State;
    return *state;
}

void SetError(const Lock& held, DWORD error) {
    Kernel::Current(held).lastError = error;
}

std::shared_ptr<MutexObject> FindMutex(const Lock& held, HANDLE handle) {
    return std::dynamic_pointer_cast<MutexObject>(Kernel::FindHandle(held, handle));
}

// A process that ends abandons the mutexes it owned, and its memory holds its critical sections.
bool RegisterHooks() {
    Kernel::OnProcessEnd([](const Lock&, Process& process) {
        for (auto it = S().sections.begin(); it != S().sections.end();) {
            if ((*it)->processId == process.id) {
                delete *it;
                it = S().sections.erase(it);
            } else {
                ++it;
            }
        }
        for (auto& weak : S().named) {
            std::shared_ptr<MutexObject> m = weak.lock();
            if (m && m->ownerProcess == process.id) {
                m->ownerThread = 0;
                m->ownerProcess = 0;
                m->recursion = 0;
            }
        }
    });
    return true;
}
bool g_hooks = RegisterHooks();

} // namespace

void ResetCriticalSections(const Lock&) {
    for (CriticalSectionImpl* impl : S().sections)
        delete impl;
    S().sections.clear();
}

} // namespace cesim

using namespace cesim;

extern "C" {

HANDLE CreateMutexW(LPSECURITY_ATTRIBUTES attributes, BOOL initialOwner, LPCWSTR name) {
    Lock lock(Kernel::Mutex());
    Thread& self = Kernel::Current(lock);
    std::u16string wanted = U16(name);
    auto& named = S().named;
    named.erase(std::remove_if(named.begin(), named.end(),
                               [](const std::weak_ptr<MutexObject>& w) { return w.expired(); }),
                named.end());
    std::shared_ptr<MutexObject> mutex;
    if (!wanted.empty())
        for (auto& weak : named)
            if (auto m = weak.lock())
                if (m->name == wanted)
                    mutex = m;
    bool existed = mutex != nullptr;
    if (!mutex) {
        mutex = std::make_shared<MutexObject>();
        mutex->name = wanted;
        if (initialOwner) {
            mutex->ownerThread = self.id;
            mutex->ownerProcess = self.processId;
            mutex->recursion = 1;
        }
        if (!wanted.empty())
            named.push_back(mutex);
    }
    HANDLE handle = Kernel::AddHandle(lock, mutex);
    self.lastError = existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS;
    return handle;
}

BOOL ReleaseMutex(HANDLE handle) {
    Lock lock(Kernel::Mutex());
    std::shared_ptr<MutexObject> m = FindMutex(lock, handle);
    if (!m) {
        SetError(lock, ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (m->ownerThread != Kernel::Current(lock).id) {
        SetError(lock, ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (--m->recursion == 0) {
        m->ownerThread = 0;
        m->ownerProcess = 0;
        Kernel::WakeAll(lock);
    }
    return TRUE;
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
    Lock lock(Kernel::Mutex());
    Thread& self = Kernel::Current(lock);
    std::shared_ptr<KernelObject> object = Kernel::FindHandle(lock, handle);
    if (!object || !object->Waitable()) {
        SetError(lock, ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    }
    auto signaled = [&] { return object->Signaled(lock, self); };
    // The driver moves the clock itself, so it cannot sleep on it: it only looks.
    bool got = self.driver ? signaled() : Kernel::Wait(lock, signaled, milliseconds, false);
    if (!got)
        return WAIT_TIMEOUT;
    object->Acquire(lock, self);
    return WAIT_OBJECT_0;
}

void InitializeCriticalSection(LPCRITICAL_SECTION cs) {
    Lock lock(Kernel::Mutex());
    CriticalSectionImpl* impl = new CriticalSectionImpl;
    impl->processId = Kernel::Current(lock).processId;
    S().sections.insert(impl);
    cs->impl = impl;
    cs->LockCount = 0;
    cs->OwnerThread = nullptr;
}

void DeleteCriticalSection(LPCRITICAL_SECTION cs) {
    Lock lock(Kernel::Mutex());
    // A section of a process that has ended is gone with it.
    Kernel::ParkIfStopped(lock);
    CriticalSectionImpl* impl = static_cast<CriticalSectionImpl*>(cs->impl);
    if (S().sections.erase(impl))
        delete impl;
    cs->impl = nullptr;
}

void EnterCriticalSection(LPCRITICAL_SECTION cs) {
    Lock lock(Kernel::Mutex());
    Kernel::ParkIfStopped(lock);
    CriticalSectionImpl* impl = static_cast<CriticalSectionImpl*>(cs->impl);
    DWORD self = Kernel::Current(lock).id;
    Kernel::Wait(
        lock, [&] { return impl->ownerThread == 0 || impl->ownerThread == self; }, INFINITE, false);
    impl->ownerThread = self;
    ++impl->recursion;
    cs->LockCount = DWORD(impl->recursion);
    cs->OwnerThread = reinterpret_cast<HANDLE>(uintptr_t(self));
}

void LeaveCriticalSection(LPCRITICAL_SECTION cs) {
    Lock lock(Kernel::Mutex());
    Kernel::ParkIfStopped(lock);
    CriticalSectionImpl* impl = static_cast<CriticalSectionImpl*>(cs->impl);
    if (impl->ownerThread != Kernel::Current(lock).id || impl->recursion == 0)
        return;
    if (--impl->recursion == 0) {
        impl->ownerThread = 0;
        cs->OwnerThread = nullptr;
        Kernel::WakeAll(lock);
    }
    cs->LockCount = DWORD(impl->recursion);
}

} // extern "C"
