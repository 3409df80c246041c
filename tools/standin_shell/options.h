// Command-line options of the stand-in shell.
#pragma once

#include <string>
#include <vector>

enum class ProgramKind {
    CaptionOk,   // a dialog with an OK button in its caption: closes on the IDOK command
    CloseButton, // a captionless program: default processing of WM_CLOSE
    Sheet,       // a caption-OK property sheet with a page: closes when its OK button is pressed
    IgnoreClose, // answers WM_CLOSE and stays
    Hang,        // stops answering at WM_CLOSE
    MediaPlayer, // class "WMP for Mobile Devices": ignores WM_CLOSE, leaves on a posted WM_QUIT
    Disabled,    // disabled under a modal child of its own; refuses WM_CLOSE while disabled
    Recovers,    // stops answering at WM_CLOSE for two seconds, then closes
};

struct ProgramRequest {
    ProgramKind kind;
    std::wstring title;
};

struct Options {
    int width = 240; // client pixels of the device frame
    int height = 320;
    std::vector<ProgramRequest> programs;
    std::wstring recordFile; // messages the programs receive; empty: not recorded
    std::wstring readyFile;  // written once every window exists; empty: not written
    int seconds = 0;         // time-out; 0: none
};

// Reads the arguments after the program name. On a mistake returns false with the reason.
bool ParseOptions(const std::vector<std::wstring>& args, Options& options, std::wstring& error);

extern const wchar_t kUsage[];
