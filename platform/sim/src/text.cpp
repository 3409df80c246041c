// Text on the simulated device: fonts sized the Windows way, glyphs from DejaVu Sans rendered
// by FreeType in monochrome (no anti-aliasing, as on a CE screen with ClearType off), and
// DrawTextW's layout of lines, alignment and "&" mnemonics.
#include "gdi_model.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cstdio>
#include <map>
#include <tuple>

namespace cesim {
namespace gdi {
namespace {

const char* const kRegularFile = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
const char* const kBoldFile = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";

struct Face {
    FT_Face face = nullptr;
    int unitsPerEm = 2048;
    int winAscent = 0;
    int winDescent = 0;
    int lineGap = 0; // what the font asks beyond its Windows cell, in font units
    int averageWidth = 0;
    int maxWidth = 0;
};

struct Glyph {
    int left = 0; // from the pen position to the bitmap's first column
    int top = 0;  // from the baseline up to the bitmap's first row
    int width = 0;
    int rows = 0;
    int advance = 0;
    std::vector<uint8_t> ink; // one byte a pixel, 1 where the glyph covers it
};

struct Fonts {
    FT_Library library = nullptr;
    Face faces[2]; // regular, bold
    bool loaded = false;
    std::map<std::tuple<int, int, uint32_t>, Glyph> glyphs;
};

Fonts& F() {
    static Fonts* fonts = new Fonts;
    return *fonts;
}

bool LoadFace(FT_Library library, const char* path, Face& out) {
    if (FT_New_Face(library, path, 0, &out.face) != 0) {
        std::fprintf(stderr, "cesim: cannot load the font %s\n", path);
        out.face = nullptr;
        return false;
    }
    out.unitsPerEm = out.face->units_per_EM;
    const TT_OS2* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(out.face, FT_SFNT_OS2));
    const TT_HoriHeader* hhea =
        static_cast<const TT_HoriHeader*>(FT_Get_Sfnt_Table(out.face, FT_SFNT_HHEA));
    if (os2 && os2->usWinAscent + os2->usWinDescent > 0) {
        out.winAscent = os2->usWinAscent;
        out.winDescent = os2->usWinDescent;
        out.averageWidth = os2->xAvgCharWidth;
    } else {
        out.winAscent = out.face->ascender;
        out.winDescent = -out.face->descender;
    }
    if (hhea)
        out.lineGap = std::max(0, hhea->Line_Gap - ((out.winAscent + out.winDescent) -
                                                    (hhea->Ascender - hhea->Descender)));
    out.maxWidth = int(out.face->bbox.xMax - out.face->bbox.xMin);
    return true;
}

const Face* FaceFor(bool bold) {
    Fonts& f = F();
    if (!f.loaded) {
        f.loaded = true;
        if (FT_Init_FreeType(&f.library) != 0) {
            std::fprintf(stderr, "cesim: FreeType does not start\n");
            f.library = nullptr;
        } else {
            LoadFace(f.library, kRegularFile, f.faces[0]);
            LoadFace(f.library, kBoldFile, f.faces[1]);
        }
    }
    const Face& face = f.faces[bold ? 1 : 0];
    return face.face ? &face : nullptr;
}

int MulDivRound(int64_t a, int64_t b, int64_t c) {
    return c ? int((a * b + c / 2) / c) : 0;
}

// A font as GDI lays it out: the em size in pixels and the cell around it.
struct Metrics {
    const Face* face = nullptr;
    bool bold = false;
    int ppem = 0;
    int ascent = 0;
    int descent = 0;
    int height = 0;
    int externalLeading = 0;
    LOGFONTW logfont = {};
};

Metrics MetricsOf(const Lock& held, const LOGFONTW& lf) {
    Metrics m;
    m.logfont = lf;
    m.bold = lf.lfWeight >= FW_SEMIBOLD;
    m.face = FaceFor(m.bold);
    int height = lf.lfHeight;
    if (height == 0)
        height = -((12 * DisplayDpiY(held) + 48) / 96); // the system font's size
    const int upem = m.face ? m.face->unitsPerEm : 2048;
    const int cell = m.face ? m.face->winAscent + m.face->winDescent : upem;
    if (height < 0) {
        // A negative height is the character (em) height.
        m.ppem = -height;
    } else {
        // A positive one is the whole cell, ascent plus descent, never more than asked.
        m.ppem = MulDivRound(height, upem, cell);
    }
    m.ppem = std::min(std::max(m.ppem, 1), 1000);
    auto layOut = [&] {
        if (m.face) {
            m.ascent = MulDivRound(m.face->winAscent, m.ppem, upem);
            m.descent = MulDivRound(m.face->winDescent, m.ppem, upem);
            m.externalLeading = MulDivRound(m.face->lineGap, m.ppem, upem);
        } else {
            m.ascent = m.ppem;
        }
        m.height = m.ascent + m.descent;
    };
    layOut();
    // Ascent and descent round apart, so the cell can come out a pixel over what was asked.
    while (height > 0 && m.ppem > 1 && m.height > height) {
        --m.ppem;
        layOut();
    }
    return m;
}

Metrics MetricsOfDC(const Lock& held, const GdiObject& dc) {
    GdiObject* font = FindOf(held, dc.state.font, kFont);
    LOGFONTW lf = font ? LogFontOf(held, *font) : LOGFONTW();
    return MetricsOf(held, lf);
}

const Glyph& GlyphOf(const Metrics& m, char16_t c) {
    Fonts& f = F();
    auto key = std::make_tuple(m.bold ? 1 : 0, m.ppem, uint32_t(c));
    auto it = f.glyphs.find(key);
    if (it != f.glyphs.end())
        return it->second;
    Glyph& g = f.glyphs[key];
    if (!m.face)
        return g;
    FT_Face face = m.face->face;
    if (FT_Set_Pixel_Sizes(face, 0, FT_UInt(m.ppem)) != 0 ||
        FT_Load_Char(face, c, FT_LOAD_RENDER | FT_LOAD_TARGET_MONO) != 0)
        return g;
    FT_GlyphSlot slot = face->glyph;
    const FT_Bitmap& bitmap = slot->bitmap;
    g.left = slot->bitmap_left;
    g.top = slot->bitmap_top;
    g.width = int(bitmap.width);
    g.rows = int(bitmap.rows);
    g.advance = int((slot->advance.x + 32) >> 6);
    g.ink.assign(size_t(g.width) * g.rows, 0);
    for (int y = 0; y < g.rows; ++y) {
        const unsigned char* row = bitmap.buffer + ptrdiff_t(y) * bitmap.pitch;
        for (int x = 0; x < g.width; ++x) {
            bool on = bitmap.pixel_mode == FT_PIXEL_MODE_MONO ? (row[x >> 3] >> (7 - (x & 7))) & 1
                                                              : row[x] >= 128;
            g.ink[size_t(y) * g.width + x] = on ? 1 : 0;
        }
    }
    return g;
}

int Extent(const Metrics& m, const std::u16string& text, size_t count) {
    int width = 0;
    for (size_t i = 0; i < count && i < text.size(); ++i)
        width += GlyphOf(m, text[i]).advance;
    return width;
}

RECT Intersect(RECT a, const RECT* b) {
    if (b) {
        a.left = std::max(a.left, b->left);
        a.top = std::max(a.top, b->top);
        a.right = std::min(a.right, b->right);
        a.bottom = std::min(a.bottom, b->bottom);
    }
    return a;
}

// Draws a run of text with its cell's top left at (x, y), within `clip` when there is one:
// the cells in the background colour first when the DC is OPAQUE, then each glyph's pixels
// in the text colour.
void DrawRun(const GdiObject& dc, const Target& target, const Metrics& m, int x, int y,
             const std::u16string& text, const RECT* clip, const int* advances) {
    Surface& s = *target.surface;
    int width = 0;
    for (size_t i = 0; i < text.size(); ++i)
        width += advances ? advances[i] : GlyphOf(m, text[i]).advance;
    if (dc.state.bkMode == OPAQUE) {
        RECT cell = {x, y, x + width, y + m.height};
        FillPixels(s, Intersect(cell, clip), PixelFor(target, dc.state, dc.state.bkColor, false));
    }
    const uint32_t ink = PixelFor(target, dc.state, dc.state.textColor, true);
    const int baseline = y + m.ascent;
    int pen = x;
    for (size_t i = 0; i < text.size(); ++i) {
        const Glyph& g = GlyphOf(m, text[i]);
        for (int row = 0; row < g.rows; ++row)
            for (int col = 0; col < g.width; ++col) {
                if (!g.ink[size_t(row) * g.width + col])
                    continue;
                int px = pen + g.left + col, py = baseline - g.top + row;
                if (clip &&
                    (px < clip->left || px >= clip->right || py < clip->top || py >= clip->bottom))
                    continue;
                s.set(px, py, ink);
            }
        pen += advances ? advances[i] : g.advance;
    }
}

// One line of DrawTextW's input with the mnemonic marks taken out.
struct TextLine {
    std::u16string chars;
    int prefix = -1; // the character to underline, if any
};

// Reads a line from text[pos, end): up to a line break unless single-line (a break is CR, LF,
// or CR LF / LF CR as one). "&" marks the next character for underlining and is not shown,
// the last mark of a line winning; "&&" shows one "&"; a lone "&" at the very end shows.
TextLine NextLine(const WCHAR* text, size_t& pos, size_t end, UINT format) {
    TextLine line;
    const bool single = (format & DT_SINGLELINE) != 0;
    while (pos < end) {
        char16_t c = char16_t(text[pos]);
        if (!single && (c == u'\r' || c == u'\n'))
            break;
        if ((format & DT_NOPREFIX) || end - pos <= 1 || c != u'&') {
            line.chars += c;
            ++pos;
            continue;
        }
        ++pos;
        if (text[pos] == L'&') {
            line.chars += u'&';
            ++pos;
        } else {
            line.prefix = int(line.chars.size());
        }
    }
    if (pos < end && !single) {
        ++pos;
        if (pos < end && (text[pos] == L'\r' || text[pos] == L'\n') && text[pos] != text[pos - 1])
            ++pos;
    }
    return line;
}

int LayOutText(const Lock& held, HDC dcHandle, LPCWSTR text, int count, LPRECT rect, UINT format) {
    GdiObject* dc = FindDC(held, dcHandle);
    if (!dc || !text || !rect)
        return 0;
    Target target = TargetOf(held, *dc);
    const bool calc = (format & DT_CALCRECT) != 0;
    if (!target.surface && !calc)
        return 0;
    const Metrics m = MetricsOfDC(held, *dc);
    const int lineHeight = m.height + ((format & DT_EXTERNALLEADING) ? m.externalLeading : 0);
    if (text[0] && count == 0)
        return lineHeight;
    if (count < 0) {
        count = 0;
        while (text[count])
            ++count;
        if (count == 0) {
            if (calc) {
                rect->right = rect->left;
                rect->bottom = rect->top + ((format & DT_SINGLELINE) ? lineHeight : 0);
            }
            return lineHeight;
        }
    }
    if (calc)
        format |= DT_NOCLIP;
    const bool clipped = !(format & DT_NOCLIP);
    const RECT box = *rect;
    int x = box.left, y = box.top, widest = 0;
    size_t pos = 0;
    bool lastLine = false;
    do {
        lastLine = clipped && y + lineHeight > box.bottom;
        TextLine line = NextLine(text, pos, size_t(count), format);
        const int width = Extent(m, line.chars, line.chars.size());
        if (format & DT_CENTER)
            x = (box.left + box.right - width) / 2;
        else if (format & DT_RIGHT)
            x = box.right - width;
        if (format & DT_SINGLELINE) {
            // Halved separately, as GDI does: a cell one pixel taller than the box's spare
            // room lands the upper pixel.
            if (format & DT_VCENTER)
                y = box.top + (box.bottom - box.top) / 2 - m.height / 2;
            else if (format & DT_BOTTOM)
                y = box.bottom - m.height;
        }
        if (calc) {
            widest = std::max(widest, width);
        } else {
            DrawRun(*dc, target, m, x, y, line.chars, clipped ? &box : nullptr, nullptr);
            if (line.prefix >= 0 && size_t(line.prefix) < line.chars.size()) {
                // One pixel below the baseline, from the character's left edge to one pixel
                // short of its advance.
                int from = x + Extent(m, line.chars, size_t(line.prefix));
                int to = x + Extent(m, line.chars, size_t(line.prefix) + 1) - 1;
                int uy = y + m.ascent + 1;
                bool shown = true;
                if (clipped) {
                    shown = !(from > box.right || to < box.left || uy < box.top || uy > box.bottom);
                    from = std::max<int>(from, box.left);
                    to = std::min<int>(to, box.right);
                }
                if (shown) {
                    RECT underline = {from, uy, to, uy + 1};
                    FillPixels(*target.surface, underline,
                               PixelFor(target, dc->state, dc->state.textColor, true));
                }
            }
        }
        y += lineHeight;
    } while (pos < size_t(count) && !lastLine);
    if (calc) {
        rect->right = rect->left + widest;
        rect->bottom = y;
    }
    int height = y - box.top;
    return height ? height : 1;
}

} // namespace
} // namespace gdi
} // namespace cesim

using namespace cesim;
using namespace cesim::gdi;

extern "C" {

BOOL GetTextExtentPoint32W(HDC dcHandle, LPCWSTR text, int count, LPSIZE size) {
    Lock lock(Kernel::Mutex());
    GdiObject* dc = FindDC(lock, dcHandle);
    BOOL ok = FALSE;
    if (dc && size && count >= 0 && (text || count == 0)) {
        const Metrics m = MetricsOfDC(lock, *dc);
        std::u16string s = TextArg(text, count);
        size->cx = Extent(m, s, s.size());
        size->cy = m.height;
        ok = TRUE;
    }
    Record(lock, "GetTextExtentPoint32W", dcHandle, {count}, ok, TraceText(text, count));
    return ok;
}

BOOL GetTextMetricsW(HDC dcHandle, LPTEXTMETRICW tm) {
    Lock lock(Kernel::Mutex());
    GdiObject* dc = FindDC(lock, dcHandle);
    BOOL ok = FALSE;
    if (dc && tm) {
        const Metrics m = MetricsOfDC(lock, *dc);
        const int upem = m.face ? m.face->unitsPerEm : 2048;
        *tm = TEXTMETRICW();
        tm->tmHeight = m.height;
        tm->tmAscent = m.ascent;
        tm->tmDescent = m.descent;
        tm->tmInternalLeading = m.height - m.ppem;
        tm->tmExternalLeading = m.externalLeading;
        tm->tmAveCharWidth = m.face ? MulDivRound(m.face->averageWidth, m.ppem, upem) : 0;
        tm->tmMaxCharWidth = m.face ? MulDivRound(m.face->maxWidth, m.ppem, upem) : 0;
        tm->tmWeight = m.bold ? FW_BOLD : FW_NORMAL;
        tm->tmDigitizedAspectX = DisplayDpiX(lock);
        tm->tmDigitizedAspectY = DisplayDpiY(lock);
        tm->tmFirstChar = 0x20;
        tm->tmLastChar = 0xFFFC;
        tm->tmDefaultChar = 0x1F;
        tm->tmBreakChar = 0x20;
        tm->tmItalic = m.logfont.lfItalic;
        tm->tmUnderlined = m.logfont.lfUnderline;
        tm->tmStruckOut = m.logfont.lfStrikeOut;
        // TMPF_FIXED_PITCH set means a variable-pitch font, as Windows has it.
        tm->tmPitchAndFamily = TMPF_FIXED_PITCH | TMPF_VECTOR | TMPF_TRUETYPE | FF_SWISS;
        tm->tmCharSet = m.logfont.lfCharSet;
        ok = TRUE;
    }
    Record(lock, "GetTextMetricsW", dcHandle, {}, ok);
    return ok;
}

BOOL ExtTextOutW(HDC dcHandle, int x, int y, UINT options, const RECT* rect, LPCWSTR text,
                 UINT count, const int* advances) {
    Lock lock(Kernel::Mutex());
    GdiObject* dc = FindDC(lock, dcHandle);
    Target target = dc ? TargetOf(lock, *dc) : Target();
    int64_t args[8] = {x, y, int64_t(options), int64_t(count)};
    size_t n = 4;
    if (rect)
        for (LONG side : {rect->left, rect->top, rect->right, rect->bottom})
            args[n++] = side;
    std::u16string s = TextArg(text, text ? int(count) : 0);
    BOOL ok = FALSE;
    if (target.surface) {
        if ((options & ETO_OPAQUE) && rect)
            FillPixels(*target.surface, *rect,
                       PixelFor(target, dc->state, dc->state.bkColor, false));
        const Metrics m = MetricsOfDC(lock, *dc);
        DrawRun(*dc, target, m, x, y, s, (options & ETO_CLIPPED) ? rect : nullptr, advances);
        ok = TRUE;
    }
    RecordCall(lock, "ExtTextOutW", dcHandle, args, n, ok, s);
    return ok;
}

int DrawTextW(HDC dc, LPCWSTR text, int count, LPRECT rect, UINT format) {
    Lock lock(Kernel::Mutex());
    int64_t args[6] = {count};
    size_t n = 1;
    if (rect)
        for (LONG side : {rect->left, rect->top, rect->right, rect->bottom})
            args[n++] = side;
    args[n++] = int64_t(format);
    int height = LayOutText(lock, dc, text, count, rect, format);
    RecordCall(lock, "DrawTextW", dc, args, n, height, TraceText(text, count));
    return height;
}

} // extern "C"
