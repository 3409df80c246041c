// The window manager's records: classes, windows, the window tree and z-order.
#pragma once

#include "kernel.h"

#include <cesim/surface.h>

namespace cesim {

struct Window {
    HWND handle = nullptr;
    std::u16string className;
    WNDPROC proc = nullptr;
    UINT classStyle = 0;
    HBRUSH background = nullptr;
    HINSTANCE instance = nullptr;
    std::u16string title;
    DWORD style = 0;
    DWORD exStyle = 0;
    HWND parent = nullptr;          // child windows only
    HWND owner = nullptr;           // top-level windows only
    std::vector<HWND> children;     // topmost first
    RECT rect = {0, 0, 0, 0};       // in the parent's client coordinates, screen for top-level
    DWORD threadId = 0;
    DWORD processId = 0;
    LONG userData = 0;
    LONG id = 0;
    DLGPROC dialogProc = nullptr;   // dialogs only: the procedure DefDlgProcW hands messages to
    LONG dialogResult = 0;          // DWL_MSGRESULT
    LONG dialogUser = 0;            // DWL_USER
    bool needsPaint = false;
    bool erasePending = false;
    bool destroying = false;
    Surface surface;                // pixels never drawn hold kUnpainted
};

// Marks surface pixels nothing has drawn; the compositor shows what lies beneath them.
const uint32_t kUnpainted = 0xFF000000u;

class WindowManager {
public:
    static Window* Find(const Kernel::Lock& held, HWND window);
    static std::vector<HWND>& TopLevel(const Kernel::Lock& held);
    static HWND Foreground(const Kernel::Lock& held);
    static RECT ScreenRect(const Kernel::Lock& held, const Window& window);
    // Windows of one thread that wait for WM_PAINT.
    static HWND NextToPaint(const Kernel::Lock& held, DWORD threadId);
    // A press of the stylus on window brings its program to the front, when it may activate.
    static void ActivateForInput(const Kernel::Lock& held, HWND window);
    // The system moves a window after the screen has turned: the new place takes effect at
    // once and WM_SIZE is posted, so that a program that does not answer holds nothing up.
    static void PlaceAfterDisplayChange(const Kernel::Lock& held, HWND window, const RECT& rect);

    // A class of the device itself, which windows of any process may be made of.
    static void RegisterSystemClass(const Kernel::Lock& held, const std::u16string& name,
                                    WNDPROC proc);
    static void Reset(const Kernel::Lock& held);
};

} // namespace cesim
