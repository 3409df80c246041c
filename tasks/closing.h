// Closing tasks with window messages, on worker threads guarded by the closing set.
#ifndef VEXO_TASKS_CLOSING_H
#define VEXO_TASKS_CLOSING_H

#include <windows.h>

// Guards the set of windows being closed; start-up initialises it, teardown deletes it.
extern CRITICAL_SECTION closeLock;

// Closes one task on a worker thread; with force, also its ancestors and its namesakes.
void OnClose(HWND window, bool force);
// "Close All Tasks" and "Close Background Tasks" over the task table as the menu built it.
void OnCloseAll();
void OnCloseAllButCurrent();

#endif
