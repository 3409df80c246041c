// The kernel's I/O control call, as the device's kernel answers it.
#ifndef CESIM_PKFUNCS_H
#define CESIM_PKFUNCS_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

// CTL_CODE(FILE_DEVICE_HAL, 15, METHOD_BUFFERED, FILE_ANY_ACCESS): the soft reset.
#define IOCTL_HAL_REBOOT 0x0101003C

// IOCTL_HAL_REBOOT restarts the device and never returns to a program's thread; every other
// code is refused with ERROR_NOT_SUPPORTED.
BOOL KernelIoControl(DWORD code, LPVOID in, DWORD inSize, LPVOID out, DWORD outSize,
                     LPDWORD returned);

#ifdef __cplusplus
}
#endif

#endif
