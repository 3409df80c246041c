// The 500 ms watch: the face follows the program in front, and the button follows the taskbar.
#include "support/device_fixture.h"

#include <windows.h>

#include <cesim/gdi_trace.h>
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

void ExpectRect(const RECT& r, int x, int y, int w, int h) {
    EXPECT_EQ(r.left, x);
    EXPECT_EQ(r.top, y);
    EXPECT_EQ(r.right - r.left, w);
    EXPECT_EQ(r.bottom - r.top, h);
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
    ExpectRect(cesim::Inspect(button)->rect, 172, 296, 28, 22);
    // Once in place it stays there.
    cesim::Advance(1000);
    ExpectRect(cesim::Inspect(button)->rect, 172, 296, 28, 22);
}

size_t PaintsDuring(DWORD vexo, DWORD milliseconds) {
    cesim::StartGdiTraceOfProcess(vexo);
    cesim::Advance(milliseconds);
    cesim::StopGdiTrace();
    size_t paints = 0;
    for (const cesim::GdiCall& call : cesim::GdiTrace())
        paints += call.name == "BeginPaint" ? 1 : 0;
    return paints;
}

TEST(Watch, ABottomTaskbarMovesTheButtonOnceAndThenTheWatchOnlyLooks) {
    BootDevice(96);
    DWORD vexo = StartVexo();
    HWND button = FindButtonWindow();
    EXPECT_EQ(PaintsDuring(vexo, 5000), 0u);
    EXPECT_EQ(cesim::Inspect(button)->placements, 0);

    // The taskbar's client area no longer starts at the screen's origin.
    cesim::SetTaskbarRect(RECT{0, 294, 200, 320});
    EXPECT_EQ(PaintsDuring(vexo, 500), 1u);
    EXPECT_EQ(cesim::Inspect(button)->placements, 1);
    EXPECT_EQ(PaintsDuring(vexo, 5000), 0u);
    EXPECT_EQ(cesim::Inspect(button)->placements, 1);
    ExpectRect(cesim::Inspect(button)->rect, 172, 296, 28, 22);
}

// Every pixel of the rows from `firstRow` down holds the flat background of the CE 4 face.
void ExpectBackgroundRowsFrom(const cesim::Surface& face, int firstRow) {
    const uint32_t background = 0x286EC8; // the seeded theme's main colour
    int wrong = 0;
    for (int y = firstRow; y < face.height; ++y)
        for (int x = 0; x < face.width; ++x)
            if (face.at(x, y) != background && ++wrong <= 5)
                ADD_FAILURE() << "(" << x << ", " << y << ") is " << std::hex << face.at(x, y);
    EXPECT_EQ(wrong, 0);
}

TEST(Watch, AfterTheTaskbarGrowsTheNewRowsOfTheFaceArePaintedToo) {
    BootDevice(96, "", 4, 20);
    StartVexo();
    cesim::Surface before = ButtonPixels();
    ASSERT_EQ(before.height, 22);
    cesim::SetTaskbarRect(RECT{0, 0, 240, 36});
    cesim::Advance(500);
    cesim::Surface after = ButtonPixels();
    ASSERT_EQ(after.height, 32);
    // The dot and the button keep their place; below them there is only background.
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < after.width; ++x)
            ASSERT_EQ(after.at(x, y), before.at(x, y)) << x << ", " << y;
    ExpectBackgroundRowsFrom(after, 20);
}

// Start-up takes the button's vertical margins at the vertical scale; the watch, by its own
// rule, takes them at the horizontal one, so on such a screen its first look re-sizes the
// button once. One program life each, as the DPI is read once per life.
#define WATCH_DPI_CASE(name, dpiX, dpiY, x, y, w, startHeight, watchHeight, backgroundFrom)        \
    TEST(WatchOnUnevenDpi, name) {                                                                 \
        vexotest::BootDeviceWithDpi(dpiX, dpiY, "", 4, 20);                                        \
        DWORD vexo = StartVexo();                                                                  \
        HWND button = FindButtonWindow();                                                          \
        ExpectRect(cesim::Inspect(button)->rect, x, y, w, startHeight);                            \
        EXPECT_EQ(PaintsDuring(vexo, 500), 1u);                                                    \
        ExpectRect(cesim::Inspect(button)->rect, x, y, w, watchHeight);                            \
        EXPECT_EQ(PaintsDuring(vexo, 2000), 0u);                                                   \
        EXPECT_EQ(cesim::Inspect(button)->placements, 1);                                          \
        ExpectBackgroundRowsFrom(ButtonPixels(), backgroundFrom);                                  \
    }
// Taller: the rows below the round button's box, the four new ones among them.
WATCH_DPI_CASE(TallPixels96x192, 96, 192, 212, 4, 28, 44, 48, 38)
// Shorter: the button's box reaches past the bottom, so every row shows the button or the dot.
WATCH_DPI_CASE(WidePixels192x96, 192, 96, 424, 2, 56, 22, 18, 18)

} // namespace
