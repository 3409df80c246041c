// The wireless radios.
#include "device/radios.h"

#include "config/config.h"

static const WCHAR kNetworkAdapterPowerClass[] = L"{98C5250D-C29A-4985-AE5F-AFE5367E5006}";

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

bool IsWiFiOn() { return false; }

void SetWiFiPower(bool on) {}

bool IsBluetoothOn() { return false; }

void SetBluetoothPower(bool on) {}
