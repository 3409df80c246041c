// Simulated threads as a driver meets them: running the driver's code on one, as a message
// sent to one of its windows would run there, and how long its queue kept posted messages.
#pragma once

#include <windows.h>

#include <functional>

namespace cesim {

// Queues fn to the thread, which runs it the next time it handles sent messages (while it
// waits for messages or for the answer to a message of its own), and settles. Returns true
// when fn has returned by then; false when it is still running (blocked on another thread or
// on the clock) or the thread does not exist.
bool RunOnThread(DWORD threadId, std::function<void()> fn);

// The longest a message posted to the thread waited in its queue before the thread took it,
// in virtual milliseconds, since boot: how long the thread was too busy for its queue, which
// holds its input, timers and posted commands. Messages still waiting count up to now.
DWORD LongestQueueWait(DWORD threadId);

} // namespace cesim
