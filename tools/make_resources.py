#!/usr/bin/env python3
"""Generates Snapdeck's embedded resources into resources/.

Pictures, icons, sounds, the UTF-16 texts, the resource script and its id header
are all written by this script from the drawings and sources below, using only
the Python standard library. Running it again reproduces every file byte for byte,
so the generated files are committed and the build never needs Python.

    python3 tools/make_resources.py            # (re)write resources/
    python3 tools/make_resources.py --check    # exit 1 when a file is out of date
"""

import io
import math
import os
import struct
import sys
import wave

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
OUT = os.path.join(ROOT, "resources")

# --------------------------------------------------------------------------
# Colours and the shared 16-colour palette of the 4-bpp pictures.


def hexrgb(s):
    return (int(s[1:3], 16), int(s[3:5], 16), int(s[5:7], 16))


BG = hexrgb("#222233")
DARK = hexrgb("#111122")
BG_LIGHT = hexrgb("#333344")
GREY = hexrgb("#555566")
GREY_LIGHT = hexrgb("#8888AA")
SILVER = hexrgb("#CCCCCC")
WHITE = hexrgb("#FFFFFF")
ORANGE = hexrgb("#FF8811")
AMBER = hexrgb("#FFAA33")
PALE = hexrgb("#FFFF99")
RED = hexrgb("#BB1122")
GREEN = hexrgb("#117722")
NAVY = hexrgb("#112255")
SKY = hexrgb("#AABBFF")
BLUE = hexrgb("#3355BB")
MAROON = hexrgb("#661122")

PALETTE16 = [BG, DARK, BG_LIGHT, GREY, GREY_LIGHT, SILVER, WHITE, ORANGE,
             AMBER, PALE, RED, GREEN, NAVY, SKY, BLUE, MAROON]

# --------------------------------------------------------------------------
# Shapes: predicates over a point in drawing units. A scene is a list of
# (shape, colour) painted in order; the last shape containing a point wins.


def rect(x0, y0, x1, y1):
    return lambda x, y: x0 <= x < x1 and y0 <= y < y1


def round_rect(x0, y0, x1, y1, r):
    def inside(x, y):
        if not (x0 <= x < x1 and y0 <= y < y1):
            return False
        cx = min(max(x, x0 + r), x1 - r)
        cy = min(max(y, y0 + r), y1 - r)
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r
    return inside


def circle(cx, cy, r):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def ring(cx, cy, r_in, r_out, a0=None, a1=None):
    """Annulus; with a0/a1 only the arc from a0 clockwise to a1 (degrees, 0 = east,
    90 = south, since y grows downwards)."""
    def inside(x, y):
        d2 = (x - cx) ** 2 + (y - cy) ** 2
        if d2 < r_in * r_in or d2 > r_out * r_out:
            return False
        if a0 is None:
            return True
        a = math.degrees(math.atan2(y - cy, x - cx)) % 360.0
        return (a - a0) % 360.0 <= (a1 - a0) % 360.0
    return inside


def polygon(points):
    def inside(x, y):
        hit = False
        n = len(points)
        for i in range(n):
            xa, ya = points[i]
            xb, yb = points[(i + 1) % n]
            if (ya > y) != (yb > y):
                xc = xa + (y - ya) * (xb - xa) / (yb - ya)
                if x < xc:
                    hit = not hit
        return hit
    return inside


def regular_polygon(cx, cy, r, n, start_deg):
    return polygon([(cx + r * math.cos(math.radians(start_deg + 360.0 * k / n)),
                     cy + r * math.sin(math.radians(start_deg + 360.0 * k / n)))
                    for k in range(n)])


def capsule(xa, ya, xb, yb, r):
    def inside(x, y):
        dx, dy = xb - xa, yb - ya
        t = ((x - xa) * dx + (y - ya) * dy) / (dx * dx + dy * dy)
        t = min(max(t, 0.0), 1.0)
        return (x - xa - t * dx) ** 2 + (y - ya - t * dy) ** 2 <= r * r
    return inside


def union(*shapes):
    return lambda x, y: any(s(x, y) for s in shapes)


def minus(a, b):
    return lambda x, y: a(x, y) and not b(x, y)


def bitmap_text(lines, x0, y0, scale=1.0):
    """Shape of a glyph grid ('1' = set), one grid cell per `scale` units."""
    cells = set()
    for j, row in enumerate(lines):
        for i, ch in enumerate(row):
            if ch == "1":
                cells.add((i, j))

    def inside(x, y):
        i = math.floor((x - x0) / scale)
        j = math.floor((y - y0) / scale)
        return (i, j) in cells
    return inside


# --------------------------------------------------------------------------
# Rendering. `unit` maps one output pixel to drawing units, so a scene drawn on
# a 48-unit grid renders at 16, 32 or 48 pixels. With ss = 1 each pixel takes
# the colour at its centre (crisp, palette-exact); with ss > 1 it averages an
# ss x ss grid of samples (anti-aliased, with coverage as alpha).


def render(scene, w, h, ss=1, unit=1.0, bg=None):
    rows = []
    n = ss * ss
    for py in range(h):
        row = []
        for px in range(w):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(ss):
                for sx in range(ss):
                    x = (px + (sx + 0.5) / ss) * unit
                    y = (py + (sy + 0.5) / ss) * unit
                    col = bg
                    for shape, c in reversed(scene):
                        if shape(x, y):
                            col = c
                            break
                    if col is not None:
                        acc[0] += col[0]
                        acc[1] += col[1]
                        acc[2] += col[2]
                        acc[3] += 1.0
            if acc[3] == 0:
                row.append((0, 0, 0, 0))
            else:
                row.append((int(acc[0] / acc[3] + 0.5), int(acc[1] / acc[3] + 0.5),
                            int(acc[2] / acc[3] + 0.5), int(255.0 * acc[3] / n + 0.5)))
        rows.append(row)
    return rows


def over(pixels, bg):
    """Composites RGBA pixels onto an opaque background colour."""
    out = []
    for row in pixels:
        r2 = []
        for (r, g, b, a) in row:
            r2.append((int((r * a + bg[0] * (255 - a)) / 255.0 + 0.5),
                       int((g * a + bg[1] * (255 - a)) / 255.0 + 0.5),
                       int((b * a + bg[2] * (255 - a)) / 255.0 + 0.5), 255))
        out.append(r2)
    return out


def rotate_cw(pixels):
    h = len(pixels)
    w = len(pixels[0])
    return [[pixels[h - 1 - x][y] for x in range(h)] for y in range(w)]


def to_indices(pixels, palette):
    index = {c: i for i, c in enumerate(palette)}
    out = []
    for row in pixels:
        r2 = []
        for (r, g, b, a) in row:
            if a != 255 or (r, g, b) not in index:
                raise ValueError("colour %r is not in the palette" % ((r, g, b, a),))
            r2.append(index[(r, g, b)])
        out.append(r2)
    return out


def used_palette(pixels):
    return sorted({(p[0], p[1], p[2]) for row in pixels for p in row})


# --------------------------------------------------------------------------
# File writers.


def bmp_file(info_header, palette, bits):
    head = struct.pack("<2sIHHI", b"BM", 14 + len(info_header) + len(palette) + len(bits), 0, 0,
                       14 + len(info_header) + len(palette))
    return head + info_header + palette + bits


def palette_bytes(palette):
    return b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in palette)


def packed_rows(indices, bpp):
    """Bottom-up rows of palette indices, each padded to 4 bytes."""
    out = bytearray()
    for row in reversed(indices):
        line = bytearray()
        if bpp == 8:
            line.extend(row)
        elif bpp == 4:
            for i in range(0, len(row), 2):
                hi = row[i]
                lo = row[i + 1] if i + 1 < len(row) else 0
                line.append((hi << 4) | lo)
        elif bpp == 1:
            for i in range(0, len(row), 8):
                byte = 0
                for k in range(8):
                    if i + k < len(row) and row[i + k]:
                        byte |= 0x80 >> k
                line.append(byte)
        while len(line) % 4:
            line.append(0)
        out.extend(line)
    return bytes(out)


def rle4_rows(indices):
    """BI_RLE4 stream: runs of up to two alternating colours in encoded mode,
    short irregular stretches in absolute mode, end-of-line after every row."""
    out = bytearray()
    for row in reversed(indices):
        n = len(row)
        literal = []

        def flush_literal():
            i = 0
            while i < len(literal):
                chunk = literal[i:i + 254]
                if len(chunk) >= 3:
                    out.extend((0, len(chunk)))
                    packed = bytearray()
                    for k in range(0, len(chunk), 2):
                        lo = chunk[k + 1] if k + 1 < len(chunk) else 0
                        packed.append((chunk[k] << 4) | lo)
                    if len(packed) % 2:
                        packed.append(0)
                    out.extend(packed)
                else:
                    for c in chunk:
                        out.extend((1, (c << 4) | c))
                i += len(chunk)
            literal.clear()

        x = 0
        while x < n:
            a = row[x]
            b = row[x + 1] if x + 1 < n else a
            run = 1
            while x + run < n and run < 255 and row[x + run] == (a if run % 2 == 0 else b):
                run += 1
            if run >= 4 or (a == b and run >= 2):
                flush_literal()
                out.extend((run, (a << 4) | b))
                x += run
            else:
                literal.append(a)
                x += 1
        flush_literal()
        out.extend((0, 0))
    out[-2:] = bytes((0, 1))  # the last end-of-line becomes end-of-bitmap
    return bytes(out)


def write_bmp_indexed(pixels, palette, bpp, rle=False):
    indices = to_indices(pixels, palette)
    h = len(indices)
    w = len(indices[0])
    bits = rle4_rows(indices) if rle else packed_rows(indices, bpp)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, bpp, 2 if rle else 0, len(bits), 2835, 2835,
                       len(palette), len(palette) if bpp == 4 else 0)
    return bmp_file(info, palette_bytes(palette), bits)


def and_mask(pixels):
    return packed_rows([[1 if p[3] < 128 else 0 for p in row] for row in pixels], 1)


def ico_image(pixels, bpp):
    """One icon image: BITMAPINFOHEADER with doubled height, colour table, XOR
    bitmap and AND mask, both bottom-up. Masked-out pixels are black in the XOR
    bitmap, so the screen shows through them unchanged."""
    h = len(pixels)
    w = len(pixels[0])
    if bpp in (4, 8):
        clear = (0, 0, 0, 255)
        opaque = [[(p[0], p[1], p[2], 255) if p[3] >= 128 else clear for p in row]
                  for row in pixels]
        palette = [clear[:3]] + [c for c in used_palette(opaque) if c != clear[:3]]
        if len(palette) > (1 << bpp):
            raise ValueError("too many colours for a %d-bit icon" % bpp)
        xor = packed_rows(to_indices(opaque, palette), bpp)
        table = palette_bytes(palette + [(0, 0, 0)] * ((1 << bpp) - len(palette)))
    elif bpp == 24:
        rows = bytearray()
        for row in reversed(pixels):
            line = bytearray()
            for (r, g, b, a) in row:
                line.extend((b, g, r) if a >= 128 else (0, 0, 0))
            while len(line) % 4:
                line.append(0)
            rows.extend(line)
        xor = bytes(rows)
        table = b""
    else:
        xor = b"".join(struct.pack("<BBBB", b, g, r, a) for row in reversed(pixels)
                       for (r, g, b, a) in row)
        table = b""
    mask = and_mask(pixels)
    info = struct.pack("<IiiHHIIiiII", 40, w, 2 * h, 1, bpp, 0, len(xor) + len(mask), 0, 0,
                       0, 0)
    return w, h, bpp, (1 << bpp) if bpp < 8 else 0, info + table + xor + mask


def write_ico(images):
    head = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries = b""
    blobs = b""
    for (w, h, bpp, colours, data) in images:
        entries += struct.pack("<BBBBHHII", w % 256, h % 256, colours % 256, 0, 1, bpp, len(data),
                               offset + len(blobs))
        blobs += data
    return head + entries + blobs


# --------------------------------------------------------------------------
# Drawings.


def emblem_backdrop(sky=True):
    """The round badge both emblems share; outside it the update window's disc
    colour, or nothing for the icons."""
    s = [(rect(0, 0, 48, 48), SKY)] if sky else []
    return s + [
        (circle(24, 24, 23.5), NAVY),
        (circle(24, 24, 22.2), ORANGE),
        (circle(24, 24, 20.6), BG),
    ]


def handheld(x0, y0, x1, y1, detail, key_cols=5, key_step=3):
    """A handheld seen from the front: screen on top, trackball, keyboard below."""
    w = x1 - x0
    s = []
    s.append((round_rect(x0, y0, x1, y1, 3), DARK))
    s.append((round_rect(x0 + 1, y0 + 1, x1 - 1, y1 - 1, 2.5), GREY_LIGHT))
    s.append((round_rect(x0 + 2, y0 + 1, x1 - 1, y1 - 1, 2.5), GREY))
    sx0, sy0, sx1 = x0 + 3, y0 + 3, x1 - 3
    sy1 = y0 + (y1 - y0) * 0.47
    s.append((rect(sx0, sy0, sx1, sy1), NAVY))
    if detail:
        # viewfinder corners and a record dot: the camera motif
        L = 3
        for (cx, cy, dx, dy) in ((sx0 + 1, sy0 + 1, 1, 1), (sx1 - 1, sy0 + 1, -1, 1),
                                 (sx0 + 1, sy1 - 1, 1, -1), (sx1 - 1, sy1 - 1, -1, -1)):
            xa, xb = sorted((cx, cx + dx * L))
            ya, yb = sorted((cy, cy + dy * L))
            s.append((rect(xa, min(cy, cy + dy), xb, max(cy, cy + dy)), PALE))
            s.append((rect(min(cx, cx + dx), ya, max(cx, cx + dx), yb), PALE))
        mx = (sx0 + sx1) / 2.0
        my = (sy0 + sy1) / 2.0
        s.append((ring(mx, my, 1.6, 3.0), SKY))
        s.append((circle(mx, my, 0.8), WHITE))
        s.append((rect(sx0 + 3, sy0 + 3, sx0 + 5, sy0 + 5), RED))
        tb_y = sy1 + 2
        s.append((rect(x0 + 3, tb_y, x0 + w / 2 - 2.5, tb_y + 2), BG_LIGHT))
        s.append((rect(x1 - w / 2 + 2.5, tb_y, x1 - 3, tb_y + 2), BG_LIGHT))
        s.append((round_rect(x0 + w / 2 - 2, tb_y - 0.5, x0 + w / 2 + 2, tb_y + 3, 1.2), AMBER))
        ky = tb_y + 5
        kw = (w - 6 - (key_cols - 1)) / key_cols
        while ky + 2 <= y1 - 2.5:
            for c in range(key_cols):
                kx = x0 + 3 + c * (kw + 1)
                s.append((rect(kx, ky, kx + kw, ky + 2), SILVER))
            ky += key_step
    else:
        mx = (x0 + x1) / 2.0
        s.append((round_rect(mx - 1.8, sy1 + 1.5, mx + 1.8, sy1 + 4.5, 1.2), AMBER))
        ky = sy1 + 6
        while ky + 1.5 <= y1 - 2.5:
            s.append((rect(x0 + 3, ky, x1 - 3, ky + 1.5), SILVER))
            ky += 3
    return s


def sparkle(cx, cy, arm, half):
    return polygon([(cx, cy - arm), (cx + half, cy - half), (cx + arm, cy), (cx + half, cy + half),
                    (cx, cy + arm), (cx - half, cy + half), (cx - arm, cy), (cx - half, cy - half)])


def emblem_scene(sky=True):
    """The program emblem on a 48-pixel grid: picture 0 and the largest icon."""
    s = emblem_backdrop(sky)
    s += handheld(14, 6, 34, 42, True)
    # the flash of a camera beside the device, drawn on whole pixels
    s.append((union(rect(37, 10, 38, 17), rect(34, 13, 41, 14), rect(36, 12, 39, 15)), PALE))
    return s


def medium_emblem_scene():
    """The emblem drawn for 32 pixels."""
    return [
        (circle(16, 16, 15.8), NAVY),
        (circle(16, 16, 14.8), ORANGE),
        (circle(16, 16, 13.6), BG),
        (round_rect(10, 4, 22, 28, 2), DARK),
        (round_rect(10.7, 4.7, 21.3, 27.3, 1.5), GREY_LIGHT),
        (round_rect(11.3, 4.7, 21.3, 27.3, 1.5), GREY),
        (rect(12, 6, 20, 15), NAVY),
        (union(rect(13, 7, 15, 8), rect(13, 7, 14, 9), rect(17, 7, 19, 8), rect(18, 7, 19, 9),
               rect(13, 13, 15, 14), rect(13, 12, 14, 14), rect(17, 13, 19, 14),
               rect(18, 12, 19, 14)), PALE),
        (ring(16, 10.5, 0.9, 1.8), SKY),
        (rect(12, 17, 14, 18), BG_LIGHT),
        (rect(18, 17, 20, 18), BG_LIGHT),
        (round_rect(14.5, 16, 17.5, 19, 1), AMBER),
        (union(*[rect(x, y, x + 2, y + 1) for x in (12, 15, 18) for y in (21, 23, 25)]), SILVER),
        (sparkle(25, 9, 2.6, 0.6), PALE),
    ]


def small_emblem_scene():
    """The emblem drawn for 16 pixels, where the badge holds a plain handheld."""
    return [
        (circle(8, 8, 8), NAVY),
        (circle(8, 8, 7.3), ORANGE),
        (circle(8, 8, 6.3), BG),
        (round_rect(5, 2, 11, 14, 1.2), DARK),
        (round_rect(5.5, 2.5, 10.5, 13.5, 0.8), GREY),
        (rect(6, 3, 10, 7), NAVY),
        (rect(6, 3, 7, 4), PALE),
        (rect(9, 6, 10, 7), PALE),
        (rect(7, 8, 9, 9), AMBER),
        (rect(6, 10, 10, 11), SILVER),
        (rect(6, 12, 10, 13), SILVER),
    ]


def update_emblem_scene():
    s = emblem_backdrop()
    # circular arrow: three quarters of a ring, the head at its clockwise end
    s.append((ring(24, 24, 13.5, 17.5, 290, 180), AMBER))
    s.append((ring(24, 24, 14.5, 16.5, 290, 180), ORANGE))
    s.append((polygon([(5.0, 24.5), (15.0, 24.5), (10, 16.5)]), AMBER))
    s.append((polygon([(7.0, 23.5), (13.0, 23.5), (10, 19)]), ORANGE))
    s += handheld(19, 14, 29, 34, False)
    return s


def question_scene():
    return [
        (rect(0, 0, 48, 48), WHITE),
        (circle(24, 24, 23), NAVY),
        (circle(24, 24, 21.5), BLUE),
        (ring(24, 24, 17.5, 19.5, 200, 260), SKY),
        (ring(24, 18.5, 4.2, 9, 165, 80), WHITE),
        (rect(21.8, 24, 26.2, 31), WHITE),
        (circle(24, 36.5, 2.9), WHITE),
    ]


def padlock_scene():
    return [
        (rect(0, 0, 48, 48), WHITE),
        (regular_polygon(24, 24, 24.5, 8, 22.5), MAROON),
        (regular_polygon(24, 24, 23.2, 8, 22.5), RED),
        (regular_polygon(24, 24, 21.2, 8, 22.5), WHITE),
        (regular_polygon(24, 24, 19.6, 8, 22.5), RED),
        (ring(24, 20.5, 4.2, 7.5, 180, 360), SILVER),
        (rect(16.5, 20.5, 19.8, 24), SILVER),
        (rect(28.2, 20.5, 31.5, 24), SILVER),
        (ring(24, 20.5, 6.3, 7.5, 200, 250), WHITE),
        (round_rect(13.5, 23, 34.5, 37, 2), MAROON),
        (round_rect(14.5, 24, 33.5, 36, 1.5), AMBER),
        (rect(15.5, 25, 32.5, 26), PALE),
        (circle(24, 29, 2.2), BG),
        (rect(23, 29, 25, 33.5), BG),
    ]


def warning_scene():
    outer = [(24, 2), (46.5, 43.5), (1.5, 43.5)]
    inner = [(24, 10.5), (39.5, 39.5), (8.5, 39.5)]
    return [
        (rect(0, 0, 48, 48), WHITE),
        (union(polygon(outer), capsule(24, 3.5, 45, 42.5, 1.5), capsule(45, 42.5, 3, 42.5, 1.5),
               capsule(3, 42.5, 24, 3.5, 1.5)), RED),
        (polygon(inner), PALE),
        (polygon([(21.6, 17), (26.4, 17), (25.3, 31), (22.7, 31)]), BG),
        (circle(24, 35.3, 2.3), BG),
    ]


def pin_on_scene():
    return [
        (rect(0, 0, 16, 16), BG),
        (circle(8.8, 9, 6.2), DARK),
        (circle(8, 8, 6), MAROON),
        (circle(8, 8, 5), RED),
        (circle(8, 8, 2.2), MAROON),
        (circle(8, 8, 1.2), GREY_LIGHT),
        (rect(5, 4, 7, 5), WHITE),
        (rect(4, 5, 5, 7), WHITE),
    ]


def pin_off_scene():
    return [
        (rect(0, 0, 16, 16), BG),
        (rect(1, 8, 6, 9), SILVER),
        (rect(0, 8, 1, 9), GREY_LIGHT),
        (rect(6, 4, 8, 13), SILVER),
        (rect(6, 4, 7, 13), WHITE),
        (rect(8, 6, 11, 11), RED),
        (rect(8, 6, 11, 7), ORANGE),
        (rect(11, 3, 14, 14), RED),
        (rect(14, 3, 15, 14), MAROON),
        (rect(11, 3, 15, 4), MAROON),
        (rect(11, 13, 15, 14), MAROON),
        (rect(12, 4, 13, 8), ORANGE),
    ]


def speaker_scene(muted):
    s = [
        (rect(0, 0, 16, 16), BG),
        (rect(1, 5, 5, 11), GREY_LIGHT),
        (rect(2, 6, 5, 10), SILVER),
        (polygon([(4, 5), (9, 1), (9, 15), (4, 11)]), GREY_LIGHT),
        (polygon([(5, 5.6), (8, 3.2), (8, 12.8), (5, 10.4)]), SILVER),
    ]
    if muted:
        s.append((capsule(10.5, 5.5, 14.5, 10.5, 0.9), RED))
        s.append((capsule(10.5, 10.5, 14.5, 5.5, 0.9), RED))
    else:
        s.append((ring(9, 8, 2.2, 3.3, 300, 60), AMBER))
        s.append((ring(9, 8, 4.6, 5.7, 305, 55), AMBER))
    return s


def to_tray_scene():
    return [
        (rect(0, 0, 16, 16), BG),
        (rect(1, 1, 11, 10), GREY_LIGHT),
        (rect(2, 2, 10, 4), BLUE),
        (rect(8, 2, 10, 3), SKY),
        (rect(2, 4, 10, 9), SILVER),
        (capsule(7, 6, 11, 10, 0.8), ORANGE),
        (polygon([(13.5, 12.5), (9, 12.5), (13.5, 8)]), ORANGE),
        (rect(0, 13, 16, 16), GREY),
        (rect(0, 13, 16, 14), GREY_LIGHT),
        (rect(12, 14, 14, 15), AMBER),
        (rect(9, 14, 11, 15), SKY),
    ]


def password_mark_scene():
    return [
        (rect(0, 0, 20, 20), BG),
        # open shackle: swung up and to the right, free of the body on one side
        (ring(11.5, 6.8, 2.3, 4.0, 180, 360), SILVER),
        (rect(7.5, 6.8, 9.2, 10), SILVER),
        (rect(13.8, 6.8, 15.5, 8), SILVER),
        (round_rect(2, 9, 13, 18, 1.5), MAROON),
        (round_rect(3, 10, 12, 17, 1), AMBER),
        (rect(3, 10, 12, 11), PALE),
        (circle(7.5, 13, 1.2), BG),
        (rect(7, 13, 8, 15.5), BG),
        # the key
        (ring(16, 12.5, 0.9, 2.3), PALE),
        (capsule(16, 14.5, 16, 19, 0.7), PALE),
        (rect(16.5, 16.5, 18, 17.3), PALE),
        (rect(16.5, 18, 17.8, 18.8), PALE),
    ]


def tray_scene(busy):
    s = [
        (round_rect(3, 0, 13, 16, 2), DARK),
        (round_rect(4, 1, 12, 15, 1.5), GREY),
        (rect(5, 2, 11, 7), NAVY if busy else SKY),
        (rect(7, 8, 9, 10), AMBER),
        (rect(5, 11, 11, 12), SILVER),
        (rect(5, 13, 11, 14), SILVER),
    ]
    if not busy:
        s.append((rect(6, 3, 8, 4), WHITE))
    if busy:
        s.append((circle(12, 4, 4), DARK))
        s.append((circle(12, 4, 3), RED))
        s.append((rect(10.5, 2.5, 12, 4), ORANGE))
    return s


DONATE_GLYPHS = {
    "D": ["11110.", "11.111", "11..11", "11..11", "11..11", "11..11", "11..11", "11.111",
          "11110."],
    "O": [".1111.", "11..11", "11..11", "11..11", "11..11", "11..11", "11..11", "11..11",
          ".1111."],
    "N": ["11...11", "111..11", "111..11", "1111.11", "11.1111", "11..111", "11..111",
          "11...11", "11...11"],
    "A": ["..11..", ".1111.", "11..11", "11..11", "11..11", "111111", "11..11", "11..11",
          "11..11"],
    "T": ["111111", "111111", "..11..", "..11..", "..11..", "..11..", "..11..", "..11..",
          "..11.."],
    "E": ["11111", "11...", "11...", "11...", "1111.", "11...", "11...", "11...", "11111"],
}


def donate_scene():
    word = "DONATE"
    gap = 2
    width = sum(len(DONATE_GLYPHS[c][0]) for c in word) + gap * (len(word) - 1)
    x = (62 - width) // 2
    y = 11
    letters = []
    for c in word:
        letters.append((x, DONATE_GLYPHS[c]))
        x += len(DONATE_GLYPHS[c][0]) + gap
    s = [(rect(0, 0, 62, 31), BG), (round_rect(0.5, 0.5, 61.5, 30.5, 8), DARK)]
    # vertical gradient body: pale yellow through amber to orange
    for row in range(2, 29):
        t = (row - 2) / 26.0
        if t < 0.5:
            a, b, u = PALE, AMBER, t / 0.5
        else:
            a, b, u = AMBER, ORANGE, (t - 0.5) / 0.5
        col = tuple(int(a[k] + (b[k] - a[k]) * u + 0.5) for k in range(3))
        s.append((minus(round_rect(1.5, 1.5, 60.5, 29.5, 7), minus(rect(0, 0, 62, 31),
                                                                   rect(0, row, 62, row + 1))),
                  col))
    s.append((rect(8, 3, 54, 4), WHITE))
    for (lx, glyph) in letters:
        s.append((bitmap_text(glyph, lx + 1, y + 1), PALE))
    for (lx, glyph) in letters:
        s.append((bitmap_text(glyph, lx, y), NAVY))
    return s


def flag_pixels(code):
    """50 x 11 flags with a one-pixel dark frame; inside 48 x 9."""
    W, H = 50, 11
    frame = hexrgb("#333344")
    px = [[frame + (255,) for _ in range(W)] for _ in range(H)]

    def fill(fn):
        for y in range(1, H - 1):
            for x in range(1, W - 1):
                c = fn(x - 1, y - 1)
                if c is not None:
                    px[y][x] = c + (255,)

    def aa(scene, bg):
        inner = over(render(scene, 48, 9, ss=4), bg)
        for y in range(9):
            for x in range(48):
                px[y + 1][x + 1] = inner[y][x]

    if code == "US":
        red, white, blue = hexrgb("#B22234"), WHITE, hexrgb("#3C3B6E")

        def us(x, y):
            if x < 20 and y < 5:
                return white if (x % 4 == 1 and y % 2 == 0) or (x % 4 == 3 and y % 2 == 1 and
                                                                 y < 4) else blue
            return red if y % 2 == 0 else white
        fill(us)
    elif code == "DE":
        fill(lambda x, y: hexrgb("#111111") if y < 3 else hexrgb("#DD0000") if y < 6 else
             hexrgb("#FFCE00"))
    elif code == "FR":
        fill(lambda x, y: hexrgb("#0055A4") if x < 16 else WHITE if x < 32 else hexrgb("#EF4135"))
    elif code == "IT":
        fill(lambda x, y: hexrgb("#009246") if x < 16 else WHITE if x < 32 else hexrgb("#CE2B37"))
    elif code == "TR":
        red = hexrgb("#E30A17")
        aa([(rect(0, 0, 48, 9), red),
            (circle(17, 4.5, 3.6), WHITE),
            (circle(18, 4.5, 2.9), red),
            (regular_polygon(22.6, 4.5, 1.9, 5, 180), WHITE),
            (polygon([(21.0, 4.5), (23.6, 3.2), (23.6, 5.8)]), WHITE)], red)
    elif code == "ES":
        red, yellow = hexrgb("#AA151B"), hexrgb("#F1BF00")

        def es(x, y):
            if y < 2 or y > 6:
                return red
            if 12 <= x <= 14 and 3 <= y <= 5:
                return red if (x + y) % 2 == 0 else hexrgb("#8C6D1F")
            return yellow
        fill(es)
    elif code == "JP":
        aa([(rect(0, 0, 48, 9), WHITE), (circle(24, 4.5, 3.4), hexrgb("#BC002D"))], WHITE)
    return px


# --------------------------------------------------------------------------
# Sounds: 8-bit unsigned mono PCM, all with short fades so they start and end
# at silence. Noise comes from a fixed linear congruential generator.


class Noise:
    def __init__(self, seed):
        self.state = seed & 0xFFFFFFFF

    def next(self):
        self.state = (self.state * 1664525 + 1013904223) & 0xFFFFFFFF
        return (self.state >> 8) / float(1 << 23) - 1.0


def frames_for(rate, seconds):
    return int(math.floor(rate * seconds + 0.5))


def bell(t, f, decay):
    return (math.sin(2 * math.pi * f * t) + 0.35 * math.sin(2 * math.pi * 2.01 * f * t) +
            0.12 * math.sin(2 * math.pi * 3.02 * f * t)) * math.exp(-t * decay) / 1.47


def note_sequence(rate, n, notes):
    """notes: (start seconds, frequency, decay per second, gain)."""
    out = [0.0] * n
    for (start, f, decay, gain) in notes:
        s0 = int(start * rate)
        for i in range(s0, n):
            t = (i - s0) / rate
            out[i] += gain * bell(t, f, decay)
    return out


def sound_samples(number):
    if number == 0:  # two-note chime: attention
        rate, n = 8000, frames_for(8000, 0.50)
        return rate, note_sequence(rate, n, [(0.0, 659.3, 7.0, 0.7), (0.14, 880.0, 6.0, 0.7)])
    if number == 1:  # rising triad: information
        rate, n = 11025, frames_for(11025, 0.82)
        return rate, note_sequence(rate, n, [(0.0, 523.3, 5.0, 0.5), (0.16, 659.3, 5.0, 0.5),
                                             (0.32, 784.0, 4.0, 0.55)])
    if number == 2:  # question: low then high
        rate, n = 11025, frames_for(11025, 0.55)
        return rate, note_sequence(rate, n, [(0.0, 587.3, 8.0, 0.6), (0.18, 784.0, 6.5, 0.65)])
    if number == 3:  # password prompt: two soft high blips
        rate, n = 22050, frames_for(22050, 0.32)
        out = [0.0] * n
        for (start, f) in ((0.0, 1318.5), (0.13, 1760.0)):
            s0 = int(start * rate)
            for i in range(s0, min(n, s0 + int(0.12 * rate))):
                t = (i - s0) / rate
                out[i] += 0.6 * math.sin(2 * math.pi * f * t) * math.exp(-t * 30.0)
        return rate, out
    if number == 4:  # shutter: two clicks with filtered noise and a short whir between
        rate, n = 11175, frames_for(11175, 0.59)
        noise = Noise(4)
        out = [0.0] * n
        low = 0.0
        for i in range(n):
            t = i / rate
            v = noise.next()
            low += 0.35 * (v - low)
            s = 0.0
            for (start, gain) in ((0.02, 0.7), (0.30, 0.55)):
                if t >= start:
                    u = t - start
                    s += gain * (0.7 * v + 0.3 * low) * math.exp(-u * 45.0)
                    s += gain * 0.5 * math.sin(2 * math.pi * 180.0 * u) * math.exp(-u * 60.0)
            if 0.06 <= t < 0.30:
                u = t - 0.06
                s += 0.12 * low * math.sin(math.pi * u / 0.24) * \
                    (1.0 + 0.5 * math.sin(2 * math.pi * 90.0 * t))
            out[i] = s
        return rate, out
    if number == 5:  # error buzz: low, rough, slightly wavering
        rate, n = 8000, frames_for(8000, 0.50)
        out = [0.0] * n
        for i in range(n):
            t = i / rate
            f = 110.0
            s = sum(math.sin(2 * math.pi * f * k * t) / k for k in (1, 2, 3, 4, 5, 6, 7))
            env = min(1.0, t / 0.015, (n - 1 - i) / rate / 0.08)
            out[i] = 0.42 * s * env * (0.75 + 0.25 * math.sin(2 * math.pi * 12.0 * t))
        return rate, out
    if number == 6:  # tick: copied
        rate, n = 11025, frames_for(11025, 0.10)
        noise = Noise(6)
        out = [0.0] * n
        for i in range(n):
            t = i / rate
            out[i] = (0.7 * math.sin(2 * math.pi * 2000.0 * t) + 0.25 * noise.next()) * \
                math.exp(-t * 60.0)
        return rate, out
    if number == 7:  # lower tick: deleted
        rate, n = 11127, frames_for(11127, 0.08)
        noise = Noise(7)
        out = [0.0] * n
        for i in range(n):
            t = i / rate
            out[i] = (0.7 * math.sin(2 * math.pi * 750.0 * t) + 0.3 * noise.next()) * \
                math.exp(-t * 55.0)
        return rate, out
    raise ValueError(number)


def wav_bytes(number):
    rate, samples = sound_samples(number)
    n = len(samples)
    fade = max(1, int(rate * 0.006))
    data = bytearray()
    for i, v in enumerate(samples):
        g = 1.0
        if i < fade:
            g = i / fade
        elif i >= n - fade:
            g = (n - 1 - i) / fade
        v = max(-1.0, min(1.0, v * g))
        data.append(max(1, min(255, 128 + int(math.floor(127.0 * v + 0.5)))))
    buf = io.BytesIO()
    with wave.open(buf, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(1)
        w.setframerate(rate)
        w.writeframes(bytes(data))
    return buf.getvalue()


# --------------------------------------------------------------------------
# Texts.

# Help-language rows in their definition order: (code, source file).
HELP_LANGUAGES = [("US", "help_en.txt"), ("DE", "help_de.txt"), ("FR", "help_fr.txt"),
                  ("IT", "help_it.txt"), ("TR", "help_tr.txt"), ("ES", "help_es.txt"),
                  ("JP", "help_ja.txt")]


def utf16_text(source_path):
    with open(source_path, "rb") as f:
        raw = f.read()
    if raw.startswith(b"\xef\xbb\xbf"):
        raw = raw[3:]
    text = raw.decode("utf-8").replace("\r\n", "\n").replace("\n", "\r\n")
    return b"\xff\xfe" + text.encode("utf-16-le")


# --------------------------------------------------------------------------
# Resource script and id header.

HEADER = """\
/* Resource numbers of Snapdeck's embedded files. Plain C preprocessor only, so
   both the resource script and C++ include it. Generated by
   tools/make_resources.py; edit the script, not this file. */
#ifndef SNAPDECK_RESOURCE_IDS_H
#define SNAPDECK_RESOURCE_IDS_H

/* ICON 1: the program icon (16, 32 and 48 pixels); the first icon of the exe. */
#define SNAPDECK_RC_PROGRAM_ICON 1
/* Resource 1 of type 24 (RT_MANIFEST). */
#define SNAPDECK_RC_MANIFEST 1

/* Picture n: RCDATA 1000 + n when stored as a BMP file, ICON 1000 + n when an ICO.
   Picture 21 is the same file as picture 20. */
#define SNAPDECK_RC_PICTURE_BASE 1000
/* The update emblem in four quarter-turn orientations, RCDATA 1100..1103:
   "Check" default, "Update" default, "Cancel" default, no button enabled. */
#define SNAPDECK_RC_EMBLEM_BASE 1100
#define SNAPDECK_RC_EMBLEM_COUNT 4
/* Sound n: RCDATA 2000 + n, a RIFF/WAVE file. */
#define SNAPDECK_RC_SOUND_BASE 2000
#define SNAPDECK_RC_SOUND_COUNT 8
/* Help text of language-table row r (definition order US DE FR IT TR ES JP):
   RCDATA 3000 + r, UTF-16LE with a byte-order mark; absent when not written yet. */
#define SNAPDECK_RC_HELP_BASE 3000
#define SNAPDECK_RC_HELP_COUNT 7
/* The information and history text, UTF-16LE with a byte-order mark. */
#define SNAPDECK_RC_INFO 3100

#endif
"""

VERSION_BLOCK = """\
1 VERSIONINFO
FILEVERSION SNAPDECK_VERSION_NUMBERS
PRODUCTVERSION SNAPDECK_VERSION_NUMBERS
FILEFLAGSMASK 0x3fL
FILEFLAGS 0x0L
FILEOS 0x40004L
FILETYPE 0x1L
FILESUBTYPE 0x0L
BEGIN
  BLOCK "StringFileInfo"
  BEGIN
    BLOCK "040904b0"
    BEGIN
      VALUE "CompanyName", "Snapdeck developers"
      VALUE "FileDescription", "Snapdeck - handheld screenshots"
      VALUE "FileVersion", SNAPDECK_VERSION_FULL_TEXT
      VALUE "InternalName", "Snapdeck"
      VALUE "LegalCopyright", "Copyright (C) 2008-2025 Snapdeck developers"
      VALUE "OriginalFilename", "Snapdeck.exe"
      VALUE "ProductName", "Snapdeck"
      VALUE "ProductVersion", SNAPDECK_VERSION_FULL_TEXT
    END
  END
  BLOCK "VarFileInfo"
  BEGIN
    VALUE "Translation", 0x409, 1200
  END
END
"""


def resource_script(bmp_pictures, ico_pictures, help_rows):
    lines = [
        "// Snapdeck's embedded files. Generated by tools/make_resources.py; edit the",
        "// script, not this file.",
        '#include "resource_ids.h"',
        "// Written by CMake from the project version.",
        '#include "program_version.h"',
        "",
        "LANGUAGE 0x09, 0x01",
        "",
        "SNAPDECK_RC_PROGRAM_ICON ICON \"snapdeck.ico\"",
        "SNAPDECK_RC_MANIFEST 24 \"snapdeck.manifest\"",
        "",
        "// Pictures stored as BMP files",
    ]
    for n in bmp_pictures:
        lines.append("(SNAPDECK_RC_PICTURE_BASE + %d) RCDATA \"picture%02d.bmp\"" % (n, n))
    lines.append("")
    lines.append("// Pictures stored as ICO files")
    for n in ico_pictures:
        lines.append("(SNAPDECK_RC_PICTURE_BASE + %d) ICON \"picture%02d.ico\"" % (n, n))
    lines.append("")
    lines.append("// Update emblem, a quarter turn clockwise per step")
    for k in range(4):
        lines.append("(SNAPDECK_RC_EMBLEM_BASE + %d) RCDATA \"emblem%d.bmp\"" % (k, k))
    lines.append("")
    lines.append("// Sounds")
    for n in range(8):
        lines.append("(SNAPDECK_RC_SOUND_BASE + %d) RCDATA \"sound%d.wav\"" % (n, n))
    lines.append("")
    lines.append("// Help texts by language-table row, and the information text")
    for row, code in help_rows:
        lines.append("(SNAPDECK_RC_HELP_BASE + %d) RCDATA \"help_%s.utf16\"" % (row, code))
    lines.append("SNAPDECK_RC_INFO RCDATA \"info.utf16\"")
    lines.append("")
    return "\n".join(lines) + "\n" + VERSION_BLOCK


# --------------------------------------------------------------------------


def palette_bmp(scene, w, h, bpp=4, rle=False):
    return write_bmp_indexed(render(scene, w, h), PALETTE16, bpp, rle)


def build():
    files = {}
    emblem = render(emblem_scene(), 48, 48)
    files["picture00.bmp"] = write_bmp_indexed(emblem, PALETTE16, 4)

    upd = render(update_emblem_scene(), 48, 48)
    for k in range(4):
        files["emblem%d.bmp" % k] = write_bmp_indexed(upd, PALETTE16, 4)
        upd = rotate_cw(upd)

    files["picture16.bmp"] = palette_bmp(padlock_scene(), 48, 48)
    files["picture17.bmp"] = palette_bmp(warning_scene(), 48, 48)
    files["picture20.bmp"] = palette_bmp(question_scene(), 48, 48)
    files["picture27.bmp"] = palette_bmp(pin_on_scene(), 16, 16, rle=True)
    files["picture28.bmp"] = palette_bmp(pin_off_scene(), 16, 16, rle=True)
    files["picture29.bmp"] = palette_bmp(speaker_scene(False), 16, 16)
    files["picture30.bmp"] = palette_bmp(speaker_scene(True), 16, 16)
    files["picture31.bmp"] = palette_bmp(to_tray_scene(), 16, 16)
    files["picture32.bmp"] = palette_bmp(password_mark_scene(), 20, 20)

    donate = render(donate_scene(), 62, 31)
    files["picture05.bmp"] = write_bmp_indexed(donate, used_palette(donate), 8)

    small = render(small_emblem_scene(), 16, 16, ss=4)
    files["picture04.ico"] = write_ico([ico_image(small, 24)])

    for k, code in enumerate(["US", "DE", "FR", "IT", "TR", "ES", "JP"]):
        files["picture%02d.ico" % (6 + k)] = write_ico([ico_image(flag_pixels(code), 24)])

    for n, busy in ((34, False), (35, True)):
        crisp = render(tray_scene(busy), 16, 16)
        smooth = render(tray_scene(busy), 16, 16, ss=4)
        files["picture%02d.ico" % n] = write_ico([ico_image(crisp, 4), ico_image(crisp, 8),
                                                  ico_image(smooth, 32)])

    files["snapdeck.ico"] = write_ico([
        ico_image(small, 32),
        ico_image(render(medium_emblem_scene(), 32, 32, ss=4), 32),
        ico_image(render(emblem_scene(sky=False), 48, 48, ss=4), 32)])

    for n in range(8):
        files["sound%d.wav" % n] = wav_bytes(n)

    help_rows = []
    for row, (code, source) in enumerate(HELP_LANGUAGES):
        path = os.path.join(OUT, source)
        if os.path.exists(path):
            files["help_%s.utf16" % code] = utf16_text(path)
            help_rows.append((row, code))
    files["info.utf16"] = utf16_text(os.path.join(OUT, "info_en.txt"))

    files["resource_ids.h"] = HEADER.encode("ascii")
    files["snapdeck.rc"] = resource_script(
        [0, 5, 16, 17, 20, 27, 28, 29, 30, 31, 32], [4, 6, 7, 8, 9, 10, 11, 12, 34, 35],
        help_rows).encode("ascii")
    return files


def main(argv):
    check = "--check" in argv
    files = build()
    stale = []
    for name in sorted(files):
        path = os.path.join(OUT, name)
        old = None
        if os.path.exists(path):
            with open(path, "rb") as f:
                old = f.read()
        if old == files[name]:
            continue
        stale.append(name)
        if not check:
            with open(path, "wb") as f:
                f.write(files[name])
    if check:
        for name in stale:
            print("out of date: resources/" + name)
        return 1 if stale else 0
    print("wrote %d of %d files" % (len(stale), len(files)))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
