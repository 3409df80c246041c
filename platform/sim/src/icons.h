// Icon objects of the simulated device: what LoadImageW makes and DestroyIcon frees.
#pragma once

#include <windows.h>

#include <cesim/surface.h>

#include <cstdint>
#include <vector>

namespace cesim {

struct IconImage {
    Surface color;                 // the XOR image, already combined to final colours
    std::vector<uint8_t> opaque;   // one byte a pixel: 1 where the icon covers the background
    int resourceId = 0;            // the icon group it was loaded from; 0 for any other icon
};

// Takes ownership of the image; the handle counts as a live icon of the calling process.
HICON CreateIconObject(IconImage image);
// The image of a live icon, or null for anything else.
const IconImage* LookupIcon(HICON icon);

} // namespace cesim
