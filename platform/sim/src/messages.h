// Message delivery shared by the window manager and the kernel.
#pragma once

#include "kernel.h"

namespace cesim {

// Calls the window procedure of window on the current thread, with the lock released around
// the call. Returns 0 for a window that no longer exists.
LRESULT DeliverMessage(Kernel::Lock& lock, HWND window, UINT message, WPARAM wParam,
                       LPARAM lParam);

// SendMessageW with the lock held: a direct call on the owner's thread, otherwise queued to
// the owner while the caller waits (handling messages sent to it meanwhile).
LRESULT SendLocked(Kernel::Lock& lock, HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Takes (or, without remove, peeks at) the thread's next message in the device's order, as
// GetMessageW reads it; false when there is none.
bool TakeMessage(const Kernel::Lock& held, Thread& self, MSG* msg, HWND filter, UINT low,
                 UINT high, bool remove);

// Posts to the queue of the thread that owns window; false when there is no such window.
bool PostToWindow(const Kernel::Lock& lock, HWND window, UINT message, WPARAM wParam,
                  LPARAM lParam);

// Adds the timers and hot keys that a window still holds to the counts.
void CountWindowMessages(const Kernel::Lock& lock, HWND window, size_t* timers, size_t* hotKeys);

// Forgets the timers and hot keys of a window that is going away.
void ForgetWindowMessages(const Kernel::Lock& lock, HWND window);

void ResetMessages(const Kernel::Lock& lock);

// A press or release of a hardware key reaches the window that holds it as a hot key. Takes
// the kernel lock itself and does not settle, so a simulated thread may call it.
void DeliverHardwareKey(UINT virtualKey, bool release);

struct Window;
// Keeps a record of a message about to reach the window procedure, when its class is watched.
void RecordWatchedMessage(const Kernel::Lock& lock, const Window& window, UINT message,
                          WPARAM wParam, LPARAM lParam);
void ResetMessageWatch(const Kernel::Lock& lock);

} // namespace cesim
