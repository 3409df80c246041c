// Processes and threads: handles to them, waits on them, module paths, program images
// installed on the device, CreateProcessW, CreateThread and TerminateProcess.
#include "kernel.h"

#include "faults.h"
#include "processes.h"

#include <cesim/device.h>

#include <filesystem>
#include <fstream>

namespace cesim {

namespace {

typedef Kernel::Lock Lock;

// A handle to a process is signalled once the process has ended.
struct ProcessHandle : KernelObject {
    DWORD processId = 0;

    bool Waitable() const override { return true; }
    bool Signaled(const Lock& held, const Thread&) const override {
        Process* p = Kernel::FindProcess(held, processId);
        return !p || p->ended;
    }
};

// A handle to a thread is signalled once the thread has ended.
struct ThreadHandle : KernelObject {
    DWORD threadId = 0;

    bool Waitable() const override { return true; }
    bool Signaled(const Lock& held, const Thread&) const override {
        Thread* t = Kernel::FindThread(held, threadId);
        return !t || t->ended;
    }
};

struct State {
    std::vector<ProgramImage> installed;
    std::vector<StartedProcess> started;
};

State& S() {
    static State* state = new State;
    return *state;
}

void SetError(const Lock& held, DWORD error) {
    Kernel::Current(held).lastError = error;
}

Process* ProcessOfModule(const Lock& held, HMODULE module) {
    if (!module)
        return Kernel::FindProcess(held, Kernel::Current(held).processId);
    if (Process* p = Kernel::FindProcessByInstance(held, module))
        return p;
    auto handle = std::dynamic_pointer_cast<ProcessHandle>(
        Kernel::FindHandle(held, reinterpret_cast<HANDLE>(module)));
    return handle ? Kernel::FindProcess(held, handle->processId) : nullptr;
}

std::shared_ptr<ProcessHandle> FindProcessHandle(const Lock& held, HANDLE handle) {
    return std::dynamic_pointer_cast<ProcessHandle>(Kernel::FindHandle(held, handle));
}

HANDLE OpenProcessHandle(const Lock& held, DWORD processId) {
    auto handle = std::make_shared<ProcessHandle>();
    handle->processId = processId;
    return Kernel::AddHandle(held, handle);
}

HANDLE OpenThreadHandle(const Lock& held, DWORD threadId) {
    auto handle = std::make_shared<ThreadHandle>();
    handle->threadId = threadId;
    return Kernel::AddHandle(held, handle);
}

// Where the device looks for an image: the name as given, and a bare name in \Windows; a
// name without an extension is an .exe. Doubled separators name the same file, as they do
// for the file system.
std::u16string ResolveImagePath(const std::u16string& name) {
    std::u16string path;
    for (char16_t c : name)
        if (!(c == u'\\' && !path.empty() && path.back() == u'\\'))
            path.push_back(c);
    size_t slash = path.find_last_of(u"\\/");
    std::u16string file = slash == std::u16string::npos ? path : path.substr(slash + 1);
    if (file.find(u'.') == std::u16string::npos)
        path += u".exe";
    if (slash == std::u16string::npos)
        path = u"\\Windows\\" + path;
    return path;
}

const ProgramImage* FindImage(const Lock&, const std::u16string& path) {
    for (const ProgramImage& image : S().installed)
        if (EqualsNoCase(image.modulePath, path))
            return &image;
    return nullptr;
}

DWORD Launch(const ProgramImage& image, const std::u16string& commandLine) {
    ProgramEntry entry = image.entry;
    return Kernel::StartProcess(
        image.modulePath, image.resources, commandLine, [entry](Process& process) {
            std::vector<wchar_t> line(process.commandLine.begin(), process.commandLine.end());
            line.push_back(0);
            return entry(process.instance, nullptr, line.data(), SW_SHOW);
        });
}

} // namespace

DWORD StartProgram(const ProgramImage& image) {
    DWORD id = Launch(image, image.commandLine);
    Kernel::Settle();
    return id;
}

void InstallProgram(const ProgramImage& image) {
    std::string host = HostPath(image.modulePath);
    std::filesystem::create_directories(std::filesystem::path(host).parent_path());
    // The file only has to exist: what runs is the image's entry point.
    std::ofstream(host, std::ios::binary) << "MZ";
    RegisterProgramImage(image);
}

void RegisterProgramImage(const ProgramImage& image) {
    Kernel::Lock lock(Kernel::Mutex());
    for (ProgramImage& existing : S().installed) {
        if (EqualsNoCase(existing.modulePath, image.modulePath)) {
            existing = image;
            return;
        }
    }
    S().installed.push_back(image);
}

const std::vector<uint8_t>* InstalledImageResources(const Kernel::Lock& held,
                                                   const std::u16string& path) {
    const ProgramImage* image = FindImage(held, path);
    return image ? &image->resources : nullptr;
}

std::vector<StartedProcess> StartedProcesses() {
    Kernel::Lock lock(Kernel::Mutex());
    return S().started;
}

bool TerminateProgram(DWORD processId, int exitCode) {
    {
        Kernel::Lock lock(Kernel::Mutex());
        Process* p = Kernel::FindProcess(lock, processId);
        if (!p || p->ended)
            return false;
        Kernel::TerminateProcess(lock, *p, exitCode);
    }
    Kernel::Settle();
    return true;
}

DWORD StartThreadIn(DWORD processId, std::function<void()> fn) {
    DWORD id = 0;
    {
        Kernel::Lock lock(Kernel::Mutex());
        Process* p = Kernel::FindProcess(lock, processId);
        if (!p || p->ended)
            return 0;
        id = Kernel::StartThread(lock, *p, [fn] {
            fn();
            return DWORD(0);
        });
    }
    Kernel::Settle();
    return id;
}

size_t OpenHandles(DWORD processId) {
    Kernel::Lock lock(Kernel::Mutex());
    return Kernel::HandleCount(lock, processId);
}

size_t LiveThreads(DWORD processId) {
    Kernel::Lock lock(Kernel::Mutex());
    Process* p = Kernel::FindProcess(lock, processId);
    return p ? size_t(p->liveThreads) : 0;
}

void SetProcessOpenable(DWORD processId, bool openable) {
    Lock lock(Kernel::Mutex());
    if (Process* p = Kernel::FindProcess(lock, processId))
        p->openable = openable;
}

void ResetProcesses() {
    Kernel::Lock lock(Kernel::Mutex());
    // Installed images are files of the device's storage, which a reboot keeps only when the
    // storage is kept; the records of what was started go with the running life.
    S().started.clear();
}

} // namespace cesim

using namespace cesim;

extern "C" {

HANDLE OpenProcess(DWORD access, BOOL inherit, DWORD processId) {
    // The device ignores the access mask: every handle may wait, query and terminate.
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
    return OpenProcessHandle(lock, processId);
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

BOOL TerminateProcess(HANDLE process, UINT exitCode) {
    Lock lock(Kernel::Mutex());
    auto handle = FindProcessHandle(lock, process);
    if (!handle) {
        SetError(lock, ERROR_INVALID_HANDLE);
        return FALSE;
    }
    Process* p = Kernel::FindProcess(lock, handle->processId);
    if (!p || p->ended) {
        SetError(lock, ERROR_ACCESS_DENIED);
        return FALSE;
    }
    Kernel::TerminateProcess(lock, *p, int(exitCode));
    return TRUE;
}

BOOL GetExitCodeProcess(HANDLE process, LPDWORD exitCode) {
    Lock lock(Kernel::Mutex());
    auto handle = FindProcessHandle(lock, process);
    Process* p = handle ? Kernel::FindProcess(lock, handle->processId) : nullptr;
    if (!p || !exitCode) {
        SetError(lock, ERROR_INVALID_HANDLE);
        return FALSE;
    }
    *exitCode = p->ended ? DWORD(p->exitCode) : DWORD(STILL_ACTIVE);
    return TRUE;
}

BOOL CreateProcessW(LPCWSTR imageName, LPWSTR commandLine, LPSECURITY_ATTRIBUTES processAttributes,
                    LPSECURITY_ATTRIBUTES threadAttributes, BOOL inheritHandles,
                    DWORD creationFlags, LPVOID environment, LPCWSTR currentDirectory,
                    LPSTARTUPINFOW startupInfo, LPPROCESS_INFORMATION processInformation) {
    DWORD injected = 0;
    bool fail = ShouldFail("CreateProcessW", &injected);
    std::u16string path = imageName ? ResolveImagePath(U16(imageName)) : std::u16string();
    std::string host = path.empty() ? std::string() : HostPath(path);
    std::error_code ec;
    bool fileThere = !host.empty() && std::filesystem::is_regular_file(host, ec);
    Lock lock(Kernel::Mutex());
    if (fail) {
        SetError(lock, injected);
        return FALSE;
    }
    if (!imageName || !imageName[0]) {
        SetError(lock, ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!fileThere) {
        SetError(lock, ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    const ProgramImage* found = FindImage(lock, path);
    if (!found) {
        SetError(lock, ERROR_BAD_EXE_FORMAT);
        return FALSE;
    }
    ProgramImage image = *found;
    std::u16string line = U16(commandLine);
    DWORD parent = Kernel::Current(lock).processId;
    lock.unlock();
    DWORD processId = Launch(image, line);
    lock.lock();
    Process* p = Kernel::FindProcess(lock, processId);
    S().started.push_back(StartedProcess{processId, parent, image.modulePath, line});
    if (processInformation) {
        processInformation->hProcess = OpenProcessHandle(lock, processId);
        processInformation->hThread = OpenThreadHandle(lock, p ? p->primaryThreadId : 0);
        processInformation->dwProcessId = processId;
        processInformation->dwThreadId = p ? p->primaryThreadId : 0;
    }
    SetError(lock, ERROR_SUCCESS);
    return TRUE;
}

HANDLE CreateThread(LPSECURITY_ATTRIBUTES attributes, DWORD stackSize, LPTHREAD_START_ROUTINE start,
                    LPVOID parameter, DWORD creationFlags, LPDWORD threadId) {
    DWORD injected = 0;
    bool fail = ShouldFail("CreateThread", &injected);
    Lock lock(Kernel::Mutex());
    if (fail) {
        SetError(lock, injected);
        return nullptr;
    }
    // A suspended start would need ResumeThread, which nothing here uses.
    if (!start || (creationFlags & CREATE_SUSPENDED)) {
        SetError(lock, ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    Process* process = Kernel::FindProcess(lock, Kernel::Current(lock).processId);
    if (!process || process->ended) {
        SetError(lock, ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    DWORD id = Kernel::StartThread(lock, *process, [start, parameter] { return start(parameter); });
    if (threadId)
        *threadId = id;
    return OpenThreadHandle(lock, id);
}

BOOL GetExitCodeThread(HANDLE thread, LPDWORD exitCode) {
    Lock lock(Kernel::Mutex());
    auto handle = std::dynamic_pointer_cast<ThreadHandle>(Kernel::FindHandle(lock, thread));
    Thread* t = handle ? Kernel::FindThread(lock, handle->threadId) : nullptr;
    if (!t || !exitCode) {
        SetError(lock, ERROR_INVALID_HANDLE);
        return FALSE;
    }
    *exitCode = t->ended ? t->exitCode : DWORD(STILL_ACTIVE);
    return TRUE;
}

} // extern "C"
