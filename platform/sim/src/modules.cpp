// Module handles of the simulated device: one module, the program's image, per process.
#include "modules.h"

#include "kernel.h"

namespace cesim {

const std::vector<uint8_t>* ModuleResources(HINSTANCE instance) {
    Kernel::Lock lock(Kernel::Mutex());
    Process* process = Kernel::FindProcessByInstance(lock, instance);
    if (!process || process->resources.empty())
        return nullptr;
    return &process->resources;
}

} // namespace cesim

extern "C" HMODULE GetModuleHandleW(LPCWSTR moduleName) {
    cesim::Kernel::Lock lock(cesim::Kernel::Mutex());
    cesim::Thread& self = cesim::Kernel::Current(lock);
    cesim::Process* process = cesim::Kernel::FindProcess(lock, self.processId);
    if (!process)
        return nullptr;
    if (moduleName) {
        // Only the process's own image is loaded; it answers to its file name.
        std::u16string wanted = cesim::U16(moduleName);
        const std::u16string& path = process->modulePath;
        size_t slash = path.find_last_of(u'\\');
        std::u16string file = slash == std::u16string::npos ? path : path.substr(slash + 1);
        if (!cesim::EqualsNoCase(wanted, file) && !cesim::EqualsNoCase(wanted, path))
            return nullptr;
    }
    return process->instance;
}
