// The device services at boot and their state as the rest of the device asks for it: the
// display, the power state, the power manager, the Bluetooth stacks and the message boxes.
//
// A cold boot (Boot) starts each afresh. A soft reset keeps what lives in the device's RAM
// or its radio's own memory (BootAgain): the registry and files, the power manager's devices
// with their boot states, the Bluetooth mode; what only ran (processes, windows, the display's
// power and the sleep state) starts anew.
#pragma once

#include <cesim/device.h>

#include "kernel.h"

namespace cesim {

// Runs before the shell starts, with the registry in place: the screen takes the angle that
// HKLM\System\GDI\Rotation "Angle" records.
void BootDisplay(const BootOptions& options);
void BootPower(bool keepStorage);
void BootPowerManager(bool keepStorage);
void BootBluetooth(bool keepStorage);
void BootMessageBoxes();

// Whether the screen shows nothing: the display driver is not on, the device sleeps or it
// has been reset and not booted again.
bool ScreenIsDark(const Kernel::Lock& held);
bool DeviceSleeps(const Kernel::Lock& held);
bool DeviceHalted(const Kernel::Lock& held);
// Resuming from sleep powers the display up again.
void WakeDisplay(const Kernel::Lock& held);

// Boots the device anew; with keepStorage the registry and files stay as they are.
void BootDevice(const BootOptions& options, bool keepStorage);

} // namespace cesim
