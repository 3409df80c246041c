// Window frames as Windows has them: the client area lies inside the frame that the styles
// give, what the window draws lands inside it, the stylus reports client coordinates and the
// frame is drawn on the screen; hot keys belong to the thread that registers them.
#include <gtest/gtest.h>

#include <windows.h>

#include <cesim/device.h>
#include <cesim/programs.h>
#include <cesim/stylus.h>

#include <atomic>

namespace {

struct FrameCase {
    const char* name;
    DWORD style;
    DWORD exStyle;
    int thickness; // at 96 DPI; twice that at 192
};

const FrameCase kFrames[] = {
    {"None", WS_POPUP | WS_VISIBLE, 0, 0},
    {"Border", WS_POPUP | WS_VISIBLE | WS_BORDER, 0, 1},
    {"DialogFrame", WS_POPUP | WS_VISIBLE | WS_DLGFRAME, 0, 3},
    {"ModalFrameAndBorder", WS_POPUP | WS_VISIBLE | WS_BORDER, WS_EX_DLGMODALFRAME, 3},
    // The shell shows a caption in its navigation bar; the window keeps its whole rectangle.
    {"Caption", WS_POPUP | WS_VISIBLE | WS_CAPTION, 0, 0},
};

uint32_t Sys(int index) {
    return cesim::PixelFromColorref(GetSysColor(index));
}

class Frame : public ::testing::TestWithParam<std::tuple<int, FrameCase>> {};

TEST_P(Frame, ClientAreaInputAndPixelsLieInsideTheFrame) {
    int dpi = std::get<0>(GetParam());
    const FrameCase& c = std::get<1>(GetParam());
    cesim::BootOptions options;
    options.dpi = dpi;
    cesim::Boot(options);
    const int t = c.thickness * dpi / 96;
    cesim::SimProgram program;
    cesim::SimWindow window;
    window.title = u"Framed";
    window.style = c.style;
    window.exStyle = c.exStyle;
    window.rect = RECT{20, 100, 220, 160};
    program.windows.push_back(window);
    cesim::SimWindow child;
    child.title = u"Inner";
    child.style = WS_VISIBLE;
    child.parent = 0;
    child.rect = RECT{0, 0, 10, 10};
    program.windows.push_back(child);
    cesim::RunningProgram running = cesim::StartSimulatedProgram(program);
    HWND framed = running.windows[0];

    RECT client;
    GetClientRect(framed, &client);
    EXPECT_EQ(client.right, 200 - 2 * t);
    EXPECT_EQ(client.bottom, 60 - 2 * t);
    POINT origin = {0, 0};
    ClientToScreen(framed, &origin);
    EXPECT_EQ(origin.x, 20 + t);
    EXPECT_EQ(origin.y, 100 + t);
    RECT adjusted = {0, 0, 10, 10};
    AdjustWindowRectEx(&adjusted, c.style, FALSE, c.exStyle);
    EXPECT_EQ(adjusted.left, -t);
    EXPECT_EQ(adjusted.bottom, 10 + t);
    // A child sits in the client area.
    EXPECT_EQ(cesim::Inspect(running.windows[1])->rect.left, 20 + t);

    // Taps report client coordinates: the child's last pixel, and the window's own first
    // column below the child.
    struct {
        POINT at;
        HWND window;
        int x, y;
    } const taps[] = {{{20 + t + 9, 100 + t + 9}, running.windows[1], 9, 9},
                      {{20 + t, 100 + t + 20}, framed, 0, 20}};
    for (const auto& tap : taps) {
        cesim::ClearReceivedMessages(running.processId);
        cesim::Tap(tap.at.x, tap.at.y);
        int reported = 0;
        for (const auto& m : cesim::ReceivedMessages(running.processId))
            if (m.message == WM_LBUTTONDOWN) {
                EXPECT_EQ(m.window, tap.window);
                EXPECT_EQ(LOWORD(m.lParam), tap.x);
                EXPECT_EQ(HIWORD(m.lParam), tap.y);
                ++reported;
            }
        EXPECT_EQ(reported, 1) << tap.at.x << ", " << tap.at.y;
    }

    cesim::Surface screen = cesim::ComposeScreen();
    // The window paints its client area in the window colour, right up to the frame.
    EXPECT_EQ(screen.at(20 + t, 159 - t), Sys(COLOR_WINDOW));
    EXPECT_EQ(screen.at(219 - t, 159 - t), Sys(COLOR_WINDOW));
    if (t == 0)
        return;
    if (c.exStyle & WS_EX_DLGMODALFRAME || c.style & WS_DLGFRAME) {
        const int band = t / 3;
        // A raised edge, light above and left, dark below and right, then the face colour.
        EXPECT_EQ(screen.at(20, 100), Sys(COLOR_3DLIGHT));
        EXPECT_EQ(screen.at(219, 159), Sys(COLOR_3DDKSHADOW));
        EXPECT_EQ(screen.at(219, 100), Sys(COLOR_3DDKSHADOW));
        EXPECT_EQ(screen.at(20 + band, 130), Sys(COLOR_BTNHIGHLIGHT));
        EXPECT_EQ(screen.at(219 - band, 130), Sys(COLOR_BTNSHADOW));
        EXPECT_EQ(screen.at(100, 100 + t - 1), Sys(COLOR_BTNFACE));
    } else {
        for (POINT p : {POINT{20, 100}, POINT{219, 159}, POINT{100, 100 + t - 1}})
            EXPECT_EQ(screen.at(p.x, p.y), Sys(COLOR_WINDOWFRAME)) << p.x << ", " << p.y;
    }
}

INSTANTIATE_TEST_SUITE_P(Windows, Frame,
                         ::testing::Combine(::testing::Values(96, 192),
                                            ::testing::ValuesIn(kFrames)),
                         [](const ::testing::TestParamInfo<std::tuple<int, FrameCase>>& info) {
                             return std::string(std::get<1>(info.param).name) + "At" +
                                    std::to_string(std::get<0>(info.param));
                         });

TEST(Frame, ItsSidesFollowTheHorizontalDpiAndItsTopAndBottomTheVertical) {
    cesim::BootOptions options;
    options.dpiX = 192;
    options.dpiY = 96;
    cesim::Boot(options);
    cesim::SimProgram program;
    cesim::SimWindow window;
    window.style = WS_POPUP | WS_VISIBLE | WS_BORDER;
    window.exStyle = WS_EX_DLGMODALFRAME;
    window.rect = RECT{20, 100, 220, 160};
    program.windows.push_back(window);
    HWND framed = cesim::StartSimulatedProgram(program).windows[0];
    EXPECT_EQ(GetSystemMetrics(SM_CXDLGFRAME), 6);
    EXPECT_EQ(GetSystemMetrics(SM_CYDLGFRAME), 3);
    RECT client;
    GetClientRect(framed, &client);
    EXPECT_EQ(client.right, 200 - 12);
    EXPECT_EQ(client.bottom, 60 - 6);
}

TEST(HotKeys, AKeyMovesBetweenWindowsOfItsThreadAndEndsWithTheThread) {
    cesim::Boot();
    cesim::SimProgram other;
    other.windows.push_back(cesim::SimWindow());
    HWND foreign = cesim::StartSimulatedProgram(other).windows[0];
    std::atomic<bool> done{false};
    DWORD owner = cesim::StartHelperProcess(u"\\Windows\\keys.exe", [&] {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = DefWindowProcW;
        wc.lpszClassName = L"Keys";
        RegisterClassW(&wc);
        HWND first = CreateWindowExW(0, L"Keys", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                     nullptr, nullptr);
        HWND second = CreateWindowExW(0, L"Keys", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                      nullptr, nullptr);
        EXPECT_FALSE(RegisterHotKey(foreign, 0, MOD_WIN, 0xC1));
        EXPECT_EQ(GetLastError(), DWORD(ERROR_WINDOW_OF_OTHER_THREAD));
        EXPECT_TRUE(RegisterHotKey(first, 0, MOD_WIN | MOD_KEYUP, 0xC1));
        // The same key with or without the release flag is one key: it must be let go first.
        EXPECT_FALSE(RegisterHotKey(second, 0, MOD_WIN, 0xC1));
        EXPECT_EQ(GetLastError(), DWORD(ERROR_HOTKEY_ALREADY_REGISTERED));
        EXPECT_TRUE(UnregisterHotKey(first, 0));
        EXPECT_TRUE(RegisterHotKey(second, 0, MOD_WIN, 0xC1));
        EXPECT_EQ(cesim::HotKeyFor(0xC1)->window, second);
        done = true;
    });
    cesim::Settle();
    EXPECT_TRUE(done);
    EXPECT_FALSE(cesim::ProcessRunning(owner));
    EXPECT_FALSE(cesim::HotKeyFor(0xC1));
}

} // namespace
