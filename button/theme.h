// Theme colours, colour conversions, fonts and glyphs shared by the button and the menu.
#ifndef VEXO_BUTTON_THEME_H
#define VEXO_BUTTON_THEME_H

#include <windows.h>

extern HFONT menuFont;
extern HFONT glyphFont;

void LoadFonts();
void LoadThemeColors();

#endif
