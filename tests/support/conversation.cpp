// Calling into vexo on its own thread, and recorded-message comparisons.
#include "support/device_fixture.h"

#include "support/conversation.h"

#include <windows.h>

#include <prsht.h>

#include <cesim/threads.h>

#include <algorithm>
#include <cstdio>

namespace vexotest {

namespace {

bool PartOfClosing(UINT message) {
    switch (message) {
    case WM_CLOSE:
    case WM_QUIT:
    case WM_COMMAND:
    case WM_ENABLE:
    case WM_CANCELMODE:
    case PSM_PRESSBUTTON:
    case PSM_GETCURRENTPAGEHWND:
        return true;
    }
    return false;
}

const char* MessageName(UINT message) {
    switch (message) {
    case WM_CLOSE:
        return "WM_CLOSE";
    case WM_QUIT:
        return "WM_QUIT";
    case WM_COMMAND:
        return "WM_COMMAND";
    case WM_ENABLE:
        return "WM_ENABLE";
    case WM_CANCELMODE:
        return "WM_CANCELMODE";
    case PSM_PRESSBUTTON:
        return "PSM_PRESSBUTTON";
    case PSM_GETCURRENTPAGEHWND:
        return "PSM_GETCURRENTPAGEHWND";
    }
    return "?";
}

How HowOf(const cesim::ReceivedMessage& m) {
    return m.sent ? How::Sent : m.posted ? How::Posted : How::Own;
}

int WindowIndex(const cesim::RunningProgram& program, HWND window) {
    auto it = std::find(program.windows.begin(), program.windows.end(), window);
    return it == program.windows.end() ? -1 : int(it - program.windows.begin());
}

std::string Describe(int window, UINT message, WPARAM wParam, LPARAM lParam, How how) {
    static const char* const kHow[] = {"sent", "posted", "own"};
    char text[96];
    std::snprintf(text, sizeof text, "#%d %-6s %s %#llx %#llx", window, kHow[int(how)],
                  MessageName(message), static_cast<unsigned long long>(wParam),
                  static_cast<unsigned long long>(lParam));
    return text;
}

bool Matches(const cesim::RunningProgram& program, const cesim::ReceivedMessage& actual,
             const Expected& e) {
    return WindowIndex(program, actual.window) == e.window && actual.message == e.message &&
           actual.wParam == e.wParam && actual.lParam == e.lParam && HowOf(actual) == e.how;
}

} // namespace

bool OnVexoThread(const std::function<void()>& fn) {
    DWORD thread = GetWindowThreadProcessId(FindButtonWindow(), nullptr);
    return cesim::RunOnThread(thread, fn);
}

std::vector<cesim::ReceivedMessage> Conversation(const cesim::RunningProgram& program) {
    std::vector<cesim::ReceivedMessage> kept;
    for (const cesim::ReceivedMessage& m : cesim::ReceivedMessages(program.processId))
        if (PartOfClosing(m.message))
            kept.push_back(m);
    return kept;
}

std::string CompareConversation(const cesim::RunningProgram& program,
                                const std::vector<Expected>& expected) {
    std::vector<cesim::ReceivedMessage> actual = Conversation(program);
    bool same = actual.size() == expected.size();
    for (How how : {How::Sent, How::Posted, How::Own}) {
        std::vector<const cesim::ReceivedMessage*> received;
        for (const cesim::ReceivedMessage& m : actual)
            if (HowOf(m) == how)
                received.push_back(&m);
        size_t next = 0;
        for (const Expected& e : expected) {
            if (e.how != how)
                continue;
            same = same && next < received.size() && Matches(program, *received[next], e);
            ++next;
        }
        same = same && next == received.size();
    }
    if (same)
        return std::string();
    std::string out = "expected                                        | received\n";
    for (size_t i = 0; i < std::max(actual.size(), expected.size()); ++i) {
        std::string left, right;
        if (i < expected.size())
            left = Describe(expected[i].window, expected[i].message, expected[i].wParam,
                            expected[i].lParam, expected[i].how);
        if (i < actual.size())
            right = Describe(WindowIndex(program, actual[i].window), actual[i].message,
                             actual[i].wParam, actual[i].lParam, HowOf(actual[i]));
        left.resize(48, ' ');
        out += left + "| " + right + "\n";
    }
    return out;
}

} // namespace vexotest
