// The shell helpers that Windows CE declares in shellapi.h (they live in coredll): file icons
// and names, special folders and shortcuts.
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

// ---- special folders ----------------------------------------------------------------------
#define CSIDL_PROGRAMS 0x0002
#define CSIDL_PERSONAL 0x0005
#define CSIDL_FAVORITES 0x0006
#define CSIDL_STARTUP 0x0007
#define CSIDL_RECENT 0x0008
#define CSIDL_STARTMENU 0x000b
#define CSIDL_FONTS 0x0014
#define CSIDL_APPDATA 0x001a
#define CSIDL_WINDOWS 0x0024
#define CSIDL_PROGRAM_FILES 0x0026

// Writes the folder's path into path, which holds MAX_PATH characters. A folder that does
// not exist is made when create is set; otherwise the call fails and path is left empty.
BOOL SHGetSpecialFolderPath(HWND owner, LPWSTR path, int folder, BOOL create);

// ---- shortcuts ----------------------------------------------------------------------------
// Writes a shortcut file at shortcut whose command is target (at most 256 characters; a path
// with spaces is quoted by the caller). Fails when the shortcut file already exists. CE's
// header declares a DWORD result; the value is a BOOL.
BOOL SHCreateShortcut(LPWSTR shortcut, LPWSTR target);

#ifdef __cplusplus
}
#endif

#endif
