// Stylus input inside the device: the per-thread input queues, the capture and the message
// position, as the message loop and the window manager meet them.
#pragma once

#include "kernel.h"

namespace cesim {

// Takes the thread's next input message that passes the filter; false when there is none.
bool TakeInputMessage(const Kernel::Lock& held, Thread& thread, MSG* msg, HWND filter, UINT low,
                      UINT high, bool remove);
// Where the stylus is, in screen coordinates: the position every posted message records.
POINT CursorPosition(const Kernel::Lock& held);
// Whether the stylus is down within dx, dy pixels of center (screen coordinates).
bool StylusHeldNear(const Kernel::Lock& held, POINT center, int dx, int dy);
// Remembers the message a thread has just read, for GetMessagePos and GetMessageTime.
void NoteMessageRead(const Kernel::Lock& held, Thread& thread, const MSG& msg);
// Queues a key or other input message to the thread, behind the stylus events already there.
void QueueInput(const Kernel::Lock& held, Thread& thread, const MSG& msg);
// A window going away loses the capture, silently, and its unread input.
void ForgetWindowInput(const Kernel::Lock& held, HWND window);
void ResetInput(const Kernel::Lock& held);

} // namespace cesim
