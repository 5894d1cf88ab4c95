#!/usr/bin/env python3
"""Draw Trelvo's artwork from scratch.

Writes, relative to the repository root:

  resources/trelvo.ico   the launcher's own icon (16, 24, 32, 48 and 64 px,
                         each at 32-bit with alpha and at 24-bit with a mask)
  examples/demo.ico      the demo product's icon (16, 32 and 48 px, 32-bit)
  examples/splash.bmp    the demo product's splash picture (481 x 297, 24-bit)

Everything is computed here: shapes are sampled on a sub-pixel grid, the
lettering uses the small bitmap font below, and "random" stars come from a
fixed linear congruential generator, so every run writes the same bytes.

  python3 tools/make-art.py            write the files
  python3 tools/make-art.py --check    verify the files on disk: structure,
                                       and that they match what this script
                                       draws now
"""

import math
import os
import struct
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

LAUNCHER_ICON = "resources/trelvo.ico"
DEMO_ICON = "examples/demo.ico"
SPLASH = "examples/splash.bmp"

LAUNCHER_SIZES = (16, 24, 32, 48, 64)
DEMO_SIZES = (16, 32, 48)
SPLASH_W, SPLASH_H = 481, 297

SUB = 8  # sub-samples per pixel along each axis (64 per pixel)


# ---------------------------------------------------------------------------
# Small helpers
# ---------------------------------------------------------------------------

def clamp01(v):
    return 0.0 if v < 0.0 else 1.0 if v > 1.0 else v


def mix(a, b, t):
    """Linear blend of two colours (tuples of floats in 0..1)."""
    return tuple(x + (y - x) * t for x, y in zip(a, b))


def hex_colour(text):
    text = text.lstrip("#")
    return tuple(int(text[i:i + 2], 16) / 255.0 for i in (0, 2, 4))


def to_byte(v):
    return int(round(clamp01(v) * 255.0))


def rounded_rect_inside(x, y, x0, y0, x1, y1, r):
    """True if (x, y) lies inside the rectangle with corners rounded by r."""
    if x < x0 or x > x1 or y < y0 or y > y1:
        return False
    cx = x0 + r if x < x0 + r else x1 - r if x > x1 - r else x
    cy = y0 + r if y < y0 + r else y1 - r if y > y1 - r else y
    dx, dy = x - cx, y - cy
    return dx * dx + dy * dy <= r * r


def coverage(px, py, inside):
    """Fraction of pixel (px, py) covered by the shape `inside(x, y)`."""
    hits = 0
    step = 1.0 / SUB
    for j in range(SUB):
        y = py + (j + 0.5) * step
        for i in range(SUB):
            if inside(px + (i + 0.5) * step, y):
                hits += 1
    return hits / float(SUB * SUB)


class Rng:
    """Tiny fixed LCG so the pictures never depend on the Python version."""

    def __init__(self, seed):
        self.state = seed & 0xFFFFFFFF

    def next(self):
        self.state = (self.state * 1664525 + 1013904223) & 0xFFFFFFFF
        return self.state / 4294967296.0


# ---------------------------------------------------------------------------
# The launcher's icon: a violet rounded square with a bold white "T"
# ---------------------------------------------------------------------------

LAUNCHER_TOP = hex_colour("#8A6CFF")     # top-left of the tile
LAUNCHER_BOTTOM = hex_colour("#2E1A8C")  # bottom-right of the tile
LAUNCHER_RIM = hex_colour("#1E1060")
LAUNCHER_SHADOW = hex_colour("#180C50")
WHITE = (1.0, 1.0, 1.0)


def launcher_geometry(s):
    """Pixel-aligned outline of tile and glyph for one icon size."""
    margin = {16: 1, 24: 1, 32: 2, 48: 3, 64: 4}[s]
    radius = {16: 3.0, 24: 4.5, 32: 6.0, 48: 9.0, 64: 12.0}[s]
    bar_left = round(s * 0.22)
    bar_top = round(s * 0.25)
    bar_h = max(3, round(s * 0.19))
    stem_w = max(4, round(s * 0.125) * 2)
    stem_left = (s - stem_w) // 2
    bottom = s - bar_top
    return {
        "tile": (margin, margin, s - margin, s - margin, radius),
        "bar": (bar_left, bar_top, s - bar_left, bar_top + bar_h),
        "stem": (stem_left, bar_top, stem_left + stem_w, bottom),
        "corner": 0.0 if s < 32 else s / 64.0,
        "shadow": 0.0 if s < 24 else max(1.0, s / 32.0),
        "rim": 0.0 if s < 32 else 1.0,
    }


def launcher_pixels(s):
    """Rows of (r, g, b, alpha, solid) for a size; solid is the 24-bit mask."""
    g = launcher_geometry(s)
    x0, y0, x1, y1, rad = g["tile"]
    bx0, by0, bx1, by1 = g["bar"]
    sx0, sy0, sx1, sy1 = g["stem"]
    cr = g["corner"]
    sh = g["shadow"]
    rim = g["rim"]

    def tile(x, y):
        return rounded_rect_inside(x, y, x0, y0, x1, y1, rad)

    def inner(x, y):
        return rounded_rect_inside(x, y, x0 + rim, y0 + rim, x1 - rim,
                                   y1 - rim, max(0.5, rad - rim))

    def glyph(x, y):
        return (rounded_rect_inside(x, y, bx0, by0, bx1, by1, cr) or
                rounded_rect_inside(x, y, sx0, sy0, sx1, sy1, cr))

    def shadow(x, y):
        return glyph(x - sh * 0.5, y - sh)

    rows = []
    span = float(x1 - x0 + y1 - y0)
    for py in range(s):
        row = []
        for px in range(s):
            a = coverage(px, py, tile)
            if a == 0.0:
                row.append((0.0, 0.0, 0.0, 0.0, False))
                continue
            # Diagonal gradient, light at the top left.
            t = ((px + 0.5 - x0) + (py + 0.5 - y0)) / span
            c = mix(LAUNCHER_TOP, LAUNCHER_BOTTOM, clamp01(t))
            # A soft sheen over the upper half.
            sheen = clamp01(1.0 - (py + 0.5 - y0) / ((y1 - y0) * 0.55))
            c = mix(c, WHITE, 0.10 * sheen * sheen)
            if rim:
                c = mix(c, LAUNCHER_RIM, 0.55 * (1.0 - coverage(px, py, inner)))
            if sh:
                c = mix(c, LAUNCHER_SHADOW, 0.45 * coverage(px, py, shadow))
            c = mix(c, WHITE, coverage(px, py, glyph))
            row.append((c[0], c[1], c[2], a, a >= 0.5))
        rows.append(row)
    return rows


# ---------------------------------------------------------------------------
# The demo product's icon: an orange box tied with teal tape
# ---------------------------------------------------------------------------

BOX_TOP = hex_colour("#FFB45E")
BOX_LEFT = hex_colour("#F08A24")
BOX_RIGHT = hex_colour("#C2601A")
TAPE_TOP = hex_colour("#3ED6C8")
TAPE_LEFT = hex_colour("#22B2A6")
TAPE_RIGHT = hex_colour("#16877F")
BOX_EDGE = hex_colour("#7A3A0E")


def parallelogram(origin, u_end, v_end):
    """Return a function mapping (x, y) to face coordinates (u, v)."""
    ox, oy = origin
    ux, uy = u_end[0] - ox, u_end[1] - oy
    vx, vy = v_end[0] - ox, v_end[1] - oy
    det = ux * vy - uy * vx

    def uv(x, y):
        dx, dy = x - ox, y - oy
        return ((dx * vy - dy * vx) / det, (ux * dy - uy * dx) / det)
    return uv


def demo_pixels(s):
    # Corners of the box seen from above, in pixels.
    m = s * 0.06
    top = (s * 0.5, m)
    upper_right = (s - m, s * 0.29)
    upper_left = (m, s * 0.29)
    centre = (s * 0.5, s * 0.52)
    bottom = (s * 0.5, s - m)
    lower_right = (s - m, s - s * 0.29 + m * 0.5)
    lower_left = (m, s - s * 0.29 + m * 0.5)
    # Top face: u runs top -> upper right, v runs top -> upper left.
    top_face = parallelogram(top, upper_right, upper_left)
    # Left face: u runs upper left -> centre, v runs upper left -> lower left.
    left_face = parallelogram(upper_left, centre, lower_left)
    # Right face: u runs centre -> upper right, v runs centre -> bottom.
    right_face = parallelogram(centre, upper_right, bottom)
    tape = 0.13
    edge = max(0.6, s / 40.0)  # darker outline width, in pixels
    size_u = math.hypot(upper_right[0] - top[0], upper_right[1] - top[1])
    e = edge / size_u

    def sample(x, y):
        """Colour at a point, or None outside the box."""
        u, v = top_face(x, y)
        if 0.0 <= u <= 1.0 and 0.0 <= v <= 1.0:
            c = TAPE_TOP if abs(v - 0.5) < tape else BOX_TOP
            if u < e or v < e or u > 1 - e or v > 1 - e:
                c = mix(c, BOX_EDGE, 0.55)
            return c
        u, v = left_face(x, y)
        if 0.0 <= u <= 1.0 and 0.0 <= v <= 1.0:
            c = BOX_LEFT
            if u < e or v > 1 - e:
                c = mix(c, BOX_EDGE, 0.55)
            return c
        u, v = right_face(x, y)
        if 0.0 <= u <= 1.0 and 0.0 <= v <= 1.0:
            # The tape continues down the right face from the top's seam.
            c = TAPE_RIGHT if abs(u - 0.5) < tape else BOX_RIGHT
            if u > 1 - e or v > 1 - e:
                c = mix(c, BOX_EDGE, 0.55)
            return c
        return None

    step = 1.0 / SUB
    rows = []
    for py in range(s):
        row = []
        for px in range(s):
            r = g = b = 0.0
            n = 0
            for j in range(SUB):
                y = py + (j + 0.5) * step
                for i in range(SUB):
                    c = sample(px + (i + 0.5) * step, y)
                    if c is not None:
                        r += c[0]
                        g += c[1]
                        b += c[2]
                        n += 1
            if n == 0:
                row.append((0.0, 0.0, 0.0, 0.0, False))
            else:
                a = n / float(SUB * SUB)
                row.append((r / n, g / n, b / n, a, a >= 0.5))
        rows.append(row)
    return rows


# ---------------------------------------------------------------------------
# .ico writing
# ---------------------------------------------------------------------------

def row_stride(width, bits):
    return ((width * bits + 31) // 32) * 4


def dib_image(rows, bits):
    """One icon image: BITMAPINFOHEADER, colour bitmap, 1-bpp AND mask."""
    s = len(rows)
    xor_stride = row_stride(s, bits)
    and_stride = row_stride(s, 1)
    xor = bytearray()
    mask = bytearray()
    for row in reversed(rows):  # bottom-up
        line = bytearray()
        bitsrow = bytearray(and_stride)
        for x, (r, g, b, a, solid) in enumerate(row):
            if bits == 32:
                alpha = to_byte(a)
                if alpha == 0:
                    line += b"\0\0\0\0"
                else:
                    line += bytes((to_byte(b), to_byte(g), to_byte(r), alpha))
                opaque = alpha != 0
            else:
                if solid:
                    line += bytes((to_byte(b), to_byte(g), to_byte(r)))
                else:
                    line += b"\0\0\0"
                opaque = solid
            if not opaque:
                bitsrow[x >> 3] |= 0x80 >> (x & 7)
        line += bytes(xor_stride - len(line))
        xor += line
        mask += bitsrow
    header = struct.pack("<IiiHHIIiiII", 40, s, s * 2, 1, bits, 0,
                         len(xor) + len(mask), 0, 0, 0, 0)
    return header + bytes(xor) + bytes(mask)


def ico_file(images):
    """images: list of (size, bits, data), in directory order."""
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for size, bits, data in images:
        dim = 0 if size >= 256 else size
        out += struct.pack("<BBBBHHII", dim, dim, 0, 0, 1, bits,
                           len(data), offset)
        offset += len(data)
    for _, _, data in images:
        out += data
    return bytes(out)


def make_launcher_icon():
    images = []
    for s in LAUNCHER_SIZES:
        rows = launcher_pixels(s)
        images.append((s, 32, dib_image(rows, 32)))
        images.append((s, 24, dib_image(rows, 24)))
    return ico_file(images)


def make_demo_icon():
    return ico_file([(s, 32, dib_image(demo_pixels(s), 32))
                     for s in DEMO_SIZES])


# ---------------------------------------------------------------------------
# Lettering: a 5 x 7 bitmap font with two rows for descenders
# ---------------------------------------------------------------------------

GLYPH_W, GLYPH_H = 5, 9

FONT_ROWS = {
    "A": ".###. #...# #...# ##### #...# #...# #...#",
    "B": "####. #...# #...# ####. #...# #...# ####.",
    "C": ".###. #...# #.... #.... #.... #...# .###.",
    "D": "####. #...# #...# #...# #...# #...# ####.",
    "E": "##### #.... #.... ####. #.... #.... #####",
    "F": "##### #.... #.... ####. #.... #.... #....",
    "G": ".###. #...# #.... #.### #...# #...# .####",
    "H": "#...# #...# #...# ##### #...# #...# #...#",
    "I": ".###. ..#.. ..#.. ..#.. ..#.. ..#.. .###.",
    "J": "..### ...#. ...#. ...#. ...#. #..#. .##..",
    "K": "#...# #..#. #.#.. ##... #.#.. #..#. #...#",
    "L": "#.... #.... #.... #.... #.... #.... #####",
    "M": "#...# ##.## #.#.# #.#.# #...# #...# #...#",
    "N": "#...# #...# ##..# #.#.# #..## #...# #...#",
    "O": ".###. #...# #...# #...# #...# #...# .###.",
    "P": "####. #...# #...# ####. #.... #.... #....",
    "Q": ".###. #...# #...# #...# #.#.# #..#. .##.#",
    "R": "####. #...# #...# ####. #.#.. #..#. #...#",
    "S": ".#### #.... #.... .###. ....# ....# ####.",
    "T": "##### ..#.. ..#.. ..#.. ..#.. ..#.. ..#..",
    "U": "#...# #...# #...# #...# #...# #...# .###.",
    "V": "#...# #...# #...# #...# #...# .#.#. ..#..",
    "W": "#...# #...# #...# #.#.# #.#.# #.#.# .#.#.",
    "X": "#...# #...# .#.#. ..#.. .#.#. #...# #...#",
    "Y": "#...# #...# .#.#. ..#.. ..#.. ..#.. ..#..",
    "Z": "##### ....# ...#. ..#.. .#... #.... #####",
    "a": "..... ..... .###. ....# .#### #...# .####",
    "b": "#.... #.... #.##. ##..# #...# #...# ####.",
    "c": "..... ..... .###. #.... #.... #...# .###.",
    "d": "....# ....# .##.# #..## #...# #...# .####",
    "e": "..... ..... .###. #...# ##### #.... .###.",
    "f": "..##. .#..# .#... ###.. .#... .#... .#...",
    "g": "..... ..... .#### #...# #...# #...# .#### ....# .###.",
    "h": "#.... #.... #.##. ##..# #...# #...# #...#",
    "i": "..#.. ..... .##.. ..#.. ..#.. ..#.. .###.",
    "j": "...#. ..... ..##. ...#. ...#. ...#. ...#. #..#. .##..",
    "k": "#.... #.... #..#. #.#.. ##... #.#.. #..#.",
    "l": ".##.. ..#.. ..#.. ..#.. ..#.. ..#.. .###.",
    "m": "..... ..... ##.#. #.#.# #.#.# #.#.# #.#.#",
    "n": "..... ..... #.##. ##..# #...# #...# #...#",
    "o": "..... ..... .###. #...# #...# #...# .###.",
    "p": "..... ..... ####. #...# #...# #...# ####. #.... #....",
    "q": "..... ..... .#### #...# #...# #...# .#### ....# ....#",
    "r": "..... ..... #.##. ##..# #.... #.... #....",
    "s": "..... ..... .#### #.... .###. ....# ####.",
    "t": ".#... .#... ###.. .#... .#... .#..# ..##.",
    "u": "..... ..... #...# #...# #...# #..## .##.#",
    "v": "..... ..... #...# #...# #...# .#.#. ..#..",
    "w": "..... ..... #...# #...# #.#.# #.#.# .#.#.",
    "x": "..... ..... #...# .#.#. ..#.. .#.#. #...#",
    "y": "..... ..... #...# #...# #...# #...# .#### ....# .###.",
    "z": "..... ..... ##### ...#. ..#.. .#... #####",
    "0": ".###. #...# #..## #.#.# ##..# #...# .###.",
    "1": "..#.. .##.. ..#.. ..#.. ..#.. ..#.. .###.",
    "2": ".###. #...# ....# ...#. ..#.. .#... #####",
    "3": "##### ...#. ..#.. ...#. ....# #...# .###.",
    "4": "...#. ..##. .#.#. #..#. ##### ...#. ...#.",
    "5": "##### #.... ####. ....# ....# #...# .###.",
    "6": "..##. .#... #.... ####. #...# #...# .###.",
    "7": "##### ....# ...#. ..#.. .#... .#... .#...",
    "8": ".###. #...# #...# .###. #...# #...# .###.",
    "9": ".###. #...# #...# .#### ....# ...#. .##..",
    " ": "",
}


def glyph_bits(ch):
    rows = FONT_ROWS[ch].split()
    rows += ["....."] * (GLYPH_H - len(rows))
    return [[c == "#" for c in row] for row in rows]


def text_width(text, scale, spacing=1):
    return (len(text) * (GLYPH_W + spacing) - spacing) * scale


# ---------------------------------------------------------------------------
# The demo splash picture
# ---------------------------------------------------------------------------

class Canvas:
    def __init__(self, w, h):
        self.w, self.h = w, h
        self.r = [0.0] * (w * h)
        self.g = [0.0] * (w * h)
        self.b = [0.0] * (w * h)

    def blend(self, i, c, a):
        if a <= 0.0:
            return
        if a > 1.0:
            a = 1.0
        self.r[i] += (c[0] - self.r[i]) * a
        self.g[i] += (c[1] - self.g[i]) * a
        self.b[i] += (c[2] - self.b[i]) * a

    def screen(self, i, c, a):
        """Add light: 1 - (1 - base)(1 - c * a)."""
        if a <= 0.0:
            return
        self.r[i] = 1.0 - (1.0 - self.r[i]) * (1.0 - c[0] * a)
        self.g[i] = 1.0 - (1.0 - self.g[i]) * (1.0 - c[1] * a)
        self.b[i] = 1.0 - (1.0 - self.b[i]) * (1.0 - c[2] * a)


def glyph_value(bits, u, v):
    """The glyph's bits, bilinearly interpolated between cell centres."""
    fu, fv = u - 0.5, v - 0.5
    i0, j0 = int(math.floor(fu)), int(math.floor(fv))
    tx, ty = fu - i0, fv - j0

    def bit(i, j):
        if 0 <= j < GLYPH_H and 0 <= i < GLYPH_W and bits[j][i]:
            return 1.0
        return 0.0
    top = bit(i0, j0) * (1 - tx) + bit(i0 + 1, j0) * tx
    low = bit(i0, j0 + 1) * (1 - tx) + bit(i0 + 1, j0 + 1) * tx
    return top * (1 - ty) + low * ty


def text_mask(w, h, text, left, top, scale, spacing=1, smooth=True):
    """Coverage of `text` drawn with the bitmap font, `scale` pixels per dot.

    With `smooth`, the dots are joined into rounded strokes (the glyph is
    interpolated and cut at a level a little under half, which also makes
    the strokes somewhat bolder); without it, every dot is a sharp square.
    """
    mask = [0.0] * (w * h)
    level = 0.42
    n = 4
    x = left
    for ch in text:
        bits = glyph_bits(ch)
        for py in range(top - scale, top + (GLYPH_H + 1) * scale):
            if not 0 <= py < h:
                continue
            for px in range(x - scale, x + (GLYPH_W + 1) * scale):
                if not 0 <= px < w:
                    continue
                if smooth:
                    hits = 0
                    for j in range(n):
                        v = (py - top + (j + 0.5) / n) / scale
                        for i in range(n):
                            u = (px - x + (i + 0.5) / n) / scale
                            if glyph_value(bits, u, v) >= level:
                                hits += 1
                    cov = hits / float(n * n)
                else:
                    gx = (px - x) // scale
                    gy = (py - top) // scale
                    cov = 1.0 if (0 <= gx < GLYPH_W and 0 <= gy < GLYPH_H
                                  and bits[gy][gx]) else 0.0
                i = py * w + px
                if cov > mask[i]:
                    mask[i] = cov
        x += (GLYPH_W + spacing) * scale
    return mask


def blur(mask, w, h, radius):
    """Separable box blur, run twice (close to a gentle Gaussian)."""
    for _ in range(2):
        out = [0.0] * (w * h)
        n = 2 * radius + 1
        for y in range(h):
            base = y * w
            acc = 0.0
            for x in range(-radius, radius + 1):
                if 0 <= x < w:
                    acc += mask[base + x]
            for x in range(w):
                out[base + x] = acc / n
                xo, xi = x - radius, x + radius + 1
                if 0 <= xo < w:
                    acc -= mask[base + xo]
                if xi < w:
                    acc += mask[base + xi]
        mask = out
        out = [0.0] * (w * h)
        for x in range(w):
            acc = 0.0
            for y in range(-radius, radius + 1):
                if 0 <= y < h:
                    acc += mask[y * w + x]
            for y in range(h):
                out[y * w + x] = acc / n
                yo, yi = y - radius, y + radius + 1
                if 0 <= yo < h:
                    acc -= mask[yo * w + x]
                if yi < h:
                    acc += mask[yi * w + x]
        mask = out
    return mask


SKY_TOP_LEFT = hex_colour("#0A1433")
SKY_BOTTOM_RIGHT = hex_colour("#3B1A63")
HILL_FAR = hex_colour("#120E2E")
HILL_NEAR = hex_colour("#0A0820")

AURORA_BANDS = (
    # base y, amplitude, wavelength, phase, colour, strength, height
    (112.0, 16.0, 260.0, 0.6, hex_colour("#3DF2B0"), 0.55, 70.0),
    (92.0, 12.0, 190.0, 2.4, hex_colour("#49B8FF"), 0.40, 55.0),
    (62.0, 10.0, 330.0, 4.1, hex_colour("#B36BFF"), 0.22, 45.0),
)


def hills(x):
    """Height (y) of the far and near hill lines at column x."""
    far = 250.0 + 9.0 * math.sin(x / 61.0 + 0.7) + 5.0 * math.sin(x / 23.0 + 2.1)
    near = 268.0 + 7.0 * math.sin(x / 83.0 + 3.3) + 3.0 * math.sin(x / 31.0)
    return far, near


def make_splash():
    w, h = SPLASH_W, SPLASH_H
    cv = Canvas(w, h)
    diag = float(w + h)

    # Sky: a diagonal gradient, dark blue at the top left to violet.
    for y in range(h):
        for x in range(w):
            t = clamp01((x * 0.9 + y * 1.4) / (w * 0.9 + h * 1.4))
            t = t * t * (3.0 - 2.0 * t)
            c = mix(SKY_TOP_LEFT, SKY_BOTTOM_RIGHT, t)
            i = y * w + x
            cv.r[i], cv.g[i], cv.b[i] = c

    # Soft circles: two large faint discs and a glowing moon.
    discs = (
        # centre x, centre y, radius, edge softness, colour, strength
        (392.0, 68.0, 118.0, 14.0, hex_colour("#6A4BD8"), 0.10),
        (60.0, 250.0, 150.0, 18.0, hex_colour("#2C5BD0"), 0.08),
        (418.0, 56.0, 20.0, 1.0, hex_colour("#F4ECFF"), 0.85),
    )
    for cx, cy, rad, soft, col, strength in discs:
        reach = rad + soft + 40
        y0, y1 = max(0, int(cy - reach)), min(h, int(cy + reach + 1))
        x0, x1 = max(0, int(cx - reach)), min(w, int(cx + reach + 1))
        for y in range(y0, y1):
            for x in range(x0, x1):
                d = math.hypot(x + 0.5 - cx, y + 0.5 - cy)
                edge = clamp01((rad - d) / soft + 0.5)
                glow = math.exp(-max(0.0, d - rad) / (rad * 0.35 + 6.0))
                a = strength * (edge + (1.0 - edge) * 0.35 * glow)
                cv.screen(y * w + x, col, a)

    # Stars, thinned out towards the horizon.
    rng = Rng(0x7E1F0)
    for _ in range(140):
        x = int(rng.next() * w)
        y = int(rng.next() * 230)
        bright = 0.25 + 0.6 * rng.next() * (1.0 - y / 260.0)
        cv.screen(y * w + x, (0.9, 0.92, 1.0), bright)
        if bright > 0.6:
            for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)):
                if 0 <= x + dx < w and 0 <= y + dy < h:
                    cv.screen((y + dy) * w + x + dx, (0.8, 0.85, 1.0),
                              bright * 0.3)

    # Aurora: curtains hanging from sine-wave lines, bright at the lower
    # edge with a faint glow under it, fading upwards in vertical rays.
    for base, amp, wave, phase, col, strength, height in AURORA_BANDS:
        for x in range(w):
            line = (base + amp * math.sin(2 * math.pi * x / wave + phase) +
                    amp * 0.4 * math.sin(2 * math.pi * x / (wave * 0.37)
                                         + phase * 1.7) +
                    3.0 * math.sin(x * 0.09 + phase * 0.5))
            rays = 0.5 + 0.5 * (0.5 * math.sin(x * 0.13 + phase) +
                                0.3 * math.sin(x * 0.31 + phase * 2.0) +
                                0.2 * math.sin(x * 0.057 + phase * 3.0))
            # Fade the curtain out towards both sides of the picture.
            side = math.sin(math.pi * clamp01((x + 30.0) / (w + 60.0)))
            k = strength * side
            for y in range(max(0, int(line - height * 3)),
                           min(h, int(line + 60))):
                d = y + 0.5 - line
                if d >= 0.0:
                    a = (math.exp(-(d / 6.0) ** 2) * (0.75 + 0.25 * rays) +
                         0.18 * math.exp(-d / 16.0))
                else:
                    a = math.exp(d / height) * (0.35 + 0.65 * rays)
                cv.screen(y * w + x, col, k * a)

    # Hills: two calm, dark silhouettes across the bottom.
    for x in range(w):
        far, near = hills(x)
        for y in range(int(far) - 1, h):
            cov_far = clamp01(y + 1.0 - far)
            cv.blend(y * w + x, HILL_FAR, cov_far)
            # A faint rim of aurora light on the far ridge.
            cv.screen(y * w + x, hex_colour("#3DF2B0"),
                      0.10 * cov_far * math.exp(-(y + 0.5 - far) / 2.0))
        for y in range(int(near) - 1, h):
            t = clamp01((y - near) / 30.0)
            cv.blend(y * w + x, mix(HILL_NEAR, hex_colour("#06051A"), t),
                     clamp01(y + 1.0 - near))

    # Lettering: title, a smaller line under it, the maker's name on top.
    title = "Aurora Notes 3"
    scale = 4
    tx = (w - text_width(title, scale)) // 2
    ty = 164
    sub = "Setup"
    sub_scale = 2
    sx = (w - text_width(sub, sub_scale)) // 2
    sy = ty + 9 * scale + 6
    maker = "Trelvo Demo"
    mx = (w - text_width(maker, 1, 2)) // 2

    title_mask = text_mask(w, h, title, tx, ty, scale)
    sub_mask = text_mask(w, h, sub, sx, sy, sub_scale)
    shadow = [0.0] * (w * h)
    for y in range(h - 3):
        for x in range(w - 2):
            shadow[(y + 3) * w + x + 2] = max(title_mask[y * w + x],
                                              sub_mask[y * w + x])
    shadow = blur(shadow, w, h, 2)
    glow = blur(title_mask, w, h, 4)
    for i in range(w * h):
        cv.blend(i, hex_colour("#05041A"), 0.65 * shadow[i])
        cv.screen(i, hex_colour("#7FE8FF"), 0.35 * glow[i])
    for y in range(h):
        for x in range(w):
            i = y * w + x
            # Title: white fading into pale mint towards the baseline.
            t = clamp01((y - ty) / (7.0 * scale))
            cv.blend(i, mix(WHITE, hex_colour("#CFFCEB"), t), title_mask[i])
            cv.blend(i, hex_colour("#C9C2F2"), sub_mask[i])

    # "Trelvo Demo", small and quiet, letter-spaced, above the title.
    maker_mask = text_mask(w, h, maker, mx, ty - 22, 1, spacing=2,
                           smooth=False)
    for i in range(w * h):
        cv.blend(i, hex_colour("#9FB4E8"), 0.8 * maker_mask[i])

    return bmp_file(cv)


def bmp_file(cv):
    w, h = cv.w, cv.h
    stride = row_stride(w, 24)
    pixels = bytearray()
    for y in range(h - 1, -1, -1):  # bottom-up
        line = bytearray()
        for x in range(w):
            i = y * w + x
            line += bytes((to_byte(cv.b[i]), to_byte(cv.g[i]),
                           to_byte(cv.r[i])))
        line += bytes(stride - len(line))
        pixels += line
    offset = 14 + 40
    header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(pixels),
                       2835, 2835, 0, 0)
    return header + info + bytes(pixels)


# ---------------------------------------------------------------------------
# Self-check
# ---------------------------------------------------------------------------

def check_ico(data, expected):
    """expected: list of (size, bits) in directory order. Returns problems."""
    problems = []
    if len(data) < 6:
        return ["file too short for an icon directory"]
    reserved, kind, count = struct.unpack_from("<HHH", data, 0)
    if reserved != 0 or kind != 1:
        problems.append("not an icon directory (reserved=%d type=%d)"
                        % (reserved, kind))
    if count != len(expected):
        problems.append("%d images, expected %d" % (count, len(expected)))
        return problems
    if len(data) < 6 + 16 * count:
        return problems + ["directory runs past the end of the file"]
    next_offset = 6 + 16 * count
    for n, (size, bits) in enumerate(expected):
        (ew, eh, colours, res, planes, ebits, length,
         offset) = struct.unpack_from("<BBBBHHII", data, 6 + 16 * n)
        where = "image %d (%dpx %d-bit)" % (n, size, bits)
        if (ew or 256) != size or (eh or 256) != size:
            problems.append("%s: directory says %dx%d" % (where, ew, eh))
        if ebits != bits or planes != 1 or colours != 0 or res != 0:
            problems.append("%s: directory says %d bpp, %d planes"
                            % (where, ebits, planes))
        if offset != next_offset:
            problems.append("%s: data at %d, expected %d right after the "
                            "previous image" % (where, offset, next_offset))
        if offset + length > len(data):
            problems.append("%s: data runs past the end of the file" % where)
            return problems
        next_offset = offset + length
        (hsize, bw, bh, bplanes, bbits, comp, image_size) = \
            struct.unpack_from("<IiiHHII", data, offset)
        if hsize != 40:
            problems.append("%s: header size %d" % (where, hsize))
        if bw != size or bh != 2 * size:
            problems.append("%s: bitmap is %dx%d, expected %dx%d"
                            % (where, bw, bh, size, 2 * size))
        if bplanes != 1 or bbits != bits or comp != 0:
            problems.append("%s: bitmap is %d bpp, compression %d"
                            % (where, bbits, comp))
        pixel_bytes = (row_stride(size, bits) + row_stride(size, 1)) * size
        if length != 40 + pixel_bytes:
            problems.append("%s: %d bytes, expected %d"
                            % (where, length, 40 + pixel_bytes))
        if image_size not in (0, pixel_bytes):
            problems.append("%s: header image size %d, expected %d"
                            % (where, image_size, pixel_bytes))
        if bits == 32:
            alphas = data[offset + 40 + 3:
                          offset + 40 + row_stride(size, 32) * size:4]
            if not any(alphas):
                problems.append("%s: alpha channel is empty" % where)
    if next_offset != len(data):
        problems.append("%d stray bytes after the last image"
                        % (len(data) - next_offset))
    return problems


def check_bmp(data, width, height):
    problems = []
    if len(data) < 54 or data[:2] != b"BM":
        return ["not a BMP file"]
    _, file_size, _, _, offset = struct.unpack_from("<2sIHHI", data, 0)
    (hsize, w, h, planes, bits, comp,
     image_size) = struct.unpack_from("<IiiHHII", data, 14)
    if file_size != len(data):
        problems.append("header says %d bytes, file has %d"
                        % (file_size, len(data)))
    if hsize != 40:
        problems.append("info header size %d" % hsize)
    if (w, h) != (width, height):
        problems.append("%dx%d, expected %dx%d (bottom-up)"
                        % (w, h, width, height))
    if planes != 1 or bits != 24 or comp != 0:
        problems.append("%d bpp, compression %d; expected 24 bpp, none"
                        % (bits, comp))
    pixel_bytes = row_stride(width, 24) * height
    if offset != 54 or offset + pixel_bytes != len(data):
        problems.append("pixel data at %d, %d bytes; expected 54, %d"
                        % (offset, len(data) - offset, pixel_bytes))
    if image_size not in (0, pixel_bytes):
        problems.append("header image size %d, expected %d"
                        % (image_size, pixel_bytes))
    return problems


def launcher_layout():
    return [(s, bits) for s in LAUNCHER_SIZES for bits in (32, 24)]


def build_all():
    return {
        LAUNCHER_ICON: make_launcher_icon(),
        DEMO_ICON: make_demo_icon(),
        SPLASH: make_splash(),
    }


def check_files():
    ok = True
    expected = build_all()
    for name in (LAUNCHER_ICON, DEMO_ICON, SPLASH):
        path = os.path.join(ROOT, name)
        try:
            with open(path, "rb") as f:
                data = f.read()
        except OSError as e:
            print("%s: %s" % (name, e.strerror))
            ok = False
            continue
        if name == LAUNCHER_ICON:
            problems = check_ico(data, launcher_layout())
        elif name == DEMO_ICON:
            problems = check_ico(data, [(s, 32) for s in DEMO_SIZES])
        else:
            problems = check_bmp(data, SPLASH_W, SPLASH_H)
        if data != expected[name]:
            problems.append("differs from what make-art.py draws now; "
                            "run it again")
        for p in problems:
            print("%s: %s" % (name, p))
        if problems:
            ok = False
        else:
            print("%s: ok (%d bytes)" % (name, len(data)))
    return ok


def main(argv):
    if argv[1:] == ["--check"]:
        return 0 if check_files() else 1
    if argv[1:]:
        print("usage: make-art.py [--check]", file=sys.stderr)
        return 2
    files = build_all()
    # Check what was drawn before writing anything.
    problems = (check_ico(files[LAUNCHER_ICON], launcher_layout()) +
                check_ico(files[DEMO_ICON], [(s, 32) for s in DEMO_SIZES]) +
                check_bmp(files[SPLASH], SPLASH_W, SPLASH_H))
    if problems:
        for p in problems:
            print(p, file=sys.stderr)
        return 1
    for name, data in files.items():
        path = os.path.join(ROOT, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)
        print("wrote %s (%d bytes)" % (name, len(data)))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
