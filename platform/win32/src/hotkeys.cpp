// Hot keys without CE's key-up reports, which the desktop does not offer.
#include <windows.h>

#undef RegisterHotKey

extern "C" BOOL WINAPI CeRegisterHotKey(HWND window, int id, UINT modifiers, UINT virtualKey) {
    return RegisterHotKey(window, id, modifiers & ~UINT(MOD_KEYUP), virtualKey);
}
