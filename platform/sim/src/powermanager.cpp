// The power manager's named devices: their power states as GetDevicePower reports them and
// SetDevicePower sets them.
#include <cesim/power.h>

#include "faults.h"
#include "services.h"

#include <map>

namespace cesim {

namespace {

typedef Kernel::Lock Lock;

struct PowerDevice {
    CEDEVICE_POWER_STATE bootState = D0;
    CEDEVICE_POWER_STATE state = D0;
};

struct State {
    std::map<std::u16string, PowerDevice> devices; // by class-qualified name, lower case
};

State& S() {
    static State* state = new State;
    return *state;
}

// The power manager's key for a device: its class, a backslash, its name, without case.
std::u16string Key(const std::u16string& name) {
    std::u16string full = name;
    if (full.empty() || full[0] != u'{')
        full = U16(PMCLASS_GENERIC_DEVICE) + u"\\" + full;
    for (char16_t& c : full)
        c = char16_t(cesim_towlower(wchar_t(c)));
    return full;
}

PowerDevice* Find(const Lock&, PVOID device) {
    auto it = S().devices.find(Key(U16(static_cast<const wchar_t*>(device))));
    return it == S().devices.end() ? nullptr : &it->second;
}

bool KnownState(CEDEVICE_POWER_STATE state) {
    return state >= D0 && state <= D4;
}

} // namespace

void BootPowerManager(bool keepStorage) {
    Lock lock(Kernel::Mutex());
    if (!keepStorage)
        S().devices.clear();
    for (auto& entry : S().devices)
        entry.second.state = entry.second.bootState;
}

void AddPowerDevice(const std::u16string& name, CEDEVICE_POWER_STATE state) {
    Lock lock(Kernel::Mutex());
    S().devices[Key(name)] = PowerDevice{state, state};
}

std::optional<CEDEVICE_POWER_STATE> PowerDeviceState(const std::u16string& name) {
    Lock lock(Kernel::Mutex());
    auto it = S().devices.find(Key(name));
    if (it == S().devices.end())
        return std::nullopt;
    return it->second.state;
}

} // namespace cesim

using namespace cesim;

extern "C" {

DWORD GetDevicePower(PVOID device, DWORD flags, PCEDEVICE_POWER_STATE state) {
    DWORD injected = 0;
    if (ShouldFail("GetDevicePower", &injected))
        return injected;
    if (!device || !state || !(flags & POWER_NAME))
        return ERROR_INVALID_PARAMETER;
    Lock lock(Kernel::Mutex());
    PowerDevice* found = Find(lock, device);
    if (!found)
        return ERROR_FILE_NOT_FOUND;
    *state = found->state;
    return ERROR_SUCCESS;
}

DWORD SetDevicePower(PVOID device, DWORD flags, CEDEVICE_POWER_STATE state) {
    DWORD injected = 0;
    if (ShouldFail("SetDevicePower", &injected))
        return injected;
    if (!device || !(flags & POWER_NAME) || !(KnownState(state) || state == PwrDeviceUnspecified))
        return ERROR_INVALID_PARAMETER;
    Lock lock(Kernel::Mutex());
    PowerDevice* found = Find(lock, device);
    if (!found)
        return ERROR_FILE_NOT_FOUND;
    // Unspecified hands the device back to its own management, which keeps it as it boots.
    found->state = state == PwrDeviceUnspecified ? found->bootState : state;
    return ERROR_SUCCESS;
}

} // extern "C"
