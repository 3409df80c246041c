// vexocfg, the settings editor, against the device's registry and files: what each command
// writes, what it refuses without writing anything, and what vexo's own loader then reads.
#include <gtest/gtest.h>

#include <windows.h>

#include "config/config.h"
#include "support/device_fixture.h"
#include "tools/vexocfg/vexocfg.h"

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

using vexotest::kSettingsPath;
using vexotest::U16;

namespace {

const std::string kExceptions = std::string(kSettingsPath) + "\\Exceptions";
const std::string kIgnored = std::string(kSettingsPath) + "\\IgnoredApps";

// Settings with something in every part, so that a refused command has things to spoil.
const char kSeed[] = "REGEDIT4\n\n"
                     "[HKEY_CURRENT_USER\\Software\\Holmvest\\Vexo]\n"
                     "\"TapAction\"=dword:00000001\n"
                     "\"LogFile\"=\"\\\\my.log\"\n"
                     "\"Unrelated\"=hex:01,02\n\n"
                     "[HKEY_CURRENT_USER\\Software\\Holmvest\\Vexo\\Exceptions\\tmail]\n"
                     "\"ExeName\"=\"\\\\Windows\\\\tmail.exe\"\n"
                     "\"TapAction\"=dword:00000002\n"
                     "\"GestureAction\"=dword:00000000\n\n"
                     "[HKEY_CURRENT_USER\\Software\\Holmvest\\Vexo\\IgnoredApps]\n"
                     "\"Item0\"=\"\\\\Windows\\\\a.exe\"\n"
                     "\"Item1\"=\"\\\\Windows\\\\b.exe\"\n";

typedef vexotest::CfgResult Result;

Result Cfg(std::vector<std::string> args) { return vexotest::RunCfg(std::move(args)); }

Result Quiet(std::vector<std::string> args) {
    args.insert(args.begin(), "--no-notify");
    return Cfg(std::move(args));
}

std::string Snapshot() {
    return cesim::reg::ExportRegText(kSettingsPath);
}

void WriteDeviceFile(const std::u16string& path, const std::string& bytes) {
    std::ofstream(cesim::HostPath(path), std::ios::binary) << bytes;
}

std::string ReadDeviceFile(const std::u16string& path) {
    std::ifstream in(cesim::HostPath(path), std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<uint8_t> Utf16z(const std::u16string& s) {
    std::vector<uint8_t> bytes;
    for (char16_t c : s + u'\0') {
        bytes.push_back(uint8_t(c));
        bytes.push_back(uint8_t(c >> 8));
    }
    return bytes;
}

class VexoCfg : public vexotest::DeviceTest {
protected:
    void Seed() {
        std::string error;
        ASSERT_TRUE(cesim::reg::ImportRegText(kSeed, &error)) << error;
    }
    std::optional<DWORD> Dword(const std::string& name) {
        return cesim::reg::GetDword(kSettingsPath, name);
    }
};

TEST_F(VexoCfg, SetStoresEachKindAsTheRecordReadsIt) {
    EXPECT_EQ(Quiet({"set", "TapAction", "minimize"}).code, 0);
    EXPECT_EQ(Quiet({"set", "TapAndHoldAction", "CLOSE"}).code, 0);
    EXPECT_EQ(Quiet({"set", "GestureAction", "2"}).code, 0);
    EXPECT_EQ(Quiet({"set", "ShowDot", "off"}).code, 0);
    EXPECT_EQ(Quiet({"set", "CompactMode", "1"}).code, 0);
    EXPECT_EQ(Quiet({"set", "TLHWKey", "0xC1"}).code, 0);
    EXPECT_EQ(Quiet({"set", "LongPressTimeout", "60000"}).code, 0);
    EXPECT_EQ(Quiet({"set", "LogLevel", "7"}).code, 0);
    EXPECT_EQ(Dword("TapAction"), 1u);
    EXPECT_EQ(Dword("TapAndHoldAction"), 0u);
    EXPECT_EQ(Dword("GestureAction"), 2u);
    EXPECT_EQ(Dword("ShowDot"), 0u);
    EXPECT_EQ(Dword("CompactMode"), 1u);
    EXPECT_EQ(Dword("TLHWKey"), 193u);
    EXPECT_EQ(Dword("LongPressTimeout"), 60000u);
    EXPECT_EQ(Dword("LogLevel"), 7u);

    // Texts carry their terminator, as the loader and other readers expect.
    EXPECT_EQ(Quiet({"set", "LogFile", "\\Storage Card\\vexo.log"}).code, 0);
    auto logFile = cesim::reg::GetValue(kSettingsPath, "LogFile");
    ASSERT_TRUE(logFile);
    EXPECT_EQ(logFile->type, DWORD(REG_SZ));
    EXPECT_EQ(logFile->data, Utf16z(u"\\Storage Card\\vexo.log"));
    EXPECT_EQ(Quiet({"set", "WiFiDevice", ""}).code, 0);
    EXPECT_EQ(cesim::reg::GetValue(kSettingsPath, "WiFiDevice")->data, Utf16z(u""));

    Config c;
    ASSERT_EQ(c.Load(), ERROR_SUCCESS);
    EXPECT_EQ(c.TapAction, 1u);
    EXPECT_EQ(c.TLHWKey, 193u);
    EXPECT_EQ(U16(c.LogFile), u"\\Storage Card\\vexo.log");
}

TEST_F(VexoCfg, ColoursInEveryNotationBecomeTheSameColorref) {
    for (const char* text : {"0x112233", "#112233", "17,34,51", "17, 34, 51"}) {
        cesim::reg::DeleteValue(kSettingsPath, "ClrMenuBg");
        Result r = Quiet({"set", "ClrMenuBg", text});
        EXPECT_EQ(r.code, 0) << text << ": " << r.err;
        EXPECT_EQ(Dword("ClrMenuBg"), 0x00332211u) << text;
    }
    EXPECT_EQ(Quiet({"get", "ClrMenuBg"}).out, "0x112233\n");
}

TEST_F(VexoCfg, NamesIgnoreCaseAndTheRegistryKeepsTheCanonicalSpelling) {
    EXPECT_EQ(Quiet({"set", "tlhwkey", "5"}).code, 0);
    EXPECT_EQ(cesim::reg::ValueNames(kSettingsPath), std::vector<std::string>{"TLHWKey"});
    EXPECT_EQ(Quiet({"get", "TLHWKEY"}).out, "5\n");
}

TEST_F(VexoCfg, RefusedValuesExitOneAndWriteNothing) {
    Seed();
    const std::string before = Snapshot();
    const std::string longText(129, 'w');
    const std::string longDir = "\\" + std::string(247, 'd');
    const struct {
        std::vector<std::string> args;
        const char* says;
    } cases[] = {
        {{"set", "Colour", "1"}, "unknown setting \"Colour\""},
        {{"get", "Colour"}, "unknown setting"},
        {{"reset", "Colour"}, "unknown setting"},
        {{"set", "IgnoredApps", "\\x.exe"}, "is a list"},
        {{"set", "TapAction", "3"}, "not an action"},
        {{"set", "TapAction", "shut"}, "not an action"},
        {{"set", "ShowDot", "2"}, "on or off"},
        {{"set", "ShowDot", "yes"}, "on or off"},
        {{"set", "TLHWKey", "256"}, "out of range 0..255"},
        {{"set", "TLHWKey", "-1"}, "not a number"},
        {{"set", "TLHWKey", "12abc"}, "not a number"},
        {{"set", "TLHWKey", "4294967296"}, "not a number"},
        {{"set", "TLHWKey", ""}, "not a number"},
        {{"set", "AltTabTimeout", "60001"}, "out of range 0..60000"},
        {{"set", "LogLevel", "8"}, "out of range 0..7"},
        {{"set", "ClrMenuBg", "0x1000000"}, "not a colour"},
        {{"set", "ClrMenuBg", "256,0,0"}, "not a colour"},
        {{"set", "ClrMenuBg", "1,2"}, "not a colour"},
        {{"set", "ClrMenuBg", "1,2,3,4"}, "not a colour"},
        {{"set", "ClrMenuBg", "red"}, "not a colour"},
        {{"set", "LogFile", "vexo.log"}, "not a full path"},
        {{"set", "LogFile", ""}, "the path is empty"},
        {{"set", "WiFiDevice", "a\tb"}, "control characters"},
        {{"set", "WiFiDevice", longText}, "longer than 128"},
        {{"set", "InstallDir", longDir}, "longer than 247"},
        {{"set", "WiFiDevice", "\xC3("}, "not UTF-8"},
        {{"exception", "add", "tmail.exe", "close", "menu"}, "not a full path"},
        {{"exception", "add", "\\Windows\\x.exe", "3", "menu"}, "not an action"},
        {{"exception", "add", "\\Windows\\x.exe", "close", "banana"}, "not an action"},
        {{"exception", "remove", "\\Windows\\x.exe"}, "no exception for"},
        {{"ignore", "add", "a.exe"}, "not a full path"},
        {{"ignore", "remove", "\\Windows\\c.exe"}, "is not ignored"},
    };
    for (const auto& c : cases) {
        const std::string shown = c.args[0] + " " + c.args[1];
        Result r = Cfg(c.args);
        EXPECT_EQ(r.code, 1) << shown;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << shown << ": " << r.err;
        EXPECT_EQ(Snapshot(), before) << shown;
    }
}

TEST_F(VexoCfg, UsageErrorsExitTwo) {
    Seed();
    const std::string before = Snapshot();
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"frobnicate"},
        {"get"},
        {"set", "TapAction"},
        {"set", "TapAction", "1", "2"},
        {"list", "all"},
        {"exception"},
        {"exception", "add", "\\x.exe", "close"},
        {"ignore", "list", "extra"},
        {"--quiet", "list"},
        {"--no-notify"},
    };
    for (const auto& args : cases) {
        Result r = Cfg(args);
        EXPECT_EQ(r.code, 2) << (args.empty() ? "(nothing)" : args[0]);
        EXPECT_NE(r.err.find("--help"), std::string::npos) << r.err;
    }
    EXPECT_EQ(Snapshot(), before);
}

TEST_F(VexoCfg, HelpDocumentsEveryCommandSettingAndExitCode) {
    Result r = Cfg({"--help"});
    ASSERT_EQ(r.code, 0);
    for (const char* word :
         {"get NAME", "set NAME VALUE", "reset NAME", "list", "exception add", "exception remove",
          "exception list", "ignore add", "ignore remove", "ignore list", "import FILE",
          "export FILE", "--no-notify", "0x00BBGGRR", "Exit codes"})
        EXPECT_NE(r.out.find(word), std::string::npos) << word;
    for (const char* name : {"InstallDir", "TLHWKey", "ClrMenuFg", "LongPressTimeout", "LogFile",
                             "LogLevel", "Page", "KillTimeout"})
        EXPECT_NE(r.out.find(std::string("  ") + name + " "), std::string::npos) << name;
    EXPECT_EQ(Cfg({"help"}).out, r.out);
}

TEST_F(VexoCfg, GetShowsStoredValuesAndMarksDefaults) {
    Seed();
    cesim::reg::SetDword(kSettingsPath, "ShowDot", 5);
    cesim::reg::SetDword(kSettingsPath, "GestureAction", 9);
    cesim::reg::SetString(kSettingsPath, "LongPressTimeout", u"800");
    const struct {
        const char* name;
        const char* shown;
    } cases[] = {
        {"TapAction", "minimize"},
        {"TapAndHoldAction", "menu (default)"},
        {"LogFile", "\"\\my.log\""},
        {"WiFiDevice", "\"\" (default)"},
        {"ClrMenuHiBg", "system COLOR_HIGHLIGHT (default)"},
        {"AltTab", "on (default)"},
        // What another program stored, shown as vexo will take it.
        {"ShowDot", "on (stored as 5)"},
        {"GestureAction", "9 (out of range)"},
        {"LongPressTimeout", "500 (default: what is stored is not a 4-byte number)"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Quiet({"get", c.name}).out, std::string(c.shown) + "\n") << c.name;
}

TEST_F(VexoCfg, ListShowsEverySettingThenBothLists) {
    Seed();
    Result r = Quiet({"list"});
    ASSERT_EQ(r.code, 0) << r.err;
    std::vector<std::string> lines;
    std::istringstream in(r.out);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    ASSERT_EQ(lines.size(), 32u + 2 + 1 + 2);
    EXPECT_EQ(lines[0], "InstallDir         = \"\" (default)");
    EXPECT_EQ(lines[1], "TapAction          = minimize");
    EXPECT_EQ(lines[31], "LogLevel           = 0 (default)");
    EXPECT_EQ(lines[32], "Exceptions:");
    EXPECT_EQ(lines[33], "  \\Windows\\tmail.exe  tap menu, gesture close");
    EXPECT_EQ(lines[34], "IgnoredApps:");
    EXPECT_EQ(lines[35], "  \\Windows\\a.exe");
    EXPECT_EQ(lines[36], "  \\Windows\\b.exe");

    cesim::reg::DeleteKey(kSettingsPath);
    r = Quiet({"list"});
    EXPECT_NE(r.out.find("TapAction          = close (default)\n"), std::string::npos);
    EXPECT_NE(r.out.find("Exceptions: none\nIgnoredApps: none\n"), std::string::npos);
}

TEST_F(VexoCfg, ResetDeletesOnlyThatValue) {
    Seed();
    Result r = Quiet({"reset", "TapAction"});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out, "TapAction = close (default)\n");
    EXPECT_FALSE(cesim::reg::GetValue(kSettingsPath, "TapAction"));
    EXPECT_TRUE(cesim::reg::GetValue(kSettingsPath, "LogFile"));
    EXPECT_TRUE(cesim::reg::GetValue(kSettingsPath, "Unrelated"));
    // Nothing stored is already the default.
    EXPECT_EQ(Quiet({"reset", "TapAction"}).code, 0);
    cesim::reg::DeleteKey(kSettingsPath);
    EXPECT_EQ(Quiet({"reset", "ShowDot"}).code, 0);
    EXPECT_FALSE(cesim::reg::KeyExists(kSettingsPath));
}

TEST_F(VexoCfg, ExceptionsAreOneSubkeyPerProgramMatchedWithoutCase) {
    ASSERT_EQ(Quiet({"exception", "add", "\\Windows\\tmail.exe", "minimize", "menu"}).code, 0);
    ASSERT_EQ(Quiet({"exception", "add", "\\Storage\\tmail.exe", "close", "close"}).code, 0);
    const std::vector<std::string> keys = cesim::reg::SubKeys(kExceptions);
    ASSERT_EQ(keys.size(), 2u);
    EXPECT_NE(keys[0], keys[1]);
    const std::string first = kExceptions + "\\" + keys[0];
    EXPECT_EQ(cesim::reg::GetString(first, "ExeName"), u"\\Windows\\tmail.exe");
    EXPECT_EQ(cesim::reg::GetDword(first, "TapAction"), 1u);
    EXPECT_EQ(cesim::reg::GetDword(first, "GestureAction"), 2u);

    // The same program again, in other case, updates its exception in place.
    Result r = Quiet({"exception", "add", "\\WINDOWS\\TMAIL.EXE", "menu", "close"});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out, "updated \\WINDOWS\\TMAIL.EXE  tap menu, gesture close\n");
    EXPECT_EQ(cesim::reg::SubKeys(kExceptions), keys);
    EXPECT_EQ(cesim::reg::GetDword(first, "TapAction"), 2u);

    EXPECT_EQ(Quiet({"exception", "list"}).out, "\\WINDOWS\\TMAIL.EXE  tap menu, gesture close\n"
                                                "\\Storage\\tmail.exe  tap close, gesture close\n");

    EXPECT_EQ(Quiet({"exception", "remove", "\\windows\\tmail.exe"}).code, 0);
    EXPECT_EQ(cesim::reg::SubKeys(kExceptions), std::vector<std::string>{keys[1]});

    Config c;
    c.Load();
    ASSERT_EQ(c.ExceptionsCount, 1);
    EXPECT_EQ(U16(c.Exceptions[0]->ExeName), u"\\Storage\\tmail.exe");
    EXPECT_EQ(c.Exceptions[0]->GestureAction, 0u);
}

TEST_F(VexoCfg, ExceptionRemoveTakesEveryDuplicateAndListShowsMissingValues) {
    cesim::reg::SetString(kExceptions + "\\one", "ExeName", u"\\Windows\\pword.exe");
    cesim::reg::SetString(kExceptions + "\\two", "ExeName", u"\\windows\\PWORD.exe");
    cesim::reg::SetDword(kExceptions + "\\nameless", "TapAction", 1);
    EXPECT_EQ(Quiet({"exception", "list"}).out,
              "\\Windows\\pword.exe  tap close (default), gesture minimize (default)\n"
              "\\windows\\PWORD.exe  tap close (default), gesture minimize (default)\n"
              "(no ExeName in subkey nameless)  tap minimize, gesture minimize (default)\n");
    EXPECT_EQ(Quiet({"exception", "remove", "\\Windows\\PWord.exe"}).code, 0);
    EXPECT_EQ(cesim::reg::SubKeys(kExceptions), std::vector<std::string>{"nameless"});
}

TEST_F(VexoCfg, IgnoredAppsStayNumberedWithoutGaps) {
    for (const char* path : {"\\Windows\\a.exe", "\\Windows\\b.exe", "\\Windows\\c.exe"})
        ASSERT_EQ(Quiet({"ignore", "add", path}).code, 0);
    EXPECT_EQ(cesim::reg::ValueNames(kIgnored),
              (std::vector<std::string>{"Item0", "Item1", "Item2"}));

    // Taking the middle one out moves the last one down.
    EXPECT_EQ(Quiet({"ignore", "remove", "\\WINDOWS\\B.EXE"}).code, 0);
    EXPECT_EQ(cesim::reg::GetString(kIgnored, "Item0"), u"\\Windows\\a.exe");
    EXPECT_EQ(cesim::reg::GetString(kIgnored, "Item1"), u"\\Windows\\c.exe");
    EXPECT_FALSE(cesim::reg::GetValue(kIgnored, "Item2"));
    EXPECT_EQ(cesim::reg::ValueNames(kIgnored).size(), 2u);

    // A path already there is not added twice.
    const std::string before = Snapshot();
    Result r = Quiet({"ignore", "add", "\\windows\\C.exe"});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out, "\\windows\\C.exe is already ignored\n");
    EXPECT_EQ(Snapshot(), before);

    Config c;
    c.Load();
    ASSERT_EQ(c.IgnoredAppsCount, 2);
    EXPECT_EQ(U16(c.IgnoredApps[1]), u"\\Windows\\c.exe");
    EXPECT_EQ(Quiet({"ignore", "list"}).out, "\\Windows\\a.exe\n\\Windows\\c.exe\n");
}

TEST_F(VexoCfg, AGapLeftByAnotherProgramIsShownAndClosedByTheNextChange) {
    cesim::reg::SetString(kIgnored, "Item0", u"\\Windows\\a.exe");
    cesim::reg::SetString(kIgnored, "Item2", u"\\Windows\\c.exe");
    EXPECT_EQ(Quiet({"ignore", "list"}).out,
              "\\Windows\\a.exe\n"
              "\\Windows\\c.exe  (vexo does not read it: the items have a gap)\n");
    ASSERT_EQ(Quiet({"ignore", "add", "\\Windows\\d.exe"}).code, 0);
    EXPECT_EQ(cesim::reg::GetString(kIgnored, "Item1"), u"\\Windows\\c.exe");
    EXPECT_EQ(cesim::reg::GetString(kIgnored, "Item2"), u"\\Windows\\d.exe");
    EXPECT_EQ(cesim::reg::ValueNames(kIgnored).size(), 3u);
}

TEST_F(VexoCfg, ImportMergesSetsAndDeletes) {
    Seed();
    WriteDeviceFile(u"\\in.reg",
                    "\xEF\xBB\xBFREGEDIT4\r\n\r\n"
                    "; comments and blank lines are allowed\r\n"
                    "[HKEY_CURRENT_USER\\Software\\Holmvest\\Vexo]\r\n"
                    "\"ShowDot\"=dword:00000000\r\n"
                    "\"clrmenubg\"=dword:00332211\r\n"
                    "\"LogFile\"=-\r\n"
                    "\"WiFiDevice\"=\"WLAN1\"\r\n\r\n"
                    "[-HKEY_CURRENT_USER\\Software\\Holmvest\\Vexo\\Exceptions\\tmail]\r\n"
                    "[HKCU\\Software\\Holmvest\\Vexo\\Exceptions\\calc]\r\n"
                    "\"ExeName\"=\"\\\\Windows\\\\calc.exe\"\r\n"
                    "\"GestureAction\"=hex(4):02,00,00,00\r\n\r\n"
                    "[HKEY_CURRENT_USER\\Software\\Holmvest\\Vexo\\IgnoredApps]\r\n"
                    "\"Item2\"=\"\\\\Windows\\\\c.exe\"\r\n");
    Result r = Quiet({"import", "\\in.reg"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(Dword("TapAction"), 1u); // not in the file: kept
    EXPECT_EQ(Dword("ShowDot"), 0u);
    EXPECT_EQ(Dword("ClrMenuBg"), 0x00332211u);
    EXPECT_FALSE(cesim::reg::GetValue(kSettingsPath, "LogFile"));
    EXPECT_EQ(cesim::reg::GetString(kSettingsPath, "WiFiDevice"), u"WLAN1");
    EXPECT_EQ(cesim::reg::SubKeys(kExceptions), std::vector<std::string>{"calc"});
    EXPECT_EQ(cesim::reg::GetDword(kExceptions + "\\calc", "GestureAction"), 2u);
    EXPECT_EQ(cesim::reg::GetString(kIgnored, "Item2"), u"\\Windows\\c.exe");

    // A file that starts by deleting the key replaces the settings as a whole.
    WriteDeviceFile(u"\\in.reg", "REGEDIT4\n[-HKEY_CURRENT_USER\\Software\\Holmvest\\Vexo]\n"
                                 "[HKEY_CURRENT_USER\\Software\\Holmvest\\Vexo]\n"
                                 "\"TLHWKey\"=dword:000000c1\n");
    ASSERT_EQ(Quiet({"import", "\\in.reg"}).code, 0);
    EXPECT_EQ(cesim::reg::ValueNames(kSettingsPath), std::vector<std::string>{"TLHWKey"});
    EXPECT_TRUE(cesim::reg::SubKeys(kSettingsPath).empty());
}

TEST_F(VexoCfg, ImportRefusesAWholeFileForOneBadStatement) {
    Seed();
    const std::string before = Snapshot();
    const std::string key = "[HKEY_CURRENT_USER\\Software\\Holmvest\\Vexo]\n";
    // A good first value, so that a partial import would show.
    const std::string head = "REGEDIT4\n\n" + key + "\"ShowDot\"=dword:00000000\n";
    const struct {
        std::string text;
        const char* says;
    } cases[] = {
        {"\xFF\xFER\0E\0", "UTF-16"},
        {head + "[HKEY_LOCAL_MACHINE\\Software\\Holmvest\\Vexo]\n", "is outside"},
        {head + "[HKEY_CURRENT_USER\\Software\\Holmvest]\n", "is outside"},
        {head + "[HKEY_CURRENT_USER\\Software\\Holmvest\\VexoOld]\n", "is outside"},
        {head + "[-HKEY_CURRENT_USER\\Software]\n", "is outside"},
        {head + "[HKEY_CURRENT_USER\\Software\\Holmvest\\Vexo\\Themes]\n", "no key of vexo"},
        {head + "[HKEY_CURRENT_USER\\Software\\Holmvest\\Vexo\\Exceptions\\a\\b]\n",
         "no key of vexo"},
        {head + "\"Colour\"=dword:00000001\n", "line 5: unknown setting \"Colour\""},
        {head + "@=\"x\"\n", "unknown setting \"@\""},
        {head + "\"TapAction\"=\"1\"\n", "TapAction must be a dword"},
        {head + "\"TapAction\"=dword:00000003\n", "not an action"},
        {head + "\"ShowDot\"=dword:00000002\n", "on or off"},
        {head + "\"ClrMenuFg\"=dword:01000000\n", "not a colour"},
        {head + "\"LogFile\"=dword:00000001\n", "LogFile must be a string"},
        {head + "\"LogFile\"=hex(1):5c,00,61,00\n", "no terminator"},
        {head + "\"LogFile\"=\"log.txt\"\n", "not a full path"},
        // The reader's own refusals are checked with the reader; one shows they reach the user.
        {head + "\"LogFile\"=\"\\\\a.log\n", "line 5: the closing quote is missing"},
        {head + "[HKEY_CURRENT_USER\\Software\\Holmvest\\Vexo\\Exceptions]\n\"x\"=\"\\\\y\"\n",
         "one subkey per program"},
        {head + "[HKEY_CURRENT_USER\\Software\\Holmvest\\Vexo\\Exceptions\\new]\n"
                "\"TapAction\"=dword:00000001\n",
         "the exception new has no ExeName"},
        {head + "[HKEY_CURRENT_USER\\Software\\Holmvest\\Vexo\\Exceptions\\new]\n"
                "\"Program\"=\"\\\\x.exe\"\n",
         "not \"Program\""},
        {head + "[HKEY_CURRENT_USER\\Software\\Holmvest\\Vexo\\IgnoredApps]\n"
                "\"Item3\"=\"\\\\Windows\\\\d.exe\"\n",
         "without Item2"},
        {head + "[HKEY_CURRENT_USER\\Software\\Holmvest\\Vexo\\IgnoredApps]\n"
                "\"Item0\"=-\n",
         "without Item0"},
        {head + "[HKEY_CURRENT_USER\\Software\\Holmvest\\Vexo\\IgnoredApps]\n"
                "\"Item02\"=\"\\\\x.exe\"\n",
         "values named Item0, Item1"},
    };
    for (const auto& c : cases) {
        WriteDeviceFile(u"\\in.reg", c.text);
        Result r = Quiet({"import", "\\in.reg"});
        EXPECT_EQ(r.code, 1) << c.says;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << c.says << ": " << r.err;
        EXPECT_EQ(Snapshot(), before) << c.says;
    }
}

TEST_F(VexoCfg, ExportedFileImportsBackToTheSameRegistry) {
    Seed();
    // Values no command writes still travel, byte for byte.
    cesim::reg::SetValue(kSettingsPath, "Odd", REG_SZ, {'a', 0, 'b'});
    cesim::reg::SetString(kSettingsPath, "Quote", u"say \"hi\" \\ \u00e9");
    const std::string before = Snapshot();
    Result r = Quiet({"export", "\\out.reg"});
    ASSERT_EQ(r.code, 0) << r.err;
    const std::string text = ReadDeviceFile(u"\\out.reg");
    EXPECT_EQ(text.rfind("REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Holmvest\\Vexo]\r\n", 0),
              0u);
    EXPECT_NE(text.find("\"TapAction\"=dword:00000001\r\n"), std::string::npos);
    EXPECT_NE(text.find("\"Quote\"=\"say \\\"hi\\\" \\\\ \xC3\xA9\"\r\n"), std::string::npos);
    EXPECT_NE(text.find("\"Odd\"=hex(1):61,00,62\r\n"), std::string::npos);

    // Read back by the device's own .reg reader...
    cesim::reg::DeleteKey(kSettingsPath);
    std::string error;
    ASSERT_TRUE(cesim::reg::ImportRegFile(cesim::HostPath(u"\\out.reg"), &error)) << error;
    EXPECT_EQ(Snapshot(), before);

    // ...and by import, for a file of settings alone.
    cesim::reg::DeleteValue(kSettingsPath, "Odd");
    cesim::reg::DeleteValue(kSettingsPath, "Quote");
    cesim::reg::DeleteValue(kSettingsPath, "Unrelated");
    const std::string settingsOnly = Snapshot();
    ASSERT_EQ(Quiet({"export", "\\out.reg"}).code, 0);
    cesim::reg::DeleteKey(kSettingsPath);
    r = Quiet({"import", "\\out.reg"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(Snapshot(), settingsOnly);
}

TEST_F(VexoCfg, FileFailuresExitThree) {
    Seed();
    const std::string before = Snapshot();
    Result r = Quiet({"import", "\\missing.reg"});
    EXPECT_EQ(r.code, 3);
    EXPECT_NE(r.err.find("\\missing.reg: not found"), std::string::npos) << r.err;

    EXPECT_EQ(Quiet({"export", "\\no folder\\out.reg"}).code, 3);
    cesim::InjectFailure("WriteFile", ERROR_DISK_FULL, 1);
    r = Quiet({"export", "\\out.reg"});
    EXPECT_EQ(r.code, 3);
    EXPECT_NE(r.err.find("disk full"), std::string::npos) << r.err;
    // No half-written file is left behind to be imported later.
    EXPECT_FALSE(std::ifstream(cesim::HostPath(u"\\out.reg")).good());
    EXPECT_EQ(Snapshot(), before);
}

TEST_F(VexoCfg, RegistryFailuresExitThreeAndUndoWhatWasWritten) {
    Seed();
    const std::string before = Snapshot();
    cesim::reg::FailWrite(kIgnored, ERROR_ACCESS_DENIED);
    Result r = Quiet({"ignore", "remove", "\\Windows\\a.exe"});
    EXPECT_EQ(r.code, 3);
    EXPECT_NE(r.err.find("IgnoredApps: access denied"), std::string::npos) << r.err;
    EXPECT_EQ(Snapshot(), before);

    // The settings key's values are written before its subkeys: they must be put back.
    WriteDeviceFile(u"\\in.reg", "REGEDIT4\n[HKEY_CURRENT_USER\\Software\\Holmvest\\Vexo]\n"
                                 "\"ShowDot\"=dword:00000000\n\"TapAction\"=dword:2\n"
                                 "[HKEY_CURRENT_USER\\Software\\Holmvest\\Vexo\\IgnoredApps]\n"
                                 "\"Item2\"=\"\\\\Windows\\\\c.exe\"\n");
    EXPECT_EQ(Quiet({"import", "\\in.reg"}).code, 3);
    EXPECT_EQ(Snapshot(), before);
    cesim::reg::ClearFailures();

    cesim::reg::FailOpen(kSettingsPath, ERROR_ACCESS_DENIED);
    EXPECT_EQ(Quiet({"get", "TapAction"}).code, 3);
    EXPECT_EQ(Quiet({"set", "TapAction", "menu"}).code, 3);
    cesim::reg::ClearFailures();
    EXPECT_EQ(Snapshot(), before);
    EXPECT_EQ(cesim::reg::OpenHandleCount(), 0u);
}

TEST_F(VexoCfg, AChangeWithoutARunningVexoSaysSoAndSucceeds) {
    Result r = Cfg({"set", "TapAction", "menu"});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out, "TapAction = menu\n");
    EXPECT_EQ(r.err, "vexocfg: vexo is not running; it reads the settings when it starts\n");
    EXPECT_EQ(Cfg({"get", "TapAction"}).err, "");
    EXPECT_EQ(Cfg({"--no-notify", "set", "TapAction", "close"}).err, "");
}

} // namespace
