// Screens the device commands leave: the soft-reset question, and the screen turned to each
// orientation with the button back at the taskbar's right end, at 96 and 192 DPI. The images
// go to build/<preset>/screens for review; the figures are asserted.
#include "support/device_fixture.h"

#include <windows.h>

#include <cesim/msgbox.h>
#include <cesim/power.h>
#include <cesim/programs.h>

#include "device/power.h"

#include <filesystem>

namespace {

int Scale(int n, int dpi) {
    return (n * dpi + 48) / 96;
}

void Save(const cesim::Surface& screen, const std::string& name) {
    std::string dir = std::string(VEXO_BINARY_DIR) + "/screens";
    std::filesystem::create_directories(dir);
    EXPECT_TRUE(cesim::WritePng(screen, dir + "/" + name + ".png"));
}

// Pixels of the screen in r that differ from the colour c.
int PixelsOtherThan(const cesim::Surface& screen, const RECT& r, uint32_t c) {
    int count = 0;
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x)
            count += screen.at(x, y) != c;
    return count;
}

class DeviceScreens : public ::testing::TestWithParam<int> {};

TEST_P(DeviceScreens, TheResetQuestionSitsInTheMiddleWithItsTwoAnswers) {
    const int dpi = GetParam();
    vexotest::BootDevice(dpi);
    DWORD vexo = vexotest::StartVexo();
    cesim::StartThreadIn(vexo, [] { OnSoftReset(); });
    std::optional<cesim::MessageBoxInfo> box = cesim::OpenMessageBox();
    ASSERT_TRUE(box);
    cesim::Surface screen = cesim::ComposeScreen();
    Save(screen, "reset-question-" + std::to_string(dpi));

    const RECT r = box->rect;
    EXPECT_EQ(r.left + r.right, screen.width);
    EXPECT_EQ(r.right - r.left, Scale(224, dpi));
    EXPECT_GT(r.top, cesim::Inspect(cesim::Taskbar())->rect.bottom);
    EXPECT_LT(r.bottom, screen.height);
    // A frame in the window frame's colour, the caption bar in the active caption's.
    EXPECT_EQ(screen.at(r.left, (r.top + r.bottom) / 2),
              cesim::PixelFromColorref(GetSysColor(COLOR_WINDOWFRAME)));
    RECT caption = {r.left + Scale(2, dpi), r.top + Scale(2, dpi), r.left + Scale(3, dpi),
                    r.top + Scale(18, dpi)};
    EXPECT_EQ(PixelsOtherThan(screen, caption,
                              cesim::PixelFromColorref(GetSysColor(COLOR_ACTIVECAPTION))),
              0);
    ASSERT_EQ(box->buttons.size(), 2u);
    const RECT yes = box->buttons[0].rect, no = box->buttons[1].rect;
    EXPECT_EQ(yes.bottom - yes.top, Scale(22, dpi));
    EXPECT_EQ(yes.top, no.top);
    EXPECT_EQ(no.left - yes.right, Scale(8, dpi));
    EXPECT_EQ(yes.left - r.left, r.right - no.right);
    EXPECT_EQ(r.bottom - yes.bottom, Scale(8, dpi));
    // The warning sign and the text are drawn, not just the frame.
    RECT body = {r.left + Scale(8, dpi), r.top + Scale(28, dpi), r.right - Scale(8, dpi), yes.top};
    EXPECT_GT(PixelsOtherThan(screen, body, 0xFFFFFF), Scale(200, dpi));
    EXPECT_TRUE(cesim::AnswerMessageBox(IDNO));
}

TEST_P(DeviceScreens, EveryOrientationKeepsTheButtonAtTheTaskbarsRightEnd) {
    const int dpi = GetParam();
    vexotest::BootDevice(dpi);
    const int portraitWidth = cesim::ComposeScreen().width;
    const int portraitHeight = cesim::ComposeScreen().height;
    // A program that fills the screen below the taskbar, as the system turns it with the screen.
    cesim::SimWindow notes;
    notes.title = u"Notes";
    notes.rect = RECT{0, Scale(26, dpi), portraitWidth, portraitHeight};
    cesim::StartSimulatedProgram({u"\\Windows\\notes.exe", {notes}});
    DWORD vexo = vexotest::StartVexo();
    struct Turn {
        DWORD orientation;
        const char* name;
    } turns[] = {{DMDO_270, "270"}, {DMDO_180, "180"}, {DMDO_90, "90"}, {DMDO_0, "0"}};
    for (const Turn& turn : turns) {
        DWORD orientation = turn.orientation;
        cesim::StartThreadIn(vexo, [orientation] { SetScreenOrientation(orientation); });
        cesim::Advance(500);
        cesim::Surface screen = cesim::ComposeScreen();
        Save(screen, std::string("turned-") + turn.name + "-" + std::to_string(dpi));
        bool sideways = orientation == DMDO_90 || orientation == DMDO_270;
        EXPECT_EQ(screen.width, sideways ? portraitHeight : portraitWidth) << turn.name;
        EXPECT_EQ(screen.height, sideways ? portraitWidth : portraitHeight) << turn.name;
        RECT taskbar = cesim::Inspect(cesim::Taskbar())->rect;
        EXPECT_EQ(taskbar.right, screen.width) << turn.name;
        RECT button = cesim::Inspect(vexotest::FindButtonWindow())->rect;
        RECT expected = {screen.width - Scale(28, dpi), Scale(2, dpi), screen.width,
                         Scale(26, dpi) - Scale(2, dpi)};
        EXPECT_TRUE(EqualRect(&button, &expected))
            << turn.name << ": " << button.left << " " << button.top;
        // The white X of the program in front shows there.
        int area = (button.right - button.left) * (button.bottom - button.top);
        int white = area - PixelsOtherThan(screen, button, 0xFFFFFF);
        EXPECT_GT(white, Scale(20, dpi)) << turn.name;
        EXPECT_LT(white, area / 2) << turn.name;
    }
}

INSTANTIATE_TEST_SUITE_P(, DeviceScreens, ::testing::Values(96, 192),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return "At" + std::to_string(info.param) + "Dpi";
                         });

} // namespace
