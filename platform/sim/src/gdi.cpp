// GDI objects of the simulated device: device contexts, bitmaps, pens, brushes, fonts, stock
// objects, icons and system colours, each owned by the process that made it.
#include "gdi.h"

#include "icons.h"
#include "messages.h"
#include "windowing.h"

#include <cesim/device.h>

#include <algorithm>

namespace cesim {

namespace {

typedef Kernel::Lock Lock;

enum Kind { kPen, kBrush, kBitmap, kFont, kDC };

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
    // device contexts
    HWND window = nullptr;
    bool memory = false;
    HGDIOBJ bitmap = nullptr;
    HGDIOBJ pen = nullptr;
    HGDIOBJ brush = nullptr;
    HGDIOBJ font = nullptr;
};

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

GdiObject* Find(const Lock&, HGDIOBJ h) {
    auto it = S().objects.find(uintptr_t(h));
    return it == S().objects.end() ? nullptr : it->second.get();
}

GdiObject* FindDC(const Lock& held, HDC dc) {
    GdiObject* o = Find(held, dc);
    return o && o->kind == kDC ? o : nullptr;
}

HGDIOBJ Add(const Lock& held, std::unique_ptr<GdiObject> object) {
    object->processId = Kernel::Current(held).processId;
    HGDIOBJ h = reinterpret_cast<HGDIOBJ>(S().nextHandle);
    S().nextHandle += 4;
    S().objects[uintptr_t(h)] = std::move(object);
    return h;
}

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
    const int kSolid = 0, kNull = 1;   // BS_SOLID, BS_NULL (PS_SOLID 0, PS_NULL 5)
    AddStock(held, WHITE_BRUSH, MakeObject(kBrush, kSolid, RGB(255, 255, 255)));
    AddStock(held, LTGRAY_BRUSH, MakeObject(kBrush, kSolid, RGB(192, 192, 192)));
    AddStock(held, GRAY_BRUSH, MakeObject(kBrush, kSolid, RGB(128, 128, 128)));
    AddStock(held, DKGRAY_BRUSH, MakeObject(kBrush, kSolid, RGB(64, 64, 64)));
    AddStock(held, BLACK_BRUSH, MakeObject(kBrush, kSolid, RGB(0, 0, 0)));
    AddStock(held, NULL_BRUSH, MakeObject(kBrush, kNull, 0));
    AddStock(held, WHITE_PEN, MakeObject(kPen, 0, RGB(255, 255, 255)));
    AddStock(held, BLACK_PEN, MakeObject(kPen, 0, RGB(0, 0, 0)));
    AddStock(held, NULL_PEN, MakeObject(kPen, 5, 0));
    AddStock(held, SYSTEM_FONT, MakeObject(kFont, 0, 0));
    // The 1x1 monochrome bitmap every new memory DC starts with.
    std::unique_ptr<GdiObject> mono = MakeObject(kBitmap, 0, 0);
    mono->surface = Surface(1, 1, 0);
    mono->monochrome = true;
    AddStock(held, -1, std::move(mono));
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
    dc->pen = Stock(held, BLACK_PEN);
    dc->brush = Stock(held, WHITE_BRUSH);
    dc->font = Stock(held, SYSTEM_FONT);
    if (memory) {
        dc->bitmap = Stock(held, -1);
    }
    return reinterpret_cast<HDC>(Add(held, std::move(dc)));
}

void SetError(const Lock& held, DWORD error) { Kernel::Current(held).lastError = error; }

COLORREF BrushColor(const Lock& held, HBRUSH brush, bool* paints) {
    // A class background may be given as a system colour index plus one.
    uintptr_t value = uintptr_t(brush);
    if (value > 0 && value <= COLOR_GRADIENTINACTIVECAPTION + 1) {
        *paints = true;
        return S().sysColors[value - 1];
    }
    GdiObject* o = Find(held, brush);
    *paints = o && o->kind == kBrush && o->style != 1;
    return o ? o->color : 0;
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

} // namespace

void SetDisplay(const Display& display) {
    Lock lock(Kernel::Mutex());
    S().display = display;
}

Display CurrentDisplay() {
    Lock lock(Kernel::Mutex());
    return S().display;
}

void ResetSysColors() {
    Lock lock(Kernel::Mutex());
    DefaultSysColors();
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
    bool paints = false;
    COLORREF color = BrushColor(lock, w->background, &paints);
    if (!paints)
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
    auto it = S().icons.find(uintptr_t(icon));
    return it == S().icons.end() ? nullptr : &it->second->image;
}

size_t LiveIconCount() {
    Lock lock(Kernel::Mutex());
    return S().icons.size();
}

} // namespace cesim

using namespace cesim;

extern "C" {

HDC GetDC(HWND window) {
    Lock lock(Kernel::Mutex());
    if (window && !WindowManager::Find(lock, window)) {
        SetError(lock, ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    return NewDC(lock, window, false);
}

int ReleaseDC(HWND window, HDC dc) {
    Lock lock(Kernel::Mutex());
    GdiObject* o = FindDC(lock, dc);
    if (!o || o->memory || o->window != window)
        return 0;
    S().objects.erase(uintptr_t(dc));
    return 1;
}

HDC BeginPaint(HWND window, LPPAINTSTRUCT paint) {
    Lock lock(Kernel::Mutex());
    Window* w = WindowManager::Find(lock, window);
    if (!w || !paint) {
        SetError(lock, ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    HDC dc = NewDC(lock, window, false);
    memset(paint, 0, sizeof *paint);
    paint->hdc = dc;
    paint->rcPaint = {0, 0, w->rect.right - w->rect.left, w->rect.bottom - w->rect.top};
    bool erase = w->erasePending;
    w->needsPaint = false;
    w->erasePending = false;
    if (erase) {
        LRESULT erased = SendLocked(lock, window, WM_ERASEBKGND, WPARAM(dc), 0);
        paint->fErase = erased ? FALSE : TRUE;
    }
    return dc;
}

BOOL EndPaint(HWND window, const PAINTSTRUCT* paint) {
    Lock lock(Kernel::Mutex());
    if (!paint || !FindDC(lock, paint->hdc))
        return FALSE;
    S().objects.erase(uintptr_t(paint->hdc));
    return TRUE;
}

int GetDeviceCaps(HDC dc, int index) {
    Lock lock(Kernel::Mutex());
    GdiObject* o = FindDC(lock, dc);
    if (!o)
        return 0;
    const Display& d = S().display;
    switch (index) {
    case LOGPIXELSX:
    case LOGPIXELSY:
        return d.dpi;
    case HORZRES:
        return d.width;
    case VERTRES:
        return d.height;
    case BITSPIXEL: {
        GdiObject* bitmap = o->memory ? Find(lock, o->bitmap) : nullptr;
        return bitmap && bitmap->monochrome ? 1 : 16;
    }
    case PLANES:
        return 1;
    }
    return 0;
}

HDC CreateCompatibleDC(HDC dc) {
    Lock lock(Kernel::Mutex());
    if (dc && !FindDC(lock, dc)) {
        SetError(lock, ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return NewDC(lock, nullptr, true);
}

BOOL DeleteDC(HDC dc) {
    Lock lock(Kernel::Mutex());
    GdiObject* o = FindDC(lock, dc);
    if (!o)
        return FALSE;
    if (GdiObject* bitmap = Find(lock, o->bitmap))
        bitmap->selectedInto = nullptr;
    S().objects.erase(uintptr_t(dc));
    return TRUE;
}

HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height) {
    Lock lock(Kernel::Mutex());
    GdiObject* o = FindDC(lock, dc);
    if (!o) {
        SetError(lock, ERROR_INVALID_HANDLE);
        return nullptr;
    }
    std::unique_ptr<GdiObject> bitmap(new GdiObject);
    bitmap->kind = kBitmap;
    // As on Windows: an empty size gives a 1x1 monochrome bitmap, and so does a memory DC
    // that still holds its initial monochrome bitmap.
    GdiObject* current = o->memory ? Find(lock, o->bitmap) : nullptr;
    bitmap->monochrome = width <= 0 || height <= 0 || (current && current->monochrome);
    if (width <= 0 || height <= 0)
        width = height = 1;
    bitmap->surface = Surface(width, height, 0);
    return reinterpret_cast<HBITMAP>(Add(lock, std::move(bitmap)));
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) {
    Lock lock(Kernel::Mutex());
    GdiObject* d = FindDC(lock, dc);
    GdiObject* o = Find(lock, object);
    if (!d || !o || o->kind == kDC) {
        SetError(lock, ERROR_INVALID_HANDLE);
        return nullptr;
    }
    HGDIOBJ previous = nullptr;
    switch (o->kind) {
    case kPen:
        previous = d->pen;
        d->pen = object;
        break;
    case kBrush:
        previous = d->brush;
        d->brush = object;
        break;
    case kFont:
        previous = d->font;
        d->font = object;
        break;
    case kBitmap: {
        // A bitmap lives in at most one memory DC at a time.
        if (!d->memory || (o->selectedInto && o->selectedInto != dc && !o->stock))
            return nullptr;
        previous = d->bitmap;
        if (GdiObject* old = Find(lock, previous))
            old->selectedInto = nullptr;
        d->bitmap = object;
        if (!o->stock)
            o->selectedInto = dc;
        break;
    }
    case kDC:
        break;
    }
    return previous;
}

BOOL DeleteObject(HGDIOBJ object) {
    Lock lock(Kernel::Mutex());
    GdiObject* o = Find(lock, object);
    if (!o || o->kind == kDC)
        return FALSE;
    if (o->stock)
        return TRUE;
    // An object still selected into a DC is refused, as the Windows documentation says.
    for (auto& entry : S().objects) {
        GdiObject& d = *entry.second;
        if (d.kind == kDC &&
            (d.pen == object || d.brush == object || d.font == object || d.bitmap == object))
            return FALSE;
    }
    S().objects.erase(uintptr_t(object));
    return TRUE;
}

HGDIOBJ GetStockObject(int index) {
    Lock lock(Kernel::Mutex());
    return index < 0 ? nullptr : Stock(lock, index);
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

} // extern "C"
