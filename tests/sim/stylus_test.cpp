// The stylus reaches windows as on the device: hit-testing in z-order, client coordinates,
// the capture and its notices, activation by a press, the message position and the order and
// coalescing of input in the queue.
#include <gtest/gtest.h>

#include <windows.h>

#include <cesim/device.h>
#include <cesim/stylus.h>

#include <functional>
#include <string>
#include <vector>

namespace {

struct Got {
    HWND window;
    UINT message;
    WPARAM keys;
    int x, y; // client coordinates from lParam, or the new holder for WM_CAPTURECHANGED
    bool operator==(const Got& o) const {
        return window == o.window && message == o.message && keys == o.keys && x == o.x && y == o.y;
    }
};

std::ostream& operator<<(std::ostream& os, const Got& g) {
    return os << "{" << g.window << " msg " << std::hex << g.message << std::dec << " keys "
              << g.keys << " (" << g.x << ", " << g.y << ")}";
}

struct Stamp {
    UINT message;
    POINT pt;
    LONG time;
};

std::vector<Got> g_got;
std::vector<Stamp> g_stamps;

// Commands the test sends to a window, to run on the window's own thread.
const UINT kCmdSetCapture = WM_USER + 1;
const UINT kCmdReleaseCapture = WM_USER + 2;
const UINT kCmdGetCapture = WM_USER + 3;
const UINT kCmdSleep = WM_USER + 4;
const UINT kCmdDestroy = WM_USER + 5;
const UINT kCmdSetTimer = WM_USER + 6;
const UINT kNote = WM_USER + 7; // only recorded
// Window flags, kept in GWL_USERDATA.
const LONG kCapturesOnPress = 1;

bool IsInput(UINT m) {
    return m == WM_LBUTTONDOWN || m == WM_MOUSEMOVE || m == WM_LBUTTONUP;
}

LRESULT CALLBACK TouchProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (IsInput(m) || m == WM_CAPTURECHANGED) {
        int x = m == WM_CAPTURECHANGED ? int(lp != 0) : SHORT(LOWORD(lp));
        int y = m == WM_CAPTURECHANGED ? 0 : SHORT(HIWORD(lp));
        g_got.push_back(Got{w, m, m == WM_CAPTURECHANGED ? WPARAM(lp) : wp, x, y});
    }
    if (IsInput(m) || m == kNote || m == WM_TIMER) {
        DWORD pos = GetMessagePos();
        g_stamps.push_back(
            Stamp{m, POINT{SHORT(LOWORD(pos)), SHORT(HIWORD(pos))}, GetMessageTime()});
    }
    switch (m) {
    case WM_LBUTTONDOWN:
        if (GetWindowLongW(w, GWL_USERDATA) & kCapturesOnPress)
            SetCapture(w);
        return 0;
    case WM_LBUTTONUP:
        if (GetCapture() == w)
            ReleaseCapture();
        return 0;
    case WM_TIMER:
        KillTimer(w, wp);
        return 0;
    case kCmdSetCapture:
        return LRESULT(SetCapture(reinterpret_cast<HWND>(wp)));
    case kCmdReleaseCapture:
        return ReleaseCapture();
    case kCmdGetCapture:
        return LRESULT(GetCapture());
    case kCmdSleep:
        Sleep(DWORD(wp));
        return 0;
    case kCmdSetTimer:
        SetTimer(w, 1, UINT(wp), nullptr);
        return 0;
    case kCmdDestroy:
        DestroyWindow(w);
        return 0;
    }
    return DefWindowProcW(w, m, wp, lp);
}

struct Spec {
    RECT rect;       // in the parent's client coordinates; screen for top-level windows
    int parent = -1; // index of an earlier window
    DWORD style = WS_VISIBLE;
    LONG flags = 0;
};

// Creates the windows in order, each above the ones before it, on a thread of one process.
std::vector<HWND> StartTouchProgram(const std::vector<Spec>& specs) {
    g_got.clear();
    g_stamps.clear();
    std::vector<HWND> windows;
    cesim::StartHelperProcess(u"\\Windows\\touch.exe", [&] {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = TouchProc;
        wc.lpszClassName = L"Touch";
        RegisterClassW(&wc);
        for (const Spec& s : specs) {
            HWND parent = s.parent >= 0 ? windows[size_t(s.parent)] : nullptr;
            DWORD style = s.style | (parent ? WS_CHILD : 0);
            HWND w = CreateWindowExW(0, L"Touch", L"", style, s.rect.left, s.rect.top,
                                     s.rect.right - s.rect.left, s.rect.bottom - s.rect.top, parent,
                                     nullptr, nullptr, nullptr);
            SetWindowLongW(w, GWL_USERDATA, s.flags);
            windows.push_back(w);
        }
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0))
            DispatchMessageW(&msg);
    });
    return windows;
}

// A background program under a front one with children of every kind, and a disabled
// program lowest on the screen.
enum { kBack, kFront, kKid, kGrandkid, kHidden, kDisabledKid, kFrozen };
std::vector<HWND> StartLayout(LONG frontFlags = 0) {
    return StartTouchProgram({
        {RECT{0, 26, 240, 320}},                                     // kBack
        {RECT{40, 60, 200, 200}, -1, WS_VISIBLE, frontFlags},        // kFront
        {RECT{10, 10, 70, 70}, kFront},                              // kKid: 50,70-110,130
        {RECT{5, 5, 25, 25}, kKid},                                  // kGrandkid: 55,75
        {RECT{100, 10, 150, 60}, kFront, 0},                         // kHidden
        {RECT{100, 80, 150, 130}, kFront, WS_VISIBLE | WS_DISABLED}, // kDisabledKid
        {RECT{0, 250, 100, 300}, -1, WS_VISIBLE | WS_DISABLED},      // kFrozen
    });
}

TEST(Stylus, ATapGoesToTheTopmostEnabledWindowUnderItInItsClientCoordinates) {
    cesim::Boot();
    std::vector<HWND> w = StartLayout();
    struct Case {
        int x, y;
        int window; // index, or -1: nothing of the program hears it
        int cx, cy;
    } cases[] = {
        {20, 100, kBack, 20, 74},     {45, 65, kFront, 5, 5},      {60, 80, kGrandkid, 5, 5},
        {100, 100, kKid, 50, 30},     {150, 100, kFront, 110, 40}, // the hidden child is not there
                                                                   // for the stylus
        {150, 150, kFront, 110, 90}, // a disabled child hands the tap to its parent
        {199, 199, kFront, 159, 139}, {200, 150, kBack, 200, 124}, // right edge exclusive
        {50, 270, -1, 0, 0},                                       // a disabled program swallows it
        {10, 10, -1, 0, 0},                                        // the taskbar, the shell's own
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "tap at " << c.x << ", " << c.y);
        g_got.clear();
        HWND target = c.window >= 0 ? w[size_t(c.window)] : nullptr;
        if (c.x == 10)
            EXPECT_EQ(cesim::WindowAtPoint(c.x, c.y), cesim::Taskbar());
        else
            EXPECT_EQ(cesim::WindowAtPoint(c.x, c.y), target);
        cesim::Tap(c.x, c.y);
        std::vector<Got> expected;
        if (target)
            expected = {{target, WM_LBUTTONDOWN, MK_LBUTTON, c.cx, c.cy},
                        {target, WM_LBUTTONUP, 0, c.cx, c.cy}};
        EXPECT_EQ(g_got, expected);
        // Tapping the background program brings it over the others: put them back.
        SetForegroundWindow(w[kFront]);
        SetWindowPos(w[kFrozen], HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    }
}

TEST(Stylus, APressBringsItsProgramToTheFrontButTheTaskbarChangesNothing) {
    cesim::Boot();
    std::vector<HWND> w = StartLayout();
    SetForegroundWindow(w[kFront]);
    cesim::Tap(20, 100);
    EXPECT_EQ(GetForegroundWindow(), w[kBack]);
    // Now the background program lies over the front one, and gets the next tap there.
    g_got.clear();
    cesim::Tap(45, 65);
    ASSERT_FALSE(g_got.empty());
    EXPECT_EQ(g_got[0].window, w[kBack]);
    cesim::Tap(10, 10);
    cesim::Tap(50, 270);
    EXPECT_EQ(GetForegroundWindow(), w[kBack]);
    EXPECT_EQ(cesim::TopLevelWindows()[0], cesim::Taskbar());
}

TEST(Stylus, TheCaptureKeepsADragOnThePressedWindowAndWithoutItTheStylusDecides) {
    cesim::Boot();
    std::vector<HWND> w = StartLayout(kCapturesOnPress);
    HWND front = w[kFront];
    // Down at (45, 65), three moves 10 ms apart to (20, 30), up there: the front window's
    // origin is (40, 60), so the moves leave it to the upper left.
    cesim::Drag(POINT{45, 65}, POINT{20, 30}, 30);
    std::vector<Got> expected = {
        {front, WM_LBUTTONDOWN, MK_LBUTTON, 5, 5},   {front, WM_MOUSEMOVE, MK_LBUTTON, -3, -6},
        {front, WM_MOUSEMOVE, MK_LBUTTON, -11, -18}, {front, WM_MOUSEMOVE, MK_LBUTTON, -20, -30},
        {front, WM_LBUTTONUP, 0, -20, -30},          {front, WM_CAPTURECHANGED, 0, 0, 0},
    };
    EXPECT_EQ(g_got, expected);
    ASSERT_EQ(g_stamps.size(), 5u);
    EXPECT_EQ(g_stamps[1].time, 10);
    EXPECT_EQ(g_stamps[4].time, 30);
    EXPECT_EQ(g_stamps[4].pt.x, 20);
    EXPECT_EQ(g_stamps[4].pt.y, 30);
    EXPECT_EQ(cesim::CaptureWindow(), nullptr);

    // Without the capture every event goes where the stylus is: the kid's moves stay its own
    // until the stylus is over the background program.
    g_got.clear();
    cesim::Drag(POINT{100, 100}, POINT{20, 100}, 20);
    expected = {{w[kKid], WM_LBUTTONDOWN, MK_LBUTTON, 50, 30},
                {w[kKid], WM_MOUSEMOVE, MK_LBUTTON, 10, 30},
                {w[kBack], WM_MOUSEMOVE, MK_LBUTTON, 20, 74},
                {w[kBack], WM_LBUTTONUP, 0, 20, 74}};
    EXPECT_EQ(g_got, expected);
}

TEST(Capture, HoldersAreToldWhenTheyLoseItAndOnlyTheirThreadMayTakeOrSeeIt) {
    cesim::Boot();
    std::vector<HWND> w = StartTouchProgram({{RECT{0, 26, 120, 320}}, {RECT{120, 26, 240, 320}}});
    HWND a = w[0], b = w[1];
    auto set = [&](HWND holder) {
        return reinterpret_cast<HWND>(SendMessageW(a, kCmdSetCapture, WPARAM(holder), 0));
    };
    EXPECT_EQ(set(a), nullptr);
    EXPECT_EQ(set(a), a); // capturing again still tells the holder
    EXPECT_EQ(set(b), a);
    EXPECT_EQ(reinterpret_cast<HWND>(SendMessageW(a, kCmdGetCapture, 0, 0)), b);
    // Another thread neither sees the capture nor takes or releases it.
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_EQ(SetCapture(a), nullptr);
    EXPECT_TRUE(ReleaseCapture());
    EXPECT_EQ(cesim::CaptureWindow(), b);
    // Default processing of WM_CANCELMODE releases it only in the holder.
    SendMessageW(a, WM_CANCELMODE, 0, 0);
    EXPECT_EQ(cesim::CaptureWindow(), b);
    SendMessageW(b, WM_CANCELMODE, 0, 0);
    EXPECT_EQ(cesim::CaptureWindow(), nullptr);
    // A holder that is destroyed loses it without a word.
    set(a);
    SendMessageW(a, kCmdDestroy, 0, 0);
    EXPECT_EQ(cesim::CaptureWindow(), nullptr);
    std::vector<Got> expected = {{a, WM_CAPTURECHANGED, WPARAM(a), 1, 0},
                                 {a, WM_CAPTURECHANGED, WPARAM(b), 1, 0},
                                 {b, WM_CAPTURECHANGED, 0, 0, 0}};
    EXPECT_EQ(g_got, expected);
    // With the holder gone the stylus finds windows by position again.
    g_got.clear();
    cesim::Tap(200, 100);
    ASSERT_EQ(g_got.size(), 2u);
    EXPECT_EQ(g_got[0].window, b);
}

TEST(MessagePosition, PostedMessagesKeepWhereTheStylusWasAndMadeUpOnesWhereItIs) {
    cesim::Boot();
    std::vector<HWND> w = StartTouchProgram({{RECT{0, 26, 240, 320}}});
    // Asleep, the thread reads the note only after the stylus has moved on.
    PostMessageW(w[0], kCmdSleep, 100, 0);
    cesim::Settle();
    cesim::StylusMove(30, 40);
    PostMessageW(w[0], kNote, 0, 0);
    cesim::StylusMove(100, 110);
    cesim::Advance(100);
    ASSERT_EQ(g_stamps.size(), 1u);
    EXPECT_EQ(g_stamps[0].pt.x, 30);
    EXPECT_EQ(g_stamps[0].pt.y, 40);
    EXPECT_EQ(g_stamps[0].time, 0);

    // A timer due at 150 is read at 200, when the thread wakes: with the position of then.
    SendMessageW(w[0], kCmdSetTimer, 50, 0);
    PostMessageW(w[0], kCmdSleep, 100, 0);
    cesim::Advance(60);
    cesim::StylusMove(7, 8);
    cesim::Advance(40);
    ASSERT_EQ(g_stamps.size(), 2u);
    EXPECT_EQ(g_stamps[1].message, UINT(WM_TIMER));
    EXPECT_EQ(g_stamps[1].pt.x, 7);
    EXPECT_EQ(g_stamps[1].pt.y, 8);
    EXPECT_EQ(g_stamps[1].time, 200);
}

TEST(InputQueue, PostedMessagesAreReadFirstAndUnreadMovesCoalesce) {
    cesim::Boot();
    std::vector<HWND> w = StartTouchProgram({{RECT{0, 26, 240, 320}}});
    PostMessageW(w[0], kCmdSleep, 100, 0);
    cesim::Settle();
    cesim::StylusDown(10, 30);
    cesim::StylusMove(20, 40);
    cesim::StylusMove(30, 50);
    PostMessageW(w[0], kNote, 0, 0);
    cesim::StylusMove(40, 60);
    cesim::Advance(100);
    std::vector<UINT> order;
    for (const Stamp& s : g_stamps)
        order.push_back(s.message);
    EXPECT_EQ(order, (std::vector<UINT>{kNote, WM_LBUTTONDOWN, WM_MOUSEMOVE}));
    ASSERT_EQ(g_got.size(), 2u);
    EXPECT_EQ(g_got[1], (Got{w[0], WM_MOUSEMOVE, MK_LBUTTON, 40, 34}));
    // The message's own position and time are those of the last move, not the first.
    EXPECT_EQ(g_stamps[2].pt.x, 40);
    cesim::StylusUp();
    EXPECT_EQ(g_got.back().message, UINT(WM_LBUTTONUP));
}

} // namespace
