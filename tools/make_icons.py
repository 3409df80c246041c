#!/usr/bin/env python3
"""Draws the program's icons and writes them to resources/icons/*.ico.

Every icon holds a 16x16 and a 32x32 image, each 4 bits a pixel with a 16-entry palette of its
own and an AND mask: the DIB form that every Windows CE version draws the same way, Pocket PC 2003
included (a 32-bit image's alpha channel is only blended from CE 5.0 on, if at all), at a fifth of
the size of 32-bit images. Pixels are either fully opaque or fully transparent and no motif uses
more than fifteen colours, so nothing of the pictures is lost. Transparent pixels are palette
entry 0, black, in the XOR image: the background shows through them unchanged.

Each motif is a list of filled shapes in unit coordinates (0..1 across the icon, y downwards),
sampled at pixel centres without anti-aliasing, so the same description serves both sizes.

    python3 tools/make_icons.py                  # rewrite resources/icons/*.ico
    python3 tools/make_icons.py --sheet FILE     # also write a contact sheet PNG (docs/icons.png)

The build does not run this script; the .ico files are committed.
"""

import argparse
import math
import os
import struct
import zlib

SIZES = (16, 32)
ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


# ---- shapes: predicates over unit coordinates ------------------------------------------------

def disc(cx, cy, r):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def ellipse(cx, cy, rx, ry):
    return lambda x, y: ((x - cx) / rx) ** 2 + ((y - cy) / ry) ** 2 <= 1.0


def rect(x0, y0, x1, y1):
    return lambda x, y: x0 <= x <= x1 and y0 <= y <= y1


def segment(x0, y0, x1, y1, width):
    """A stroke of the given width with round ends."""
    dx, dy = x1 - x0, y1 - y0
    length2 = dx * dx + dy * dy

    def inside(x, y):
        t = 0.0 if length2 == 0 else max(0.0, min(1.0, ((x - x0) * dx + (y - y0) * dy) / length2))
        px, py = x0 + t * dx - x, y0 + t * dy - y
        return px * px + py * py <= (width / 2) ** 2

    return inside


def polyline(points, width):
    return union(*[segment(*a, *b, width) for a, b in zip(points, points[1:])])


def polygon(points):
    """Even-odd fill of a closed polygon."""
    def inside(x, y):
        result = False
        for (x0, y0), (x1, y1) in zip(points, points[1:] + points[:1]):
            if (y0 > y) != (y1 > y) and x < x0 + (y - y0) * (x1 - x0) / (y1 - y0):
                result = not result
        return result

    return inside


def arc(cx, cy, r_outer, r_inner, start, end):
    """A ring between two radii, from angle start to end, in degrees clockwise from 12 o'clock."""
    def inside(x, y):
        d2 = (x - cx) ** 2 + (y - cy) ** 2
        if not r_inner * r_inner <= d2 <= r_outer * r_outer:
            return False
        angle = math.degrees(math.atan2(x - cx, cy - y)) % 360
        return (angle - start) % 360 <= (end - start) % 360

    return inside


def union(*shapes):
    return lambda x, y: any(s(x, y) for s in shapes)


def minus(shape, *holes):
    return lambda x, y: shape(x, y) and not any(h(x, y) for h in holes)


# ---- canvas ----------------------------------------------------------------------------------

class Canvas:
    def __init__(self, size):
        self.size = size
        self.pixels = [None] * (size * size)   # 0xRRGGBB, or None where transparent

    def fill(self, shape, color, outline=None):
        """Paints a shape; an outline colour also paints a one-pixel border around it."""
        n = self.size
        covered = [shape((i % n + 0.5) / n, (i // n + 0.5) / n) for i in range(n * n)]
        if outline is not None:
            for i in range(n * n):
                x, y = i % n, i // n
                if not covered[i] and any(
                        covered[(y + dy) * n + x + dx]
                        for dy in (-1, 0, 1) for dx in (-1, 0, 1)
                        if 0 <= x + dx < n and 0 <= y + dy < n):
                    self.pixels[i] = outline
        for i in range(n * n):
            if covered[i]:
                self.pixels[i] = color


# ---- motifs ----------------------------------------------------------------------------------

WHITE = 0xFFFFFF
INK = 0x303030
GREY = 0x8C8C8C
DARK_GREY = 0x505050
RED = 0xD42020
DARK_RED = 0x7A0E0E
BLUE = 0x1E5FC8
DARK_BLUE = 0x0C2A66
GREEN = 0x1E9A3C
DARK_GREEN = 0x0C4A1C
SCREEN = 0x9CC8F0
NIGHT = 0x1A2340
YELLOW = 0xF5D020


def stroke(c, units, pixels):
    """A line width that never falls below a number of pixels at small sizes."""
    return max(units, pixels / c.size)


def edge(c, color):
    """An outline colour for strokes; at 16 pixels an outline would swallow the gaps."""
    return color if c.size >= 24 else None


def draw_app(c):
    # Two program windows, one behind the other: the tasks this program manages.
    for x0, y0 in ((0.04, 0.06), (0.34, 0.36)):
        frame = rect(x0, y0, x0 + 0.6, y0 + 0.56)
        c.fill(frame, WHITE, outline=DARK_BLUE)
        c.fill(rect(x0, y0, x0 + 0.6, y0 + 0.16), BLUE)
    w = stroke(c, 0.07, 1.2)
    c.fill(union(segment(0.8, 0.41, 0.88, 0.49, w), segment(0.8, 0.49, 0.88, 0.41, w)), WHITE)


def draw_close(c):
    c.fill(disc(0.5, 0.5, 0.44), RED, outline=DARK_RED)
    w = stroke(c, 0.12, 2)
    c.fill(union(segment(0.32, 0.32, 0.68, 0.68, w), segment(0.32, 0.68, 0.68, 0.32, w)), WHITE)


def draw_soft_reset(c):
    # A circular arrow running clockwise, its head at 12 o'clock.
    w = stroke(c, 0.13, 2)
    r = 0.34
    c.fill(union(arc(0.5, 0.55, r + w / 2, r - w / 2, 70, 359),
                 polygon([(0.44, 0.01), (0.74, 0.21), (0.44, 0.41)])), BLUE, edge(c, DARK_BLUE))


def draw_display_off(c):
    # A screen gone dark for the night.
    c.fill(rect(0.06, 0.12, 0.94, 0.74), NIGHT, outline=INK)
    c.fill(rect(0.4, 0.78, 0.6, 0.84), DARK_GREY)
    c.fill(rect(0.24, 0.84, 0.76, 0.92), DARK_GREY)
    c.fill(minus(disc(0.46, 0.43, 0.23), disc(0.58, 0.33, 0.2)), YELLOW)


def draw_power_off(c):
    w = stroke(c, 0.13, 2)
    r = 0.34
    c.fill(union(arc(0.5, 0.54, r + w / 2, r - w / 2, 40, 320), segment(0.5, 0.1, 0.5, 0.48, w)),
           RED, edge(c, DARK_RED))


def draw_landscape_left(c):
    # A handheld turned on its side, and the way it turned.
    c.fill(rect(0.08, 0.46, 0.92, 0.92), DARK_GREY, outline=INK)
    c.fill(rect(0.16, 0.53, 0.76, 0.85), SCREEN)
    c.fill(disc(0.84, 0.69, 0.045), GREY)
    w = stroke(c, 0.1, 2)
    c.fill(union(segment(0.34, 0.2, 0.9, 0.2, w),
                 polygon([(0.06, 0.2), (0.38, 0.0), (0.38, 0.4)])), GREEN, edge(c, DARK_GREEN))


def draw_landscape_right(c):
    # The same handheld turned the other way: the left-hand picture mirrored.
    mirror = Canvas(c.size)
    draw_landscape_left(mirror)
    n = c.size
    for i in range(n * n):
        x, y = i % n, i // n
        c.pixels[i] = mirror.pixels[y * n + (n - 1 - x)]


def draw_settings(c):
    def gear(x, y):
        dx, dy = x - 0.5, y - 0.5
        r = math.hypot(dx, dy)
        tooth = (math.degrees(math.atan2(dy, dx)) + 22.5 / 2) % 45 < 22.5
        return r <= 0.31 or (r <= 0.46 and tooth)

    c.fill(minus(gear, disc(0.5, 0.5, 0.13)), GREY, outline=DARK_GREY)


def wifi_fan(c, color, outline):
    cx, cy = 0.5, 0.86
    band = stroke(c, 0.12, 2) / 2
    fan = [arc(cx, cy, r + band, r - band, 315, 45) for r in (0.33, 0.57, 0.81)]
    c.fill(union(disc(cx, cy, 0.1), *fan), color, edge(c, outline))


def draw_wifi_on(c):
    wifi_fan(c, GREEN, DARK_GREEN)


def draw_wifi_off(c):
    wifi_fan(c, GREY, DARK_GREY)
    c.fill(segment(0.14, 0.12, 0.86, 0.84, stroke(c, 0.1, 2)), RED, edge(c, DARK_RED))


def bluetooth(c, color, outline):
    c.fill(ellipse(0.5, 0.5, 0.4, 0.47), color, outline=outline)
    w = 0.075 if c.size >= 24 else 1.05 / c.size
    x = (c.size // 2 + 0.5) / c.size   # the upright on a pixel column, not between two
    rune = [(x - 0.23, 0.3), (x + 0.2, 0.67), (x, 0.86), (x, 0.14), (x + 0.2, 0.33),
            (x - 0.23, 0.7)]
    c.fill(polyline(rune, w), WHITE)


def draw_bluetooth_on(c):
    bluetooth(c, BLUE, DARK_BLUE)


def draw_bluetooth_off(c):
    bluetooth(c, GREY, DARK_GREY)


# Resource id, file name, motif; the ids are those of resources/resource.h.
ICONS = [
    (101, "app", draw_app),
    (104, "close", draw_close),
    (108, "soft_reset", draw_soft_reset),
    (109, "display_off", draw_display_off),
    (110, "power_off", draw_power_off),
    (111, "landscape_left", draw_landscape_left),
    (112, "landscape_right", draw_landscape_right),
    (113, "bluetooth_on", draw_bluetooth_on),
    (128, "settings", draw_settings),
    (129, "bluetooth_off", draw_bluetooth_off),
    (130, "wifi_off", draw_wifi_off),
    (131, "wifi_on", draw_wifi_on),
]


# ---- .ico ------------------------------------------------------------------------------------

BITS = 4
PALETTE_SIZE = 1 << BITS


def palette_of(canvas):
    """Black first, for the transparent pixels, then the motif's colours in ascending order."""
    colors = sorted(set(p for p in canvas.pixels if p is not None) - {0})
    if len(colors) > PALETTE_SIZE - 1:
        raise ValueError(f"{len(colors)} colours do not fit a {BITS}-bit palette")
    return [0] + colors + [0] * (PALETTE_SIZE - 1 - len(colors))


def dib(canvas):
    """BITMAPINFOHEADER, the palette, bottom-up rows of palette indices, then the AND mask
    (1 = transparent)."""
    n = canvas.size
    palette = palette_of(canvas)
    index = {p: i for i, p in reversed(list(enumerate(palette)))}
    color_stride = (n * BITS + 31) // 32 * 4
    mask_stride = (n + 31) // 32 * 4
    color = bytearray()
    mask = bytearray()
    for y in reversed(range(n)):
        row_color = bytearray(color_stride)
        row_mask = bytearray(mask_stride)
        for x in range(n):
            p = canvas.pixels[y * n + x]
            if p is None:
                row_mask[x // 8] |= 0x80 >> (x % 8)
            else:
                row_color[x * BITS // 8] |= index[p] << (8 - BITS - x * BITS % 8)
        color += row_color
        mask += row_mask
    header = struct.pack("<IiiHHIIiiII", 40, n, 2 * n, 1, BITS, 0, len(color) + len(mask),
                         0, 0, 0, 0)
    table = b"".join(struct.pack("<BBBB", p & 0xFF, (p >> 8) & 0xFF, p >> 16, 0) for p in palette)
    return header + table + bytes(color) + bytes(mask)


def ico(canvases):
    images = [dib(c) for c in canvases]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = len(out) + 16 * len(images)
    for c, data in zip(canvases, images):
        out += struct.pack("<BBBBHHII", c.size, c.size, PALETTE_SIZE, 0, 1, BITS, len(data),
                           offset)
        offset += len(data)
    return out + b"".join(images)


def read_ico(data):
    """The images of an .ico as canvases, read the way a palette DIB with a mask is drawn: the
    XOR colour where the mask is clear, transparent where it is set (a set mask over a colour
    other than black would invert the background instead, which no image here may do)."""
    count = struct.unpack_from("<H", data, 4)[0]
    canvases = []
    for i in range(count):
        size, offset = struct.unpack_from("<II", data, 6 + 16 * i + 8)
        header, n, _, _, bits = struct.unpack_from("<IiiHH", data, offset)
        used = struct.unpack_from("<I", data, offset + 32)[0] or 1 << bits
        table = [struct.unpack_from("<BBBB", data, offset + header + 4 * k) for k in range(used)]
        palette = [r << 16 | g << 8 | b for b, g, r, _ in table]
        rows = offset + header + 4 * used
        color_stride = (n * bits + 31) // 32 * 4
        mask_stride = (n + 31) // 32 * 4
        masks = rows + color_stride * n
        c = Canvas(n)
        for y in range(n):
            row = rows + (n - 1 - y) * color_stride
            mask_row = masks + (n - 1 - y) * mask_stride
            for x in range(n):
                value = data[row + x * bits // 8] >> (8 - bits - x * bits % 8) & (1 << bits) - 1
                transparent = data[mask_row + x // 8] & 0x80 >> (x % 8)
                if transparent and palette[value] != 0:
                    raise ValueError(f"image {i}: pixel ({x}, {y}) would invert the background")
                c.pixels[y * n + x] = None if transparent else palette[value]
        canvases.append(c)
    return canvases


# ---- contact sheet ---------------------------------------------------------------------------

DIGITS = ["111101101101111", "010110010010111", "111001111100111", "111001111001111",
          "101101111001001", "111100111001111", "111100111101111", "111001001001001",
          "111101111101111", "111101111001111"]   # 3x5 glyphs, rows top to bottom


def write_png(path, width, height, pixels):
    rows = b"".join(
        b"\0" + b"".join(struct.pack(">I", p)[1:] for p in pixels[y * width:(y + 1) * width])
        for y in range(height))

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data
                + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))

    png = (b"\x89PNG\r\n\x1a\n"
           + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
           + chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b""))
    with open(path, "wb") as f:
        f.write(png)


def write_sheet(path, drawn):
    """One row per icon: its id, 16 and 32 at actual size on white and on a menu highlight,
    then both enlarged to 64 pixels over a checkerboard that shows the transparent parts."""
    highlight = 0x0A246A
    cell = 72
    width, height = 40 + 5 * cell, cell * len(drawn)
    sheet = [0xFFFFFF] * (width * height)

    def put(x, y, p):
        sheet[y * width + x] = p

    def blit(canvas, x0, y0, scale, background):
        for y in range(canvas.size * scale):
            for x in range(canvas.size * scale):
                p = canvas.pixels[(y // scale) * canvas.size + x // scale]
                if p is None:
                    p = background(x, y)
                put(x0 + x, y0 + y, p)

    checker = lambda x, y: 0xD0D0D0 if (x // 8 + y // 8) % 2 else 0xF4F4F4
    for row, (rid, canvases) in enumerate(drawn):
        top = row * cell
        for k, ch in enumerate(str(rid)):
            for i, bit in enumerate(DIGITS[int(ch)]):
                if bit == "1":
                    for dy in range(3):
                        for dx in range(3):
                            put(4 + k * 12 + (i % 3) * 3 + dx, top + 28 + (i // 3) * 3 + dy, 0)
        small, large = canvases
        blit(small, 40 + 24, top + 28, 1, lambda x, y: 0xFFFFFF)
        blit(large, 40 + cell + 20, top + 20, 1, lambda x, y: 0xFFFFFF)
        for y in range(top + 4, top + 68):
            for x in range(40 + 2 * cell + 4, 40 + 3 * cell - 4):
                put(x, y, highlight)
        blit(small, 40 + 2 * cell + 12, top + 12, 1, lambda x, y: highlight)
        blit(large, 40 + 2 * cell + 28, top + 28, 1, lambda x, y: highlight)
        blit(small, 40 + 3 * cell + 4, top + 4, 4, checker)
        blit(large, 40 + 4 * cell + 4, top + 4, 2, checker)
        if row:
            for x in range(width):
                put(x, top, 0xC0C0C0)
    write_png(path, width, height, sheet)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--out", default=os.path.join(ROOT, "resources", "icons"))
    parser.add_argument("--sheet", help="also write a contact sheet of every icon to this PNG")
    args = parser.parse_args()

    os.makedirs(args.out, exist_ok=True)
    drawn = []
    for rid, name, draw in ICONS:
        canvases = []
        for size in SIZES:
            c = Canvas(size)
            draw(c)
            canvases.append(c)
        data = ico(canvases)
        with open(os.path.join(args.out, name + ".ico"), "wb") as f:
            f.write(data)
        # The sheet shows what the file holds, not what was meant to go into it.
        drawn.append((rid, read_ico(data)))
    if args.sheet:
        write_sheet(args.sheet, drawn)


if __name__ == "__main__":
    main()
