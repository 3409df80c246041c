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
// Remembers the message a thread has just read, for GetMessagePos and GetMessageTime.
void NoteMessageRead(const Kernel::Lock& held, Thread& thread, const MSG& msg);
// A window going away loses the capture, silently, and its unread input.
void ForgetWindowInput(const Kernel::Lock& held, HWND window);
void ResetInput(const Kernel::Lock& held);

} // namespace cesim
