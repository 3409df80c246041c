// Hot keys as Windows CE has them: a registration with MOD_KEYUP also hears the key go up.
// The desktop reports presses only and refuses that modifier, so the key is registered
// without it, and a low-level keyboard hook reports the release as CE does: WM_HOTKEY with
// MOD_KEYUP in the low word of lParam, after the press that the desktop reported itself.
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

const int kMaxWatches = 8;
KeyUpWatch watches[kMaxWatches];
int watchCount = 0;
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
    if (code == HC_ACTION) {
        const KBDLLHOOKSTRUCT* key = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
        bool up = message == WM_KEYUP || message == WM_SYSKEYUP;
        for (int i = 0; i < watchCount; ++i) {
            KeyUpWatch& w = watches[i];
            if (w.virtualKey != key->vkCode)
                continue;
            if (!up) {
                w.down = w.down || ModifiersHeld(w.modifiers);
            } else if (w.down) {
                w.down = false;
                PostMessageW(w.window, WM_HOTKEY, WPARAM(w.id),
                             MAKELPARAM(w.modifiers, w.virtualKey));
            }
        }
    }
    return CallNextHookEx(keyboardHook, code, message, lParam);
}

void Forget(HWND window, int id) {
    for (int i = 0; i < watchCount; ++i) {
        if (watches[i].window == window && watches[i].id == id) {
            watches[i] = watches[--watchCount];
            break;
        }
    }
    if (watchCount == 0 && keyboardHook) {
        UnhookWindowsHookEx(keyboardHook);
        keyboardHook = NULL;
    }
}

void Watch(HWND window, int id, UINT modifiers, UINT virtualKey) {
    if (watchCount == kMaxWatches)
        return;
    if (!keyboardHook)
        keyboardHook = SetWindowsHookExW(WH_KEYBOARD_LL, KeyUpHookProc, GetModuleHandleW(NULL), 0);
    if (!keyboardHook)
        return;
    KeyUpWatch w = {window, id, modifiers, virtualKey, false};
    watches[watchCount++] = w;
}

} // namespace

extern "C" BOOL WINAPI CeRegisterHotKey(HWND window, int id, UINT modifiers, UINT virtualKey) {
    if (!RegisterHotKey(window, id, modifiers & ~UINT(MOD_KEYUP), virtualKey))
        return FALSE;
    if (modifiers & MOD_KEYUP) {
        Forget(window, id);
        Watch(window, id, modifiers, virtualKey);
    }
    return TRUE;
}

extern "C" BOOL WINAPI CeUnregisterHotKey(HWND window, int id) {
    Forget(window, id);
    return UnregisterHotKey(window, id);
}
