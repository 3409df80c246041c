// The driver's view of the message boxes on the screen, and its hand on their buttons.
//
// A box is a top-level window of class "Dialog" that belongs to the thread that called
// MessageBoxW, with a caption bar, an icon, the text broken into lines and one child window
// of class "BUTTON" per answer, all drawn on the screen. The thread runs a message loop of its
// own until a button is pressed, so its other windows go on receiving messages.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace cesim {

struct MessageBoxButton {
    int id = 0;           // IDOK, IDYES, ...
    std::u16string label; // "Yes", "No", ...
    HWND window = nullptr;
    RECT rect = {0, 0, 0, 0}; // screen coordinates
};

struct MessageBoxInfo {
    HWND window = nullptr;
    HWND owner = nullptr;
    std::u16string caption;
    std::u16string text;
    UINT type = 0; // the MB_ flags as given
    DWORD processId = 0;
    DWORD threadId = 0;
    RECT rect = {0, 0, 0, 0};              // screen coordinates
    std::vector<MessageBoxButton> buttons; // left to right
};

// The open boxes, the newest first.
std::vector<MessageBoxInfo> MessageBoxes();
std::optional<MessageBoxInfo> OpenMessageBox();
// Taps the button with that id on the newest box, as a user would, and lets the device
// settle; false when no open box shows such a button.
bool AnswerMessageBox(int buttonId);

} // namespace cesim
