#!/usr/bin/env python3
"""Draws the program's small pictures and writes them in the forms the resource
compiler takes: the icon, the tool-bar strip, the corner-box bitmap, the two hand
cursors and the built-in error picture. The files are kept in the repository; run
this again after changing a design.

    resources/make-resources.py            # rewrites the files beside this script
    resources/make-resources.py --sample out.png   # a sample photo-like image
"""
import math
import struct
import sys
import zlib
from pathlib import Path

HERE = Path(__file__).resolve().parent


# ---- a tiny RGBA canvas ----------------------------------------------------

class Canvas:
    def __init__(self, w, h, fill=(0, 0, 0, 0)):
        self.w, self.h = w, h
        self.px = [list(fill) for _ in range(w * h)]

    def get(self, x, y):
        return self.px[y * self.w + x]

    def put(self, x, y, c, cover=1.0):
        if not (0 <= x < self.w and 0 <= y < self.h) or cover <= 0:
            return
        a = (c[3] / 255.0) * min(cover, 1.0)
        d = self.px[y * self.w + x]
        da = d[3] / 255.0
        oa = a + da * (1 - a)
        if oa <= 0:
            return
        for i in range(3):
            d[i] = round((c[i] * a + d[i] * da * (1 - a)) / oa)
        d[3] = round(oa * 255)

    def rect(self, x0, y0, x1, y1, c):
        for y in range(y0, y1):
            for x in range(x0, x1):
                self.put(x, y, c)

    def frame(self, x0, y0, x1, y1, c):
        self.rect(x0, y0, x1, y0 + 1, c)
        self.rect(x0, y1 - 1, x1, y1, c)
        self.rect(x0, y0, x0 + 1, y1, c)
        self.rect(x1 - 1, y0, x1, y1, c)

    def shape(self, inside, c, ss=4):
        """Fills where inside(x, y) holds, anti-aliased by supersampling."""
        for y in range(self.h):
            for x in range(self.w):
                n = 0
                for j in range(ss):
                    for i in range(ss):
                        if inside(x + (i + 0.5) / ss, y + (j + 0.5) / ss):
                            n += 1
                if n:
                    self.put(x, y, c, n / (ss * ss))

    def disc(self, cx, cy, r, c, ss=4):
        self.shape(lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r, c, ss)

    def ring(self, cx, cy, r0, r1, c, ss=4):
        self.shape(lambda x, y: r0 * r0 <= (x - cx) ** 2 + (y - cy) ** 2 <= r1 * r1, c, ss)

    def polygon(self, pts, c, ss=4):
        self.shape(lambda x, y: inside_polygon(pts, x, y), c, ss)

    def line(self, x0, y0, x1, y1, width, c, ss=4):
        def near(x, y):
            dx, dy = x1 - x0, y1 - y0
            t = max(0.0, min(1.0, ((x - x0) * dx + (y - y0) * dy) / (dx * dx + dy * dy or 1)))
            px, py = x0 + t * dx, y0 + t * dy
            return (x - px) ** 2 + (y - py) ** 2 <= (width / 2) ** 2
        self.shape(near, c, ss)


def inside_polygon(pts, x, y):
    inside = False
    j = len(pts) - 1
    for i in range(len(pts)):
        xi, yi = pts[i]
        xj, yj = pts[j]
        if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
            inside = not inside
        j = i
    return inside


# ---- file formats ----------------------------------------------------------

def png_bytes(cv):
    raw = b"".join(b"\0" + bytes(v for p in cv.px[y * cv.w:(y + 1) * cv.w] for v in p)
                   for y in range(cv.h))

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))
    return (b"\x89PNG\r\n\x1a\n" +
            chunk(b"IHDR", struct.pack(">IIBBBBB", cv.w, cv.h, 8, 6, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def bmp24_bytes(cv, key=(255, 0, 255)):
    """A bottom-up 24-bit BMP; transparent pixels become the key colour."""
    stride = (cv.w * 3 + 3) & ~3
    rows = []
    for y in reversed(range(cv.h)):
        row = bytearray()
        for x in range(cv.w):
            r, g, b, a = cv.get(x, y)
            row += bytes((key[2], key[1], key[0])) if a < 128 else bytes((b, g, r))
        rows.append(bytes(row) + b"\0" * (stride - len(row)))
    data = b"".join(rows)
    info = struct.pack("<IiiHHIIiiII", 40, cv.w, cv.h, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    return struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(data), 0, 0, 14 + len(info)) + info + data


def dib32_with_mask(cv):
    """Icon image: BITMAPINFOHEADER (double height), BGRA rows bottom-up, AND mask."""
    info = struct.pack("<IiiHHIIiiII", 40, cv.w, cv.h * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    xor = b"".join(bytes((p[2], p[1], p[0], p[3])) for y in reversed(range(cv.h))
                   for p in cv.px[y * cv.w:(y + 1) * cv.w])
    return info + xor + mask_rows(cv.w, cv.h, lambda x, y: cv.get(x, y)[3] < 128)


def mask_rows(w, h, bit):
    stride = ((w + 31) // 32) * 4
    out = bytearray()
    for y in reversed(range(h)):
        row = bytearray(stride)
        for x in range(w):
            if bit(x, y):
                row[x // 8] |= 0x80 >> (x % 8)
        out += row
    return bytes(out)


def ico_bytes(canvases):
    head = struct.pack("<HHH", 0, 1, len(canvases))
    images = [dib32_with_mask(cv) for cv in canvases]
    offset = 6 + 16 * len(canvases)
    entries = b""
    for cv, img in zip(canvases, images):
        entries += struct.pack("<BBBBHHII", cv.w % 256, cv.h % 256, 0, 0, 1, 32, len(img), offset)
        offset += len(img)
    return head + entries + b"".join(images)


def cur_bytes(art, hotspot, size=32):
    """A monochrome cursor from ASCII art: '#' black, '.' white, ' ' clear."""
    rows = [line.ljust(size)[:size] for line in art] + [" " * size] * (size - len(art))
    info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 1, 0, 0, 0, 0, 2, 0)
    palette = struct.pack("<II", 0x000000, 0xFFFFFF)
    xor = mask_rows(size, size, lambda x, y: rows[y][x] == ".")
    andm = mask_rows(size, size, lambda x, y: rows[y][x] == " ")
    img = info + palette + xor + andm
    return (struct.pack("<HHH", 0, 2, 1) +
            struct.pack("<BBBBHHII", size, size, 0, 0, hotspot[0], hotspot[1], len(img), 22) + img)


# ---- designs ---------------------------------------------------------------

def lerp(a, b, t):
    return tuple(round(a[i] + (b[i] - a[i]) * t) for i in range(len(a)))


def icon(size):
    """A round lens over a small landscape: sky, sun and hills inside a dark rim."""
    s = size / 32.0
    cv = Canvas(size, size)
    cx = cy = size / 2
    r = 15 * s

    def in_lens(x, y):
        return (x - cx) ** 2 + (y - cy) ** 2 <= (r - 2 * s) ** 2

    # sky gradient inside the lens
    sky = Canvas(size, size)
    for y in range(size):
        c = lerp((70, 140, 230), (170, 215, 250), y / size) + (255,)
        for x in range(size):
            sky.px[y * size + x] = list(c)
    sky.disc(cx + 5 * s, cy - 5 * s, 3.6 * s, (255, 210, 60, 255))
    sky.shape(lambda x, y: y > cy + 2 * s + 3 * s * math.sin((x - cx) / (5 * s)), (60, 160, 80, 255))
    sky.shape(lambda x, y: y > cy + 6 * s + 2 * s * math.sin((x - cx) / (4 * s) + 2), (40, 120, 60, 255))
    cv.shape(in_lens, (255, 255, 255, 255))
    ss = 4
    for y in range(size):
        for x in range(size):
            n = sum(1 for j in range(ss) for i in range(ss)
                    if in_lens(x + (i + 0.5) / ss, y + (j + 0.5) / ss))
            if n:
                p = sky.get(x, y)
                cv.px[y * size + x] = [p[0], p[1], p[2], round(255 * n / ss / ss)]
    cv.ring(cx, cy, r - 2.2 * s, r, (35, 45, 80, 255))
    cv.ring(cx, cy, r - 2.2 * s, r - 1.4 * s, (120, 140, 200, 255))
    # a gloss on the lens
    cv.shape(lambda x, y: (x - cx + 4 * s) ** 2 / (7 * s) ** 2 + (y - cy + 6 * s) ** 2 / (3.5 * s) ** 2 <= 1,
             (255, 255, 255, 70))
    return cv


INK = (40, 40, 48, 255)
BLUE = (40, 90, 200, 255)
GREEN = (30, 140, 60, 255)
RED = (200, 40, 40, 255)
YELLOW = (235, 190, 40, 255)
GREY = (120, 120, 130, 255)


def glyph(name):
    g = Canvas(16, 16)
    left = [(10.5, 3), (10.5, 13), (4, 8)]
    right = [(5.5, 3), (5.5, 13), (12, 8)]
    if name == "open":
        g.polygon([(1, 4), (6, 4), (7, 5.5), (14, 5.5), (14, 13), (1, 13)], (200, 150, 50, 255))
        g.polygon([(3, 7.5), (15.5, 7.5), (13.5, 13), (1, 13)], YELLOW)
    elif name in ("save", "saveas"):
        g.rect(2, 2, 14, 14, BLUE)
        g.rect(4, 2, 12, 7, (235, 235, 240, 255))
        g.rect(5, 10, 11, 14, (90, 130, 220, 255))
        g.rect(9, 3, 11, 6, BLUE)
        if name == "saveas":
            g.line(7, 15, 15, 7, 2.2, RED)
            g.line(7, 15, 8.5, 13.5, 2.2, INK)
    elif name == "prev":
        g.polygon(left, GREEN)
    elif name == "next":
        g.polygon(right, GREEN)
    elif name == "stepback":
        g.polygon([(9, 3), (9, 13), (2.5, 8)], BLUE)
        g.rect(10, 4, 14, 12, BLUE)
    elif name == "stepnext":
        g.rect(2, 4, 6, 12, BLUE)
        g.polygon([(7, 3), (7, 13), (13.5, 8)], BLUE)
    elif name == "slideshow":
        g.rect(1, 2, 15, 12, INK)
        g.rect(2, 3, 14, 11, (160, 200, 240, 255))
        g.polygon([(6, 4.5), (6, 9.5), (10.5, 7)], GREEN)
        g.line(8, 12, 5, 15.5, 1.4, INK)
        g.line(8, 12, 11, 15.5, 1.4, INK)
    elif name == "bestfit":
        g.frame(1, 1, 15, 15, INK)
        g.line(3.5, 3.5, 12.5, 12.5, 1.5, BLUE)
        g.polygon([(3, 3), (8, 3), (3, 8)], BLUE)
        g.polygon([(13, 13), (8, 13), (13, 8)], BLUE)
    elif name == "actual":
        for x0 in (2, 11):
            g.rect(x0, 3, x0 + 2, 13, INK)
        g.rect(7, 5, 9, 7, INK)
        g.rect(7, 9, 9, 11, INK)
    elif name == "fullscreen":
        for (x, y, dx, dy) in ((1, 1, 1, 1), (15, 1, -1, 1), (1, 15, 1, -1), (15, 15, -1, -1)):
            g.line(x, y, x + 5 * dx, y, 2, INK)
            g.line(x, y, x, y + 5 * dy, 2, INK)
        g.rect(5, 5, 11, 11, BLUE)
    elif name in ("zoomin", "zoomout"):
        g.ring(6.5, 6.5, 3.6, 5.3, INK)
        g.disc(6.5, 6.5, 3.6, (220, 235, 255, 255))
        g.line(10.5, 10.5, 14.5, 14.5, 2.6, INK)
        g.rect(4, 6, 9, 7, INK)
        if name == "zoomin":
            g.rect(6, 4, 7, 9, INK)
    elif name in ("rotcw", "rotccw"):
        sign = 1 if name == "rotcw" else -1
        g.shape(lambda x, y: 3.5 ** 2 <= (x - 8) ** 2 + (y - 8.5) ** 2 <= 5.5 ** 2 and
                not (y < 8.5 and (x - 8) * sign > 0), BLUE)
        g.polygon([(8, 1), (8, 6), (8 + 4 * sign, 3.5)], BLUE)
    elif name == "delete":
        g.line(3, 3, 13, 13, 2.6, RED)
        g.line(13, 3, 3, 13, 2.6, RED)
    elif name == "info":
        g.disc(8, 8, 7, BLUE)
        g.rect(7, 7, 9, 13, (255, 255, 255, 255))
        g.disc(8, 4.6, 1.2, (255, 255, 255, 255))
    elif name == "first":
        g.rect(3, 3, 5, 13, INK)
        g.polygon([(12.5, 3), (12.5, 13), (5.5, 8)], INK)
    elif name == "pageprev":
        g.polygon([(11, 3), (11, 13), (4, 8)], INK)
    elif name == "pause":
        g.rect(4, 3, 7, 13, INK)
        g.rect(9, 3, 12, 13, INK)
    elif name == "play":
        g.polygon([(4.5, 2.5), (4.5, 13.5), (13, 8)], GREEN)
    elif name == "pagenext":
        g.polygon([(5, 3), (5, 13), (12, 8)], INK)
    elif name == "last":
        g.polygon([(3.5, 3), (3.5, 13), (10.5, 8)], INK)
        g.rect(11, 3, 13, 13, INK)
    return g


# In the order of the tool-bar buttons.
GLYPHS = ["open", "save", "saveas", "prev", "next", "stepback", "stepnext", "slideshow",
          "bestfit", "actual", "fullscreen", "zoomin", "zoomout", "rotcw", "rotccw", "delete",
          "info", "first", "pageprev", "pause", "play", "pagenext", "last"]


def toolbar_strip():
    strip = Canvas(16 * len(GLYPHS), 16)
    for i, name in enumerate(GLYPHS):
        g = glyph(name)
        for y in range(16):
            for x in range(16):
                strip.px[y * strip.w + i * 16 + x] = list(g.get(x, y))
    return strip


def corner_box():
    """The picture in the box between the scroll bars: a frame and its visible part."""
    cv = Canvas(16, 16, (240, 240, 240, 255))
    cv.frame(1, 1, 15, 15, (90, 90, 100, 255))
    cv.rect(2, 2, 14, 14, (200, 215, 235, 255))
    cv.rect(5, 5, 11, 11, (255, 255, 255, 255))
    cv.frame(5, 5, 11, 11, (30, 80, 190, 255))
    return cv


OPEN_HAND = [
    "       ##  ",
    "   ## #..### ",
    "  #..##..#..#",
    "  #..##..#..# #",
    "   #..#..#..##.#",
    "   #..#..#..#..#",
    " ## #.......#..#",
    "#..##..........#",
    "#...#.........#",
    " #............#",
    "  #...........#",
    "  #..........#",
    "   #.........#",
    "    #.......#",
    "     #......#",
    "     #......#",
    "     ########",
]

GRAB_HAND = [
    "",
    "",
    "",
    "    ## ## ##",
    "   #..#..#..##",
    "   #.........#.#",
    "    #..........#",
    "   ##..........#",
    "  #.#..........#",
    "  #...........#",
    "   #..........#",
    "   #.........#",
    "    #........#",
    "     #......#",
    "     #......#",
    "     ########",
]


def shift(art, dx, dy):
    return [""] * dy + [" " * dx + line for line in art]


def error_picture():
    """Shown in place of an image that could not be read: a torn page with a red cross."""
    w, h = 240, 180
    cv = Canvas(w, h, (236, 236, 240, 255))
    page = [(70, 20), (150, 20), (172, 42), (172, 160), (70, 160)]
    shadow = [(x + 4, y + 4) for x, y in page]
    cv.polygon(shadow, (0, 0, 0, 50), ss=2)
    cv.polygon(page, (255, 255, 255, 255), ss=2)
    cv.polygon([(150, 20), (150, 42), (172, 42)], (210, 210, 220, 255), ss=2)
    for y in range(54, 140, 12):
        cv.rect(84, y, 158 if y % 24 else 140, y + 4, (205, 210, 222, 255))
    cv.disc(160, 130, 30, (255, 255, 255, 255), ss=2)
    cv.disc(160, 130, 27, (205, 40, 45, 255), ss=2)
    cv.line(147, 117, 173, 143, 7, (255, 255, 255, 255), ss=2)
    cv.line(173, 117, 147, 143, 7, (255, 255, 255, 255), ss=2)
    return cv


def sample_image(w=640, h=400):
    """A small landscape for `make run`: sky, sun, hills and a lake."""
    cv = Canvas(w, h)
    for y in range(h):
        c = lerp((40, 90, 170), (250, 190, 140), min(1.0, y / (h * 0.62))) + (255,)
        for x in range(w):
            cv.px[y * w + x] = list(c)
    cv.disc(w * 0.7, h * 0.38, h * 0.11, (255, 230, 150, 255), ss=2)
    cv.shape(lambda x, y: y > h * 0.55 + h * 0.08 * math.sin(x / w * 5 + 1), (70, 110, 90, 255), ss=2)
    cv.shape(lambda x, y: y > h * 0.66 + h * 0.05 * math.sin(x / w * 9), (40, 90, 60, 255), ss=2)
    for y in range(int(h * 0.8), h):
        c = lerp((60, 110, 160), (30, 60, 110), (y - h * 0.8) / (h * 0.2)) + (255,)
        for x in range(w):
            cv.px[y * w + x] = list(c)
    return cv


def main():
    if len(sys.argv) == 3 and sys.argv[1] == "--sample":
        Path(sys.argv[2]).write_bytes(png_bytes(sample_image()))
        return
    (HERE / "Orbisk.ico").write_bytes(ico_bytes([icon(48), icon(32), icon(16)]))
    (HERE / "Toolbar.bmp").write_bytes(bmp24_bytes(toolbar_strip()))
    (HERE / "CornerBox.bmp").write_bytes(bmp24_bytes(corner_box()))
    (HERE / "HandOpen.cur").write_bytes(cur_bytes(shift(OPEN_HAND, 2, 0), (10, 8)))
    (HERE / "HandGrab.cur").write_bytes(cur_bytes(shift(GRAB_HAND, 2, 0), (11, 9)))
    (HERE / "ErrorPicture.png").write_bytes(png_bytes(error_picture()))


if __name__ == "__main__":
    main()
