// Message queues, sent and posted messages, the message loop calls, registered messages,
// timers and hot keys.
#include "messages.h"

#include "gdi.h"
#include "input.h"
#include "menus.h"
#include "windowing.h"

#include <cesim/device.h>
#include <cesim/threads.h>

#include <algorithm>

namespace cesim {

namespace {

typedef Kernel::Lock Lock;

struct Timer {
    HWND window = nullptr;
    UINT_PTR id = 0;
    DWORD threadId = 0;
    DWORD elapse = 0;
    DWORD due = 0;
    bool pending = false;
};

struct HotKey {
    HWND window = nullptr;
    int id = 0;
    UINT modifiers = 0;
    UINT virtualKey = 0;
};

struct State {
    std::map<DWORD, DWORD> longestQueueWait; // by thread
    std::vector<Timer> timers;
    std::vector<HotKey> hotKeys;
    std::vector<std::u16string> registeredNames; // id = kFirstRegistered + index
    UINT_PTR nextThreadTimerId = 0x7000;
};

const UINT kFirstRegistered = 0xC100;

State& S() {
    static State* state = new State;
    return *state;
}

void SetError(const Lock& held, DWORD error) {
    Kernel::Current(held).lastError = error;
}

bool Matches(const MSG& m, HWND filter, UINT low, UINT high) {
    if (filter && m.hwnd != filter)
        return false;
    if (low == 0 && high == 0)
        return true;
    return m.message >= low && m.message <= high;
}

// Fills msg with the next message the thread would retrieve, in the device's order: posted
// messages, then the quit request, then stylus input, then paint, then timers.
bool FindMessage(const Lock& held, Thread& self, MSG* msg, HWND filter, UINT low, UINT high,
                 bool remove) {
    DWORD now = Kernel::Now(held);
    // Messages the queue makes up carry the stylus position of the moment they are read.
    POINT pt = CursorPosition(held);
    for (auto it = self.posted.begin(); it != self.posted.end(); ++it) {
        if (!Matches(*it, filter, low, high))
            continue;
        *msg = *it;
        if (remove) {
            DWORD& longest = S().longestQueueWait[self.id];
            longest = std::max(longest, now - it->time);
            self.posted.erase(it);
        }
        return true;
    }
    if (self.quitPosted) {
        *msg = MSG{nullptr, WM_QUIT, WPARAM(self.quitCode), 0, now, pt};
        if (remove)
            self.quitPosted = false;
        return true;
    }
    if (TakeInputMessage(held, self, msg, filter, low, high, remove))
        return true;
    HWND paint = WindowManager::NextToPaint(held, self.id);
    if (paint) {
        MSG m = {paint, WM_PAINT, 0, 0, now, pt};
        if (Matches(m, filter, low, high)) {
            *msg = m;
            return true;
        }
    }
    for (Timer& t : S().timers) {
        if (!t.pending || t.threadId != self.id)
            continue;
        MSG m = {t.window, WM_TIMER, t.id, 0, now, pt};
        if (!Matches(m, filter, low, high))
            continue;
        *msg = m;
        if (remove)
            t.pending = false;
        return true;
    }
    return false;
}


DWORD NextTimerDue(const Lock&) {
    DWORD next = INFINITE;
    for (const Timer& t : S().timers)
        next = std::min(next, t.due);
    return next;
}

void FireTimers(const Lock& held, DWORD now) {
    for (Timer& t : S().timers) {
        if (t.due > now)
            continue;
        // A late timer does not pile up: one WM_TIMER stands for every missed period.
        while (t.due <= now)
            t.due += t.elapse;
        t.pending = true;
        Thread* owner = Kernel::FindThread(held, t.threadId);
        if (owner)
            Kernel::WakeThread(held, *owner);
    }
}

bool RegisterTimerHooks() {
    Kernel::OnNextDue(NextTimerDue, FireTimers);
    Kernel::OnThreadEnd([](const Lock&, Thread& thread) {
        auto& timers = S().timers;
        timers.erase(std::remove_if(timers.begin(), timers.end(),
                                    [&](const Timer& t) { return t.threadId == thread.id; }),
                     timers.end());
    });
    return true;
}
bool g_hooks = RegisterTimerHooks();

UINT KeyModifiers(UINT modifiers) {
    return modifiers & ~UINT(MOD_KEYUP);
}

} // namespace

bool TakeMessage(const Kernel::Lock& held, Thread& self, MSG* msg, HWND filter, UINT low,
                 UINT high, bool remove) {
    if (!FindMessage(held, self, msg, filter, low, high, remove))
        return false;
    NoteMessageRead(held, self, *msg);
    return true;
}

LRESULT DeliverMessage(Kernel::Lock& lock, HWND window, UINT message, WPARAM wParam,
                       LPARAM lParam) {
    Window* w = WindowManager::Find(lock, window);
    if (!w || !w->proc)
        return 0;
    WNDPROC proc = w->proc;
    lock.unlock();
    LRESULT result = proc(window, message, wParam, lParam);
    lock.lock();
    return result;
}

LRESULT SendLocked(Kernel::Lock& lock, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Window* w = WindowManager::Find(lock, window);
    if (!w) {
        SetError(lock, ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    Thread& self = Kernel::Current(lock);
    if (w->threadId == self.id)
        return DeliverMessage(lock, window, message, wParam, lParam);
    Thread* target = Kernel::FindThread(lock, w->threadId);
    if (!target || target->ended)
        return 0;
    SentMessage m;
    m.window = window;
    m.message = message;
    m.wParam = wParam;
    m.lParam = lParam;
    m.sender = &self;
    target->sent.push_back(&m);
    Kernel::WakeThread(lock, *target);
    Kernel::Wait(
        lock, [&m] { return m.done; }, INFINITE, true);
    return m.result;
}

bool PostToWindow(const Kernel::Lock& lock, HWND window, UINT message, WPARAM wParam,
                  LPARAM lParam) {
    Window* w = WindowManager::Find(lock, window);
    if (!w)
        return false;
    Thread* owner = Kernel::FindThread(lock, w->threadId);
    if (!owner || owner->ended)
        return false;
    owner->posted.push_back(
        MSG{window, message, wParam, lParam, Kernel::Now(lock), CursorPosition(lock)});
    Kernel::WakeThread(lock, *owner);
    return true;
}

void ForgetWindowMessages(const Kernel::Lock&, HWND window) {
    auto& timers = S().timers;
    timers.erase(std::remove_if(timers.begin(), timers.end(),
                                [&](const Timer& t) { return t.window == window; }),
                 timers.end());
    auto& keys = S().hotKeys;
    keys.erase(std::remove_if(keys.begin(), keys.end(),
                              [&](const HotKey& k) { return k.window == window; }),
               keys.end());
}

void ResetMessages(const Kernel::Lock&) {
    S().longestQueueWait.clear();
    S().timers.clear();
    S().hotKeys.clear();
}

DWORD LongestQueueWait(DWORD threadId) {
    Lock lock(Kernel::Mutex());
    DWORD longest = S().longestQueueWait[threadId];
    Thread* thread = Kernel::FindThread(lock, threadId);
    if (thread)
        for (const MSG& m : thread->posted)
            longest = std::max(longest, Kernel::Now(lock) - m.time);
    return longest;
}

std::vector<HotKeyInfo> HotKeys() {
    Lock lock(Kernel::Mutex());
    std::vector<HotKeyInfo> result;
    for (const HotKey& k : S().hotKeys)
        result.push_back(HotKeyInfo{k.window, k.id, k.modifiers, k.virtualKey});
    return result;
}

std::optional<HotKeyInfo> HotKeyFor(UINT virtualKey) {
    for (const HotKeyInfo& k : HotKeys())
        if (k.virtualKey == virtualKey)
            return k;
    return std::nullopt;
}

void DeliverHardwareKey(UINT virtualKey, bool release) {
    Lock lock(Kernel::Mutex());
    for (const HotKey& k : S().hotKeys) {
        if (k.virtualKey != virtualKey)
            continue;
        // Only a registration with MOD_KEYUP hears the release, flagged in the low word.
        if (release && !(k.modifiers & MOD_KEYUP))
            return;
        UINT modifiers = release ? k.modifiers : KeyModifiers(k.modifiers);
        PostToWindow(lock, k.window, WM_HOTKEY, WPARAM(k.id), MAKELPARAM(modifiers, virtualKey));
        return;
    }
}

void PressHardwareKey(UINT virtualKey) {
    DeliverHardwareKey(virtualKey, false);
    Kernel::Settle();
}

void ReleaseHardwareKey(UINT virtualKey) {
    DeliverHardwareKey(virtualKey, true);
    Kernel::Settle();
}

void HoldHardwareKey(UINT virtualKey, DWORD ms) {
    PressHardwareKey(virtualKey);
    Kernel::Advance(ms);
    ReleaseHardwareKey(virtualKey);
}

} // namespace cesim

using namespace cesim;

extern "C" {

LRESULT SendMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Lock lock(Kernel::Mutex());
    return SendLocked(lock, window, message, wParam, lParam);
}

BOOL PostMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Lock lock(Kernel::Mutex());
    if (!window) {
        Thread& self = Kernel::Current(lock);
        self.posted.push_back(
            MSG{nullptr, message, wParam, lParam, Kernel::Now(lock), CursorPosition(lock)});
        return TRUE;
    }
    if (!PostToWindow(lock, window, message, wParam, lParam)) {
        SetError(lock, ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    return TRUE;
}

BOOL PostThreadMessageW(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam) {
    Lock lock(Kernel::Mutex());
    Thread* target = Kernel::FindThread(lock, threadId);
    if (!target || target->ended) {
        SetError(lock, ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    target->posted.push_back(
        MSG{nullptr, message, wParam, lParam, Kernel::Now(lock), CursorPosition(lock)});
    Kernel::WakeThread(lock, *target);
    return TRUE;
}

void PostQuitMessage(int exitCode) {
    Lock lock(Kernel::Mutex());
    Thread& self = Kernel::Current(lock);
    self.quitPosted = true;
    self.quitCode = exitCode;
}

BOOL GetMessageW(LPMSG msg, HWND window, UINT filterMin, UINT filterMax) {
    Lock lock(Kernel::Mutex());
    Thread& self = Kernel::Current(lock);
    Kernel::Wait(
        lock, [&] { return TakeMessage(lock, self, msg, window, filterMin, filterMax, true); },
        INFINITE, true);
    return msg->message == WM_QUIT ? FALSE : TRUE;
}

BOOL PeekMessageW(LPMSG msg, HWND window, UINT filterMin, UINT filterMax, UINT remove) {
    Lock lock(Kernel::Mutex());
    while (Kernel::DispatchOneSent(lock)) {
    }
    Thread& self = Kernel::Current(lock);
    return TakeMessage(lock, self, msg, window, filterMin, filterMax, (remove & PM_REMOVE) != 0)
               ? TRUE
               : FALSE;
}

BOOL TranslateMessage(const MSG* msg) {
    // Character messages come from the input panel, which the device does not model.
    return FALSE;
}

LRESULT DispatchMessageW(const MSG* msg) {
    if (!msg || !msg->hwnd)
        return 0;
    Lock lock(Kernel::Mutex());
    return DeliverMessage(lock, msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

LRESULT DefWindowProcW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CLOSE:
        DestroyWindow(window);
        return 0;
    case WM_CANCELMODE: {
        {
            Lock lock(Kernel::Mutex());
            EndMenusOwnedBy(lock, window);
        }
        if (GetCapture() == window)
            ReleaseCapture();
        return 0;
    }
    case WM_PAINT: {
        PAINTSTRUCT ps;
        BeginPaint(window, &ps);
        EndPaint(window, &ps);
        return 0;
    }
    case WM_ERASEBKGND: {
        Lock lock(Kernel::Mutex());
        return EraseWithClassBrush(lock, window, reinterpret_cast<HDC>(wParam)) ? 1 : 0;
    }
    case WM_GETTEXTLENGTH:
        return GetWindowTextLengthW(window);
    case WM_GETTEXT:
        return GetWindowTextW(window, reinterpret_cast<LPWSTR>(lParam), int(wParam));
    case WM_SETTEXT:
        return SetWindowTextW(window, reinterpret_cast<LPCWSTR>(lParam));
    }
    return 0;
}

UINT RegisterWindowMessageW(LPCWSTR name) {
    Lock lock(Kernel::Mutex());
    if (!name || !*name) {
        SetError(lock, ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::u16string wanted = U16(name);
    auto& names = S().registeredNames;
    for (size_t i = 0; i < names.size(); ++i)
        if (EqualsNoCase(names[i], wanted))
            return kFirstRegistered + UINT(i);
    names.push_back(wanted);
    return kFirstRegistered + UINT(names.size() - 1);
}

UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT elapse, void* timerProc) {
    Lock lock(Kernel::Mutex());
    Thread& self = Kernel::Current(lock);
    if (window) {
        Window* w = WindowManager::Find(lock, window);
        if (!w || w->threadId != self.id) {
            SetError(lock, ERROR_INVALID_WINDOW_HANDLE);
            return 0;
        }
    } else {
        id = S().nextThreadTimerId++;
    }
    DWORD period = std::max<DWORD>(1, elapse);
    for (Timer& t : S().timers) {
        if (t.window == window && t.id == id && (window || t.threadId == self.id)) {
            t.elapse = period;
            t.due = Kernel::Now(lock) + period;
            return id ? id : 1;
        }
    }
    Timer t;
    t.window = window;
    t.id = id;
    t.threadId = self.id;
    t.elapse = period;
    t.due = Kernel::Now(lock) + period;
    S().timers.push_back(t);
    return id ? id : 1;
}

BOOL KillTimer(HWND window, UINT_PTR id) {
    Lock lock(Kernel::Mutex());
    auto& timers = S().timers;
    auto it = std::find_if(timers.begin(), timers.end(),
                           [&](const Timer& t) { return t.window == window && t.id == id; });
    if (it == timers.end()) {
        SetError(lock, ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    // A WM_TIMER not yet retrieved goes with the timer.
    timers.erase(it);
    return TRUE;
}

BOOL RegisterHotKey(HWND window, int id, UINT modifiers, UINT virtualKey) {
    Lock lock(Kernel::Mutex());
    if (window && !WindowManager::Find(lock, window)) {
        SetError(lock, ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    for (const HotKey& k : S().hotKeys) {
        if (k.virtualKey == virtualKey && KeyModifiers(k.modifiers) == KeyModifiers(modifiers)) {
            SetError(lock, ERROR_HOTKEY_ALREADY_REGISTERED);
            return FALSE;
        }
    }
    S().hotKeys.push_back(HotKey{window, id, modifiers, virtualKey});
    return TRUE;
}

BOOL UnregisterHotKey(HWND window, int id) {
    Lock lock(Kernel::Mutex());
    auto& keys = S().hotKeys;
    auto it = std::find_if(keys.begin(), keys.end(),
                           [&](const HotKey& k) { return k.window == window && k.id == id; });
    if (it == keys.end()) {
        SetError(lock, ERROR_HOTKEY_NOT_REGISTERED);
        return FALSE;
    }
    keys.erase(it);
    return TRUE;
}

} // extern "C"
