// The touch screen: the stylus driver calls, hit-testing, the input queues, the capture and
// the position and time of the last message each thread read.
#include <cesim/device.h>
#include <cesim/stylus.h>

#include "frames.h"
#include "input.h"
#include "messages.h"
#include "windowing.h"

#include <algorithm>
#include <cstdlib>
#include <deque>
#include <map>

namespace cesim {

namespace {

typedef Kernel::Lock Lock;

struct LastRead {
    POINT pt = {0, 0};
    DWORD time = 0;
};

struct State {
    bool down = false;
    POINT position = {0, 0};
    HWND capture = nullptr;
    std::map<DWORD, std::deque<MSG>> input; // by thread id
    std::map<DWORD, LastRead> lastRead;     // by thread id
};

State& S() {
    static State* state = new State;
    return *state;
}

bool Contains(const RECT& r, POINT p) {
    return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
}

bool Shown(const Window* w) {
    return w && (w->style & WS_VISIBLE) && !w->destroying;
}

// p, given in the coordinates w's rect is in, in w's client coordinates.
POINT ClientPoint(const Lock& held, const Window& w, POINT p) {
    SIZE frame = FrameThickness(held, w);
    return POINT{p.x - w.rect.left - frame.cx, p.y - w.rect.top - frame.cy};
}

// p is in w's client coordinates.
HWND ChildAt(const Lock& held, const Window& w, POINT p) {
    for (HWND h : w.children) {
        const Window* child = WindowManager::Find(held, h);
        if (!Shown(child) || !Contains(child->rect, p))
            continue;
        if (child->style & WS_DISABLED)
            return w.handle;
        return ChildAt(held, *child, ClientPoint(held, *child, p));
    }
    return w.handle;
}

HWND HitTest(const Lock& held, POINT p) {
    for (HWND h : WindowManager::TopLevel(held)) {
        const Window* w = WindowManager::Find(held, h);
        if (!Shown(w) || !Contains(w->rect, p))
            continue;
        if (w->style & WS_DISABLED)
            return nullptr;
        return ChildAt(held, *w, ClientPoint(held, *w, p));
    }
    return nullptr;
}

void Queue(const Lock& held, HWND target, UINT message) {
    Window* w = WindowManager::Find(held, target);
    if (!w)
        return;
    Thread* owner = Kernel::FindThread(held, w->threadId);
    if (!owner || owner->ended)
        return;
    POINT origin = ClientOrigin(held, *w);
    POINT p = S().position;
    LPARAM lParam = MAKELPARAM(WORD(SHORT(p.x - origin.x)), WORD(SHORT(p.y - origin.y)));
    WPARAM keys = S().down ? MK_LBUTTON : 0;
    MSG m = {target, message, keys, lParam, Kernel::Now(held), p};
    std::deque<MSG>& queue = S().input[owner->id];
    if (message == WM_MOUSEMOVE && !queue.empty() && queue.back().message == WM_MOUSEMOVE &&
        queue.back().hwnd == target)
        queue.back() = m;
    else
        queue.push_back(m);
    Kernel::WakeThread(held, *owner);
}

// Routes one stylus event, then lets a waiting recogniser look at the stylus again.
void Report(UINT message) {
    {
        Lock lock(Kernel::Mutex());
        HWND target = S().capture;
        if (!WindowManager::Find(lock, target))
            target = HitTest(lock, S().position);
        if (target && message == WM_LBUTTONDOWN)
            WindowManager::ActivateForInput(lock, target);
        if (target)
            Queue(lock, target, message);
        Kernel::WakeAll(lock);
    }
    Kernel::Settle();
}

Window* OwnWindow(const Lock& held, HWND window) {
    Window* w = WindowManager::Find(held, window);
    return w && w->threadId == Kernel::Current(held).id ? w : nullptr;
}

// Hands the capture to `next` (null: nobody) and tells the previous holder.
void ChangeCapture(Lock& lock, HWND next) {
    HWND previous = S().capture;
    S().capture = next;
    if (previous && WindowManager::Find(lock, previous))
        SendLocked(lock, previous, WM_CAPTURECHANGED, 0, LPARAM(next));
}

bool Matches(const MSG& m, HWND filter, UINT low, UINT high) {
    if (filter && m.hwnd != filter)
        return false;
    return (low == 0 && high == 0) || (m.message >= low && m.message <= high);
}

} // namespace

bool TakeInputMessage(const Kernel::Lock&, Thread& thread, MSG* msg, HWND filter, UINT low,
                      UINT high, bool remove) {
    auto found = S().input.find(thread.id);
    if (found == S().input.end())
        return false;
    std::deque<MSG>& queue = found->second;
    for (auto it = queue.begin(); it != queue.end(); ++it) {
        if (!Matches(*it, filter, low, high))
            continue;
        *msg = *it;
        if (remove)
            queue.erase(it);
        return true;
    }
    return false;
}

POINT CursorPosition(const Kernel::Lock&) {
    return S().position;
}

bool StylusHeldNear(const Kernel::Lock&, POINT center, int dx, int dy) {
    const POINT& p = S().position;
    return S().down && std::abs(p.x - center.x) <= dx && std::abs(p.y - center.y) <= dy;
}

void NoteMessageRead(const Kernel::Lock&, Thread& thread, const MSG& msg) {
    LastRead& last = S().lastRead[thread.id];
    last.pt = msg.pt;
    last.time = msg.time;
}

void QueueInput(const Kernel::Lock& held, Thread& thread, const MSG& msg) {
    S().input[thread.id].push_back(msg);
    Kernel::WakeThread(held, thread);
}

void ForgetWindowInput(const Kernel::Lock&, HWND window) {
    if (S().capture == window)
        S().capture = nullptr;
    for (auto& entry : S().input) {
        std::deque<MSG>& queue = entry.second;
        queue.erase(std::remove_if(queue.begin(), queue.end(),
                                   [&](const MSG& m) { return m.hwnd == window; }),
                    queue.end());
    }
}

void ResetInput(const Kernel::Lock&) {
    S() = State();
}

static bool RegisterInputHooks() {
    Kernel::OnThreadEnd([](const Lock&, Thread& thread) {
        S().input.erase(thread.id);
        S().lastRead.erase(thread.id);
    });
    return true;
}
static bool g_inputHooks = RegisterInputHooks();

void StylusDown(int x, int y) {
    {
        Lock lock(Kernel::Mutex());
        if (S().down)
            return;
        S().down = true;
        S().position = POINT{x, y};
    }
    Report(WM_LBUTTONDOWN);
}

void StylusMove(int x, int y) {
    bool report;
    {
        Lock lock(Kernel::Mutex());
        S().position = POINT{x, y};
        report = S().down;
    }
    if (report)
        Report(WM_MOUSEMOVE);
}

void StylusUp() {
    {
        Lock lock(Kernel::Mutex());
        if (!S().down)
            return;
        S().down = false;
    }
    Report(WM_LBUTTONUP);
}

void Tap(int x, int y, DWORD ms) {
    StylusDown(x, y);
    Advance(ms);
    StylusUp();
}

void Hold(DWORD ms) {
    Advance(ms);
}

void Drag(POINT from, POINT to, DWORD ms) {
    StylusDown(from.x, from.y);
    DWORD steps = std::max<DWORD>(1, ms / kDragStepMs);
    DWORD elapsed = 0;
    for (DWORD i = 1; i <= steps; ++i) {
        DWORD due = ms * i / steps;
        Advance(due - elapsed);
        elapsed = due;
        LONG x = from.x + LONG(to.x - from.x) * LONG(i) / LONG(steps);
        LONG y = from.y + LONG(to.y - from.y) * LONG(i) / LONG(steps);
        StylusMove(x, y);
    }
    StylusUp();
}

bool StylusIsDown() {
    Lock lock(Kernel::Mutex());
    return S().down;
}

POINT StylusPosition() {
    Lock lock(Kernel::Mutex());
    return S().position;
}

HWND WindowAtPoint(int x, int y) {
    Lock lock(Kernel::Mutex());
    return HitTest(lock, POINT{x, y});
}

HWND CaptureWindow() {
    Lock lock(Kernel::Mutex());
    return S().capture;
}

} // namespace cesim

using namespace cesim;

extern "C" {

HWND SetCapture(HWND window) {
    Lock lock(Kernel::Mutex());
    if (!OwnWindow(lock, window))
        return nullptr;
    HWND previous = S().capture;
    ChangeCapture(lock, window);
    return previous;
}

BOOL ReleaseCapture(void) {
    Lock lock(Kernel::Mutex());
    if (S().capture && OwnWindow(lock, S().capture))
        ChangeCapture(lock, nullptr);
    return TRUE;
}

HWND GetCapture(void) {
    Lock lock(Kernel::Mutex());
    return OwnWindow(lock, S().capture) ? S().capture : nullptr;
}

DWORD GetMessagePos(void) {
    Lock lock(Kernel::Mutex());
    const LastRead& last = S().lastRead[Kernel::Current(lock).id];
    return DWORD(MAKELONG(WORD(SHORT(last.pt.x)), WORD(SHORT(last.pt.y))));
}

LONG GetMessageTime(void) {
    Lock lock(Kernel::Mutex());
    return LONG(S().lastRead[Kernel::Current(lock).id].time);
}

} // extern "C"
