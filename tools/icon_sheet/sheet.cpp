// The icon sheet, against the Win32 API alone so that both platforms compile it unchanged.
#include "tools/icon_sheet/sheet.h"

#include "resources/resource.h"

namespace {

const int kIcons[] = {IDI_APP,       IDI_CLOSE,          IDI_SOFT_RESET,      IDI_DISPLAY_OFF,
                      IDI_POWER_OFF, IDI_LANDSCAPE_LEFT, IDI_LANDSCAPE_RIGHT, IDI_BLUETOOTH_ON,
                      IDI_SETTINGS,  IDI_BLUETOOTH_OFF,  IDI_WIFI_OFF,        IDI_WIFI_ON};
const int kSizes[] = {16, 32};
const UINT kFlags[] = {DI_NORMAL, DI_IMAGE, DI_MASK};
const int kGap = 4;
const int kRow = 32 + kGap;
const COLORREF kChecks[2] = {RGB(0x40, 0x80, 0xC0), RGB(0xE0, 0xD0, 0x20)};

int SheetWidth() {
    int width = 0;
    for (int size : kSizes)
        width += int(sizeof kFlags / sizeof kFlags[0]) * (size + kGap);
    return width;
}

void PaintCheckerboard(HDC dc, int width, int height) {
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            SetPixel(dc, x, y, kChecks[(x + y) % 2]);
}

bool DrawRow(HINSTANCE module, HDC dc, int id, int top) {
    bool ok = true;
    int left = 0;
    for (int size : kSizes) {
        HICON icon = HICON(LoadImageW(module, MAKEINTRESOURCE(id), IMAGE_ICON, size, size, 0));
        ok = ok && icon;
        for (UINT flags : kFlags) {
            if (icon)
                ok = DrawIconEx(dc, left + kGap / 2, top + kGap / 2, icon, size, size, 0, nullptr,
                                flags) &&
                     ok;
            left += size + kGap;
        }
        if (icon)
            DestroyIcon(icon);
    }
    return ok;
}

} // namespace

bool DrawIconSheet(HINSTANCE module, IconSheet& sheet) {
    sheet.width = SheetWidth();
    sheet.height = int(sizeof kIcons / sizeof kIcons[0]) * kRow;
    sheet.rgb.assign(size_t(sheet.width) * sheet.height * 3, 0);
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, sheet.width, sheet.height);
    ReleaseDC(nullptr, screen);
    if (!dc || !bitmap) {
        if (dc)
            DeleteDC(dc);
        if (bitmap)
            DeleteObject(bitmap);
        return false;
    }
    HGDIOBJ original = SelectObject(dc, bitmap);
    PaintCheckerboard(dc, sheet.width, sheet.height);
    bool ok = true;
    for (size_t row = 0; row < sizeof kIcons / sizeof kIcons[0]; ++row)
        ok = DrawRow(module, dc, kIcons[row], int(row) * kRow) && ok;
    for (int y = 0; y < sheet.height; ++y)
        for (int x = 0; x < sheet.width; ++x) {
            COLORREF c = GetPixel(dc, x, y);
            uint8_t* p = &sheet.rgb[(size_t(y) * sheet.width + x) * 3];
            p[0] = GetRValue(c);
            p[1] = GetGValue(c);
            p[2] = GetBValue(c);
        }
    SelectObject(dc, original);
    DeleteObject(bitmap);
    DeleteDC(dc);
    return ok;
}
