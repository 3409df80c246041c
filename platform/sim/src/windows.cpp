// The window manager: classes, creation and destruction, the window tree, z-order, geometry,
// visibility and the foreground window.
#include "windowing.h"

#include "dialogs.h"
#include "faults.h"
#include "frames.h"
#include "input.h"
#include "messages.h"

#include <algorithm>

namespace cesim {

namespace {

struct WindowClass {
    DWORD processId = 0;
    ATOM atom = 0;
    std::u16string name;
    WNDPROC proc = nullptr;
    UINT style = 0;
    HBRUSH background = nullptr;
    HINSTANCE instance = nullptr;
};

struct State {
    std::vector<WindowClass> classes;
    std::map<uintptr_t, std::unique_ptr<Window>> windows;
    std::vector<HWND> topLevel;   // topmost first
    HWND foreground = nullptr;
    uintptr_t nextHandle = 0x00010010;
    ATOM nextAtom = 0xC000;
    // The pixels of the last large window destroyed, for the next one: a menu or a switcher
    // comes and goes many times, and fresh memory of that size costs far more than a fill.
    std::vector<uint32_t> sparePixels;
};

State& S() {
    static State* state = new State;
    return *state;
}

typedef Kernel::Lock Lock;

Window* Get(const Lock& held, HWND h) { return WindowManager::Find(held, h); }

void SetError(const Lock& held, DWORD error) { Kernel::Current(held).lastError = error; }

Window* Valid(const Lock& held, HWND h) {
    Window* w = Get(held, h);
    if (!w)
        SetError(held, ERROR_INVALID_WINDOW_HANDLE);
    return w;
}

std::u16string ClassKey(const std::u16string& name) {
    std::u16string key;
    for (char16_t c : name)
        key.push_back(char16_t(cesim_towlower(wchar_t(c))));
    return key;
}

std::u16string NameOf(LPCWSTR name) {
    // An atom passed as MAKEINTRESOURCE names the class by number.
    if (IS_INTRESOURCE(name)) {
        char16_t text[8];
        unsigned atom = unsigned(uintptr_t(name));
        int n = 0;
        text[n++] = u'#';
        char digits[8];
        int d = std::snprintf(digits, sizeof digits, "%u", atom);
        for (int i = 0; i < d; ++i)
            text[n++] = char16_t(digits[i]);
        return std::u16string(text, n);
    }
    return U16(name);
}

// The owner of the device's own classes, which every process may use.
const DWORD kSystemClasses = 0;

// A process's own class first, then one of the device's.
const WindowClass* FindClass(const Lock&, DWORD processId, const std::u16string& name) {
    std::u16string key = ClassKey(name);
    for (DWORD owner : {processId, kSystemClasses}) {
        for (const WindowClass& c : S().classes) {
            bool matches = ClassKey(c.name) == key ||
                           (name.size() > 1 && name[0] == u'#' &&
                            NameOf(MAKEINTRESOURCE(c.atom)) == name);
            if (matches && c.processId == owner)
                return &c;
        }
    }
    return nullptr;
}

std::vector<HWND>& SiblingsOf(const Lock& held, Window& w) {
    if (w.parent) {
        Window* parent = Get(held, w.parent);
        if (parent)
            return parent->children;
    }
    return S().topLevel;
}

bool IsTopmost(const Lock& held, HWND h) {
    Window* w = Get(held, h);
    return w && !w->parent && (w->exStyle & WS_EX_TOPMOST);
}

// Inserts at the top of its band: topmost windows above the rest.
void InsertOnTop(const Lock& held, Window& w) {
    std::vector<HWND>& siblings = SiblingsOf(held, w);
    siblings.erase(std::remove(siblings.begin(), siblings.end(), w.handle), siblings.end());
    size_t at = 0;
    if (!w.parent && !(w.exStyle & WS_EX_TOPMOST))
        while (at < siblings.size() && IsTopmost(held, siblings[at]))
            ++at;
    siblings.insert(siblings.begin() + at, w.handle);
}

void InsertAfter(const Lock& held, Window& w, HWND after) {
    std::vector<HWND>& siblings = SiblingsOf(held, w);
    siblings.erase(std::remove(siblings.begin(), siblings.end(), w.handle), siblings.end());
    auto it = std::find(siblings.begin(), siblings.end(), after);
    siblings.insert(it == siblings.end() ? siblings.end() : it + 1, w.handle);
}

bool CanActivate(const Window& w) {
    return !w.parent && (w.style & WS_VISIBLE) &&
           !(w.exStyle & (WS_EX_TOPMOST | WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW));
}

void PickNewForeground(const Lock& held) {
    for (HWND h : S().topLevel) {
        Window* w = Get(held, h);
        if (w && !w->destroying && CanActivate(*w)) {
            S().foreground = h;
            return;
        }
    }
    S().foreground = nullptr;
}

// A window's surface holds its client area; the compositor draws the frame around it.
void ResizeSurface(const Lock& held, Window& w) {
    RECT client = ClientRectInWindow(held, w);
    int width = client.right - client.left;
    int height = client.bottom - client.top;
    if (width == w.surface.width && height == w.surface.height)
        return;
    Surface resized;
    resized.width = width;
    resized.height = height;
    size_t count = size_t(std::max(width, 0)) * size_t(std::max(height, 0));
    if (w.surface.pixels.empty() && S().sparePixels.capacity() >= count)
        resized.pixels.swap(S().sparePixels);
    resized.pixels.assign(count, kUnpainted);
    int rows = std::min(height, w.surface.height), columns = std::min(width, w.surface.width);
    for (int y = 0; y < rows && columns > 0; ++y)
        std::copy_n(w.surface.pixels.begin() + size_t(y) * w.surface.width, columns,
                    resized.pixels.begin() + size_t(y) * width);
    w.surface = std::move(resized);
}

// WM_SIZE's lParam: the client area's width and height.
LPARAM ClientSize(const Lock& held, const Window& w) {
    RECT client = ClientRectInWindow(held, w);
    return MAKELPARAM(client.right - client.left, client.bottom - client.top);
}

void Invalidate(const Lock& held, Window& w, bool erase = true) {
    w.needsPaint = true;
    w.erasePending = w.erasePending || erase;
    Thread* owner = Kernel::FindThread(held, w.threadId);
    if (owner)
        Kernel::WakeThread(held, *owner);
}

// Removes a window and its descendants from every table, without telling anybody.
void Forget(const Lock& held, HWND h) {
    Window* w = Get(held, h);
    if (!w)
        return;
    std::vector<HWND> children = w->children;
    for (HWND child : children)
        Forget(held, child);
    ForgetWindowMessages(held, h);
    ForgetWindowInput(held, h);
    std::vector<HWND>& siblings = SiblingsOf(held, *w);
    siblings.erase(std::remove(siblings.begin(), siblings.end(), h), siblings.end());
    bool wasForeground = S().foreground == h;
    if (w->surface.pixels.capacity() > S().sparePixels.capacity())
        S().sparePixels.swap(w->surface.pixels);
    S().windows.erase(uintptr_t(h));
    if (wasForeground)
        PickNewForeground(held);
}

void SendDestroy(Lock& lock, HWND h) {
    Window* w = Get(lock, h);
    if (!w)
        return;
    w->destroying = true;
    DeliverMessage(lock, h, WM_DESTROY, 0, 0);
    w = Get(lock, h);
    if (!w)
        return;
    std::vector<HWND> children = w->children;
    for (HWND child : children)
        SendDestroy(lock, child);
}

bool Destroy(Lock& lock, HWND h) {
    Window* w = Get(lock, h);
    if (!w || w->destroying)
        return w != nullptr;
    // Owned windows go first, as on the device.
    std::vector<HWND> owned;
    for (auto& entry : S().windows)
        if (entry.second->owner == h)
            owned.push_back(entry.second->handle);
    for (HWND o : owned)
        Destroy(lock, o);
    w = Get(lock, h);
    if (!w)
        return true;
    if (S().foreground == h) {
        w->destroying = true;
        PickNewForeground(lock);
    }
    SendDestroy(lock, h);
    Forget(lock, h);
    return true;
}

void ApplyRect(Lock& lock, HWND h, const RECT& rect, bool notify) {
    Window* w = Get(lock, h);
    if (!w)
        return;
    bool moved = rect.left != w->rect.left || rect.top != w->rect.top;
    bool sized = rect.right - rect.left != w->rect.right - w->rect.left ||
                 rect.bottom - rect.top != w->rect.bottom - w->rect.top;
    w->rect = rect;
    ResizeSurface(lock, *w);
    if (sized)
        Invalidate(lock, *w);
    if (!notify)
        return;
    if (sized)
        SendLocked(lock, h, WM_SIZE, 0, ClientSize(lock, *w));
    if (moved)
        SendLocked(lock, h, WM_MOVE, 0, MAKELPARAM(rect.left, rect.top));
}

} // namespace

Window* WindowManager::Find(const Kernel::Lock&, HWND window) {
    auto it = S().windows.find(uintptr_t(window));
    return it == S().windows.end() ? nullptr : it->second.get();
}

std::vector<HWND>& WindowManager::TopLevel(const Kernel::Lock&) { return S().topLevel; }

HWND WindowManager::Foreground(const Kernel::Lock&) { return S().foreground; }

RECT WindowManager::ScreenRect(const Kernel::Lock& held, const Window& window) {
    RECT r = window.rect;
    for (HWND p = window.parent; p;) {
        Window* parent = Find(held, p);
        if (!parent)
            break;
        // A child lies in its parent's client area, inside the parent's frame.
        SIZE frame = FrameThickness(held, *parent);
        int dx = parent->rect.left + frame.cx;
        int dy = parent->rect.top + frame.cy;
        r.left += dx;
        r.right += dx;
        r.top += dy;
        r.bottom += dy;
        p = parent->parent;
    }
    return r;
}

HWND WindowManager::NextToPaint(const Kernel::Lock&, DWORD threadId) {
    for (auto& entry : S().windows) {
        Window& w = *entry.second;
        if (w.threadId == threadId && w.needsPaint && (w.style & WS_VISIBLE) && !w.destroying)
            return w.handle;
    }
    return nullptr;
}

void WindowManager::ActivateForInput(const Kernel::Lock& held, HWND window) {
    Window* w = Find(held, window);
    while (w && w->parent)
        w = Find(held, w->parent);
    if (!w || w->destroying || !CanActivate(*w))
        return;
    InsertOnTop(held, *w);
    S().foreground = w->handle;
}

void WindowManager::PlaceAfterDisplayChange(const Kernel::Lock& held, HWND window,
                                            const RECT& rect) {
    Window* w = Find(held, window);
    if (!w)
        return;
    w->rect = rect;
    ResizeSurface(held, *w);
    Invalidate(held, *w);
    PostToWindow(held, window, WM_SIZE, 0, ClientSize(held, *w));
}

void WindowManager::RegisterSystemClass(const Kernel::Lock& held, const std::u16string& name,
                                        WNDPROC proc) {
    for (const WindowClass& c : S().classes)
        if (c.processId == kSystemClasses && ClassKey(c.name) == ClassKey(name))
            return;
    WindowClass c;
    c.processId = kSystemClasses;
    c.atom = S().nextAtom++;
    c.name = name;
    c.proc = proc;
    S().classes.push_back(c);
}

void WindowManager::Reset(const Kernel::Lock&) {
    S().classes.clear();
    S().windows.clear();
    S().topLevel.clear();
    S().foreground = nullptr;
}

// Windows die with the thread that made them, and classes with their process.
static bool RegisterEndHooks() {
    Kernel::OnThreadEnd([](const Kernel::Lock& held, Thread& thread) {
        std::vector<HWND> doomed;
        for (auto& entry : S().windows)
            if (entry.second->threadId == thread.id)
                doomed.push_back(entry.second->handle);
        Process* process = Kernel::FindProcess(held, thread.processId);
        for (HWND h : doomed)
            if (process)
                CountWindowMessages(held, h, &process->leftTimers, &process->leftHotKeys);
        for (HWND h : doomed)
            Forget(held, h);
        if (process)
            process->leftWindows += doomed.size();
    });
    Kernel::OnProcessEnd([](const Kernel::Lock&, Process& process) {
        auto& classes = S().classes;
        classes.erase(std::remove_if(classes.begin(), classes.end(),
                                     [&](const WindowClass& c) {
                                         return c.processId == process.id;
                                     }),
                      classes.end());
    });
    return true;
}
static bool g_hooksRegistered = RegisterEndHooks();

} // namespace cesim

using namespace cesim;

extern "C" {

ATOM RegisterClassW(const WNDCLASSW* wndClass) {
    Lock lock(Kernel::Mutex());
    if (!wndClass || !wndClass->lpszClassName || !wndClass->lpfnWndProc) {
        SetError(lock, ERROR_INVALID_PARAMETER);
        return 0;
    }
    DWORD injected = 0;
    if (ShouldFail("RegisterClassW", &injected)) {
        SetError(lock, injected);
        return 0;
    }
    DWORD processId = Kernel::Current(lock).processId;
    std::u16string name = U16(wndClass->lpszClassName);
    if (FindClass(lock, processId, name)) {
        SetError(lock, ERROR_CLASS_ALREADY_EXISTS);
        return 0;
    }
    WindowClass c;
    c.processId = processId;
    c.atom = S().nextAtom++;
    c.name = name;
    c.proc = wndClass->lpfnWndProc;
    c.style = wndClass->style;
    c.background = wndClass->hbrBackground;
    c.instance = wndClass->hInstance;
    S().classes.push_back(c);
    return c.atom;
}

BOOL UnregisterClassW(LPCWSTR className, HINSTANCE instance) {
    Lock lock(Kernel::Mutex());
    DWORD processId = Kernel::Current(lock).processId;
    const WindowClass* c = FindClass(lock, processId, NameOf(className));
    if (!c) {
        SetError(lock, ERROR_CLASS_DOES_NOT_EXIST);
        return FALSE;
    }
    auto& classes = S().classes;
    classes.erase(classes.begin() + (c - classes.data()));
    return TRUE;
}

HWND CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x,
                     int y, int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                     LPVOID param) {
    Lock lock(Kernel::Mutex());
    Thread& self = Kernel::Current(lock);
    const WindowClass* c = FindClass(lock, self.processId, NameOf(className));
    if (!c) {
        SetError(lock, ERROR_CLASS_DOES_NOT_EXIST);
        return nullptr;
    }
    if ((style & WS_CHILD) && !Get(lock, parent)) {
        SetError(lock, ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    std::unique_ptr<Window> w(new Window);
    w->handle = reinterpret_cast<HWND>(S().nextHandle);
    S().nextHandle += 0x10;
    w->className = c->name;
    w->proc = c->proc;
    w->classStyle = c->style;
    w->background = c->background;
    w->instance = instance;
    w->title = U16(windowName);
    w->style = style;
    w->exStyle = exStyle;
    if (style & WS_CHILD) {
        w->parent = parent;
        w->id = LONG(uintptr_t(menu));
    } else if (parent) {
        Window* owner = Get(lock, parent);
        // The owner of a top-level window is always a top-level window.
        while (owner && owner->parent)
            owner = Get(lock, owner->parent);
        w->owner = owner ? owner->handle : nullptr;
    }
    if (x == CW_USEDEFAULT) {
        x = 0;
        y = 0;
    }
    if (width == CW_USEDEFAULT) {
        width = 0;
        height = 0;
    }
    w->rect = {x, y, x + std::max(0, width), y + std::max(0, height)};
    w->threadId = self.id;
    w->processId = self.processId;
    HWND h = w->handle;
    ResizeSurface(lock, *w);
    S().windows[uintptr_t(h)] = std::move(w);
    InsertOnTop(lock, *Get(lock, h));

    CREATESTRUCTW cs = {param, instance, menu, parent, height, width, y, x, LONG(style),
                        windowName, className, exStyle};
    if (DeliverMessage(lock, h, WM_CREATE, 0, LPARAM(&cs)) == -1) {
        Destroy(lock, h);
        SetError(lock, ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    Window* created = Get(lock, h);
    if (!created)
        return nullptr;
    DeliverMessage(lock, h, WM_SIZE, 0, ClientSize(lock, *created));
    DeliverMessage(lock, h, WM_MOVE, 0, MAKELPARAM(x, y));
    created = Get(lock, h);
    if (created && (created->style & WS_VISIBLE)) {
        Invalidate(lock, *created);
        if (CanActivate(*created))
            S().foreground = h;
    }
    return created ? h : nullptr;
}

BOOL DestroyWindow(HWND window) {
    Lock lock(Kernel::Mutex());
    Window* w = Valid(lock, window);
    if (!w)
        return FALSE;
    if (w->threadId != Kernel::Current(lock).id) {
        SetError(lock, ERROR_ACCESS_DENIED);
        return FALSE;
    }
    return Destroy(lock, window);
}

BOOL EnumWindows(WNDENUMPROC proc, LPARAM param) {
    std::vector<HWND> snapshot;
    {
        Lock lock(Kernel::Mutex());
        snapshot = S().topLevel;
    }
    for (HWND h : snapshot) {
        {
            Lock lock(Kernel::Mutex());
            if (!Get(lock, h))
                continue;
        }
        if (!proc(h, param))
            return FALSE;
    }
    return TRUE;
}

BOOL InSendMessage(void) {
    Lock lock(Kernel::Mutex());
    return Kernel::Current(lock).handlingSent > 0 ? TRUE : FALSE;
}

BOOL IsWindow(HWND window) {
    Lock lock(Kernel::Mutex());
    return Get(lock, window) != nullptr;
}

BOOL IsWindowVisible(HWND window) {
    Lock lock(Kernel::Mutex());
    for (Window* w = Get(lock, window); w; w = Get(lock, w->parent)) {
        if (!(w->style & WS_VISIBLE))
            return FALSE;
        if (!w->parent)
            return TRUE;
    }
    return FALSE;
}

BOOL ShowWindow(HWND window, int command) {
    Lock lock(Kernel::Mutex());
    Window* w = Valid(lock, window);
    if (!w)
        return FALSE;
    BOOL wasVisible = (w->style & WS_VISIBLE) ? TRUE : FALSE;
    bool show = command != SW_HIDE && command != SW_MINIMIZE;
    if (show == bool(wasVisible))
        return wasVisible;
    if (show)
        w->style |= WS_VISIBLE;
    else
        w->style &= ~DWORD(WS_VISIBLE);
    DeliverMessage(lock, window, WM_SHOWWINDOW, show ? TRUE : FALSE, 0);
    w = Get(lock, window);
    if (!w)
        return wasVisible;
    if (show) {
        Invalidate(lock, *w);
        if (command != SW_SHOWNA && CanActivate(*w)) {
            InsertOnTop(lock, *w);
            S().foreground = window;
        }
    } else if (S().foreground == window) {
        PickNewForeground(lock);
    }
    return wasVisible;
}

BOOL EnableWindow(HWND window, BOOL enable) {
    Lock lock(Kernel::Mutex());
    if (!Valid(lock, window))
        return FALSE;
    if (!enable)
        SendLocked(lock, window, WM_CANCELMODE, 0, 0);
    Window* w = Get(lock, window);
    if (!w)
        return FALSE;
    bool wasDisabled = (w->style & WS_DISABLED) != 0;
    if (enable)
        w->style &= ~DWORD(WS_DISABLED);
    else
        w->style |= WS_DISABLED;
    if (wasDisabled == !enable)
        return wasDisabled ? TRUE : FALSE;
    SendLocked(lock, window, WM_ENABLE, enable ? TRUE : FALSE, 0);
    return wasDisabled ? TRUE : FALSE;
}

BOOL IsWindowEnabled(HWND window) {
    Lock lock(Kernel::Mutex());
    Window* w = Valid(lock, window);
    return w && !(w->style & WS_DISABLED) ? TRUE : FALSE;
}

HWND GetParent(HWND window) {
    Lock lock(Kernel::Mutex());
    Window* w = Valid(lock, window);
    if (!w)
        return nullptr;
    if (w->style & WS_CHILD)
        return w->parent;
    return (w->style & WS_POPUP) ? w->owner : nullptr;
}

HWND GetWindow(HWND window, UINT relation) {
    Lock lock(Kernel::Mutex());
    Window* w = Valid(lock, window);
    if (!w)
        return nullptr;
    if (relation == GW_CHILD)
        return w->children.empty() ? nullptr : w->children.front();
    if (relation == GW_OWNER)
        return w->owner;
    std::vector<HWND>& siblings = SiblingsOf(lock, *w);
    auto it = std::find(siblings.begin(), siblings.end(), window);
    switch (relation) {
    case GW_HWNDFIRST:
        return siblings.front();
    case GW_HWNDLAST:
        return siblings.back();
    case GW_HWNDNEXT:
        return it + 1 < siblings.end() ? *(it + 1) : nullptr;
    case GW_HWNDPREV:
        return it != siblings.begin() ? *(it - 1) : nullptr;
    }
    SetError(lock, ERROR_INVALID_PARAMETER);
    return nullptr;
}

HWND FindWindowW(LPCWSTR className, LPCWSTR windowName) {
    Lock lock(Kernel::Mutex());
    std::u16string wantedClass = className ? ClassKey(NameOf(className)) : std::u16string();
    std::u16string wantedTitle = U16(windowName);
    for (HWND h : S().topLevel) {
        Window* w = Get(lock, h);
        if (className && ClassKey(w->className) != wantedClass)
            continue;
        if (windowName && w->title != wantedTitle)
            continue;
        return h;
    }
    SetError(lock, ERROR_FILE_NOT_FOUND);
    return nullptr;
}

static int CopyText(const std::u16string& text, LPWSTR out, int capacity) {
    if (!out || capacity <= 0)
        return 0;
    int n = std::min<int>(int(text.size()), capacity - 1);
    for (int i = 0; i < n; ++i)
        out[i] = wchar_t(text[i]);
    out[n] = 0;
    return n;
}

int GetClassNameW(HWND window, LPWSTR name, int capacity) {
    Lock lock(Kernel::Mutex());
    Window* w = Valid(lock, window);
    return w ? CopyText(w->className, name, capacity) : 0;
}

int GetWindowTextW(HWND window, LPWSTR text, int capacity) {
    Lock lock(Kernel::Mutex());
    Window* w = Valid(lock, window);
    if (!w) {
        if (text && capacity > 0)
            text[0] = 0;
        return 0;
    }
    return CopyText(w->title, text, capacity);
}

int GetWindowTextLengthW(HWND window) {
    Lock lock(Kernel::Mutex());
    Window* w = Valid(lock, window);
    return w ? int(w->title.size()) : 0;
}

BOOL SetWindowTextW(HWND window, LPCWSTR text) {
    Lock lock(Kernel::Mutex());
    Window* w = Valid(lock, window);
    if (!w)
        return FALSE;
    w->title = U16(text);
    return TRUE;
}

LONG GetWindowLongW(HWND window, int index) {
    Lock lock(Kernel::Mutex());
    Window* w = Valid(lock, window);
    if (!w)
        return 0;
    switch (index) {
    case GWL_STYLE:
        return LONG(w->style);
    case GWL_EXSTYLE:
        return LONG(w->exStyle);
    case GWL_USERDATA:
        return w->userData;
    case GWL_ID:
        return w->id;
    case GWL_WNDPROC:
        return LONG(WindowProcAddress(lock, *w));
    }
    if (w->proc == DefDlgProcW && index == DWL_MSGRESULT)
        return w->dialogResult;
    if (w->proc == DefDlgProcW && index == DWL_USER)
        return w->dialogUser;
    SetError(lock, ERROR_INVALID_PARAMETER);
    return 0;
}

LONG SetWindowLongW(HWND window, int index, LONG value) {
    Lock lock(Kernel::Mutex());
    Window* w = Valid(lock, window);
    if (!w)
        return 0;
    LONG old = 0;
    switch (index) {
    case GWL_STYLE:
        old = LONG(w->style);
        w->style = DWORD(value);
        return old;
    case GWL_EXSTYLE:
        old = LONG(w->exStyle);
        w->exStyle = DWORD(value);
        return old;
    case GWL_USERDATA:
        old = w->userData;
        w->userData = value;
        return old;
    case GWL_ID:
        old = w->id;
        w->id = value;
        return old;
    }
    LONG* dialogField = nullptr;
    if (w->proc == DefDlgProcW && index == DWL_MSGRESULT)
        dialogField = &w->dialogResult;
    if (w->proc == DefDlgProcW && index == DWL_USER)
        dialogField = &w->dialogUser;
    if (dialogField) {
        old = *dialogField;
        *dialogField = value;
        return old;
    }
    SetError(lock, ERROR_INVALID_PARAMETER);
    return 0;
}

BOOL GetWindowRect(HWND window, LPRECT rect) {
    Lock lock(Kernel::Mutex());
    Window* w = Valid(lock, window);
    if (!w || !rect)
        return FALSE;
    *rect = WindowManager::ScreenRect(lock, *w);
    return TRUE;
}

BOOL GetClientRect(HWND window, LPRECT rect) {
    Lock lock(Kernel::Mutex());
    Window* w = Valid(lock, window);
    if (!w || !rect)
        return FALSE;
    RECT client = ClientRectInWindow(lock, *w);
    *rect = {0, 0, client.right - client.left, client.bottom - client.top};
    return TRUE;
}

BOOL SetWindowPos(HWND window, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
    Lock lock(Kernel::Mutex());
    Window* w = Valid(lock, window);
    if (!w)
        return FALSE;
    if (!(flags & SWP_NOZORDER)) {
        if (insertAfter == HWND_TOPMOST) {
            if (!w->parent)
                w->exStyle |= WS_EX_TOPMOST;
            InsertOnTop(lock, *w);
        } else if (insertAfter == HWND_NOTOPMOST) {
            // Only a topmost window moves: to the top of the others. A window that is not
            // topmost, every child window among them, stays where it is.
            if (IsTopmost(lock, window)) {
                w->exStyle &= ~DWORD(WS_EX_TOPMOST);
                InsertOnTop(lock, *w);
            }
        } else if (insertAfter == HWND_TOP) {
            InsertOnTop(lock, *w);
        } else if (insertAfter == HWND_BOTTOM) {
            std::vector<HWND>& siblings = SiblingsOf(lock, *w);
            siblings.erase(std::remove(siblings.begin(), siblings.end(), window), siblings.end());
            siblings.push_back(window);
        } else if (Get(lock, insertAfter)) {
            InsertAfter(lock, *w, insertAfter);
        }
    }
    if ((flags & (SWP_NOMOVE | SWP_NOSIZE)) != (SWP_NOMOVE | SWP_NOSIZE))
        ++w->placements;
    if (flags & SWP_SHOWWINDOW)
        w->style |= WS_VISIBLE;
    if (flags & SWP_HIDEWINDOW)
        w->style &= ~DWORD(WS_VISIBLE);
    RECT r = w->rect;
    if (!(flags & SWP_NOMOVE)) {
        r.right += x - r.left;
        r.bottom += y - r.top;
        r.left = x;
        r.top = y;
    }
    if (!(flags & SWP_NOSIZE)) {
        r.right = r.left + std::max(0, cx);
        r.bottom = r.top + std::max(0, cy);
    }
    ApplyRect(lock, window, r, true);
    if ((flags & SWP_HIDEWINDOW) && S().foreground == window)
        PickNewForeground(lock);
    return TRUE;
}

BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint) {
    return SetWindowPos(window, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

HWND GetForegroundWindow(void) {
    Lock lock(Kernel::Mutex());
    return S().foreground;
}

BOOL SetForegroundWindow(HWND window) {
    Lock lock(Kernel::Mutex());
    Window* w = Valid(lock, window);
    if (!w)
        return FALSE;
    while (w->parent)
        w = Get(lock, w->parent);
    InsertOnTop(lock, *w);
    S().foreground = w->handle;
    return TRUE;
}

DWORD GetWindowThreadProcessId(HWND window, LPDWORD processId) {
    Lock lock(Kernel::Mutex());
    Window* w = Valid(lock, window);
    if (!w)
        return 0;
    if (processId)
        *processId = w->processId;
    return w->threadId;
}

BOOL ClientToScreen(HWND window, LPPOINT point) {
    Lock lock(Kernel::Mutex());
    Window* w = Valid(lock, window);
    if (!w || !point)
        return FALSE;
    POINT origin = ClientOrigin(lock, *w);
    point->x += origin.x;
    point->y += origin.y;
    return TRUE;
}

BOOL ScreenToClient(HWND window, LPPOINT point) {
    Lock lock(Kernel::Mutex());
    Window* w = Valid(lock, window);
    if (!w || !point)
        return FALSE;
    POINT origin = ClientOrigin(lock, *w);
    point->x -= origin.x;
    point->y -= origin.y;
    return TRUE;
}

BOOL InvalidateRect(HWND window, const RECT* rect, BOOL erase) {
    Lock lock(Kernel::Mutex());
    Window* w = Valid(lock, window);
    if (!w)
        return FALSE;
    Invalidate(lock, *w, erase != FALSE);
    return TRUE;
}

BOOL ValidateRect(HWND window, const RECT* rect) {
    Lock lock(Kernel::Mutex());
    Window* w = Valid(lock, window);
    if (!w)
        return FALSE;
    w->needsPaint = false;
    w->erasePending = false;
    return TRUE;
}

BOOL UpdateWindow(HWND window) {
    Lock lock(Kernel::Mutex());
    Window* w = Valid(lock, window);
    if (!w)
        return FALSE;
    if (w->needsPaint && (w->style & WS_VISIBLE))
        SendLocked(lock, window, WM_PAINT, 0, 0);
    return TRUE;
}

} // extern "C"
