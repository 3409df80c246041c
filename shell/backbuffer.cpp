// The button's back buffer: a memory DC holding a bitmap compatible with the screen.
#include "shell/backbuffer.h"

HDC backBufferDC = NULL;
static HBITMAP backBufferBitmap = NULL;
static HGDIOBJ originalBitmap = NULL;
static int backBufferWidth = 0;
static int backBufferHeight = 0;

void CreateBackBuffer(int width, int height) {
    HDC screen = GetDC(NULL);
    backBufferBitmap = CreateCompatibleBitmap(screen, width, height);
    backBufferDC = CreateCompatibleDC(screen);
    originalBitmap = SelectObject(backBufferDC, backBufferBitmap);
    ReleaseDC(NULL, screen);
    backBufferWidth = width;
    backBufferHeight = height;
}

void ResizeBackBuffer(int width, int height) {
    if (width == backBufferWidth && height == backBufferHeight)
        return;
    DestroyBackBuffer();
    CreateBackBuffer(width, height);
}

void DestroyBackBuffer() {
    if (backBufferDC && originalBitmap)
        SelectObject(backBufferDC, originalBitmap);
    if (backBufferBitmap)
        DeleteObject(backBufferBitmap);
    if (backBufferDC)
        DeleteDC(backBufferDC);
    backBufferBitmap = NULL;
    backBufferDC = NULL;
    originalBitmap = NULL;
}
