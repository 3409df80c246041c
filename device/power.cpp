// Power, reset, display and rotation.
#include "device/power.h"

#include "config/log.h"

void ResetPocketPC() {
    if (appLog)
        appLog->Write(3, "ResetPocketPC()");
}

void OnSoftReset() {}

void DisplayOff() {
    if (appLog)
        appLog->Write(3, "DisplayOff()");
}

void PowerOff() {
    if (appLog)
        appLog->Write(3, "PowerOff()");
}

void SetScreenOrientation(DWORD orientation) {
    if (appLog)
        appLog->Write(3, "SetScreenOrientation(%d)", int(orientation));
}

DWORD GetScreenOrientation() {
    if (appLog)
        appLog->Write(3, "GetScreenOrientation()");
    return 0;
}
