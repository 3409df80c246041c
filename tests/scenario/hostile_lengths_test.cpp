// Titles and paths of every length, up to and past MAX_PATH, through each place that copies one:
// task titles in the menu, program paths against the ignored programs and the exceptions, the
// installation folder that leads to the language file, and the log file's name. A text that
// does not fit is cut where it is only shown, and refused where it names a file or a program.
#include "support/device_fixture.h"

#include "support/button_driver.h"

#include <windows.h>

#include <cesim/menus.h>
#include <cesim/programs.h>
#include <cesim/stylus.h>

#include "resources/resource.h"
#include "shell/commandids.h"
#include "tasks/tasklist.h"

#include <filesystem>
#include <fstream>
#include <string>

using vexotest::FindButtonWindow;

namespace {

const UINT kHotKey = 0xC1;

// A device path of exactly `length` characters below `prefix`, in folders of 100 letters (a
// host's file names stop at 255 bytes), ending in `name`.
std::u16string PathOfLength(const std::u16string& prefix, size_t length,
                            const std::u16string& name) {
    std::u16string path = prefix;
    while (path.size() + 1 + name.size() < length)
        path += (path.size() - prefix.size()) % 101 == 0 ? u'\\' : u'd';
    if (path.back() == u'\\')
        path.back() = u'd';
    path += u"\\" + name;
    return path.substr(0, std::max(length, prefix.size() + 1 + name.size()));
}

std::string RegText(const std::u16string& text) {
    std::string out;
    for (char c : cesim::Narrow(text))
        out += c == '\\' ? std::string("\\\\") : std::string(1, c);
    return out;
}

void WriteFileUtf16(const std::u16string& devicePath, const std::u16string& text) {
    std::string host = cesim::HostPath(devicePath);
    std::ofstream out(host, std::ios::binary);
    out.put(char(0xFF)).put(char(0xFE));
    for (char16_t c : text)
        out.put(char(c & 0xFF)).put(char(c >> 8));
}

void MakeFolders(const std::u16string& filePath) {
    for (size_t at = 1; (at = filePath.find(u'\\', at)) != std::u16string::npos; ++at)
        CreateDirectoryW(reinterpret_cast<const WCHAR*>(filePath.substr(0, at).c_str()), nullptr);
}

bool DeviceFileExists(const std::u16string& path) {
    return std::filesystem::is_regular_file(cesim::HostPath(path));
}

// The texts of the open menu's items, as their item data holds them.
std::vector<std::u16string> MenuTexts() {
    std::vector<std::u16string> texts;
    auto menu = cesim::ActiveMenu();
    if (!menu)
        return texts;
    for (const cesim::MenuItemInfo& item : cesim::MenuItems(menu->menu)) {
        const TaskEntry* entry = reinterpret_cast<const TaskEntry*>(item.data);
        texts.push_back(entry && entry->title ? vexotest::U16(entry->title) : std::u16string());
    }
    return texts;
}

bool Contains(const std::vector<std::u16string>& texts, const std::u16string& text) {
    return std::find(texts.begin(), texts.end(), text) != texts.end();
}

class HostileLength : public testing::TestWithParam<size_t> {};

TEST_P(HostileLength, TextsAreCutWhereShownAndRefusedWhereTheyNameAFile) {
    const size_t length = GetParam();
    const size_t kept = std::min<size_t>(length, MAX_PATH - 1);

    // A program with a path of this length, and another with a title of this length.
    std::u16string program = PathOfLength(u"\\Programs", length, u"app.exe");
    std::u16string title(length, u't');
    for (size_t i = 0; i < length; i += 10)
        title[i] = char16_t(u'0' + (i / 10) % 10);
    // The folder holds a language file that renames a menu command.
    std::u16string language = PathOfLength(u"\\Vexo", length, u"default.lng");
    std::u16string folder = language.substr(0, language.rfind(u'\\'));
    std::u16string log = PathOfLength(u"\\Logs", length, u"vexo.log");

    // The ignored program and the exception name the program's path cut to MAX_PATH: they
    // are the same program only when nothing was cut.
    std::string cut = RegText(program.substr(0, kept));
    vexotest::BootDevice(
        96, "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Holmvest\\Vexo]\n"
            "\"LogLevel\"=dword:00000002\n\"LogFile\"=\"" +
                RegText(log) + "\"\n\"InstallDir\"=\"" + RegText(folder) +
                "\"\n\"TLHWKey\"=dword:000000c1\n\"AltTab\"=dword:00000000\n"
                "[HKEY_CURRENT_USER\\Software\\Holmvest\\Vexo\\IgnoredApps]\n\"Item0\"=\"" +
                cut +
                "\"\n[HKEY_CURRENT_USER\\Software\\Holmvest\\Vexo\\Exceptions\\Long]\n"
                "\"ExeName\"=\"" +
                cut + "\"\n\"TapAction\"=dword:00000001\n");
    MakeFolders(language);
    WriteFileUtf16(language, cesim::Widen(std::to_string(IDS_SETTINGS) + "=\"Renamed\"\r\n"));
    MakeFolders(log);
    // Where a cut log name would land.
    if (length >= MAX_PATH)
        MakeFolders(log.substr(0, kept) + u"\\x");

    cesim::SimProgram titled;
    titled.modulePath = u"\\Windows\\titled.exe";
    cesim::SimWindow titledWindow;
    titledWindow.title = title;
    titled.windows.push_back(titledWindow);
    cesim::StartSimulatedProgram(titled);
    cesim::SimProgram pathed;
    pathed.modulePath = program;
    cesim::SimWindow pathedWindow;
    pathedWindow.title = u"Pathed";
    pathed.windows.push_back(pathedWindow);
    HWND pathedHandle = cesim::StartSimulatedProgram(pathed).windows[0];
    vexotest::StartVexo();
    ASSERT_TRUE(FindButtonWindow());

    cesim::PressHardwareKey(kHotKey);
    cesim::ReleaseHardwareKey(kHotKey);
    std::vector<std::u16string> texts = MenuTexts();
    ASSERT_FALSE(texts.empty());
    cesim::PressKey(VK_ESCAPE);
    // Titles are cut to the table's 126 characters, never dropped.
    EXPECT_TRUE(Contains(texts, title.substr(0, kTitleChars - 1)));
    // A cut path is another program's: only a path read whole is ignored.
    EXPECT_EQ(Contains(texts, u"Pathed"), length >= MAX_PATH);
    // The language file is read from a folder of any length a path may have.
    EXPECT_EQ(Contains(texts, u"Renamed"), folder.size() <= 1024);

    // The exception holds for the program only when its path was read whole.
    cesim::Tap(120, 200);
    ASSERT_EQ(GetForegroundWindow(), pathedHandle);
    vexotest::TapButton(14, 11);
    bool minimised = IsWindow(pathedHandle) && !IsWindowVisible(pathedHandle);
    EXPECT_EQ(minimised, length < MAX_PATH);

    // The log is where the settings say, never at a name cut short.
    if (length < MAX_PATH)
        EXPECT_TRUE(DeviceFileExists(log));
    else
        EXPECT_FALSE(DeviceFileExists(log.substr(0, kept)));
}

INSTANTIATE_TEST_SUITE_P(Lengths, HostileLength,
                         testing::Values(size_t(30), size_t(126), size_t(127), size_t(128),
                                         size_t(258), size_t(259), size_t(260), size_t(261),
                                         size_t(400), size_t(1100), size_t(4000)),
                         [](const testing::TestParamInfo<size_t>& info) {
                             return "Of" + std::to_string(info.param);
                         });

} // namespace
