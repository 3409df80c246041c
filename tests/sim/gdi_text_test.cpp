// The device's text: font sizes the Windows way, monochrome glyphs, and DrawTextW's layout,
// measuring and mnemonics.

// gtest leaves out <sys/stat.h> when it sees _WIN32_WCE, which the simulated device defines.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <windows.h>

#include <cesim/device.h>
#include <cesim/gdi_trace.h>

#include <cstring>
#include <set>
#include <utility>

namespace {

const COLORREF kWhite = RGB(255, 255, 255);
const COLORREF kInk = RGB(200, 0, 0);
const COLORREF kBack = RGB(0, 150, 0);

typedef std::set<std::pair<int, int>> Pixels;

LOGFONTW Font(LONG height, LONG weight = FW_NORMAL) {
    LOGFONTW lf = {};
    lf.lfHeight = height;
    lf.lfWeight = weight;
    const wchar_t face[] = L"Tahoma";
    std::memcpy(lf.lfFaceName, face, sizeof face);
    return lf;
}

class Text : public ::testing::Test {
protected:
    void SetUp() override { Start(96); }
    void TearDown() override { Finish(); }

    void Start(int dpi) {
        cesim::BootOptions options;
        options.dpi = dpi;
        cesim::Boot(options);
        HDC screen = GetDC(nullptr);
        dc_ = CreateCompatibleDC(screen);
        bitmap_ = CreateCompatibleBitmap(screen, kWidth, kHeight);
        ReleaseDC(nullptr, screen);
        oldBitmap_ = SelectObject(dc_, bitmap_);
        LOGFONTW lf = Font(-11);
        font_ = CreateFontIndirectW(&lf);
        oldFont_ = SelectObject(dc_, font_);
        SetTextColor(dc_, kInk);
        SetBkMode(dc_, TRANSPARENT);
        Clear();
    }
    void Finish() {
        SelectObject(dc_, oldFont_);
        SelectObject(dc_, oldBitmap_);
        EXPECT_TRUE(DeleteObject(font_));
        EXPECT_TRUE(DeleteObject(bitmap_));
        EXPECT_TRUE(DeleteDC(dc_));
        EXPECT_EQ(cesim::LiveGdiObjects(), 0u) << "the test leaked GDI objects";
    }
    void Clear(COLORREF color = kWhite) {
        RECT all = {0, 0, kWidth, kHeight};
        HBRUSH brush = CreateSolidBrush(color);
        FillRect(dc_, &all, brush);
        DeleteObject(brush);
    }
    Pixels Ink(COLORREF color = kInk) {
        Pixels ink;
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x)
                if (GetPixel(dc_, x, y) == color)
                    ink.insert({x, y});
        return ink;
    }
    // The ink of a string drawn by DrawTextW into `box` with `format`.
    Pixels Drawn(const wchar_t* text, RECT box, UINT format, int* result = nullptr) {
        Clear();
        int height = DrawTextW(dc_, text, -1, &box, format);
        if (result)
            *result = height;
        return Ink();
    }
    static Pixels Shifted(const Pixels& pixels, int dx, int dy) {
        Pixels out;
        for (auto p : pixels)
            out.insert({p.first + dx, p.second + dy});
        return out;
    }
    SIZE Extent(const wchar_t* text) {
        SIZE size = {-1, -1};
        EXPECT_TRUE(GetTextExtentPoint32W(dc_, text, int(wcslen(text)), &size));
        return size;
    }
    TEXTMETRICW Metrics() {
        TEXTMETRICW tm = {};
        EXPECT_TRUE(GetTextMetricsW(dc_, &tm));
        return tm;
    }

    static constexpr int kWidth = 80;
    static constexpr int kHeight = 32;
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HFONT font_ = nullptr;
    HGDIOBJ oldBitmap_ = nullptr;
    HGDIOBJ oldFont_ = nullptr;
};

// ---- fonts --------------------------------------------------------------------------------

TEST_F(Text, NegativeHeightsAreTheCharacterHeightAndPositiveOnesTheCell) {
    // DejaVu Sans: 2048 units to the em, a Windows ascent of 1901 and descent of 483.
    TEXTMETRICW tm = Metrics();
    EXPECT_EQ(tm.tmAscent, 10);
    EXPECT_EQ(tm.tmDescent, 3);
    EXPECT_EQ(tm.tmHeight, 13);
    EXPECT_EQ(tm.tmHeight - tm.tmInternalLeading, 11);
    for (LONG h = 6; h <= 40; ++h) {
        LOGFONTW negative = Font(-h), positive = Font(h);
        HFONT a = CreateFontIndirectW(&negative), b = CreateFontIndirectW(&positive);
        SelectObject(dc_, a);
        tm = Metrics();
        EXPECT_EQ(tm.tmHeight - tm.tmInternalLeading, h) << "character height " << h;
        EXPECT_EQ(tm.tmHeight, tm.tmAscent + tm.tmDescent);
        SelectObject(dc_, b);
        tm = Metrics();
        EXPECT_LE(tm.tmHeight, h) << "cell height " << h;
        EXPECT_GE(tm.tmHeight, h - 1) << "cell height " << h;
        SelectObject(dc_, font_);
        DeleteObject(a);
        DeleteObject(b);
    }
}

TEST_F(Text, GetObjectGivesBackTheLogfontAFontWasMadeFrom) {
    LOGFONTW made = Font(-13, 650);
    made.lfItalic = 1;
    HFONT font = CreateFontIndirectW(&made);
    LOGFONTW read;
    std::memset(&read, 0xCD, sizeof read);
    EXPECT_EQ(GetObjectW(font, sizeof read, &read), 92);
    EXPECT_EQ(std::memcmp(&read, &made, sizeof read), 0);
    DeleteObject(font);
}

TEST_F(Text, TheSystemFontFollowsTheDisplayDpi) {
    LOGFONTW lf = {};
    EXPECT_EQ(GetObjectW(GetStockObject(SYSTEM_FONT), sizeof lf, &lf), int(sizeof lf));
    EXPECT_EQ(lf.lfHeight, -12);
    EXPECT_EQ(lf.lfWeight, FW_NORMAL);
    Finish();
    Start(192);
    EXPECT_EQ(GetObjectW(GetStockObject(SYSTEM_FONT), sizeof lf, &lf), int(sizeof lf));
    EXPECT_EQ(lf.lfHeight, -24);
}

TEST_F(Text, ExtentsAddUpCharacterByCharacterAndBoldIsWider) {
    SIZE o = Extent(L"o"), k = Extent(L"k"), ok = Extent(L"ok");
    EXPECT_GT(o.cx, 0);
    EXPECT_EQ(ok.cx, o.cx + k.cx);
    EXPECT_EQ(ok.cy, Metrics().tmHeight);
    SIZE none = {-1, -1};
    EXPECT_TRUE(GetTextExtentPoint32W(dc_, L"ok", 0, &none));
    EXPECT_EQ(none.cx, 0);
    EXPECT_EQ(none.cy, ok.cy);

    LOGFONTW lf = Font(-11, FW_BOLD);
    HFONT bold = CreateFontIndirectW(&lf);
    SelectObject(dc_, bold);
    SIZE boldOk = Extent(L"Close All Tasks");
    EXPECT_EQ(Metrics().tmWeight, FW_BOLD);
    SelectObject(dc_, font_);
    EXPECT_GT(boldOk.cx, Extent(L"Close All Tasks").cx);
    // The same size of font, bold or not, has the same cell height.
    EXPECT_EQ(boldOk.cy, ok.cy);
    DeleteObject(bold);
}

// ---- glyphs -------------------------------------------------------------------------------

TEST_F(Text, GlyphsHaveNoAntiAliasingAndAnOpaqueBackgroundFillsExactlyTheCell) {
    Clear(RGB(0, 0, 255));
    ExtTextOutW(dc_, 3, 2, 0, nullptr, L"Sample: Wg&@", 12, nullptr);
    Pixels ink = Ink();
    EXPECT_GT(ink.size(), 40u);
    EXPECT_EQ(ink.size() + Ink(RGB(0, 0, 255)).size(), size_t(kWidth * kHeight))
        << "a transparent run leaves every other pixel as it was";

    Clear();
    SetBkMode(dc_, OPAQUE);
    SetBkColor(dc_, kBack);
    ExtTextOutW(dc_, 3, 2, 0, nullptr, L"Sample: Wg&@", 12, nullptr);
    SIZE cell = Extent(L"Sample: Wg&@");
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            COLORREF c = GetPixel(dc_, x, y);
            bool inCell = x >= 3 && x < 3 + cell.cx && y >= 2 && y < 2 + cell.cy;
            if (inCell)
                EXPECT_TRUE(c == kInk || c == kBack) << x << "," << y << " is " << std::hex << c;
            else
                EXPECT_EQ(c, kWhite) << x << "," << y;
        }
    EXPECT_EQ(Ink(), ink) << "the same glyph pixels, whatever the background";
}

TEST_F(Text, ClippedRunsStayInsideTheirRectangle) {
    RECT clip = {5, 4, 12, 9};
    ExtTextOutW(dc_, 2, 0, ETO_CLIPPED, &clip, L"WWWW", 4, nullptr);
    Pixels clipped = Ink();
    EXPECT_FALSE(clipped.empty());
    for (auto p : clipped)
        EXPECT_TRUE(p.first >= 5 && p.first < 12 && p.second >= 4 && p.second < 9)
            << p.first << "," << p.second;
    Clear();
    ExtTextOutW(dc_, 2, 0, 0, &clip, L"WWWW", 4, nullptr);
    Pixels all = Ink();
    for (auto p : clipped)
        EXPECT_TRUE(all.count(p));
    EXPECT_GT(all.size(), clipped.size());
}

// ---- DrawTextW ----------------------------------------------------------------------------

TEST_F(Text, CalcRectGivesTheRectangleTheTextWouldCoverAndDrawsNothing) {
    const int lh = Metrics().tmHeight;
    RECT r = {5, 3, 6, 4};
    EXPECT_EQ(DrawTextW(dc_, L"ok", -1, &r, DT_CALCRECT | DT_SINGLELINE), lh);
    EXPECT_EQ(r.left, 5);
    EXPECT_EQ(r.top, 3);
    EXPECT_EQ(r.right, 5 + Extent(L"ok").cx);
    EXPECT_EQ(r.bottom, 3 + lh);
    EXPECT_TRUE(Ink().empty());

    RECT lines = {0, 0, 0, 0};
    EXPECT_EQ(DrawTextW(dc_, L"ab\r\ncdef\nx", -1, &lines, DT_CALCRECT), 3 * lh);
    EXPECT_EQ(lines.right, Extent(L"cdef").cx);
    EXPECT_EQ(lines.bottom, 3 * lh);
    // Single-line ignores the breaks; mnemonic marks take no room.
    RECT one = {0, 0, 0, 0};
    DrawTextW(dc_, L"&File", -1, &one, DT_CALCRECT | DT_SINGLELINE);
    EXPECT_EQ(one.right, Extent(L"File").cx);

    RECT empty = {2, 2, 9, 9};
    EXPECT_EQ(DrawTextW(dc_, L"", -1, &empty, DT_CALCRECT | DT_SINGLELINE), lh);
    EXPECT_EQ(empty.right, 2);
    EXPECT_EQ(empty.bottom, 2 + lh);
    EXPECT_EQ(DrawTextW(dc_, L"abc", 0, &empty, 0), lh);
}

TEST_F(Text, AlignmentMovesTheSameInkToTheCentreRightOrBottom) {
    const int lh = Metrics().tmHeight;
    const int cx = Extent(L"ok").cx;
    int height = 0;
    Pixels plain = Drawn(L"ok", {0, 0, kWidth, kHeight}, DT_SINGLELINE, &height);
    EXPECT_EQ(height, lh);
    ASSERT_FALSE(plain.empty());

    // Centred in a 17-pixel box: horizontally (left + right - width) / 2,
    // vertically the halves of box and cell taken separately, as GDI rounds them.
    RECT box = {10, 1, 27, 18};
    Pixels centred = Drawn(L"ok", box, DT_CENTER | DT_VCENTER | DT_SINGLELINE, &height);
    const int x = (10 + 27 - cx) / 2, y = 1 + 17 / 2 - lh / 2;
    EXPECT_EQ(centred, Shifted(plain, x, y));
    EXPECT_EQ(height, y - 1 + lh) << "with DT_VCENTER: from the box's top to the text's bottom";
    RECT even = {10, 1, 27, 19};
    EXPECT_EQ(Drawn(L"ok", even, DT_CENTER | DT_VCENTER | DT_SINGLELINE),
              Shifted(plain, x, 1 + 18 / 2 - lh / 2));

    EXPECT_EQ(Drawn(L"ok", box, DT_RIGHT | DT_BOTTOM | DT_SINGLELINE),
              Shifted(plain, 27 - cx, 18 - lh));
    // Without DT_SINGLELINE there is no vertical alignment.
    EXPECT_EQ(Drawn(L"ok", box, DT_CENTER | DT_VCENTER), Shifted(plain, x, 1));
}

TEST_F(Text, EachLineOfMultiLineTextIsAlignedOnItsOwn) {
    const int lh = Metrics().tmHeight;
    const RECT box = {0, 0, 40, kHeight};
    Pixels expected = Shifted(Drawn(L"ab", box, 0), (40 - Extent(L"ab").cx) / 2, 0);
    for (auto p : Shifted(Drawn(L"wwww", box, 0), (40 - Extent(L"wwww").cx) / 2, lh))
        expected.insert(p);
    EXPECT_EQ(Drawn(L"ab\nwwww", box, DT_CENTER), expected);
}

TEST_F(Text, AnAmpersandUnderlinesTheNextCharacterInsteadOfShowing) {
    const TEXTMETRICW tm = Metrics();
    const RECT box = {0, 0, kWidth, kHeight};
    Pixels file = Drawn(L"File", box, DT_SINGLELINE);
    Pixels marked = Drawn(L"&File", box, DT_SINGLELINE);
    // One pixel under the baseline, from the F's left edge to one short of its advance.
    Pixels expected = file;
    for (int x = 0; x < Extent(L"F").cx - 1; ++x)
        expected.insert({x, tm.tmAscent + 1});
    EXPECT_EQ(marked, expected);

    // Only the last mark of a line counts.
    Pixels twice = Drawn(L"&F&ile", box, DT_SINGLELINE);
    expected = file;
    for (int x = Extent(L"F").cx; x < Extent(L"Fi").cx - 1; ++x)
        expected.insert({x, tm.tmAscent + 1});
    EXPECT_EQ(twice, expected);

    // "&&" shows one ampersand; DT_NOPREFIX shows every ampersand; a final one shows.
    Pixels literal = Drawn(L"A&B", box, DT_SINGLELINE | DT_NOPREFIX);
    EXPECT_EQ(Drawn(L"A&&B", box, DT_SINGLELINE), literal);
    Clear();
    ExtTextOutW(dc_, 0, 0, 0, nullptr, L"A&B", 3, nullptr);
    EXPECT_EQ(Ink(), literal);
    Pixels trailing = Drawn(L"AB&", box, DT_SINGLELINE);
    EXPECT_EQ(trailing, Drawn(L"AB&", box, DT_SINGLELINE | DT_NOPREFIX));
}

TEST_F(Text, DrawTextClipsToItsRectangleUnlessToldNotTo) {
    RECT box = {0, 0, 12, 8};
    Pixels clipped = Drawn(L"Wide words", box, DT_SINGLELINE);
    ASSERT_FALSE(clipped.empty());
    for (auto p : clipped)
        EXPECT_TRUE(p.first < 12 && p.second < 8) << p.first << "," << p.second;
    Pixels unclipped = Drawn(L"Wide words", box, DT_SINGLELINE | DT_NOCLIP);
    EXPECT_GT(unclipped.size(), clipped.size());
    // Lines stop after the one that reaches past the box's bottom; the result says so.
    const int lh = Metrics().tmHeight;
    int height = 0;
    Drawn(L"a\nb\nc", {0, 0, 20, lh + 1}, 0, &height);
    EXPECT_EQ(height, 2 * lh);
    Drawn(L"a\nb\nc", {0, 0, 20, lh + 1}, DT_NOCLIP, &height);
    EXPECT_EQ(height, 3 * lh);
}

TEST_F(Text, TheTraceRecordsTheTextAndTheRectangleAsPassed) {
    cesim::StartGdiTraceOfThread(GetCurrentThreadId());
    RECT box = {10, 1, 27, 18};
    int height = DrawTextW(dc_, L"ok", 2, &box, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    cesim::StopGdiTrace();
    std::vector<cesim::GdiCall> trace = cesim::GdiTrace();
    ASSERT_EQ(trace.size(), 1u) << cesim::Describe(trace);
    EXPECT_EQ(trace[0].name, "DrawTextW");
    EXPECT_EQ(trace[0].text, u"ok");
    EXPECT_EQ(trace[0].args,
              (std::vector<int64_t>{2, 10, 1, 27, 18, DT_CENTER | DT_VCENTER | DT_SINGLELINE}));
    EXPECT_EQ(trace[0].result, height);
    EXPECT_EQ(cesim::Describe(trace[0]), "DrawTextW(\"ok\", 2, 10, 1, 27, 18, 37)");
}

} // namespace
