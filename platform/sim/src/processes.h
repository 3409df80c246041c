// The records the processes module keeps across a running life of the device.
#pragma once

#include "kernel.h"

namespace cesim {

// The resources of the program image installed at that path, or null when none is.
const std::vector<uint8_t>* InstalledImageResources(const Kernel::Lock& held,
                                                   const std::u16string& path);

// Forgets what was started since the last boot; installed images stay, as files do.
void ResetProcesses();

struct ProgramImage;
// Makes CreateProcessW of image.modulePath start the image, without touching the file there
// (for whoever writes the file itself, as the installer does).
void RegisterProgramImage(const ProgramImage& image);

} // namespace cesim
