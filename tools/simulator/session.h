// A life of vexo on a simulated device, driven by a person at the window or by a script: boots
// the device, starts vexo, and plays what the hand does. Knows nothing of the window, so
// scripted sessions run headless.
#pragma once

#include "tools/simulator/script.h"

#include <cesim/programs.h>
#include <cesim/surface.h>

#include <windows.h>

#include <string>
#include <vector>

namespace vexosim {

// The hardware key vexo's hot key is set to unless the settings say otherwise (VK_APP1, the
// first application button).
const DWORD kDefaultHotKey = 0xC1;

struct SessionOptions {
    int dpi = 96;
    int osMajor = 4;
    int osMinor = 20;
    std::string registryFile; // REGEDIT4, imported after the session's own defaults
    std::string outDir = ".";
};

bool ParseOs(const std::string& text, int& major, int& minor);

class Session {
public:
    explicit Session(SessionOptions options);

    // Boots the device and starts vexo; false with the reason when either fails.
    bool Start(std::string* error);
    const SessionOptions& Options() const { return options_; }
    ScreenSize Screen() const;

    bool Play(const Action& action, std::string* error);
    bool PlayAll(const std::vector<Action>& actions, std::string* error);

    bool StartProgram(const std::string& name, std::string* error);
    // The hardware key of vexo's hot key, pressed until released; false when vexo has none.
    bool PressHotKey();
    void ReleaseHotKey();
    bool Rotate(int angle, std::string* error);
    int Angle() const;
    // The --registry file again (when there is one), then the ReadConfig message to vexo.
    bool Reload(std::string* error);
    // Writes the screen to NAME.png in the output folder; the path in *path.
    bool Screenshot(const std::string& name, std::string* path);
    // The next free name of the form shot-NNN.
    std::string NextScreenshotName() const;
    bool Cfg(const std::vector<std::string>& words, std::string* output);

    // Where a script's point is on the screen now.
    bool Resolve(const ScriptPoint& point, POINT& at, std::string* error) const;

    bool VexoRunning() const;
    // Asks vexo to end as the installer does (WM_CLOSE to its button); false when it was not
    // running or did not end.
    bool EndVexo(int* exitCode);
    // What happened to vexo and the started programs since the last call, one line each
    // ("closed ok", "hidden close (Notes)", "vexo ended with exit code 0").
    std::vector<std::string> TakeNews();

private:
    struct Started {
        std::string name;
        cesim::RunningProgram running;
        bool visible = true;
        bool closed = false;
    };

    SessionOptions options_;
    DWORD vexo_ = 0;
    bool vexoEndTold_ = false;
    UINT heldKey_ = 0;
    std::vector<Started> started_;
};

} // namespace vexosim
