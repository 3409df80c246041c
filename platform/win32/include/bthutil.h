// The Bluetooth utility calls of Windows CE, which desktop Windows does not have.
#ifndef VEXO_WIN32_BTHUTIL_H
#define VEXO_WIN32_BTHUTIL_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

#define BTH_POWER_OFF 0
#define BTH_CONNECTABLE 1
#define BTH_DISCOVERABLE 2

// The stand-in radio starts off and keeps, for this process, the mode last set.
int BthGetMode(DWORD* mode);
int BthSetMode(DWORD mode);

#ifdef __cplusplus
}
#endif

#endif
