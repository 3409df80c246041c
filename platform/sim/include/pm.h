// The power manager's device calls.
#ifndef CESIM_PM_H
#define CESIM_PM_H

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
} CEDEVICE_POWER_STATE,
    *PCEDEVICE_POWER_STATE;

#define POWER_NAME 0x00000001
#define POWER_FORCE 0x00001000

// A name without a "{class}\" prefix belongs to the generic class of power-managed devices.
#define PMCLASS_GENERIC_DEVICE L"{A32942B7-920C-486b-B0E6-92A702A99B35}"

// ERROR_SUCCESS, ERROR_FILE_NOT_FOUND for a device the power manager does not know, or
// ERROR_INVALID_PARAMETER. A failed call leaves *state as it was.
DWORD GetDevicePower(PVOID device, DWORD flags, PCEDEVICE_POWER_STATE state);
// PwrDeviceUnspecified gives the device back to its own power management.
DWORD SetDevicePower(PVOID device, DWORD flags, CEDEVICE_POWER_STATE state);

#ifdef __cplusplus
}
#endif

#endif
