// The kernel's I/O control call of Windows CE.
#ifndef VEXO_WIN32_PKFUNCS_H
#define VEXO_WIN32_PKFUNCS_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

// A desktop is never rebooted or otherwise driven by it: every code is refused with
// ERROR_NOT_SUPPORTED.
BOOL KernelIoControl(DWORD code, LPVOID in, DWORD inSize, LPVOID out, DWORD outSize,
                     LPDWORD returned);

#ifdef __cplusplus
}
#endif

#endif
