// GetVersionExW: the OS version the device was booted with.
#include <cesim/device.h>

extern "C" BOOL GetVersionExW(LPOSVERSIONINFOW info) {
    if (!info || info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOW)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    const cesim::BootOptions& booted = cesim::BootedWith();
    info->dwMajorVersion = DWORD(booted.osMajor);
    info->dwMinorVersion = DWORD(booted.osMinor);
    // The device models no particular build or service pack.
    info->dwBuildNumber = 0;
    info->dwPlatformId = VER_PLATFORM_WIN32_CE;
    info->szCSDVersion[0] = 0;
    return TRUE;
}
