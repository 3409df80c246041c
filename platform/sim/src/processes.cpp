// Process handles and module paths.
#include "kernel.h"

#include <cesim/device.h>

namespace cesim {

namespace {

typedef Kernel::Lock Lock;

struct ProcessHandle : KernelObject {
    DWORD processId = 0;
};

void SetError(const Lock& held, DWORD error) { Kernel::Current(held).lastError = error; }

Process* ProcessOfModule(const Lock& held, HMODULE module) {
    if (!module)
        return Kernel::FindProcess(held, Kernel::Current(held).processId);
    if (Process* p = Kernel::FindProcessByInstance(held, module))
        return p;
    auto handle = std::dynamic_pointer_cast<ProcessHandle>(
        Kernel::FindHandle(held, reinterpret_cast<HANDLE>(module)));
    return handle ? Kernel::FindProcess(held, handle->processId) : nullptr;
}

} // namespace

void SetProcessOpenable(DWORD processId, bool openable) {
    Lock lock(Kernel::Mutex());
    if (Process* p = Kernel::FindProcess(lock, processId))
        p->openable = openable;
}

} // namespace cesim

using namespace cesim;

extern "C" {

HANDLE OpenProcess(DWORD access, BOOL inherit, DWORD processId) {
    Lock lock(Kernel::Mutex());
    Process* p = Kernel::FindProcess(lock, processId);
    if (!p || p->ended) {
        SetError(lock, ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (!p->openable) {
        SetError(lock, ERROR_ACCESS_DENIED);
        return nullptr;
    }
    auto handle = std::make_shared<ProcessHandle>();
    handle->processId = processId;
    return Kernel::AddHandle(lock, handle);
}

DWORD GetModuleFileNameW(HMODULE module, LPWSTR fileName, DWORD capacity) {
    Lock lock(Kernel::Mutex());
    Process* p = ProcessOfModule(lock, module);
    if (!p) {
        SetError(lock, ERROR_INVALID_HANDLE);
        return 0;
    }
    if (!fileName || capacity == 0) {
        SetError(lock, ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    const std::u16string& path = p->modulePath;
    DWORD n = DWORD(std::min<size_t>(path.size(), capacity - 1));
    for (DWORD i = 0; i < n; ++i)
        fileName[i] = wchar_t(path[i]);
    fileName[n] = 0;
    if (n < path.size()) {
        SetError(lock, ERROR_INSUFFICIENT_BUFFER);
        return capacity;
    }
    return n;
}

} // extern "C"
