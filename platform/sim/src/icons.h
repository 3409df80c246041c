// Icon objects of the simulated device: what LoadImageW makes and DestroyIcon frees.
#pragma once

#include <windows.h>

#include <cesim/surface.h>

#include <cstdint>
#include <vector>

namespace cesim {

// An icon as GDI draws it: the background ANDed with the mask, then XORed with the colour image.
// Where the mask is clear (opaque) the colour replaces the background; where it is set the
// colour is XORed onto the background, which black leaves as it was.
struct IconImage {
    Surface color;               // the XOR image
    std::vector<uint8_t> opaque; // one byte a pixel: 1 where the AND mask is clear
    // Coverage that came from an alpha channel: the pixels outside it leave the background as
    // it was, as blending them would, instead of being XORed onto it.
    bool blended = false;
    int resourceId = 0; // the icon group it was loaded from; 0 for any other icon
};

// Takes ownership of the image; the handle counts as a live icon of the calling process.
HICON CreateIconObject(IconImage image);
// The image of a live icon, or null for anything else.
const IconImage* LookupIcon(HICON icon);

} // namespace cesim
