// The device's power: the soft reset through the kernel's I/O control and the boot after it,
// the power key's sleep and the wake-up, and the keys programs synthesize with keybd_event.
#include <cesim/power.h>

#include <pkfuncs.h>

#include "messages.h"
#include "services.h"

namespace cesim {

namespace {

typedef Kernel::Lock Lock;

struct State {
    int restarts = 0;
    bool halted = false;
    bool asleep = false;
    std::vector<KeyEvent> keys;
};

State& S() {
    static State* state = new State;
    return *state;
}

void GoToSleep(const Lock& held) {
    S().asleep = true;
    Kernel::HoldClock(held, true);
}

void WakeUp(const Lock& held) {
    S().asleep = false;
    Kernel::HoldClock(held, false);
    WakeDisplay(held);
}

} // namespace

void BootPower(bool keepStorage) {
    Lock lock(Kernel::Mutex());
    int restarts = keepStorage ? S().restarts : 0;
    S() = State();
    S().restarts = restarts;
}

bool DeviceSleeps(const Kernel::Lock&) {
    return S().asleep;
}

bool DeviceHalted(const Kernel::Lock&) {
    return S().halted;
}

int Restarts() {
    Lock lock(Kernel::Mutex());
    return S().restarts;
}

bool Halted() {
    Lock lock(Kernel::Mutex());
    return S().halted;
}

void BootAgain() {
    BootDevice(BootedWith(), true);
}

bool DeviceAsleep() {
    Lock lock(Kernel::Mutex());
    return S().asleep;
}

void PressPowerButton() {
    {
        Lock lock(Kernel::Mutex());
        if (S().halted)
            return;
        if (S().asleep)
            WakeUp(lock);
        else
            GoToSleep(lock);
    }
    Kernel::Settle();
}

std::vector<KeyEvent> KeyEvents() {
    Lock lock(Kernel::Mutex());
    return S().keys;
}

} // namespace cesim

using namespace cesim;

extern "C" {

BOOL KernelIoControl(DWORD code, LPVOID in, DWORD inSize, LPVOID out, DWORD outSize,
                     LPDWORD returned) {
    if (returned)
        *returned = 0;
    Lock lock(Kernel::Mutex());
    if (code != IOCTL_HAL_REBOOT) {
        Kernel::Current(lock).lastError = ERROR_NOT_SUPPORTED;
        return FALSE;
    }
    ++S().restarts;
    S().halted = true;
    S().asleep = false;
    Kernel::HoldClock(lock, false);
    // A program's thread parks here for good; only the driver's own call comes back.
    Kernel::TerminateEveryProcess(lock, 0);
    return TRUE;
}

void keybd_event(BYTE virtualKey, BYTE scan, DWORD flags, DWORD extraInfo) {
    bool release = (flags & KEYEVENTF_KEYUP) != 0;
    {
        Lock lock(Kernel::Mutex());
        S().keys.push_back(KeyEvent{virtualKey, flags});
        if (S().halted)
            return;
        if (virtualKey == VK_OFF) {
            // The key goes down to sleep; its release finds the device asleep already.
            if (!release && !S().asleep)
                GoToSleep(lock);
            return;
        }
    }
    DeliverHardwareKey(virtualKey, release);
}

} // extern "C"
