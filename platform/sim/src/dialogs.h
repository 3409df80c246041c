// Dialogs of the system's dialog class, and window procedure addresses as programs read them.
#pragma once

#include "windowing.h"

namespace cesim {

// The address GetWindowLongW(GWL_WNDPROC) reports: the owning process's slot in the high bits
// and the code's place in the low ones, as on a 32-bit device. The system's default dialog
// procedure sits at the same place in every slot.
DWORD WindowProcAddress(const Kernel::Lock& held, const Window& window);

// Creates a dialog on the calling thread: a window of the system's class "Dialog", whose window
// procedure is DefDlgProcW, handing every message to proc from WM_INITDIALOG on.
HWND CreateDialogWindow(DWORD exStyle, const std::u16string& title, DWORD style, const RECT& rect,
                        HWND owner, DLGPROC proc, LPARAM param);

} // namespace cesim
