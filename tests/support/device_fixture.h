// Helpers shared by the tests that run vexo or its modules on the simulated device.
#pragma once

#include <gtest/gtest.h>

#include <cesim/device.h>
#include <cesim/registry.h>

#include <string>
#include <vector>

namespace vexotest {

extern const char kSettingsPath[];   // HKEY_CURRENT_USER\Software\Holmvest\Vexo

// Boots a 240x320 device at 96 DPI (or 480x640 at 192) with the given .reg text imported.
void BootDevice(int dpi = 96, const std::string& regText = std::string(), int osMajor = 4,
                int osMinor = 20);
// The same on a screen whose horizontal and vertical DPI differ: 240 by 320 pixels at 96 DPI,
// each direction scaled by its own DPI.
void BootDeviceWithDpi(int dpiX, int dpiY, const std::string& regText = std::string(),
                       int osMajor = 4, int osMinor = 20);

// Starts vexo and lets it settle; returns its process id.
DWORD StartVexo(const std::u16string& commandLine = std::u16string());

// The first child of the taskbar whose class is "VexoClass", or null.
HWND FindButtonWindow();

// Plays the settings program: writes through fn, then tells the running vexo to reload,
// from a process of its own, as the real settings program would.
void ChangeSettings(const std::function<void()>& write);
void SendReadConfig();

// Starts a simulated program "\Windows\<title>.exe" with one top-level window and returns it.
HWND StartWindowProgram(const std::u16string& title, DWORD style = WS_VISIBLE, DWORD exStyle = 0);

// Runs a vexocfg command as a program of its own on the device, which is how the settings
// program meets the registry and vexo.
struct CfgResult {
    int code = -1;
    std::string out;
    std::string err;
};
CfgResult RunCfg(std::vector<std::string> args);

// Sends a message to a window from a helper process and waits for the answer.
LRESULT SendFromOtherProcess(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0);

inline std::u16string U16(const wchar_t* s) {
    std::u16string r;
    while (s && *s)
        r.push_back(char16_t(*s++));
    return r;
}

class DeviceTest : public ::testing::Test {
protected:
    void SetUp() override { BootDevice(); }
    void TearDown() override {
        cesim::StopFailingAllocations();
        cesim::ClearFailures();
    }
};

} // namespace vexotest
