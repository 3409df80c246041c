// Driving vexo's button like a user and reading what vexo did.
// gtest first: the device's <windows.h> would hide the host's stat from it.
#include "support/device_fixture.h"

#include "support/button_driver.h"

#include <cesim/stylus.h>

#include <cstdio>
#include <fstream>

namespace vexotest {

std::string SettingsText(const std::vector<std::string>& values) {
    std::string text = "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Holmvest\\Vexo]\n"
                       "\"LogLevel\"=dword:00000007\n";
    for (const std::string& v : values)
        text += v + "\n";
    return text;
}

HWND BootWithNotes(int dpi, const std::vector<std::string>& values) {
    BootDevice(dpi, SettingsText(values));
    HWND notes = StartWindowProgram(u"Notes");
    StartVexo();
    return notes;
}

POINT OnButton(int x, int y) {
    RECT r = cesim::Inspect(FindButtonWindow())->rect;
    return POINT{r.left + x, r.top + y};
}

void TapButton(int x, int y) {
    POINT p = OnButton(x, y);
    cesim::Tap(p.x, p.y);
}

std::vector<std::string> LogMessages() {
    std::ifstream in(cesim::HostPath(u"\\vexo.log"));
    std::vector<std::string> messages;
    std::string line;
    const std::string stamp = "HH:mm:ss - ";
    while (std::getline(in, line))
        messages.push_back(line.size() >= stamp.size() ? line.substr(stamp.size()) : line);
    return messages;
}

int CountLog(const std::string& prefix) {
    int n = 0;
    for (const std::string& m : LogMessages())
        n += m.compare(0, prefix.size(), prefix) == 0;
    return n;
}

std::string CloseLine(HWND window) {
    char text[32];
    std::snprintf(text, sizeof text, "OnClose(%x)", unsigned(uintptr_t(window)));
    return text;
}

} // namespace vexotest
