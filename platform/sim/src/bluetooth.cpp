// The two Bluetooth stacks: the device's own, behind the Bluetooth utility calls, and the other
// one's tray program, which a program commands through its hidden window.
#include <cesim/device.h>
#include <cesim/power.h>

#include <bthutil.h>

#include "faults.h"
#include "services.h"

namespace cesim {

namespace {

typedef Kernel::Lock Lock;

const WPARAM kTrayRadioOff = 0x1001;
const WPARAM kTrayRadioOn = 0x1002;
const wchar_t kStackKey[] = L"SOFTWARE\\WIDCOMM\\BtConfig\\General";

struct State {
    DWORD mode = BTH_POWER_OFF;
    std::vector<WPARAM> trayCommands;
};

State& S() {
    static State* state = new State;
    return *state;
}

// The stack keeps its radio's state where programs look for it.
void RecordStackMode(DWORD on) {
    HKEY key;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kStackKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return;
    RegSetValueExW(key, L"StackMode", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&on), sizeof on);
    RegCloseKey(key);
}

LRESULT CALLBACK TrayWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_COMMAND)
        return DefWindowProcW(window, message, wParam, lParam);
    {
        Lock lock(Kernel::Mutex());
        S().trayCommands.push_back(wParam);
    }
    if (wParam == kTrayRadioOn)
        RecordStackMode(1);
    else if (wParam == kTrayRadioOff)
        RecordStackMode(0);
    return 0;
}

void RunTray() {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = TrayWindowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"WCE_BTTRAY";
    RegisterClassW(&wc);
    // Hidden: the stack shows itself only as an icon in the shell's tray.
    CreateWindowExW(0, L"WCE_BTTRAY", L"Bluetooth Console", 0, 0, 0, 0, 0, nullptr, nullptr,
                    wc.hInstance, nullptr);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

} // namespace

void BootBluetooth(bool keepStorage) {
    Lock lock(Kernel::Mutex());
    DWORD mode = keepStorage ? S().mode : DWORD(BTH_POWER_OFF);
    S() = State();
    S().mode = mode;
}

DWORD BluetoothMode() {
    Lock lock(Kernel::Mutex());
    return S().mode;
}

void SetBluetoothMode(DWORD mode) {
    Lock lock(Kernel::Mutex());
    S().mode = mode;
}

DWORD StartWidcommTray() {
    return StartHelperProcess(u"\\Windows\\BtTray.exe", RunTray);
}

std::vector<WPARAM> WidcommTrayCommands() {
    Lock lock(Kernel::Mutex());
    return S().trayCommands;
}

} // namespace cesim

using namespace cesim;

extern "C" {

int BthGetMode(DWORD* mode) {
    DWORD injected = 0;
    if (ShouldFail("BthGetMode", &injected))
        return int(injected);
    if (!mode)
        return ERROR_INVALID_PARAMETER;
    Lock lock(Kernel::Mutex());
    *mode = S().mode;
    return ERROR_SUCCESS;
}

int BthSetMode(DWORD mode) {
    DWORD injected = 0;
    if (ShouldFail("BthSetMode", &injected))
        return int(injected);
    if (mode > BTH_DISCOVERABLE)
        return ERROR_INVALID_PARAMETER;
    Lock lock(Kernel::Mutex());
    S().mode = mode;
    return ERROR_SUCCESS;
}

} // extern "C"
