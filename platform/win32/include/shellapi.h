// The desktop's shellapi.h, plus what Windows CE declares there and the desktop lacks or
// spells otherwise: the special-folder lookup and shortcuts in the device's text form.
#ifndef VEXO_WIN32_SHELLAPI_H
#define VEXO_WIN32_SHELLAPI_H

#include <windows.h>

#include_next <shellapi.h>

// The desktop keeps these in shlobj.h.
#ifndef CSIDL_STARTUP
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
#endif

#ifdef __cplusplus
extern "C" {
#endif

// CE has only the wide call, under the plain name; as on the device, a failed lookup leaves
// an empty path.
BOOL WINAPI CeSHGetSpecialFolderPath(HWND owner, LPWSTR path, int folder, BOOL create);
#undef SHGetSpecialFolderPath
#define SHGetSpecialFolderPath CeSHGetSpecialFolderPath

// Writes a shortcut in the device's text form, "NN#target", with the target as given (at most
// 256 characters). Fails when the shortcut file exists already, as on the device.
BOOL SHCreateShortcut(LPWSTR shortcut, LPWSTR target);

#ifdef __cplusplus
}
#endif

#endif
