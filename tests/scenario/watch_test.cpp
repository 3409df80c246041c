// The 500 ms watch: the face follows the program in front, and the button follows the taskbar.
#include "support/device_fixture.h"

#include <windows.h>

#include <cesim/programs.h>

#include "button/paint.h"

using vexotest::BootDevice;
using vexotest::FindButtonWindow;
using vexotest::StartVexo;

namespace {

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
    HWND dialog = vexotest::StartWindowProgram(u"Options", WS_VISIBLE | WS_CAPTION, WS_EX_CAPTIONOKBTN);
    StartVexo();
    cesim::Advance(500);
    EXPECT_EQ(closeButtonType, CloseButtonOk);
    cesim::Surface ok = ButtonPixels();

    HWND app = vexotest::StartWindowProgram(u"Notes");
    ASSERT_EQ(GetForegroundWindow(), app);
    cesim::Advance(499);
    EXPECT_EQ(closeButtonType, CloseButtonOk);   // not yet looked
    cesim::Advance(1);
    EXPECT_EQ(closeButtonType, CloseButtonX);
    EXPECT_NE(ButtonPixels().pixels, ok.pixels);

    SetForegroundWindow(dialog);
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
