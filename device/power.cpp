// Power, reset, display and rotation.
#include "device/power.h"

#include <pkfuncs.h>
#include <pwingdi.h>

#include "config/config.h"
#include "config/language.h"
#include "config/log.h"
#include "resources/resource.h"

static const WCHAR kRotationKey[] = L"System\\GDI\\Rotation";

// The angle the registry records for an orientation; one the table does not know counts as 0.
static DWORD AngleOf(DWORD orientation) {
    switch (orientation) {
    case DMDO_90:
        return 90;
    case DMDO_180:
        return 180;
    case DMDO_270:
        return 270;
    }
    return 0;
}

// The display settings record both orientation calls use: zero but for its size and the one
// field they ask about.
static void PrepareDisplaySettings(DEVMODEW* mode, DWORD orientation) {
    memset(mode, 0, sizeof *mode);
    mode->dmSize = sizeof *mode;
    mode->dmFields = DM_DISPLAYORIENTATION;
    mode->dmDisplayOrientation = orientation;
}

void ResetPocketPC() {
    if (appLog)
        appLog->Write(3, "ResetPocketPC()");
    KernelIoControl(IOCTL_HAL_REBOOT, NULL, 0, NULL, 0, NULL);
}

void OnSoftReset() {
    LPCWSTR text = LoadUiString(IDS_CONFIRM_SOFT_RESET);
    LPCWSTR caption = LoadUiString(IDS_APP_NAME);
    if (config.ConfirmSoftReset == 0) {
        ResetPocketPC();
        return;
    }
    if (MessageBoxW(NULL, text, caption, MB_YESNO | MB_ICONEXCLAMATION | MB_SETFOREGROUND) == IDYES)
        ResetPocketPC();
}

void DisplayOff() {
    if (appLog)
        appLog->Write(3, "DisplayOff()");
    HDC screen = GetDC(NULL);
    if (!screen)
        return;
    DWORD escape = SETPOWERMANAGEMENT;
    // A driver that does not know the escape leaves the display on.
    if (ExtEscape(screen, QUERYESCSUPPORT, sizeof escape, reinterpret_cast<LPCSTR>(&escape), 0,
                  NULL) > 0) {
        VIDEO_POWER_MANAGEMENT power;
        power.Length = sizeof power;
        power.DPMSVersion = 1;
        power.PowerState = VideoPowerOff;
        ExtEscape(screen, SETPOWERMANAGEMENT, sizeof power, reinterpret_cast<LPCSTR>(&power), 0,
                  NULL);
    }
    ReleaseDC(NULL, screen);
}

void PowerOff() {
    if (appLog)
        appLog->Write(3, "PowerOff()");
    keybd_event(VK_OFF, 0, KEYEVENTF_SILENT, 0);
    keybd_event(VK_OFF, 0, KEYEVENTF_KEYUP | KEYEVENTF_SILENT, 0);
}

void SetScreenOrientation(DWORD orientation) {
    if (appLog)
        appLog->Write(3, "SetScreenOrientation(%d)", int(orientation));
    DEVMODEW mode;
    PrepareDisplaySettings(&mode, orientation);
    ChangeDisplaySettingsEx(NULL, &mode, NULL, 0, NULL);
    // Recorded even when the display refused the mode: the registry says what was asked for.
    HKEY key;
    DWORD disposition = 0;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kRotationKey, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key,
                        &disposition) != ERROR_SUCCESS)
        return;
    DWORD angle = AngleOf(orientation);
    RegSetValueExW(key, L"Angle", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&angle),
                   sizeof angle);
    RegCloseKey(key);
}

DWORD GetScreenOrientation() {
    if (appLog)
        appLog->Write(3, "GetScreenOrientation()");
    DEVMODEW mode;
    PrepareDisplaySettings(&mode, DMDO_0);
    ChangeDisplaySettingsEx(NULL, &mode, NULL, CDS_TEST, NULL);
    return mode.dmDisplayOrientation;
}
