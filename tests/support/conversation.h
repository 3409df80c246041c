// Calling into vexo on its own thread, and comparing what a simulated program received with a
// table of the messages it should have, the way recorded-message tests do.
#pragma once

#include <cesim/programs.h>

#include <functional>
#include <string>
#include <vector>

namespace vexotest {

// Runs fn on vexo's user-interface thread, as the menu or a hot key would; true when it returned.
bool OnVexoThread(const std::function<void()>& fn);

enum class How { Sent, Posted, Own };

struct Expected {
    int window; // index into the program's windows
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    How how;
};

// What the program received of the messages that closing a window is made of.
std::vector<cesim::ReceivedMessage> Conversation(const cesim::RunningProgram& program);

// Empty when they agree; otherwise both sequences side by side, expected on the left. Sent
// messages must come in the expected order, and so must posted ones; how the two interleave
// is the receiving thread's timing, which a post followed by a send leaves open.
std::string CompareConversation(const cesim::RunningProgram& program,
                                const std::vector<Expected>& expected);

} // namespace vexotest
