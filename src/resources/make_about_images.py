#!/usr/bin/python3
"""Draws the About window's picture, its outline mask and the program icon.

Writes, next to this script:
  about.jpg       640 x 299, baseline JPEG, three components (via ImageMagick)
  about-mask.png  640 x 299, two colours: white is cut away, black is the window
  vaultwick.png   32 x 32 RGBA program icon
  hicolor/vaultwick-N.png  the same icon at the other sizes of the desktop's
                  icon theme (16, 22, 24, 48, 64, 128, 256), drawn, not scaled

Only the standard library is used; ImageMagick's `convert` turns the drawn
PPM into the JPEG. The outputs are committed, so a build never runs this.
"""

import math
import os
import struct
import subprocess
import sys
import tempfile
import zlib

W, H = 640, 299
HERE = os.path.dirname(os.path.abspath(__file__))

# The sloping right-hand outline: x = 233 in the top row, the right edge at
# row CURVE_END; below that the window is full width.
CURVE_START_X = 233
CURVE_END = 280
CURVE_POWER = 1.6
CORNER = 10


def outline_x(y):
    if y >= CURVE_END:
        return float(W)
    return CURVE_START_X + (W - CURVE_START_X) * (y / CURVE_END) ** CURVE_POWER


def in_corner(x, y):
    """True where a rounded corner cuts the rectangle."""
    for cx, cy, left, top in ((CORNER, CORNER, True, True),
                              (CORNER, H - CORNER, True, False),
                              (W - CORNER, H - CORNER, False, False)):
        if (x < cx if left else x >= cx) and (y < cy if top else y >= cy):
            if (x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2 > CORNER * CORNER:
                return True
    return False


def inside(x, y):
    return x < outline_x(y + 0.5) and not in_corner(x, y)


def lerp(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def background(x, y):
    top, bottom = (246, 248, 253), (203, 214, 236)
    c = lerp(top, bottom, y / (H - 1))
    # a soft light band across the picture
    band = math.exp(-((x * 0.35 + y - 150) / 60.0) ** 2) * 10
    return tuple(min(255.0, v + band) for v in c)


def edge_shade(x, y, c):
    """Darkens towards the sloping outline so the shape reads as a panel."""
    d = outline_x(y + 0.5) - x
    if d < 0:
        return c
    if d < 2.0:
        return (38, 58, 128)
    if d < 16.0:
        t = (16.0 - d) / 14.0
        return lerp(c, (120, 144, 204), t * t * 0.8)
    return c


def rule(x, y, c):
    """Two thin lines that set the title and the details apart."""
    for ry, x1 in ((37, 228), (127, 318)):
        if ry <= y <= ry + 1 and 7 <= x <= x1:
            fade = 1.0 - (x - 7) / (x1 - 7)
            return lerp(c, (14, 44, 188), 0.55 * fade)
    return c


# Three stacked discs of a database with a small flame on top (the wick).
DB_CX, DB_RX, DB_RY = 470.0, 38.0, 9.0
DB_TOP, DB_DISC = 226.0, 18.0


def database_sample(px, py):
    """Colour of the drawing at a sub-pixel position, or None."""
    dx = (px - DB_CX) / DB_RX
    # flame
    fy0, fy1 = DB_TOP - 30.0, DB_TOP - 4.0
    if fy0 <= py <= fy1:
        t = (py - fy0) / (fy1 - fy0)          # 0 at the tip, 1 at the base
        half = 8.0 * math.sin(math.pi * min(1.0, t * 0.85 + 0.08)) * (0.35 + 0.65 * t)
        if abs(px - DB_CX) <= half:
            inner = abs(px - DB_CX) / max(half, 0.1)
            return lerp((255, 236, 140), (232, 108, 30), min(1.0, inner * 0.7 + (1 - t) * 0.5))
    if abs(dx) > 1.0:
        return None
    ey = DB_RY * math.sqrt(max(0.0, 1.0 - dx * dx))
    shade = 0.55 + 0.45 * math.cos(dx * math.pi / 2 - 0.5)
    body = (44 * shade + 20, 74 * shade + 26, 170 * shade + 30)
    for i in range(3):
        top = DB_TOP + i * (DB_DISC + 3)
        bottom = top + DB_DISC
        if abs(py - top) <= ey and i == 0:
            return lerp((150, 176, 232), (214, 226, 250), 0.5 + 0.5 * dx * 0.0 + (py - top) / (2 * ey + 0.01))
        if top <= py <= bottom + ey:
            if py > bottom and py - bottom > ey:
                continue
            if i > 0 and py < top + ey and py < top:
                continue
            if bottom + ey - py < 1.6:
                return (30, 48, 120)
            return body
    return None


def picture_pixel(x, y):
    if not inside(x, y):
        return (255, 255, 255)
    c = background(x, y)
    c = rule(x, y, c)
    if 420 <= x <= 520 and 190 <= y <= 298:
        acc = [0.0, 0.0, 0.0]
        hits = 0
        for sy in (0.17, 0.5, 0.83):
            for sx in (0.17, 0.5, 0.83):
                s = database_sample(x + sx, y + sy)
                if s is not None:
                    hits += 1
                else:
                    s = c
                acc = [acc[i] + s[i] for i in range(3)]
        if hits:
            c = tuple(v / 9.0 for v in acc)
    c = edge_shade(x, y, c)
    return tuple(int(round(max(0, min(255, v)))) for v in c)


def png_bytes(width, height, rows, colour_type, bit_depth=8):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)
    raw = b"".join(b"\0" + r for r in rows)
    return (b"\x89PNG\r\n\x1a\n"
            + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, bit_depth, colour_type, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 9))
            + chunk(b"IEND", b""))


def write_mask(path):
    rows = []
    for y in range(H):
        bits = bytearray((W + 7) // 8)
        for x in range(W):
            if not inside(x, y):          # 1 = white = key colour
                bits[x // 8] |= 0x80 >> (x % 8)
        rows.append(bytes(bits))
    with open(path, "wb") as f:
        f.write(png_bytes(W, H, rows, colour_type=0, bit_depth=1))


def write_picture(path):
    ppm = bytearray(b"P6\n%d %d\n255\n" % (W, H))
    for y in range(H):
        for x in range(W):
            ppm += bytes(picture_pixel(x, y))
    with tempfile.TemporaryDirectory() as tmp:
        src = os.path.join(tmp, "about.ppm")
        with open(src, "wb") as f:
            f.write(ppm)
        subprocess.run(["convert", src, "-strip", "-interlace", "none", "-colorspace", "sRGB",
                        "-type", "TrueColor", "-sampling-factor", "2x2,1x1,1x1",
                        "-quality", "92", "jpeg:" + path], check=True)


def write_icon(path, size=32):
    s = size / 32.0
    rows = []
    for y in range(size):
        row = bytearray()
        for x in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in (0.25, 0.75):
                for sx in (0.25, 0.75):
                    px, py = (x + sx) / s, (y + sy) / s
                    c = icon_sample(px, py)
                    if c is not None:
                        acc = [acc[0] + c[0], acc[1] + c[1], acc[2] + c[2], acc[3] + 255]
            n = acc[3] / 255.0
            if n:
                row += bytes((int(acc[0] / n), int(acc[1] / n), int(acc[2] / n), int(acc[3] / 4)))
            else:
                row += b"\0\0\0\0"
        rows.append(bytes(row))
    with open(path, "wb") as f:
        f.write(png_bytes(size, size, rows, colour_type=6))


# The 32-pixel icon is vaultwick.png itself.
THEME_ICON_SIZES = (16, 22, 24, 48, 64, 128, 256)


def icon_sample(px, py):
    cx, rx, ry = 16.0, 11.0, 3.5
    dx = (px - cx) / rx
    # flame
    if 1.0 <= py <= 9.0:
        t = (py - 1.0) / 8.0
        half = 3.2 * math.sin(math.pi * min(1.0, t * 0.85 + 0.08)) * (0.35 + 0.65 * t)
        if abs(px - cx) <= half:
            return lerp((255, 230, 120), (230, 100, 30), abs(px - cx) / max(half, 0.1))
    if abs(dx) > 1.0:
        return None
    ey = ry * math.sqrt(max(0.0, 1.0 - dx * dx))
    top, bottom = 12.0, 27.0
    if abs(py - top) <= ey:
        return (176, 198, 240)
    if top <= py <= bottom + ey:
        if abs(py - (top + 7.5 + ey)) < 0.7:
            return (24, 40, 110)
        shade = 0.55 + 0.45 * math.cos(dx * math.pi / 2 - 0.5)
        return (44 * shade + 20, 74 * shade + 26, 170 * shade + 30)
    return None


def main():
    write_mask(os.path.join(HERE, "about-mask.png"))
    write_picture(os.path.join(HERE, "about.jpg"))
    write_icon(os.path.join(HERE, "vaultwick.png"))
    os.makedirs(os.path.join(HERE, "hicolor"), exist_ok=True)
    for size in THEME_ICON_SIZES:
        write_icon(os.path.join(HERE, "hicolor", "vaultwick-%d.png" % size), size)
    return 0


if __name__ == "__main__":
    sys.exit(main())
