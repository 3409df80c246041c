// The 500 ms watch: the face follows the program in front, and the button follows the taskbar.
#include "support/device_fixture.h"

#include <windows.h>

#include <cesim/programs.h>

#include "button/paint.h"

using vexotest::BootDevice;
using vexotest::FindButtonWindow;
using vexotest::StartVexo;

namespace {

cesim::RunningProgram StartProgram(const std::u16string& title, DWORD style, DWORD exStyle) {
    cesim::SimProgram p;
    p.modulePath = u"\\Windows\\" + title + u".exe";
    cesim::SimWindow w;
    w.title = title;
    w.style = style;
    w.exStyle = exStyle;
    p.windows.push_back(w);
    return cesim::StartSimulatedProgram(p);
}

cesim::Surface ButtonPixels() {
    cesim::Surface screen = cesim::ComposeScreen();
    RECT r = cesim::Inspect(FindButtonWindow())->rect;
    cesim::Surface button(r.right - r.left, r.bottom - r.top);
    for (int y = 0; y < button.height; ++y)
        for (int x = 0; x < button.width; ++x)
            button.set(x, y, screen.at(r.left + x, r.top + y));
    return button;
}

TEST(Watch, TheFaceFollowsTheForegroundProgramWithinHalfASecond) {
    BootDevice(96);
    auto dialog = StartProgram(u"Options", WS_VISIBLE | WS_CAPTION, WS_EX_CAPTIONOKBTN);
    StartVexo();
    cesim::Advance(500);
    EXPECT_EQ(closeButtonType, CloseButtonOk);
    cesim::Surface ok = ButtonPixels();

    auto app = StartProgram(u"Notes", WS_VISIBLE, 0);
    ASSERT_EQ(GetForegroundWindow(), app.windows[0]);
    cesim::Advance(499);
    EXPECT_EQ(closeButtonType, CloseButtonOk);   // not yet looked
    cesim::Advance(1);
    EXPECT_EQ(closeButtonType, CloseButtonX);
    EXPECT_NE(ButtonPixels().pixels, ok.pixels);

    SetForegroundWindow(dialog.windows[0]);
    cesim::Advance(500);
    EXPECT_EQ(closeButtonType, CloseButtonOk);
    EXPECT_EQ(ButtonPixels().pixels, ok.pixels);
}

TEST(Watch, TheButtonFollowsATaskbarThatGrowsOrMoves) {
    BootDevice(96);
    StartVexo();
    HWND button = FindButtonWindow();
    cesim::SetTaskbarRect(RECT{0, 0, 240, 36});
    cesim::Advance(500);
    RECT r = cesim::Inspect(button)->rect;
    EXPECT_EQ(r.left, 212);
    EXPECT_EQ(r.top, 2);
    EXPECT_EQ(r.right, 240);
    EXPECT_EQ(r.bottom, 34);

    cesim::SetTaskbarRect(RECT{0, 294, 200, 320});
    cesim::Advance(500);
    r = cesim::Inspect(button)->rect;
    EXPECT_EQ(r.left, 172);
    EXPECT_EQ(r.top, 296);
    EXPECT_EQ(r.bottom - r.top, 22);
    // Once in place it stays there.
    cesim::Advance(1000);
    EXPECT_EQ(cesim::Inspect(button)->rect.left, 172);
}

} // namespace
