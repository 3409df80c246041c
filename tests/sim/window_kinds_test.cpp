// Enabling windows, window procedure addresses, dialogs, property sheets, the media player and
// the programs that hang, as other programs meet them on the device; and calls on a thread.
#include <gtest/gtest.h>

#include <windows.h>

#include <prsht.h>

#include <cesim/threads.h>
#include <cesim/device.h>
#include <cesim/programs.h>

#include <vector>

namespace {

using cesim::CloseBehaviour;
using cesim::WindowKind;

struct Seen {
    UINT message;
    WPARAM wParam;
    bool sent;
    bool posted;
    bool operator==(const Seen& o) const {
        return message == o.message && wParam == o.wParam && sent == o.sent && posted == o.posted;
    }
};

std::ostream& operator<<(std::ostream& out, const Seen& s) {
    return out << std::hex << "0x" << s.message << "(0x" << s.wParam << ")"
               << (s.sent     ? " sent"
                   : s.posted ? " posted"
                              : " own");
}

// What the program's first window received of the messages that matter here.
std::vector<Seen> SeenBy(const cesim::RunningProgram& program) {
    std::vector<Seen> seen;
    for (const cesim::ReceivedMessage& m : cesim::ReceivedMessages(program.processId))
        if (m.window == program.windows[0] &&
            (m.message == WM_CLOSE || m.message == WM_ENABLE || m.message == WM_CANCELMODE ||
             m.message == WM_COMMAND || m.message == WM_QUIT || m.message == WM_DESTROY ||
             m.message == PSM_PRESSBUTTON || m.message == PSM_GETCURRENTPAGEHWND))
            seen.push_back(Seen{m.message, m.wParam, m.sent, m.posted});
    return seen;
}

cesim::RunningProgram Start(cesim::SimWindow window, const char16_t* path = u"\\Windows\\a.exe") {
    cesim::SimProgram program;
    program.modulePath = path;
    if (window.title.empty())
        window.title = u"Program";
    program.windows.push_back(window);
    cesim::RunningProgram running = cesim::StartSimulatedProgram(program);
    cesim::ClearReceivedMessages(running.processId);
    return running;
}

cesim::SimWindow OfKind(WindowKind kind, CloseBehaviour onClose = CloseBehaviour::Close) {
    cesim::SimWindow w;
    w.kind = kind;
    w.onClose = onClose;
    return w;
}

// Runs fn in another process, as the program that closes windows would, and settles.
void FromOtherProcess(std::function<void()> fn) {
    cesim::StartHelperProcess(u"\\Windows\\closer.exe", fn);
}

class WindowKinds : public ::testing::Test {
protected:
    void SetUp() override { cesim::Boot(); }
};

TEST_F(WindowKinds, EnablingSendsEnableOnAChangeAndCancelModeOnEveryDisable) {
    cesim::RunningProgram p = Start(OfKind(WindowKind::Plain));
    HWND w = p.windows[0];
    BOOL results[4] = {};
    FromOtherProcess([&] {
        results[0] = EnableWindow(w, FALSE);
        results[1] = EnableWindow(w, FALSE);
        results[2] = EnableWindow(w, TRUE);
        results[3] = EnableWindow(w, TRUE);
    });
    // Each result says whether the window was disabled before.
    EXPECT_EQ(std::vector<BOOL>(results, results + 4),
              (std::vector<BOOL>{FALSE, TRUE, TRUE, FALSE}));
    EXPECT_EQ(SeenBy(p), (std::vector<Seen>{{WM_CANCELMODE, 0, true, false},
                                            {WM_ENABLE, FALSE, true, false},
                                            {WM_CANCELMODE, 0, true, false},
                                            {WM_ENABLE, TRUE, true, false}}));
    EXPECT_TRUE(IsWindowEnabled(w));
    EXPECT_FALSE(EnableWindow(nullptr, TRUE));
}

TEST_F(WindowKinds, WindowProcedureAddressesShowTheSlotAndOnlyDialogsShareTheSystemsOne) {
    cesim::RunningProgram first = Start(OfKind(WindowKind::Plain), u"\\Windows\\first.exe");
    cesim::RunningProgram second = Start(OfKind(WindowKind::Plain), u"\\Windows\\second.exe");
    cesim::RunningProgram sheet = Start(OfKind(WindowKind::PropertySheet));
    cesim::RunningProgram dialog = Start(OfKind(WindowKind::Dialog), u"\\Windows\\d.exe");
    cesim::RunningProgram dialog2 = Start(OfKind(WindowKind::Dialog), u"\\Windows\\e.exe");
    auto address = [](const cesim::RunningProgram& p) {
        return DWORD(GetWindowLongW(p.windows[0], GWL_WNDPROC));
    };
    const DWORD kSlot = 0xFE000000, kInSlot = 0x01FFFFFF;
    // The same code in two processes: one place, two slots.
    EXPECT_EQ(address(first) & kInSlot, address(second) & kInSlot);
    EXPECT_NE(address(first) & kSlot, address(second) & kSlot);
    EXPECT_NE(address(first) & kSlot, 0u);
    EXPECT_EQ(address(dialog) & 0xFFFFFF, 0x3173B0u);
    EXPECT_EQ(address(dialog2) & 0xFFFFFF, 0x3173B0u);
    EXPECT_NE(address(dialog), address(dialog2));
    EXPECT_NE(address(first) & 0xFFFFFF, 0x3173B0u);
    EXPECT_NE(address(sheet) & 0xFFFFFF, 0x3173B0u);
    EXPECT_NE(address(sheet), address(first)) << "a sheet has a procedure of its own";
    EXPECT_EQ(SetWindowLongW(first.windows[0], GWL_WNDPROC, LONG(address(dialog))), 0);
}

TEST_F(WindowKinds, EachKindAnswersItsCloseMessagesAsOnTheDevice) {
    struct Case {
        const char* name;
        cesim::SimWindow window;
        std::function<void(HWND)> ask; // from another process
        DWORD advance;
        std::vector<Seen> seen;
        bool gone;
    };
    // What the closing table of vexo's tests does not pin: the dialog's own refusal and the
    // timing of the sheet and of the program that recovers.
    cesim::SimWindow disabled = OfKind(WindowKind::Plain, CloseBehaviour::CloseWhenEnabled);
    disabled.style |= WS_DISABLED;
    cesim::SimWindow recovers = OfKind(WindowKind::Plain, CloseBehaviour::Recover);
    recovers.hangMs = 300;
    auto close = [](HWND w) { SendMessageW(w, WM_CLOSE, 0, 0); };
    auto pressOk = [](HWND w) { PostMessageW(w, PSM_PRESSBUTTON, PSBTN_OK, 0); };
    auto okCommand = [](HWND w) { SendMessageW(w, WM_COMMAND, IDOK, 0); };
    const Seen closeSent = {WM_CLOSE, 0, true, false};
    const Seen destroyed = {WM_DESTROY, 0, false, false};
    const DWORD sheetDelay = cesim::kSheetCloseDelayMs;
    std::vector<Case> cases = {
        // clang-format off
        {"dialog that ignores WM_CLOSE", OfKind(WindowKind::Dialog, CloseBehaviour::Ignore), close,
         0, {closeSent}, false},
        {"sheet lingers after OK is pressed", OfKind(WindowKind::PropertySheet), pressOk,
         sheetDelay - 1, {{PSM_PRESSBUTTON, PSBTN_OK, false, true}}, false},
        {"sheet goes after the delay", OfKind(WindowKind::PropertySheet), okCommand, sheetDelay,
         {{WM_COMMAND, IDOK, true, false}, destroyed}, true},
        {"disabled window refuses WM_CLOSE", disabled, close, 0, {closeSent}, false},
        {"recovering program is still busy", recovers, close, 299, {closeSent}, false},
        {"recovering program closes in the end", recovers, close, 300, {closeSent, destroyed},
         true},
        // clang-format on
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        cesim::Boot();
        cesim::RunningProgram p = Start(c.window);
        HWND w = p.windows[0];
        // A helper that blocks in a hung program must not hold up the driver.
        std::function<void(HWND)> ask = c.ask;
        cesim::StartHelperProcess(u"\\Windows\\closer.exe", [ask, w] { ask(w); });
        cesim::Advance(c.advance);
        EXPECT_EQ(SeenBy(p), c.seen);
        EXPECT_EQ(IsWindow(w) == FALSE, c.gone);
    }
}

TEST_F(WindowKinds, ASheetAnswersItsPageAndTheProgramsOwnMessagesAreNeitherSentNorPosted) {
    cesim::RunningProgram sheet = Start(OfKind(WindowKind::PropertySheet));
    HWND page = nullptr;
    FromOtherProcess([&] {
        page = reinterpret_cast<HWND>(SendMessageW(sheet.windows[0], PSM_GETCURRENTPAGEHWND, 0, 0));
    });
    ASSERT_TRUE(cesim::Inspect(page));
    EXPECT_EQ(cesim::Inspect(page)->parent, sheet.windows[0]);
    // The page goes with the sheet, and no message of its own going is news to anybody else.
    FromOtherProcess([&] { SendMessageW(sheet.windows[0], WM_COMMAND, IDCANCEL, 0); });
    cesim::Advance(cesim::kSheetCloseDelayMs);
    EXPECT_FALSE(IsWindow(page));
    std::vector<Seen> seen = SeenBy(sheet);
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen.back(), (Seen{WM_DESTROY, 0, false, false}));
}

TEST_F(WindowKinds, RunOnThreadRunsOnTheThreadReportsABlockedCallAndItsQueueWaits) {
    cesim::SimWindow hung = OfKind(WindowKind::Plain, CloseBehaviour::Hang);
    cesim::RunningProgram target = Start(hung);
    cesim::RunningProgram caller = Start(OfKind(WindowKind::Plain), u"\\Windows\\b.exe");
    DWORD ranOn = 0;
    EXPECT_TRUE(cesim::RunOnThread(caller.threadId, [&] { ranOn = GetCurrentThreadId(); }));
    EXPECT_EQ(ranOn, caller.threadId);
    // Blocked in a hung program, the call has not returned; waiting for the answer, the
    // caller still handles what is sent to it, but never gets to its queue.
    EXPECT_FALSE(cesim::RunOnThread(caller.threadId,
                                    [&] { SendMessageW(target.windows[0], WM_CLOSE, 0, 0); }));
    EXPECT_TRUE(cesim::RunOnThread(caller.threadId, [] {}));
    FromOtherProcess([&] { PostMessageW(caller.windows[0], WM_COMMAND, IDOK, 0); });
    bool reachedQueue = false;
    for (const cesim::ReceivedMessage& m : cesim::ReceivedMessages(caller.processId))
        reachedQueue = reachedQueue || m.message == WM_COMMAND;
    EXPECT_FALSE(reachedQueue);
    EXPECT_FALSE(cesim::RunOnThread(0x7FFFFFF0, [] {}));
    // The post waits as long as the caller stays stuck; an idle thread takes its posts at once.
    cesim::Advance(250);
    EXPECT_EQ(cesim::LongestQueueWait(caller.threadId), 250u);
    cesim::RunningProgram idle = Start(OfKind(WindowKind::Plain), u"\\Windows\\c.exe");
    FromOtherProcess([&] { PostMessageW(idle.windows[0], WM_NULL, 0, 0); });
    cesim::Advance(100);
    EXPECT_EQ(cesim::LongestQueueWait(idle.threadId), 0u);
}

} // namespace
