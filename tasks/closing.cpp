// Closing tasks.
#include "tasks/closing.h"

CRITICAL_SECTION closeLock;
