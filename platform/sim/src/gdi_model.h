// The GDI object table as the device's object, drawing, text and trace modules share it.
#pragma once

#include "icons.h"
#include "kernel.h"

#include <cesim/surface.h>

#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

namespace cesim {
namespace gdi {

typedef Kernel::Lock Lock;

enum Kind { kPen, kBrush, kBitmap, kFont, kDC };

// What a DC draws with; SaveDC keeps a copy and RestoreDC brings it back.
struct DcState {
    HGDIOBJ pen = nullptr;
    HGDIOBJ brush = nullptr;
    HGDIOBJ font = nullptr;
    HGDIOBJ bitmap = nullptr; // memory DCs only
    COLORREF textColor = RGB(0, 0, 0);
    COLORREF bkColor = RGB(255, 255, 255);
    int bkMode = OPAQUE;
    POINT position = {0, 0};
};

struct GdiObject {
    Kind kind = kPen;
    DWORD processId = 0;
    bool stock = false;
    // pens and brushes
    int style = 0;
    int width = 0;
    COLORREF color = 0;
    // bitmaps
    Surface surface;
    bool monochrome = false;
    HDC selectedInto = nullptr;
    // fonts; the stock system font follows the display's DPI instead of `font`
    LOGFONTW font = {};
    bool systemFont = false;
    // device contexts
    HWND window = nullptr;
    bool memory = false;
    DcState state;
    std::vector<DcState> saved;
};

GdiObject* Find(const Lock& held, HGDIOBJ handle);
GdiObject* FindDC(const Lock& held, HDC dc);
GdiObject* FindOf(const Lock& held, HGDIOBJ handle, Kind kind);
// Registers the object as a live object of the calling process.
HGDIOBJ Add(const Lock& held, std::unique_ptr<GdiObject> object);
void SetError(const Lock& held, DWORD error);
const IconImage* FindIcon(const Lock& held, HICON icon);
// The screen's logical DPI across and down.
int DisplayDpiX(const Lock& held);
int DisplayDpiY(const Lock& held);

// The colour a brush paints, for a brush handle or a system colour index plus one; false for
// the null brush and for anything that is not a brush.
bool BrushColor(const Lock& held, HBRUSH brush, COLORREF* color);

// Where a DC's drawing lands: a window's surface, a memory DC's bitmap, or the screen DC's
// scratch surface. Null for a DC whose window has gone.
struct Target {
    Surface* surface = nullptr;
    bool monochrome = false;
};
Target TargetOf(const Lock& held, const GdiObject& dc);

// The pixel a colour becomes on the target. Pens, brushes and text pass `foreground`: on a
// monochrome target a colour that is neither black nor white then takes the opposite of the
// background colour's pixel, as Windows does, so it stays visible.
uint32_t PixelFor(const Target& target, const DcState& state, COLORREF color, bool foreground);
// A pixel read back as a COLORREF; pixels nothing has drawn read as black.
COLORREF ColorOfPixel(uint32_t pixel);
// Fills the part of [left, right) x [top, bottom) that lies on the surface.
void FillPixels(Surface& surface, RECT rect, uint32_t pixel);

// Paints an icon's picture at (x, y), stretched to width x height (0: its own size), with the
// DI_ flags of DrawIconEx; false when the DC has nowhere to draw.
bool PaintIcon(const Lock& held, HDC dc, int x, int y, const IconImage& image, int width,
               int height, UINT flags);

// The font a LOGFONTW describes as drawn: the stock system font resolved against the DPI.
LOGFONTW LogFontOf(const Lock& held, const GdiObject& font);

// The trace of calls (gdi_trace.cpp). What a call was given is only pointed at, and copied
// into the trace while one is being recorded, so that an untraced call allocates nothing.
struct TraceText {
    TraceText() = default;
    // count < 0: up to the terminating zero.
    TraceText(LPCWSTR text, int count) : text(text), count(count) {}
    TraceText(const std::u16string& s)
        : text(reinterpret_cast<LPCWSTR>(s.data())), count(int(s.size())) {}
    LPCWSTR text = nullptr;
    int count = 0;
};
void RecordCall(const Lock& held, const char* name, HDC dc, const int64_t* args, size_t count,
                int64_t result, TraceText text = TraceText());
inline void Record(const Lock& held, const char* name, HDC dc, std::initializer_list<int64_t> args,
                   int64_t result, TraceText text = TraceText()) {
    RecordCall(held, name, dc, args.begin(), args.size(), result, text);
}
inline void Record(const Lock& held, const char* name, HDC dc, const std::vector<int64_t>& args,
                   int64_t result, TraceText text = TraceText()) {
    RecordCall(held, name, dc, args.data(), args.size(), result, text);
}
inline int64_t Arg(const void* handle) {
    return static_cast<int64_t>(reinterpret_cast<intptr_t>(handle));
}
std::u16string TextArg(LPCWSTR text, int count);
void ResetTrace(const Lock& held);

} // namespace gdi
} // namespace cesim
