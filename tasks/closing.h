// Closing tasks with window messages, on worker threads guarded by the closing set.
#ifndef VEXO_TASKS_CLOSING_H
#define VEXO_TASKS_CLOSING_H

#include <windows.h>

// Guards the set of windows being closed; start-up initialises it, teardown deletes it.
extern CRITICAL_SECTION closeLock;

#endif
