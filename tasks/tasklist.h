// Which top-level windows are tasks, in z-order, and the file whose icon stands for each.
#ifndef VEXO_TASKS_TASKLIST_H
#define VEXO_TASKS_TASKLIST_H

#include <windows.h>

// One task, and the item data of every owner-drawn item of the task menu.
class TaskEntry {
public:
    TaskEntry(LPCWSTR title, DWORD processId, HWND window, HICON icon);
    virtual ~TaskEntry();

    WCHAR* title;      // private copy; null only when the copy could not be made
    DWORD processId;   // 0 for menu items that are not tasks
    HWND window;
    HICON icon;        // not owned

private:
    TaskEntry(const TaskEntry&);
    TaskEntry& operator=(const TaskEntry&);
};

const int kMaxTasks = 128;
const int kTitleChars = 127;   // terminator included
const int kMaxPathChars = 260;

struct TaskTable {
    TaskEntry* entries[kMaxTasks];
    int count;
};

extern TaskTable taskTable;

void RefreshTaskList();
BOOL CALLBACK VexoEnumWindowsProc(HWND window, LPARAM parameter);
bool IsTaskWindowClass(HWND window);
bool IsToolWindow(HWND window);
HWND GetRootWindow(HWND window);
HWND GetNextTaskWindow(HWND window);
// Writes the program or shortcut path whose shell icon shows the task (empty when unknown).
void GetTaskProgramPath(const TaskEntry* entry, WCHAR* path);

#endif
