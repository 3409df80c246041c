// Runs vexo's device commands on a desktop, one per call, so that a script can watch their
// effect from outside under Wine: the soft-reset question as a real message box, the radios
// through the desktop's stand-ins and the other Bluetooth stack's tray window, the screen's
// orientation record and the power key that must never reach the program in front.
//
//   device_check question LOG        asks the soft-reset question; the log says what followed
//   device_check radios              WiFi and the device's own Bluetooth, before and after
//   device_check bluetooth           the Bluetooth command once, as the menu would choose it
//   device_check tray FILE           a hidden "WCE_BTTRAY" window that writes each WM_COMMAND
//   device_check orientation         the orientation record through both landscape commands
//   device_check power-off           counts the keys a focused window gets from PowerOff
//
// Prints NAME=VALUE lines; exits 2 on a usage error.
#include <windows.h>

#include "config/config.h"
#include "config/language.h"
#include "config/log.h"
#include "device/power.h"
#include "device/radios.h"
#include "shell/mainwindow.h"

#include <cstdio>
#include <string>

namespace {

void StartProgramState(const wchar_t* logPath) {
    appInstance = GetModuleHandleW(nullptr);
    AllocateStringRing();
    config.Load();
    InitWiFiDeviceName();
    CreateLanguageTable();
    if (logPath)
        appLog = new Log(logPath, 3);
}

int Question(const wchar_t* logPath) {
    StartProgramState(logPath);
    OnSoftReset();
    delete appLog;
    appLog = nullptr;
    std::printf("returned=1\n");
    return 0;
}

int Radios() {
    StartProgramState(nullptr);
    std::printf("wifi-name=%ls\n", WiFiDeviceName ? WiFiDeviceName : L"");
    if (WiFiDeviceName) {
        std::printf("wifi-before=%d\n", IsWiFiOn());
        SetWiFiPower(!IsWiFiOn());
        std::printf("wifi-after=%d\n", IsWiFiOn());
    }
    std::printf("bluetooth-before=%d\n", IsBluetoothOn());
    SetBluetoothPower(!IsBluetoothOn());
    std::printf("bluetooth-after=%d\n", IsBluetoothOn());
    SetBluetoothPower(!IsBluetoothOn());
    std::printf("bluetooth-again=%d\n", IsBluetoothOn());
    return 0;
}

int Bluetooth() {
    StartProgramState(nullptr);
    bool on = IsBluetoothOn();
    SetBluetoothPower(!on);
    std::printf("bluetooth-was=%d\n", on);
    return 0;
}

std::wstring trayRecord;

LRESULT CALLBACK TrayProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND) {
        if (FILE* out = _wfopen(trayRecord.c_str(), L"a")) {
            std::fprintf(out, "0x%llX\n", static_cast<unsigned long long>(wParam));
            std::fclose(out);
        }
        return 0;
    }
    if (message == WM_CLOSE) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

int Tray(const wchar_t* record) {
    trayRecord = record;
    WNDCLASSW wc = {};
    wc.lpfnWndProc = TrayProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"WCE_BTTRAY";
    RegisterClassW(&wc);
    HWND window = CreateWindowExW(0, L"WCE_BTTRAY", L"Bluetooth Console", 0, 0, 0, 0, 0, nullptr,
                                  nullptr, wc.hInstance, nullptr);
    std::printf("tray=%d\n", window != nullptr);
    std::fflush(stdout);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0)
        DispatchMessageW(&msg);
    return 0;
}

int Orientation() {
    StartProgramState(nullptr);
    std::printf("start=%lu\n", GetScreenOrientation());
    SetScreenOrientation(GetScreenOrientation() == DMDO_270 ? DMDO_0 : DMDO_270);
    std::printf("left=%lu\n", GetScreenOrientation());
    SetScreenOrientation(GetScreenOrientation() == DMDO_90 ? DMDO_0 : DMDO_90);
    std::printf("right=%lu\n", GetScreenOrientation());
    // A value the table does not know is refused by the display and recorded as angle 0.
    SetScreenOrientation(3);
    std::printf("unknown=%lu\n", GetScreenOrientation());
    return 0;
}

int keysSeen = 0;

LRESULT CALLBACK FocusProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_KEYDOWN || message == WM_KEYUP || message == WM_CHAR ||
        message == WM_SYSKEYDOWN)
        ++keysSeen;
    return DefWindowProcW(window, message, wParam, lParam);
}

void Pump(DWORD milliseconds) {
    DWORD until = GetTickCount() + milliseconds;
    while (LONG(GetTickCount() - until) < 0) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        Sleep(10);
    }
}

// The window in front must hear nothing of the power key; a key typed the same way shows that
// it would have.
int PowerOffKeys() {
    StartProgramState(nullptr);
    WNDCLASSW wc = {};
    wc.lpfnWndProc = FocusProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"DeviceCheckFocus";
    RegisterClassW(&wc);
    HWND window = CreateWindowExW(0, wc.lpszClassName, L"Focus", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                  0, 0, 200, 100, nullptr, nullptr, wc.hInstance, nullptr);
    SetForegroundWindow(window);
    SetFocus(window);
    Pump(300);
    keysSeen = 0;
    PowerOff();
    Pump(300);
    std::printf("power-off-keys=%d\n", keysSeen);
    keysSeen = 0;
    keybd_event(VK_F2, 0, KEYEVENTF_SILENT, 0);
    keybd_event(VK_F2, 0, KEYEVENTF_KEYUP | KEYEVENTF_SILENT, 0);
    Pump(300);
    std::printf("control-keys=%d\n", keysSeen);
    DestroyWindow(window);
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    std::wstring command = argc > 1 ? argv[1] : L"";
    int result = 2;
    if (command == L"question" && argc == 3)
        result = Question(argv[2]);
    else if (command == L"radios" && argc == 2)
        result = Radios();
    else if (command == L"bluetooth" && argc == 2)
        result = Bluetooth();
    else if (command == L"tray" && argc == 3)
        result = Tray(argv[2]);
    else if (command == L"orientation" && argc == 2)
        result = Orientation();
    else if (command == L"power-off" && argc == 2)
        result = PowerOffKeys();
    else
        std::fputs("usage: device_check question LOG | radios | bluetooth | tray FILE |"
                   " orientation | power-off\n",
                   stderr);
    std::fflush(stdout);
    return result;
}
