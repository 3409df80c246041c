// vexo's texts on the simulated device: the language file in the installation folder overrides
// the string table, a broken one changes nothing, and the table goes with the program.
//
// Nothing vexo shows carries a text yet, so the running program's LoadUiString is asked from
// the driver, while vexo's own thread waits idle in its message loop.
#include "support/device_fixture.h"

#include <windows.h>

#include "config/language.h"

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

using vexotest::BootDevice;
using vexotest::FindButtonWindow;
using vexotest::kSettingsPath;
using vexotest::SendFromOtherProcess;
using vexotest::StartVexo;
using vexotest::U16;

namespace {

void WriteLanguageFile(const std::vector<uint8_t>& bytes,
                       const std::u16string& path = u"\\Program Files\\Vexo\\default.lng") {
    const std::string host = cesim::HostPath(path);
    std::filesystem::create_directories(std::filesystem::path(host).parent_path());
    std::ofstream out(host, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

std::vector<uint8_t> Utf16WithMark(const std::u16string& text) {
    std::vector<uint8_t> bytes = {0xFF, 0xFE};
    for (char16_t c : text) {
        bytes.push_back(uint8_t(c & 0xFF));
        bytes.push_back(uint8_t(c >> 8));
    }
    return bytes;
}

void Install() {
    BootDevice(96);
    cesim::reg::SetString(kSettingsPath, "InstallDir", u"\\Program Files\\Vexo");
}

TEST(LanguageScenario, TextsFromTheFileWinAndTheRestComeFromTheStringTable) {
    Install();
    WriteLanguageFile(Utf16WithMark(u"; Deutsch\r\n"
                                    u"40010=\"Anzeige a&us\"\r\n"
                                    u"40004=\"Soll das Ger\u00e4t neu starten?\"\r\n"));
    DWORD pid = StartVexo();
    ASSERT_TRUE(cesim::ProcessRunning(pid));
    ASSERT_NE(languageTable, nullptr);
    EXPECT_EQ(U16(LoadUiString(40010)), u"Anzeige a&us");
    EXPECT_EQ(U16(LoadUiString(40004)), u"Soll das Ger\u00e4t neu starten?");
    EXPECT_EQ(U16(LoadUiString(40016)), u"E&xit");
    EXPECT_EQ(U16(LoadUiString(40011)), u"Software &Reset");
    EXPECT_EQ(U16(LoadUiString(40022)), u"ERROR LOADING STRING");

    // The program's end takes the table and the ring with it.
    SendFromOtherProcess(FindButtonWindow(), WM_CLOSE);
    cesim::Settle();
    EXPECT_FALSE(cesim::ProcessRunning(pid));
    EXPECT_EQ(languageTable, nullptr);
    EXPECT_EQ(stringRing, nullptr);
}

TEST(LanguageScenario, TheFileIsFoundThroughEitherKindOfStringAndAnEmptyOneMeansTheRoot) {
    const struct {
        DWORD type;
        std::u16string folder;
    } installs[] = {
        {REG_SZ, u"\\Program Files\\Vexo"},
        {REG_EXPAND_SZ, u"\\Program Files\\Vexo"},
        {REG_SZ, u""},
    };
    BootDevice(96);
    WriteLanguageFile(Utf16WithMark(u"40010=\"Anzeige aus\"\r\n"));
    WriteLanguageFile(Utf16WithMark(u"40010=\"Display off, from the root\"\r\n"), u"\\default.lng");
    for (const auto& install : installs) {
        std::vector<uint8_t> data;
        for (char16_t c : install.folder + u'\0') {
            data.push_back(uint8_t(c));
            data.push_back(uint8_t(c >> 8));
        }
        cesim::reg::SetValue(kSettingsPath, "InstallDir", install.type, data);
        DWORD pid = StartVexo();
        EXPECT_EQ(U16(LoadUiString(40010)),
                  install.folder.empty() ? u"Display off, from the root" : u"Anzeige aus")
            << "type " << install.type;
        EXPECT_EQ(U16(LoadUiString(40016)), u"E&xit");
        SendFromOtherProcess(FindButtonWindow(), WM_CLOSE);
        ASSERT_FALSE(cesim::ProcessRunning(pid));
    }
}

TEST(LanguageScenario, WithoutAnInstallDirEveryTextComesFromTheStringTable) {
    BootDevice(96);
    WriteLanguageFile(Utf16WithMark(u"40010=\"Anzeige aus\"\r\n"));
    ASSERT_TRUE(cesim::ProcessRunning(StartVexo()));
    EXPECT_EQ(U16(LoadUiString(40010)), u"Display O&ff");
    EXPECT_EQ(U16(LoadUiString(40005)), u"Vexo");
}

TEST(LanguageScenario, ABrokenLanguageFileNeitherStopsVexoNorHidesTheStringTable) {
    Install();
    // No byte-order mark, a line of 3000 characters, a half character at the end, and then
    // bytes that are no text at all.
    std::vector<uint8_t> bytes;
    for (char16_t c : u"40010=\"" + std::u16string(3000, u'x') + u"\r\n40016=\"\"\"\r\n") {
        bytes.push_back(uint8_t(c & 0xFF));
        bytes.push_back(uint8_t(c >> 8));
    }
    for (int i = 0; i < 4097; ++i)
        bytes.push_back(uint8_t(i * 37 + 11));
    WriteLanguageFile(bytes);
    ASSERT_TRUE(cesim::ProcessRunning(StartVexo()));
    EXPECT_NE(FindButtonWindow(), nullptr);
    EXPECT_EQ(U16(LoadUiString(40010)), u"Display O&ff");
    // Its first and last quote enclose a single quote.
    EXPECT_EQ(U16(LoadUiString(40016)), u"\"");
    EXPECT_EQ(U16(LoadUiString(40017)), u"Desktop");
}

} // namespace
