#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright 2026 The Vrillo developers
"""Draws the program's pictures from geometry alone (standard library only).

    python3 make_pictures.py ICON_DIR TEXTURE_DIR

writes the two 16-colour icons (vrillo.ico, small.ico), the window icon for
the desktop at 48, 64, 128 and 256 pixels (vrillo-SIZE.png) and scalable
(vrillo.svg) into ICON_DIR, and the raw textures of the JPEG pictures
(background.ppm, button.ppm, banner.ppm) into TEXTURE_DIR; make_pictures.sh
turns the textures into JPEG files and letters the banner. Nothing here is
random, so every run gives the same bytes.
"""

import math
import struct
import sys
import zlib
from pathlib import Path

# Shared colours of the program's pictures.
IVORY = (251, 248, 240)
SAND = (236, 228, 212)
TEAL_DEEP = (14, 62, 76)
TEAL = (28, 118, 132)
AMBER = (236, 150, 48)


def lerp(a, b, t):
    return tuple(x + (y - x) * t for x, y in zip(a, b))


def smoothstep(edge0, edge1, x):
    t = min(1.0, max(0.0, (x - edge0) / (edge1 - edge0)))
    return t * t * (3 - 2 * t)


def spiral_distance(px, py, cx, cy, spacing, turns=None, start=0.0):
    """Radial distance from (px, py) to the nearest turn of an Archimedean
    spiral around (cx, cy) whose turns lie `spacing` apart; with `turns` the
    spiral is cut to that many turns after `start` turns from its centre."""
    dx, dy = px - cx, py - cy
    r = math.hypot(dx, dy)
    phi = math.atan2(dy, dx) % (2 * math.pi)
    base = spacing * phi / (2 * math.pi)
    k = round((r - base) / spacing)
    if turns is not None:
        first = math.ceil(start - phi / (2 * math.pi))
        last = math.floor(start + turns - phi / (2 * math.pi))
        if first > last:
            return float("inf")
        k = min(max(k, first), last)
    return abs(r - base - k * spacing)


def write_ppm(path, width, height, pixel):
    """Writes a binary PPM whose colour at (x, y) is pixel(x, y)."""
    data = bytearray()
    for y in range(height):
        for x in range(width):
            data.extend(max(0, min(255, round(c))) for c in pixel(x, y))
    Path(path).write_bytes(b"P6 %d %d 255\n" % (width, height) + bytes(data))


# The background: a warm ivory that darkens gently towards the bottom right,
# crossed by the faint turns of one large spiral. It stays light everywhere so
# that black and blue labels read on it in any place.
def background_pixel(x, y):
    width, height = 460, 345
    t = 0.55 * x / width + 0.45 * y / height
    colour = lerp(IVORY, SAND, t)
    d = spiral_distance(x + 0.5, y + 0.5, 330.0, 150.0, 23.0)
    line = 1.0 - smoothstep(0.35, 1.25, d)
    fade = 0.55 + 0.45 * smoothstep(420.0, 60.0, math.hypot(x - 330.0, y - 150.0))
    shade = 9.0 * line * fade
    return tuple(c - shade * w for c, w in zip(colour, (1.0, 0.85, 0.6)))


# The command buttons: a pale face with a broad highlight at the top and a
# broad cool teal shade at the bottom. Buttons show the picture squashed to as
# little as 21 pixels high, so every feature is a soft band, never a thin line.
def button_pixel(x, y):
    width, height = 343, 98
    v = (y + 0.5) / height
    face = lerp((255, 255, 253), (238, 240, 236), smoothstep(0.0, 0.55, v))
    face = lerp(face, (186, 210, 210), smoothstep(0.6, 1.0, v))
    edge = min(x + 0.5, width - x - 0.5) / width
    dim = 1.0 - 0.05 * (1.0 - smoothstep(0.0, 0.12, edge))
    return tuple(c * dim for c in face)


# The banner: deep teal deepening to the right, with the spiral emblem on the
# left in amber and an amber rule under the title, which make_pictures.sh
# letters beside the emblem.
BANNER_EMBLEM = (26.0, 24.0)


def banner_pixel(x, y):
    width, height = 270, 48
    px, py = x + 0.5, y + 0.5
    colour = lerp(TEAL, TEAL_DEEP, 0.35 + 0.65 * px / width)
    colour = lerp(colour, (255, 255, 255), 0.10 * (1.0 - smoothstep(0.0, 0.55, py / height)))
    halo = 1.0 - smoothstep(8.0, 22.0, math.hypot(px - BANNER_EMBLEM[0], py - BANNER_EMBLEM[1]))
    colour = lerp(colour, (255, 220, 160), 0.18 * halo)
    if y == 41 and x >= 52:
        colour = lerp(colour, AMBER, 0.9 * smoothstep(262.0, 150.0, px))
    coverage = 0.0
    for sx in (0.25, 0.75):
        for sy in (0.25, 0.75):
            d = spiral_distance(x + sx, y + sy, *BANNER_EMBLEM, 5.2, turns=3.1, start=0.15)
            coverage += (1.0 - smoothstep(1.0, 1.9, d)) / 4
    return lerp(colour, AMBER, coverage)


# Icons. Each image is drawn from shapes layered back to front, sampled 4 × 4
# times per pixel; a pixel takes the palette colour most of its samples see and
# is transparent when most samples see nothing.
PALETTE = [
    (0, 0, 0),  # transparent pixels
    (38, 30, 40),  # outline
    (120, 66, 24),  # box shadow
    (186, 112, 44),  # box
    (230, 158, 74),  # box light
    (250, 206, 132),  # box highlight
    (72, 40, 20),  # inside of the box
    (10, 64, 78),  # teal deep
    (24, 118, 132),  # teal
    (70, 176, 184),  # teal light
    (178, 232, 228),  # teal highlight
    (255, 255, 255),  # spare: a 16-colour icon always carries sixteen entries
    (251, 246, 232),  # spare
    (150, 140, 130),  # spare
    (240, 150, 40),  # amber
    (192, 192, 192),  # spare
]
OUTLINE = 1


class Polygon:
    def __init__(self, points, fill, stroke=0.0):
        self.points, self.fill, self.stroke = points, fill, stroke

    def sample(self, x, y):
        inside = False
        pts = self.points
        nearest = float("inf")
        for (x1, y1), (x2, y2) in zip(pts, pts[1:] + pts[:1]):
            if (y1 > y) != (y2 > y) and x < x1 + (y - y1) * (x2 - x1) / (y2 - y1):
                inside = not inside
            nearest = min(nearest, segment_distance(x, y, x1, y1, x2, y2))
        if not inside:
            return None
        return OUTLINE if nearest < self.stroke else colour_of(self.fill, x, y)


class Disc:
    def __init__(self, cx, cy, radius, fill, stroke=0.0):
        self.cx, self.cy, self.radius, self.fill, self.stroke = cx, cy, radius, fill, stroke

    def sample(self, x, y):
        r = math.hypot(x - self.cx, y - self.cy)
        if r > self.radius:
            return None
        return OUTLINE if r > self.radius - self.stroke else colour_of(self.fill, x, y)


class Spiral:
    def __init__(self, cx, cy, spacing, turns, start, width, fill):
        self.args = (cx, cy, spacing, turns, start)
        self.width, self.fill = width, fill

    def sample(self, x, y):
        cx, cy, spacing, turns, start = self.args
        d = spiral_distance(x, y, cx, cy, spacing, turns, start)
        return colour_of(self.fill, x, y) if d < self.width / 2 else None


X, Y = 0, 1


class Bands:
    """A fill whose colour changes at straight lines across one axis:
    colours[i] up to limits[i], the last colour beyond them all."""

    def __init__(self, axis, limits, colours):
        self.axis, self.limits, self.colours = axis, limits, colours

    def __call__(self, x, y):
        value = (x, y)[self.axis]
        for limit, colour in zip(self.limits, self.colours):
            if value < limit:
                return colour
        return self.colours[-1]


def colour_of(fill, x, y):
    return fill(x, y) if callable(fill) else fill


def segment_distance(px, py, x1, y1, x2, y2):
    dx, dy = x2 - x1, y2 - y1
    t = max(0.0, min(1.0, ((px - x1) * dx + (py - y1) * dy) / (dx * dx + dy * dy)))
    return math.hypot(px - x1 - t * dx, py - y1 - t * dy)


def rasterise(shapes, size):
    """Palette indexes of a size × size image (None = transparent) of shapes
    laid out in pixel units."""
    grid = 4
    image = []
    for y in range(size):
        row = []
        for x in range(size):
            votes = {}
            for sy in range(grid):
                for sx in range(grid):
                    ux = x + (sx + 0.5) / grid
                    uy = y + (sy + 0.5) / grid
                    hit = None
                    for shape in reversed(shapes):
                        hit = shape.sample(ux, uy)
                        if hit is not None:
                            break
                    votes[hit] = votes.get(hit, 0) + 1
            transparent = votes.pop(None, 0)
            if not votes or transparent * 2 >= grid * grid:
                row.append(None)
            else:
                row.append(max(sorted(votes), key=votes.get))
        image.append(row)
    return image


def window_icon_shapes():
    """An open box with the program's teal V rising out of it."""
    v_arm = Bands(X, [16], [9, 8])
    box_front = Bands(Y, [22, 28], [4, 3, 2])
    return [
        # the opening, dark inside
        Polygon([(3, 19), (29, 19), (25, 13), (7, 13)], 6, 1.0),
        # the V, lit from the left, its point sunk into the box
        Polygon([(5, 1), (11.5, 1), (16, 11.5), (20.5, 1), (27, 1), (16, 24)], v_arm, 1.0),
        Polygon([(6.8, 2), (8.8, 2), (14.4, 14.5), (13.5, 16)], 10),
        # side flaps, folded outwards
        Polygon([(3, 19), (7, 13), (2.5, 5.5), (0.1, 9.5)], 5, 1.0),
        Polygon([(29, 19), (25, 13), (29.5, 5.5), (31.9, 9.5)], 4, 1.0),
        # front of the box
        Polygon([(3, 19), (29, 19), (29, 31), (3, 31)], box_front, 1.0),
    ]


def small_icon_shapes():
    """A teal badge bearing the program's spiral."""

    def badge(x, y):
        if math.hypot(x - 19, y - 19) > 12.5:
            return 9 if x + y < 32 else 7
        return 8

    return [
        Disc(16, 16, 15.6, badge, 1.0),
        Spiral(16, 16, 5.0, 2.35, 0.15, 2.2, 14),
        Disc(16, 16, 1.9, 14),
    ]


# At 16 × 16 pixels shapes blur into each other, so the small images are
# drawn pixel by pixel: one letter per palette colour, "." for transparent.
LETTERS = {".": None, "k": 1, "s": 2, "b": 3, "l": 4, "h": 5, "i": 6, "D": 7, "T": 8, "L": 9, "H": 10, "a": 14}

WINDOW_ICON_16 = """
.kkkkk....kkkkk.
.kHLLk....kTTTk.
..kHLLk..kTTTk..
..kHLLk..kTTTk..
...kHLLkkTTTk...
kk..kHLLTTTk..kk
khk..kLLTTk..klk
.khkkkkLTkkkklk.
..kiiiiLTiiiik..
.kkkkkkkkkkkkkk.
.kllllllllllllk.
.kbbbbbbbbbbbbk.
.kbbbbbbbbbbbbk.
.kbbbbbbbbbbbbk.
.kssssssssssssk.
.kkkkkkkkkkkkkk.
"""

SMALL_ICON_16 = """
.....kkkkkk.....
...kkLLLTTTkk...
..kLLTTTTTTTTk..
.kLTTaaaaaaTTDk.
.kLTaTTTTTTaTDk.
kLTaTTaaaaTTaTDk
kLTaTaTTTTaTaTDk
kTTaTaTaaTaTaTDk
kTTaTaTTaTaTTTDk
kTTaTTaaTTaTTTDk
kTTTaTTTTaTTTDDk
.kTTTaaaaTTTTDk.
.kTTTTTTTTTTDDk.
..kDTTTTTTTDDk..
...kkDDDDDDkk...
.....kkkkkk.....
"""


def from_letters(drawing):
    rows = drawing.split()
    assert len(rows) == 16 and all(len(row) == 16 for row in rows)
    return [[LETTERS[c] for c in row] for row in rows]


def dib(indexes, size):
    """One 4-bit icon image: header, palette, colour rows and AND mask, bottom row first."""
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    colour_rows = b""
    mask_rows = b""
    for row in reversed(indexes):
        nibbles = [0 if i is None else i for i in row]
        packed = bytes((nibbles[i] << 4) | nibbles[i + 1] for i in range(0, size, 2))
        colour_rows += packed + b"\0" * (-len(packed) % 4)
        bits = 0
        for i in row:
            bits = (bits << 1) | (i is None)
        mask = bits.to_bytes(size // 8, "big")
        mask_rows += mask + b"\0" * (-len(mask) % 4)
    return header + palette + colour_rows + mask_rows


def write_ico(path, images):
    """An ICO file holding the given (size, indexes) images, 16 colours each."""
    offset = 6 + 16 * len(images)
    directory = struct.pack("<HHH", 0, 1, len(images))
    blobs = b""
    for size, indexes in images:
        blob = dib(indexes, size)
        directory += struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(blob), offset)
        offset += len(blob)
        blobs += blob
    Path(path).write_bytes(directory + blobs)


# From 48 pixels up the window icon is drawn again for each size, in true
# colour with soft edges: every shape becomes flat polygons laid back to front
# (its outline, the fill inside the outline, then each further band of the
# fill over the first), with the corners put on the pixel grid of the size
# drawn, so that the box's straight edges fall on pixel borders. The scalable
# icon is the largest of these drawings.
LARGE_ICON_SIZES = (48, 64, 128, 256)


def on_grid(value):
    return math.floor(value + 0.5)


def outline_width(size):
    """The 32-pixel icon's one-pixel outline, grown more slowly than the icon
    so that the large sizes keep a fine line."""
    return max(1, on_grid(size / 48))


def flat_layers(shapes, size):
    """(points, colour) polygons on a size × size canvas, back to front, of
    polygon shapes laid out on a 32 × 32 one."""
    scale = size / 32
    layers = []
    for shape in shapes:
        points = [(on_grid(x * scale), on_grid(y * scale)) for x, y in shape.points]
        if shape.stroke:
            layers.append((points, PALETTE[OUTLINE]))
            points = inset(points, outline_width(size))
        fill = shape.fill
        if isinstance(fill, Bands):
            layers.append((points, PALETTE[fill.colours[0]]))
            for limit, colour in zip(fill.limits, fill.colours[1:]):
                points = beyond(points, fill.axis, on_grid(limit * scale))
                layers.append((points, PALETTE[colour]))
        else:
            layers.append((points, PALETTE[fill]))
    return [(points, colour) for points, colour in layers if len(points) >= 3]


def edges(points):
    return zip(points, points[1:] + points[:1])


def inset(points, distance):
    """The polygon whose edges lie `distance` inside those of the given one."""
    area = sum(x1 * y2 - x2 * y1 for (x1, y1), (x2, y2) in edges(points))
    inward = 1 if area > 0 else -1
    lines = []
    for (x1, y1), (x2, y2) in edges(points):
        dx, dy = x2 - x1, y2 - y1
        shift = distance * inward / math.hypot(dx, dy)
        lines.append(((x1 - dy * shift, y1 + dx * shift), (dx, dy)))
    return [crossing(lines[i - 1], lines[i]) for i in range(len(lines))]


def crossing(first, second):
    """Where two lines, each a point and a direction, meet; for lines that
    run on in the same direction, the second one's point."""
    (px, py), (dx, dy) = first
    (qx, qy), (ex, ey) = second
    cross = dx * ey - dy * ex
    if abs(cross) < 1e-9:
        return qx, qy
    t = ((qx - px) * ey - (qy - py) * ex) / cross
    return px + t * dx, py + t * dy


def beyond(points, axis, limit):
    """The part of a polygon at or beyond `limit` along the axis."""
    kept = []
    for p, q in edges(points):
        if p[axis] >= limit:
            kept.append(p)
        if (p[axis] - limit) * (q[axis] - limit) < 0:
            t = (limit - p[axis]) / (q[axis] - p[axis])
            kept.append(tuple(a + (b - a) * t for a, b in zip(p, q)))
    return kept


def render(layers, size):
    """RGBA rows of the layers, each pixel the average of 4 × 4 samples."""
    grid = 4
    rows = []
    for y in range(size):
        totals = [[0, 0, 0, 0] for _ in range(size)]
        for sub in range(grid):
            samples = sample_row(layers, (y * grid + sub + 0.5) / grid, size * grid, grid)
            for i, colour in enumerate(samples):
                if colour is not None:
                    total = totals[i // grid]
                    for channel in range(3):
                        total[channel] += colour[channel]
                    total[3] += 1
        rows.append(bytes(value for total in totals for value in rgba(total, grid * grid)))
    return rows


def sample_row(layers, y, count, grid):
    """The colour that each of `count` samples, `grid` to a pixel, sees along
    the line at height y; None where no layer lies."""
    samples = [None] * count
    for points, colour in layers:
        for start, end in spans(points, y):
            first = max(0, math.ceil(start * grid - 0.5))
            last = min(count, math.ceil(end * grid - 0.5))
            samples[first:last] = [colour] * max(0, last - first)
    return samples


def spans(points, y):
    """The stretches of the line at height y that lie inside the polygon."""
    xs = sorted(
        x1 + (y - y1) * (x2 - x1) / (y2 - y1) for (x1, y1), (x2, y2) in edges(points) if (y1 > y) != (y2 > y)
    )
    return zip(xs[::2], xs[1::2])


def rgba(total, samples):
    """A pixel's colour from the sum of the colours its covered samples saw
    and their number, with its coverage as opacity."""
    covered = total[3]
    if covered == 0:
        return 0, 0, 0, 0
    return (*(round(value / covered) for value in total[:3]), round(255 * covered / samples))


def write_png(path, rows, size):
    """An 8-bit RGBA PNG of size × size pixels from its rows."""

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    pixels = zlib.compress(b"".join(b"\0" + row for row in rows), 9)
    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", pixels) + chunk(b"IEND", b"")
    Path(path).write_bytes(png)


def write_svg(path, layers, size):
    """The layers as plain filled polygons, which every icon renderer draws."""
    lines = [f'<svg xmlns="http://www.w3.org/2000/svg" width="{size}" height="{size}" viewBox="0 0 {size} {size}">']
    for points, (r, g, b) in layers:
        corners = " ".join(f"{decimal(x)},{decimal(y)}" for x, y in points)
        lines.append(f'  <polygon fill="#{r:02x}{g:02x}{b:02x}" points="{corners}"/>')
    lines.append("</svg>")
    Path(path).write_text("\n".join(lines) + "\n")


def decimal(value):
    return f"{value:.2f}".rstrip("0").rstrip(".")


def main():
    icon_dir, texture_dir = (Path(arg) for arg in sys.argv[1:3])
    write_ico(
        icon_dir / "vrillo.ico",
        [(32, rasterise(window_icon_shapes(), 32)), (16, from_letters(WINDOW_ICON_16))],
    )
    write_ico(
        icon_dir / "small.ico",
        [(32, rasterise(small_icon_shapes(), 32)), (16, from_letters(SMALL_ICON_16))],
    )
    for size in LARGE_ICON_SIZES:
        layers = flat_layers(window_icon_shapes(), size)
        write_png(icon_dir / f"vrillo-{size}.png", render(layers, size), size)
        if size == max(LARGE_ICON_SIZES):
            write_svg(icon_dir / "vrillo.svg", layers, size)
    write_ppm(texture_dir / "background.ppm", 460, 345, background_pixel)
    write_ppm(texture_dir / "button.ppm", 343, 98, button_pixel)
    write_ppm(texture_dir / "banner.ppm", 270, 48, banner_pixel)


if __name__ == "__main__":
    main()
