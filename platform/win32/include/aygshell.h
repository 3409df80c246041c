// The part of the Pocket PC shell library that desktop Windows lacks: tap-and-hold recognition.
#ifndef VEXO_WIN32_AYGSHELL_H
#define VEXO_WIN32_AYGSHELL_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct tagSHRGI {
    DWORD cbSize;
    HWND hwndClient;
    POINT ptDown;
    DWORD dwFlags;
} SHRGINFO, *PSHRGINFO;

#define SHRG_RETURNCMD 0x00000001
#define SHRG_NOTIFYPARENT 0x00000002
#define SHRG_LONGDELAY 0x00000008

// Returns GN_CONTEXTMENU when the left button stays down, without moving, for the hold time.
DWORD SHRecognizeGesture(SHRGINFO* info);

#ifdef __cplusplus
}
#endif

#endif
