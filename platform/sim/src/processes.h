// The records the processes module keeps across a running life of the device.
#pragma once

namespace cesim {

// Forgets what was started since the last boot; installed images stay, as files do.
void ResetProcesses();

struct ProgramImage;
// Makes CreateProcessW of image.modulePath start the image, without touching the file there
// (for whoever writes the file itself, as the installer does).
void RegisterProgramImage(const ProgramImage& image);

} // namespace cesim
