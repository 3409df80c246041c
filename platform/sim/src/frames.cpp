// Window frames as Windows draws them: a thin line for WS_BORDER, and for WS_DLGFRAME or
// WS_EX_DLGMODALFRAME a raised edge with a band of the face colour inside it. The frame lies
// inside the window rectangle, so the client area is smaller than the window by its thickness
// on every side. A window with a whole caption (WS_CAPTION) keeps its full rectangle: the
// Pocket PC shell shows its title in the navigation bar, and this device draws no captions.
#include "frames.h"

#include "gdi_model.h"

namespace cesim {

namespace {

// System metrics at 96 DPI; a finer screen scales them as it scales everything else.
const int kBorderAt96Dpi = 1;
const int kDialogFrameAt96Dpi = 3;

int Scaled(const Kernel::Lock& held, int n) {
    return (n * gdi::DisplayDpi(held) + 48) / 96;
}

bool HasCaption(DWORD style) {
    return (style & WS_CAPTION) == WS_CAPTION;
}

bool HasDialogFrame(DWORD style, DWORD exStyle) {
    return !HasCaption(style) && ((exStyle & WS_EX_DLGMODALFRAME) || (style & WS_DLGFRAME));
}

bool HasThinFrame(DWORD style) {
    return !HasCaption(style) && (style & WS_BORDER);
}

uint32_t SysPixel(const Kernel::Lock& held, int index) {
    COLORREF color = 0;
    gdi::BrushColor(held, reinterpret_cast<HBRUSH>(uintptr_t(index + 1)), &color);
    return PixelFromColorref(color);
}

// One ring of the frame, `width` pixels thick, `inset` pixels inside the window's edge:
// `light` on its top and left sides, `dark` on its bottom and right ones, which own the two
// corners where the sides meet.
void Ring(Surface& screen, int left, int top, int width, int height, int inset, int thickness,
          uint32_t light, uint32_t dark) {
    for (int k = inset; k < inset + thickness; ++k) {
        int x0 = left + k, y0 = top + k;
        int x1 = left + width - 1 - k, y1 = top + height - 1 - k;
        if (x1 < x0 || y1 < y0)
            return;
        for (int x = x0; x <= x1; ++x) {
            screen.set(x, y0, x == x1 ? dark : light);
            screen.set(x, y1, dark);
        }
        for (int y = y0; y <= y1; ++y) {
            screen.set(x0, y, y == y1 ? dark : light);
            screen.set(x1, y, dark);
        }
    }
}

} // namespace

int FrameThickness(const Kernel::Lock& held, DWORD style, DWORD exStyle) {
    if (HasDialogFrame(style, exStyle))
        return Scaled(held, kDialogFrameAt96Dpi);
    if (HasThinFrame(style))
        return Scaled(held, kBorderAt96Dpi);
    return 0;
}

int FrameThickness(const Kernel::Lock& held, const Window& window) {
    return FrameThickness(held, window.style, window.exStyle);
}

RECT ClientRectInWindow(const Kernel::Lock& held, const Window& window) {
    int frame = FrameThickness(held, window);
    int width = std::max<LONG>(0, window.rect.right - window.rect.left - 2 * frame);
    int height = std::max<LONG>(0, window.rect.bottom - window.rect.top - 2 * frame);
    return RECT{frame, frame, frame + width, frame + height};
}

POINT ClientOrigin(const Kernel::Lock& held, const Window& window) {
    RECT screen = WindowManager::ScreenRect(held, window);
    int frame = FrameThickness(held, window);
    return POINT{screen.left + frame, screen.top + frame};
}

void ComposeFrame(const Kernel::Lock& held, const Window& window, int left, int top,
                  Surface& screen) {
    int width = window.rect.right - window.rect.left;
    int height = window.rect.bottom - window.rect.top;
    if (HasDialogFrame(window.style, window.exStyle)) {
        int band = Scaled(held, kBorderAt96Dpi);
        Ring(screen, left, top, width, height, 0, band, SysPixel(held, COLOR_3DLIGHT),
             SysPixel(held, COLOR_3DDKSHADOW));
        Ring(screen, left, top, width, height, band, band, SysPixel(held, COLOR_BTNHIGHLIGHT),
             SysPixel(held, COLOR_BTNSHADOW));
        uint32_t face = SysPixel(held, COLOR_BTNFACE);
        int rest = FrameThickness(held, window) - 2 * band;
        Ring(screen, left, top, width, height, 2 * band, rest, face, face);
    } else if (HasThinFrame(window.style)) {
        uint32_t line = SysPixel(held, COLOR_WINDOWFRAME);
        Ring(screen, left, top, width, height, 0, FrameThickness(held, window), line, line);
    }
}

} // namespace cesim

using namespace cesim;

extern "C" BOOL AdjustWindowRectEx(LPRECT rect, DWORD style, BOOL menu, DWORD exStyle) {
    if (!rect)
        return FALSE;
    Kernel::Lock lock(Kernel::Mutex());
    InflateRect(rect, FrameThickness(lock, style, exStyle), FrameThickness(lock, style, exStyle));
    return TRUE;
}
