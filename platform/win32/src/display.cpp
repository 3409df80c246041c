// Stand-ins for CE's screen rotation and power key, which a desktop program cannot honestly
// perform: the orientation is a record of this process, and the power key goes nowhere.
#include <windows.h>

#include <stddef.h>

static DWORD orientation = DMDO_0;

static bool KnownOrientation(DWORD value) {
    return value == DMDO_0 || value == DMDO_90 || value == DMDO_180 || value == DMDO_270;
}

LONG WINAPI CeChangeDisplaySettingsEx(LPCWSTR deviceName, CeDevModeW* mode, HWND window,
                                      DWORD flags, LPVOID parameter) {
    if (!mode) {
        if (!(flags & CDS_TEST))
            orientation = DMDO_0;
        return DISP_CHANGE_SUCCESSFUL;
    }
    if (mode->dmSize < offsetof(CeDevModeW, dmDisplayOrientation) + sizeof(DWORD))
        return DISP_CHANGE_BADPARAM;
    if (flags & CDS_TEST) {
        if (mode->dmFields & DM_DISPLAYQUERYORIENTATION)
            mode->dmDisplayOrientation = DMDO_90 | DMDO_180 | DMDO_270;
        else if (mode->dmFields & DM_DISPLAYORIENTATION)
            mode->dmDisplayOrientation = orientation;
        return DISP_CHANGE_SUCCESSFUL;
    }
    if (!(mode->dmFields & DM_DISPLAYORIENTATION))
        return DISP_CHANGE_SUCCESSFUL;
    if (!KnownOrientation(mode->dmDisplayOrientation))
        return DISP_CHANGE_BADMODE;
    orientation = mode->dmDisplayOrientation;
    return DISP_CHANGE_SUCCESSFUL;
}

#undef keybd_event

void WINAPI CeKeybdEvent(BYTE virtualKey, BYTE scan, DWORD flags, ULONG_PTR extraInfo) {
    if (virtualKey == VK_OFF)
        return;
    keybd_event(virtualKey, scan, flags & ~DWORD(KEYEVENTF_SILENT), extraInfo);
}
