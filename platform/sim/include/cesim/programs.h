// Simulated programs: processes with top-level windows that behave like a device's programs
// and record every message they receive, so a test can compare them with what it expects.
#pragma once

#include <windows.h>

#include <cesim/shell_icons.h>

#include <string>
#include <vector>

namespace cesim {

// What a window does when it is asked to close (at WM_CLOSE, or at hangOn for the hangs).
enum class CloseBehaviour {
    Close,            // default processing: WM_CLOSE destroys the window
    Ignore,           // WM_CLOSE is answered and nothing happens
    Hang,             // the program stops answering at hangOn and never recovers
    Recover,          // the program stops answering at hangOn for hangMs, then goes on as Close
    CloseWhenEnabled, // WM_CLOSE is ignored while the window is disabled, as under a modal child
};

enum class WindowKind {
    Plain,     // WM_CLOSE as onClose says
    CaptionOk, // a dialog with an OK button in its caption: the OK command (IDOK) closes it
    // Of the system's dialog class, whose window procedure is the default dialog procedure:
    // WM_CLOSE cancels it (the dialog posts itself IDCANCEL), and IDOK or IDCANCEL end it.
    Dialog,
    // A sheet with one page, which PSM_GETCURRENTPAGEHWND answers. PSM_PRESSBUTTON with
    // PSBTN_OK or the OK command confirm it, and it closes kSheetCloseDelayMs later.
    PropertySheet,
};

const DWORD kSheetCloseDelayMs = 100;

struct SimWindow {
    std::u16string className = u"SimProgram"; // ignored for dialogs, whose class is "Dialog"
    std::u16string title;
    DWORD style = WS_VISIBLE;
    DWORD exStyle = 0;
    RECT rect = {0, 26, 240, 320};
    int parent = -1; // index of an earlier window of the program: a child window
    int owner = -1;  // index of an earlier window of the program: an owned window
    CloseBehaviour onClose = CloseBehaviour::Close;
    WindowKind kind = WindowKind::Plain;
    UINT hangOn = WM_CLOSE; // the message at which Hang and Recover stop answering
    DWORD hangMs = 0;       // how long Recover stops answering, in virtual milliseconds
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
    std::vector<HWND> windows; // in the order of SimProgram::windows
};

// Starts the program on a thread of its own and waits until its windows exist. Windows are
// created in order; a visible top-level one becomes the foreground window, as on the device.
// A quit posted to one of its windows makes the program destroy its windows and end.
RunningProgram StartSimulatedProgram(const SimProgram& program);

struct ReceivedMessage {
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    bool sent;           // sent from another thread
    bool posted = false; // taken from the queue by the program's message loop
    // Neither: the program's own doing, such as WM_DESTROY while it destroys a window.
};
std::vector<ReceivedMessage> ReceivedMessages(DWORD processId);
void ClearReceivedMessages(DWORD processId);

} // namespace cesim
