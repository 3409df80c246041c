// Helpers shared by the tests that run vexo or its modules on the simulated device.
#include "support/device_fixture.h"

#include <windows.h>

#include <cesim/programs.h>

#include "tools/vexocfg/vexocfg.h"

namespace vexotest {

const char kSettingsPath[] = "HKEY_CURRENT_USER\\Software\\Holmvest\\Vexo";

void BootDevice(int dpi, const std::string& regText, int osMajor, int osMinor) {
    BootDeviceWithDpi(dpi, dpi, regText, osMajor, osMinor);
}

void BootDeviceWithDpi(int dpiX, int dpiY, const std::string& regText, int osMajor, int osMinor) {
    cesim::BootOptions options;
    options.dpi = dpiX;
    options.dpiX = dpiX;
    options.dpiY = dpiY;
    options.width = 240 * dpiX / 96;
    options.height = 320 * dpiY / 96;
    options.osMajor = osMajor;
    options.osMinor = osMinor;
    cesim::Boot(options);
    if (!regText.empty()) {
        std::string error;
        ASSERT_TRUE(cesim::reg::ImportRegText(regText, &error)) << error;
    }
}

DWORD StartVexo(const std::u16string& commandLine) {
    cesim::ProgramImage image;
    image.entry = &WinMain;
    image.modulePath = u"\\Program Files\\Vexo\\vexo.exe";
    image.resources = cesim::ProgramResourceSection();
    image.commandLine = commandLine;
    return cesim::StartProgram(image);
}

HWND FindButtonWindow() {
    for (HWND child : cesim::ChildWindows(cesim::Taskbar())) {
        auto info = cesim::Inspect(child);
        if (info && info->className == u"VexoClass")
            return child;
    }
    return nullptr;
}

HWND StartWindowProgram(const std::u16string& title, DWORD style, DWORD exStyle) {
    cesim::SimProgram p;
    p.modulePath = u"\\Windows\\" + title + u".exe";
    cesim::SimWindow w;
    w.title = title;
    w.style = style;
    w.exStyle = exStyle;
    p.windows.push_back(w);
    return cesim::StartSimulatedProgram(p).windows[0];
}

CfgResult RunCfg(std::vector<std::string> args) {
    CfgResult r;
    cesim::StartHelperProcess(u"\\Program Files\\Vexo\\VexoCfg.exe",
                              [&] { r.code = RunVexoCfg(args, r.out, r.err); });
    cesim::Settle();
    return r;
}

LRESULT SendFromOtherProcess(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    cesim::StartHelperProcess(u"\\Windows\\helper.exe", [&] {
        result = SendMessageW(window, message, wParam, lParam);
    });
    cesim::Settle();
    return result;
}

void SendReadConfig() {
    // Found the way the settings program finds it: the first "VexoClass" child of the taskbar.
    cesim::StartHelperProcess(u"\\Program Files\\Vexo\\VexoCfg.exe", [] {
        UINT message = RegisterWindowMessageW(L"Holmvest::Vexo::Messages::ReadConfig");
        HWND taskbar = FindWindowW(L"HHTaskBar", nullptr);
        for (HWND child = GetWindow(taskbar, GW_CHILD); child;
             child = GetWindow(child, GW_HWNDNEXT)) {
            wchar_t name[16] = {};
            GetClassNameW(child, name, 16);
            if (U16(name) == u"VexoClass") {
                SendMessageW(child, message, 0, 0);
                return;
            }
        }
    });
    cesim::Settle();
}

void ChangeSettings(const std::function<void()>& write) {
    write();
    SendReadConfig();
}

} // namespace vexotest
