// Theme colours from the shell's settings, RGB/HSL conversions, the shell generation, the two
// bold fonts and the "ok" and X glyphs.
#include "button/theme.h"

#include "config/config.h"
#include "config/log.h"
#include "shell/dpi.h"

ThemeColors themeColors;
HFONT menuFont = NULL;
HFONT glyphFont = NULL;

static int shellStyle = -1;

COLORREF SystemColor(int index) { return GetSysColor(index | SYS_COLOR_INDEX_FLAG); }

// Menu colours the settings did not give follow the system, as their defaults do.
static void RefreshUnconfiguredMenuColors() {
    DWORD configured = config.configuredMenuColors;
    if (!(configured & Config::MENU_HI_BG))
        config.ClrMenuHiBg = SystemColor(COLOR_HIGHLIGHT);
    if (!(configured & Config::MENU_HI_FG))
        config.ClrMenuHiFg = SystemColor(COLOR_HIGHLIGHTTEXT);
    if (!(configured & Config::MENU_BG))
        config.ClrMenuBg = SystemColor(COLOR_MENU);
    if (!(configured & Config::MENU_FG))
        config.ClrMenuFg = SystemColor(COLOR_MENUTEXT);
}

static bool ReadThemeEntry(HKEY key, LPCWSTR name, DWORD* entry) {
    DWORD size = sizeof *entry;
    return RegQueryValueExW(key, name, NULL, NULL, reinterpret_cast<BYTE*>(entry), &size) ==
           ERROR_SUCCESS;
}

static void UseSystemThemeColors() {
    themeColors.themeColor8 = SystemColor(COLOR_HIGHLIGHT);
    themeColors.themeColor9 = SystemColor(COLOR_HIGHLIGHTTEXT);
}

void LoadThemeColors() {
    if (appLog)
        appLog->Write(5, "LoadThemeColors()");
    HKEY key;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Color", 0, NULL, 0,
                        KEY_ALL_ACCESS, NULL, &key, NULL) != ERROR_SUCCESS) {
        UseSystemThemeColors();
        RefreshUnconfiguredMenuColors();
        return;
    }
    // The shell's table of theme colours, one COLORREF per entry.
    DWORD table[41];
    memset(table, 0, sizeof table);
    bool single = ReadThemeEntry(key, L"6", &table[6]) && ReadThemeEntry(key, L"8", &table[8]) &&
                  ReadThemeEntry(key, L"9", &table[9]) && ReadThemeEntry(key, L"13", &table[13]);
    bool loaded = single;
    if (!single) {
        DWORD size = sizeof table;
        loaded = RegQueryValueExW(key, L"SHColor", NULL, NULL, reinterpret_cast<BYTE*>(table),
                                  &size) == ERROR_SUCCESS;
    }
    if (loaded) {
        themeColors.themeColor6 = table[6];
        themeColors.themeColor8 = table[8];
        themeColors.themeColor9 = table[9];
        themeColors.themeColor13 = table[13];
    } else {
        UseSystemThemeColors();
    }
    RgbToHsl(themeColors.themeColor8, &themeColors.themeHue, &themeColors.themeSaturation,
             &themeColors.themeLightness);
    RegCloseKey(key);
    RefreshUnconfiguredMenuColors();
}

void RgbToHsl(COLORREF colour, double* hue, double* saturation, double* lightness) {
    const double unit = 1.0 / 255.0;
    double r = GetRValue(colour) * unit;
    double g = GetGValue(colour) * unit;
    double b = GetBValue(colour) * unit;
    *hue = 0;
    *saturation = 0;
    *lightness = 0;
    double v = r > g ? r : g;
    v = v > b ? v : b;
    double m = r < g ? r : g;
    m = m < b ? m : b;
    double l = (m + v) * 0.5;
    *lightness = l;
    if (!(l > 0))
        return;
    double vm = v - m;
    if (!(vm > 0))
        return;
    *saturation = l < 0.5 ? vm / (v + m) : vm / (2.0 - v - m);
    double k = 1.0 / vm;
    double r2 = (v - r) * k;
    double g2 = (v - g) * k;
    double b2 = (v - b) * k;
    double h;
    if (r == v)
        h = g == m ? 5.0 + b2 : 1.0 - g2;
    else if (g == v)
        h = b == m ? 1.0 + r2 : 3.0 - b2;
    else
        h = r == m ? 3.0 + g2 : 5.0 - r2;
    *hue = h * (1.0 / 6.0);
}

static BYTE Component(double c) { return BYTE(int(c * 255.0) & 0xFF); }

COLORREF HslToRgb(double hue, double saturation, double lightness) {
    double l = lightness;
    double v = l < 0.5 ? l * (1.0 + saturation) : l + saturation - l * saturation;
    double r = l, g = l, b = l;
    if (v > 0) {
        double m = 2 * l - v;
        double sv = (v - m) / v;
        double h6 = hue * 6.0;
        int sextant = int(h6);
        double fract = h6 - sextant;
        double vsf = sv * fract * v;
        double mid1 = m + vsf;
        double mid2 = v - vsf;
        switch (sextant) {
        case 0: r = v; g = mid1; b = m; break;
        case 1: r = mid2; g = v; b = m; break;
        case 2: r = m; g = v; b = mid1; break;
        case 3: r = m; g = mid2; b = v; break;
        case 4: r = mid1; g = m; b = v; break;
        case 5: r = v; g = m; b = mid2; break;
        default: r = g = b = l; break;
        }
    }
    return RGB(Component(r), Component(g), Component(b));
}

int GetShellStyle() {
    if (shellStyle != -1)
        return shellStyle;
    OSVERSIONINFOW version;
    memset(&version, 0, sizeof version);
    version.dwOSVersionInfoSize = 276;
    GetVersionExW(&version);
    if (version.dwMajorVersion == 4)
        shellStyle = ShellStyleCe4;
    else if (version.dwMajorVersion == 5)
        shellStyle = version.dwMinorVersion < 2 ? ShellStyleCe5 : ShellStyleCe52;
    else
        shellStyle = ShellStyleOther;
    return shellStyle;
}

void LoadFonts() {
    if (appLog)
        appLog->Write(7, "LoadFonts()");
    HGDIOBJ systemFont = GetStockObject(SYSTEM_FONT);
    LOGFONTW font;
    memset(&font, 0, sizeof font);
    GetObjectW(systemFont, sizeof font, &font);
    font.lfHeight = -Sy(11);
    font.lfWeight = FW_BOLD;
    menuFont = CreateFontIndirectW(&font);
    font.lfHeight = -Sy(11);
    glyphFont = CreateFontIndirectW(&font);
    DeleteObject(systemFont);
}

void DrawLine(HDC dc, int x1, int y1, int x2, int y2) {
    POINT points[2];
    points[0].x = x1;
    points[0].y = y1;
    points[1].x = x2;
    points[1].y = y2;
    Polyline(dc, points, 2);
}

void DrawOkGlyph(HDC dc, RECT box, COLORREF colour) {
    HGDIOBJ previousFont = SelectObject(dc, glyphFont);
    int previousMode = SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, colour);
    DrawTextW(dc, L"ok", 2, &box, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    SetBkMode(dc, previousMode);
    SelectObject(dc, previousFont);
}

void DrawCrossGlyph(HDC dc, int left, int top, int right, int bottom, COLORREF colour) {
    HPEN pen = CreatePen(PS_SOLID, 1, colour);
    HGDIOBJ previousPen = SelectObject(dc, pen);
    DrawLine(dc, left, top, right + 1, bottom + 1);
    DrawLine(dc, right, top, left - 1, bottom + 1);
    int thickness = Sx(2);
    for (int k = 1; k < thickness; ++k) {
        DrawLine(dc, left, top + k, right - k + 1, bottom + 1);
        DrawLine(dc, left + k, top, right + 1, bottom - k + 1);
        DrawLine(dc, right - k, top, left - 1, bottom - k + 1);
        DrawLine(dc, right, top + k, left + k - 1, bottom + 1);
    }
    SelectObject(dc, previousPen);
    DeleteObject(pen);
}
