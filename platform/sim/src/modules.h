// Loaded modules of the simulated device and their resource sections.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

namespace cesim {

// The compiled resource script (.res) of the module behind an instance handle, or null when
// the handle names no module or the module has no resources.
const std::vector<uint8_t>* ModuleResources(HINSTANCE instance);

} // namespace cesim
