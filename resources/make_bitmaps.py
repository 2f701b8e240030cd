#!/usr/bin/env python3
"""Draws the plug-in's bitmaps: the Burn, Exit and Cancel button faces (8 bits per pixel) and
the dialog's banner (24 bits per pixel), each at 100 % and at the larger display scales of
SCALES. Deterministic, standard library only.

    python3 resources/make_bitmaps.py [--preview DIR]

writes the .bmp files next to this script (NAME.bmp at 100 %, NAME_PERCENT.bmp at the others);
with --preview, also enlarged PNG copies to DIR.
"""

import math
import os
import struct
import sys
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))

# The button faces' background: the first pixel's colour is replaced by the system's button face
# colour when the bitmap is loaded, so the glyphs sit on the button like a transparent picture.
FACE = (192, 192, 192)
INK = (0, 0, 0)

# A small proportional pixel font: 7 rows above the baseline, 2 below.
GLYPHS = {
    "B": ["####.", "#...#", "#...#", "####.", "#...#", "#...#", "####."],
    "C": [".###.", "#...#", "#....", "#....", "#....", "#...#", ".###."],
    "D": ["####.", "#...#", "#...#", "#...#", "#...#", "#...#", "####."],
    "E": ["#####", "#....", "#....", "####.", "#....", "#....", "#####"],
    "T": ["#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."],
    "a": [".....", ".....", ".###.", "....#", ".####", "#...#", ".####"],
    "c": ["....", "....", ".###", "#...", "#...", "#...", ".###"],
    "e": [".....", ".....", ".###.", "#...#", "#####", "#....", ".###."],
    "i": ["#", ".", "#", "#", "#", "#", "#"],
    "l": ["#", "#", "#", "#", "#", "#", "#"],
    "n": [".....", ".....", "#.##.", "##..#", "#...#", "#...#", "#...#"],
    "o": [".....", ".....", ".###.", "#...#", "#...#", "#...#", ".###."],
    "p": ["....", "....", "###.", "#..#", "#..#", "#..#", "###.", "#...", "#..."],
    "r": ["....", "....", "#.##", "##..", "#...", "#...", "#..."],
    "s": ["....", "....", ".###", "#...", ".##.", "...#", "###."],
    "t": [".#..", ".#..", "####", ".#..", ".#..", ".#..", "..##"],
    "u": [".....", ".....", "#...#", "#...#", "#...#", "#..##", ".##.#"],
    "v": [".....", ".....", "#...#", "#...#", ".#.#.", ".#.#.", "..#.."],
    "x": [".....", ".....", "#...#", ".#.#.", "..#..", ".#.#.", "#...#"],
    "y": [".....", ".....", "#...#", "#...#", "#...#", ".####", "....#", "#...#", ".###."],
    " ": ["...", "...", "...", "...", "...", "...", "..."],
}


def text_pixels(text):
    """The lit cells of a text as (column, row) pairs, and its width in cells."""
    cells, x = [], 0
    for ch in text:
        glyph = GLYPHS[ch]
        for row, line in enumerate(glyph):
            cells.extend((x + col, row) for col, c in enumerate(line) if c == "#")
        x += len(glyph[0]) + 1
    return cells, x - 1


def scaled(length, scale):
    return int(length * scale + 0.5)


def text_raster(text, scale):
    """The lit pixels of a text drawn at a scale, and its width in pixels. Strokes stay one width
    (the scale rounded) wherever they fall, so the letters keep even strokes at 125 % and 150 %;
    runs of cells stay joined and diagonal steps stay connected."""
    cells, width = text_pixels(text)
    lit, stroke, pixels = set(cells), max(1, scaled(1, scale)), set()

    def fill(x0, x1, y0, y1):
        pixels.update((x, y) for x in range(x0, x1) for y in range(y0, y1))

    for col, row in lit:
        x0, y0 = scaled(col, scale), scaled(row, scale)
        x1 = scaled(col + 1, scale) + stroke if (col + 1, row) in lit else x0 + stroke
        y1 = scaled(row + 1, scale) + stroke if (col, row + 1) in lit else y0 + stroke
        fill(x0, x1, y0, y0 + stroke)
        fill(x0, x0 + stroke, y0, y1)
        for step in (-1, 1):
            if (col + step, row + 1) not in lit or (col + step, row) in lit or (col, row + 1) in lit:
                continue
            bx0, by0 = scaled(col + step, scale), scaled(row + 1, scale)
            # Over the gaps between them: this cell downwards, the lower one sideways.
            fill(x0, x0 + stroke, y0 + stroke, by0)
            if step > 0:
                fill(x0 + stroke, bx0, by0, by0 + stroke)
            else:
                fill(bx0 + stroke, x0, by0, by0 + stroke)
    return pixels, scaled(width - 1, scale) + stroke


class Canvas:
    def __init__(self, width, height, colour, scale=1):
        self.width, self.height, self.scale = scaled(width, scale), scaled(height, scale), scale
        self.pixels = [[colour] * self.width for _ in range(self.height)]

    def put(self, x, y, colour):
        if 0 <= x < self.width and 0 <= y < self.height:
            self.pixels[y][x] = colour

    def get(self, x, y):
        return self.pixels[y][x]

    def dot(self, x, y, colour):
        """One pixel of the 100 % drawing, as a square at the canvas's scale."""
        size = max(1, scaled(1, self.scale))
        for dy in range(size):
            for dx in range(size):
                self.put(scaled(x, self.scale) + dx, scaled(y, self.scale) + dy, colour)

    def text(self, right, y, text, colour):
        """A text whose last column ends before `right`, its top row at `y` (100 % units)."""
        pixels, width = text_raster(text, self.scale)
        x0, y0 = scaled(right, self.scale) - width, scaled(y, self.scale)
        for cx, cy in pixels:
            self.put(x0 + cx, y0 + cy, colour)


def mix(a, b, t):
    t = max(0.0, min(1.0, t))
    return tuple(int(round(a[i] + (b[i] - a[i]) * t)) for i in range(3))


def shade(canvas, box, inside, colour_at, samples=4):
    """Fills a shape with hard edges: a pixel is painted when at least half of it is inside,
    with the average colour of its inside samples (so the button face shows no fringe). The box,
    the shape and its colours are in 100 % units; the canvas's pixels are sampled at its scale."""
    scale = canvas.scale
    x0, y0 = int(math.floor(box[0] * scale)), int(math.floor(box[1] * scale))
    x1, y1 = int(math.ceil(box[2] * scale)), int(math.ceil(box[3] * scale))
    for y in range(y0, y1):
        for x in range(x0, x1):
            hits = []
            for sy in range(samples):
                for sx in range(samples):
                    px, py = (x + (sx + 0.5) / samples) / scale, (y + (sy + 0.5) / samples) / scale
                    if inside(px, py):
                        hits.append(colour_at(px, py))
            if len(hits) * 2 >= samples * samples:
                canvas.put(x, y, tuple(sum(c[i] for c in hits) // len(hits) for i in range(3)))


def hue(angle, saturation, value):
    """A colour of the given hue angle (radians), as 0..255 RGB."""
    h = (angle / (2 * math.pi)) % 1.0 * 6
    i, f = int(h), h - int(h)
    p, q, t = value * (1 - saturation), value * (1 - saturation * f), value * (1 - saturation * (1 - f))
    r, g, b = [(value, t, p), (q, value, p), (p, value, t), (p, q, value), (t, p, value), (value, p, q)][i % 6]
    return (int(r * 255), int(g * 255), int(b * 255))


def disc_colour(cx, cy, radius, px, py, light=1.0):
    """A compact disc's silver face with its rainbow sheen, seen from the label side."""
    dx, dy = px - cx, py - cy
    r = math.hypot(dx, dy) / radius
    angle = math.atan2(dy, dx)
    if r > 0.93:
        return mix((120, 124, 136), (70, 74, 86), (r - 0.93) / 0.07)
    if r < 0.36:
        return (200, 206, 214) if r > 0.22 else (150, 156, 166)
    sheen = 0.5 + 0.5 * math.cos(2 * (angle + 0.7))
    base = mix((176, 182, 194), (246, 248, 252), sheen)
    rainbow = hue(angle * 2 + r * 3, 0.55, 1.0)
    return mix(base, rainbow, 0.28 * light * (0.5 + 0.5 * math.sin(angle * 2 + 1.2)))


def in_disc(cx, cy, radius, hole):
    return lambda px, py: hole <= math.hypot(px - cx, py - cy) <= radius


def in_flame(cx, base_y, tip_y, width):
    """A flame: a round belly at the bottom narrowing to a tip that leans right."""
    belly = width / 2

    def inside(px, py):
        if py > base_y or py < tip_y:
            return False
        belly_y = base_y - belly
        if py >= belly_y:
            return math.hypot(px - cx, py - belly_y) <= belly
        t = (belly_y - py) / (belly_y - tip_y)
        centre = cx + 1.5 * math.sin(t * math.pi * 0.9)
        return abs(px - centre) <= belly * (1 - t) ** 0.8

    return inside


def flame_colour(base_y, tip_y):
    def colour(px, py):
        t = (base_y - py) / (base_y - tip_y)
        return mix((255, 236, 90), (228, 52, 18), t * 1.2)

    return colour


def burn_button(scale):
    canvas = Canvas(47, 22, FACE, scale)
    shade(canvas, (0, 0, 21, 22), in_disc(10.5, 11, 9.6, 1.6), lambda x, y: disc_colour(10.5, 11, 9.6, x, y))
    shade(canvas, (12, 0, 24, 22), in_flame(17.5, 20.5, 2.5, 8.5), flame_colour(20.5, 2.5))
    canvas.text(46, 7, "Burn", INK)
    return canvas


def exit_button(scale):
    canvas = Canvas(42, 20, FACE, scale)
    # A door standing open, and an arrow leaving through it.
    shade(canvas, (2, 2, 12, 19), lambda x, y: 2 <= x <= 11 and 2 <= y <= 18,
          lambda x, y: (72, 52, 36) if (x < 3 or x > 11 or y < 3) else (28, 28, 40))
    shade(canvas, (2, 3, 9, 19), lambda x, y: 2.5 <= x <= 8 and 3 + (x - 2.5) * 0.35 <= y <= 18.5 - (x - 2.5) * 0.2,
          lambda x, y: mix((176, 120, 70), (128, 82, 44), (x - 2.5) / 5.5))
    canvas.dot(7, 11, (250, 220, 120))

    def arrow(px, py):
        shaft = 9 <= px <= 14.5 and 9 <= py <= 12
        head = 14 <= px <= 18.5 and abs(py - 10.5) <= (18.5 - px) * 0.95
        return shaft or head

    shade(canvas, (8, 4, 20, 17), arrow, lambda x, y: mix((70, 200, 90), (20, 128, 50), (y - 6) / 9))
    canvas.text(39, 6, "Exit", INK)
    return canvas


def cancel_button(scale):
    canvas = Canvas(52, 20, FACE, scale)

    def sign(px, py):
        return math.hypot(px - 8.5, py - 10) <= 7.6

    def sign_colour(px, py):
        dx, dy = px - 8.5, py - 10
        on_cross = abs(abs(dx) - abs(dy)) < 1.3 and max(abs(dx), abs(dy)) < 4.2
        if on_cross:
            return (255, 255, 255)
        return mix((240, 80, 70), (168, 20, 24), (dy + dx * 0.4 + 7) / 14)

    shade(canvas, (0, 1, 18, 19), sign, sign_colour)
    canvas.text(50, 6, "Cancel", INK)
    return canvas


def banner(scale):
    width, height = 470, 53
    canvas = Canvas(width, height, (0, 0, 0), scale)
    title, title_scale, title_x, title_y = "Tolvane", 4, 84, 5
    title_cells = set(text_pixels(title)[0])
    tagline, tagline_x, tagline_y = "Burn your playlist to CD", 86, 39

    def background(px, py):
        t = px / width
        colour = mix((8, 18, 52), (22, 70, 150), t ** 0.8)
        colour = mix(colour, (40, 110, 190), max(0.0, 1 - abs(py - height * 0.2) / 20) * 0.25 * t)
        # Faint grooves of a large disc running off the right edge.
        r = math.hypot(px - 448, py - 26)
        if 30 < r < 92:
            colour = mix(colour, (120, 170, 230), 0.10 * (0.5 + 0.5 * math.cos(r * 0.9)) * (1 - (r - 30) / 62))
        if py >= height - 2:
            colour = mix(colour, (90, 160, 230), 0.6)
        return colour

    def title_coverage(px, py):
        """0..1 inside the rounded block letters."""
        u, v = (px - title_x) / title_scale, (py - title_y) / title_scale
        cell = (math.floor(u), math.floor(v))
        if cell not in title_cells:
            return False
        fu, fv = u - cell[0], v - cell[1]
        for corner_u, corner_v, du, dv in ((0, 0, -1, -1), (1, 0, 1, -1), (0, 1, -1, 1), (1, 1, 1, 1)):
            if (cell[0] + du, cell[1]) in title_cells or (cell[0], cell[1] + dv) in title_cells:
                continue
            radius = 0.45
            ccu = corner_u + (radius if corner_u == 0 else -radius)
            ccv = corner_v + (radius if corner_v == 0 else -radius)
            in_corner_u = fu < radius if corner_u == 0 else fu > 1 - radius
            in_corner_v = fv < radius if corner_v == 0 else fv > 1 - radius
            if in_corner_u and in_corner_v and math.hypot(fu - ccu, fv - ccv) > radius:
                return False
        return True

    def title_colour(py):
        t = (py - title_y) / (7 * title_scale)
        return mix((255, 255, 255), (150, 214, 255), t)

    disc = (40, 26.5, 23.5)
    samples = 4
    for y in range(canvas.height):
        for x in range(canvas.width):
            acc = [0, 0, 0]
            for sy in range(samples):
                for sx in range(samples):
                    px, py = (x + (sx + 0.5) / samples) / scale, (y + (sy + 0.5) / samples) / scale
                    colour = background(px, py)
                    dist = math.hypot(px - disc[0] - 2, py - disc[1] - 2)
                    if dist <= disc[2]:
                        colour = mix(colour, (0, 0, 0), 0.35)
                    dist = math.hypot(px - disc[0], py - disc[1])
                    if 3.2 <= dist <= disc[2]:
                        colour = disc_colour(disc[0], disc[1], disc[2], px, py)
                    if title_coverage(px - 2, py - 2):
                        colour = mix(colour, (0, 0, 20), 0.55)
                    if title_coverage(px, py):
                        colour = title_colour(py)
                    for i in range(3):
                        acc[i] += colour[i]
            n = samples * samples
            canvas.put(x, y, tuple(a // n for a in acc))
    tagline_pixels, _ = text_raster(tagline, scale)
    for cx, cy in tagline_pixels:
        x, y = scaled(tagline_x, scale) + cx, scaled(tagline_y, scale) + cy
        if 0 <= x < canvas.width and 0 <= y < canvas.height:
            canvas.put(x, y, mix(canvas.get(x, y), (206, 226, 246), 0.9))
    return canvas


# Greys that loading with LR_LOADMAP3DCOLORS turns into the system's 3-D colours: FACE is meant
# to, a shade of a picture must not.
MAPPED_GREYS = {(128, 128, 128), (192, 192, 192), (223, 223, 223)}


def reduce_colours(canvas, limit=256):
    """At larger sizes the shapes' blended edges give more colours than a palette holds: coarser
    steps for all but the face and the ink, the finest that fits (none when it fits already)."""
    kept = {FACE, INK}
    colours = {c for row in canvas.pixels for c in row}
    step = 1
    while len({quantised(c, step, kept) for c in colours}) > limit:
        step *= 2
    if step > 1:
        canvas.pixels = [[quantised(c, step, kept) for c in row] for row in canvas.pixels]


def quantised(colour, step, kept):
    if step == 1 or colour in kept:
        return colour
    result = tuple(min(255, c // step * step + step // 2) for c in colour)
    return (result[0] + 1,) + result[1:] if result in MAPPED_GREYS else result


def bmp_8bit(canvas):
    reduce_colours(canvas)
    palette = []
    index = {}
    for row in canvas.pixels:
        for colour in row:
            if colour not in index:
                index[colour] = len(palette)
                palette.append(colour)
    if len(palette) > 256:
        raise ValueError("more than 256 colours")
    stride = (canvas.width + 3) & ~3
    rows = b"".join(bytes(index[c] for c in row) + b"\0" * (stride - canvas.width) for row in reversed(canvas.pixels))
    table = b"".join(bytes((b, g, r, 0)) for r, g, b in palette) + b"\0" * 4 * (256 - len(palette))
    return bmp_file(canvas, 8, table, rows)


def bmp_24bit(canvas):
    stride = (canvas.width * 3 + 3) & ~3
    rows = b"".join(
        b"".join(bytes((b, g, r)) for r, g, b in row) + b"\0" * (stride - canvas.width * 3)
        for row in reversed(canvas.pixels))
    return bmp_file(canvas, 24, b"", rows)


def bmp_file(canvas, bits, table, rows):
    colours = 256 if bits == 8 else 0
    info = struct.pack("<IiiHHIIiiII", 40, canvas.width, canvas.height, 1, bits, 0, len(rows), 2835, 2835, colours, 0)
    offset = 14 + len(info) + len(table)
    header = struct.pack("<2sIHHI", b"BM", offset + len(rows), 0, 0, offset)
    return header + info + table + rows


def png(canvas, scale):
    raw = b"".join(
        b"\0" + b"".join(bytes(c) * scale for c in row) for row in canvas.pixels for _ in range(scale))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    ihdr = struct.pack(">IIBBBBB", canvas.width * scale, canvas.height * scale, 8, 2, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")


# The display scales, in per cent, that each bitmap is drawn for besides 100 %; the plug-in
# takes the nearest and stretches only what is left. The banner, the largest by far, skips
# 125 %: its place there is wider than 125 % anyway (the dialog font's width grows faster).
SCALES = {
    "burn_button": (125, 150, 200),
    "exit_button": (125, 150, 200),
    "cancel_button": (125, 150, 200),
    "banner": (150, 200),
}

BITMAPS = [
    ("burn_button", burn_button, bmp_8bit, 6),
    ("exit_button", exit_button, bmp_8bit, 6),
    ("cancel_button", cancel_button, bmp_8bit, 6),
    ("banner", banner, bmp_24bit, 2),
]


def main(argv):
    preview = argv[argv.index("--preview") + 1] if "--preview" in argv else None
    for name, draw, encode, zoom in BITMAPS:
        for percent in (100,) + SCALES[name]:
            file_name = name + ("" if percent == 100 else "_%d" % percent)
            canvas = draw(percent / 100)
            with open(os.path.join(HERE, file_name + ".bmp"), "wb") as out:
                out.write(encode(canvas))
            if preview:
                os.makedirs(preview, exist_ok=True)
                with open(os.path.join(preview, file_name + ".png"), "wb") as out:
                    out.write(png(canvas, max(1, zoom * 100 // percent)))


if __name__ == "__main__":
    main(sys.argv[1:])
