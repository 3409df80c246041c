// The program's icons drawn by the platform's own GDI, each at 16 and 32 pixels with DI_NORMAL,
// DI_IMAGE and DI_MASK over a two-colour checkerboard, so that how the mask and the image
// combine with what lies behind shows in every pixel. The same drawing runs on the simulated
// device and on a desktop Win32, for comparison pixel for pixel.
#pragma once

#include <cstdint>
#include <vector>

#include <windows.h>

struct IconSheet {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb; // rows top to bottom, three bytes a pixel
};

// False when an icon does not load or a DC cannot be made; `sheet` then holds what was drawn.
bool DrawIconSheet(HINSTANCE module, IconSheet& sheet);
