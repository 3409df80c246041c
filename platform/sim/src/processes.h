// The records the processes module keeps across a running life of the device.
#pragma once

namespace cesim {

// Forgets what was started since the last boot; installed images stay, as files do.
void ResetProcesses();

} // namespace cesim
