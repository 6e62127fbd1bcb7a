#!/usr/bin/env python3
"""Writes LzwNotice.emf, the picture shown when a plug-in refuses LZW-compressed data:
800 x 160 pixels at 96 dpi, a framed panel with a prohibition sign and the words
"LZW SUPPORT IS DISABLED". Plain GDI records only, so every player draws it the same.
Run it again after changing the design; the .emf is what the library embeds."""
import os
import struct

WIDTH, HEIGHT = 800, 160
HIMETRIC_PER_PIXEL = 2540 / 96  # 0.01 mm per pixel at 96 dpi
TEXT = "LZW SUPPORT IS DISABLED"
FONT_HEIGHT = 40
# Advance widths of bold Arial capitals in font units of 2048 per em.
ADVANCE = {" ": 569, "A": 1479, "B": 1479, "D": 1479, "E": 1366, "I": 569, "L": 1251,
           "O": 1593, "P": 1366, "R": 1479, "S": 1366, "T": 1251, "U": 1479, "W": 1933,
           "Z": 1251}


def record(kind, payload):
    return struct.pack("<II", kind, 8 + len(payload)) + payload


def rect(left, top, right, bottom):
    return struct.pack("<4i", left, top, right, bottom)


def colour(red, green, blue):
    return red | green << 8 | blue << 16


def font(handle):
    face = "Arial".encode("utf-16-le").ljust(64, b"\0")
    logfont = struct.pack("<5i8B", -FONT_HEIGHT, 0, 0, 0, 700, 0, 0, 0, 0, 0, 0, 4, 0x22) + face
    return record(82, struct.pack("<I", handle) + logfont)


def text_out(x, y, text):
    chars = text.encode("utf-16-le")
    chars += b"\0" * (-len(chars) % 4)
    dx = [round(ADVANCE[c] * FONT_HEIGHT / 2048) for c in text]
    width = sum(dx)
    header_size = 8 + 16 + 4 + 4 + 4 + 8 + 4 + 4 + 4 + 16 + 4
    emrtext = struct.pack("<2iIII", x, y, len(text), header_size, 0) + rect(0, 0, -1, -1)
    emrtext += struct.pack("<I", header_size + len(chars))
    body = rect(x, y, x + width, y + FONT_HEIGHT) + struct.pack("<Iff", 1, HIMETRIC_PER_PIXEL,
                                                               HIMETRIC_PER_PIXEL)
    body += emrtext + chars + struct.pack(f"<{len(dx)}i", *dx)
    return record(84, body)


def main():
    body = [
        record(18, struct.pack("<I", 1)),  # SETBKMODE transparent
        record(39, struct.pack("<IIII", 1, 0, colour(0xF4, 0xF4, 0xF4), 0)),  # paper brush
        record(38, struct.pack("<IIiiI", 2, 6, 3, 0, colour(0x60, 0x60, 0x60))),  # frame pen
        record(37, struct.pack("<I", 1)),
        record(37, struct.pack("<I", 2)),
        record(43, rect(0, 0, WIDTH, HEIGHT)),  # RECTANGLE
        record(38, struct.pack("<IIiiI", 3, 0, 10, 0, colour(0xC8, 0x1E, 0x1E))),  # sign pen
        record(37, struct.pack("<I", 3)),
        record(37, struct.pack("<I", 0x80000005)),  # the stock hollow brush
        record(42, rect(33, 33, 127, 127)),  # ELLIPSE
        record(27, struct.pack("<2i", 47, 47)),  # MOVETOEX
        record(54, struct.pack("<2i", 113, 113)),  # LINETO
        font(4),
        record(37, struct.pack("<I", 4)),
        record(24, struct.pack("<I", colour(0x20, 0x20, 0x20))),  # SETTEXTCOLOR
        record(22, struct.pack("<I", 0)),  # SETTEXTALIGN top left
        text_out(160, (HEIGHT - FONT_HEIGHT) // 2, TEXT),
        record(37, struct.pack("<I", 0x80000000)),  # stock objects back in
        record(37, struct.pack("<I", 0x80000007)),
        record(37, struct.pack("<I", 0x8000000D)),
    ]
    body += [record(40, struct.pack("<I", handle)) for handle in (1, 2, 3, 4)]
    body.append(record(14, struct.pack("<III", 0, 16, 20)))  # EOF
    data = b"".join(body)

    frame = rect(0, 0, round(WIDTH * HIMETRIC_PER_PIXEL) - 1, round(HEIGHT * HIMETRIC_PER_PIXEL) - 1)
    device = struct.pack("<2i", 1920, 1080)
    millimetres = struct.pack("<2i", 508, 286)
    header_size = 108
    total = header_size + len(data)
    header = rect(0, 0, WIDTH - 1, HEIGHT - 1) + frame
    header += struct.pack("<IIIIHHIII", 0x464D4520, 0x10000, total, len(body) + 1, 5, 0, 0, 0, 0)
    header += device + millimetres + struct.pack("<III", 0, 0, 0) + struct.pack("<2i", 508000, 285750)
    out = record(1, header) + data
    assert len(out) == total
    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), "LzwNotice.emf")
    with open(path, "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main()
