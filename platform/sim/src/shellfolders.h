// The shell's special folders on the device's storage, and the programs its Startup folder
// starts at boot.
#pragma once

namespace cesim {

// Makes the folders a Pocket PC has from the factory; called at boot.
void MakeShellFolders();

// Starts the command of every shortcut in \Windows\StartUp, in the order of their names, as
// the shell does once it is up. Runs on the shell's own thread.
void LaunchStartupPrograms();

} // namespace cesim
