// Theme colours, colour conversions, the shell generation, fonts and glyphs shared by the
// button and the menu.
#ifndef VEXO_BUTTON_THEME_H
#define VEXO_BUTTON_THEME_H

#include <windows.h>

struct ThemeColors {
    COLORREF themeColor6;    // end of the gradients, the plain background, pressed round button
    COLORREF themeColor8;    // the main colour
    COLORREF themeColor9;    // the dot and the glyphs
    COLORREF themeColor13;
    double themeHue;         // of themeColor8, 0..1
    double themeSaturation;
    double themeLightness;
};

extern ThemeColors themeColors;

enum ShellStyle {
    ShellStyleOther = 0,
    ShellStyleCe4 = 1,
    ShellStyleCe5 = 2,
    ShellStyleCe52 = 3
};

extern HFONT menuFont;
extern HFONT glyphFont;

void LoadThemeColors();
void RgbToHsl(COLORREF colour, double* hue, double* saturation, double* lightness);
COLORREF HslToRgb(double hue, double saturation, double lightness);
int GetShellStyle();
void LoadFonts();

// The segment from (x1, y1) towards (x2, y2) with the selected pen; the end point stays unpainted.
void DrawLine(HDC dc, int x1, int y1, int x2, int y2);
// "ok" centred in the box.
void DrawOkGlyph(HDC dc, RECT box, COLORREF colour);
// A thick X through the corners of the box, whose corners are inclusive pixels.
void DrawCrossGlyph(HDC dc, int left, int top, int right, int bottom, COLORREF colour);

// The system colour of an index, asked for the way the device wants it.
COLORREF SystemColor(int index);

#endif
