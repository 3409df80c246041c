// Menu objects as the menu calls, the tracking loop and the driver share them.
#pragma once

#include "kernel.h"

#include <string>
#include <vector>

namespace cesim {

struct MenuItem {
    UINT flags = 0; // MF_ bits of type and state, MF_BYPOSITION left out
    UINT id = 0;
    ULONG_PTR data = 0;  // owner-drawn items
    std::u16string text; // string items
};

struct Menu {
    HMENU handle = nullptr;
    DWORD processId = 0;
    std::vector<MenuItem> items;
};

Menu* FindMenu(const Kernel::Lock& held, HMENU menu);

// Ends every menu that `owner` owns, as WM_CANCELMODE's default processing does.
void EndMenusOwnedBy(const Kernel::Lock& held, HWND owner);
// The window of the menu a thread is tracking, or null.
HWND TrackedMenuWindow(const Kernel::Lock& held, DWORD threadId);
// The thread that tracks a menu, preferring the one whose menu was opened last; 0 for none.
DWORD MenuTrackingThread(const Kernel::Lock& held);

// Forgets every menu and every tracking of one, as a reboot does.
void ResetMenus(const Kernel::Lock& held);
void ResetMenuTracking(const Kernel::Lock& held);

} // namespace cesim
