// The driver's view of the device's power, display and radios: soft resets and the boot after
// them, the power key's sleep, the display driver's power state and the screen's rotation, the
// power manager's named devices and the two Bluetooth stacks.
#pragma once

#include <windows.h>

#include <pm.h>

#include <optional>
#include <string>
#include <vector>

namespace cesim {

// ---- soft reset -----------------------------------------------------------------------------
// KernelIoControl(IOCTL_HAL_REBOOT) ends every process at once (the calling thread never
// comes back) and leaves the device halted, its screen dark, until the driver boots it again.
// Counts the resets since the last Boot().
int Restarts();
bool Halted();
// The boot after a soft reset. The registry, the files, the installed programs, the power
// manager's devices and the Bluetooth mode are kept, as the device's RAM keeps them across a
// reset; the shell starts anew and the screen takes the angle the registry records.
void BootAgain();

// ---- sleep ----------------------------------------------------------------------------------
// The power key (keybd_event with VK_OFF, or the button below) puts the device to sleep: the
// screen is dark and the clock stands still, as GetTickCount does on a sleeping device.
bool DeviceAsleep();
// The power button on the case: an awake device goes to sleep, a sleeping one wakes with its
// display on.
void PressPowerButton();

struct KeyEvent {
    BYTE virtualKey = 0;
    DWORD flags = 0;
};
// What keybd_event was given since boot, in order.
std::vector<KeyEvent> KeyEvents();

// ---- display --------------------------------------------------------------------------------
// The display driver's power state, VideoPowerOn (1) to VideoPowerOff (4).
int DisplayPowerState();
// Whether ComposeScreen shows black: the display is not on, or the device sleeps or is halted.
bool ScreenDark();
// The escapes ExtEscape passed to the display driver since boot, in order.
std::vector<int> DisplayEscapes();
// DMDO_0, DMDO_90, DMDO_180 or DMDO_270. The screen's width and height follow it.
DWORD ScreenOrientation();

// ---- power manager --------------------------------------------------------------------------
// Puts a device into the power manager, such as the WiFi adapter
// u"{98C5250D-C29A-4985-AE5F-AFE5367E5006}\\TIACXWLN1", in the state it is in now and at every
// boot. A name without "{class}\" is of the generic class. Names compare without case.
void AddPowerDevice(const std::u16string& name, CEDEVICE_POWER_STATE state);
std::optional<CEDEVICE_POWER_STATE> PowerDeviceState(const std::u16string& name);

// ---- Bluetooth ------------------------------------------------------------------------------
// The device's own stack: the mode BthGetMode reports, BTH_POWER_OFF at the first boot.
DWORD BluetoothMode();
void SetBluetoothMode(DWORD mode);

// The other stack's tray program: a hidden window of class "WCE_BTTRAY", title "Bluetooth
// Console", which switches its radio on at WM_COMMAND 0x1002 and off at 0x1001 and records
// the new state as "StackMode" (1 on, 0 off) under
// HKEY_LOCAL_MACHINE\SOFTWARE\WIDCOMM\BtConfig\General. Returns its process id.
DWORD StartWidcommTray();
// The wParams of the WM_COMMAND messages the tray window received since boot, in order.
std::vector<WPARAM> WidcommTrayCommands();

} // namespace cesim
