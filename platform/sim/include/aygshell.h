// The part of the Pocket PC shell library the program uses: tap-and-hold recognition.
#ifndef CESIM_AYGSHELL_H
#define CESIM_AYGSHELL_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct tagSHRGI {
    DWORD cbSize;
    HWND hwndClient;
    POINT ptDown; // client coordinates of hwndClient
    DWORD dwFlags;
} SHRGINFO, *PSHRGINFO;

#define SHRG_RETURNCMD 0x00000001
#define GN_CONTEXTMENU 1000

// Waits while the stylus stays down where it was pressed; GN_CONTEXTMENU when it stayed long
// enough, 0 when it was lifted or moved first.
DWORD SHRecognizeGesture(SHRGINFO* info);

#ifdef __cplusplus
}
#endif

#endif
