// The shell's pictures as pixel maps, for the icons the device draws itself.
#pragma once

#include <cesim/shell_icons.h>

#include <cstddef>

namespace cesim {

const int kArtSize = 16;

struct IconArt {
    ShellIcon icon;
    const char* const* rows; // kArtSize rows of kArtSize letters
};

extern const IconArt kIconArt[];
extern const size_t kIconArtCount;

} // namespace cesim
