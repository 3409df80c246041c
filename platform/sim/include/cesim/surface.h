// A block of 32-bit pixels: what a window, a memory bitmap or the composed screen holds.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace cesim {

// Pixels are 0x00RRGGBB, rows top to bottom (not a COLORREF, which is 0x00BBGGRR).
struct Surface {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;

    Surface() = default;
    Surface(int w, int h, uint32_t fill = 0) : width(w), height(h), pixels(size_t(w) * h, fill) {}
    bool contains(int x, int y) const { return x >= 0 && y >= 0 && x < width && y < height; }
    uint32_t at(int x, int y) const { return pixels[size_t(y) * width + x]; }
    void set(int x, int y, uint32_t p) {
        if (contains(x, y))
            pixels[size_t(y) * width + x] = p;
    }
};

inline uint32_t PixelFromColorref(uint32_t c) {
    return ((c & 0xff) << 16) | (c & 0xff00) | ((c >> 16) & 0xff);
}
inline uint32_t ColorrefFromPixel(uint32_t p) { return PixelFromColorref(p); }

// Writes the surface as an 8-bit RGB PNG; false when the file cannot be written.
bool WritePng(const Surface& surface, const std::string& path);
// Reads an RGB or RGBA PNG (alpha dropped); false when the file is missing or not a PNG.
bool ReadPng(const std::string& path, Surface& surface);

} // namespace cesim
