// Window frames: the border the system draws around a window's client area, from its styles.
#pragma once

#include "windowing.h"

namespace cesim {

// Pixels the frame takes on the left and right (cx) and above and below (cy), 0 for none, at
// the display's horizontal and vertical DPI.
SIZE FrameThickness(const Kernel::Lock& held, DWORD style, DWORD exStyle);
SIZE FrameThickness(const Kernel::Lock& held, const Window& window);

// The client area's size and where it starts, in the window's own coordinates.
RECT ClientRectInWindow(const Kernel::Lock& held, const Window& window);
// The client area's top-left corner on the screen.
POINT ClientOrigin(const Kernel::Lock& held, const Window& window);

// Paints the window's frame onto the screen, the window's top-left corner at (left, top).
void ComposeFrame(const Kernel::Lock& held, const Window& window, int left, int top,
                  Surface& screen);

} // namespace cesim
