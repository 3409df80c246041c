// The off-screen surface the button face is painted on before one copy to the window.
#ifndef VEXO_SHELL_BACKBUFFER_H
#define VEXO_SHELL_BACKBUFFER_H

#include <windows.h>

extern HDC backBufferDC;

// Made at the button's start-up size; it changes only when the button's size does.
void CreateBackBuffer(int width, int height);
void DestroyBackBuffer();
// Makes the buffer the given size when it is not already; nothing else changes.
void ResizeBackBuffer(int width, int height);

#endif
