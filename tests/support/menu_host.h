// The task menu's own thread without the rest of the program: a button window under the
// taskbar, made as start-up makes it, on a thread of a process that has the program's
// resources. Tests run code on that thread and read what the menu posted to the button.
#pragma once

#include <windows.h>

#include <functional>
#include <vector>

namespace vexotest {

struct PostedCommand {
    UINT id;
    bool closeTap; // CloseTapFlag as the command was posted
};

class MenuHost {
public:
    // Loads the settings from the registry, then makes the button window; returns the process.
    static DWORD Start();
    // Runs fn on the button window's thread and settles: returns once fn has returned or, when
    // it shows the menu, once the menu waits for the user.
    static void Run(std::function<void()> fn);
    // Sets menuOpen and shows the task menu, as the shell does.
    static void OpenMenu();
    // The WM_COMMAND messages the button received, in order; they are not handled further.
    static std::vector<PostedCommand> Commands();
    static void ClearCommands();
};

} // namespace vexotest
