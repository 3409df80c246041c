// The simulated handheld in a window on the desktop: its screen, the mouse as the stylus and
// keys for the hardware button and the device's controls.
#pragma once

#include "tools/simulator/script.h"
#include "tools/simulator/session.h"

#include <string>
#include <vector>

namespace vexosim {

struct WindowOptions {
    int scale = 2;
    bool frameStats = false;    // print the frame times at the end
    std::vector<Action> script; // played in the window before the mouse takes over
};

// The keys, for --help and the window's title.
extern const char kWindowKeys[];

// Whether a window can be opened here (a display is there).
bool WindowAvailable(std::string* why);

// Runs the window until it is closed; returns the process's exit code.
int RunWindow(Session& session, const WindowOptions& options);

} // namespace vexosim
