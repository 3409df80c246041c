// The button under the stylus: which zone a tap lands in, the pressed look, the downward
// gesture, tap-and-hold, and the button while the task menu is open.
#include "support/device_fixture.h"

#include "support/button_driver.h"

#include <windows.h>

#include <cesim/stylus.h>

#include "shell/gestures.h"

using vexotest::BootWithNotes;
using vexotest::CloseLine;
using vexotest::CountLog;
using vexotest::FindButtonWindow;
using vexotest::OnButton;
using vexotest::TapButton;

namespace {

const char kShowDot[] = "\"ShowDot\"=dword:00000001";
const char kNoDot[] = "\"ShowDot\"=dword:00000000";

enum Outcome { Nothing, Close, Menu };

// What the last gestures did to the program in front, as the log tells it.
void ExpectOutcome(HWND front, Outcome expected) {
    EXPECT_EQ(CountLog(CloseLine(front)), expected == Close ? 1 : 0);
    EXPECT_EQ(CountLog("ShowTaskMenu()"), expected == Menu ? 1 : 0);
    if (expected != Close) {
        EXPECT_EQ(CountLog("DoAction("), 0);
    }
}

std::vector<uint32_t> ButtonPixels() {
    cesim::Surface screen = cesim::ComposeScreen();
    RECT r = cesim::Inspect(FindButtonWindow())->rect;
    std::vector<uint32_t> pixels;
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x)
            pixels.push_back(screen.at(x, y));
    return pixels;
}

// Each case is one life of vexo, so each runs as a test of its own.
struct ZoneCase {
    const char* name;
    int dpi;
    bool dot;
    int x, y; // client coordinates of the button (28 x 22 at 96 dpi, 56 x 44 at 192)
    Outcome outcome;
};

void PrintTo(const ZoneCase& c, std::ostream* os) {
    *os << c.name;
}

class TapZone : public testing::TestWithParam<ZoneCase> {};

TEST_P(TapZone, DecidesBetweenClosingTheMenuAndNothing) {
    const ZoneCase& c = GetParam();
    HWND notes = BootWithNotes(c.dpi, {c.dot ? kShowDot : kNoDot});
    TapButton(c.x, c.y);
    ExpectOutcome(notes, c.outcome);
    if (c.outcome == Close) {
        EXPECT_EQ(CountLog("DoAction(0, " + std::to_string(INT_PTR(notes)) + ")"), 1);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TapZone,
    testing::Values(ZoneCase{"Middle96", 96, false, 14, 11, Close},
                    ZoneCase{"BottomRight96", 96, false, 27, 21, Close},
                    ZoneCase{"LeftEdgeWithoutDot96", 96, false, 0, 11, Nothing},
                    // The dot's right edge belongs to the dot.
                    ZoneCase{"DotRightEdge96", 96, true, 8, 11, Menu},
                    ZoneCase{"RightOfTheDot96", 96, true, 9, 11, Close},
                    ZoneCase{"DotCorner96", 96, true, 0, 0, Menu},
                    ZoneCase{"DotRightEdge192", 192, true, 16, 20, Menu},
                    ZoneCase{"RightOfTheDot192", 192, true, 17, 20, Close},
                    ZoneCase{"LeftEdgeWithoutDot192", 192, false, 0, 20, Nothing},
                    ZoneCase{"BottomLeft192", 192, false, 1, 43, Close}),
    [](const testing::TestParamInfo<ZoneCase>& info) { return std::string(info.param.name); });

TEST(Tap, ThePressedLookLastsAtMost200MsAndALateReleaseStillTaps) {
    HWND notes = BootWithNotes(96);
    std::vector<uint32_t> idle = ButtonPixels();
    POINT p = OnButton(14, 11);
    cesim::StylusDown(p.x, p.y);
    EXPECT_NE(ButtonPixels(), idle);
    // A slide of 4 pixels is too far for a hold but stays on the button.
    cesim::Hold(20);
    cesim::StylusMove(p.x, p.y + 4);
    cesim::Hold(179);
    EXPECT_TRUE(pressed);
    EXPECT_NE(ButtonPixels(), idle);
    cesim::Hold(1);
    EXPECT_FALSE(pressed);
    EXPECT_EQ(ButtonPixels(), idle);
    cesim::Hold(100);
    cesim::StylusUp();
    ExpectOutcome(notes, Close);
}

TEST(Tap, HeldStillAReleaseAt250MsEndsTheHoldRecognitionAndIsATap) {
    HWND notes = BootWithNotes(96);
    std::vector<uint32_t> idle = ButtonPixels();
    POINT p = OnButton(14, 11);
    cesim::StylusDown(p.x, p.y);
    cesim::Hold(250);
    EXPECT_NE(ButtonPixels(), idle);
    cesim::StylusUp();
    // The release ends the pressed look; the face then shows whatever the close leaves in
    // front, which the closing worker settles in its own time.
    EXPECT_FALSE(pressed);
    ExpectOutcome(notes, Close);
    EXPECT_EQ(CountLog("DoAction(1, "), 0);
}

struct GestureCase {
    const char* name;
    int dpi;
    int below; // pixels below the button's bottom edge where the stylus is lifted
    bool minimised;
};

void PrintTo(const GestureCase& c, std::ostream* os) {
    *os << c.name;
}

class GestureDown : public testing::TestWithParam<GestureCase> {};

TEST_P(GestureDown, EndingFiveScaledPixelsBelowTheButtonMinimisesTheProgramInFront) {
    const GestureCase& c = GetParam();
    HWND notes = BootWithNotes(c.dpi);
    int width = c.dpi / 96 * 28, height = c.dpi / 96 * 22;
    cesim::Drag(OnButton(width / 2, height / 2), OnButton(width / 2, height + c.below), 60);
    EXPECT_EQ(IsWindowVisible(notes) == FALSE, c.minimised);
    EXPECT_EQ(GetForegroundWindow(), c.minimised ? cesim::DesktopWindow() : notes);
    EXPECT_EQ(CountLog("DoAction(2, "), c.minimised ? 1 : 0);
    EXPECT_EQ(CountLog("DoAction(0, "), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, GestureDown,
    testing::Values(GestureCase{"Five96", 96, 5, true}, GestureCase{"Four96", 96, 4, false},
                    GestureCase{"One96", 96, 1, false}, GestureCase{"Forty96", 96, 40, true},
                    GestureCase{"Ten192", 192, 10, true}, GestureCase{"Nine192", 192, 9, false}),
    [](const testing::TestParamInfo<GestureCase>& info) { return std::string(info.param.name); });

TEST(Gesture, OnAWindowWithAnOkButtonTheGestureClosesIt) {
    vexotest::BootDevice(96, vexotest::SettingsText());
    HWND options =
        vexotest::StartWindowProgram(u"Options", WS_VISIBLE | WS_CAPTION, WS_EX_CAPTIONOKBTN);
    vexotest::StartVexo();
    cesim::Drag(OnButton(14, 11), OnButton(14, 60), 60);
    EXPECT_EQ(CountLog(CloseLine(options)), 1);
    EXPECT_EQ(CountLog("OnMinimize("), 0);
}

TEST(Gesture, ADragSidewaysOntoTheTaskbarLetsGoOfTheButtonAtOnce) {
    HWND notes = BootWithNotes(96);
    std::vector<uint32_t> idle = ButtonPixels();
    POINT p = OnButton(14, 11);
    cesim::StylusDown(p.x, p.y);
    cesim::Hold(10);
    cesim::StylusMove(p.x - 11, p.y); // into the dot strip: the button lets go
    EXPECT_EQ(cesim::CaptureWindow(), nullptr);
    EXPECT_EQ(ButtonPixels(), idle);
    cesim::Hold(10);
    cesim::StylusMove(p.x - 60, p.y);
    cesim::Hold(600);
    cesim::StylusUp();
    ExpectOutcome(notes, Nothing);
}

struct HoldCase {
    const char* name;
    int dpi;
    int dx, dy; // a move 50 ms after the press
    bool menu;
};

void PrintTo(const HoldCase& c, std::ostream* os) {
    *os << c.name;
}

class TapAndHold : public testing::TestWithParam<HoldCase> {};

TEST_P(TapAndHold, HoldingStillFor500MsOpensTheMenuAndAMoveFirstPreventsIt) {
    const HoldCase& c = GetParam();
    HWND notes = BootWithNotes(c.dpi);
    POINT p = OnButton(c.dpi / 96 * 14, c.dpi / 96 * 11);
    cesim::StylusDown(p.x, p.y);
    cesim::Hold(50);
    cesim::StylusMove(p.x + c.dx, p.y + c.dy);
    cesim::Hold(449);
    EXPECT_EQ(CountLog("ShowTaskMenu()"), 0);
    cesim::Hold(1);
    EXPECT_EQ(CountLog("ShowTaskMenu()"), c.menu ? 1 : 0);
    EXPECT_EQ(CountLog("DoAction(1, " + std::to_string(INT_PTR(notes)) + ")"), c.menu ? 1 : 0);
    cesim::Hold(200);
    cesim::StylusUp();
    // After a hold the release only closes the menu; without one it is a tap.
    EXPECT_EQ(CountLog(CloseLine(notes)), c.menu ? 0 : 1);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TapAndHold,
    testing::Values(HoldCase{"Still96", 96, 0, 0, true}, HoldCase{"ThreeRight96", 96, 3, 0, true},
                    HoldCase{"ThreeUp96", 96, 0, -3, true},
                    HoldCase{"FourRight96", 96, 4, 0, false},
                    HoldCase{"FourDown96", 96, 0, 4, false},
                    HoldCase{"SixRight192", 192, 6, 0, true},
                    // Vertical moves too are measured with the horizontal scale.
                    HoldCase{"SevenDown192", 192, 0, 7, false}),
    [](const testing::TestParamInfo<HoldCase>& info) { return std::string(info.param.name); });

TEST(MenuOpen, APressOnTheButtonOnlyClosesTheMenu) {
    HWND notes = BootWithNotes(96, {kShowDot});
    TapButton(4, 11); // the dot opens the menu
    ASSERT_EQ(CountLog("ShowTaskMenu()"), 1);
    ASSERT_TRUE(menuOpen);
    // However long it lasts, the press starts nothing of its own.
    POINT p = OnButton(14, 11);
    cesim::StylusDown(p.x, p.y);
    cesim::Hold(600);
    cesim::StylusUp();
    EXPECT_FALSE(menuOpen);
    ExpectOutcome(notes, Menu);
    // The menu is gone: the next tap is a tap again.
    TapButton(14, 11);
    EXPECT_EQ(CountLog(CloseLine(notes)), 1);
}

TEST(MenuOpen, TheReleaseAfterACancelledMenuIsSwallowedOnce) {
    HWND notes = BootWithNotes(96);
    // As the task menu leaves things when a tap outside cancels it; its loop took the press.
    menuDismissed = true;
    POINT on = OnButton(14, 11);
    for (int i = 0; i < 2; ++i) {
        cesim::StylusDown(on.x - 100, on.y); // on the taskbar
        cesim::StylusMove(on.x, on.y);
        cesim::StylusUp();
    }
    EXPECT_EQ(CountLog("OnLButtonUp("), 2);
    EXPECT_EQ(CountLog(CloseLine(notes)), 1);
    EXPECT_FALSE(menuDismissed);
}

} // namespace
