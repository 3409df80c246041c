// What the button does with an action and a chosen menu command: exceptions per program, the
// command table, task items, minimising, the desktop, the settings program and Exit.
#include "support/device_fixture.h"

#include "support/button_driver.h"

#include <windows.h>

#include <cesim/programs.h>
#include <cesim/stylus.h>

#include "menu/taskmenu.h"
#include "shell/commandids.h"
#include "shell/gestures.h"
#include "tasks/tasklist.h"

#include <string>

using vexotest::BootWithNotes;
using vexotest::CloseLine;
using vexotest::CountLog;
using vexotest::FindButtonWindow;
using vexotest::LogMessages;
using vexotest::OnButton;
using vexotest::TapButton;

namespace {

// Posts the command as the task menu does once it has closed, and returns what the log
// gained meanwhile.
std::vector<std::string> RunCommand(WORD id) {
    size_t before = LogMessages().size();
    PostMessageW(FindButtonWindow(), WM_COMMAND, id, 0);
    cesim::Settle();
    std::vector<std::string> lines = LogMessages();
    std::vector<std::string> gained(lines.begin() + long(before), lines.end());
    // Ticks of the watch timer tell nothing about the command.
    std::vector<std::string> result;
    for (const std::string& line : gained)
        if (line.compare(0, 8, "OnTimer(") != 0 && line.compare(0, 19, "GetCloseButtonType(") != 0)
            result.push_back(line);
    return result;
}

std::string Handle(HWND window) {
    return std::to_string(INT_PTR(window));
}

void DragDown() {
    cesim::Drag(OnButton(14, 11), OnButton(14, 40), 60);
}

void HoldOnButton() {
    POINT p = OnButton(14, 11);
    cesim::StylusDown(p.x, p.y);
    cesim::Hold(600);
    cesim::StylusUp();
}

const char kNotesException[] = "[HKEY_CURRENT_USER\\Software\\Holmvest\\Vexo\\Exceptions\\Notes]";

TEST(Action, AnExceptionMatchesThePathWhateverItsCaseAndLeavesTheHoldAlone) {
    HWND notes =
        BootWithNotes(96, {kNotesException, "\"ExeName\"=\"\\\\WINDOWS\\\\notes.EXE\"",
                           "\"TapAction\"=dword:00000002", "\"GestureAction\"=dword:00000000"});
    TapButton(14, 11);
    EXPECT_EQ(CountLog("ShowTaskMenu()"), 1);
    EXPECT_EQ(CountLog(CloseLine(notes)), 0);
    TapButton(14, 11); // closes the menu
    DragDown();
    EXPECT_EQ(CountLog(CloseLine(notes)), 1);
    EXPECT_EQ(CountLog("OnMinimize("), 0);
    EXPECT_FALSE(IsWindow(notes));
    HoldOnButton();
    EXPECT_EQ(CountLog("ShowTaskMenu()"), 2);
}

TEST(Action, AProgramThatCannotBeOpenedGetsTheGlobalActions) {
    HWND notes = BootWithNotes(96, {kNotesException, "\"ExeName\"=\"\\\\Windows\\\\Notes.exe\"",
                                    "\"TapAction\"=dword:00000001"});
    cesim::SetProcessOpenable(cesim::Inspect(notes)->processId, false);
    TapButton(14, 11);
    EXPECT_EQ(CountLog(CloseLine(notes)), 1);
    EXPECT_EQ(CountLog("OnMinimize("), 0);
}

TEST(Action, APathTooLongToReadWholeMatchesNoException) {
    std::string folder = "\\" + std::string(300, 'p');
    std::string cut = folder.substr(0, MAX_PATH - 1);
    vexotest::BootDevice(
        96, vexotest::SettingsText({kNotesException, "\"ExeName\"=\"\\\\" + cut.substr(1) + "\"",
                                    "\"TapAction\"=dword:00000001"}));
    cesim::SimProgram program;
    program.modulePath = cesim::Widen(folder + "\\notes.exe");
    program.windows.push_back(cesim::SimWindow());
    HWND window = cesim::StartSimulatedProgram(program).windows[0];
    vexotest::StartVexo();
    TapButton(14, 11);
    EXPECT_EQ(CountLog(CloseLine(window)), 1);
    EXPECT_EQ(CountLog("OnMinimize("), 0);
}

TEST(Action, AnActionCodeOfThreeOrMoreDoesNothing) {
    HWND notes =
        BootWithNotes(96, {"\"TapAction\"=dword:00000003", "\"GestureAction\"=dword:00000007"});
    TapButton(14, 11);
    DragDown();
    EXPECT_EQ(CountLog("DoAction("), 2);
    EXPECT_EQ(CountLog(CloseLine(notes)), 0);
    EXPECT_EQ(CountLog("OnMinimize("), 0);
    EXPECT_EQ(CountLog("ShowTaskMenu()"), 0);
    EXPECT_EQ(GetForegroundWindow(), notes);
}

TEST(Command, EveryIdReachesItsRoutineAndOthersDoNothing) {
    HWND notes = BootWithNotes(96);
    HWND mail = vexotest::StartWindowProgram(u"Mail");
    struct Case {
        WORD id;
        std::vector<std::string> lines;
    } cases[] = {
        {CMD_SETTINGS, {"OnCommand()", "OnSettings()"}},
        {CMD_CLOSE_ALL, {"OnCommand()", "OnCloseAll()"}},
        {CMD_DISPLAY_OFF, {"OnCommand()", "DisplayOff()"}},
        {CMD_CLOSE_BACKGROUND, {"OnCommand()", "OnCloseAllButCurrent()"}},
        {CMD_LANDSCAPE_LEFT,
         {"OnCommand()", "OnRotateScreenLeft()", "GetScreenOrientation()",
          "SetScreenOrientation(4)"}},
        {CMD_LANDSCAPE_RIGHT,
         {"OnCommand()", "OnRotateScreenRight()", "GetScreenOrientation()",
          "SetScreenOrientation(1)"}},
        {CMD_POWER_OFF, {"OnCommand()", "PowerOff()"}},
        {CMD_MINIMIZE, {"OnCommand()", "OnMinimize(" + Handle(mail) + ")"}},
        {CMD_DESKTOP, {"OnCommand()", "OnShowDesktop()", "OnMinimize(" + Handle(notes) + ")"}},
        // Ids that are not commands, the menu's icon row among them.
        {40006, {"OnCommand()"}},
        {40011, {"OnCommand()"}},
        {40015, {"OnCommand()"}},
        {40017, {"OnCommand()"}},
        {40019, {"OnCommand()"}},
        {40021, {"OnCommand()"}},
        {CMD_ICON_ROW, {"OnCommand()"}},
        {0, {"OnCommand()"}},
        {0x7FFF, {"OnCommand()"}},
        {0x9000, {"OnCommand()"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "command " << c.id);
        menuOpen = true; // as the menu leaves it when a command was chosen
        EXPECT_EQ(RunCommand(c.id), c.lines);
        EXPECT_FALSE(menuOpen);
    }
    EXPECT_FALSE(IsWindowVisible(mail));
    EXPECT_FALSE(IsWindowVisible(notes));
    EXPECT_EQ(GetForegroundWindow(), cesim::DesktopWindow());
}

TEST(Command, ExitEndsTheLoopWith0WithoutDestroyingTheButtonFirst) {
    vexotest::BootDevice(96, vexotest::SettingsText());
    DWORD vexo = vexotest::StartVexo();
    RunCommand(CMD_EXIT);
    ASSERT_FALSE(cesim::ProcessRunning(vexo));
    EXPECT_EQ(cesim::ProcessExitCode(vexo), 0);
    EXPECT_EQ(CountLog("OnDestroy()"), 0);
    // The end of the process took the window with its icons and fonts.
    EXPECT_EQ(cesim::ProcessExitReport(vexo).windows, 1u);
}

TEST(Command, ATaskItemBringsItsProgramToTheFrontAndItsCloseMarkClosesIt) {
    HWND notes = BootWithNotes(96);
    HWND mail = vexotest::StartWindowProgram(u"Mail");
    RefreshTaskList(); // as the menu does when it opens
    ASSERT_EQ(taskTable.count, 2);
    ASSERT_EQ(taskTable.entries[0]->window, mail);
    RunCommand(CMD_TASK_FIRST + 1);
    EXPECT_EQ(GetForegroundWindow(), notes);
    CloseTapFlag = true;
    RunCommand(CMD_TASK_FIRST + 0);
    EXPECT_EQ(CountLog(CloseLine(mail)), 1);
    // Entries refreshed away since the menu was built do nothing.
    for (WORD stale : {WORD(CMD_TASK_FIRST + 2), WORD(CMD_TASK_LAST)})
        EXPECT_EQ(RunCommand(stale), std::vector<std::string>{"OnCommand()"});
    EXPECT_EQ(GetForegroundWindow(), notes);
}

// A program that takes the front back whenever it is minimised.
void StartStubbornProgram() {
    cesim::StartHelperProcess(u"\\Windows\\stubborn.exe", [] {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = [](HWND w, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
            if (m == WM_SHOWWINDOW && !wp)
                ShowWindow(w, SW_SHOW);
            return DefWindowProcW(w, m, wp, lp);
        };
        wc.lpszClassName = L"Stubborn";
        RegisterClassW(&wc);
        CreateWindowExW(0, L"Stubborn", L"Stubborn", WS_VISIBLE, 0, 26, 240, 294, nullptr, nullptr,
                        nullptr, nullptr);
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0))
            DispatchMessageW(&msg);
    });
}

TEST(Command, ShowDesktopMinimisesEachProgramInFrontUntilTheDesktopShows) {
    HWND notes = BootWithNotes(96);
    HWND mail = vexotest::StartWindowProgram(u"Mail");
    RunCommand(CMD_DESKTOP);
    EXPECT_FALSE(IsWindowVisible(mail));
    EXPECT_FALSE(IsWindowVisible(notes));
    EXPECT_EQ(GetForegroundWindow(), cesim::DesktopWindow());
    // With the desktop in front the command does nothing more.
    EXPECT_EQ(RunCommand(CMD_DESKTOP),
              (std::vector<std::string>{"OnCommand()", "OnShowDesktop()"}));
}

TEST(Command, ShowDesktopStopsAtAProgramThatStaysInFront) {
    HWND notes = BootWithNotes(96);
    StartStubbornProgram();
    HWND stubborn = GetForegroundWindow();
    ASSERT_NE(stubborn, notes);
    RunCommand(CMD_DESKTOP);
    EXPECT_EQ(CountLog("OnMinimize("), 1);
    EXPECT_EQ(GetForegroundWindow(), stubborn);
    EXPECT_TRUE(IsWindowVisible(notes));
    // The button is still at the user's service.
    TapButton(14, 11);
    EXPECT_EQ(CountLog(CloseLine(stubborn)), 1);
}

TEST(Minimize, AToolWindowInFrontMinimisesTheTaskBelowAndTheDesktopNever) {
    HWND notes = BootWithNotes(96);
    HWND tool = vexotest::StartWindowProgram(u"Keyboard", WS_VISIBLE | WS_POPUP, WS_EX_TOOLWINDOW);
    SetForegroundWindow(tool);
    RunCommand(CMD_MINIMIZE);
    EXPECT_TRUE(IsWindowVisible(tool));
    EXPECT_FALSE(IsWindowVisible(notes));

    SetForegroundWindow(cesim::DesktopWindow());
    RunCommand(CMD_MINIMIZE);
    EXPECT_TRUE(IsWindowVisible(cesim::DesktopWindow()));
}

// ---- the settings program -------------------------------------------------------------------

const std::u16string kVexoFolder = u"\\Program Files\\Vexo";

DWORD g_settingsRuns = 0;

void InstallSettingsProgram(const std::u16string& path) {
    cesim::ProgramImage image;
    image.entry = [](HINSTANCE, HINSTANCE, LPWSTR, int) -> int {
        ++g_settingsRuns;
        return 0;
    };
    image.modulePath = path;
    cesim::InstallProgram(image);
}

std::string RegText(const std::u16string& text) {
    std::string out;
    for (char c : cesim::Narrow(text))
        out += c == '\\' ? std::string("\\\\") : std::string(1, c);
    return out;
}

TEST(Settings, StartsVexoCfgFromTheInstallFolderAndKeepsNoHandle) {
    vexotest::BootDevice(
        96, vexotest::SettingsText({"\"InstallDir\"=\"" + RegText(kVexoFolder) + "\""}));
    InstallSettingsProgram(kVexoFolder + u"\\VexoCfg.exe");
    DWORD vexo = vexotest::StartVexo();
    size_t handles = cesim::OpenHandles(vexo);
    RunCommand(CMD_SETTINGS);
    std::vector<cesim::StartedProcess> started = cesim::StartedProcesses();
    ASSERT_EQ(started.size(), 1u);
    EXPECT_EQ(started[0].modulePath, kVexoFolder + u"\\VexoCfg.exe");
    EXPECT_EQ(started[0].commandLine, u"");
    EXPECT_EQ(started[0].parentProcessId, vexo);
    EXPECT_EQ(g_settingsRuns, 1u);
    EXPECT_EQ(cesim::OpenHandles(vexo), handles);
}

struct FolderCase {
    const char* name;
    size_t length; // of the installation folder, "\" and a run of letters
    bool started;
};

void PrintTo(const FolderCase& c, std::ostream* os) {
    *os << c.name;
}

class SettingsFolder : public testing::TestWithParam<FolderCase> {};

// "\VexoCfg.exe" adds 12 characters; with the terminator the path must fit 260.
TEST_P(SettingsFolder, APathThatDoesNotFitStartsNothing) {
    const FolderCase& c = GetParam();
    // Folders of 100 letters each, as deep as it takes.
    std::u16string folder;
    while (folder.size() < c.length)
        folder += folder.size() % 101 == 0 ? u'\\' : u'f';
    vexotest::BootDevice(96,
                         vexotest::SettingsText({"\"InstallDir\"=\"" + RegText(folder) + "\""}));
    std::u16string path = folder + u"\\VexoCfg.exe";
    InstallSettingsProgram(path);
    // The path cut to the buffer would name another program: it is there too.
    InstallSettingsProgram(path.substr(0, MAX_PATH - 1));
    vexotest::StartVexo();
    RunCommand(CMD_SETTINGS);
    ASSERT_EQ(cesim::StartedProcesses().size(), c.started ? 1u : 0u);
    if (c.started) {
        EXPECT_EQ(cesim::StartedProcesses()[0].modulePath, path);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, SettingsFolder,
                         testing::Values(FolderCase{"Fits", 247, true},
                                         FolderCase{"OneTooLong", 248, false},
                                         FolderCase{"FarTooLong", 600, false}),
                         [](const testing::TestParamInfo<FolderCase>& info) {
                             return std::string(info.param.name);
                         });

TEST(Settings, WithoutAnInstallFolderNothingIsStarted) {
    vexotest::BootDevice(96, vexotest::SettingsText({"\"InstallDir\"=\"\""}));
    InstallSettingsProgram(u"\\VexoCfg.exe");
    vexotest::StartVexo();
    RunCommand(CMD_SETTINGS);
    EXPECT_TRUE(cesim::StartedProcesses().empty());
}

TEST(Settings, AfterAReloadThatCouldNotOpenTheSettingsNothingIsStarted) {
    vexotest::BootDevice(
        96, vexotest::SettingsText({"\"InstallDir\"=\"" + RegText(kVexoFolder) + "\""}));
    InstallSettingsProgram(kVexoFolder + u"\\VexoCfg.exe");
    vexotest::StartVexo();
    cesim::reg::FailOpen(vexotest::kSettingsPath, ERROR_ACCESS_DENIED);
    vexotest::SendReadConfig();
    RunCommand(CMD_SETTINGS);
    EXPECT_EQ(CountLog("OnSettings()"), 1);
    EXPECT_TRUE(cesim::StartedProcesses().empty());
}

} // namespace
