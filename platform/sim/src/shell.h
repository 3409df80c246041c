// The shell process of the simulated device.
#pragma once

namespace cesim {

// Starts the shell on its own process and waits until its windows exist.
void StartShell(bool withTaskbar);

} // namespace cesim
