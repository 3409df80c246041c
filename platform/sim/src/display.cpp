// The display driver: its escapes (the power-management one among them), the display's power
// state, and the screen's rotation with what the system does to the windows when it turns.
#include <cesim/power.h>
#include <cesim/registry.h>

#include <pwingdi.h>

#include "gdi.h"
#include "gdi_model.h"
#include "messages.h"
#include "services.h"
#include "windowing.h"

#include <cstddef>

namespace cesim {

namespace {

typedef Kernel::Lock Lock;

static_assert(sizeof(DEVMODEW) == 192, "the device's DEVMODEW is 192 bytes");

const DWORD kEveryRotation = DMDO_90 | DMDO_180 | DMDO_270;

struct State {
    int nativeWidth = 240;
    int nativeHeight = 320;
    // The pixel density of the panel along its own width and height; a turn swaps them too.
    int nativeDpiX = 96;
    int nativeDpiY = 96;
    DWORD rotations = kEveryRotation;
    bool powerEscape = true;
    DWORD orientation = DMDO_0;
    ULONG powerState = VideoPowerOn;
    std::vector<int> escapes;
};

State& S() {
    static State* state = new State;
    return *state;
}

bool Turned(DWORD orientation) {
    return orientation == DMDO_90 || orientation == DMDO_270;
}

bool Accepts(DWORD orientation) {
    if (orientation == DMDO_0)
        return true;
    bool known = orientation == DMDO_90 || orientation == DMDO_180 || orientation == DMDO_270;
    return known && (S().rotations & orientation) != 0;
}

// The orientation the registry records, as the system reads it at boot.
DWORD RecordedOrientation() {
    std::optional<DWORD> angle =
        reg::GetDword("HKEY_LOCAL_MACHINE\\System\\GDI\\Rotation", "Angle");
    switch (angle.value_or(0)) {
    case 90:
        return DMDO_90;
    case 180:
        return DMDO_180;
    case 270:
        return DMDO_270;
    }
    return DMDO_0;
}

Display DisplayFor(const Lock& held, DWORD orientation) {
    Display d = CurrentDisplay(held);
    d.width = Turned(orientation) ? S().nativeHeight : S().nativeWidth;
    d.height = Turned(orientation) ? S().nativeWidth : S().nativeHeight;
    d.dpiX = Turned(orientation) ? S().nativeDpiY : S().nativeDpiX;
    d.dpiY = Turned(orientation) ? S().nativeDpiX : S().nativeDpiY;
    return d;
}

// Full-screen windows are those that span the screen's width down to its bottom edge, below
// the taskbar or over it; they take the new screen the same way.
bool FillsScreen(const RECT& r, const Display& d) {
    return r.left == 0 && r.right == d.width && r.bottom == d.height && r.top >= 0 &&
           r.top < d.height;
}

// What the system does when the screen turns: the new size, full-screen windows resized, and
// WM_SETTINGCHANGE to every top-level window, on which the shell lays out its taskbar anew.
// Both messages are posted, so that a program that does not answer holds no one up.
void Rotate(const Lock& held, DWORD orientation) {
    Display before = CurrentDisplay(held);
    Display after = DisplayFor(held, orientation);
    S().orientation = orientation;
    SetDisplay(held, after);
    std::vector<HWND> windows = WindowManager::TopLevel(held);
    for (HWND h : windows) {
        Window* w = WindowManager::Find(held, h);
        if (w && FillsScreen(w->rect, before)) {
            RECT r = {0, w->rect.top, after.width, after.height};
            WindowManager::PlaceAfterDisplayChange(held, h, r);
        }
    }
    for (HWND h : windows)
        PostToWindow(held, h, WM_SETTINGCHANGE, SETTINGCHANGE_RESET, 0);
}

LONG TestMode(const Lock&, LPDEVMODEW mode) {
    if (mode->dmFields & DM_DISPLAYQUERYORIENTATION) {
        mode->dmDisplayOrientation = S().rotations;
        return S().rotations ? DISP_CHANGE_SUCCESSFUL : DISP_CHANGE_BADMODE;
    }
    if (mode->dmFields & DM_DISPLAYORIENTATION)
        mode->dmDisplayOrientation = S().orientation;
    return DISP_CHANGE_SUCCESSFUL;
}

LONG ApplyMode(const Lock& held, DWORD orientation) {
    if (!Accepts(orientation))
        return DISP_CHANGE_BADMODE;
    if (orientation != S().orientation)
        Rotate(held, orientation);
    return DISP_CHANGE_SUCCESSFUL;
}

bool Supports(int escape) {
    if (escape == QUERYESCSUPPORT)
        return true;
    return S().powerEscape && (escape == SETPOWERMANAGEMENT || escape == GETPOWERMANAGEMENT);
}

int PowerEscape(int escape, int inputSize, LPCSTR input, int outputSize, LPSTR output) {
    const int size = int(sizeof(VIDEO_POWER_MANAGEMENT));
    if (escape == GETPOWERMANAGEMENT) {
        if (!output || outputSize < size)
            return -1;
        VIDEO_POWER_MANAGEMENT power = {ULONG(size), 1, S().powerState};
        memcpy(output, &power, size);
        return 1;
    }
    VIDEO_POWER_MANAGEMENT power;
    if (!input || inputSize < size)
        return -1;
    memcpy(&power, input, size);
    if (power.Length < ULONG(size) || power.PowerState < VideoPowerOn ||
        power.PowerState > VideoPowerOff)
        return -1;
    S().powerState = power.PowerState;
    return 1;
}

} // namespace

void BootDisplay(const BootOptions& options) {
    DWORD recorded = RecordedOrientation();
    Lock lock(Kernel::Mutex());
    S() = State();
    S().nativeWidth = options.width;
    S().nativeHeight = options.height;
    S().nativeDpiX = options.dpiX ? options.dpiX : options.dpi;
    S().nativeDpiY = options.dpiY ? options.dpiY : options.dpi;
    S().rotations = options.rotations & kEveryRotation;
    S().powerEscape = options.displayPowerEscape;
    // At boot nothing runs yet that could hear of the turn.
    if (Accepts(recorded)) {
        S().orientation = recorded;
        SetDisplay(lock, DisplayFor(lock, recorded));
    }
}

bool ScreenIsDark(const Kernel::Lock& held) {
    return S().powerState != VideoPowerOn || DeviceSleeps(held) || DeviceHalted(held);
}

void WakeDisplay(const Kernel::Lock&) {
    S().powerState = VideoPowerOn;
}

int DisplayPowerState() {
    Lock lock(Kernel::Mutex());
    return int(S().powerState);
}

bool ScreenDark() {
    Lock lock(Kernel::Mutex());
    return ScreenIsDark(lock);
}

std::vector<int> DisplayEscapes() {
    Lock lock(Kernel::Mutex());
    return S().escapes;
}

DWORD ScreenOrientation() {
    Lock lock(Kernel::Mutex());
    return S().orientation;
}

} // namespace cesim

using namespace cesim;

extern "C" {

int ExtEscape(HDC dc, int escape, int inputSize, LPCSTR input, int outputSize, LPSTR output) {
    Lock lock(Kernel::Mutex());
    if (!gdi::FindDC(lock, dc)) {
        gdi::SetError(lock, ERROR_INVALID_HANDLE);
        return 0;
    }
    S().escapes.push_back(escape);
    if (escape == QUERYESCSUPPORT) {
        DWORD asked = 0;
        if (!input || inputSize < int(sizeof asked)) {
            gdi::SetError(lock, ERROR_INVALID_PARAMETER);
            return -1;
        }
        memcpy(&asked, input, sizeof asked);
        return Supports(int(asked)) ? 1 : 0;
    }
    if (!Supports(escape))
        return 0;
    int result = PowerEscape(escape, inputSize, input, outputSize, output);
    if (result < 0)
        gdi::SetError(lock, ERROR_INVALID_PARAMETER);
    return result;
}

LONG ChangeDisplaySettingsEx(LPCWSTR deviceName, LPDEVMODEW mode, HWND window, DWORD flags,
                             LPVOID parameter) {
    // Without a record the registry's mode applies again, as after a dynamic change.
    DWORD recorded = mode ? DMDO_0 : RecordedOrientation();
    Lock lock(Kernel::Mutex());
    if (!mode)
        return (flags & CDS_TEST) ? DISP_CHANGE_SUCCESSFUL : ApplyMode(lock, recorded);
    if (mode->dmSize < offsetof(DEVMODEW, dmDisplayOrientation) + sizeof(DWORD))
        return DISP_CHANGE_BADPARAM;
    if (flags & CDS_TEST)
        return TestMode(lock, mode);
    if (mode->dmFields & DM_DISPLAYORIENTATION)
        return ApplyMode(lock, mode->dmDisplayOrientation);
    return DISP_CHANGE_SUCCESSFUL;
}

} // extern "C"
