// GDI objects of the simulated device: device contexts, bitmaps, pens, brushes, fonts, stock
// objects, icons and system colours, each owned by the process that made it.
#include "gdi.h"
#include "gdi_model.h"

#include "icons.h"
#include "messages.h"
#include "windowing.h"

#include <cesim/device.h>

#include <algorithm>
#include <cstring>

namespace cesim {

namespace gdi {

namespace {

struct IconRecord {
    DWORD processId = 0;
    IconImage image;
};

struct State {
    std::map<uintptr_t, std::unique_ptr<GdiObject>> objects;
    std::map<uintptr_t, std::unique_ptr<IconRecord>> icons;
    std::map<int, HGDIOBJ> stock;
    uintptr_t nextHandle = 0x01000010;
    uintptr_t nextIcon = 0x02000010;
    Display display;
    COLORREF sysColors[COLOR_GRADIENTINACTIVECAPTION + 1] = {};
    Surface screenScratch;
};

State& S() {
    static State* state = new State;
    return *state;
}

const int kMonochromeStock = -1; // the stock table's key for the 1x1 monochrome bitmap

HGDIOBJ AddStock(const Lock&, int index, std::unique_ptr<GdiObject> object) {
    object->stock = true;
    HGDIOBJ h = reinterpret_cast<HGDIOBJ>(S().nextHandle);
    S().nextHandle += 4;
    S().objects[uintptr_t(h)] = std::move(object);
    S().stock[index] = h;
    return h;
}

std::unique_ptr<GdiObject> MakeObject(Kind kind, int style, COLORREF color) {
    std::unique_ptr<GdiObject> o(new GdiObject);
    o->kind = kind;
    o->style = style;
    o->color = color;
    o->width = 1;
    return o;
}

void CreateStockObjects(const Lock& held) {
    AddStock(held, WHITE_BRUSH, MakeObject(kBrush, BS_SOLID, RGB(255, 255, 255)));
    AddStock(held, LTGRAY_BRUSH, MakeObject(kBrush, BS_SOLID, RGB(192, 192, 192)));
    AddStock(held, GRAY_BRUSH, MakeObject(kBrush, BS_SOLID, RGB(128, 128, 128)));
    AddStock(held, DKGRAY_BRUSH, MakeObject(kBrush, BS_SOLID, RGB(64, 64, 64)));
    AddStock(held, BLACK_BRUSH, MakeObject(kBrush, BS_SOLID, RGB(0, 0, 0)));
    AddStock(held, NULL_BRUSH, MakeObject(kBrush, BS_NULL, 0));
    AddStock(held, WHITE_PEN, MakeObject(kPen, PS_SOLID, RGB(255, 255, 255)));
    AddStock(held, BLACK_PEN, MakeObject(kPen, PS_SOLID, RGB(0, 0, 0)));
    AddStock(held, NULL_PEN, MakeObject(kPen, PS_NULL, 0));
    std::unique_ptr<GdiObject> system = MakeObject(kFont, 0, 0);
    system->systemFont = true;
    AddStock(held, SYSTEM_FONT, std::move(system));
    // The 1x1 monochrome bitmap every new memory DC starts with.
    std::unique_ptr<GdiObject> mono = MakeObject(kBitmap, 0, 0);
    mono->surface = Surface(1, 1, 0);
    mono->monochrome = true;
    AddStock(held, kMonochromeStock, std::move(mono));
}

HGDIOBJ Stock(const Lock& held, int index) {
    if (S().stock.empty())
        CreateStockObjects(held);
    auto it = S().stock.find(index);
    return it == S().stock.end() ? nullptr : it->second;
}

HDC NewDC(const Lock& held, HWND window, bool memory) {
    std::unique_ptr<GdiObject> dc(new GdiObject);
    dc->kind = kDC;
    dc->window = window;
    dc->memory = memory;
    dc->state.pen = Stock(held, BLACK_PEN);
    dc->state.brush = Stock(held, WHITE_BRUSH);
    dc->state.font = Stock(held, SYSTEM_FONT);
    if (memory)
        dc->state.bitmap = Stock(held, kMonochromeStock);
    return reinterpret_cast<HDC>(Add(held, std::move(dc)));
}

bool Selects(const DcState& state, HGDIOBJ object) {
    return state.pen == object || state.brush == object || state.font == object ||
           state.bitmap == object;
}

// Whether a DC holds the object, now or in a state SaveDC kept (which RestoreDC would bring
// back, so the object must outlive it).
bool HeldByAnyDC(HGDIOBJ object) {
    for (auto& entry : S().objects) {
        const GdiObject& d = *entry.second;
        if (d.kind != kDC)
            continue;
        if (Selects(d.state, object))
            return true;
        for (const DcState& saved : d.saved)
            if (Selects(saved, object))
                return true;
    }
    return false;
}

void DefaultSysColors() {
    COLORREF* c = S().sysColors;
    c[COLOR_SCROLLBAR] = RGB(192, 192, 192);
    c[COLOR_BACKGROUND] = RGB(255, 255, 255);
    c[COLOR_ACTIVECAPTION] = RGB(0, 0, 128);
    c[COLOR_INACTIVECAPTION] = RGB(128, 128, 128);
    c[COLOR_MENU] = RGB(255, 255, 255);
    c[COLOR_WINDOW] = RGB(255, 255, 255);
    c[COLOR_WINDOWFRAME] = RGB(0, 0, 0);
    c[COLOR_MENUTEXT] = RGB(0, 0, 0);
    c[COLOR_WINDOWTEXT] = RGB(0, 0, 0);
    c[COLOR_CAPTIONTEXT] = RGB(255, 255, 255);
    c[COLOR_ACTIVEBORDER] = RGB(192, 192, 192);
    c[COLOR_INACTIVEBORDER] = RGB(192, 192, 192);
    c[COLOR_APPWORKSPACE] = RGB(128, 128, 128);
    c[COLOR_HIGHLIGHT] = RGB(0, 0, 128);
    c[COLOR_HIGHLIGHTTEXT] = RGB(255, 255, 255);
    c[COLOR_BTNFACE] = RGB(192, 192, 192);
    c[COLOR_BTNSHADOW] = RGB(128, 128, 128);
    c[COLOR_GRAYTEXT] = RGB(128, 128, 128);
    c[COLOR_BTNTEXT] = RGB(0, 0, 0);
    c[COLOR_INACTIVECAPTIONTEXT] = RGB(192, 192, 192);
    c[COLOR_BTNHIGHLIGHT] = RGB(255, 255, 255);
    c[COLOR_3DDKSHADOW] = RGB(0, 0, 0);
    c[COLOR_3DLIGHT] = RGB(224, 224, 224);
    c[COLOR_INFOTEXT] = RGB(0, 0, 0);
    c[COLOR_INFOBK] = RGB(255, 255, 225);
    c[COLOR_STATIC] = RGB(255, 255, 255);
    c[COLOR_STATICTEXT] = RGB(0, 0, 0);
    c[COLOR_GRADIENTACTIVECAPTION] = RGB(0, 0, 128);
    c[COLOR_GRADIENTINACTIVECAPTION] = RGB(128, 128, 128);
}

// A process's GDI objects and icons go when it ends; what was left is counted first, so a
// test can tell a leak from the device's clean-up.
bool RegisterProcessHook() {
    Kernel::OnProcessEnd([](const Lock&, Process& process) {
        size_t objects = 0;
        for (auto it = S().objects.begin(); it != S().objects.end();) {
            if (!it->second->stock && it->second->processId == process.id) {
                ++objects;
                it = S().objects.erase(it);
            } else {
                ++it;
            }
        }
        size_t icons = 0;
        for (auto it = S().icons.begin(); it != S().icons.end();) {
            if (it->second->processId == process.id) {
                ++icons;
                it = S().icons.erase(it);
            } else {
                ++it;
            }
        }
        process.leftGdiObjects = objects;
        process.leftIcons = icons;
    });
    return true;
}
bool g_hook = RegisterProcessHook();

// Copies what fits of an object description, as GetObjectW does.
template <class T> int CopyOut(const T& value, int size, LPVOID buffer) {
    if (!buffer)
        return int(sizeof(T));
    if (size <= 0)
        return 0;
    int n = std::min<int>(size, int(sizeof(T)));
    std::memcpy(buffer, &value, size_t(n));
    return n;
}

} // namespace

GdiObject* Find(const Lock&, HGDIOBJ h) {
    auto it = S().objects.find(uintptr_t(h));
    return it == S().objects.end() ? nullptr : it->second.get();
}

GdiObject* FindDC(const Lock& held, HDC dc) {
    return FindOf(held, dc, kDC);
}

GdiObject* FindOf(const Lock& held, HGDIOBJ handle, Kind kind) {
    GdiObject* o = Find(held, handle);
    return o && o->kind == kind ? o : nullptr;
}

HGDIOBJ Add(const Lock& held, std::unique_ptr<GdiObject> object) {
    object->processId = Kernel::Current(held).processId;
    HGDIOBJ h = reinterpret_cast<HGDIOBJ>(S().nextHandle);
    S().nextHandle += 4;
    S().objects[uintptr_t(h)] = std::move(object);
    return h;
}

void SetError(const Lock& held, DWORD error) {
    Kernel::Current(held).lastError = error;
}

const IconImage* FindIcon(const Lock&, HICON icon) {
    auto it = S().icons.find(uintptr_t(icon));
    return it == S().icons.end() ? nullptr : &it->second->image;
}

int DisplayDpiX(const Lock&) {
    return S().display.dpiX;
}

int DisplayDpiY(const Lock&) {
    return S().display.dpiY;
}

bool BrushColor(const Lock& held, HBRUSH brush, COLORREF* color) {
    // A brush may be given as a system colour index plus one, as class backgrounds and
    // FillRect allow.
    uintptr_t value = uintptr_t(brush);
    if (value > 0 && value <= COLOR_GRADIENTINACTIVECAPTION + 1) {
        *color = S().sysColors[value - 1];
        return true;
    }
    GdiObject* o = FindOf(held, brush, kBrush);
    if (!o || o->style == BS_NULL)
        return false;
    *color = o->color;
    return true;
}

Target TargetOf(const Lock& held, const GdiObject& dc) {
    Target target;
    if (dc.memory) {
        if (GdiObject* bitmap = Find(held, dc.state.bitmap)) {
            target.surface = &bitmap->surface;
            target.monochrome = bitmap->monochrome;
        }
    } else if (dc.window) {
        if (Window* w = WindowManager::Find(held, dc.window))
            target.surface = &w->surface;
    } else {
        // The screen DC: what it draws is not composed; windows show only their own surfaces.
        Surface& scratch = S().screenScratch;
        const Display& d = S().display;
        if (scratch.width != d.width || scratch.height != d.height)
            scratch = Surface(d.width, d.height, 0);
        target.surface = &scratch;
    }
    return target;
}

namespace {

bool NearerWhite(COLORREF c) {
    return GetRValue(c) + GetGValue(c) + GetBValue(c) > 382;
}

} // namespace

uint32_t PixelFor(const Target& target, const DcState& state, COLORREF color, bool foreground) {
    color &= 0xFFFFFF;
    if (!target.monochrome)
        return PixelFromColorref(color);
    const uint32_t white = 0xFFFFFF;
    if (!foreground || color == 0 || color == white)
        return NearerWhite(color) ? white : 0;
    bool bkWhite = NearerWhite(state.bkColor & 0xFFFFFF);
    bool white_ = color == (state.bkColor & 0xFFFFFF) ? bkWhite : !bkWhite;
    return white_ ? white : 0;
}

COLORREF ColorOfPixel(uint32_t pixel) {
    return ColorrefFromPixel(pixel & 0xFFFFFF);
}

LOGFONTW LogFontOf(const Lock& held, const GdiObject& font) {
    if (!font.systemFont)
        return font.font;
    LOGFONTW lf = {};
    lf.lfHeight = -((12 * DisplayDpiY(held) + 48) / 96);
    lf.lfWeight = FW_NORMAL;
    lf.lfCharSet = ANSI_CHARSET;
    lf.lfPitchAndFamily = VARIABLE_PITCH | FF_SWISS;
    const char16_t face[] = u"Tahoma";
    for (size_t i = 0; face[i]; ++i)
        lf.lfFaceName[i] = WCHAR(face[i]);
    return lf;
}

} // namespace gdi

using namespace gdi;

void SetDisplay(const Display& display) {
    Lock lock(Kernel::Mutex());
    S().display = display;
}

Display CurrentDisplay() {
    Lock lock(Kernel::Mutex());
    return S().display;
}

void SetDisplay(const Kernel::Lock&, const Display& display) {
    S().display = display;
}

Display CurrentDisplay(const Kernel::Lock&) {
    return S().display;
}

void SetSysColor(int index, COLORREF color) {
    Lock lock(Kernel::Mutex());
    index &= ~SYS_COLOR_INDEX_FLAG;
    if (index >= 0 && index <= COLOR_GRADIENTINACTIVECAPTION)
        S().sysColors[index] = color;
}

bool EraseWithClassBrush(Kernel::Lock& lock, HWND window, HDC dc) {
    Window* w = WindowManager::Find(lock, window);
    if (!w)
        return false;
    COLORREF color = 0;
    if (!BrushColor(lock, w->background, &color))
        return false;
    std::fill(w->surface.pixels.begin(), w->surface.pixels.end(), PixelFromColorref(color));
    return true;
}

void ResetGdi(const Kernel::Lock& held) {
    S().objects.clear();
    S().icons.clear();
    S().stock.clear();
    CreateStockObjects(held);
    DefaultSysColors();
    ResetTrace(held);
}

size_t LiveGdiObjects() {
    Lock lock(Kernel::Mutex());
    size_t n = 0;
    for (auto& entry : S().objects)
        n += entry.second->stock ? 0 : 1;
    return n;
}

size_t LiveGdiObjects(DWORD processId) {
    Lock lock(Kernel::Mutex());
    size_t n = 0;
    for (auto& entry : S().objects)
        n += !entry.second->stock && entry.second->processId == processId ? 1 : 0;
    return n;
}

size_t LiveIcons(DWORD processId) {
    Lock lock(Kernel::Mutex());
    size_t n = 0;
    for (auto& entry : S().icons)
        n += entry.second->processId == processId ? 1 : 0;
    return n;
}

HICON CreateIconObject(IconImage image) {
    Lock lock(Kernel::Mutex());
    std::unique_ptr<IconRecord> record(new IconRecord);
    record->processId = Kernel::Current(lock).processId;
    record->image = std::move(image);
    HICON h = reinterpret_cast<HICON>(S().nextIcon);
    S().nextIcon += 4;
    S().icons[uintptr_t(h)] = std::move(record);
    return h;
}

const IconImage* LookupIcon(HICON icon) {
    Lock lock(Kernel::Mutex());
    return FindIcon(lock, icon);
}

std::optional<IconInfo> InspectIcon(HICON icon) {
    Lock lock(Kernel::Mutex());
    const IconImage* image = FindIcon(lock, icon);
    if (!image)
        return std::nullopt;
    return IconInfo{image->color.width, image->color.height, image->resourceId};
}

} // namespace cesim

using namespace cesim;
using namespace cesim::gdi;

extern "C" {

HDC GetDC(HWND window) {
    Lock lock(Kernel::Mutex());
    HDC dc = nullptr;
    if (window && !WindowManager::Find(lock, window))
        SetError(lock, ERROR_INVALID_WINDOW_HANDLE);
    else
        dc = NewDC(lock, window, false);
    Record(lock, "GetDC", dc, {Arg(window)}, Arg(dc));
    return dc;
}

int ReleaseDC(HWND window, HDC dc) {
    Lock lock(Kernel::Mutex());
    GdiObject* o = FindDC(lock, dc);
    int released = 0;
    if (o && !o->memory && o->window == window) {
        S().objects.erase(uintptr_t(dc));
        released = 1;
    }
    Record(lock, "ReleaseDC", dc, {Arg(window)}, released);
    return released;
}

HDC BeginPaint(HWND window, LPPAINTSTRUCT paint) {
    Lock lock(Kernel::Mutex());
    Window* w = WindowManager::Find(lock, window);
    if (!w || !paint) {
        SetError(lock, ERROR_INVALID_WINDOW_HANDLE);
        Record(lock, "BeginPaint", nullptr, {Arg(window)}, 0);
        return nullptr;
    }
    HDC dc = NewDC(lock, window, false);
    memset(paint, 0, sizeof *paint);
    paint->hdc = dc;
    paint->rcPaint = {0, 0, w->surface.width, w->surface.height};
    bool erase = w->erasePending;
    w->needsPaint = false;
    w->erasePending = false;
    // Recorded before the erase, so what WM_ERASEBKGND draws follows it in the trace.
    Record(lock, "BeginPaint", dc, {Arg(window)}, Arg(dc));
    if (erase) {
        LRESULT erased = SendLocked(lock, window, WM_ERASEBKGND, WPARAM(dc), 0);
        paint->fErase = erased ? FALSE : TRUE;
    }
    return dc;
}

BOOL EndPaint(HWND window, const PAINTSTRUCT* paint) {
    Lock lock(Kernel::Mutex());
    HDC dc = paint ? paint->hdc : nullptr;
    BOOL ended = FALSE;
    if (paint && FindDC(lock, dc)) {
        S().objects.erase(uintptr_t(dc));
        ended = TRUE;
    }
    Record(lock, "EndPaint", dc, {Arg(window)}, ended);
    return ended;
}

int GetDeviceCaps(HDC dc, int index) {
    Lock lock(Kernel::Mutex());
    GdiObject* o = FindDC(lock, dc);
    int value = 0;
    if (o) {
        const Display& d = S().display;
        switch (index) {
        case LOGPIXELSX:
            value = d.dpiX;
            break;
        case LOGPIXELSY:
            value = d.dpiY;
            break;
        case HORZRES:
            value = d.width;
            break;
        case VERTRES:
            value = d.height;
            break;
        case BITSPIXEL: {
            GdiObject* bitmap = o->memory ? Find(lock, o->state.bitmap) : nullptr;
            value = bitmap && bitmap->monochrome ? 1 : 16;
            break;
        }
        case PLANES:
            value = 1;
            break;
        }
    }
    Record(lock, "GetDeviceCaps", dc, {index}, value);
    return value;
}

HDC CreateCompatibleDC(HDC dc) {
    Lock lock(Kernel::Mutex());
    HDC made = nullptr;
    if (dc && !FindDC(lock, dc))
        SetError(lock, ERROR_INVALID_HANDLE);
    else
        made = NewDC(lock, nullptr, true);
    Record(lock, "CreateCompatibleDC", dc, {}, Arg(made));
    return made;
}

BOOL DeleteDC(HDC dc) {
    Lock lock(Kernel::Mutex());
    GdiObject* o = FindDC(lock, dc);
    BOOL deleted = FALSE;
    if (o) {
        // Deleting the DC deselects everything in it, saved states included.
        if (GdiObject* bitmap = Find(lock, o->state.bitmap))
            bitmap->selectedInto = nullptr;
        S().objects.erase(uintptr_t(dc));
        deleted = TRUE;
    }
    Record(lock, "DeleteDC", dc, {}, deleted);
    return deleted;
}

HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height) {
    Lock lock(Kernel::Mutex());
    GdiObject* o = FindDC(lock, dc);
    HBITMAP made = nullptr;
    if (!o) {
        SetError(lock, ERROR_INVALID_HANDLE);
    } else {
        std::unique_ptr<GdiObject> bitmap(new GdiObject);
        bitmap->kind = kBitmap;
        // As on Windows: an empty size gives a 1x1 monochrome bitmap, and so does a memory DC
        // that still holds its initial monochrome bitmap.
        GdiObject* current = o->memory ? Find(lock, o->state.bitmap) : nullptr;
        bitmap->monochrome = width <= 0 || height <= 0 || (current && current->monochrome);
        int w = width, h = height;
        if (w <= 0 || h <= 0)
            w = h = 1;
        bitmap->surface = Surface(w, h, 0);
        made = reinterpret_cast<HBITMAP>(Add(lock, std::move(bitmap)));
    }
    Record(lock, "CreateCompatibleBitmap", dc, {width, height}, Arg(made));
    return made;
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) {
    Lock lock(Kernel::Mutex());
    GdiObject* d = FindDC(lock, dc);
    GdiObject* o = Find(lock, object);
    HGDIOBJ previous = nullptr;
    if (!d || !o || o->kind == kDC) {
        SetError(lock, ERROR_INVALID_HANDLE);
    } else {
        DcState& s = d->state;
        switch (o->kind) {
        case kPen:
            previous = s.pen;
            s.pen = object;
            break;
        case kBrush:
            previous = s.brush;
            s.brush = object;
            break;
        case kFont:
            previous = s.font;
            s.font = object;
            break;
        case kBitmap:
            // A bitmap lives in at most one memory DC at a time.
            if (!d->memory || (o->selectedInto && o->selectedInto != dc && !o->stock))
                break;
            previous = s.bitmap;
            if (GdiObject* old = Find(lock, previous))
                old->selectedInto = nullptr;
            s.bitmap = object;
            if (!o->stock)
                o->selectedInto = dc;
            break;
        case kDC:
            break;
        }
    }
    Record(lock, "SelectObject", dc, {Arg(object)}, Arg(previous));
    return previous;
}

BOOL DeleteObject(HGDIOBJ object) {
    Lock lock(Kernel::Mutex());
    GdiObject* o = Find(lock, object);
    BOOL deleted = FALSE;
    if (o && o->kind != kDC) {
        if (o->stock) {
            deleted = TRUE;
        } else if (!HeldByAnyDC(object)) {
            // An object still selected into a DC is refused, as the Windows documentation
            // says.
            S().objects.erase(uintptr_t(object));
            deleted = TRUE;
        }
    }
    Record(lock, "DeleteObject", nullptr, {Arg(object)}, deleted);
    return deleted;
}

HGDIOBJ GetStockObject(int index) {
    Lock lock(Kernel::Mutex());
    HGDIOBJ h = index < 0 ? nullptr : Stock(lock, index);
    Record(lock, "GetStockObject", nullptr, {index}, Arg(h));
    return h;
}

DWORD GetSysColor(int index) {
    Lock lock(Kernel::Mutex());
    index &= ~SYS_COLOR_INDEX_FLAG;
    if (index < 0 || index > COLOR_GRADIENTINACTIVECAPTION)
        return 0;
    return S().sysColors[index];
}

BOOL DestroyIcon(HICON icon) {
    Lock lock(Kernel::Mutex());
    auto it = S().icons.find(uintptr_t(icon));
    if (it == S().icons.end()) {
        SetError(lock, ERROR_INVALID_HANDLE);
        return FALSE;
    }
    S().icons.erase(it);
    return TRUE;
}

HPEN CreatePen(int style, int width, COLORREF color) {
    Lock lock(Kernel::Mutex());
    std::unique_ptr<GdiObject> pen = MakeObject(kPen, style, color);
    pen->width = width;
    HPEN made = reinterpret_cast<HPEN>(Add(lock, std::move(pen)));
    Record(lock, "CreatePen", nullptr, {style, width, int64_t(color)}, Arg(made));
    return made;
}

HPEN CreatePenIndirect(const LOGPEN* logpen) {
    Lock lock(Kernel::Mutex());
    HPEN made = nullptr;
    if (!logpen) {
        SetError(lock, ERROR_INVALID_PARAMETER);
        Record(lock, "CreatePenIndirect", nullptr, {}, 0);
        return nullptr;
    }
    std::unique_ptr<GdiObject> pen = MakeObject(kPen, int(logpen->lopnStyle), logpen->lopnColor);
    pen->width = logpen->lopnWidth.x;
    made = reinterpret_cast<HPEN>(Add(lock, std::move(pen)));
    Record(lock, "CreatePenIndirect", nullptr,
           {int64_t(logpen->lopnStyle), logpen->lopnWidth.x, int64_t(logpen->lopnColor)},
           Arg(made));
    return made;
}

HBRUSH CreateSolidBrush(COLORREF color) {
    Lock lock(Kernel::Mutex());
    HBRUSH made = reinterpret_cast<HBRUSH>(Add(lock, MakeObject(kBrush, BS_SOLID, color)));
    Record(lock, "CreateSolidBrush", nullptr, {int64_t(color)}, Arg(made));
    return made;
}

HFONT CreateFontIndirectW(const LOGFONTW* logfont) {
    Lock lock(Kernel::Mutex());
    if (!logfont) {
        SetError(lock, ERROR_INVALID_PARAMETER);
        Record(lock, "CreateFontIndirectW", nullptr, {}, 0);
        return nullptr;
    }
    std::unique_ptr<GdiObject> font = MakeObject(kFont, 0, 0);
    font->font = *logfont;
    font->font.lfFaceName[LF_FACESIZE - 1] = 0;
    HFONT made = reinterpret_cast<HFONT>(Add(lock, std::move(font)));
    Record(lock, "CreateFontIndirectW", nullptr, {logfont->lfHeight, logfont->lfWeight}, Arg(made),
           TraceText(logfont->lfFaceName, -1));
    return made;
}

int GetObjectW(HGDIOBJ object, int size, LPVOID buffer) {
    Lock lock(Kernel::Mutex());
    GdiObject* o = Find(lock, object);
    int n = 0;
    if (!o) {
        SetError(lock, ERROR_INVALID_HANDLE);
    } else {
        switch (o->kind) {
        case kPen: {
            LOGPEN pen = {};
            pen.lopnStyle = UINT(o->style);
            pen.lopnWidth.x = o->width;
            pen.lopnColor = o->color;
            n = CopyOut(pen, size, buffer);
            break;
        }
        case kBrush: {
            LOGBRUSH brush = {};
            brush.lbStyle = UINT(o->style);
            brush.lbColor = o->color;
            n = CopyOut(brush, size, buffer);
            break;
        }
        case kBitmap: {
            BITMAP bitmap = {};
            bitmap.bmWidth = o->surface.width;
            bitmap.bmHeight = o->surface.height;
            bitmap.bmPlanes = 1;
            bitmap.bmBitsPixel = o->monochrome ? 1 : 16;
            // Rows of device bitmaps are padded to whole 16-bit words.
            bitmap.bmWidthBytes = (o->surface.width * bitmap.bmBitsPixel + 15) / 16 * 2;
            n = CopyOut(bitmap, size, buffer);
            break;
        }
        case kFont:
            n = CopyOut(LogFontOf(lock, *o), size, buffer);
            break;
        case kDC:
            break;
        }
    }
    Record(lock, "GetObjectW", nullptr, {Arg(object), size}, n);
    return n;
}

HGDIOBJ GetCurrentObject(HDC dc, UINT type) {
    Lock lock(Kernel::Mutex());
    GdiObject* d = FindDC(lock, dc);
    HGDIOBJ current = nullptr;
    if (d) {
        switch (type) {
        case OBJ_PEN:
            current = d->state.pen;
            break;
        case OBJ_BRUSH:
            current = d->state.brush;
            break;
        case OBJ_FONT:
            current = d->state.font;
            break;
        case OBJ_BITMAP:
            current = d->state.bitmap;
            break;
        }
    }
    Record(lock, "GetCurrentObject", dc, {int64_t(type)}, Arg(current));
    return current;
}

int SaveDC(HDC dc) {
    Lock lock(Kernel::Mutex());
    GdiObject* d = FindDC(lock, dc);
    int level = 0;
    if (d) {
        d->saved.push_back(d->state);
        level = int(d->saved.size());
    }
    Record(lock, "SaveDC", dc, {}, level);
    return level;
}

BOOL RestoreDC(HDC dc, int savedDC) {
    Lock lock(Kernel::Mutex());
    GdiObject* d = FindDC(lock, dc);
    BOOL restored = FALSE;
    if (d) {
        // A positive level names what SaveDC returned; a negative one counts back from the
        // latest save. Either way the states saved after it are dropped with it.
        int count = int(d->saved.size());
        int index = savedDC > 0 ? savedDC - 1 : count + savedDC;
        if (savedDC != 0 && index >= 0 && index < count) {
            DcState state = d->saved[size_t(index)];
            d->saved.resize(size_t(index));
            if (state.bitmap != d->state.bitmap) {
                if (GdiObject* old = Find(lock, d->state.bitmap))
                    old->selectedInto = nullptr;
                if (GdiObject* back = Find(lock, state.bitmap))
                    if (!back->stock)
                        back->selectedInto = dc;
            }
            d->state = state;
            restored = TRUE;
        }
    }
    Record(lock, "RestoreDC", dc, {savedDC}, restored);
    return restored;
}

COLORREF SetTextColor(HDC dc, COLORREF color) {
    Lock lock(Kernel::Mutex());
    GdiObject* d = FindDC(lock, dc);
    COLORREF previous = CLR_INVALID;
    if (d) {
        previous = d->state.textColor;
        d->state.textColor = color;
    }
    Record(lock, "SetTextColor", dc, {int64_t(color)}, int64_t(previous));
    return previous;
}

COLORREF GetTextColor(HDC dc) {
    Lock lock(Kernel::Mutex());
    GdiObject* d = FindDC(lock, dc);
    COLORREF color = d ? d->state.textColor : CLR_INVALID;
    Record(lock, "GetTextColor", dc, {}, int64_t(color));
    return color;
}

COLORREF SetBkColor(HDC dc, COLORREF color) {
    Lock lock(Kernel::Mutex());
    GdiObject* d = FindDC(lock, dc);
    COLORREF previous = CLR_INVALID;
    if (d) {
        previous = d->state.bkColor;
        d->state.bkColor = color;
    }
    Record(lock, "SetBkColor", dc, {int64_t(color)}, int64_t(previous));
    return previous;
}

COLORREF GetBkColor(HDC dc) {
    Lock lock(Kernel::Mutex());
    GdiObject* d = FindDC(lock, dc);
    COLORREF color = d ? d->state.bkColor : CLR_INVALID;
    Record(lock, "GetBkColor", dc, {}, int64_t(color));
    return color;
}

int SetBkMode(HDC dc, int mode) {
    Lock lock(Kernel::Mutex());
    GdiObject* d = FindDC(lock, dc);
    int previous = 0;
    if (d && (mode == TRANSPARENT || mode == OPAQUE)) {
        previous = d->state.bkMode;
        d->state.bkMode = mode;
    } else {
        SetError(lock, d ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
    }
    Record(lock, "SetBkMode", dc, {mode}, previous);
    return previous;
}

int GetBkMode(HDC dc) {
    Lock lock(Kernel::Mutex());
    GdiObject* d = FindDC(lock, dc);
    int mode = d ? d->state.bkMode : 0;
    Record(lock, "GetBkMode", dc, {}, mode);
    return mode;
}

} // extern "C"
