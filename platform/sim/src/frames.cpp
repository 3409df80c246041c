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

SIZE Scaled(const Kernel::Lock& held, int n) {
    return SIZE{(n * gdi::DisplayDpiX(held) + 48) / 96, (n * gdi::DisplayDpiY(held) + 48) / 96};
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

// The colour of a frame pixel (x, y) of a window width x height: rings `band` thick from the
// outside in, each light on its top and left sides and dark on its bottom and right ones,
// which own the corners where the sides meet.
uint32_t FramePixel(const uint32_t (&rings)[3][2], int x, int y, int width, int height, SIZE band) {
    bool right = x >= width - 1 - x, bottom = y >= height - 1 - y;
    int across = (right ? width - 1 - x : x) / band.cx;
    int down = (bottom ? height - 1 - y : y) / band.cy;
    int ring = std::min(std::min(across, down), 2);
    bool dark = across < down ? right : down < across ? bottom : right || bottom;
    return rings[ring][dark ? 1 : 0];
}

} // namespace

SIZE FrameThickness(const Kernel::Lock& held, DWORD style, DWORD exStyle) {
    if (HasDialogFrame(style, exStyle))
        return Scaled(held, kDialogFrameAt96Dpi);
    if (HasThinFrame(style))
        return Scaled(held, kBorderAt96Dpi);
    return SIZE{0, 0};
}

SIZE FrameThickness(const Kernel::Lock& held, const Window& window) {
    return FrameThickness(held, window.style, window.exStyle);
}

RECT ClientRectInWindow(const Kernel::Lock& held, const Window& window) {
    SIZE frame = FrameThickness(held, window);
    int width = std::max<LONG>(0, window.rect.right - window.rect.left - 2 * frame.cx);
    int height = std::max<LONG>(0, window.rect.bottom - window.rect.top - 2 * frame.cy);
    return RECT{frame.cx, frame.cy, frame.cx + width, frame.cy + height};
}

POINT ClientOrigin(const Kernel::Lock& held, const Window& window) {
    RECT screen = WindowManager::ScreenRect(held, window);
    SIZE frame = FrameThickness(held, window);
    return POINT{screen.left + frame.cx, screen.top + frame.cy};
}

void ComposeFrame(const Kernel::Lock& held, const Window& window, int left, int top,
                  Surface& screen) {
    SIZE frame = FrameThickness(held, window);
    if (frame.cx <= 0 || frame.cy <= 0)
        return;
    uint32_t rings[3][2];
    SIZE band = frame;
    if (HasDialogFrame(window.style, window.exStyle)) {
        band = Scaled(held, kBorderAt96Dpi);
        uint32_t face = SysPixel(held, COLOR_BTNFACE);
        uint32_t raised[3][2] = {
            {SysPixel(held, COLOR_3DLIGHT), SysPixel(held, COLOR_3DDKSHADOW)},
            {SysPixel(held, COLOR_BTNHIGHLIGHT), SysPixel(held, COLOR_BTNSHADOW)},
            {face, face}};
        std::copy(&raised[0][0], &raised[0][0] + 6, &rings[0][0]);
    } else {
        std::fill(&rings[0][0], &rings[0][0] + 6, SysPixel(held, COLOR_WINDOWFRAME));
    }
    int width = window.rect.right - window.rect.left;
    int height = window.rect.bottom - window.rect.top;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            bool inside =
                x >= frame.cx && x < width - frame.cx && y >= frame.cy && y < height - frame.cy;
            if (!inside)
                screen.set(left + x, top + y, FramePixel(rings, x, y, width, height, band));
        }
}

} // namespace cesim

using namespace cesim;

extern "C" BOOL AdjustWindowRectEx(LPRECT rect, DWORD style, BOOL menu, DWORD exStyle) {
    if (!rect)
        return FALSE;
    Kernel::Lock lock(Kernel::Mutex());
    SIZE frame = FrameThickness(lock, style, exStyle);
    InflateRect(rect, frame.cx, frame.cy);
    return TRUE;
}
