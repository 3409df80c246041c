// Injected failures of API calls.
#include "faults.h"

#include <cesim/device.h>

#include <map>
#include <mutex>
#include <string>

namespace cesim {

namespace {

struct Fault {
    DWORD error = 0;
    int remaining = -1;   // -1: until cleared
};

std::mutex& FaultMutex() {
    static std::mutex* m = new std::mutex;
    return *m;
}

std::map<std::string, Fault>& Faults() {
    static std::map<std::string, Fault>* faults = new std::map<std::string, Fault>;
    return *faults;
}

} // namespace

void InjectFailure(const std::string& api, DWORD error, int times) {
    std::lock_guard<std::mutex> lock(FaultMutex());
    if (times == 0)
        Faults().erase(api);
    else
        Faults()[api] = Fault{error, times};
}

void ClearFailures() {
    std::lock_guard<std::mutex> lock(FaultMutex());
    Faults().clear();
}

bool ShouldFail(const char* api, DWORD* error) {
    std::lock_guard<std::mutex> lock(FaultMutex());
    auto it = Faults().find(api);
    if (it == Faults().end())
        return false;
    *error = it->second.error;
    if (it->second.remaining > 0 && --it->second.remaining == 0)
        Faults().erase(it);
    return true;
}

} // namespace cesim
