// Drawing on the simulated device: pixels, lines, rectangles, ellipses, block transfers and
// icons, covering exactly the pixels Windows covers (the rules of Wine's DIB engine, which is
// tested against Windows), plus the user32 rectangle helpers.
#include "gdi_model.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>

namespace cesim {
namespace gdi {

void FillPixels(Surface& surface, RECT r, uint32_t pixel) {
    int left = std::max<int>(r.left, 0), right = std::min<int>(r.right, surface.width);
    int top = std::max<int>(r.top, 0), bottom = std::min<int>(r.bottom, surface.height);
    // A rectangle wholly off the surface leaves nothing to fill.
    if (left >= right)
        return;
    for (int y = top; y < bottom; ++y)
        std::fill(surface.pixels.begin() + size_t(y) * surface.width + left,
                  surface.pixels.begin() + size_t(y) * surface.width + right, pixel);
}

namespace {

RECT Ordered(int left, int top, int right, int bottom) {
    RECT r = {std::min(left, right), std::min(top, bottom), std::max(left, right),
              std::max(top, bottom)};
    return r;
}

// The pixels of a line from `from` towards `to`, the end point left out. Horizontal and
// vertical lines cover [start, end) in their direction; others follow Bresenham with the
// error bias GDI applies in the octants that run against the axes, so a line and its
// reverse cover different pixels, as on Windows.
template <class Plot> void Line(POINT from, POINT to, Plot plot) {
    int dx = to.x - from.x, dy = to.y - from.y;
    if (dy == 0 || dx == 0) {
        int step = dy == 0 ? (dx > 0 ? 1 : -1) : (dy > 0 ? 1 : -1);
        int n = std::abs(dx + dy);
        for (int i = 0; i < n; ++i)
            plot(from.x + (dy == 0 ? i * step : 0), from.y + (dx == 0 ? i * step : 0));
        return;
    }
    int adx = std::abs(dx), ady = std::abs(dy);
    bool xMajor = adx > ady;
    int bias =
        (dx < 0 && dy > 0 && !xMajor) || (dx < 0 && dy < 0) || (dx > 0 && dy < 0 && xMajor) ? 1 : 0;
    int major = xMajor ? adx : ady, minor = xMajor ? ady : adx;
    int err = 2 * minor - major;
    int sx = dx > 0 ? 1 : -1, sy = dy > 0 ? 1 : -1;
    int x = from.x, y = from.y;
    for (int i = 0; i < major; ++i) {
        plot(x, y);
        bool minorStep = err + bias > 0;
        err += minorStep ? 2 * minor - 2 * major : 2 * minor;
        if (xMajor) {
            x += sx;
            y += minorStep ? sy : 0;
        } else {
            y += sy;
            x += minorStep ? sx : 0;
        }
    }
}

// A set of pixels on a surface: how wide pens are built up before they are painted, so that
// overlapping pieces paint once and the fill can leave the outline out.
class Coverage {
public:
    Coverage(int width, int height)
        : width_(width), height_(height), bits_(size_t(width) * height) {}

    void Add(int x, int y) {
        if (x >= 0 && y >= 0 && x < width_ && y < height_)
            Set(y, x, x + 1);
    }
    void AddSpan(int y, int left, int right) {
        if (y < 0 || y >= height_)
            return;
        left = std::max(left, 0);
        right = std::min(right, width_);
        if (left < right)
            Set(y, left, right);
    }
    void AddRect(const RECT& r) {
        for (int y = r.top; y < r.bottom; ++y)
            AddSpan(y, r.left, r.right);
    }
    bool Has(int x, int y) const {
        return x >= 0 && y >= 0 && x < width_ && y < height_ && bits_[size_t(y) * width_ + x];
    }
    void Paint(Surface& s, uint32_t pixel, const Coverage* except = nullptr) const {
        for (int y = top_; y < bottom_; ++y)
            for (int x = left_; x < right_; ++x)
                if (bits_[size_t(y) * width_ + x] && !(except && except->Has(x, y)))
                    s.set(x, y, pixel);
    }

private:
    // Marks [left, right) of row y, all on the surface, and grows the box that holds them,
    // so that painting visits only what was covered.
    void Set(int y, int left, int right) {
        std::fill(bits_.begin() + size_t(y) * width_ + left,
                  bits_.begin() + size_t(y) * width_ + right, uint8_t(1));
        left_ = std::min(left_, left);
        right_ = std::max(right_, right);
        top_ = std::min(top_, y);
        bottom_ = std::max(bottom_, y + 1);
    }

    int width_, height_;
    std::vector<uint8_t> bits_;
    int left_ = INT_MAX, top_ = INT_MAX, right_ = INT_MIN, bottom_ = INT_MIN;
};

// The rows of the region CreateEllipticRgn makes for a box of width x height: row i spans
// [inset[i], width - inset[i]). Below 2 pixels either way the region is the plain box. The
// lower half is stepped with Zingl's integer ellipse, the upper half mirrors it.
std::vector<int> EllipticInsets(int width, int height) {
    std::vector<int> inset(size_t(std::max(height, 0)), 0);
    if (width < 2 || height < 2)
        return inset;
    const int64_t a = width - 1, b = height - 1;
    const int64_t asq = 8 * a * a, bsq = 8 * b * b;
    int64_t dx = 4 * b * b * (1 - a), dy = 4 * a * a * (1 + b % 2);
    int64_t err = dx + dy + a * a * (b % 2);
    std::vector<bool> set(inset.size(), false);
    int x = 0, y = height / 2;
    set[size_t(y)] = true;
    while (x <= width / 2) {
        int64_t e2 = 2 * err;
        if (e2 >= dx) {
            ++x;
            dx += bsq;
            err += dx;
        }
        if (e2 <= dy) {
            ++y;
            dy += asq;
            err += dy;
            if (y < height) {
                inset[size_t(y)] = x;
                set[size_t(y)] = true;
            }
        }
    }
    // The stepping can stop short of the top of a tall, narrow ellipse, leaving rows with
    // nothing in them; their tip keeps the middle pixel (odd widths) or two (even).
    for (int i = height / 2 + 1; i < height; ++i)
        if (!set[size_t(i)] || inset[size_t(i)] > (width - 1) / 2)
            inset[size_t(i)] = std::min(inset[size_t(i - 1)], (width - 1) / 2);
    for (int i = 0; i < height / 2; ++i)
        inset[size_t(i)] = inset[size_t(b - i)];
    return inset;
}

// The outline of the ellipse inscribed in the half-open box, as the closed path GDI strokes:
// the upper right quadrant from the middle of the right side up to the middle of the top,
// then its mirror images, each point once.
std::vector<POINT> EllipsePath(const RECT& box) {
    const int width = box.right - box.left, height = box.bottom - box.top;
    const int64_t a = width - 1, b = height - 1;
    const int64_t asq = 8 * a * a, bsq = 8 * b * b;
    int64_t dx = 4 * b * b * (1 - a), dy = 4 * a * a * (1 + b % 2);
    int64_t err = dx + dy + a * a * (b % 2);
    std::vector<POINT> quadrant;
    POINT pt = {LONG(a), LONG(height / 2)};
    int lastY = 0;
    while (pt.x >= width / 2) {
        quadrant.push_back({box.left + pt.x, box.top + height - 1 - pt.y});
        lastY = pt.y;
        int64_t e2 = 2 * err;
        if (e2 >= dx) {
            --pt.x;
            dx += bsq;
            err += dx;
        }
        if (e2 <= dy) {
            ++pt.y;
            dy += asq;
            err += dy;
        }
    }
    // A tall, narrow ellipse runs out of columns before it reaches the top row: its tip goes
    // straight up the middle, as Zingl's algorithm finishes such ellipses.
    for (int y = lastY + 1; y < height; ++y)
        quadrant.push_back({box.left + width / 2, box.top + height - 1 - y});
    // Mirror left to right, then top to bottom; an odd size shares the middle point.
    std::vector<POINT> path = quadrant;
    size_t n = quadrant.size();
    for (size_t i = width % 2 ? 1 : 0; i < n; ++i) {
        const POINT& q = quadrant[n - 1 - i];
        path.push_back({box.left + box.right - 1 - q.x, q.y});
    }
    std::vector<POINT> half = path;
    n = half.size();
    for (size_t i = height % 2 ? 1 : 0; i < n; ++i) {
        const POINT& q = half[n - 1 - i];
        path.push_back({q.x, box.top + box.bottom - 1 - q.y});
    }
    return path;
}

int Round(double f) {
    return int(f > 0 ? f + 0.5 : f - 0.5);
}

int CeilDiv(int64_t num, int64_t den) { // den > 0
    int64_t q = num / den;
    return int(num % den != 0 && num > 0 ? q + 1 : q);
}

// Scan conversion with the region rule: scanlines from the top vertex down to, not including,
// the bottom one; on each, [ceil(left edge), ceil(right edge)) between edge pairs.
void FillPolygon(Coverage& cover, const POINT* pts, int count) {
    int ymin = pts[0].y, ymax = pts[0].y;
    for (int i = 1; i < count; ++i) {
        ymin = std::min<int>(ymin, pts[i].y);
        ymax = std::max<int>(ymax, pts[i].y);
    }
    std::vector<int> xs;
    for (int y = ymin; y < ymax; ++y) {
        xs.clear();
        for (int i = 0; i < count; ++i) {
            POINT p = pts[(i + count - 1) % count], q = pts[i];
            if (p.y == q.y)
                continue;
            POINT top = p.y < q.y ? p : q, bottom = p.y < q.y ? q : p;
            if (y < top.y || y >= bottom.y)
                continue;
            int64_t ey = bottom.y - top.y;
            xs.push_back(
                CeilDiv(int64_t(top.x) * ey + int64_t(y - top.y) * (bottom.x - top.x), ey));
        }
        std::sort(xs.begin(), xs.end());
        for (size_t i = 0; i + 1 < xs.size(); i += 2)
            cover.AddSpan(y, xs[i], xs[i + 1]);
    }
}

// The body of one segment of a wide line, centred on it: a band for horizontal and vertical
// segments, otherwise a quadrilateral whose half widths are rounded the way GDI rounds them.
void WideSegment(Coverage& cover, POINT p1, POINT p2, int width) {
    int dx = p2.x - p1.x, dy = p2.y - p1.y;
    if (dx == 0 && dy == 0)
        return;
    if (dy == 0) {
        RECT r = {std::min(p1.x, p2.x), p1.y - width / 2, std::max(p1.x, p2.x), 0};
        r.bottom = r.top + width;
        cover.AddRect(r);
        return;
    }
    if (dx == 0) {
        RECT r = {p1.x - width / 2, std::min(p1.y, p2.y), 0, std::max(p1.y, p2.y)};
        r.right = r.left + width;
        cover.AddRect(r);
        return;
    }
    double length = std::hypot(double(dx), double(dy));
    double wx = width * std::abs(dy) / length, wy = width * std::abs(dx) / length;
    POINT narrow = {Round(wx / 2), Round(wy / 2)};
    POINT wide = {Round((wx + 1) / 2), Round((wy + 1) / 2)};
    if (dx < 0) {
        wide.y = -wide.y;
        narrow.y = -narrow.y;
    }
    if (dy < 0) {
        std::swap(narrow, wide);
        wide.x = -wide.x;
        narrow.x = -narrow.x;
    }
    POINT quad[4] = {{p1.x - narrow.x, p1.y + narrow.y},
                     {p1.x + wide.x, p1.y - wide.y},
                     {p2.x + wide.x, p2.y - wide.y},
                     {p2.x - narrow.x, p2.y + narrow.y}};
    FillPolygon(cover, quad, 4);
}

// A wide pen's stroke: the segment bodies with a round cap at every vertex, which is what
// round ends and round joins (the only kind CreatePen makes) come to.
void WideLines(Coverage& cover, const std::vector<POINT>& pts, bool closed, int width) {
    const int origin = -(width / 2);
    const std::vector<int> cap = EllipticInsets(width, width);
    for (size_t i = 0; i < pts.size(); ++i) {
        for (int row = 0; row < width; ++row)
            cover.AddSpan(pts[i].y + origin + row, pts[i].x + origin + cap[size_t(row)],
                          pts[i].x + origin + width - cap[size_t(row)]);
        if (i + 1 < pts.size())
            WideSegment(cover, pts[i], pts[i + 1], width);
        else if (closed)
            WideSegment(cover, pts[i], pts[0], width);
    }
}

struct Pen {
    bool visible = false;
    int width = 1;
    uint32_t pixel = 0;
};

Pen PenOf(const Lock& held, const GdiObject& dc, const Target& target) {
    Pen pen;
    GdiObject* o = FindOf(held, dc.state.pen, kPen);
    if (!o || o->style == PS_NULL)
        return pen;
    // Every other style is drawn solid: dashes are not modelled (wide pens are never dashed
    // on Windows either). A width of 0 is the one-pixel cosmetic pen.
    pen.visible = true;
    pen.width = std::max(1, std::abs(o->width));
    pen.pixel = PixelFor(target, dc.state, o->color, true);
    return pen;
}

bool BrushPixel(const Lock& held, const GdiObject& dc, const Target& target, HBRUSH brush,
                uint32_t* pixel) {
    COLORREF color = 0;
    if (!BrushColor(held, brush, &color))
        return false;
    *pixel = PixelFor(target, dc.state, color, true);
    return true;
}

// Strokes a path with the DC's pen: one-pixel pens straight onto the surface, wide ones
// through a coverage so that `fill` (if any) is painted first without the outline.
void Stroke(Surface& s, const Pen& pen, const std::vector<POINT>& path, bool closed,
            const Coverage* fill = nullptr, uint32_t fillPixel = 0) {
    if (pen.visible && pen.width > 1) {
        Coverage outline(s.width, s.height);
        WideLines(outline, path, closed, pen.width);
        if (fill)
            fill->Paint(s, fillPixel, &outline);
        outline.Paint(s, pen.pixel);
        return;
    }
    if (fill)
        fill->Paint(s, fillPixel);
    if (!pen.visible)
        return;
    auto plot = [&](int x, int y) { s.set(x, y, pen.pixel); };
    for (size_t i = 0; i + 1 < path.size(); ++i)
        Line(path[i], path[i + 1], plot);
    if (closed && path.size() > 1)
        Line(path.back(), path.front(), plot);
}

// Rectangle: the outline runs through the corners (left, top) and (right - 1, bottom - 1),
// so the figure covers [left, right) x [top, bottom) with a one-pixel pen; a wide pen is
// centred on that path. The fill covers the inside of the path, and with a null pen the same
// path's inside [left, right - 1) x [top, bottom - 1) is all there is.
BOOL DrawRectangle(const Lock& held, HDC dcHandle, int left, int top, int right, int bottom) {
    GdiObject* dc = FindDC(held, dcHandle);
    Target target = dc ? TargetOf(held, *dc) : Target();
    if (!target.surface)
        return FALSE;
    RECT r = Ordered(left, top, right, bottom);
    if (r.left == r.right || r.top == r.bottom)
        return TRUE;
    Surface& s = *target.surface;
    Pen pen = PenOf(held, *dc, target);
    uint32_t fillPixel = 0;
    bool filled = BrushPixel(held, *dc, target, HBRUSH(dc->state.brush), &fillPixel);
    std::vector<POINT> path = {
        {r.right - 1, r.top}, {r.left, r.top}, {r.left, r.bottom - 1}, {r.right - 1, r.bottom - 1}};
    int w = pen.visible ? pen.width : 0;
    RECT inside = {r.left, r.top, r.right - 1, r.bottom - 1};
    if (w <= 1) {
        inside.left += (w + 1) / 2;
        inside.top += (w + 1) / 2;
        // A thin outline never overlaps the inside, so the fill goes straight onto the
        // surface; menus draw every item this way.
        if (filled)
            FillPixels(s, inside, fillPixel);
        Stroke(s, pen, path, true);
        return TRUE;
    }
    Coverage fill(s.width, s.height);
    if (filled)
        fill.AddRect(inside);
    Stroke(s, pen, path, true, filled ? &fill : nullptr, fillPixel);
    return TRUE;
}

// Ellipse: inscribed in the same half-open box. The fill is the elliptic region of the box,
// the outline the path above; boxes 2 pixels or less across are drawn as rectangles.
BOOL DrawEllipse(const Lock& held, HDC dcHandle, int left, int top, int right, int bottom) {
    GdiObject* dc = FindDC(held, dcHandle);
    Target target = dc ? TargetOf(held, *dc) : Target();
    if (!target.surface)
        return FALSE;
    RECT r = Ordered(left, top, right, bottom);
    int width = r.right - r.left, height = r.bottom - r.top;
    if (width == 0 || height == 0)
        return TRUE;
    if (width <= 2 || height <= 2)
        return DrawRectangle(held, dcHandle, r.left, r.top, r.right, r.bottom);
    Surface& s = *target.surface;
    Pen pen = PenOf(held, *dc, target);
    uint32_t fillPixel = 0;
    bool filled = BrushPixel(held, *dc, target, HBRUSH(dc->state.brush), &fillPixel);
    Coverage fill(s.width, s.height);
    if (filled) {
        std::vector<int> inset = EllipticInsets(width, height);
        for (int i = 0; i < height; ++i)
            fill.AddSpan(r.top + i, r.left + inset[size_t(i)], r.right - inset[size_t(i)]);
    }
    Stroke(s, pen, EllipsePath(r), true, filled ? &fill : nullptr, fillPixel);
    return TRUE;
}

BOOL DrawPolyline(const Lock& held, HDC dcHandle, const std::vector<POINT>& points) {
    GdiObject* dc = FindDC(held, dcHandle);
    Target target = dc ? TargetOf(held, *dc) : Target();
    if (!target.surface || points.size() < 2)
        return FALSE;
    Pen pen = PenOf(held, *dc, target);
    std::vector<POINT> path = points;
    if (pen.width > 1) {
        // Empty segments at either end add nothing to a wide stroke but their caps.
        while (path.size() > 2 && path[0].x == path[1].x && path[0].y == path[1].y)
            path.erase(path.begin());
        while (path.size() > 2 && path[path.size() - 1].x == path[path.size() - 2].x &&
               path[path.size() - 1].y == path[path.size() - 2].y)
            path.pop_back();
    }
    Stroke(*target.surface, pen, path, false);
    return TRUE;
}

uint32_t Rop3(uint32_t code, uint32_t p, uint32_t s, uint32_t d) {
    // Bit (P << 2 | S << 1 | D) of the code is the result for those three input bits.
    uint32_t out = 0;
    for (int i = 0; i < 8; ++i)
        if (code >> i & 1)
            out |= ((i & 4) ? p : ~p) & ((i & 2) ? s : ~s) & ((i & 1) ? d : ~d);
    return out & 0xFFFFFF;
}

bool UsesSource(uint32_t code) {
    return ((code >> 2 ^ code) & 0x33) != 0;
}
bool UsesPattern(uint32_t code) {
    return ((code >> 4 ^ code) & 0x0F) != 0;
}

BOOL Blit(const Lock& held, HDC destHandle, int x, int y, int width, int height, HDC sourceHandle,
          int sx, int sy, DWORD rop) {
    GdiObject* dest = FindDC(held, destHandle);
    Target to = dest ? TargetOf(held, *dest) : Target();
    if (!to.surface)
        return FALSE;
    const uint32_t code = (rop >> 16) & 0xFF;
    GdiObject* source = nullptr;
    Target from;
    if (UsesSource(code)) {
        source = FindDC(held, sourceHandle);
        from = source ? TargetOf(held, *source) : Target();
        if (!from.surface)
            return FALSE;
    }
    uint32_t pattern = 0;
    if (UsesPattern(code) && !BrushPixel(held, *dest, to, HBRUSH(dest->state.brush), &pattern))
        return TRUE; // a null brush paints nothing
    if (width < 0) {
        x += width;
        sx += width;
        width = -width;
    }
    if (height < 0) {
        y += height;
        sy += height;
        height = -height;
    }
    // Only what lies on both surfaces is transferred; the rest of the destination stays.
    int x0 = std::max(0, -x), y0 = std::max(0, -y);
    int x1 = std::min(width, to.surface->width - x), y1 = std::min(height, to.surface->height - y);
    if (from.surface) {
        x0 = std::max(x0, -sx);
        y0 = std::max(y0, -sy);
        x1 = std::min(x1, from.surface->width - sx);
        y1 = std::min(y1, from.surface->height - sy);
    }
    if (x0 >= x1 || y0 >= y1)
        return TRUE;
    // Copy the source block first: source and destination may be the same surface.
    std::vector<uint32_t> block;
    if (from.surface) {
        block.reserve(size_t(x1 - x0) * (y1 - y0));
        const uint32_t sourceBk = PixelFromColorref(source->state.bkColor & 0xFFFFFF);
        for (int j = y0; j < y1; ++j)
            for (int i = x0; i < x1; ++i) {
                uint32_t p = from.surface->at(sx + i, sy + j) & 0xFFFFFF;
                // Between colour and monochrome, as GDI converts: the source's background
                // colour is white, everything else black; white takes the destination's
                // background colour and black its text colour.
                if (from.monochrome && !to.monochrome)
                    p = PixelFromColorref((p ? dest->state.bkColor : dest->state.textColor) &
                                          0xFFFFFF);
                else if (!from.monochrome && to.monochrome)
                    p = p == sourceBk ? 0xFFFFFF : 0;
                block.push_back(p);
            }
    }
    size_t k = 0;
    for (int j = y0; j < y1; ++j)
        for (int i = x0; i < x1; ++i) {
            uint32_t s = from.surface ? block[k++] : 0;
            uint32_t d = to.surface->at(x + i, y + j) & 0xFFFFFF;
            to.surface->set(x + i, y + j, code == 0xCC ? s : Rop3(code, pattern, s, d));
        }
    return TRUE;
}

BOOL DrawIconImage(const Lock& held, HDC dcHandle, int x, int y, HICON icon, int width, int height,
                   UINT flags) {
    const IconImage* image = FindIcon(held, icon);
    return image && PaintIcon(held, dcHandle, x, y, *image, width, height, flags) ? TRUE : FALSE;
}

} // namespace

bool PaintIcon(const Lock& held, HDC dcHandle, int x, int y, const IconImage& icon, int width,
               int height, UINT flags) {
    GdiObject* dc = FindDC(held, dcHandle);
    Target target = dc ? TargetOf(held, *dc) : Target();
    const IconImage* image = &icon;
    if (!target.surface || image->color.width <= 0 || image->color.height <= 0)
        return false;
    const Surface& c = image->color;
    if (width <= 0)
        width = c.width;
    if (height <= 0)
        height = c.height;
    // The mask alone is copied as black and white; the image alone is copied; both together AND
    // the mask into the background and XOR the image onto that.
    const bool withMask = (flags & DI_MASK) != 0, withImage = (flags & DI_IMAGE) != 0;
    const uint32_t black = PixelFor(target, dc->state, RGB(0, 0, 0), false);
    const uint32_t white = PixelFor(target, dc->state, RGB(255, 255, 255), false);
    for (int j = 0; j < height; ++j)
        for (int i = 0; i < width; ++i) {
            if (!target.surface->contains(x + i, y + j))
                continue;
            // Other sizes are stretched by picking the nearest pixel.
            int u = i * c.width / width, v = j * c.height / height;
            bool opaque = image->opaque[size_t(v) * c.width + u] != 0;
            uint32_t pixel = PixelFor(target, dc->state, ColorOfPixel(c.at(u, v)), false);
            uint32_t out = target.surface->at(x + i, y + j) & 0xFFFFFF;
            if (withImage && image->blended) {
                if (opaque)
                    out = pixel;
            } else if (withMask && withImage) {
                out = (opaque ? 0 : out) ^ pixel;
            } else if (withMask) {
                out = opaque ? black : white;
            } else if (withImage) {
                out = pixel;
            }
            target.surface->set(x + i, y + j, out);
        }
    return true;
}

} // namespace gdi
} // namespace cesim

using namespace cesim;
using namespace cesim::gdi;

extern "C" {

COLORREF SetPixel(HDC dcHandle, int x, int y, COLORREF color) {
    Lock lock(Kernel::Mutex());
    GdiObject* dc = FindDC(lock, dcHandle);
    Target target = dc ? TargetOf(lock, *dc) : Target();
    COLORREF set = CLR_INVALID;
    if (target.surface) {
        uint32_t pixel = PixelFor(target, dc->state, color, false);
        target.surface->set(x, y, pixel);
        set = ColorOfPixel(pixel);
    }
    Record(lock, "SetPixel", dcHandle, {x, y, int64_t(color)}, int64_t(set));
    return set;
}

COLORREF GetPixel(HDC dcHandle, int x, int y) {
    Lock lock(Kernel::Mutex());
    GdiObject* dc = FindDC(lock, dcHandle);
    Target target = dc ? TargetOf(lock, *dc) : Target();
    COLORREF color = CLR_INVALID;
    if (target.surface && target.surface->contains(x, y))
        color = ColorOfPixel(target.surface->at(x, y));
    Record(lock, "GetPixel", dcHandle, {x, y}, int64_t(color));
    return color;
}

BOOL Rectangle(HDC dc, int left, int top, int right, int bottom) {
    Lock lock(Kernel::Mutex());
    BOOL ok = DrawRectangle(lock, dc, left, top, right, bottom);
    Record(lock, "Rectangle", dc, {left, top, right, bottom}, ok);
    return ok;
}

BOOL Ellipse(HDC dc, int left, int top, int right, int bottom) {
    Lock lock(Kernel::Mutex());
    BOOL ok = DrawEllipse(lock, dc, left, top, right, bottom);
    Record(lock, "Ellipse", dc, {left, top, right, bottom}, ok);
    return ok;
}

BOOL Polyline(HDC dc, const POINT* points, int count) {
    Lock lock(Kernel::Mutex());
    std::vector<POINT> path;
    std::vector<int64_t> args;
    for (int i = 0; points && i < count; ++i) {
        path.push_back(points[i]);
        args.push_back(points[i].x);
        args.push_back(points[i].y);
    }
    BOOL ok = DrawPolyline(lock, dc, path);
    Record(lock, "Polyline", dc, std::move(args), ok);
    return ok;
}

BOOL MoveToEx(HDC dcHandle, int x, int y, LPPOINT previous) {
    Lock lock(Kernel::Mutex());
    GdiObject* dc = FindDC(lock, dcHandle);
    BOOL ok = FALSE;
    if (dc) {
        if (previous)
            *previous = dc->state.position;
        dc->state.position = {x, y};
        ok = TRUE;
    }
    Record(lock, "MoveToEx", dcHandle, {x, y}, ok);
    return ok;
}

BOOL LineTo(HDC dcHandle, int x, int y) {
    Lock lock(Kernel::Mutex());
    GdiObject* dc = FindDC(lock, dcHandle);
    BOOL ok = FALSE;
    if (dc) {
        POINT from = dc->state.position;
        ok = DrawPolyline(lock, dcHandle, {from, {x, y}});
        dc->state.position = {x, y};
    }
    Record(lock, "LineTo", dcHandle, {x, y}, ok);
    return ok;
}

int FillRect(HDC dcHandle, const RECT* rect, HBRUSH brush) {
    Lock lock(Kernel::Mutex());
    GdiObject* dc = FindDC(lock, dcHandle);
    Target target = dc ? TargetOf(lock, *dc) : Target();
    int ok = 0;
    int64_t args[5];
    size_t n = 0;
    if (rect)
        for (LONG side : {rect->left, rect->top, rect->right, rect->bottom})
            args[n++] = side;
    args[n++] = Arg(brush);
    uint32_t pixel = 0;
    if (target.surface && rect) {
        ok = 1;
        if (BrushPixel(lock, *dc, target, brush, &pixel))
            FillPixels(*target.surface, Ordered(rect->left, rect->top, rect->right, rect->bottom),
                       pixel);
    }
    RecordCall(lock, "FillRect", dcHandle, args, n, ok);
    return ok;
}

BOOL PatBlt(HDC dc, int x, int y, int width, int height, DWORD rop) {
    Lock lock(Kernel::Mutex());
    BOOL ok = UsesSource((rop >> 16) & 0xFF)
                  ? FALSE
                  : Blit(lock, dc, x, y, width, height, nullptr, 0, 0, rop);
    Record(lock, "PatBlt", dc, {x, y, width, height, int64_t(rop)}, ok);
    return ok;
}

BOOL BitBlt(HDC dest, int x, int y, int width, int height, HDC source, int sourceX, int sourceY,
            DWORD rop) {
    Lock lock(Kernel::Mutex());
    BOOL ok = Blit(lock, dest, x, y, width, height, source, sourceX, sourceY, rop);
    Record(lock, "BitBlt", dest, {x, y, width, height, Arg(source), sourceX, sourceY, int64_t(rop)},
           ok);
    return ok;
}

BOOL DrawIconEx(HDC dc, int x, int y, HICON icon, int width, int height, UINT step,
                HBRUSH flickerFreeBrush, UINT flags) {
    Lock lock(Kernel::Mutex());
    BOOL ok = DrawIconImage(lock, dc, x, y, icon, width, height, flags);
    Record(lock, "DrawIconEx", dc,
           {x, y, Arg(icon), width, height, int64_t(step), Arg(flickerFreeBrush), int64_t(flags)},
           ok);
    return ok;
}

BOOL SetRect(LPRECT rect, int left, int top, int right, int bottom) {
    if (!rect)
        return FALSE;
    *rect = {left, top, right, bottom};
    return TRUE;
}

BOOL SetRectEmpty(LPRECT rect) {
    return SetRect(rect, 0, 0, 0, 0);
}

BOOL CopyRect(LPRECT dest, const RECT* source) {
    if (!dest || !source)
        return FALSE;
    *dest = *source;
    return TRUE;
}

BOOL InflateRect(LPRECT rect, int dx, int dy) {
    if (!rect)
        return FALSE;
    rect->left -= dx;
    rect->top -= dy;
    rect->right += dx;
    rect->bottom += dy;
    return TRUE;
}

BOOL OffsetRect(LPRECT rect, int dx, int dy) {
    if (!rect)
        return FALSE;
    rect->left += dx;
    rect->top += dy;
    rect->right += dx;
    rect->bottom += dy;
    return TRUE;
}

BOOL IsRectEmpty(const RECT* rect) {
    return !rect || rect->right <= rect->left || rect->bottom <= rect->top;
}

BOOL IntersectRect(LPRECT dest, const RECT* a, const RECT* b) {
    if (!dest || !a || !b)
        return FALSE;
    RECT r = {std::max(a->left, b->left), std::max(a->top, b->top), std::min(a->right, b->right),
              std::min(a->bottom, b->bottom)};
    if (IsRectEmpty(a) || IsRectEmpty(b) || IsRectEmpty(&r)) {
        SetRectEmpty(dest);
        return FALSE;
    }
    *dest = r;
    return TRUE;
}

BOOL UnionRect(LPRECT dest, const RECT* a, const RECT* b) {
    if (!dest || !a || !b)
        return FALSE;
    // An empty rectangle adds nothing to the union.
    if (IsRectEmpty(a) && IsRectEmpty(b)) {
        SetRectEmpty(dest);
        return FALSE;
    }
    if (IsRectEmpty(a)) {
        *dest = *b;
    } else if (IsRectEmpty(b)) {
        *dest = *a;
    } else {
        RECT r = {std::min(a->left, b->left), std::min(a->top, b->top),
                  std::max(a->right, b->right), std::max(a->bottom, b->bottom)};
        *dest = r;
    }
    return TRUE;
}

BOOL EqualRect(const RECT* a, const RECT* b) {
    return a && b && a->left == b->left && a->top == b->top && a->right == b->right &&
           a->bottom == b->bottom;
}

BOOL PtInRect(const RECT* rect, POINT point) {
    return rect && point.x >= rect->left && point.x < rect->right && point.y >= rect->top &&
           point.y < rect->bottom;
}

} // extern "C"
