// TrackPopupMenuEx on the simulated device: the "menu_worker" popup window, its layout on the
// screen, owner drawing, and the modal loop that reads the stylus and the keys for the menu
// while every other message is dispatched as usual.
#include <cesim/menus.h>

#include "gdi.h"
#include "gdi_model.h"
#include "input.h"
#include "menus.h"
#include "messages.h"
#include "windowing.h"

#include <algorithm>

namespace cesim {

namespace {

typedef Kernel::Lock Lock;

const char16_t kMenuClass[] = u"menu_worker";

// What a point of the menu window is over, besides an item's index.
enum Hit { kOutside = -1, kFrame = -2, kUpArrow = -3, kDownArrow = -4 };

struct Tracker {
    HMENU menu = nullptr;
    HWND owner = nullptr;
    HWND window = nullptr;
    DWORD threadId = 0;
    unsigned serial = 0;
    std::vector<int> heights; // per item, as measured
    int itemWidth = 0;
    RECT rect = {0, 0, 0, 0}; // screen coordinates
    int border = 1;
    bool scrolls = false;
    int arrow = 0; // height of each scroll band
    int first = 0; // the topmost item in view
    int selected = -1;
    bool pressed = false; // a press was made on the menu while it was up
    bool ending = false;
    UINT chosen = 0;
};

struct State {
    std::vector<Tracker*> trackers;
    unsigned serial = 0;
};

State& S() {
    static State* state = new State;
    return *state;
}

// A thread that ends inside the loop (its process terminated) leaves no menu behind.
bool RegisterHooks() {
    Kernel::OnThreadEnd([](const Kernel::Lock&, Thread& thread) {
        auto& trackers = S().trackers;
        trackers.erase(std::remove_if(trackers.begin(), trackers.end(),
                                      [&](const Tracker* t) { return t->threadId == thread.id; }),
                       trackers.end());
    });
    return true;
}
bool g_hooks = RegisterHooks();

int Scaled(int n, int dpi) {
    return (n * dpi + 48) / 96;
}

Tracker* TrackerOfWindow(const Lock&, HWND window) {
    for (Tracker* t : S().trackers)
        if (t->window == window)
            return t;
    return nullptr;
}

Tracker* TrackerOfThread(const Lock&, DWORD threadId) {
    for (Tracker* t : S().trackers)
        if (t->threadId == threadId)
            return t;
    return nullptr;
}

Tracker* Latest(const Lock&) {
    Tracker* latest = nullptr;
    for (Tracker* t : S().trackers)
        if (!latest || t->serial > latest->serial)
            latest = t;
    return latest;
}

int ClientHeight(const Tracker& t) {
    return t.rect.bottom - t.rect.top;
}

// The item's place in the menu window, or an empty rectangle when it is out of view. With
// scroll arrows, an item that would reach into the lower band is not shown at all.
RECT ItemRect(const Tracker& t, int index) {
    RECT none = {0, 0, 0, 0};
    if (index < 0 || size_t(index) >= t.heights.size() || (t.scrolls && index < t.first))
        return none;
    int top = t.border + (t.scrolls ? t.arrow : 0);
    for (int i = t.scrolls ? t.first : 0; i < index; ++i)
        top += t.heights[size_t(i)];
    int bottom = top + t.heights[size_t(index)];
    if (t.scrolls && bottom > ClientHeight(t) - t.border - t.arrow)
        return none;
    RECT r = {t.border, top, t.border + t.itemWidth, bottom};
    return r;
}

bool Shown(const RECT& r) {
    return r.right > r.left && r.bottom > r.top;
}

int HitTest(const Tracker& t, POINT screen) {
    POINT p = {screen.x - t.rect.left, screen.y - t.rect.top};
    if (p.x < 0 || p.y < 0 || p.x >= t.rect.right - t.rect.left || p.y >= ClientHeight(t))
        return kOutside;
    if (t.scrolls && p.y < t.border + t.arrow)
        return kUpArrow;
    if (t.scrolls && p.y >= ClientHeight(t) - t.border - t.arrow)
        return kDownArrow;
    for (size_t i = 0; i < t.heights.size(); ++i) {
        RECT r = ItemRect(t, int(i));
        if (Shown(r) && p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom)
            return int(i);
    }
    return kFrame;
}

// The first item to show so that the last one is in view.
int LastFirst(const Tracker& t) {
    int area = ClientHeight(t) - 2 * t.border - 2 * t.arrow;
    int first = int(t.heights.size());
    int used = 0;
    while (first > 0 && used + t.heights[size_t(first - 1)] <= area)
        used += t.heights[size_t(--first)];
    return std::min(first, int(t.heights.size()) - 1);
}

bool ItemFlags(HMENU menu, int index, MenuItem* item) {
    Lock lock(Kernel::Mutex());
    Menu* m = FindMenu(lock, menu);
    if (!m || index < 0 || size_t(index) >= m->items.size())
        return false;
    *item = m->items[size_t(index)];
    return true;
}

// ---- drawing ---------------------------------------------------------------------------

struct MenuColors {
    COLORREF menu, text, highlight, highlightText, gray, frame;
};

MenuColors ReadColors() {
    return MenuColors{GetSysColor(COLOR_MENU),      GetSysColor(COLOR_MENUTEXT),
                      GetSysColor(COLOR_HIGHLIGHT), GetSysColor(COLOR_HIGHLIGHTTEXT),
                      GetSysColor(COLOR_GRAYTEXT),  GetSysColor(COLOR_WINDOWFRAME)};
}

void FillTriangle(Surface& s, int centerX, int tipY, int rows, bool pointsUp, uint32_t pixel) {
    for (int k = 0; k < rows; ++k) {
        int y = pointsUp ? tipY + k : tipY - k;
        for (int x = centerX - k; x <= centerX + k; ++x)
            s.set(x, y, pixel);
    }
}

// The frame, the background and the scroll bands; the items are drawn over it.
void PaintFrame(const Tracker& t, const MenuColors& c, int dpi) {
    Lock lock(Kernel::Mutex());
    Window* w = WindowManager::Find(lock, t.window);
    if (!w)
        return;
    Surface& s = w->surface;
    gdi::FillPixels(s, {0, 0, s.width, s.height}, PixelFromColorref(c.frame));
    gdi::FillPixels(s, {t.border, t.border, s.width - t.border, s.height - t.border},
                    PixelFromColorref(c.menu));
    if (!t.scrolls)
        return;
    int rows = std::max(2, Scaled(4, dpi));
    int center = s.width / 2;
    bool canUp = t.first > 0;
    bool canDown = t.first < LastFirst(t);
    FillTriangle(s, center, t.border + (t.arrow - rows) / 2, rows, true,
                 PixelFromColorref(canUp ? c.text : c.gray));
    FillTriangle(s, center, s.height - t.border - 1 - (t.arrow - rows) / 2, rows, false,
                 PixelFromColorref(canDown ? c.text : c.gray));
}

UINT ItemState(const Tracker& t, int index, const MenuItem& item) {
    UINT state = 0;
    if (index == t.selected)
        state |= ODS_SELECTED;
    if (item.flags & MF_GRAYED)
        state |= ODS_GRAYED;
    if (item.flags & MF_DISABLED)
        state |= ODS_DISABLED;
    if (item.flags & MF_CHECKED)
        state |= ODS_CHECKED;
    return state;
}

// Items that are not owner-drawn: a line, or a text with its check mark.
void DrawPlainItem(HDC dc, const MenuItem& item, RECT r, UINT state, const MenuColors& c, int dpi) {
    bool selected = (state & ODS_SELECTED) && !(item.flags & MF_SEPARATOR);
    HBRUSH background = CreateSolidBrush(selected ? c.highlight : c.menu);
    FillRect(dc, &r, background);
    DeleteObject(background);
    if (item.flags & MF_SEPARATOR) {
        HPEN pen = CreatePen(PS_SOLID, 1, c.gray);
        HGDIOBJ old = SelectObject(dc, pen);
        int y = (r.top + r.bottom) / 2;
        MoveToEx(dc, r.left + Scaled(2, dpi), y, nullptr);
        LineTo(dc, r.right - Scaled(2, dpi), y);
        SelectObject(dc, old);
        DeleteObject(pen);
        return;
    }
    if (item.flags & MF_CHECKED) {
        POINT check[3] = {{r.left + Scaled(4, dpi), (r.top + r.bottom) / 2},
                          {r.left + Scaled(7, dpi), (r.top + r.bottom) / 2 + Scaled(3, dpi)},
                          {r.left + Scaled(12, dpi), (r.top + r.bottom) / 2 - Scaled(3, dpi)}};
        Polyline(dc, check, 3);
    }
    SetBkMode(dc, TRANSPARENT);
    RECT text = r;
    text.left += Scaled(16, dpi);
    DrawTextW(dc, W(item.text), -1, &text, DT_SINGLELINE | DT_VCENTER | DT_LEFT);
}

void DrawItem(const Tracker& t, int index, UINT action, const MenuColors& c, int dpi) {
    RECT r = ItemRect(t, index);
    MenuItem item;
    if (!Shown(r) || !ItemFlags(t.menu, index, &item))
        return;
    UINT state = ItemState(t, index, item);
    HDC dc = GetDC(t.window);
    // The device hands the owner a DC already set to the item's look.
    bool selected = (state & ODS_SELECTED) != 0;
    SetTextColor(dc, selected ? c.highlightText : (state & ODS_GRAYED) ? c.gray : c.text);
    SetBkColor(dc, selected ? c.highlight : c.menu);
    if (item.flags & MF_OWNERDRAW) {
        DRAWITEMSTRUCT dis = {ODT_MENU, 0, item.id,  action, state, reinterpret_cast<HWND>(t.menu),
                              dc,       r, item.data};
        SendMessageW(t.owner, WM_DRAWITEM, 0, LPARAM(&dis));
    } else {
        DrawPlainItem(dc, item, r, state, c, dpi);
    }
    ReleaseDC(t.window, dc);
}

void PaintMenu(const Tracker& t) {
    MenuColors c = ReadColors();
    int dpi = CurrentDisplay().dpi;
    PaintFrame(t, c, dpi);
    for (size_t i = 0; i < t.heights.size(); ++i)
        DrawItem(t, int(i), ODA_DRAWENTIRE, c, dpi);
    ValidateRect(t.window, nullptr);
}

void Select(Tracker& t, int index) {
    if (index == t.selected)
        return;
    int previous = t.selected;
    t.selected = index;
    MenuColors c = ReadColors();
    int dpi = CurrentDisplay().dpi;
    if (previous >= 0)
        DrawItem(t, previous, ODA_SELECT, c, dpi);
    if (index >= 0)
        DrawItem(t, index, ODA_SELECT, c, dpi);
}

void ScrollTo(Tracker& t, int first) {
    first = std::max(0, std::min(first, LastFirst(t)));
    if (!t.scrolls || first == t.first)
        return;
    t.first = first;
    PaintMenu(t);
}

void ScrollIntoView(Tracker& t, int index) {
    if (!t.scrolls || index < 0)
        return;
    int first = std::min(t.first, index);
    Tracker probe = t;
    probe.first = first;
    while (!Shown(ItemRect(probe, index)) && probe.first < index)
        ++probe.first;
    ScrollTo(t, probe.first);
}

// ---- input -----------------------------------------------------------------------------

bool IsSeparator(const Tracker& t, int index) {
    MenuItem item;
    return !ItemFlags(t.menu, index, &item) || (item.flags & MF_SEPARATOR);
}

bool CanChoose(const Tracker& t, int index) {
    MenuItem item;
    return ItemFlags(t.menu, index, &item) &&
           !(item.flags & (MF_SEPARATOR | MF_GRAYED | MF_DISABLED));
}

void End(Tracker& t, UINT chosen) {
    t.ending = true;
    t.chosen = chosen;
}

void OnStylus(Tracker& t, const MSG& msg) {
    int hit = HitTest(t, msg.pt);
    switch (msg.message) {
    case WM_LBUTTONDOWN:
        if (hit == kOutside) {
            End(t, 0);
        } else if (hit == kUpArrow || hit == kDownArrow) {
            // Nothing is highlighted while the menu scrolls.
            t.pressed = false;
            Select(t, -1);
            ScrollTo(t, t.first + (hit == kUpArrow ? -1 : 1));
        } else {
            t.pressed = true;
            Select(t, hit >= 0 && !IsSeparator(t, hit) ? hit : -1);
        }
        break;
    case WM_MOUSEMOVE:
        Select(t, hit >= 0 && !IsSeparator(t, hit) ? hit : -1);
        break;
    case WM_LBUTTONUP: {
        MenuItem item;
        if (t.pressed && hit >= 0 && CanChoose(t, hit) && ItemFlags(t.menu, hit, &item))
            End(t, item.id);
        t.pressed = false;
        break;
    }
    }
}

void MoveSelection(Tracker& t, int step) {
    int count = int(t.heights.size());
    if (count == 0)
        return;
    int start = t.selected < 0 ? (step > 0 ? -1 : count) : t.selected;
    for (int n = 1; n <= count; ++n) {
        int index = ((start + step * n) % count + count) % count;
        if (!IsSeparator(t, index)) {
            ScrollIntoView(t, index);
            Select(t, index);
            return;
        }
    }
}

void OnKey(Tracker& t, const MSG& msg) {
    if (msg.message != WM_KEYDOWN)
        return;
    switch (msg.wParam) {
    case VK_UP:
        MoveSelection(t, -1);
        break;
    case VK_DOWN:
        MoveSelection(t, 1);
        break;
    case VK_RETURN: {
        MenuItem item;
        bool choose =
            t.selected >= 0 && CanChoose(t, t.selected) && ItemFlags(t.menu, t.selected, &item);
        End(t, choose ? item.id : 0);
        break;
    }
    case VK_ESCAPE:
        End(t, 0);
        break;
    }
}

bool IsStylusMessage(UINT message) {
    return message == WM_LBUTTONDOWN || message == WM_MOUSEMOVE || message == WM_LBUTTONUP ||
           message == WM_LBUTTONDBLCLK;
}

bool IsKeyMessage(UINT message) {
    return message == WM_KEYDOWN || message == WM_KEYUP || message == WM_CHAR;
}

// Waits for the thread's next message; false once the menu has to end without one.
bool NextMessage(Tracker& t, MSG* msg) {
    Lock lock(Kernel::Mutex());
    Thread& self = Kernel::Current(lock);
    bool got = false;
    Kernel::Wait(
        lock,
        [&] {
            if (t.ending || !FindMenu(lock, t.menu) || !WindowManager::Find(lock, t.owner) ||
                !WindowManager::Find(lock, t.window))
                return true;
            got = TakeMessage(lock, self, msg, nullptr, 0, 0, true);
            return got;
        },
        INFINITE, true);
    if (got && msg->message == WM_QUIT) {
        // The quit request is for the program's own loop: the menu gives way and puts it back.
        self.quitPosted = true;
        self.quitCode = int(msg->wParam);
        got = false;
    }
    if (!got)
        t.ending = true;
    return got;
}

void RunLoop(Tracker& t) {
    MSG msg;
    while (!t.ending && NextMessage(t, &msg)) {
        if (IsStylusMessage(msg.message))
            OnStylus(t, msg);
        else if (IsKeyMessage(msg.message))
            OnKey(t, msg);
        else {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
}

LRESULT CALLBACK MenuWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Tracker* t = nullptr;
    {
        Lock lock(Kernel::Mutex());
        t = TrackerOfWindow(lock, window);
    }
    if (t && message == WM_PAINT) {
        PaintMenu(*t);
        return 0;
    }
    // A menu that can no longer read the stylus has to go.
    if (t && message == WM_CAPTURECHANGED && HWND(lParam) != window)
        t->ending = true;
    if (message == WM_ERASEBKGND)
        return 1;
    return DefWindowProcW(window, message, wParam, lParam);
}

// ---- layout ------------------------------------------------------------------------------

void MeasurePlainItem(const MenuItem& item, int dpi, int* width, int* height) {
    if (item.flags & MF_SEPARATOR) {
        *width = 0;
        *height = Scaled(6, dpi);
        return;
    }
    HDC dc = GetDC(nullptr);
    RECT r = {0, 0, 0, 0};
    DrawTextW(dc, W(item.text), -1, &r, DT_SINGLELINE | DT_CALCRECT);
    ReleaseDC(nullptr, dc);
    *width = r.right - r.left + Scaled(28, dpi);
    *height = std::max<int>(r.bottom - r.top + Scaled(4, dpi), Scaled(18, dpi));
}

// Asks the owner for the size of each owner-drawn item; false when the menu has gone.
bool Measure(Tracker& t, int dpi) {
    std::vector<MenuItem> items;
    {
        Lock lock(Kernel::Mutex());
        Menu* m = FindMenu(lock, t.menu);
        if (!m)
            return false;
        items = m->items;
    }
    t.itemWidth = 0;
    for (const MenuItem& item : items) {
        int width = 0, height = 0;
        if (item.flags & MF_OWNERDRAW) {
            MEASUREITEMSTRUCT mis = {ODT_MENU, 0, item.id, 0, 0, item.data};
            SendMessageW(t.owner, WM_MEASUREITEM, 0, LPARAM(&mis));
            width = int(mis.itemWidth);
            height = int(mis.itemHeight);
        } else {
            MeasurePlainItem(item, dpi, &width, &height);
        }
        t.heights.push_back(std::max(0, height));
        t.itemWidth = std::max(t.itemWidth, width);
    }
    return true;
}

// Aligned at the point as the flags say, then moved onto the screen; a menu taller than the
// screen takes the screen's height and scrolls.
void Place(Tracker& t, UINT flags, int x, int y, const Display& screen) {
    int width = t.itemWidth + 2 * t.border;
    int height = 2 * t.border;
    for (int h : t.heights)
        height += h;
    if (height > screen.height) {
        t.scrolls = true;
        t.arrow = Scaled(12, screen.dpi);
        height = screen.height;
    }
    int left = x;
    if (flags & TPM_RIGHTALIGN)
        left = x - width;
    else if (flags & TPM_CENTERALIGN)
        left = x - width / 2;
    int top = y;
    if (flags & TPM_BOTTOMALIGN)
        top = y - height;
    else if (flags & TPM_VCENTERALIGN)
        top = y - height / 2;
    left = std::max(0, std::min(left, screen.width - width));
    top = std::max(0, std::min(top, screen.height - height));
    t.rect = {left, top, left + width, top + height};
}

bool ValidOwner(HWND owner) {
    Lock lock(Kernel::Mutex());
    if (!WindowManager::Find(lock, owner)) {
        Kernel::Current(lock).lastError = ERROR_INVALID_WINDOW_HANDLE;
        return false;
    }
    if (TrackerOfThread(lock, Kernel::Current(lock).id)) {
        // One menu at a time on a thread.
        Kernel::Current(lock).lastError = ERROR_INVALID_PARAMETER;
        return false;
    }
    return true;
}

void Show(Tracker& t) {
    {
        Lock lock(Kernel::Mutex());
        WindowManager::RegisterSystemClass(lock, kMenuClass, MenuWindowProc);
    }
    t.window =
        CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, W(kMenuClass), L"", WS_POPUP | WS_VISIBLE,
                        t.rect.left, t.rect.top, t.rect.right - t.rect.left,
                        t.rect.bottom - t.rect.top, nullptr, nullptr, nullptr, nullptr);
    {
        Lock lock(Kernel::Mutex());
        S().trackers.push_back(&t);
    }
    PaintMenu(t);
    SetCapture(t.window);
}

void Close(Tracker& t) {
    {
        Lock lock(Kernel::Mutex());
        auto& trackers = S().trackers;
        trackers.erase(std::remove(trackers.begin(), trackers.end(), &t), trackers.end());
    }
    if (t.window && GetCapture() == t.window)
        ReleaseCapture();
    if (t.window)
        DestroyWindow(t.window);
}

} // namespace

void EndMenusOwnedBy(const Kernel::Lock& held, HWND owner) {
    for (Tracker* t : S().trackers) {
        if (t->owner != owner)
            continue;
        t->ending = true;
        if (Thread* thread = Kernel::FindThread(held, t->threadId))
            Kernel::WakeThread(held, *thread);
    }
}

// The threads of an earlier boot never come back to their menus.
void ResetMenuTracking(const Kernel::Lock&) {
    S().trackers.clear();
}

HWND TrackedMenuWindow(const Kernel::Lock& held, DWORD threadId) {
    Tracker* t = TrackerOfThread(held, threadId);
    return t ? t->window : nullptr;
}

DWORD MenuTrackingThread(const Kernel::Lock& held) {
    Tracker* t = Latest(held);
    return t ? t->threadId : 0;
}

std::optional<TrackedMenu> ActiveMenu() {
    Kernel::Settle();
    Lock lock(Kernel::Mutex());
    Tracker* t = Latest(lock);
    if (!t)
        return std::nullopt;
    TrackedMenu info;
    info.menu = t->menu;
    info.window = t->window;
    info.owner = t->owner;
    info.rect = t->rect;
    info.selected = t->selected;
    info.scrolls = t->scrolls;
    info.firstShown = t->first;
    auto toScreen = [&](RECT r) {
        if (!Shown(r))
            return RECT{0, 0, 0, 0};
        return RECT{r.left + t->rect.left, r.top + t->rect.top, r.right + t->rect.left,
                    r.bottom + t->rect.top};
    };
    for (size_t i = 0; i < t->heights.size(); ++i)
        info.items.push_back(toScreen(ItemRect(*t, int(i))));
    if (t->scrolls) {
        int width = t->rect.right - t->rect.left;
        info.upArrow =
            toScreen(RECT{t->border, t->border, width - t->border, t->border + t->arrow});
        int bottom = ClientHeight(*t) - t->border;
        info.downArrow = toScreen(RECT{t->border, bottom - t->arrow, width - t->border, bottom});
    }
    return info;
}

void PressKey(UINT virtualKey) {
    {
        Lock lock(Kernel::Mutex());
        HWND target = nullptr;
        Thread* thread = nullptr;
        if (DWORD tracking = MenuTrackingThread(lock)) {
            thread = Kernel::FindThread(lock, tracking);
            target = TrackedMenuWindow(lock, tracking);
        } else if (Window* w = WindowManager::Find(lock, WindowManager::Foreground(lock))) {
            thread = Kernel::FindThread(lock, w->threadId);
            target = w->handle;
        }
        if (thread && !thread->ended) {
            DWORD now = Kernel::Now(lock);
            POINT pt = CursorPosition(lock);
            QueueInput(lock, *thread, MSG{target, WM_KEYDOWN, virtualKey, 1, now, pt});
            QueueInput(lock, *thread,
                       MSG{target, WM_KEYUP, virtualKey, LPARAM(0xC0000001), now, pt});
        }
    }
    Kernel::Settle();
}

} // namespace cesim

using namespace cesim;

extern "C" {

BOOL TrackPopupMenuEx(HMENU menu, UINT flags, int x, int y, HWND owner, LPTPMPARAMS params) {
    {
        Lock lock(Kernel::Mutex());
        if (!FindMenu(lock, menu)) {
            Kernel::Current(lock).lastError = ERROR_INVALID_HANDLE;
            return FALSE;
        }
    }
    if (!ValidOwner(owner))
        return FALSE;
    Tracker t;
    t.menu = menu;
    t.owner = owner;
    Display screen = CurrentDisplay();
    t.border = Scaled(1, screen.dpi);
    {
        Lock lock(Kernel::Mutex());
        t.threadId = Kernel::Current(lock).id;
        t.serial = ++S().serial;
    }
    if (!(flags & TPM_NONOTIFY))
        SendMessageW(owner, WM_INITMENUPOPUP, WPARAM(menu), 0);
    if (!Measure(t, screen.dpi))
        return FALSE;
    Place(t, flags, x, y, screen);
    Show(t);
    RunLoop(t);
    Close(t);
    if (flags & TPM_RETURNCMD)
        return BOOL(t.chosen);
    if (t.chosen)
        PostMessageW(owner, WM_COMMAND, t.chosen, 0);
    return TRUE;
}

} // extern "C"
