// The display driver's power-management escapes of Windows CE, which the desktop's headers do
// not name. ExtEscape itself is the desktop's own: its display driver answers the support query.
#ifndef VEXO_WIN32_PWINGDI_H
#define VEXO_WIN32_PWINGDI_H

#include <windows.h>

#define SETPOWERMANAGEMENT 6147
#define GETPOWERMANAGEMENT 6148

typedef enum _VIDEO_POWER_STATE {
    VideoPowerOn = 1,
    VideoPowerStandBy,
    VideoPowerSuspend,
    VideoPowerOff
} VIDEO_POWER_STATE,
    *PVIDEO_POWER_STATE;

typedef struct _VIDEO_POWER_MANAGEMENT {
    ULONG Length;
    ULONG DPMSVersion;
    ULONG PowerState;
} VIDEO_POWER_MANAGEMENT, *PVIDEO_POWER_MANAGEMENT;

#endif
