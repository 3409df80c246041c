// The off-screen surface the button face is painted on before one copy to the window.
#ifndef VEXO_SHELL_BACKBUFFER_H
#define VEXO_SHELL_BACKBUFFER_H

#include <windows.h>

extern HDC backBufferDC;

// Made once at the button's start-up size; it keeps that size when the button moves later.
void CreateBackBuffer(int width, int height);
void DestroyBackBuffer();

#endif
