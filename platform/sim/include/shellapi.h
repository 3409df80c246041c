// The shell's helpers for files, as the Pocket PC shell provides them.
#ifndef CESIM_SHELLAPI_H
#define CESIM_SHELLAPI_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct _SHFILEINFOW {
    HICON hIcon;
    int iIcon;
    DWORD dwAttributes;
    WCHAR szDisplayName[MAX_PATH];
    WCHAR szTypeName[80];
} SHFILEINFOW, SHFILEINFO;

#define SHGFI_LARGEICON 0x000000000
#define SHGFI_SMALLICON 0x000000001
#define SHGFI_ICON 0x000000100
#define SHGFI_DISPLAYNAME 0x000000200
#define SHGFI_SYSICONINDEX 0x000004000

// With SHGFI_SYSICONINDEX, the system image list of the size asked for (0 for a file the shell
// does not know) and the file's index in it; with SHGFI_ICON also a new icon, which the caller
// destroys. With SHGFI_DISPLAYNAME, the file's name as the shell shows it.
DWORD_PTR SHGetFileInfo(LPCWSTR path, DWORD attributes, SHFILEINFO* info, UINT size, UINT flags);
#define SHGetFileInfoW SHGetFileInfo

#ifdef __cplusplus
}
#endif

#endif
