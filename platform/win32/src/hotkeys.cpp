// Hot keys as Windows CE has them: a registration with MOD_KEYUP also hears the key go up.
// The desktop reports presses only and refuses that modifier, so the key is registered
// without it, and a low-level keyboard hook reports the release as CE does: WM_HOTKEY with
// MOD_KEYUP in the low word of lParam, after the press that the desktop reported itself.
// One such key is watched at a time, which is all a program of the device registers.
#include <windows.h>

#undef RegisterHotKey
#undef UnregisterHotKey

namespace {

struct KeyUpWatch {
    HWND window;
    int id;
    UINT modifiers;
    UINT virtualKey;
    bool down;   // pressed with its modifiers held, so the desktop reported the press
};

KeyUpWatch watch;
HHOOK keyboardHook = NULL;

bool Held(int virtualKey) { return (GetAsyncKeyState(virtualKey) & 0x8000) != 0; }

bool ModifiersHeld(UINT modifiers) {
    if ((modifiers & MOD_WIN) && !Held(VK_LWIN) && !Held(VK_RWIN))
        return false;
    if ((modifiers & MOD_ALT) && !Held(VK_MENU))
        return false;
    if ((modifiers & MOD_CONTROL) && !Held(VK_CONTROL))
        return false;
    return !(modifiers & MOD_SHIFT) || Held(VK_SHIFT);
}

LRESULT CALLBACK KeyUpHookProc(int code, WPARAM message, LPARAM lParam) {
    const KBDLLHOOKSTRUCT* key = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
    if (code == HC_ACTION && key->vkCode == watch.virtualKey) {
        if (message == WM_KEYDOWN || message == WM_SYSKEYDOWN) {
            watch.down = watch.down || ModifiersHeld(watch.modifiers);
        } else if (watch.down) {
            watch.down = false;
            PostMessageW(watch.window, WM_HOTKEY, WPARAM(watch.id),
                         MAKELPARAM(watch.modifiers, watch.virtualKey));
        }
    }
    return CallNextHookEx(keyboardHook, code, message, lParam);
}

void StopWatching() {
    if (keyboardHook)
        UnhookWindowsHookEx(keyboardHook);
    keyboardHook = NULL;
}

} // namespace

extern "C" BOOL WINAPI CeRegisterHotKey(HWND window, int id, UINT modifiers, UINT virtualKey) {
    if (!RegisterHotKey(window, id, modifiers & ~UINT(MOD_KEYUP), virtualKey))
        return FALSE;
    if (modifiers & MOD_KEYUP) {
        KeyUpWatch w = {window, id, modifiers, virtualKey, false};
        watch = w;
        if (!keyboardHook)
            keyboardHook =
                SetWindowsHookExW(WH_KEYBOARD_LL, KeyUpHookProc, GetModuleHandleW(NULL), 0);
    }
    return TRUE;
}

extern "C" BOOL WINAPI CeUnregisterHotKey(HWND window, int id) {
    if (keyboardHook && watch.window == window && watch.id == id)
        StopWatching();
    return UnregisterHotKey(window, id);
}
