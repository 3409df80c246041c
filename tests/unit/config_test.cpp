// The settings loader against the device's registry.
#include "support/device_fixture.h"

#include <windows.h>

#include "config/config.h"

#include <vector>

using vexotest::kSettingsPath;
using vexotest::U16;

namespace {

const std::string kExceptions = std::string(kSettingsPath) + "\\Exceptions";
const std::string kIgnored = std::string(kSettingsPath) + "\\IgnoredApps";

class ConfigTest : public vexotest::DeviceTest {
protected:
    void SetValue(const std::string& name, DWORD type, std::vector<uint8_t> bytes) {
        cesim::reg::SetValue(kSettingsPath, name, type, std::move(bytes));
    }
    DWORD SysColor(int index) { return GetSysColor(index | SYS_COLOR_INDEX_FLAG); }

    void ExpectBuiltInDefaults(const Config& c) {
        EXPECT_EQ(c.TapAction, 0u);
        EXPECT_EQ(c.TapAndHoldAction, 2u);
        EXPECT_EQ(c.GestureAction, 1u);
        EXPECT_EQ(c.AltTab, 1u);
        EXPECT_EQ(c.IgnoredAppsCount, 0);
        EXPECT_EQ(c.IgnoredApps, nullptr);
        EXPECT_EQ(c.ExceptionsCount, 0);
        EXPECT_EQ(c.Exceptions, nullptr);
        EXPECT_EQ(c.TLHWKey, 0u);
        EXPECT_EQ(c.CompactMode, 0u);
        EXPECT_EQ(c.ShowDesktop, 1u);
        EXPECT_EQ(c.ShowSoftReset, 0u);
        EXPECT_EQ(c.ShowDisplayOff, 0u);
        EXPECT_EQ(c.ShowLandscapeRight, 0u);
        EXPECT_EQ(c.ShowLandscapeLeft, 0u);
        EXPECT_EQ(c.ShowPowerOff, 0u);
        EXPECT_EQ(c.ShowWiFi, 0u);
        EXPECT_EQ(c.ShowBth, 0u);
        EXPECT_EQ(c.ShowTaskOperations, 1u);
        EXPECT_EQ(U16(c.WiFiDevice), u"");
        EXPECT_EQ(c.ClrMenuHiFg, SysColor(COLOR_HIGHLIGHTTEXT));
        EXPECT_EQ(c.ClrMenuHiBg, SysColor(COLOR_HIGHLIGHT));
        EXPECT_EQ(c.ClrMenuFg, SysColor(COLOR_MENUTEXT));
        EXPECT_EQ(c.ClrMenuBg, SysColor(COLOR_MENU));
        EXPECT_EQ(c.ConfirmSoftReset, 1u);
        EXPECT_EQ(c.ConfirmTerminate, 1u);
        EXPECT_EQ(c.KillTimeout, 10u);
        EXPECT_EQ(c.OldStyleButton, 0u);
        EXPECT_EQ(c.ShowDot, 1u);
        EXPECT_EQ(c.OldStyleBkgnd, 0u);
        EXPECT_EQ(c.LongPressTimeout, 500u);
        EXPECT_EQ(c.AltTabTimeout, 500u);
        EXPECT_EQ(c.Page, 0u);
        EXPECT_EQ(c.LogLevel, 0u);
        EXPECT_EQ(U16(c.LogFile), u"\\vexo.log");
    }
};

TEST_F(ConfigTest, MissingKeyLeavesEveryDefaultAndReportsTheOpenError) {
    Config c;
    EXPECT_EQ(c.Load(), ERROR_FILE_NOT_FOUND);
    ExpectBuiltInDefaults(c);
    EXPECT_EQ(c.InstallDir, nullptr);
}

TEST_F(ConfigTest, EmptyKeyGivesTheDefaultsWithAnEmptyInstallDir) {
    cesim::reg::SetDword(kSettingsPath, "Unrelated", 7);
    Config c;
    EXPECT_EQ(c.Load(), ERROR_SUCCESS);
    ExpectBuiltInDefaults(c);
    ASSERT_NE(c.InstallDir, nullptr);
    EXPECT_EQ(U16(c.InstallDir), u"");
}

TEST_F(ConfigTest, EveryValueLandsInItsOwnField) {
    // Distinct numbers catch two settings read under each other's names.
    const char* numbers[] = {"TapAction",       "TapAndHoldAction", "GestureAction",
                             "AltTab",          "TLHWKey",          "CompactMode",
                             "ShowDesktop",     "ShowSoftReset",    "ShowDisplayOff",
                             "ShowLandscapeRight", "ShowLandscapeLeft", "ShowPowerOff",
                             "ShowWiFi",        "ShowBth",          "ShowTaskOperations",
                             "ClrMenuHiFg",     "ClrMenuHiBg",      "ClrMenuFg",
                             "ClrMenuBg",       "ConfirmSoftReset", "ConfirmTerminate",
                             "KillTimeout",     "OldStyleButton",   "ShowDot",
                             "OldStyleBkgnd",   "LongPressTimeout", "AltTabTimeout",
                             "Page",            "LogLevel"};
    for (size_t i = 0; i < sizeof numbers / sizeof *numbers; ++i)
        cesim::reg::SetDword(kSettingsPath, numbers[i], DWORD(100 + i));
    cesim::reg::SetString(kSettingsPath, "InstallDir", u"\\Program Files\\Vexo");
    cesim::reg::SetString(kSettingsPath, "WiFiDevice", u"TIACXWLN1");
    cesim::reg::SetString(kSettingsPath, "LogFile", u"\\Temp\\v.log");

    Config c;
    ASSERT_EQ(c.Load(), ERROR_SUCCESS);
    const DWORD fields[] = {c.TapAction,        c.TapAndHoldAction, c.GestureAction,
                            c.AltTab,           c.TLHWKey,          c.CompactMode,
                            c.ShowDesktop,      c.ShowSoftReset,    c.ShowDisplayOff,
                            c.ShowLandscapeRight, c.ShowLandscapeLeft, c.ShowPowerOff,
                            c.ShowWiFi,         c.ShowBth,          c.ShowTaskOperations,
                            c.ClrMenuHiFg,      c.ClrMenuHiBg,      c.ClrMenuFg,
                            c.ClrMenuBg,        c.ConfirmSoftReset, c.ConfirmTerminate,
                            c.KillTimeout,      c.OldStyleButton,   c.ShowDot,
                            c.OldStyleBkgnd,    c.LongPressTimeout, c.AltTabTimeout,
                            c.Page,             c.LogLevel};
    for (size_t i = 0; i < sizeof fields / sizeof *fields; ++i)
        EXPECT_EQ(fields[i], DWORD(100 + i)) << numbers[i];
    EXPECT_EQ(U16(c.InstallDir), u"\\Program Files\\Vexo");
    EXPECT_EQ(U16(c.WiFiDevice), u"TIACXWLN1");
    EXPECT_EQ(U16(c.LogFile), u"\\Temp\\v.log");
}

TEST_F(ConfigTest, NumbersAreTakenOnlyFromExactlyFourBytesWhateverTheType) {
    SetValue("TapAction", REG_DWORD, {0x05, 0x00});                       // too short
    SetValue("GestureAction", REG_BINARY, {0x02, 0x00, 0x00, 0x00});       // type ignored
    SetValue("ShowDot", REG_SZ, {'7', 0x00, 0x00, 0x00});                 // "7": 4 bytes
    SetValue("KillTimeout", REG_SZ, {'1', 0x00, '2', 0x00, 0x00, 0x00});  // "12": 6 bytes
    SetValue("LongPressTimeout", REG_BINARY, std::vector<uint8_t>(8, 0x01));
    SetValue("AltTabTimeout", REG_DWORD, {});
    Config c;
    ASSERT_EQ(c.Load(), ERROR_SUCCESS);
    EXPECT_EQ(c.TapAction, 0u);
    EXPECT_EQ(c.GestureAction, 2u);
    EXPECT_EQ(c.ShowDot, DWORD('7'));
    EXPECT_EQ(c.KillTimeout, 10u);
    EXPECT_EQ(c.LongPressTimeout, 500u);
    EXPECT_EQ(c.AltTabTimeout, 500u);
}

TEST_F(ConfigTest, ShortNumberNeverLeavesUnsetBytesInTheResult) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Holmvest\\Vexo", 0, nullptr, 0, 0,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const BYTE one[1] = {0x09};
    ASSERT_EQ(RegSetValueExW(key, L"N", 0, REG_DWORD, one, 1), ERROR_SUCCESS);
    EXPECT_EQ(RegReadDword(key, L"N", 0xABCD1234u), 0xABCD1234u);
    EXPECT_EQ(RegReadDword(key, L"Missing", 77u), 77u);
    RegCloseKey(key);
}

TEST_F(ConfigTest, TextsAreTerminatedWhateverTheStoredData) {
    SetValue("InstallDir", REG_SZ, {'A', 0, 'B', 0});          // no terminator
    SetValue("WiFiDevice", REG_SZ, {'W', 0, 'L'});              // odd length
    SetValue("LogFile", REG_BINARY, {});                        // empty data
    Config c;
    ASSERT_EQ(c.Load(), ERROR_SUCCESS);
    EXPECT_EQ(U16(c.InstallDir), u"AB");
    EXPECT_EQ(U16(c.WiFiDevice), u"W" + std::u16string(1, char16_t('L')));
    EXPECT_EQ(U16(c.LogFile), u"");
}

TEST_F(ConfigTest, ExceptionsKeepEnumerationOrderAndTheirOwnDefaults) {
    cesim::reg::SetString(kExceptions + "\\b", "ExeName", u"\\Windows\\Calendar.exe");
    cesim::reg::SetDword(kExceptions + "\\b", "TapAction", 2);
    cesim::reg::SetDword(kExceptions + "\\b", "GestureAction", 0);
    // No GestureAction: the override is 1, not the global setting.
    cesim::reg::SetString(kExceptions + "\\a", "ExeName", u"\\Windows\\tmail.exe");
    cesim::reg::SetDword(kSettingsPath, "GestureAction", 2);
    // No values at all.
    cesim::reg::SetValue(kExceptions + "\\c", "Other", REG_DWORD, {1, 0, 0, 0});

    Config c;
    ASSERT_EQ(c.Load(), ERROR_SUCCESS);
    ASSERT_EQ(c.ExceptionsCount, 3);
    EXPECT_EQ(U16(c.Exceptions[0]->ExeName), u"\\Windows\\Calendar.exe");
    EXPECT_EQ(c.Exceptions[0]->TapAction, 2u);
    EXPECT_EQ(c.Exceptions[0]->GestureAction, 0u);
    EXPECT_EQ(U16(c.Exceptions[1]->ExeName), u"\\Windows\\tmail.exe");
    EXPECT_EQ(c.Exceptions[1]->TapAction, 0u);
    EXPECT_EQ(c.Exceptions[1]->GestureAction, 1u);
    EXPECT_EQ(U16(c.Exceptions[2]->ExeName), u"");
    EXPECT_EQ(c.GestureAction, 2u);
}

TEST_F(ConfigTest, IgnoredAppsAreReadAsItemZeroToCountMinusOne) {
    cesim::reg::SetString(kIgnored, "Item0", u"\\Windows\\a.exe");
    cesim::reg::SetString(kIgnored, "Item2", u"\\Windows\\c.exe");
    Config c;
    ASSERT_EQ(c.Load(), ERROR_SUCCESS);
    ASSERT_EQ(c.IgnoredAppsCount, 1);
    EXPECT_EQ(U16(c.IgnoredApps[0]), u"\\Windows\\a.exe");
}

TEST_F(ConfigTest, EmptyIgnoredItemsAreDropped) {
    cesim::reg::SetString(kIgnored, "Item0", u"");
    cesim::reg::SetString(kIgnored, "Item1", u"\\Windows\\b.exe");
    cesim::reg::SetString(kIgnored, "Item2", u"\\Windows\\c.exe");
    Config c;
    ASSERT_EQ(c.Load(), ERROR_SUCCESS);
    ASSERT_EQ(c.IgnoredAppsCount, 2);
    EXPECT_EQ(U16(c.IgnoredApps[0]), u"\\Windows\\b.exe");
    EXPECT_EQ(U16(c.IgnoredApps[1]), u"\\Windows\\c.exe");
}

TEST_F(ConfigTest, ReloadForgetsDeletedExceptionsAndKeepsNumbersWhenTheKeyIsGone) {
    cesim::reg::SetString(kExceptions + "\\x", "ExeName", u"\\Windows\\x.exe");
    cesim::reg::SetString(kIgnored, "Item0", u"\\Windows\\y.exe");
    cesim::reg::SetDword(kSettingsPath, "TapAction", 1);
    cesim::reg::SetString(kSettingsPath, "LogFile", u"\\l.log");
    Config c;
    ASSERT_EQ(c.Load(), ERROR_SUCCESS);
    ASSERT_EQ(c.ExceptionsCount, 1);

    ASSERT_TRUE(cesim::reg::DeleteKey(kExceptions));
    ASSERT_EQ(c.Load(), ERROR_SUCCESS);
    EXPECT_EQ(c.ExceptionsCount, 0);
    EXPECT_EQ(c.IgnoredAppsCount, 1);

    ASSERT_TRUE(cesim::reg::DeleteKey(kSettingsPath));
    EXPECT_EQ(c.Load(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(c.TapAction, 1u);
    EXPECT_EQ(c.IgnoredAppsCount, 0);
    EXPECT_EQ(c.InstallDir, nullptr);
    EXPECT_EQ(U16(c.LogFile), u"\\vexo.log");
}

TEST_F(ConfigTest, ColourDefaultsFollowTheCurrentTheme) {
    cesim::reg::SetDword(kSettingsPath, "Unrelated", 0);
    Config c;
    cesim::SetSysColor(COLOR_HIGHLIGHT, RGB(1, 2, 3));
    ASSERT_EQ(c.Load(), ERROR_SUCCESS);
    EXPECT_EQ(c.ClrMenuHiBg, RGB(1, 2, 3));
    cesim::SetSysColor(COLOR_HIGHLIGHT, RGB(200, 100, 50));
    ASSERT_EQ(c.Load(), ERROR_SUCCESS);
    EXPECT_EQ(c.ClrMenuHiBg, RGB(200, 100, 50));
}

TEST_F(ConfigTest, ListsThatCannotBeAllocatedStayEmptyWithoutLeaking) {
    cesim::reg::SetString(kIgnored, "Item0", u"\\Windows\\a.exe");
    cesim::reg::SetString(kExceptions + "\\x", "ExeName", u"\\Windows\\x.exe");
    Config c;
    size_t before = cesim::HeapBlocks();
    // Every allocation fails from the first list on: InstallDir and WiFiDevice come first.
    for (int succeed = 0; succeed < 12; ++succeed) {
        cesim::FailAllocations(succeed, -1);
        c.Load();
        cesim::StopFailingAllocations();
        EXPECT_GE(c.ExceptionsCount, 0);
        for (int i = 0; i < c.ExceptionsCount; ++i)
            ASSERT_NE(c.Exceptions[i], nullptr);
        for (int i = 0; i < c.IgnoredAppsCount; ++i)
            ASSERT_NE(c.IgnoredApps[i], nullptr);
        EXPECT_NE(c.LogFile, nullptr);
        EXPECT_NE(c.WiFiDevice, nullptr);
    }
    c.Release();
    EXPECT_EQ(cesim::HeapBlocks(), before);
    ASSERT_EQ(c.Load(), ERROR_SUCCESS);
    EXPECT_EQ(c.ExceptionsCount, 1);
    EXPECT_EQ(c.IgnoredAppsCount, 1);
}

TEST_F(ConfigTest, ReleaseFreesEverythingALoadAllocated) {
    cesim::reg::SetString(kSettingsPath, "WiFiDevice", u"wlan");
    cesim::reg::SetString(kSettingsPath, "LogFile", u"\\x.log");
    cesim::reg::SetString(kIgnored, "Item0", u"\\Windows\\a.exe");
    cesim::reg::SetString(kExceptions + "\\x", "ExeName", u"\\Windows\\x.exe");
    size_t before = cesim::HeapBlocks();
    {
        Config c;
        ASSERT_EQ(c.Load(), ERROR_SUCCESS);
        EXPECT_GT(cesim::HeapBlocks(), before);
        ASSERT_EQ(c.Load(), ERROR_SUCCESS);
    }
    EXPECT_EQ(cesim::HeapBlocks(), before);
    EXPECT_EQ(cesim::reg::OpenHandleCount(), 0u);
}

} // namespace
