// Power, reset, display and rotation.
#include "device/power.h"

void ResetPocketPC() {}

void OnSoftReset() {}

void DisplayOff() {}

void PowerOff() {}

void SetScreenOrientation(DWORD orientation) {}

DWORD GetScreenOrientation() { return 0; }
