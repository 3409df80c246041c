// Painting the button face: a background continuing the taskbar, the dot, and a close button
// for the program in front, drawn off-screen and copied in one block.
#include "button/paint.h"

#include "button/theme.h"
#include "config/config.h"
#include "config/log.h"
#include "shell/backbuffer.h"
#include "shell/dpi.h"
#include "shell/gestures.h"
#include "shell/mainwindow.h"
#include "tasks/tasklist.h"

int closeButtonType = CloseButtonNone;

int GetCloseButtonType(HWND window) {
    if (appLog)
        appLog->Write(3, "GetCloseButtonType()");
    HWND considered = IsToolWindow(window) ? GetNextTaskWindow(window) : window;
    if (!considered || considered == desktopWindow)
        return CloseButtonNone;
    if (DWORD(GetWindowLongW(considered, GWL_EXSTYLE)) & WS_EX_CAPTIONOKBTN)
        return CloseButtonOk;
    // The style is that of the window the button acts for, like the extended style above.
    DWORD style = DWORD(GetWindowLongW(considered, GWL_STYLE));
    if (!(style & 0x00010000) && !(style & WS_CAPTION))
        return CloseButtonX;
    return CloseButtonNone;
}

// c8 + (numerator x (c6 - c8)) / denominator per component, low 8 bits kept.
static COLORREF Blend(COLORREF from, COLORREF to, int numerator, int denominator) {
    int r = GetRValue(from) + (numerator * (GetRValue(to) - GetRValue(from))) / denominator;
    int g = GetGValue(from) + (numerator * (GetGValue(to) - GetGValue(from))) / denominator;
    int b = GetBValue(from) + (numerator * (GetBValue(to) - GetBValue(from))) / denominator;
    return RGB(r & 0xFF, g & 0xFF, b & 0xFF);
}

static void FillBox(HDC dc, int left, int top, int right, int bottom, COLORREF colour) {
    HBRUSH brush = CreateSolidBrush(colour);
    HGDIOBJ previous = SelectObject(dc, brush);
    Rectangle(dc, left, top, right, bottom);
    SelectObject(dc, previous);
    DeleteObject(brush);
}

static void DrawColumn(HDC dc, int x, int top, int bottom, COLORREF colour) {
    HPEN pen = CreatePen(PS_SOLID, 1, colour);
    HGDIOBJ previous = SelectObject(dc, pen);
    DrawLine(dc, x, top, x, bottom);
    SelectObject(dc, previous);
    DeleteObject(pen);
}

// The virtual length of the taskbar's gradient, which ends at the button's right edge. A
// screen too narrow for one leaves 0, and the callers then paint the gradient's end colour.
static int GradientLength(HDC dc) { return (GetDeviceCaps(dc, HORZRES) - Sx(27)) / 2; }

// With the null pen selected a Rectangle leaves out its last column and row; the backgrounds
// reach one further so that no pixel of the face keeps stale contents.
void DrawPlainBackground(HDC dc, int left, int top, int right, int bottom) {
    FillBox(dc, left, top, right + 1, bottom + 1, themeColors.themeColor6);
}

void DrawFlatBackground(HDC dc, int left, int top, int right, int bottom) {
    COLORREF colour =
        config.OldStyleBkgnd ? SystemColor(COLOR_BACKGROUND) : themeColors.themeColor8;
    FillBox(dc, left, top, right + 1, bottom + 1, colour);
}

void DrawGradientBackground(HDC dc, int left, int top, int right, int bottom) {
    int d = GradientLength(dc);
    int n = right - left;
    if (n < 0)
        return;
    for (int i = 0; i <= n; ++i) {
        COLORREF colour = d > 0 ? Blend(themeColors.themeColor8, themeColors.themeColor6,
                                        d - n + i, d)
                                : themeColors.themeColor6;
        DrawColumn(dc, left + i, top, bottom, colour);
    }
}

static COLORREF BlendOrStay(COLORREF from, COLORREF to, int numerator, int denominator) {
    return denominator > 0 ? Blend(from, to, numerator, denominator) : from;
}

void DrawGlossBackground(HDC dc, int left, int top, int right, int bottom) {
    double h = themeColors.themeHue;
    double s = themeColors.themeSaturation;
    double l = themeColors.themeLightness;
    COLORREF p1 = HslToRgb(h, 0.75 * s, 0.45);
    COLORREF p2 = HslToRgb(h, 0.45 * s, 0.25);
    COLORREF p3 = HslToRgb(h, 0.45 * s, 0.75);
    COLORREF q1 = HslToRgb(h, s, 0.6 * l);
    COLORREF q2 = HslToRgb(h, s, 0.5 * l);
    COLORREF q3 = HslToRgb(h, s, 0.58 * l);
    int w = right - left;
    int d = GradientLength(dc);
    int yMid = (top + bottom) / 2 - Sy(2);
    if (w >= 0) {
        for (int i = 0; i <= w; ++i) {
            COLORREF base = d > 0 ? Blend(p1, p2, d - w + i, d) : p2;
            for (int j = 0; yMid >= 0 && j <= yMid; ++j)
                SetPixel(dc, left + i, top + yMid - j, BlendOrStay(base, p3, j, yMid + Sy(2)));
        }
    }
    int h2 = bottom - yMid;
    for (int j = 0; h2 >= 0 && j <= h2; ++j) {
        COLORREF row = BlendOrStay(q1, q3, j, h2);
        for (int i = 0; w >= 0 && i <= w; ++i)
            SetPixel(dc, left + i, bottom - j, BlendOrStay(row, q2, i, w));
    }
}

// Geometry of one button face: its box at the right end of the client rectangle.
struct ButtonBox {
    int left;
    int top;
    int right;
    int bottom;
};

static ButtonBox PlaceButton(const RECT& client, int marginWithDot, int marginWithoutDot,
                             int top, int width, int height) {
    ButtonBox box;
    box.right = client.right - (config.ShowDot ? marginWithDot : marginWithoutDot);
    box.left = box.right - width;
    box.top = client.top + top;
    box.bottom = box.top + height;
    return box;
}

static void DrawOk(HDC dc, int left, int top, int right, int bottom, COLORREF colour) {
    RECT r;
    r.left = left;
    r.top = top;
    r.right = right;
    r.bottom = bottom;
    DrawOkGlyph(dc, r, colour);
}

void DrawRoundButton(int type, HDC dc, int left, int top, int right, int bottom, bool lowDpi) {
    RECT client = {left, top, right, bottom};
    ButtonBox box = lowDpi ? PlaceButton(client, Sx(2), Sx(3), Sy(2), Sx(17), Sy(17))
                           : PlaceButton(client, Sx(1), Sx(3), Sy(2), Sx(18), Sy(18));
    int style = GetShellStyle();
    COLORREF face = themeColors.themeColor9;
    if (pressed)
        face = style == ShellStyleCe5 || style == ShellStyleCe52 ? themeColors.themeColor6
                                                                 : themeColors.themeColor8;
    HPEN pen = lowDpi ? CreatePen(PS_SOLID, 1, face) : CreatePen(PS_NULL, 0, 0);
    HBRUSH brush = CreateSolidBrush(face);
    HGDIOBJ previousPen = SelectObject(dc, pen);
    HGDIOBJ previousBrush = SelectObject(dc, brush);
    Ellipse(dc, box.left, box.top, box.right, box.bottom);
    SelectObject(dc, previousBrush);
    SelectObject(dc, previousPen);
    DeleteObject(brush);
    DeleteObject(pen);

    COLORREF glyph = pressed ? themeColors.themeColor9 : themeColors.themeColor8;
    if (type == CloseButtonOk) {
        if (lowDpi)
            DrawOk(dc, box.left + 1, box.top - 1, box.right + 1, box.bottom - 1, glyph);
        else
            DrawOk(dc, box.left, box.top - 1, box.right, box.bottom - 1, glyph);
    } else if (type == CloseButtonX) {
        int shift = lowDpi ? 0 : 1;
        DrawCrossGlyph(dc, box.left + Sx(4) + shift, box.top + Sy(4) + shift,
                       box.right - Sx(5), box.bottom - Sy(5), glyph);
    }
}

void DrawGradientButton(int type, HDC dc, int left, int top, int right, int bottom, bool lowDpi) {
    RECT client = {left, top, right, bottom};
    ButtonBox box = lowDpi ? PlaceButton(client, Sx(3), Sx(5), Sy(3), Sx(16), Sy(15))
                           : PlaceButton(client, Sx(2), Sx(4) + 1, Sy(3), Sx(17), Sy(15));
    int w = box.right - box.left;
    for (int i = 0; w >= 0 && i <= w; ++i) {
        COLORREF colour = BlendOrStay(themeColors.themeColor8, themeColors.themeColor6, i / 2, w);
        DrawColumn(dc, box.left + i, box.top, box.bottom, colour);
    }
    COLORREF glyph = pressed ? SystemColor(COLOR_MENUTEXT) : themeColors.themeColor9;
    if (type == CloseButtonOk) {
        int shift = lowDpi ? 1 : 0;
        DrawOk(dc, box.left + shift, box.top, box.right + shift, box.bottom, glyph);
    } else if (type == CloseButtonX) {
        int shift = lowDpi ? 0 : 1;
        DrawCrossGlyph(dc, box.left + Sx(4) + shift, box.top + Sy(2) + 1 + shift,
                       box.right - Sx(4) + shift, box.bottom - Sy(4) + shift, glyph);
    }
}

static void FramedButtonColours(COLORREF* outer, COLORREF* inner, COLORREF* fill) {
    if (config.OldStyleBkgnd) {
        COLORREF highlight = SystemColor(COLOR_HIGHLIGHT);
        double h, s, l;
        RgbToHsl(highlight, &h, &s, &l);
        *outer = HslToRgb(h, s, 0.45 * l);
        *inner = highlight;
        *fill = highlight;
    } else {
        *outer = SystemColor(COLOR_WINDOWFRAME);
        *inner = SystemColor(COLOR_HIGHLIGHT);
        *fill = themeColors.themeColor8;
    }
}

void DrawFramedButton(int type, HDC dc, int left, int top, int right, int bottom, bool lowDpi) {
    RECT client = {left, top, right, bottom};
    ButtonBox box = lowDpi ? PlaceButton(client, Sx(1), Sx(3), Sy(2), Sx(19), Sy(17))
                           : PlaceButton(client, Sx(1), Sx(3) + 1, Sy(2) + 1, Sx(18), Sy(16));
    COLORREF outer, inner, fill;
    FramedButtonColours(&outer, &inner, &fill);

    HPEN outerPen = CreatePen(PS_SOLID, Sx(1), outer);
    HGDIOBJ previousPen = SelectObject(dc, outerPen);
    Rectangle(dc, box.left, box.top, box.right, box.bottom);
    SelectObject(dc, previousPen);
    DeleteObject(outerPen);

    RECT r = {box.left, box.top, box.right, box.bottom};
    InflateRect(&r, -Sx(1), -Sy(1));
    HPEN innerPen = CreatePen(PS_SOLID, Sx(1), inner);
    HBRUSH brush = CreateSolidBrush(fill);
    previousPen = SelectObject(dc, innerPen);
    HGDIOBJ previousBrush = SelectObject(dc, brush);
    Rectangle(dc, r.left, r.top, r.right, r.bottom);
    SelectObject(dc, previousBrush);
    SelectObject(dc, previousPen);
    DeleteObject(brush);
    DeleteObject(innerPen);

    COLORREF glyph = pressed ? SystemColor(COLOR_MENUTEXT) : themeColors.themeColor9;
    if (type == CloseButtonOk) {
        if (lowDpi)
            DrawOk(dc, r.left + 1, r.top, r.right + 1, r.bottom, glyph);
        else
            DrawOk(dc, r.left, r.top + 1, r.right, r.bottom + 1, glyph);
    } else if (type == CloseButtonX) {
        int crossRight = r.right - Sx(4) + (lowDpi ? -1 : 1);
        int crossBottom = r.bottom - Sy(3) - (lowDpi ? 1 : 0);
        DrawCrossGlyph(dc, r.left + Sx(4), r.top + Sy(2) + 1, crossRight, crossBottom, glyph);
    }
}

static void DrawBackground(HDC dc, const RECT& client) {
    int style = GetShellStyle();
    if (config.OldStyleBkgnd || style == ShellStyleCe4)
        DrawFlatBackground(dc, client.left, client.top, client.right, client.bottom);
    else if (style == ShellStyleCe5)
        DrawGradientBackground(dc, client.left, client.top, client.right, client.bottom);
    else if (style == ShellStyleCe52)
        DrawGlossBackground(dc, client.left, client.top, client.right, client.bottom);
    else
        DrawPlainBackground(dc, client.left, client.top, client.right, client.bottom);
}

static void DrawDot(HDC dc, const RECT& client, bool lowDpi) {
    HBRUSH brush = CreateSolidBrush(themeColors.themeColor9);
    HGDIOBJ previous = SelectObject(dc, brush);
    if (lowDpi)
        Ellipse(dc, client.left, client.top + Sy(7), client.left + Sx(8),
                client.top + Sy(7) + Sx(8));
    else
        Ellipse(dc, client.left + Sx(1), client.top + Sy(7), client.left + Sx(1) + Sx(7),
                client.top + Sy(7) + Sx(7));
    SelectObject(dc, previous);
    DeleteObject(brush);
}

static void DrawCloseButton(int type, HDC dc, const RECT& client, bool lowDpi) {
    int style = GetShellStyle();
    if (!config.OldStyleButton && style == ShellStyleCe5)
        DrawGradientButton(type, dc, client.left, client.top, client.right, client.bottom, lowDpi);
    else if (!config.OldStyleButton && style == ShellStyleCe52)
        DrawFramedButton(type, dc, client.left, client.top, client.right, client.bottom, lowDpi);
    else
        DrawRoundButton(type, dc, client.left, client.top, client.right, client.bottom, lowDpi);
}

void OnPaint(HWND window) {
    PAINTSTRUCT ps;
    HDC screen = BeginPaint(window, &ps);
    COLORREF highlight = SystemColor(COLOR_HIGHLIGHT);
    if (highlight != lastHighlightColor) {
        LoadThemeColors();
        lastHighlightColor = highlight;
    }
    bool lowDpi = GetDeviceCaps(screen, LOGPIXELSX) < 130;
    int saved = SaveDC(backBufferDC);
    RECT client;
    GetClientRect(window, &client);

    HPEN nullPen = CreatePen(PS_NULL, 0, 0);
    HGDIOBJ previousPen = SelectObject(backBufferDC, nullPen);
    DrawBackground(backBufferDC, client);
    if (config.ShowDot)
        DrawDot(backBufferDC, client, lowDpi);
    SelectObject(backBufferDC, previousPen);
    DeleteObject(nullPen);

    int type = GetCloseButtonType(GetForegroundWindow());
    if (type != CloseButtonNone)
        DrawCloseButton(type, backBufferDC, client, lowDpi);
    RestoreDC(backBufferDC, saved);

    BitBlt(screen, 0, 0, client.right - client.left, client.bottom - client.top, backBufferDC, 0,
           0, SRCCOPY);
    EndPaint(window, &ps);
}
