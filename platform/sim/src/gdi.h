// GDI objects and device contexts of the simulated device.
#pragma once

#include "kernel.h"

#include <cesim/surface.h>

namespace cesim {

struct Display {
    int width = 240;
    int height = 320;
    int dpi = 96;    // the boot option, meaning both directions when they agree
    int dpiX = 96;   // what LOGPIXELSX reports
    int dpiY = 96;   // what LOGPIXELSY reports
};
void SetDisplay(const Display& display);
Display CurrentDisplay();
// The same with the kernel lock held.
void SetDisplay(const Kernel::Lock& held, const Display& display);
Display CurrentDisplay(const Kernel::Lock& held);

// Fills the window's surface with its class background; false when the class has none.
bool EraseWithClassBrush(Kernel::Lock& lock, HWND window, HDC dc);

void ResetGdi(const Kernel::Lock& held);

} // namespace cesim
