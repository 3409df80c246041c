// The task list: which top-level windows become tasks, in which order, and under which title.
#include "support/device_fixture.h"

#include <windows.h>

#include <cesim/programs.h>

#include "config/config.h"
#include "shell/mainwindow.h"
#include "tasks/tasklist.h"

#include <string>
#include <vector>

using cesim::SimProgram;
using cesim::SimWindow;
using vexotest::U16;

namespace {

SimWindow Window(const std::u16string& title, const std::u16string& className = u"App",
                 DWORD style = WS_VISIBLE, DWORD exStyle = 0) {
    SimWindow w;
    w.title = title;
    w.className = className;
    w.style = style;
    w.exStyle = exStyle;
    return w;
}

cesim::RunningProgram Start(const std::u16string& path, std::vector<SimWindow> windows) {
    SimProgram p;
    p.modulePath = path;
    p.windows = std::move(windows);
    return cesim::StartSimulatedProgram(p);
}

std::vector<std::u16string> TaskTitles() {
    std::vector<std::u16string> titles;
    for (int i = 0; i < taskTable.count; ++i)
        titles.push_back(U16(taskTable.entries[i]->title));
    return titles;
}

class TaskListTest : public vexotest::DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        desktopWindow = cesim::DesktopWindow();
        config.Load();
    }
    // A fresh device for the next case of a table.
    void Reboot() {
        vexotest::BootDevice();
        desktopWindow = cesim::DesktopWindow();
    }
    void TearDown() override {
        for (int i = 0; i < taskTable.count; ++i)
            delete taskTable.entries[i];
        taskTable.count = 0;
        DeviceTest::TearDown();
    }
};

TEST_F(TaskListTest, OnlyVisibleTitledApplicationWindowsAreListedTopmostFirst) {
    Start(u"\\Windows\\a.exe", {Window(u"Inbox")});
    Start(u"\\Windows\\b.exe", {Window(u"Hidden", u"App", 0)});
    Start(u"\\Windows\\c.exe", {Window(u"")});
    Start(u"\\Windows\\d.exe", {Window(u"Input panel", u"MS_SIPBUTTON")});
    Start(u"\\Windows\\e.exe", {Window(u"Label", u"static")});
    Start(u"\\Windows\\f.exe", {Window(u"Not quite static", u"Static")});
    Start(u"\\Windows\\g.exe", {Window(u"Tip", u"App", WS_VISIBLE | WS_POPUP, WS_EX_TOOLWINDOW)});
    Start(u"\\Windows\\h.exe", {Window(u"Calendar")});
    RefreshTaskList();
    EXPECT_EQ(TaskTitles(), (std::vector<std::u16string>{u"Calendar", u"Not quite static",
                                                         u"Inbox"}));
}

TEST_F(TaskListTest, OfTwoEqualTitlesOnlyTheHigherWindowIsListed) {
    auto lower = Start(u"\\Windows\\one.exe", {Window(u"Notes")});
    auto higher = Start(u"\\Windows\\two.exe", {Window(u"Notes")});
    RefreshTaskList();
    ASSERT_EQ(taskTable.count, 1);
    EXPECT_EQ(taskTable.entries[0]->window, higher.windows[0]);
    EXPECT_EQ(taskTable.entries[0]->processId, higher.processId);
}

TEST_F(TaskListTest, AnOwnedPopupIsListedUnderItsRootsTitleWithItsOwnHandle) {
    SimWindow owner = Window(u"Pocket Word");
    SimWindow dialog = Window(u"Save As", u"Dialog", WS_VISIBLE | WS_POPUP);
    dialog.owner = 0;
    auto word = Start(u"\\Windows\\pword.exe", {owner, dialog});
    RefreshTaskList();
    ASSERT_EQ(taskTable.count, 1);
    EXPECT_EQ(U16(taskTable.entries[0]->title), u"Pocket Word");
    EXPECT_EQ(taskTable.entries[0]->window, word.windows[1]);
    EXPECT_EQ(GetRootWindow(word.windows[1]), word.windows[0]);
}

TEST_F(TaskListTest, IgnoredProgramsMatchTheirPathWithoutRegardToCase) {
    cesim::reg::SetString(std::string(vexotest::kSettingsPath) + "\\IgnoredApps", "Item0",
                          u"\\WINDOWS\\Poutlook.EXE");
    config.Load();
    Start(u"\\Windows\\poutlook.exe", {Window(u"Messaging")});
    Start(u"\\Windows\\pie.exe", {Window(u"Internet Explorer")});
    RefreshTaskList();
    EXPECT_EQ(TaskTitles(), (std::vector<std::u16string>{u"Internet Explorer"}));
}

TEST_F(TaskListTest, AProcessThatCannotBeOpenedIsNotListed) {
    auto locked = Start(u"\\Windows\\services.exe", {Window(u"Services")});
    cesim::SetProcessOpenable(locked.processId, false);
    Start(u"\\Windows\\notes.exe", {Window(u"Notes")});
    RefreshTaskList();
    EXPECT_EQ(TaskTitles(), (std::vector<std::u16string>{u"Notes"}));
    TaskEntry locked_entry(L"Services", locked.processId, locked.windows[0], nullptr);
    WCHAR path[kMaxPathChars] = {'x', 0};
    GetTaskProgramPath(&locked_entry, path);
    EXPECT_EQ(U16(path), u"");
}

TEST_F(TaskListTest, TheTableStopsAtItsCapacityAndRefreshReplacesIt) {
    std::vector<SimWindow> many;
    for (int i = 0; i < kMaxTasks + 20; ++i)
        many.push_back(Window(u"Window " + std::u16string(1, char16_t(0x4E00 + i))));
    Start(u"\\Windows\\many.exe", many);
    RefreshTaskList();
    EXPECT_EQ(taskTable.count, kMaxTasks);
    for (int i = 0; i < taskTable.count; ++i)
        ASSERT_NE(taskTable.entries[i], nullptr);
    size_t blocks = cesim::HeapBlocks();
    RefreshTaskList();
    EXPECT_EQ(taskTable.count, kMaxTasks);
    EXPECT_EQ(cesim::HeapBlocks(), blocks);
}

TEST_F(TaskListTest, AnEntryThatCannotBeAllocatedLeavesNoHole) {
    Start(u"\\Windows\\a.exe", {Window(u"First")});
    Start(u"\\Windows\\b.exe", {Window(u"Second")});
    Start(u"\\Windows\\c.exe", {Window(u"Third")});
    // Two allocations make the topmost entry (the record, its title); the next record fails.
    cesim::FailAllocations(2, 1);
    RefreshTaskList();
    cesim::StopFailingAllocations();
    ASSERT_EQ(taskTable.count, 2);
    for (int i = 0; i < taskTable.count; ++i) {
        ASSERT_NE(taskTable.entries[i], nullptr);
        ASSERT_NE(taskTable.entries[i]->title, nullptr);
    }
}

bool Listed(HWND window) {
    for (int i = 0; i < taskTable.count; ++i)
        if (taskTable.entries[i]->window == window)
            return true;
    return false;
}

TEST_F(TaskListTest, EveryIgnoredClassIsLeftOutOfTheListAndPassedOverBelowAToolWindow) {
    const char16_t* const ignored[] = {
        u"DesktopExplorerWindow", u"MS_SIPBUTTON",     u"FAKEIMEUI", u"static",
        u"MS_SOFTKEY_CE_1.0",     u"tooltips_class32", u"OLEAUT32",  u"Ime",
        u"Default Ime",           u"menu_worker",
    };
    for (const char16_t* name : ignored) {
        Reboot();
        auto below = Start(u"\\Windows\\below.exe", {Window(u"Below")});
        auto helper = Start(u"\\Windows\\helper.exe", {Window(u"Helper window", name)});
        // Names compare exactly: one letter in another case is a class of its own.
        std::u16string other = name;
        other[0] = other[0] >= u'a' ? char16_t(other[0] - 32) : char16_t(other[0] + 32);
        auto lookalike = Start(u"\\Windows\\lookalike.exe", {Window(u"Lookalike", other)});
        auto tip = Start(u"\\Windows\\tip.exe",
                         {Window(u"Tip", u"Tip", WS_VISIBLE | WS_POPUP, WS_EX_TOOLWINDOW)});
        RefreshTaskList();
        const std::string why = cesim::Narrow(name);
        EXPECT_FALSE(IsTaskWindowClass(helper.windows[0])) << why;
        EXPECT_FALSE(Listed(helper.windows[0])) << why;
        EXPECT_TRUE(Listed(lookalike.windows[0])) << why;
        EXPECT_TRUE(Listed(below.windows[0])) << why;
        EXPECT_EQ(GetNextTaskWindow(tip.windows[0]), lookalike.windows[0]) << why;
        SendMessageW(lookalike.windows[0], WM_CLOSE, 0, 0);
        EXPECT_EQ(GetNextTaskWindow(tip.windows[0]), below.windows[0]) << why;
    }
}

TEST_F(TaskListTest, ToolWindowsTakeEveryBitOfEitherRule) {
    const DWORD childBar = 0x50000404, childBarEx = WS_EX_TOOLWINDOW | WS_EX_TOPMOST;
    const struct {
        DWORD style, exStyle;
        bool tool;
    } cases[] = {
        // A topmost tool bar: WS_CHILD | WS_VISIBLE with two bits of its class, topmost tool.
        {childBar, childBarEx, true},
        {childBar | WS_CAPTION, childBarEx | WS_EX_CAPTIONOKBTN, true},
        {childBar & ~DWORD(WS_CHILD), childBarEx, false},
        {childBar & ~DWORD(WS_VISIBLE), childBarEx, false},
        {childBar & ~DWORD(0x400), childBarEx, false},
        {childBar & ~DWORD(0x4), childBarEx, false},
        {childBar, WS_EX_TOPMOST, false},
        {childBar, WS_EX_TOOLWINDOW, false},
        // A popup tool window.
        {WS_POPUP | WS_VISIBLE, WS_EX_TOOLWINDOW, true},
        {WS_POPUP | WS_VISIBLE | WS_CAPTION, WS_EX_TOOLWINDOW | WS_EX_TOPMOST, true},
        {WS_VISIBLE, WS_EX_TOOLWINDOW, false},
        {WS_POPUP | WS_VISIBLE, 0, false},
        {WS_POPUP | WS_VISIBLE, WS_EX_TOPMOST, false},
    };
    for (const auto& c : cases) {
        Reboot();
        auto p = Start(u"\\Windows\\tool.exe", {Window(u"Tool")});
        // Set afterwards: a window made with WS_CHILD would need a parent.
        SetWindowLongW(p.windows[0], GWL_STYLE, LONG(c.style));
        SetWindowLongW(p.windows[0], GWL_EXSTYLE, LONG(c.exStyle));
        RefreshTaskList();
        EXPECT_EQ(IsToolWindow(p.windows[0]), c.tool) << std::hex << c.style << ", " << c.exStyle;
        // Every visible window of an accepted class is listed unless it is a tool window.
        if (c.style & WS_VISIBLE) {
            EXPECT_EQ(Listed(p.windows[0]), !c.tool) << std::hex << c.style << ", " << c.exStyle;
        }
    }
}

TEST_F(TaskListTest, NextTaskWindowSkipsWhatIsNotAWindowOfAnAcceptedClass) {
    auto below = Start(u"\\Windows\\below.exe", {Window(u"Below")});
    Start(u"\\Windows\\label.exe", {Window(u"Label", u"static")});
    Start(u"\\Windows\\hidden.exe", {Window(u"Hidden", u"App", 0)});
    auto tip = Start(u"\\Windows\\tip.exe",
                     {Window(u"Tip", u"Tip", WS_VISIBLE | WS_POPUP, WS_EX_TOOLWINDOW)});
    EXPECT_EQ(GetNextTaskWindow(tip.windows[0]), below.windows[0]);
    EXPECT_EQ(GetNextTaskWindow(below.windows[0]), cesim::DesktopWindow());
}

struct PathCase {
    int major, minor;
    const char16_t* module;
    const char16_t* className;
    const char16_t* expected;
};

void ExpectProgramPaths(const std::vector<PathCase>& cases) {
    for (const PathCase& c : cases) {
        auto p = Start(c.module, {Window(u"T", c.className)});
        TaskEntry entry(L"T", p.processId, p.windows[0], nullptr);
        WCHAR path[kMaxPathChars];
        GetTaskProgramPath(&entry, path);
        EXPECT_EQ(U16(path), std::u16string(c.expected))
            << "module " << cesim::Narrow(c.module) << " on " << c.major << "." << c.minor;
    }
}

TEST(TaskProgramPath, OnCe420) {
    vexotest::BootDevice(96, "", 4, 20);
    ExpectProgramPaths({
        {4, 20, u"\\windows\\calendar.exe", u"Calendar", u"\\windows\\calendar.lnk"},
        {4, 20, u"\\windows\\poutlook.exe", u"Contacts", u"\\windows\\addrbook.lnk"},
        {4, 20, u"\\windows\\poutlook.exe", u"MSContactsUI", u"\\windows\\addrbook.lnk"},
        {4, 20, u"\\windows\\poutlook.exe", u"Tasks Application", u"\\windows\\tasks.lnk"},
        {4, 20, u"\\windows\\poutlook.exe", u"calendar", u"\\windows\\poutlook.exe"},
        {4, 20, u"\\Windows\\ShFind.exe", u"App", u"\\windows\\find.lnk"},
        {4, 20, u"\\windows\\cprog.exe", u"App", u"\\windows\\cprog.exe"},
        {4, 20, u"\\windows\\pimg.exe", u"App", u"\\windows\\pimg.exe"},
    });
}

TEST(TaskProgramPath, OnCe51) {
    vexotest::BootDevice(96, "", 5, 1);
    ExpectProgramPaths({
        {5, 1, u"\\windows\\shfind.exe", u"App", u"\\windows\\search.lnk"},
        {5, 1, u"\\windows\\CPROG.exe", u"App", u"\\windows\\cprog.lnk"},
        {5, 1, u"\\windows\\atciui.exe", u"App", u"\\windows\\atciui.lnk"},
        {5, 1, u"\\windows\\pimg.exe", u"App", u"\\windows\\pimg.exe"},
        {5, 1, u"\\windows\\intshrui.exe", u"App", u"\\windows\\intshrui.exe"},
    });
}

TEST(TaskProgramPath, OnCe52) {
    vexotest::BootDevice(96, "", 5, 2);
    ExpectProgramPaths({
        {5, 2, u"\\windows\\pimg.exe", u"App", u"\\windows\\pimg.lnk"},
        {5, 2, u"\\windows\\intshrui.exe", u"App", u"\\windows\\intshrui.lnk"},
        {5, 2, u"\\windows\\cprog.exe", u"App", u"\\windows\\cprog.lnk"},
        {5, 2, u"\\Program Files\\Game\\game.exe", u"App", u"\\Program Files\\Game\\game.exe"},
    });
}

} // namespace
