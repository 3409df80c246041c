// The shell's record of program icons and its system image lists, as the device resets them.
#pragma once

#include "kernel.h"

#include <cesim/shell_icons.h>

namespace cesim {

// The icon a simulated program was started with, for the files of its module path.
void RegisterProgramIcon(const Kernel::Lock& held, const std::u16string& modulePath,
                         ShellIcon icon);
// Empties the image lists, whose icon sizes follow the display of the next boot.
void ResetShellIcons(const Kernel::Lock& held);

} // namespace cesim
