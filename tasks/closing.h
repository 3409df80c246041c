// Closing tasks with window messages, on worker threads guarded by the closing set.
#ifndef VEXO_TASKS_CLOSING_H
#define VEXO_TASKS_CLOSING_H

#include <windows.h>

// Guards the set of windows being closed. Start-up initialises it; it is never deleted, since
// a worker blocked in a hung program may still enter it while the program ends.
extern CRITICAL_SECTION closeLock;

const int kMaxClosingWindows = 128;

// Closes one task on a worker thread; with force, also its ancestors and its namesakes.
void OnClose(HWND window, bool force);
// "Close All Tasks" and "Close Background Tasks" over the task table as the menu built it,
// one after the other on a single worker thread.
void OnCloseAll();
void OnCloseAllButCurrent();

// Closes one window with the messages that suit its kind; blocks while the target handles them.
void Close(HWND window);

// Thread procedures; the parameter is the window to close.
DWORD WINAPI CloseThreadProc(LPVOID window);
DWORD WINAPI TerminateThreadProc(LPVOID window);
// Closes every top-level window whose title is the given text.
BOOL CALLBACK CloseByTitleEnumProc(HWND window, LPARAM title);

// False when the window is already being closed or every slot is taken.
bool AddClosingWindow(HWND window);
void RemoveClosingWindow(HWND window);

// True while a worker may still write the log or enter the closing set.
bool CloseWorkersRunning();

#endif
