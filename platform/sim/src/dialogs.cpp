// Dialogs of the system's dialog class and the default dialog procedure, and the addresses of
// window procedures as a program on a 32-bit device reads them.
#include "dialogs.h"

#include <map>

namespace cesim {

namespace {

typedef Kernel::Lock Lock;

const wchar_t kDialogClass[] = L"Dialog";
// Processes live in 32 MB slots; slot 0 is the running process's alias and slot 1 the ROM's.
const DWORD kSlotSize = 0x02000000;
const DWORD kFirstProcessSlot = 2;
const DWORD kProcessSlots = 30;
// Where the system's default dialog procedure lies within a slot.
const DWORD kDefaultDialogProcOffset = 0x013173B0;
// Program code: procedures are told apart by their place, 64 bytes apart.
const DWORD kFirstCodeOffset = 0x00011000;
const DWORD kCodeStep = 0x40;

struct State {
    std::map<WNDPROC, DWORD> codeOffsets;
};

State& S() {
    static State* state = new State;
    return *state;
}

DWORD SlotBase(DWORD processId) {
    return (kFirstProcessSlot + (processId / 0x10) % kProcessSlots) * kSlotSize;
}

DWORD CodeOffset(const Lock&, WNDPROC proc) {
    if (proc == DefDlgProcW)
        return kDefaultDialogProcOffset;
    auto it = S().codeOffsets.find(proc);
    if (it != S().codeOffsets.end())
        return it->second;
    DWORD offset = kFirstCodeOffset + kCodeStep * DWORD(S().codeOffsets.size());
    S().codeOffsets[proc] = offset;
    return offset;
}

DLGPROC DialogProcOf(HWND dialog) {
    Lock lock(Kernel::Mutex());
    Window* w = WindowManager::Find(lock, dialog);
    return w ? w->dialogProc : nullptr;
}

// Messages whose answer is the dialog procedure's own result rather than DWL_MSGRESULT.
bool AnswersDirectly(UINT message) {
    return message == WM_INITDIALOG;
}

} // namespace

DWORD WindowProcAddress(const Kernel::Lock& held, const Window& window) {
    return SlotBase(window.processId) + CodeOffset(held, window.proc);
}

HWND CreateDialogWindow(DWORD exStyle, const std::u16string& title, DWORD style, const RECT& rect,
                        HWND owner, DLGPROC proc, LPARAM param) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = DefDlgProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kDialogClass;
    // Every process of the device has the class; here it appears with the first dialog.
    RegisterClassW(&wc);
    HWND dialog = CreateWindowExW(exStyle, kDialogClass, W(title), style, rect.left, rect.top,
                                  rect.right - rect.left, rect.bottom - rect.top, owner, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    if (!dialog)
        return nullptr;
    {
        Lock lock(Kernel::Mutex());
        Window* w = WindowManager::Find(lock, dialog);
        if (!w)
            return nullptr;
        w->dialogProc = proc;
    }
    SendMessageW(dialog, WM_INITDIALOG, 0, param);
    return IsWindow(dialog) ? dialog : nullptr;
}

} // namespace cesim

using namespace cesim;

extern "C" {

LRESULT DefDlgProcW(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    DLGPROC proc = DialogProcOf(dialog);
    if (proc) {
        INT_PTR handled = proc(dialog, message, wParam, lParam);
        if (handled) {
            if (AnswersDirectly(message))
                return handled;
            Lock lock(Kernel::Mutex());
            Window* w = WindowManager::Find(lock, dialog);
            return w ? w->dialogResult : 0;
        }
    }
    switch (message) {
    case WM_CLOSE:
        // Closing a dialog is cancelling it, as its Cancel button would.
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDCANCEL)));
        return 0;
    case WM_INITDIALOG:
        return TRUE;
    }
    return DefWindowProcW(dialog, message, wParam, lParam);
}

HWND GetDlgItem(HWND dialog, int id) {
    Lock lock(Kernel::Mutex());
    Window* w = WindowManager::Find(lock, dialog);
    if (!w) {
        Kernel::Current(lock).lastError = ERROR_INVALID_WINDOW_HANDLE;
        return nullptr;
    }
    for (HWND child : w->children) {
        Window* c = WindowManager::Find(lock, child);
        if (c && c->id == id)
            return child;
    }
    return nullptr;
}

} // extern "C"
