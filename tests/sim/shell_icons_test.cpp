// The shell's file icons: what SHGetFileInfo knows a file by, the system image lists and
// drawing from them with ImageList_DrawEx.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>

#include <cesim/device.h>
#include <cesim/gdi_trace.h>
#include <cesim/programs.h>
#include <cesim/shell_icons.h>

#include "platform/sim/src/shell_icon_art.h"

#include <cstring>
#include <fstream>

namespace {

const UINT kSmallIconFlags = SHGFI_SYSICONINDEX | SHGFI_ICON | SHGFI_SMALLICON;

struct Answer {
    DWORD_PTR list = 0;
    int index = -1;
    HICON icon = nullptr;
};

Answer Ask(const std::u16string& path, UINT flags = kSmallIconFlags) {
    SHFILEINFO info;
    std::memset(&info, 0, sizeof info);
    Answer a;
    a.list = SHGetFileInfo(reinterpret_cast<LPCWSTR>(path.c_str()), 0, &info, sizeof info, flags);
    a.index = info.iIcon;
    a.icon = info.hIcon;
    return a;
}

bool SameImage(const cesim::Surface& a, const cesim::Surface& b) {
    return a.width == b.width && a.height == b.height && a.pixels == b.pixels;
}

void StartProgramWithIcon(const std::u16string& path, cesim::ShellIcon icon) {
    cesim::SimProgram p;
    p.modulePath = path;
    p.icon = icon;
    cesim::SimWindow w;
    w.title = u"Program";
    p.windows.push_back(w);
    cesim::StartSimulatedProgram(p);
}

class ShellIconTest : public ::testing::Test {
protected:
    void SetUp() override { cesim::Boot(); }
};

TEST(ShellIconArt, EveryPictureIsSixteenRowsOfSixteenKnownLetters) {
    for (size_t i = 0; i < cesim::kIconArtCount; ++i) {
        const cesim::IconArt& art = cesim::kIconArt[i];
        for (int y = 0; y < cesim::kArtSize; ++y)
            ASSERT_EQ(std::strlen(art.rows[y]), size_t(cesim::kArtSize)) << i << " row " << y;
        cesim::Surface image = cesim::ShellIconImage(art.icon, cesim::kArtSize);
        int painted = 0, letters = 0;
        for (int y = 0; y < cesim::kArtSize; ++y)
            for (int x = 0; x < cesim::kArtSize; ++x) {
                letters += art.rows[y][x] != '.';
                painted += image.at(x, y) != cesim::kTransparent;
            }
        EXPECT_EQ(painted, letters) << "picture " << i << " has a letter without a colour";
    }
}

TEST_F(ShellIconTest, FilesAreKnownByShortcutProgramImageOrExistence) {
    StartProgramWithIcon(u"\\Windows\\notes.exe", cesim::ShellIcon::Notes);
    StartProgramWithIcon(u"\\Windows\\plain.exe", cesim::ShellIcon::None);
    cesim::ProgramImage image;
    image.entry = [](HINSTANCE, HINSTANCE, LPWSTR, int) { return 0; };
    image.modulePath = u"\\Program Files\\Vexo\\vexo.exe";
    image.resources = cesim::ProgramResourceSection();
    cesim::InstallProgram(image);
    CreateDirectoryW(L"\\Windows", nullptr);
    CreateDirectoryW(L"\\Windows\\Start Menu", nullptr);
    std::ofstream(cesim::HostPath(u"\\Windows\\Start Menu\\Notes.lnk"))
        << "21#\"\\Windows\\notes.exe\"";
    std::ofstream(cesim::HostPath(u"\\Windows\\readme.exe")) << "MZ";

    struct Case {
        const char16_t* path;
        std::optional<cesim::ShellIcon> art; // nullopt: from the program's resources
        bool known;
    } cases[] = {
        {u"\\WINDOWS\\Calendar.lnk", cesim::ShellIcon::Calendar, true},
        {u"\\windows\\addrbook.lnk", cesim::ShellIcon::Contacts, true},
        {u"\\Windows\\notes.exe", cesim::ShellIcon::Notes, true},
        {u"\\Windows\\Start Menu\\Notes.lnk", cesim::ShellIcon::Notes, true},
        {u"\\Windows\\plain.exe", cesim::ShellIcon::Program, true},
        {u"\\Windows\\readme.exe", cesim::ShellIcon::Program, true},
        {u"\\Program Files\\Vexo\\vexo.exe", std::nullopt, true},
        {u"", cesim::ShellIcon::Program, false},
        {u"\\Windows\\missing.exe", cesim::ShellIcon::Program, false},
        {u"\\Windows\\missing.lnk", cesim::ShellIcon::Program, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(cesim::Narrow(c.path));
        Answer a = Ask(c.path);
        if (!c.known) {
            EXPECT_EQ(a.list, 0u);
            EXPECT_EQ(a.icon, nullptr);
            continue;
        }
        ASSERT_EQ(a.list, DWORD_PTR(cesim::SystemImageList(true)));
        cesim::Surface shown = cesim::ImageListImage(cesim::SystemImageList(true), a.index);
        if (c.art) {
            EXPECT_TRUE(SameImage(shown, cesim::ShellIconImage(*c.art, 16)));
        } else {
            EXPECT_EQ(shown.width, 16);
            EXPECT_FALSE(SameImage(shown, cesim::ShellIconImage(cesim::ShellIcon::Program, 16)))
                << "the program's own icon, not the default one";
        }
        EXPECT_TRUE(DestroyIcon(a.icon));
    }
}

TEST_F(ShellIconTest, EachIconIsListedOnceAndEveryAnswerHandsOutAnIconOfItsOwn) {
    size_t before = cesim::LiveIcons(GetCurrentProcessId());
    Answer first = Ask(u"\\windows\\tasks.lnk");
    Answer second = Ask(u"\\Windows\\TASKS.LNK");
    Answer other = Ask(u"\\windows\\calendar.lnk");
    EXPECT_EQ(first.index, second.index);
    EXPECT_NE(first.index, other.index);
    EXPECT_NE(first.icon, second.icon);
    EXPECT_EQ(cesim::LiveIcons(GetCurrentProcessId()), before + 3);
    DestroyIcon(first.icon);
    DestroyIcon(second.icon);
    DestroyIcon(other.icon);
    EXPECT_EQ(cesim::LiveIcons(GetCurrentProcessId()), before);

    Answer indexOnly = Ask(u"\\windows\\tasks.lnk", SHGFI_SYSICONINDEX | SHGFI_SMALLICON);
    EXPECT_EQ(indexOnly.icon, nullptr);
    EXPECT_EQ(indexOnly.index, first.index);
    Answer large = Ask(u"\\windows\\tasks.lnk", SHGFI_SYSICONINDEX);
    EXPECT_EQ(large.list, DWORD_PTR(cesim::SystemImageList(false)));
    int cx = 0, cy = 0;
    EXPECT_TRUE(ImageList_GetIconSize(cesim::SystemImageList(false), &cx, &cy));
    EXPECT_EQ(cx, 32);
}

TEST_F(ShellIconTest, SmallIconsFollowTheDisplaysDpi) {
    cesim::BootOptions options;
    options.dpi = 192;
    options.width = 480;
    options.height = 640;
    cesim::Boot(options);
    Answer a = Ask(u"\\windows\\calendar.lnk");
    cesim::Surface shown = cesim::ImageListImage(cesim::SystemImageList(true), a.index);
    EXPECT_TRUE(SameImage(shown, cesim::ShellIconImage(cesim::ShellIcon::Calendar, 32)));
    DestroyIcon(a.icon);
}

TEST_F(ShellIconTest, DrawExLeavesTheBackgroundOrFillsItAndCutsToTheSizeAsked) {
    Answer a = Ask(u"\\windows\\calendar.lnk");
    DestroyIcon(a.icon);
    HIMAGELIST list = reinterpret_cast<HIMAGELIST>(a.list);
    HDC dc = CreateCompatibleDC(nullptr);
    HDC screen = GetDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 40, 20);
    ReleaseDC(nullptr, screen);
    HGDIOBJ old = SelectObject(dc, bitmap);
    RECT all = {0, 0, 40, 20};
    HBRUSH grey = CreateSolidBrush(RGB(10, 20, 30));
    FillRect(dc, &all, grey);
    DeleteObject(grey);

    cesim::StartGdiTraceOfThread(GetCurrentThreadId());
    EXPECT_TRUE(ImageList_DrawEx(list, a.index, dc, 0, 0, 16, 16, CLR_NONE, CLR_NONE, ILD_NORMAL));
    EXPECT_TRUE(
        ImageList_DrawEx(list, a.index, dc, 20, 0, 8, 4, RGB(0, 0, 255), CLR_NONE, ILD_NORMAL));
    EXPECT_FALSE(ImageList_DrawEx(list, 999, dc, 0, 0, 0, 0, CLR_NONE, CLR_NONE, ILD_NORMAL));
    cesim::StopGdiTrace();
    ASSERT_EQ(cesim::GdiTrace().size(), 3u);
    EXPECT_EQ(cesim::Describe(cesim::GdiTrace()[0]).substr(0, 16), "ImageList_DrawEx");

    cesim::Surface art = cesim::ShellIconImage(cesim::ShellIcon::Calendar, 16);
    EXPECT_EQ(GetPixel(dc, 0, 0), RGB(10, 20, 30)) << "a transparent corner shows what was there";
    EXPECT_EQ(GetPixel(dc, 1, 3), cesim::ColorrefFromPixel(art.at(1, 3)));
    EXPECT_EQ(GetPixel(dc, 20, 0), RGB(0, 0, 255)) << "the background colour fills it";
    EXPECT_EQ(GetPixel(dc, 21, 3), cesim::ColorrefFromPixel(art.at(1, 3)));
    EXPECT_EQ(GetPixel(dc, 21, 4), RGB(10, 20, 30)) << "only four rows were asked for";
    EXPECT_EQ(GetPixel(dc, 28, 2), RGB(10, 20, 30)) << "only eight columns were asked for";
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
}

} // namespace
