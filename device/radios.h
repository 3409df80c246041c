// The wireless radios: the WiFi adapter's power-manager name and the radio switches.
#ifndef VEXO_DEVICE_RADIOS_H
#define VEXO_DEVICE_RADIOS_H

#include <windows.h>

// "{power class of network adapters}\<WiFiDevice>", or null when no adapter is configured.
extern WCHAR* WiFiDeviceName;

void InitWiFiDeviceName();
void FreeWiFiDeviceName();

// Only asked when a WiFiDeviceName exists.
bool IsWiFiOn();
void SetWiFiPower(bool on);
bool IsBluetoothOn();
void SetBluetoothPower(bool on);

#endif
