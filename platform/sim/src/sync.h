// What the synchronisation objects of a running life of the device leave for a reboot.
#pragma once

#include "kernel.h"

namespace cesim {

// Frees the critical sections that programs of the ended life never deleted: a reboot does
// not let them tear down.
void ResetCriticalSections(const Kernel::Lock& held);

} // namespace cesim
