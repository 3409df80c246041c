// The device commands: soft reset, display off, power off and the screen's orientation.
#ifndef VEXO_DEVICE_POWER_H
#define VEXO_DEVICE_POWER_H

#include <windows.h>

void ResetPocketPC();
// Asks first when the settings want a confirmation.
void OnSoftReset();
void DisplayOff();
void PowerOff();
// Orientation values as the display settings use them: 0, 1 (90), 2 (180), 4 (270).
void SetScreenOrientation(DWORD orientation);
DWORD GetScreenOrientation();

#endif
