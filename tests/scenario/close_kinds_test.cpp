// What each kind of window receives when vexo closes it, with force and without, and what is
// left of it afterwards: one row per kind, each compared message by message.
#include "support/device_fixture.h"

#include "support/conversation.h"

#include <windows.h>

#include <prsht.h>

#include <cesim/programs.h>

#include "tasks/closing.h"

using cesim::CloseBehaviour;
using cesim::SimProgram;
using cesim::SimWindow;
using cesim::WindowKind;
using vexotest::Expected;
using vexotest::How;

namespace {

enum class After {
    Gone,           // the window no longer exists; its program runs on
    Open,           // still there and visible
    HiddenAtBottom, // still there, hidden, below every other top-level window
    Ended,          // the program has left
};

const WPARAM kOkCommand = 0x10000001; // IDOK from the caption's OK button
const WPARAM kCancelClicked = MAKEWPARAM(IDCANCEL, BN_CLICKED);
const DWORD kCaptionOk = WS_EX_CAPTIONOKBTN;
const DWORD kCaptioned = WS_VISIBLE | WS_CAPTION;

SimWindow Window(const char16_t* title, WindowKind kind = WindowKind::Plain,
                 CloseBehaviour onClose = CloseBehaviour::Close, DWORD exStyle = 0,
                 DWORD style = WS_VISIBLE) {
    SimWindow w;
    w.title = title;
    w.kind = kind;
    w.onClose = onClose;
    w.exStyle = exStyle;
    w.style = style;
    return w;
}

SimProgram Program(const char16_t* path, std::vector<SimWindow> windows) {
    SimProgram p;
    p.modulePath = path;
    p.windows = std::move(windows);
    return p;
}

SimProgram CloseButton() {
    return Program(u"\\Windows\\notes.exe", {Window(u"Notes")});
}
SimProgram IgnoresClose() {
    return Program(u"\\Windows\\stubborn.exe",
                   {Window(u"Stubborn", WindowKind::Plain, CloseBehaviour::Ignore)});
}
SimProgram CaptionOkDialog() {
    return Program(
        u"\\Windows\\options.exe",
        {Window(u"Options", WindowKind::CaptionOk, CloseBehaviour::Close, kCaptionOk, kCaptioned)});
}
SimProgram DefaultProcDialog() {
    return Program(
        u"\\Windows\\alarm.exe",
        {Window(u"Alarm", WindowKind::Dialog, CloseBehaviour::Close, kCaptionOk, kCaptioned)});
}
SimProgram PropertySheet() {
    return Program(u"\\Windows\\setup.exe",
                   {Window(u"Settings", WindowKind::PropertySheet, CloseBehaviour::Close,
                           kCaptionOk, kCaptioned)});
}
SimProgram MediaPlayer() {
    SimWindow player = Window(u"Windows Media", WindowKind::Plain, CloseBehaviour::Ignore);
    player.className = u"WMP for Mobile Devices";
    return Program(u"\\Windows\\wmplayer.exe", {player});
}
SimProgram ShellWindow() {
    return Program(u"\\Windows\\shell32.exe", {Window(u"Today")});
}
SimProgram ShellCaptionOkDialog() {
    return Program(u"\\windows\\SHELL32.EXE",
                   {Window(u"Reminder", WindowKind::CaptionOk, CloseBehaviour::Close, kCaptionOk,
                           kCaptioned)});
}
SimProgram ControlPanelWindow() {
    return Program(u"\\Windows\\cprog.exe", {Window(u"Phone")});
}
// A caption-OK dialog that stays after its OK command, so that what follows it shows.
SimProgram ControlPanelDialog() {
    return Program(u"\\Windows\\cprog.exe",
                   {Window(u"Call Options", WindowKind::Plain, CloseBehaviour::Close, kCaptionOk,
                           kCaptioned)});
}
// The main window stays disabled while a modal dialog of its own is up, and will not close.
SimProgram DisabledUnderModalChild() {
    SimWindow main = Window(u"Inbox", WindowKind::Plain, CloseBehaviour::CloseWhenEnabled, 0,
                            WS_VISIBLE | WS_DISABLED);
    SimWindow modal = Window(u"Send/Receive", WindowKind::Dialog, CloseBehaviour::Ignore, 0,
                             WS_VISIBLE | WS_POPUP);
    modal.owner = 0;
    return Program(u"\\Windows\\tmail.exe", {main, modal});
}
SimProgram Hangs() {
    return Program(u"\\Windows\\hung.exe",
                   {Window(u"Hung", WindowKind::Plain, CloseBehaviour::Hang)});
}
SimProgram Recovers() {
    SimWindow w = Window(u"Busy", WindowKind::Plain, CloseBehaviour::Recover);
    w.hangMs = 2000;
    return Program(u"\\Windows\\busy.exe", {w});
}
// A task window two levels inside its program's main window; the chain closes all three.
SimProgram NestedChild() {
    SimWindow document =
        Window(u"Document", WindowKind::Plain, CloseBehaviour::Close, 0, WS_VISIBLE | WS_CHILD);
    document.parent = 0;
    document.rect = {0, 0, 240, 260};
    SimWindow viewer = document;
    viewer.title = u"Viewer";
    viewer.parent = 1;
    viewer.rect = {0, 0, 240, 200};
    return Program(u"\\Windows\\pword.exe", {Window(u"Word"), document, viewer});
}

struct Row {
    const char* name;
    SimProgram (*program)();
    int target; // the window vexo is asked to close
    bool force;
    std::vector<Expected> expected;
    After after;
};

Expected Sent(UINT message, WPARAM wParam = 0, LPARAM lParam = 0, int window = 0) {
    return Expected{window, message, wParam, lParam, How::Sent};
}
Expected Posted(UINT message, WPARAM wParam = 0, LPARAM lParam = 0, int window = 0) {
    return Expected{window, message, wParam, lParam, How::Posted};
}
// The caption-OK protocol: look for a page, press OK on a sheet, send the OK command.
std::vector<Expected> Confirmed(bool sheet) {
    if (!sheet)
        return {Sent(PSM_GETCURRENTPAGEHWND), Sent(WM_COMMAND, kOkCommand)};
    return {Sent(PSM_GETCURRENTPAGEHWND), Posted(PSM_PRESSBUTTON, PSBTN_OK),
            Sent(WM_COMMAND, kOkCommand)};
}

std::vector<Expected> Twice(std::vector<Expected> once) {
    std::vector<Expected> both = once;
    both.insert(both.end(), once.begin(), once.end());
    return both;
}

const Row kRows[] = {
    {"CloseButton", CloseButton, 0, false, {Sent(WM_CLOSE)}, After::Gone},
    {"CloseButtonForced", CloseButton, 0, true, {Sent(WM_CLOSE)}, After::Gone},
    // Forced, the sweep by title finds it again.
    {"IgnoresClose", IgnoresClose, 0, false, {Sent(WM_CLOSE)}, After::Open},
    {"IgnoresCloseForced", IgnoresClose, 0, true, {Sent(WM_CLOSE), Sent(WM_CLOSE)}, After::Open},
    {"CaptionOkDialog", CaptionOkDialog, 0, false, Confirmed(false), After::Gone},
    {"CaptionOkDialogForced", CaptionOkDialog, 0, true, Confirmed(false), After::Gone},
    // The default dialog procedure turns WM_CLOSE into its Cancel command.
    {"DefaultProcDialog",
     DefaultProcDialog,
     0,
     false,
     {Sent(WM_CLOSE), Posted(WM_COMMAND, kCancelClicked)},
     After::Gone},
    {"PropertySheet", PropertySheet, 0, false, Confirmed(true), After::Gone},
    // The sheet lingers a moment after it is confirmed; the sweep confirms it again.
    {"PropertySheetForced", PropertySheet, 0, true, Twice(Confirmed(true)), After::Gone},
    {"MediaPlayer", MediaPlayer, 0, false, {Posted(WM_QUIT)}, After::Ended},
    {"MediaPlayerForced", MediaPlayer, 0, true, {Posted(WM_QUIT)}, After::Ended},
    {"ShellWindow", ShellWindow, 0, false, {}, After::HiddenAtBottom},
    {"ShellWindowForced", ShellWindow, 0, true, {}, After::HiddenAtBottom},
    {"ShellCaptionOkDialog", ShellCaptionOkDialog, 0, false, Confirmed(false), After::Gone},
    {"ControlPanelWindow", ControlPanelWindow, 0, true, {}, After::HiddenAtBottom},
    {"ControlPanelDialog", ControlPanelDialog, 0, false, Confirmed(false), After::HiddenAtBottom},
    // Without force the window is enabled first, and then it closes.
    {"DisabledUnderModalChild",
     DisabledUnderModalChild,
     0,
     false,
     {Sent(WM_ENABLE, TRUE), Sent(WM_CLOSE)},
     After::Gone},
    {"DisabledUnderModalChildForced",
     DisabledUnderModalChild,
     0,
     true,
     {Sent(WM_CLOSE), Sent(WM_CLOSE)},
     After::Open},
    {"Hangs", Hangs, 0, false, {Sent(WM_CLOSE)}, After::Open},
    {"Recovers", Recovers, 0, false, {Sent(WM_CLOSE)}, After::Gone},
    {"NestedChildForced",
     NestedChild,
     2,
     true,
     {Sent(WM_CLOSE, 0, 0, 2), Sent(WM_CLOSE, 0, 0, 1), Sent(WM_CLOSE)},
     After::Gone},
};

void PrintTo(const Row& row, std::ostream* out) {
    *out << row.name;
}

class CloseKinds : public ::testing::TestWithParam<Row> {};

void ExpectAfter(const cesim::RunningProgram& program, HWND window, After after) {
    std::vector<HWND> top = cesim::TopLevelWindows();
    auto info = cesim::Inspect(window);
    switch (after) {
    case After::Gone:
        EXPECT_FALSE(info) << "the window is still there";
        EXPECT_TRUE(cesim::ProcessRunning(program.processId));
        break;
    case After::Open:
        ASSERT_TRUE(info) << "the window is gone";
        EXPECT_TRUE(info->visible);
        break;
    case After::HiddenAtBottom:
        ASSERT_TRUE(info) << "the window is gone";
        EXPECT_FALSE(info->visible);
        EXPECT_EQ(top.back(), window) << "not at the bottom";
        break;
    case After::Ended:
        EXPECT_FALSE(cesim::ProcessRunning(program.processId));
        EXPECT_FALSE(info);
        break;
    }
}

TEST_P(CloseKinds, ReceiveTheirMessagesInOrder) {
    const Row& row = GetParam();
    vexotest::BootDevice();
    cesim::RunningProgram program = cesim::StartSimulatedProgram(row.program());
    vexotest::StartVexo();
    cesim::ClearReceivedMessages(program.processId);
    HWND target = program.windows[row.target];
    ASSERT_TRUE(vexotest::OnVexoThread([&] { OnClose(target, row.force); }));
    // Long enough for a sheet to go and a busy program to recover.
    cesim::Advance(3000);
    std::string difference = vexotest::CompareConversation(program, row.expected);
    EXPECT_TRUE(difference.empty()) << difference;
    ExpectAfter(program, program.windows[0], row.after);
}

INSTANTIATE_TEST_SUITE_P(Table, CloseKinds, ::testing::ValuesIn(kRows),
                         [](const ::testing::TestParamInfo<Row>& info) {
                             return std::string(info.param.name);
                         });

} // namespace
