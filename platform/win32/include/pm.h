// The power manager's device calls, which desktop Windows does not have.
#ifndef VEXO_WIN32_PM_H
#define VEXO_WIN32_PM_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef enum _CEDEVICE_POWER_STATE {
    PwrDeviceUnspecified = -1,
    D0 = 0,
    D1,
    D2,
    D3,
    D4,
    PwrDeviceMaximum
} CEDEVICE_POWER_STATE, *PCEDEVICE_POWER_STATE;

#define POWER_NAME 0x00000001
#define POWER_FORCE 0x00001000

// The desktop has no devices of the power manager: the stand-in remembers, per device name and
// for this process, the state last set, and reports D0 for a device never set.
DWORD GetDevicePower(PVOID device, DWORD flags, PCEDEVICE_POWER_STATE state);
DWORD SetDevicePower(PVOID device, DWORD flags, CEDEVICE_POWER_STATE state);

#ifdef __cplusplus
}
#endif

#endif
