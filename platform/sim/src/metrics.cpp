// System metrics of the simulated device: the screen, window frames and the stylus's drag
// slack.
#include <cesim/stylus.h>

#include "gdi.h"

using namespace cesim;

extern "C" int GetSystemMetrics(int index) {
    Display display = CurrentDisplay();
    switch (index) {
    case SM_CXSCREEN:
        return display.width;
    case SM_CYSCREEN:
        return display.height;
    case SM_CXDRAG:
    case SM_CYDRAG:
        return (kDragSlackAt96Dpi * display.dpi + 48) / 96;
    case SM_CXBORDER:
        return (display.dpiX + 48) / 96;
    case SM_CYBORDER:
        return (display.dpiY + 48) / 96;
    case SM_CXDLGFRAME:
        return (3 * display.dpiX + 48) / 96;
    case SM_CYDLGFRAME:
        return (3 * display.dpiY + 48) / 96;
    }
    return 0;
}
