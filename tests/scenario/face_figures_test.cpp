// The button face's figures as they are designed, asserted one by one: the dot's and the
// button's boxes with and without the dot, the X, the colours released and pressed, and the
// old-style background, for every shell style at 96 and 192 DPI and on screens whose two DPI
// differ. The reference images guard against change; these say what is right.
#include "support/device_fixture.h"

#include <windows.h>

#include <cesim/gdi_trace.h>

#include "shell/gestures.h"

#include <map>

using vexotest::ChangeSettings;
using vexotest::FindButtonWindow;
using vexotest::kSettingsPath;

namespace {

typedef std::vector<int64_t> Args;

// Theme and system colours that are all told apart.
const COLORREF kTheme6 = RGB(10, 20, 30), kTheme8 = RGB(40, 110, 200), kTheme9 = RGB(250, 240, 230);
const COLORREF kSysBackground = RGB(11, 22, 33), kSysFrame = RGB(66, 66, 66),
               kSysMenuText = RGB(77, 77, 77), kSysHighlight = RGB(0, 0, 255);
// HslToRgb(hue, saturation, 0.45 x lightness) of that highlight.
const COLORREF kDarkHighlight = RGB(0, 0, 114);
const char kTheme[] = "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Color]\n"
                      "\"6\"=dword:001e140a\n\"8\"=dword:00c86e28\n\"9\"=dword:00e6f0fa\n"
                      "\"13\"=dword:00030201\n";

enum class Face { Round, Gradient, Framed };

struct FaceCase {
    int major, minor, dpiX, dpiY;
    Face face;
    Args dot;                   // the dot's Ellipse
    Args round, roundNoDot;     // the round button's Ellipse with the dot and without
    Args ownFace, ownFaceNoDot; // the style's own face: the Ellipse, the first and last
                                // column of the gradient, the framed button's outer Rectangle
    Args inner;                 // the framed button's inner Rectangle
    Args cross;                 // the first diagonal of the style's own X, with the dot
    Args roundCross;            // the same of the round button's X
};

// One shape as drawn, with the colours of the pen and brush selected then (-1: the null pen,
// -2: one the shape did not create, such as a stock object).
struct Shape {
    std::string name;
    Args box;
    int64_t pen = -2, brush = -2;
};

std::vector<Shape> Shapes(const std::vector<cesim::GdiCall>& calls) {
    std::map<int64_t, int64_t> pens, brushes; // handle -> colour
    std::map<int64_t, bool> isPen;            // handles seen being selected, by kind
    int64_t pen = -2, brush = -2;
    std::vector<Shape> shapes;
    for (const cesim::GdiCall& c : calls) {
        if (c.name == "CreatePen") {
            pens[c.result] = c.args[0] == PS_NULL ? -1 : c.args[2];
            isPen[c.result] = true;
        } else if (c.name == "CreateSolidBrush") {
            brushes[c.result] = c.args[0];
            isPen[c.result] = false;
        } else if (c.name == "SelectObject" && isPen.count(c.args[0])) {
            const bool aPen = isPen[c.args[0]];
            isPen[c.result] = aPen;
            if (aPen)
                pen = pens.count(c.args[0]) ? pens[c.args[0]] : -2;
            else
                brush = brushes.count(c.args[0]) ? brushes[c.args[0]] : -2;
        } else if (c.name == "Ellipse" || c.name == "Rectangle" || c.name == "Polyline") {
            shapes.push_back(Shape{c.name, c.args, pen, brush});
        }
    }
    return shapes;
}

std::vector<Shape> Only(const std::vector<Shape>& shapes, const std::string& name) {
    std::vector<Shape> out;
    for (const Shape& s : shapes)
        if (s.name == name)
            out.push_back(s);
    return out;
}

std::vector<Shape> PaintOnce(DWORD vexo) {
    cesim::StartGdiTraceOfProcess(vexo);
    InvalidateRect(FindButtonWindow(), nullptr, FALSE);
    cesim::Settle();
    cesim::StopGdiTrace();
    return Shapes(cesim::GdiTrace());
}

// The lines of the X, drawn last: both diagonals and four more for each further pixel of
// thickness Sx(2).
std::vector<Shape> CrossLines(const std::vector<Shape>& shapes, int dpiX) {
    std::vector<Shape> lines = Only(shapes, "Polyline");
    const size_t count = 2 + 4 * ((2 * dpiX + 48) / 96 - 1);
    if (lines.size() < count)
        return {};
    return std::vector<Shape>(lines.end() - count, lines.end());
}

void ExpectCross(const std::vector<Shape>& shapes, const FaceCase& c, const Args& firstDiagonal,
                 COLORREF colour) {
    std::vector<Shape> cross = CrossLines(shapes, c.dpiX);
    ASSERT_FALSE(cross.empty());
    EXPECT_EQ(cross.front().box, firstDiagonal);
    for (const Shape& line : cross)
        EXPECT_EQ(line.pen, int64_t(colour));
}

// The button's own face as drawn: its box, its fill and the X on it.
void ExpectFace(const std::vector<Shape>& shapes, const FaceCase& c, Face face, bool dot,
                bool pressed) {
    const std::vector<Shape> ellipses = Only(shapes, "Ellipse");
    if (dot) {
        ASSERT_FALSE(ellipses.empty());
        EXPECT_EQ(ellipses.front().box, c.dot);
        EXPECT_EQ(ellipses.front().brush, int64_t(kTheme9));
        EXPECT_EQ(ellipses.front().pen, -1);
    }
    const int style = c.major == 5 ? (c.minor < 2 ? 2 : 3) : c.major == 4 ? 1 : 0;
    switch (face) {
    case Face::Round: {
        ASSERT_EQ(ellipses.size(), dot ? 2u : 1u);
        EXPECT_EQ(ellipses.back().box, dot ? c.round : c.roundNoDot);
        const COLORREF fill = !pressed ? kTheme9 : style >= 2 ? kTheme6 : kTheme8;
        EXPECT_EQ(ellipses.back().brush, int64_t(fill));
        // At low DPI the circle is outlined in its own colour, above it not at all.
        EXPECT_EQ(ellipses.back().pen, c.dpiX < 130 ? int64_t(fill) : -1);
        if (dot)
            ExpectCross(shapes, c, c.roundCross, pressed ? kTheme9 : kTheme8);
        break;
    }
    case Face::Gradient: {
        EXPECT_EQ(ellipses.size(), dot ? 1u : 0u);
        const Args& box = dot ? c.ownFace : c.ownFaceNoDot;
        std::vector<Shape> columns;
        for (const Shape& s : Only(shapes, "Polyline"))
            if (s.box[1] == box[1] && s.box[3] == box[3] && s.box[0] == s.box[2])
                columns.push_back(s);
        ASSERT_EQ(columns.size(), size_t(box[2] - box[0] + 1));
        EXPECT_EQ(columns.front().box[0], box[0]);
        EXPECT_EQ(columns.back().box[0], box[2]);
        // From the main colour, whether pressed or not.
        EXPECT_EQ(columns.front().pen, int64_t(kTheme8));
        if (dot)
            ExpectCross(shapes, c, c.cross, pressed ? kSysMenuText : kTheme9);
        break;
    }
    case Face::Framed: {
        EXPECT_EQ(ellipses.size(), dot ? 1u : 0u);
        const std::vector<Shape> frames = Only(shapes, "Rectangle");
        ASSERT_EQ(frames.size(), 2u);
        EXPECT_EQ(frames[0].box, dot ? c.ownFace : c.ownFaceNoDot);
        EXPECT_EQ(frames[0].pen, int64_t(kSysFrame));
        EXPECT_EQ(frames[1].pen, int64_t(kSysHighlight));
        EXPECT_EQ(frames[1].brush, int64_t(kTheme8));
        if (dot) {
            EXPECT_EQ(frames[1].box, c.inner);
            ExpectCross(shapes, c, c.cross, pressed ? kSysMenuText : kTheme9);
        }
        break;
    }
    }
}

uint32_t Pixel(COLORREF c) {
    return GetRValue(c) << 16 | GetGValue(c) << 8 | GetBValue(c);
}

void CheckFigures(const FaceCase& c) {
    vexotest::BootDeviceWithDpi(c.dpiX, c.dpiY, kTheme, c.major, c.minor);
    cesim::SetSysColor(COLOR_BACKGROUND, kSysBackground);
    cesim::SetSysColor(COLOR_WINDOWFRAME, kSysFrame);
    cesim::SetSysColor(COLOR_MENUTEXT, kSysMenuText);
    cesim::SetSysColor(COLOR_HIGHLIGHT, kSysHighlight);
    vexotest::StartWindowProgram(u"Notes"); // no caption: the X
    DWORD vexo = vexotest::StartVexo();
    ASSERT_NE(FindButtonWindow(), nullptr);

    {
        SCOPED_TRACE("released, with the dot");
        ExpectFace(PaintOnce(vexo), c, c.face, true, false);
    }
    {
        SCOPED_TRACE("pressed");
        pressed = true;
        ExpectFace(PaintOnce(vexo), c, c.face, true, true);
        pressed = false;
    }
    ChangeSettings([] { cesim::reg::SetDword(kSettingsPath, "ShowDot", 0); });
    {
        SCOPED_TRACE("without the dot");
        ExpectFace(PaintOnce(vexo), c, c.face, false, false);
    }
    ChangeSettings([] {
        cesim::reg::SetDword(kSettingsPath, "ShowDot", 1);
        cesim::reg::SetDword(kSettingsPath, "OldStyleButton", 1);
    });
    {
        SCOPED_TRACE("the old button, released and pressed");
        ExpectFace(PaintOnce(vexo), c, Face::Round, true, false);
        pressed = true;
        ExpectFace(PaintOnce(vexo), c, Face::Round, true, true);
        pressed = false;
    }
    ChangeSettings([] {
        cesim::reg::SetDword(kSettingsPath, "OldStyleButton", 0);
        cesim::reg::SetDword(kSettingsPath, "OldStyleBkgnd", 1);
    });
    {
        SCOPED_TRACE("the old background");
        std::vector<Shape> shapes = PaintOnce(vexo);
        // The corner away from the dot and the button shows the background alone.
        cesim::Surface screen = cesim::ComposeScreen();
        RECT r = cesim::Inspect(FindButtonWindow())->rect;
        EXPECT_EQ(screen.at(r.right - 1, r.bottom - 1), Pixel(kSysBackground));
        EXPECT_EQ(screen.at(r.left + 1, r.top), Pixel(kSysBackground));
        if (c.face == Face::Framed) {
            // The framed button takes its colours from the highlight.
            const std::vector<Shape> frames = Only(shapes, "Rectangle");
            ASSERT_EQ(frames.size(), 3u); // the background first
            EXPECT_EQ(frames[1].pen, int64_t(kDarkHighlight));
            EXPECT_EQ(frames[2].pen, int64_t(kSysHighlight));
            EXPECT_EQ(frames[2].brush, int64_t(kSysHighlight));
        }
    }
}

// The figures below were worked out from the design by hand, not taken from the program.
#define FIGURES_CASE(name, ...)                                                                    \
    TEST(FaceFigures, name) {                                                                      \
        CheckFigures(FaceCase{__VA_ARGS__});                                                       \
    }

// 96 DPI: the worked example; lowDpi geometry.
FIGURES_CASE(OtherAt96, 6, 0, 96, 96, Face::Round, {0, 7, 8, 15}, {9, 2, 26, 19}, {8, 2, 25, 19},
             {9, 2, 26, 19}, {8, 2, 25, 19}, {}, {13, 6, 22, 15}, {13, 6, 22, 15})
FIGURES_CASE(Ce4At96, 4, 20, 96, 96, Face::Round, {0, 7, 8, 15}, {9, 2, 26, 19}, {8, 2, 25, 19},
             {9, 2, 26, 19}, {8, 2, 25, 19}, {}, {13, 6, 22, 15}, {13, 6, 22, 15})
FIGURES_CASE(Ce5At96, 5, 1, 96, 96, Face::Gradient, {0, 7, 8, 15}, {9, 2, 26, 19}, {8, 2, 25, 19},
             {9, 3, 25, 18}, {7, 3, 23, 18}, {}, {13, 6, 22, 15}, {13, 6, 22, 15})
FIGURES_CASE(Ce52At96, 5, 2, 96, 96, Face::Framed, {0, 7, 8, 15}, {9, 2, 26, 19}, {8, 2, 25, 19},
             {8, 2, 27, 19}, {6, 2, 25, 19}, {9, 3, 26, 18}, {13, 6, 22, 15}, {13, 6, 22, 15})
// 192 DPI: a 36 x 36 circle 2 pixels from the right edge with the dot, 6 without.
FIGURES_CASE(OtherAt192, 6, 0, 192, 192, Face::Round, {2, 14, 16, 28}, {18, 4, 54, 40},
             {14, 4, 50, 40}, {18, 4, 54, 40}, {14, 4, 50, 40}, {}, {27, 13, 45, 31},
             {27, 13, 45, 31})
FIGURES_CASE(Ce4At192, 4, 20, 192, 192, Face::Round, {2, 14, 16, 28}, {18, 4, 54, 40},
             {14, 4, 50, 40}, {18, 4, 54, 40}, {14, 4, 50, 40}, {}, {27, 13, 45, 31},
             {27, 13, 45, 31})
FIGURES_CASE(Ce5At192, 5, 1, 192, 192, Face::Gradient, {2, 14, 16, 28}, {18, 4, 54, 40},
             {14, 4, 50, 40}, {18, 6, 52, 36}, {13, 6, 47, 36}, {}, {27, 12, 46, 30},
             {27, 13, 45, 31})
FIGURES_CASE(Ce52At192, 5, 2, 192, 192, Face::Framed, {2, 14, 16, 28}, {18, 4, 54, 40},
             {14, 4, 50, 40}, {18, 5, 54, 37}, {13, 5, 49, 37}, {20, 7, 52, 35}, {28, 12, 46, 30},
             {27, 13, 45, 31})
// Tall pixels (96 across, 192 down) and wide ones (192 across, 96 down): widths scale across,
// heights down, and the dot's height across, to stay round.
FIGURES_CASE(Ce4Tall, 4, 20, 96, 192, Face::Round, {0, 14, 8, 22}, {9, 4, 26, 38}, {8, 4, 25, 38},
             {9, 4, 26, 38}, {8, 4, 25, 38}, {}, {13, 12, 22, 29}, {13, 12, 22, 29})
FIGURES_CASE(Ce4Wide, 4, 20, 192, 96, Face::Round, {2, 7, 16, 21}, {18, 2, 54, 20}, {14, 2, 50, 20},
             {18, 2, 54, 20}, {14, 2, 50, 20}, {}, {27, 7, 45, 16}, {27, 7, 45, 16})
FIGURES_CASE(Ce5Tall, 5, 1, 96, 192, Face::Gradient, {0, 14, 8, 22}, {9, 4, 26, 38}, {8, 4, 25, 38},
             {9, 6, 25, 36}, {7, 6, 23, 36}, {}, {13, 11, 22, 29}, {13, 12, 22, 29})
FIGURES_CASE(Ce5Wide, 5, 1, 192, 96, Face::Gradient, {2, 7, 16, 21}, {18, 2, 54, 20},
             {14, 2, 50, 20}, {18, 3, 52, 18}, {13, 3, 47, 18}, {}, {27, 7, 46, 16},
             {27, 7, 45, 16})
FIGURES_CASE(Ce52Tall, 5, 2, 96, 192, Face::Framed, {0, 14, 8, 22}, {9, 4, 26, 38}, {8, 4, 25, 38},
             {8, 4, 27, 38}, {6, 4, 25, 38}, {9, 6, 26, 36}, {13, 11, 22, 30}, {13, 12, 22, 29})
FIGURES_CASE(Ce52Wide, 5, 2, 192, 96, Face::Framed, {2, 7, 16, 21}, {18, 2, 54, 20},
             {14, 2, 50, 20}, {18, 3, 54, 19}, {13, 3, 49, 19}, {20, 4, 52, 18}, {28, 7, 46, 16},
             {27, 7, 45, 16})

} // namespace
