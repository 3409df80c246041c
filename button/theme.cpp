// Theme colours, colour conversions, fonts and glyphs.
#include "button/theme.h"

HFONT menuFont = NULL;
HFONT glyphFont = NULL;

void LoadFonts() {}

void LoadThemeColors() {}
