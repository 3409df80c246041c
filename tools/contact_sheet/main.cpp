// Stitches PNG images into one sheet, side by side, each enlarged so that a 96 DPI image and
// its 192 DPI twin come out the same size: contact-sheet OUT.png SCALE:IN.png...
#include <cesim/surface.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: contact-sheet OUT.png SCALE:IN.png...\n");
        return 2;
    }
    const int gap = 8;
    std::vector<cesim::Surface> images;
    std::vector<int> scales;
    int width = gap, height = 0;
    for (int i = 2; i < argc; ++i) {
        std::string arg = argv[i];
        size_t colon = arg.find(':');
        int scale = colon == std::string::npos ? 1 : std::atoi(arg.substr(0, colon).c_str());
        std::string path = colon == std::string::npos ? arg : arg.substr(colon + 1);
        cesim::Surface s;
        if (!cesim::ReadPng(path, s) || scale < 1) {
            std::fprintf(stderr, "cannot read %s\n", path.c_str());
            return 1;
        }
        images.push_back(s);
        scales.push_back(scale);
        width += s.width * scale + gap;
        height = std::max(height, s.height * scale + 2 * gap);
    }
    cesim::Surface sheet(width, height, 0xFFFFFF);
    int x0 = gap;
    for (size_t i = 0; i < images.size(); ++i) {
        const cesim::Surface& s = images[i];
        int k = scales[i];
        for (int y = 0; y < s.height * k; ++y)
            for (int x = 0; x < s.width * k; ++x)
                sheet.set(x0 + x, gap + y, s.at(x / k, y / k));
        x0 += s.width * k + gap;
    }
    if (!cesim::WritePng(sheet, argv[1])) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    std::printf("contact sheet: %s\n", argv[1]);
    return 0;
}
