// Desktop Windows as the program expects Windows CE to be: the real <windows.h>, then the names
// and constants that only CE has, and the few calls whose meaning differs between the two.
#ifndef VEXO_WIN32_WINDOWS_H
#define VEXO_WIN32_WINDOWS_H

// The program is written for Microsoft's printf (%s is wide in a wide format, %S wide in a
// narrow one, truncation returns -1). Its build asks for that with __USE_MINGW_ANSI_STDIO=0,
// but any libstdc++ header, and the real <windows.h> reads one, turns mingw's C99 printf back
// on; so the C runtime headers are read here first, while the choice still holds. This holds
// as long as <windows.h> comes before the C++ headers, as it does in every program file.
#include <stdarg.h>
#include <stddef.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>
#include <wctype.h>

#include_next <windows.h>

// ---- constants that only Windows CE defines ------------------------------------------------

// CE asks for system colour n as n | 0x40000000; the desktop takes the bare index.
#define SYS_COLOR_INDEX_FLAG 0

// Extended styles of CE's shell: an OK button in the caption, and a window that cannot be
// dragged. The desktop never sets these bits on its windows.
#define WS_EX_CAPTIONOKBTN 0x80000000L
#define WS_EX_NODRAG 0x40000000L

// With RegisterHotKey, CE also reports the release of the key (the low word of lParam then
// carries this bit). The desktop has no such modifier: see RegisterHotKey below.
#define MOD_KEYUP 0x1000

// SHRecognizeGesture's answer when the stylus was held (aygshell).
#define GN_CONTEXTMENU 1000

// KernelIoControl's soft reset: CTL_CODE(FILE_DEVICE_HAL, 15, METHOD_BUFFERED, FILE_ANY_ACCESS).
#define IOCTL_HAL_REBOOT 0x0101003C

// The power key. On the desktop 0xDF is an OEM key and flag 4 sends a character, so
// keybd_event is guarded below.
#define VK_OFF 0xDF
#define KEYEVENTF_SILENT 0x0004

// WM_SETTINGCHANGE's wParam after CE's screen has turned.
#define SETTINGCHANGE_RESET 0x3002

// ---- the display settings record of CE ---------------------------------------------------------

// CE's DEVMODEW is 192 bytes and ends with the orientation, where the desktop's record keeps
// printer and panning fields; its orientation flags have values of their own too.
typedef struct CeDevModeW {
    WCHAR dmDeviceName[CCHDEVICENAME];
    WORD dmSpecVersion;
    WORD dmDriverVersion;
    WORD dmSize;
    WORD dmDriverExtra;
    DWORD dmFields;
    short dmOrientation;
    short dmPaperSize;
    short dmPaperLength;
    short dmPaperWidth;
    short dmScale;
    short dmCopies;
    short dmDefaultSource;
    short dmPrintQuality;
    short dmColor;
    short dmDuplex;
    short dmYResolution;
    short dmTTOption;
    short dmCollate;
    WCHAR dmFormName[CCHFORMNAME];
    WORD dmLogPixels;
    DWORD dmBitsPerPel;
    DWORD dmPelsWidth;
    DWORD dmPelsHeight;
    DWORD dmDisplayFlags;
    DWORD dmDisplayFrequency;
    DWORD dmDisplayOrientation;
} CeDevModeW;
#define DEVMODEW CeDevModeW

#undef DM_DISPLAYORIENTATION
#define DM_DISPLAYORIENTATION 0x00800000L
#define DM_DISPLAYQUERYORIENTATION 0x01000000L
#define DMDO_0 0
#undef DMDO_270
#define DMDO_270 4

// The desktop's InsertMenuItem is a macro for a call CE programs do not use; the name is free
// for the program's own.
#undef InsertMenuItem

// ---- calls that mean something else on the desktop ------------------------------------------

#ifdef __cplusplus
extern "C" {
#endif

// CE calls WinMain with a wide command line; the desktop's WinMain has an 8-bit one. The
// program's WinMain is therefore renamed, and the platform's wWinMain calls it.
int WINAPI CeWinMain(HINSTANCE instance, HINSTANCE previous, LPWSTR commandLine, int showCommand);
#define WinMain CeWinMain

// CE ignores the access asked of OpenProcess; the desktop grants only what is asked. The handle
// is opened with at least the rights to read the process's image name, to wait for it and to
// terminate it, as far as the desktop grants them.
HANDLE WINAPI CeOpenProcess(DWORD access, BOOL inherit, DWORD processId);
#undef OpenProcess
#define OpenProcess CeOpenProcess

// CE ignores the access asked of RegOpenKeyExW (its programs pass 0) and its handles both read
// and write; the desktop grants only what is asked. The key is opened for reading and writing,
// or for reading alone where the desktop keeps writing to administrators.
LONG WINAPI CeRegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD options, REGSAM access, PHKEY result);
#undef RegOpenKeyExW
#define RegOpenKeyExW CeRegOpenKeyExW

// On CE a process handle also names that process's module, so GetModuleFileNameW of a process
// handle gives the path of its executable. Module handles (and NULL) keep the desktop meaning.
DWORD WINAPI CeGetModuleFileNameW(HMODULE module, LPWSTR fileName, DWORD capacity);
#undef GetModuleFileNameW
#define GetModuleFileNameW CeGetModuleFileNameW

// CE reads a window's procedure with GetWindowLongW(GWL_WNDPROC), a 32-bit address there; a
// 64-bit desktop has no such index, as an address does not fit a LONG. Its low 32 bits are
// given, which is what the program compares.
#ifndef GWL_WNDPROC
#define GWL_WNDPROC (-4)
#endif
LONG WINAPI CeGetWindowLongW(HWND window, int index);
#undef GetWindowLongW
#define GetWindowLongW CeGetWindowLongW

// CE deletes a key together with its subkeys; the desktop refuses a key that has any.
LONG WINAPI CeRegDeleteKeyW(HKEY key, LPCWSTR subKey);
#undef RegDeleteKeyW
#define RegDeleteKeyW CeRegDeleteKeyW

// Windows refuses a hot key with a modifier it does not know, and it knows no MOD_KEYUP (Wine
// lets it pass and ignores it). The key is registered without it, and the release is reported
// by a keyboard hook as CE reports it: WM_HOTKEY with MOD_KEYUP in the low word of lParam.
BOOL WINAPI CeRegisterHotKey(HWND window, int id, UINT modifiers, UINT virtualKey);
#undef RegisterHotKey
#define RegisterHotKey CeRegisterHotKey
BOOL WINAPI CeUnregisterHotKey(HWND window, int id);
#undef UnregisterHotKey
#define UnregisterHotKey CeUnregisterHotKey

// CE's CreateProcessW takes no start-up information and hands the program the command line as
// it is; the desktop requires the one, may write into the other, and takes the program's name
// as its first word. The stand-in supplies the start-up information and a command line made of
// the quoted image name and the given one.
BOOL WINAPI CeCreateProcessW(LPCWSTR imageName, LPWSTR commandLine,
                             LPSECURITY_ATTRIBUTES processAttributes,
                             LPSECURITY_ATTRIBUTES threadAttributes, BOOL inheritHandles,
                             DWORD creationFlags, LPVOID environment, LPCWSTR currentDirectory,
                             LPSTARTUPINFOW startupInfo, LPPROCESS_INFORMATION processInformation);
#undef CreateProcessW
#define CreateProcessW CeCreateProcessW

// CE turns its screen through ChangeDisplaySettingsEx and CE's record. A desktop has no screen
// to turn for a program: the stand-in keeps the orientation for this process, answers the
// queries from it and refuses the values CE does not know.
LONG WINAPI CeChangeDisplaySettingsEx(LPCWSTR deviceName, CeDevModeW* mode, HWND window,
                                      DWORD flags, LPVOID parameter);
#undef ChangeDisplaySettingsEx
#define ChangeDisplaySettingsEx CeChangeDisplaySettingsEx

// The power key is never typed into the program in front: the desktop has no such key, and
// the stand-in drops it. Other keys go through without CE's silent flag.
void WINAPI CeKeybdEvent(BYTE virtualKey, BYTE scan, DWORD flags, ULONG_PTR extraInfo);
#define keybd_event CeKeybdEvent

#ifdef __cplusplus
}
#endif

#endif
