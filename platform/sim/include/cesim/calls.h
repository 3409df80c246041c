// Running the driver's code on a simulated thread, as a message sent to one of its windows
// would run there: the way a test calls into a program on the program's own thread.
#pragma once

#include <windows.h>

#include <functional>

namespace cesim {

// Queues fn to the thread, which runs it the next time it handles sent messages (while it
// waits for messages or for the answer to a message of its own), and settles. Returns true
// when fn has returned by then; false when it is still running (blocked on another thread or
// on the clock) or the thread does not exist.
bool RunOnThread(DWORD threadId, std::function<void()> fn);

} // namespace cesim
