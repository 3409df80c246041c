// The screen's logical DPI, read at start-up.
#include "shell/dpi.h"

#include <windows.h>

int dpiX = 0;
int dpiY = 0;

void ReadScreenDpi() {
    if (dpiX != 0)
        return;
    HDC screen = GetDC(NULL);
    dpiX = GetDeviceCaps(screen, LOGPIXELSX);
    dpiY = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(NULL, screen);
}
