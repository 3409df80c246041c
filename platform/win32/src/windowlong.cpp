// A window's procedure read through GetWindowLongW, as on Windows CE.
#include <windows.h>

#undef GetWindowLongW

extern "C" LONG WINAPI CeGetWindowLongW(HWND window, int index) {
    if (index == GWL_WNDPROC)
        return LONG(GetWindowLongPtrW(window, GWLP_WNDPROC));
    return GetWindowLongW(window, index);
}
