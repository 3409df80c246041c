// Simulated programs: processes with top-level windows that behave like a device's programs
// and record every message they receive, so a test can compare them with what it expects.
#pragma once

#include <windows.h>

#include <cesim/shell_icons.h>

#include <string>
#include <vector>

namespace cesim {

enum class CloseBehaviour {
    Close,    // default processing: WM_CLOSE destroys the window
    Ignore,   // WM_CLOSE is answered and nothing happens
    Hang,     // the program stops answering at WM_CLOSE and never recovers
};

struct SimWindow {
    std::u16string className = u"SimProgram";
    std::u16string title;
    DWORD style = WS_VISIBLE;
    DWORD exStyle = 0;
    RECT rect = {0, 26, 240, 320};
    int parent = -1;   // index of an earlier window of the program: a child window
    int owner = -1;    // index of an earlier window of the program: an owned window
    CloseBehaviour onClose = CloseBehaviour::Close;
};

struct SimProgram {
    std::u16string modulePath = u"\\Windows\\program.exe";
    std::vector<SimWindow> windows;
    // What the shell shows for the program's file; None: the default program icon.
    ShellIcon icon = ShellIcon::None;
};

struct RunningProgram {
    DWORD processId = 0;
    DWORD threadId = 0;
    std::vector<HWND> windows;   // in the order of SimProgram::windows
};

// Starts the program on a thread of its own and waits until its windows exist. Windows are
// created in order; a visible top-level one becomes the foreground window, as on the device.
RunningProgram StartSimulatedProgram(const SimProgram& program);

struct ReceivedMessage {
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    bool sent;   // sent from another thread, rather than posted or sent by itself
};
std::vector<ReceivedMessage> ReceivedMessages(DWORD processId);
void ClearReceivedMessages(DWORD processId);

} // namespace cesim
