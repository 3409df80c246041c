// Theme colours, the colour conversions, the shell generation and the glyphs.
#include "support/device_fixture.h"

#include <windows.h>

#include "button/theme.h"
#include "config/config.h"
#include "shell/dpi.h"

#include <cmath>
#include <cstdlib>

namespace {

const char kColorKey[] = "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Color";

void ExpectHsl(COLORREF c, double h, double s, double l) {
    double hue, saturation, lightness;
    RgbToHsl(c, &hue, &saturation, &lightness);
    EXPECT_DOUBLE_EQ(hue, h) << std::hex << c;
    EXPECT_DOUBLE_EQ(saturation, s) << std::hex << c;
    EXPECT_DOUBLE_EQ(lightness, l) << std::hex << c;
}

TEST(ColourArithmetic, GreysAndBlackHaveNoHueOrSaturation) {
    ExpectHsl(RGB(128, 128, 128), 0, 0, 128 * (1.0 / 255) * 2 * 0.5);
    ExpectHsl(RGB(255, 255, 255), 0, 0, 1.0);
    ExpectHsl(RGB(0, 0, 0), 0, 0, 0);
}

TEST(ColourArithmetic, PrimariesLandOnTheirSextants) {
    double h, s, l;
    RgbToHsl(RGB(0, 255, 0), &h, &s, &l);
    EXPECT_DOUBLE_EQ(h, 2.0 / 6);
    EXPECT_DOUBLE_EQ(s, 1.0);
    EXPECT_DOUBLE_EQ(l, 0.5);
    RgbToHsl(RGB(0, 0, 255), &h, &s, &l);
    EXPECT_DOUBLE_EQ(h, 4.0 / 6);
    // Red, and every colour whose green equals its blue below the red, come out at hue 1.0.
    RgbToHsl(RGB(255, 0, 0), &h, &s, &l);
    EXPECT_DOUBLE_EQ(h, 1.0);
    RgbToHsl(RGB(200, 50, 50), &h, &s, &l);
    EXPECT_DOUBLE_EQ(h, 1.0);
}

TEST(ColourArithmetic, HslToRgbEdgeCasesGiveGreys) {
    EXPECT_EQ(HslToRgb(0.3, 0, 0.5), RGB(127, 127, 127));   // no saturation
    EXPECT_EQ(HslToRgb(1.0, 1.0, 0.5), RGB(127, 127, 127)); // sextant 6
    EXPECT_EQ(HslToRgb(0.5, 1.0, 0), RGB(0, 0, 0));
    EXPECT_EQ(HslToRgb(0, 0, 0.999), RGB(254, 254, 254));   // truncated, not rounded
    EXPECT_EQ(HslToRgb(2.0 / 6, 1.0, 0.5), RGB(0, 255, 0));
}

TEST(ColourArithmetic, RoundTripsStayWithinOneStepPerComponent) {
    for (int r = 0; r < 256; r += 15)
        for (int g = 0; g < 256; g += 17)
            for (int b = 0; b < 256; b += 13) {
                double h, s, l;
                RgbToHsl(RGB(r, g, b), &h, &s, &l);
                ASSERT_GE(h, 0.0);
                ASSERT_LE(h, 1.0);
                COLORREF back = HslToRgb(h, s, l);
                // A hue of exactly 1.0 is a grey by construction; the rest must come back.
                if (h == 1.0)
                    continue;
                ASSERT_LE(std::abs(GetRValue(back) - r), 1) << r << "," << g << "," << b;
                ASSERT_LE(std::abs(GetGValue(back) - g), 1) << r << "," << g << "," << b;
                ASSERT_LE(std::abs(GetBValue(back) - b), 1) << r << "," << g << "," << b;
            }
}

class ThemeTest : public vexotest::DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        cesim::reg::DeleteKey(kColorKey);
        themeColors = ThemeColors();
    }
    void SetTable(size_t entries, DWORD fill = 0) {
        std::vector<uint8_t> bytes(entries * 4);
        for (size_t i = 0; i < entries; ++i) {
            DWORD v = fill ? fill + DWORD(i) : RGB(i, i * 2, i * 3);
            for (int k = 0; k < 4; ++k)
                bytes[i * 4 + k] = uint8_t(v >> (8 * k));
        }
        cesim::reg::SetValue(kColorKey, "SHColor", REG_BINARY, bytes);
    }
};

TEST_F(ThemeTest, FourSingleValuesWinOverTheTable) {
    SetTable(41);
    cesim::reg::SetDword(kColorKey, "6", RGB(1, 1, 1));
    cesim::reg::SetDword(kColorKey, "8", RGB(0, 255, 0));
    cesim::reg::SetDword(kColorKey, "9", RGB(3, 3, 3));
    cesim::reg::SetDword(kColorKey, "13", RGB(4, 4, 4));
    LoadThemeColors();
    EXPECT_EQ(themeColors.themeColor6, RGB(1, 1, 1));
    EXPECT_EQ(themeColors.themeColor8, RGB(0, 255, 0));
    EXPECT_EQ(themeColors.themeColor9, RGB(3, 3, 3));
    EXPECT_EQ(themeColors.themeColor13, RGB(4, 4, 4));
    EXPECT_DOUBLE_EQ(themeColors.themeHue, 2.0 / 6);
}

TEST_F(ThemeTest, ThreeSingleValuesDeferToTheTable) {
    SetTable(41);
    cesim::reg::SetDword(kColorKey, "6", RGB(1, 1, 1));
    cesim::reg::SetDword(kColorKey, "8", RGB(2, 2, 2));
    cesim::reg::SetDword(kColorKey, "9", RGB(3, 3, 3));
    LoadThemeColors();
    EXPECT_EQ(themeColors.themeColor6, RGB(6, 12, 18));
    EXPECT_EQ(themeColors.themeColor8, RGB(8, 16, 24));
    EXPECT_EQ(themeColors.themeColor9, RGB(9, 18, 27));
    EXPECT_EQ(themeColors.themeColor13, RGB(13, 26, 39));
}

TEST_F(ThemeTest, AShortTableLeavesTheEntriesPastItsEnd) {
    SetTable(7, 0x100);   // entries 0..6 only
    cesim::reg::SetDword(kColorKey, "6", RGB(1, 1, 1));
    cesim::reg::SetDword(kColorKey, "8", RGB(2, 2, 2));   // read before "9" fails
    LoadThemeColors();
    EXPECT_EQ(themeColors.themeColor6, 0x106u);           // from the table
    EXPECT_EQ(themeColors.themeColor8, RGB(2, 2, 2));     // the single value stays
    EXPECT_EQ(themeColors.themeColor9, 0u);
    EXPECT_EQ(themeColors.themeColor13, 0u);
}

TEST_F(ThemeTest, NeitherSourceFallsBackToTheSystemHighlight) {
    cesim::reg::SetDword(kColorKey, "Other", 1);
    cesim::SetSysColor(COLOR_HIGHLIGHT, RGB(0, 0, 255));
    cesim::SetSysColor(COLOR_HIGHLIGHTTEXT, RGB(250, 250, 250));
    themeColors.themeColor6 = RGB(7, 7, 7);
    LoadThemeColors();
    EXPECT_EQ(themeColors.themeColor8, RGB(0, 0, 255));
    EXPECT_EQ(themeColors.themeColor9, RGB(250, 250, 250));
    EXPECT_EQ(themeColors.themeColor6, RGB(7, 7, 7));
    EXPECT_DOUBLE_EQ(themeColors.themeHue, 4.0 / 6);
}

TEST_F(ThemeTest, AnUnopenableKeyKeepsTheShadesAndTheHsl) {
    SetTable(41);
    LoadThemeColors();
    double hue = themeColors.themeHue;
    cesim::reg::FailOpen(kColorKey, ERROR_ACCESS_DENIED);
    cesim::SetSysColor(COLOR_HIGHLIGHT, RGB(0, 0, 255));
    LoadThemeColors();
    EXPECT_EQ(themeColors.themeColor8, RGB(0, 0, 255));
    EXPECT_EQ(themeColors.themeColor6, RGB(6, 12, 18));
    EXPECT_DOUBLE_EQ(themeColors.themeHue, hue);
    cesim::reg::ClearFailures();
}

TEST_F(ThemeTest, AMenuColourConfiguredAloneSurvivesAThemeReloadAndTheOthersFollow) {
    const struct {
        const char* name;
        COLORREF Config::*field;
        int systemColour;
    } colours[] = {
        {"ClrMenuHiBg", &Config::ClrMenuHiBg, COLOR_HIGHLIGHT},
        {"ClrMenuHiFg", &Config::ClrMenuHiFg, COLOR_HIGHLIGHTTEXT},
        {"ClrMenuBg", &Config::ClrMenuBg, COLOR_MENU},
        {"ClrMenuFg", &Config::ClrMenuFg, COLOR_MENUTEXT},
    };
    for (const auto& configured : colours) {
        cesim::reg::DeleteKey(vexotest::kSettingsPath);
        cesim::reg::SetDword(vexotest::kSettingsPath, configured.name, RGB(10, 20, 30));
        config.Load();
        // A new scheme: each system colour different from before and from the others.
        int n = 0;
        for (const auto& c : colours)
            cesim::SetSysColor(c.systemColour, RGB(100 + n++, 50, int(configured.systemColour)));
        LoadThemeColors();
        n = 0;
        for (const auto& c : colours) {
            const COLORREF expected = &c == &configured
                                          ? RGB(10, 20, 30)
                                          : RGB(100 + n, 50, int(configured.systemColour));
            EXPECT_EQ(config.*c.field, expected) << c.name << " with " << configured.name;
            ++n;
        }
    }
}

TEST(Fonts, BothAreBoldAndElevenPixelsHighAtTheVerticalScale) {
    vexotest::BootDeviceWithDpi(96, 192);
    dpiX = 96;
    dpiY = 192;
    LoadFonts();
    LOGFONTW system = {};
    GetObjectW(GetStockObject(SYSTEM_FONT), sizeof system, &system);
    for (HFONT font : {menuFont, glyphFont}) {
        LOGFONTW made = {};
        ASSERT_EQ(GetObjectW(font, sizeof made, &made), int(sizeof made));
        EXPECT_EQ(made.lfHeight, -22);
        EXPECT_EQ(made.lfWeight, FW_BOLD);
        EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(made.lfFaceName)),
                  std::u16string(reinterpret_cast<const char16_t*>(system.lfFaceName)));
    }
    DeleteObject(menuFont);
    DeleteObject(glyphFont);
    dpiX = dpiY = 0;
}

#define SHELL_STYLE_CASE(name, major, minor, expected)                                             \
    TEST(ShellStyleOf, name) {                                                                     \
        vexotest::BootDevice(96, "", major, minor);                                                \
        EXPECT_EQ(GetShellStyle(), expected);                                                      \
    }
SHELL_STYLE_CASE(Ce420, 4, 20, ShellStyleCe4)
SHELL_STYLE_CASE(Ce50, 5, 0, ShellStyleCe5)
SHELL_STYLE_CASE(Ce51, 5, 1, ShellStyleCe5)
SHELL_STYLE_CASE(Ce52, 5, 2, ShellStyleCe52)
SHELL_STYLE_CASE(Ce53, 5, 3, ShellStyleCe52)
SHELL_STYLE_CASE(Ce60, 6, 0, ShellStyleOther)

TEST(ShellStyleOf, IsReadOnceAndKept) {
    vexotest::BootDevice(96, "", 5, 2);
    ASSERT_EQ(GetShellStyle(), ShellStyleCe52);
    vexotest::BootDevice(96, "", 4, 20);
    EXPECT_EQ(GetShellStyle(), ShellStyleCe52);
}

} // namespace
