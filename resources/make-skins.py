#!/usr/bin/env python3
"""Draws the program's own skins and writes them as skin files.

A skin file is an uncompressed RGB TIFF whose first image is the skin bitmap and whose
private tag 30583 (BYTE) holds "SKIN" and the description lines. Everything here is
drawn by code: gradients, rounded frames and simple button glyphs.

Usage: make-skins.py OUTPUT_FOLDER
"""
import os
import struct
import sys

DESIGN_W, DESIGN_H = 640, 480
BITMAP_W, BITMAP_H = 416, 96
TOP, BOTTOM, SIDE = 28, 22, 6
# The right edge is wide enough for the information button.
RIGHT = 24
BUTTON = 18


class Canvas:
    def __init__(self, w, h, colour):
        self.w, self.h = w, h
        self.px = [list(colour) for _ in range(w * h)]

    def put(self, x, y, c):
        if 0 <= x < self.w and 0 <= y < self.h:
            self.px[y * self.w + x] = list(c)

    def fill(self, x, y, w, h, c):
        for yy in range(y, y + h):
            for xx in range(x, x + w):
                self.put(xx, yy, c)

    def vgradient(self, x, y, w, h, top, bottom):
        for i in range(h):
            t = i / max(1, h - 1)
            c = [round(a + (b - a) * t) for a, b in zip(top, bottom)]
            self.fill(x, y + i, w, 1, c)

    def rounded_frame(self, x, y, w, h, c, radius=3):
        for i in range(w):
            for j in range(h):
                edge = i == 0 or j == 0 or i == w - 1 or j == h - 1
                dx = max(radius - i, i - (w - 1 - radius), 0)
                dy = max(radius - j, j - (h - 1 - radius), 0)
                if dx * dx + dy * dy > radius * radius:
                    continue
                ring = (dx or dy) and (radius - 1) ** 2 <= dx * dx + dy * dy
                if edge or ring:
                    self.put(x + i, y + j, c)

    def line(self, x0, y0, x1, y1, c):
        steps = max(abs(x1 - x0), abs(y1 - y0), 1)
        for s in range(steps + 1):
            self.put(round(x0 + (x1 - x0) * s / steps), round(y0 + (y1 - y0) * s / steps), c)

    def triangle(self, x, y, size, direction, c):
        # A filled triangle pointing left (-1) or right (+1) in a size x size box.
        for i in range(size // 2 + 1):
            col = x + (i if direction > 0 else size - 1 - i)
            half = size // 2 - i
            self.line(col, y + size // 2 - half, col, y + size // 2 + half, c)

    def rgb_bytes(self):
        return b"".join(bytes(p) for p in self.px)


def glyph(canvas, name, x, y, c):
    """A simple glyph for a button in an 18 x 18 box."""
    m = 5
    if name == "Close":
        canvas.line(x + m, y + m, x + BUTTON - 1 - m, y + BUTTON - 1 - m, c)
        canvas.line(x + BUTTON - 1 - m, y + m, x + m, y + BUTTON - 1 - m, c)
    elif name == "Minimize":
        canvas.fill(x + m, y + BUTTON - m - 2, BUTTON - 2 * m, 2, c)
    elif name == "Maximize":
        canvas.rounded_frame(x + m, y + m, BUTTON - 2 * m, BUTTON - 2 * m, c, 0)
        canvas.fill(x + m, y + m, BUTTON - 2 * m, 2, c)
    elif name == "Restore":
        canvas.rounded_frame(x + m + 2, y + m - 1, 7, 6, c, 0)
        canvas.rounded_frame(x + m - 1, y + m + 3, 7, 6, c, 0)
    elif name in ("ShowBack", "StepBack"):
        canvas.triangle(x + 5, y + 5, 8, -1, c)
        if name == "StepBack":
            canvas.fill(x + 4, y + 5, 1, 9, c)
    elif name in ("ShowNext", "StepNext"):
        canvas.triangle(x + 5, y + 5, 8, 1, c)
        if name == "StepNext":
            canvas.fill(x + 13, y + 5, 1, 9, c)
    elif name in ("ToggleButton", "ToggleButton2"):
        canvas.fill(x + 8, y + 4, 2, 8, c)
        canvas.fill(x + 5, y + 11, 8, 2, c)
        if name == "ToggleButton2":
            canvas.fill(x + 8, y + 13, 2, 2, c)
    elif name in ("InfoButton", "InfoButton2"):
        canvas.fill(x + 8, y + 4, 2, 2, c)
        canvas.fill(x + 8, y + 7, 2, 7, c)
        if name == "InfoButton2":
            canvas.fill(x + 6, y + 13, 6, 1, c)
    elif name == "CopyPath":
        for i in range(3):
            canvas.fill(x + 4, y + 5 + 3 * i, 10 - 2 * i, 1, c)
    elif name == "CopyImage":
        canvas.rounded_frame(x + 4, y + 4, 10, 10, c, 0)
        canvas.line(x + 5, y + 12, x + 8, y + 8, c)
        canvas.line(x + 8, y + 8, x + 12, y + 12, c)
    elif name == "OpenImage":
        canvas.rounded_frame(x + 3, y + 6, 12, 8, c, 1)
        canvas.fill(x + 3, y + 4, 5, 2, c)


# Buttons: where each goes in a window of the design size.
PLACES = {
    "Close": (DESIGN_W - SIDE - BUTTON - 2, 5),
    "Maximize": (DESIGN_W - SIDE - 2 * BUTTON - 4, 5),
    "Restore": (DESIGN_W - SIDE - 2 * BUTTON - 4, 5),
    "Minimize": (DESIGN_W - SIDE - 3 * BUTTON - 6, 5),
    "ToggleButton": (SIDE + 2, 5),
    "ToggleButton2": (SIDE + 2, 5),
    "ShowBack": (SIDE + 2, DESIGN_H - BOTTOM + 2),
    "ShowNext": (SIDE + 4 + BUTTON, DESIGN_H - BOTTOM + 2),
    "StepBack": (SIDE + 8 + 2 * BUTTON, DESIGN_H - BOTTOM + 2),
    "StepNext": (SIDE + 10 + 3 * BUTTON, DESIGN_H - BOTTOM + 2),
    "CopyPath": (SIDE + 16 + 4 * BUTTON, DESIGN_H - BOTTOM + 2),
    "CopyImage": (SIDE + 18 + 5 * BUTTON, DESIGN_H - BOTTOM + 2),
    "OpenImage": (DESIGN_W - SIDE - 2 * BUTTON - 8, DESIGN_H - BOTTOM + 2),
    "InfoButton": (DESIGN_W - 1 - BUTTON, DESIGN_H // 2 - BUTTON // 2),
    "InfoButton2": (DESIGN_W - 1 - BUTTON, DESIGN_H // 2 - BUTTON // 2),
}


def draw_skin(theme):
    c = Canvas(BITMAP_W, BITMAP_H, theme["back"])
    lines = []

    def rect(name, x, y, w, h):
        lines.append("R%s=%d,%d,%d,%d" % (name, x, y, w, h))

    # Row 0: the caption bar pieces: left end, a tile for the middle, right end.
    c.vgradient(0, 0, 96, TOP, theme["top"], theme["top2"])
    c.rounded_frame(0, 0, 96, TOP + 6, theme["edge"], 5)
    c.fill(0, 0, 96, 1, theme["edge"])
    rect("TopLeftImage", 0, 0, 32, TOP)
    rect("TopMiddle", 32, 0, 8, TOP)
    rect("TopBottomImage", 64, 0, 32, TOP)
    # Row 1: the status bar pieces, likewise.
    y = 32
    c.vgradient(0, y, 96, BOTTOM, theme["top2"], theme["top"])
    c.fill(0, y + BOTTOM - 1, 96, 1, theme["edge"])
    c.fill(0, y, 1, BOTTOM, theme["edge"])
    c.fill(95, y, 1, BOTTOM, theme["edge"])
    rect("BottomLeftImage", 0, y, 32, BOTTOM)
    rect("BottomMiddle", 32, y, 8, BOTTOM)
    rect("BottomRightImage", 64, y, 32, BOTTOM)
    # The side pieces: tiles of the frame's left and right edges.
    y = 60
    c.fill(0, y, SIDE, 8, theme["top2"])
    c.fill(0, y, 1, 8, theme["edge"])
    c.fill(8, y, RIGHT, 8, theme["top2"])
    c.fill(8 + RIGHT - 1, y, 1, 8, theme["edge"])
    rect("LeftMiddle", 0, y, SIDE, 8)
    rect("RightMiddle", 8, y, RIGHT, 8)
    # The sizing grip: ridges in the status bar's right end, and its zone.
    for i in range(3):
        c.line(64 + 18 + 4 * i, 32 + BOTTOM - 3, 64 + 29, 32 + 8 + 4 * i - 3, theme["glyph"])
    lines.append("RRightBottomCorner=%d,%d,16,16" % (DESIGN_W - 16, DESIGN_H - 16))
    # The window itself.
    lines.append("RMainWindowRect=0,0,%d,%d" % (DESIGN_W, DESIGN_H))
    lines.append("RClientRectOffsets=%d,%d,%d,%d" % (SIDE, TOP, RIGHT, BOTTOM))
    lines.append("RTitleText=%d,6,%d,16" % (SIDE + BUTTON + 8, DESIGN_W - 4 * BUTTON - 60))
    lines.append("RStatusText=%d,%d,%d,16" % (SIDE + 24 + 6 * BUTTON, DESIGN_H - BOTTOM + 3,
                                              DESIGN_W - 9 * BUTTON - 60))
    # Buttons: rectangle 0 the place, 1 to 3 the normal, hot and pressed looks.
    x = 100
    for name, (px, py) in PLACES.items():
        looks = []
        for look, (face, face2) in enumerate(theme["looks"]):
            by = 4 + look * (BUTTON + 2)
            c.vgradient(x, by, BUTTON, BUTTON, face, face2)
            c.rounded_frame(x, by, BUTTON, BUTTON, theme["edge"], 3)
            glyph(c, name, x, by, theme["glyph"])
            looks.append((x, by))
        values = [px, py, BUTTON, BUTTON]
        for lx, ly in looks:
            values += [lx, ly, BUTTON, BUTTON]
        lines.append("B%s=%s" % (name, ",".join(str(v) for v in values)))
        x += BUTTON + 2
    for key, value in theme["colours"].items():
        lines.append("C%s=%06X" % (key, value))
    return c, "\n".join(lines) + "\n"


def tiff(canvas, description):
    pixels = canvas.rgb_bytes()
    tag_value = b"SKIN" + description.encode("ascii")
    entries = []
    # Extra data after the directory: bits per sample, the tag's value, the pixels.
    count = 11
    data_at = 8 + 2 + 12 * count + 4
    bits_at = data_at
    tag_at = bits_at + 6
    pixels_at = tag_at + len(tag_value)
    pixels_at += pixels_at & 1
    SHORT, LONG, BYTE = 3, 4, 1

    def entry(tag, typ, n, value):
        if typ == SHORT and n == 1:
            packed = struct.pack("<HH", value, 0)
        else:
            packed = struct.pack("<I", value)
        entries.append(struct.pack("<HHI", tag, typ, n) + packed)

    entry(256, LONG, 1, canvas.w)
    entry(257, LONG, 1, canvas.h)
    entry(258, SHORT, 3, bits_at)
    entry(259, SHORT, 1, 1)
    entry(262, SHORT, 1, 2)
    entry(273, LONG, 1, pixels_at)
    entry(277, SHORT, 1, 3)
    entry(278, LONG, 1, canvas.h)
    entry(279, LONG, 1, len(pixels))
    entry(284, SHORT, 1, 1)
    entry(30583, BYTE, len(tag_value), tag_at)
    assert len(entries) == count
    out = b"II*\x00" + struct.pack("<I", 8) + struct.pack("<H", count) + b"".join(entries)
    out += struct.pack("<I", 0)
    out += struct.pack("<HHH", 8, 8, 8) + tag_value
    out += b"\x00" * (pixels_at - len(out))
    return out + pixels


def bgr(r, g, b):
    return (b << 16) | (g << 8) | r


THEMES = {
    "Graphite": {
        "back": (52, 56, 62), "top": (78, 84, 94), "top2": (44, 48, 54), "edge": (20, 22, 26),
        "glyph": (230, 232, 236),
        "looks": [((84, 90, 100), (58, 62, 70)), ((110, 118, 130), (74, 80, 90)),
                  ((40, 44, 50), (70, 76, 86))],
        "colours": {
            "Background": bgr(52, 56, 62), "Dark": bgr(20, 22, 26), "Middle": bgr(44, 48, 54),
            "Light": bgr(78, 84, 94), "TextColor": bgr(220, 224, 230),
            "TitleColor": bgr(255, 255, 255), "TblBackgrCatalog": bgr(96, 104, 116),
            "TblBackgr0": bgr(64, 68, 76), "TblBackgr10": bgr(72, 76, 84),
            "TblBackgr11": bgr(66, 70, 78), "TblBackgr20": bgr(80, 84, 92),
            "TblBackgr21": bgr(74, 78, 86),
        },
    },
    "Meadow": {
        "back": (226, 238, 220), "top": (120, 176, 96), "top2": (70, 128, 58), "edge": (36, 74, 30),
        "glyph": (255, 255, 255),
        "looks": [((104, 160, 86), (68, 120, 56)), ((140, 196, 116), (92, 150, 74)),
                  ((56, 104, 46), (96, 150, 78))],
        "colours": {
            "Background": bgr(226, 238, 220), "Dark": bgr(36, 74, 30), "Middle": bgr(70, 128, 58),
            "Light": bgr(120, 176, 96), "TextColor": bgr(255, 255, 255),
            "TitleColor": bgr(255, 255, 240), "TblBackgrCatalog": bgr(190, 216, 178),
            "TblBackgr0": bgr(240, 246, 236), "TblBackgr10": bgr(250, 252, 248),
            "TblBackgr11": bgr(244, 248, 240), "TblBackgr20": bgr(255, 255, 255),
            "TblBackgr21": bgr(248, 250, 246),
        },
    },
}


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    os.makedirs(sys.argv[1], exist_ok=True)
    for name, theme in THEMES.items():
        canvas, description = draw_skin(theme)
        path = os.path.join(sys.argv[1], name + ".skin")
        with open(path + ".tmp", "wb") as f:
            f.write(tiff(canvas, description))
        os.replace(path + ".tmp", path)


if __name__ == "__main__":
    main()
