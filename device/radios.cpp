// The wireless radios.
#include "device/radios.h"

#include <bthutil.h>
#include <pm.h>

#include "config/config.h"

static const WCHAR kNetworkAdapterPowerClass[] = L"{98C5250D-C29A-4985-AE5F-AFE5367E5006}";

// Where the other Bluetooth stack keeps its state; its presence means that stack is in use.
static const WCHAR kWidcommKey[] = L"SOFTWARE\\WIDCOMM\\BtConfig\\General";
static const WCHAR kTrayClass[] = L"WCE_BTTRAY";
static const WCHAR kTrayTitle[] = L"Bluetooth Console";
static const WPARAM kTrayRadioOff = 0x1001;
static const WPARAM kTrayRadioOn = 0x1002;

WCHAR* WiFiDeviceName = NULL;

void InitWiFiDeviceName() {
    if (!config.WiFiDevice || !config.WiFiDevice[0])
        return;
    size_t length = wcslen(kNetworkAdapterPowerClass) + 1 + wcslen(config.WiFiDevice);
    WiFiDeviceName = static_cast<WCHAR*>(malloc((length + 1) * sizeof(WCHAR)));
    if (!WiFiDeviceName)
        return;
    wcscpy(WiFiDeviceName, kNetworkAdapterPowerClass);
    wcscat(WiFiDeviceName, L"\\");
    wcscat(WiFiDeviceName, config.WiFiDevice);
}

void FreeWiFiDeviceName() {
    free(WiFiDeviceName);
    WiFiDeviceName = NULL;
}

bool IsWiFiOn() {
    // A query that fails reads as off, whatever the variable held before.
    CEDEVICE_POWER_STATE state = D4;
    if (GetDevicePower(WiFiDeviceName, POWER_NAME, &state) != ERROR_SUCCESS)
        return false;
    return state == D0;
}

void SetWiFiPower(bool on) {
    SetDevicePower(WiFiDeviceName, POWER_NAME, on ? D0 : D4);
}

static bool OpenWidcommKey(HKEY* key) {
    return RegOpenKeyExW(HKEY_LOCAL_MACHINE, kWidcommKey, 0, 0, key) == ERROR_SUCCESS;
}

bool IsBluetoothOn() {
    HKEY key;
    if (OpenWidcommKey(&key)) {
        DWORD stackMode = RegReadDword(key, L"StackMode", 0xFFFFFFFF);
        RegCloseKey(key);
        return stackMode == 1;
    }
    DWORD mode = BTH_POWER_OFF;
    if (BthGetMode(&mode) != ERROR_SUCCESS)
        return false;
    return mode != BTH_POWER_OFF;
}

void SetBluetoothPower(bool on) {
    HKEY key;
    if (OpenWidcommKey(&key)) {
        // Without its tray window that stack cannot be switched from here.
        HWND tray = FindWindowW(kTrayClass, kTrayTitle);
        if (tray)
            PostMessageW(tray, WM_COMMAND, on ? kTrayRadioOn : kTrayRadioOff, 0);
        RegCloseKey(key);
        return;
    }
    BthSetMode(on ? BTH_DISCOVERABLE : BTH_POWER_OFF);
}
