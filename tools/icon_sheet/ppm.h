// Writes an icon sheet as a binary PPM.
#pragma once

#include <cstdio>

#include "tools/icon_sheet/sheet.h"

inline bool WriteSheetPpm(const IconSheet& sheet, const char* path) {
    FILE* out = std::fopen(path, "wb");
    if (!out)
        return false;
    std::fprintf(out, "P6\n%d %d\n255\n", sheet.width, sheet.height);
    const bool written =
        std::fwrite(sheet.rgb.data(), 1, sheet.rgb.size(), out) == sheet.rgb.size();
    return std::fclose(out) == 0 && written;
}
