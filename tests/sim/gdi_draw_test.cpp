// The device's GDI drawing: which pixels each shape covers, object rules, DC state, block
// transfers, icons, the call trace and the OS version.

// gtest leaves out <sys/stat.h> when it sees _WIN32_WCE, which the simulated device defines.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <windows.h>

#include <cesim/device.h>
#include <cesim/gdi_trace.h>

#include "platform/sim/src/icons.h"

#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

const COLORREF kWhite = RGB(255, 255, 255);
const COLORREF kPen = RGB(255, 0, 0);
const COLORREF kFill = RGB(0, 0, 255);
const COLORREF kOther = RGB(0, 160, 0);

char Legend(COLORREF c) {
    switch (c) {
    case kWhite:
        return '.';
    case kPen:
        return 'o';
    case kFill:
        return '#';
    case kOther:
        return '+';
    case RGB(0, 0, 0):
        return 'x';
    }
    return '?';
}

std::vector<std::string> Map(HDC dc, int x0, int y0, int width, int height) {
    std::vector<std::string> rows;
    for (int y = y0; y < y0 + height; ++y) {
        std::string row;
        for (int x = x0; x < x0 + width; ++x)
            row += Legend(GetPixel(dc, x, y));
        rows.push_back(row);
    }
    return rows;
}

// Compares the pixels at (x0, y0) with a map ('.' white, 'o' pen, '#' fill, '+' other,
// 'x' black); a failure shows both maps and lists the pixels that differ.
::testing::AssertionResult MatchesMap(HDC dc, int x0, int y0,
                                      const std::vector<std::string>& expected) {
    std::vector<std::string> actual =
        Map(dc, x0, y0, int(expected[0].size()), int(expected.size()));
    if (actual == expected)
        return ::testing::AssertionSuccess();
    ::testing::AssertionResult failure = ::testing::AssertionFailure();
    failure << "expected | actual\n";
    for (size_t y = 0; y < expected.size(); ++y)
        failure << expected[y] << " | " << actual[y] << "\n";
    for (size_t y = 0; y < expected.size(); ++y)
        for (size_t x = 0; x < expected[y].size(); ++x)
            if (expected[y][x] != actual[y][x])
                failure << "(" << x0 + int(x) << ", " << y0 + int(y) << "): expected '"
                        << expected[y][x] << "', got '" << actual[y][x] << "'\n";
    return failure;
}

// Creates an object, selects it, and on leaving the scope selects back and deletes it.
class Selected {
public:
    Selected(HDC dc, HGDIOBJ object) : dc_(dc), object_(object), old_(SelectObject(dc, object)) {}
    ~Selected() {
        SelectObject(dc_, old_);
        EXPECT_TRUE(DeleteObject(object_));
    }
    Selected(const Selected&) = delete;
    Selected& operator=(const Selected&) = delete;

private:
    HDC dc_;
    HGDIOBJ object_;
    HGDIOBJ old_;
};

// A memory DC with a white colour bitmap, on a fresh device; the test must leave no objects.
class Canvas : public ::testing::Test {
protected:
    void SetUp() override {
        cesim::Boot();
        HDC screen = GetDC(nullptr);
        dc_ = CreateCompatibleDC(screen);
        bitmap_ = CreateCompatibleBitmap(screen, kSize, kSize);
        ReleaseDC(nullptr, screen);
        original_ = SelectObject(dc_, bitmap_);
        Clear(dc_);
        baseline_ = cesim::LiveGdiObjects();
    }
    void TearDown() override {
        EXPECT_EQ(cesim::LiveGdiObjects(), baseline_) << "the test leaked GDI objects";
        SelectObject(dc_, original_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
        EXPECT_EQ(cesim::LiveGdiObjects(), 0u);
    }
    static void Clear(HDC dc, COLORREF color = kWhite) {
        RECT all = {0, 0, kSize, kSize};
        HBRUSH brush = CreateSolidBrush(color);
        FillRect(dc, &all, brush);
        DeleteObject(brush);
    }
    // Draws with a pen (width 0: the null pen) and the fill brush (or none).
    void Shape(BOOL (*shape)(HDC, int, int, int, int), RECT r, int penWidth, bool filled = true) {
        Selected pen(dc_, CreatePen(penWidth ? PS_SOLID : PS_NULL, penWidth, kPen));
        HGDIOBJ oldBrush = SelectObject(dc_, GetStockObject(NULL_BRUSH));
        HBRUSH brush = CreateSolidBrush(kFill);
        if (filled)
            SelectObject(dc_, brush);
        EXPECT_TRUE(shape(dc_, r.left, r.top, r.right, r.bottom));
        SelectObject(dc_, oldBrush);
        DeleteObject(brush);
    }
    std::set<std::pair<int, int>> Painted() {
        std::set<std::pair<int, int>> pixels;
        for (int y = 0; y < kSize; ++y)
            for (int x = 0; x < kSize; ++x)
                if (GetPixel(dc_, x, y) != kWhite)
                    pixels.insert({x, y});
        return pixels;
    }

    static constexpr int kSize = 24;
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ original_ = nullptr;
    size_t baseline_ = 0;
};

// ---- rectangles ---------------------------------------------------------------------------

TEST_F(Canvas, RectangleCoversTheHalfOpenBoxWithTheOutlineInside) {
    Shape(Rectangle, {2, 1, 8, 6}, 1);
    EXPECT_TRUE(MatchesMap(dc_, 1, 0,
                           {
                               "........",
                               ".oooooo.",
                               ".o####o.",
                               ".o####o.",
                               ".o####o.",
                               ".oooooo.",
                               "........",
                           }));
}

TEST_F(Canvas, RectangleWithANullPenFillsOnePixelLessOnTheRightAndBottom) {
    Shape(Rectangle, {2, 1, 8, 6}, 0);
    EXPECT_TRUE(MatchesMap(dc_, 1, 0,
                           {
                               "........",
                               ".#####..",
                               ".#####..",
                               ".#####..",
                               ".#####..",
                               "........",
                               "........",
                           }));
}

TEST_F(Canvas, RectangleWithTheNullBrushDrawsOnlyTheOutline) {
    Shape(Rectangle, {1, 1, 5, 4}, 1, false);
    EXPECT_TRUE(MatchesMap(dc_, 0, 0,
                           {
                               "......",
                               ".oooo.",
                               ".o..o.",
                               ".oooo.",
                               "......",
                           }));
}

TEST_F(Canvas, WidePensAreCentredOnTheRectangleOutline) {
    // The outline runs through (left, top) and (right - 1, bottom - 1); half the pen lies
    // outside it, the larger half towards the top and left, with round joins at the corners.
    Shape(Rectangle, {3, 3, 11, 10}, 2);
    EXPECT_TRUE(MatchesMap(dc_, 1, 1,
                           {
                               "............",
                               ".ooooooooo..",
                               ".ooooooooo..",
                               ".oo#####oo..",
                               ".oo#####oo..",
                               ".oo#####oo..",
                               ".oo#####oo..",
                               ".ooooooooo..",
                               ".ooooooooo..",
                               "............",
                           }));
    Clear(dc_);
    Shape(Rectangle, {3, 3, 11, 10}, 3);
    EXPECT_TRUE(MatchesMap(dc_, 1, 1,
                           {
                               "............",
                               "..oooooooo..",
                               ".oooooooooo.",
                               ".oooooooooo.",
                               ".ooo####ooo.",
                               ".ooo####ooo.",
                               ".ooo####ooo.",
                               ".oooooooooo.",
                               ".oooooooooo.",
                               "..oooooooo..",
                               "............",
                           }));
}

TEST_F(Canvas, RectangleCornersMayComeInEitherOrderAndEmptyBoxesDrawNothing) {
    Shape(Rectangle, {8, 6, 2, 1}, 1);
    std::set<std::pair<int, int>> reversed = Painted();
    Clear(dc_);
    Shape(Rectangle, {2, 1, 8, 6}, 1);
    EXPECT_EQ(Painted(), reversed);
    Clear(dc_);
    Shape(Rectangle, {4, 4, 4, 9}, 1);
    Shape(Rectangle, {4, 4, 9, 4}, 3);
    // A 1x1 box has an outline of no length and no inside (as Wine's DIB engine draws it).
    Shape(Rectangle, {4, 4, 5, 5}, 1);
    EXPECT_TRUE(Painted().empty());
}

// ---- ellipses -----------------------------------------------------------------------------

TEST_F(Canvas, SmallEllipsesMatchTheirPixelMaps) {
    Shape(Ellipse, {1, 1, 2, 2}, 1);
    EXPECT_TRUE(Painted().empty()) << "1x1 is a rectangle of no size";
    Shape(Ellipse, {1, 1, 3, 3}, 1);
    Shape(Ellipse, {5, 1, 8, 4}, 1);
    Shape(Ellipse, {10, 1, 14, 5}, 1);
    Shape(Ellipse, {15, 1, 20, 6}, 1);
    EXPECT_TRUE(MatchesMap(dc_, 0, 0,
                           {
                               ".....................",
                               ".oo...o....oo...ooo..",
                               ".oo..o#o..o##o.o###o.",
                               "......o...o##o.o###o.",
                               "...........oo..o###o.",
                               "................ooo..",
                               ".....................",
                           }));
}

TEST_F(Canvas, EllipsesOfEvenAndOddSizesStayInTheirBox) {
    Shape(Ellipse, {1, 1, 9, 9}, 1);
    Shape(Ellipse, {10, 1, 19, 10}, 1);
    EXPECT_TRUE(MatchesMap(dc_, 0, 0,
                           {
                               "...................",
                               "...oooo......ooo...",
                               "..o####o...oo###oo.",
                               ".o######o..o#####o.",
                               ".o######o.o#######o",
                               ".o######o.o#######o",
                               ".o######o.o#######o",
                               "..o####o...o#####o.",
                               "...oooo....oo###oo.",
                               ".............ooo...",
                               "...................",
                           }));
    Clear(dc_);
    Shape(Ellipse, {1, 1, 8, 5}, 1);
    Shape(Ellipse, {10, 1, 22, 7}, 1);
    EXPECT_TRUE(MatchesMap(dc_, 0, 0,
                           {
                               ".......................",
                               "..ooooo......oooooo....",
                               ".o#####o...oo######oo..",
                               ".o#####o..o##########o.",
                               "..ooooo...o##########o.",
                               "...........oo######oo..",
                               ".............oooooo....",
                               ".......................",
                           }));
    // Tall and narrow: the tip runs up the middle to the box's top and bottom rows.
    Clear(dc_);
    Shape(Ellipse, {1, 1, 5, 9}, 1);
    EXPECT_TRUE(MatchesMap(dc_, 0, 0,
                           {
                               "......",
                               "..oo..",
                               "..oo..",
                               ".o##o.",
                               ".o##o.",
                               ".o##o.",
                               ".o##o.",
                               "..oo..",
                               "..oo..",
                               "......",
                           }));
}

TEST_F(Canvas, TheDotIsAnEightPixelDiscWithANullPen) {
    Shape(Ellipse, {0, 7, 8, 15}, 0);
    EXPECT_TRUE(MatchesMap(dc_, 0, 6,
                           {
                               "..........",
                               "..####....",
                               ".######...",
                               "########..",
                               "########..",
                               "########..",
                               "########..",
                               ".######...",
                               "..####....",
                               "..........",
                           }));
}

TEST_F(Canvas, SeventeenPixelCircle) {
    Shape(Ellipse, {2, 2, 19, 19}, 1);
    EXPECT_TRUE(MatchesMap(dc_, 1, 1,
                           {
                               "...................", ".......ooooo.......", ".....oo#####oo.....",
                               "....o#########o....", "...o###########o...", "..o#############o..",
                               "..o#############o..", ".o###############o.", ".o###############o.",
                               ".o###############o.", ".o###############o.", ".o###############o.",
                               "..o#############o..", "..o#############o..", "...o###########o...",
                               "....o#########o....", ".....oo#####oo.....", ".......ooooo.......",
                               "...................",
                           }));
}

TEST_F(Canvas, EveryEllipseIsSymmetricInsideItsBoxAndReachesAllFourSides) {
    for (int w = 3; w <= 20; ++w)
        for (int h = 3; h <= 20; ++h)
            for (int pen : {0, 1}) {
                Clear(dc_);
                Shape(Ellipse, {2, 2, 2 + w, 2 + h}, pen);
                std::set<std::pair<int, int>> pixels = Painted();
                int left = kSize, right = -1, top = kSize, bottom = -1;
                for (auto p : pixels) {
                    left = std::min(left, p.first);
                    right = std::max(right, p.first);
                    top = std::min(top, p.second);
                    bottom = std::max(bottom, p.second);
                    EXPECT_TRUE(pixels.count({2 + 2 + w - 1 - p.first, p.second}) &&
                                pixels.count({p.first, 2 + 2 + h - 1 - p.second}))
                        << w << "x" << h << " pen " << pen << " at " << p.first << "," << p.second;
                }
                EXPECT_EQ(left, 2) << w << "x" << h;
                EXPECT_EQ(top, 2) << w << "x" << h;
                EXPECT_EQ(right, 2 + w - 1) << w << "x" << h;
                EXPECT_EQ(bottom, 2 + h - 1) << w << "x" << h;
            }
}

// ---- lines --------------------------------------------------------------------------------

TEST_F(Canvas, EachPolylineSegmentLeavesOutItsLastPixel) {
    Selected pen(dc_, CreatePen(PS_SOLID, 1, kPen));
    POINT path[] = {{1, 1}, {6, 1}, {6, 4}, {2, 6}};
    EXPECT_TRUE(Polyline(dc_, path, 4));
    EXPECT_TRUE(MatchesMap(dc_, 0, 0,
                           {
                               "........",
                               ".oooooo.",
                               "......o.",
                               "......o.",
                               ".....oo.",
                               "...oo...",
                               "........",
                           }));
    POINT one[] = {{3, 3}};
    EXPECT_FALSE(Polyline(dc_, one, 1));
}

TEST_F(Canvas, ALineAndItsReverseCoverTheSamePixelsBetweenTheirEnds) {
    Selected pen(dc_, CreatePen(PS_SOLID, 1, kPen));
    for (int dx = -7; dx <= 7; ++dx)
        for (int dy = -7; dy <= 7; ++dy) {
            POINT a = {10, 10}, b = {10 + dx, 10 + dy};
            Clear(dc_);
            POINT forward[] = {a, b};
            Polyline(dc_, forward, 2);
            SetPixel(dc_, b.x, b.y, kPen);
            std::set<std::pair<int, int>> there = Painted();
            EXPECT_EQ(there.count({b.x, b.y}), 1u);
            Clear(dc_);
            POINT backward[] = {b, a};
            Polyline(dc_, backward, 2);
            SetPixel(dc_, a.x, a.y, kPen);
            EXPECT_EQ(Painted(), there) << dx << "," << dy;
            // Along the major axis there is exactly one pixel per step.
            EXPECT_EQ(there.size(), size_t(std::max(std::abs(dx), std::abs(dy)) + 1));
        }
}

TEST_F(Canvas, LineToDrawsFromTheCurrentPositionAndMovesIt) {
    Selected pen(dc_, CreatePen(PS_SOLID, 0, kPen));
    POINT previous = {-1, -1};
    EXPECT_TRUE(MoveToEx(dc_, 1, 1, &previous));
    EXPECT_EQ(previous.x, 0);
    EXPECT_EQ(previous.y, 0);
    EXPECT_TRUE(LineTo(dc_, 4, 1));
    EXPECT_TRUE(LineTo(dc_, 4, 3));
    EXPECT_TRUE(MatchesMap(dc_, 0, 0,
                           {
                               "......",
                               ".oooo.",
                               "....o.",
                               "......",
                           }));
    MoveToEx(dc_, 0, 0, &previous);
    EXPECT_EQ(previous.x, 4);
    EXPECT_EQ(previous.y, 3);
}

TEST_F(Canvas, WidePolylinesHaveRoundCapsAndAZeroLengthOneIsADot) {
    Selected pen(dc_, CreatePen(PS_SOLID, 3, kPen));
    POINT path[] = {{2, 2}, {8, 2}, {8, 6}};
    Polyline(dc_, path, 3);
    POINT dot[] = {{3, 8}, {3, 8}};
    Polyline(dc_, dot, 2);
    EXPECT_TRUE(MatchesMap(dc_, 0, 0,
                           {
                               "...........",
                               "..ooooooo..",
                               ".ooooooooo.",
                               "..oooooooo.",
                               ".......ooo.",
                               ".......ooo.",
                               ".......ooo.",
                               "...o....o..",
                               "..ooo......",
                               "...o.......",
                               "...........",
                           }));
}

TEST_F(Canvas, TheNullPenDrawsNoLines) {
    Selected pen(dc_, CreatePen(PS_NULL, 1, kPen));
    POINT path[] = {{1, 1}, {9, 5}, {2, 8}};
    EXPECT_TRUE(Polyline(dc_, path, 3));
    MoveToEx(dc_, 0, 0, nullptr);
    EXPECT_TRUE(LineTo(dc_, 10, 10));
    EXPECT_TRUE(Painted().empty());
}

// ---- fills, pixels, transfers, icons ------------------------------------------------------

TEST_F(Canvas, FillRectFillsTheHalfOpenRectWithABrushOrASystemColour) {
    HBRUSH brush = CreateSolidBrush(kFill);
    RECT r = {1, 1, 4, 3};
    EXPECT_TRUE(FillRect(dc_, &r, brush));
    RECT reversed = {7, 3, 5, 1};
    cesim::SetSysColor(COLOR_HIGHLIGHT, kOther);
    EXPECT_TRUE(FillRect(dc_, &reversed, reinterpret_cast<HBRUSH>(COLOR_HIGHLIGHT + 1)));
    RECT nothing = {0, 0, 9, 9};
    FillRect(dc_, &nothing, static_cast<HBRUSH>(GetStockObject(NULL_BRUSH)));
    EXPECT_TRUE(MatchesMap(dc_, 0, 0,
                           {
                               "........",
                               ".###.++.",
                               ".###.++.",
                               "........",
                           }));
    DeleteObject(brush);
}

TEST_F(Canvas, SetPixelPaintsOnlyInsideTheBitmapAndGetPixelReadsItBack) {
    EXPECT_EQ(SetPixel(dc_, 3, 2, kOther), kOther);
    EXPECT_EQ(GetPixel(dc_, 3, 2), kOther);
    SetPixel(dc_, kSize, 0, kOther);
    SetPixel(dc_, -1, 5, kOther);
    EXPECT_EQ(Painted().size(), 1u);
    EXPECT_EQ(GetPixel(dc_, kSize, 0), CLR_INVALID);
    EXPECT_EQ(GetPixel(dc_, 0, -1), CLR_INVALID);
}

TEST_F(Canvas, BitBltCopiesOnlyWhatLiesOnBothBitmaps) {
    HDC source = CreateCompatibleDC(dc_);
    HDC screen = GetDC(nullptr);
    HBITMAP bits = CreateCompatibleBitmap(screen, 3, 3);
    ReleaseDC(nullptr, screen);
    HGDIOBJ old = SelectObject(source, bits);
    Clear(source, kOther);
    SetPixel(source, 1, 1, kFill);
    // Part of the block hangs off the source's right and bottom, part off the canvas's left.
    EXPECT_TRUE(BitBlt(dc_, 2, 1, 4, 4, source, 0, 0, SRCCOPY));
    EXPECT_TRUE(BitBlt(dc_, -1, 6, 3, 3, source, 0, 0, SRCCOPY));
    EXPECT_TRUE(BitBlt(dc_, kSize - 2, kSize - 2, 3, 3, source, 0, 0, SRCCOPY));
    EXPECT_TRUE(MatchesMap(dc_, 0, 0,
                           {
                               "........",
                               "..+++...",
                               "..+#+...",
                               "..+++...",
                               "........",
                               "........",
                               "++......",
                               "#+......",
                               "++......",
                               "........",
                           }));
    EXPECT_TRUE(MatchesMap(dc_, kSize - 3, kSize - 3,
                           {
                               "...",
                               ".++",
                               ".+#",
                           }));
    // A block that uses no source needs none.
    EXPECT_TRUE(BitBlt(dc_, 0, 0, 2, 1, nullptr, 0, 0, BLACKNESS));
    EXPECT_FALSE(BitBlt(dc_, 0, 0, 2, 1, nullptr, 0, 0, SRCCOPY));
    EXPECT_TRUE(MatchesMap(dc_, 0, 0,
                           {
                               "xx.",
                           }));
    SelectObject(source, old);
    DeleteObject(bits);
    DeleteDC(source);
}

TEST_F(Canvas, PatternBlocksUseTheSelectedBrush) {
    Selected brush(dc_, CreateSolidBrush(kFill));
    EXPECT_TRUE(BitBlt(dc_, 1, 0, 2, 2, nullptr, 0, 0, PATCOPY));
    EXPECT_TRUE(PatBlt(dc_, 4, 0, 1, 2, PATCOPY));
    EXPECT_TRUE(PatBlt(dc_, 1, 1, 4, 1, DSTINVERT));
    EXPECT_EQ(GetPixel(dc_, 1, 1), RGB(255, 255, 0));
    EXPECT_EQ(GetPixel(dc_, 3, 1), RGB(0, 0, 0));
    EXPECT_TRUE(MatchesMap(dc_, 0, 0,
                           {
                               ".##.#.",
                               ".??x?.",
                           }));
}

TEST_F(Canvas, MonochromeBitmapsTakeWhiteForTheBackgroundColourAndBlackForTheRest) {
    HDC mono = CreateCompatibleDC(dc_);
    // A DC's own first bitmap is monochrome, so bitmaps compatible with it are too.
    HBITMAP bits = CreateCompatibleBitmap(mono, 4, 1);
    HGDIOBJ old = SelectObject(mono, bits);
    BITMAP info = {};
    EXPECT_EQ(GetObjectW(bits, sizeof info, &info), int(sizeof info));
    EXPECT_EQ(info.bmBitsPixel, 1);
    SetPixel(dc_, 0, 0, kFill);
    SetPixel(dc_, 1, 0, kOther);
    SetBkColor(dc_, kOther);
    BitBlt(mono, 0, 0, 4, 1, dc_, 0, 0, SRCCOPY);
    EXPECT_EQ(GetPixel(mono, 0, 0), RGB(0, 0, 0));
    EXPECT_EQ(GetPixel(mono, 1, 0), kWhite);
    EXPECT_EQ(GetPixel(mono, 2, 0), RGB(0, 0, 0)) << "white is not the background colour";
    // Back to colour: white becomes the background colour, black the text colour.
    SetBkColor(dc_, kFill);
    SetTextColor(dc_, kPen);
    BitBlt(dc_, 0, 1, 3, 1, mono, 0, 0, SRCCOPY);
    EXPECT_TRUE(MatchesMap(dc_, 0, 1,
                           {
                               "o#o.",
                           }));
    SelectObject(mono, old);
    DeleteObject(bits);
    DeleteDC(mono);
}

TEST_F(Canvas, DrawIconExPaintsTheOpaquePixelsAtTheIconsSizeOrStretched) {
    cesim::IconImage image;
    image.color = cesim::Surface(2, 2, 0);
    image.color.set(0, 0, 0xFF0000);
    image.color.set(1, 0, 0x0000FF);
    image.color.set(0, 1, 0x00A000);
    image.opaque = {1, 1, 1, 0};
    HICON icon = cesim::CreateIconObject(image);
    EXPECT_TRUE(DrawIcon(dc_, 1, 1, icon));
    EXPECT_TRUE(DrawIconEx(dc_, 4, 1, icon, 4, 4, 0, nullptr, DI_NORMAL));
    EXPECT_TRUE(DrawIconEx(dc_, 9, 1, icon, 0, 0, 0, nullptr, DI_MASK));
    EXPECT_TRUE(MatchesMap(dc_, 0, 0,
                           {
                               "............",
                               ".o#.oo##.xx.",
                               ".+..oo##.x..",
                               "....++......",
                               "....++......",
                               "............",
                           }));
    DestroyIcon(icon);
    EXPECT_FALSE(DrawIconEx(dc_, 0, 0, icon, 0, 0, 0, nullptr, DI_NORMAL));
}

TEST_F(Canvas, DrawIconExAndsTheMaskIntoTheBackgroundAndXorsTheImageOntoIt) {
    // One pixel of each kind over a green background: opaque red, opaque black, transparent
    // with black (what icons hold under their mask), transparent with white.
    const COLORREF kRed = RGB(255, 0, 0), kBlack = RGB(0, 0, 0), kInverted = RGB(255, 95, 255);
    cesim::IconImage image;
    image.color = cesim::Surface(4, 1, 0);
    image.color.set(0, 0, 0xFF0000);
    image.color.set(3, 0, 0xFFFFFF);
    image.opaque = {1, 1, 0, 0};
    cesim::IconImage blended = image;
    blended.blended = true;
    const struct {
        const char* what;
        const cesim::IconImage* icon;
        UINT flags;
        COLORREF pixels[4];
    } cases[] = {
        {"normal", &image, DI_NORMAL, {kRed, kBlack, kOther, kInverted}},
        {"image alone, copied", &image, DI_IMAGE, {kRed, kBlack, kBlack, kWhite}},
        {"mask alone, copied", &image, DI_MASK, {kBlack, kBlack, kWhite, kWhite}},
        {"neither", &image, 0, {kOther, kOther, kOther, kOther}},
        {"alpha, normal", &blended, DI_NORMAL, {kRed, kBlack, kOther, kOther}},
        {"alpha, image alone", &blended, DI_IMAGE, {kRed, kBlack, kOther, kOther}},
        {"alpha, mask alone", &blended, DI_MASK, {kBlack, kBlack, kWhite, kWhite}},
    };
    // The DC's own colours play no part.
    SetTextColor(dc_, kPen);
    SetBkColor(dc_, kFill);
    for (const auto& c : cases) {
        Clear(dc_, kOther);
        HICON icon = cesim::CreateIconObject(*c.icon);
        EXPECT_TRUE(DrawIconEx(dc_, 2, 3, icon, 0, 0, 0, nullptr, c.flags)) << c.what;
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(GetPixel(dc_, 2 + x, 3), c.pixels[x]) << c.what << ", pixel " << x;
        EXPECT_EQ(GetPixel(dc_, 6, 3), kOther) << c.what;
        DestroyIcon(icon);
    }
    // Partly off the surface: only what lies on it changes.
    Clear(dc_, kOther);
    HICON icon = cesim::CreateIconObject(image);
    EXPECT_TRUE(DrawIconEx(dc_, kSize - 2, kSize - 1, icon, 0, 0, 0, nullptr, DI_NORMAL));
    EXPECT_EQ(GetPixel(dc_, kSize - 2, kSize - 1), kRed);
    EXPECT_EQ(GetPixel(dc_, kSize - 1, kSize - 1), kBlack);
    DestroyIcon(icon);
}

TEST(WindowDC, BeginPaintAndGetDCDrawIntoTheWindowsOwnSurface) {
    cesim::Boot();
    static HWND window = nullptr;
    cesim::StartHelperProcess(u"\\Windows\\painter.exe", [] {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = [](HWND w, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
            if (m != WM_PAINT)
                return DefWindowProcW(w, m, wp, lp);
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(w, &ps);
            HBRUSH brush = CreateSolidBrush(kFill);
            RECT r = {0, 0, 3, 2};
            FillRect(dc, &r, brush);
            DeleteObject(brush);
            EndPaint(w, &ps);
            return 0;
        };
        wc.lpszClassName = L"Painter";
        RegisterClassW(&wc);
        window = CreateWindowExW(0, L"Painter", L"Painter", WS_VISIBLE, 20, 40, 30, 30, nullptr,
                                 nullptr, nullptr, nullptr);
        UpdateWindow(window);
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0))
            DispatchMessageW(&msg);
    });
    cesim::Settle();
    HDC dc = GetDC(window);
    EXPECT_EQ(SetPixel(dc, 29, 29, kOther), kOther);
    EXPECT_EQ(GetPixel(dc, 2, 1), kFill);
    EXPECT_TRUE(ReleaseDC(window, dc));
    cesim::Surface screen = cesim::ComposeScreen();
    EXPECT_EQ(screen.at(20, 40), 0x0000FFu);
    EXPECT_EQ(screen.at(22, 41), 0x0000FFu);
    EXPECT_NE(screen.at(23, 41), 0x0000FFu);
    EXPECT_EQ(screen.at(49, 69), 0x00A000u);
}

// ---- objects and DC state -----------------------------------------------------------------

TEST_F(Canvas, SaveDCAndRestoreDCBringBackObjectsColoursAndModes) {
    HPEN pen = CreatePen(PS_SOLID, 2, kPen);
    HBRUSH brush = CreateSolidBrush(kFill);
    HGDIOBJ firstPen = SelectObject(dc_, pen);
    SetTextColor(dc_, kOther);
    SetBkMode(dc_, TRANSPARENT);
    EXPECT_EQ(SaveDC(dc_), 1);
    SelectObject(dc_, GetStockObject(NULL_PEN));
    SelectObject(dc_, brush);
    SetTextColor(dc_, kPen);
    SetBkColor(dc_, kFill);
    EXPECT_EQ(SetBkMode(dc_, OPAQUE), TRANSPARENT);
    EXPECT_EQ(SaveDC(dc_), 2);
    SelectObject(dc_, GetStockObject(WHITE_PEN));
    EXPECT_EQ(SaveDC(dc_), 3);
    EXPECT_FALSE(RestoreDC(dc_, 4));
    EXPECT_FALSE(RestoreDC(dc_, 0));
    EXPECT_TRUE(RestoreDC(dc_, -1)); // back to level 3's state, level 2 on top
    EXPECT_EQ(GetCurrentObject(dc_, OBJ_PEN), GetStockObject(WHITE_PEN));
    EXPECT_TRUE(RestoreDC(dc_, 1)); // drops levels 2 and 3 with it
    EXPECT_EQ(GetCurrentObject(dc_, OBJ_PEN), pen);
    EXPECT_EQ(GetCurrentObject(dc_, OBJ_BRUSH), GetStockObject(WHITE_BRUSH));
    EXPECT_EQ(GetCurrentObject(dc_, OBJ_BITMAP), bitmap_);
    EXPECT_EQ(GetTextColor(dc_), kOther);
    EXPECT_EQ(GetBkColor(dc_), kWhite);
    EXPECT_EQ(GetBkMode(dc_), TRANSPARENT);
    EXPECT_FALSE(RestoreDC(dc_, -1)) << "nothing is saved any more";
    EXPECT_EQ(SaveDC(dc_), 1);
    EXPECT_TRUE(RestoreDC(dc_, -1));
    SelectObject(dc_, firstPen);
    DeleteObject(pen);
    DeleteObject(brush);
}

TEST_F(Canvas, SelectedObjectsCannotBeDeletedUntilDeselectedOrTheirDCIsGone) {
    HPEN pen = CreatePen(PS_SOLID, 1, kPen);
    HGDIOBJ old = SelectObject(dc_, pen);
    EXPECT_EQ(old, GetStockObject(BLACK_PEN));
    EXPECT_FALSE(DeleteObject(pen));
    SaveDC(dc_);
    SelectObject(dc_, old);
    EXPECT_FALSE(DeleteObject(pen)) << "RestoreDC would select it again";
    RestoreDC(dc_, -1);
    SelectObject(dc_, old);
    EXPECT_TRUE(DeleteObject(pen));
    EXPECT_FALSE(DeleteObject(pen)) << "already gone";
    EXPECT_TRUE(DeleteObject(GetStockObject(BLACK_PEN))) << "stock objects ignore deletion";

    HDC other = CreateCompatibleDC(dc_);
    HBRUSH brush = CreateSolidBrush(kFill);
    SelectObject(other, brush);
    EXPECT_FALSE(DeleteObject(brush));
    EXPECT_FALSE(SelectObject(other, bitmap_)) << "a bitmap lives in one DC at a time";
    EXPECT_TRUE(DeleteDC(other));
    EXPECT_TRUE(DeleteObject(brush));
}

TEST_F(Canvas, CreatingAndDeletingInLoopsKeepsTheLiveObjectCountExact) {
    const DWORD process = GetCurrentProcessId();
    const size_t start = cesim::LiveGdiObjects(process);
    LOGFONTW lf = {};
    lf.lfHeight = -11;
    for (int i = 0; i < 50; ++i) {
        HPEN pen = CreatePen(PS_SOLID, i % 4, RGB(i, 0, 0));
        HBRUSH brush = CreateSolidBrush(RGB(0, i, 0));
        HFONT font = CreateFontIndirectW(&lf);
        HDC dc = CreateCompatibleDC(dc_);
        HBITMAP bits = CreateCompatibleBitmap(dc_, 5, 5);
        EXPECT_EQ(cesim::LiveGdiObjects(process), start + 5);
        HGDIOBJ oldPen = SelectObject(dc, pen), oldBrush = SelectObject(dc, brush);
        HGDIOBJ oldFont = SelectObject(dc, font), oldBits = SelectObject(dc, bits);
        Rectangle(dc, 0, 0, 5, 5);
        SelectObject(dc, oldPen);
        SelectObject(dc, oldBrush);
        SelectObject(dc, oldFont);
        SelectObject(dc, oldBits);
        EXPECT_TRUE(DeleteObject(pen) && DeleteObject(brush) && DeleteObject(font) &&
                    DeleteObject(bits) && DeleteDC(dc));
        EXPECT_EQ(cesim::LiveGdiObjects(process), start);
    }
}

TEST_F(Canvas, GetObjectDescribesPensBrushesAndBitmapsAsCreated) {
    HPEN pen = CreatePen(PS_NULL, 3, kPen);
    LOGPEN lp = {};
    EXPECT_EQ(GetObjectW(pen, 0, nullptr), int(sizeof lp));
    EXPECT_EQ(GetObjectW(pen, sizeof lp, &lp), int(sizeof lp));
    EXPECT_EQ(lp.lopnStyle, UINT(PS_NULL));
    EXPECT_EQ(lp.lopnWidth.x, 3);
    EXPECT_EQ(lp.lopnColor, kPen);
    LOGBRUSH lb = {};
    EXPECT_EQ(GetObjectW(GetStockObject(NULL_BRUSH), sizeof lb, &lb), int(sizeof lb));
    EXPECT_EQ(lb.lbStyle, UINT(BS_NULL));
    BITMAP bm = {};
    EXPECT_EQ(GetObjectW(bitmap_, sizeof bm, &bm), int(sizeof bm));
    EXPECT_EQ(bm.bmWidth, kSize);
    EXPECT_EQ(bm.bmHeight, kSize);
    EXPECT_EQ(bm.bmBitsPixel, 16);
    EXPECT_EQ(bm.bmWidthBytes, kSize * 2);
    EXPECT_EQ(GetObjectW(dc_, sizeof bm, &bm), 0) << "a DC is not an object GetObject reads";
    DeleteObject(pen);
}

// ---- rectangle helpers --------------------------------------------------------------------

TEST(RectHelpers, FollowUser32) {
    RECT r;
    SetRect(&r, 1, 2, 5, 7);
    InflateRect(&r, -1, 2);
    OffsetRect(&r, 10, -1);
    RECT expected = {12, -1, 14, 8};
    EXPECT_TRUE(EqualRect(&r, &expected));
    EXPECT_TRUE(PtInRect(&r, POINT{12, -1}));
    EXPECT_FALSE(PtInRect(&r, POINT{14, 3})) << "the right edge is outside";
    EXPECT_FALSE(PtInRect(&r, POINT{13, 8})) << "the bottom edge is outside";
    RECT a = {0, 0, 10, 10}, b = {5, 5, 20, 20}, c = {10, 0, 12, 3}, out;
    EXPECT_TRUE(IntersectRect(&out, &a, &b));
    RECT overlap = {5, 5, 10, 10};
    EXPECT_TRUE(EqualRect(&out, &overlap));
    EXPECT_FALSE(IntersectRect(&out, &a, &c)) << "touching is not overlapping";
    EXPECT_TRUE(IsRectEmpty(&out));
    EXPECT_EQ(out.left | out.top | out.right | out.bottom, 0);
    EXPECT_TRUE(UnionRect(&out, &a, &c));
    RECT both = {0, 0, 12, 10};
    EXPECT_TRUE(EqualRect(&out, &both));
    CopyRect(&out, &c);
    EXPECT_TRUE(EqualRect(&out, &c));
    SetRectEmpty(&out);
    EXPECT_TRUE(IsRectEmpty(&out));
    RECT inverted = {5, 5, 4, 9};
    EXPECT_TRUE(IsRectEmpty(&inverted));
}

// ---- the trace ----------------------------------------------------------------------------

std::vector<std::pair<std::string, std::vector<int64_t>>>
Calls(const std::vector<cesim::GdiCall>& trace) {
    std::vector<std::pair<std::string, std::vector<int64_t>>> calls;
    for (const cesim::GdiCall& c : trace)
        calls.push_back({c.name, c.args});
    return calls;
}

TEST_F(Canvas, TheTraceRecordsEachCallOfTheTracedThreadWithItsArguments) {
    cesim::StartGdiTraceOfThread(GetCurrentThreadId());
    HPEN pen = CreatePen(PS_SOLID, 1, RGB(0, 255, 0));
    HGDIOBJ old = SelectObject(dc_, pen);
    Ellipse(dc_, 0, 7, 8, 15);
    POINT path[] = {{1, 2}, {3, 4}};
    Polyline(dc_, path, 2);
    SelectObject(dc_, old);
    DeleteObject(pen);
    cesim::StopGdiTrace();
    Rectangle(dc_, 0, 0, 1, 1); // not recorded any more
    std::vector<cesim::GdiCall> trace = cesim::GdiTrace();
    using Args = std::vector<int64_t>;
    std::vector<std::pair<std::string, Args>> expected = {
        {"CreatePen", {PS_SOLID, 1, 0x00FF00}},
        {"SelectObject", {cesim::GdiArg(pen)}},
        {"Ellipse", {0, 7, 8, 15}},
        {"Polyline", {1, 2, 3, 4}},
        {"SelectObject", {cesim::GdiArg(old)}},
        {"DeleteObject", {cesim::GdiArg(pen)}},
    };
    EXPECT_EQ(Calls(trace), expected) << cesim::Describe(trace);
    ASSERT_EQ(trace.size(), expected.size());
    EXPECT_EQ(trace[0].result, cesim::GdiArg(pen));
    EXPECT_EQ(trace[1].dc, dc_);
    EXPECT_EQ(trace[1].result, cesim::GdiArg(old));
    EXPECT_EQ(trace[5].result, TRUE);
    EXPECT_EQ(trace[2].threadId, GetCurrentThreadId());
    EXPECT_EQ(cesim::Describe(trace[2]), "Ellipse(0, 7, 8, 15)");
    cesim::ClearGdiTrace();
    EXPECT_TRUE(cesim::GdiTrace().empty());
}

TEST(GdiTrace, AProcessTraceLeavesOutOtherProcessesCalls) {
    cesim::Boot();
    DWORD helper = cesim::StartHelperProcess(u"\\Windows\\drawer.exe", [] {
        Sleep(10);
        HDC dc = CreateCompatibleDC(nullptr);
        SetBkMode(dc, TRANSPARENT);
        DeleteDC(dc);
    });
    cesim::StartGdiTraceOfProcess(helper);
    HDC mine = CreateCompatibleDC(nullptr); // the driver's own call
    cesim::Advance(10);
    DeleteDC(mine);
    std::vector<cesim::GdiCall> trace = cesim::GdiTrace();
    std::vector<std::string> names;
    for (const cesim::GdiCall& c : trace) {
        names.push_back(c.name);
        EXPECT_EQ(c.processId, helper);
    }
    EXPECT_EQ(names, (std::vector<std::string>{
                         "CreateCompatibleDC",
                         "SetBkMode",
                         "DeleteDC",
                     }));
    EXPECT_EQ(cesim::ProcessExitReport(helper).gdiObjects, 0u);
}

// ---- the OS version -----------------------------------------------------------------------

TEST(Version, GetVersionExReportsTheBootedVersionOfWindowsCE) {
    cesim::BootOptions options;
    options.osMajor = 5;
    options.osMinor = 2;
    cesim::Boot(options);
    OSVERSIONINFOW info = {};
    info.dwOSVersionInfoSize = sizeof info;
    EXPECT_EQ(sizeof info, 276u);
    ASSERT_TRUE(GetVersionExW(&info));
    EXPECT_EQ(info.dwMajorVersion, 5u);
    EXPECT_EQ(info.dwMinorVersion, 2u);
    EXPECT_EQ(info.dwPlatformId, DWORD(VER_PLATFORM_WIN32_CE));
    EXPECT_EQ(info.szCSDVersion[0], 0);
    info.dwOSVersionInfoSize = 100;
    EXPECT_FALSE(GetVersionExW(&info));
}

} // namespace
