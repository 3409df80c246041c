// The Bluetooth utility calls of the device's own Bluetooth stack.
#ifndef CESIM_BTHUTIL_H
#define CESIM_BTHUTIL_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

enum BTH_RADIO_MODE { BTH_POWER_OFF, BTH_CONNECTABLE, BTH_DISCOVERABLE };

// ERROR_SUCCESS or an error code. The mode set is kept across a soft reset.
int BthGetMode(DWORD* mode);
int BthSetMode(DWORD mode);

#ifdef __cplusplus
}
#endif

#endif
