// The shell helpers that Windows CE declares in shellapi.h (they live in coredll): special
// folders and shortcuts.
#ifndef CESIM_SHELLAPI_H
#define CESIM_SHELLAPI_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

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
