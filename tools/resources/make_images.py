#!/usr/bin/env python3
"""Remakes the editor's images (Python 3 standard library only).

    python3 tools/resources/make_images.py

Writes
  resources/editor/images/knob-cap.png  256 x 256 RGBA (straight alpha), so that the cap stays
      sharp on displays scaled up to 4x: the top of a machined
      aluminium knob seen from above. A flat face with fine concentric turning marks, a soft
      highlight from the top left, the two bright anisotropic reflections that brushed rings
      throw along the light's direction, and a narrow chamfered rim that is lit on the top-left
      side and shaded on the bottom right. Transparent outside the anti-aliased disc. The knob
      widget draws its pointer, ticks and glow on top.
  resources/editor/images/fallback.png  16 x 16 opaque mid grey with a 1 px darker border,
      shown where an image is missing.

  packaging/quenvale.ico  the installer's and the uninstaller's icon (also what Add/Remove
      Programs shows): the cap with the editor's orange pointer straight up, at 0 ms, as PNG
      images of 16, 32, 48, 64 and 256 pixels, each scaled from the cap and drawn at its size.

  packaging/installer-side.bmp  164 x 314, the picture beside the installer's first and last
      pages: the knob as in the icon on the editor's dark gradient, with its shadow.

The noise is seeded, so every run writes the same bytes.
"""

import math
import os
import random
import struct
import sys

sys.dont_write_bytecode = True  # keep tools/resources free of __pycache__
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from pngwrite import png_bytes, write_png  # noqa: E402

ROOT = os.path.abspath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
OUT = os.path.join(ROOT, "resources", "editor", "images")

SIZE = 128  # the cap's geometry below is in pixels of a 128-pixel image
RESOLUTION = 2  # ... which is written with this many pixels per such pixel and axis
CENTER = (SIZE - 1) / 2.0
OUTER = SIZE / 2.0 - 1.0  # the disc's edge: one pixel of room for anti-aliasing
BEVEL = 5.5  # width of the chamfered rim
FACE = OUTER - BEVEL
LIGHT = math.radians(225.0)  # direction towards the light in image coordinates (y down): top left
TINT = (0.93, 0.945, 0.965)  # aluminium is a touch cool


def clamp(v, lo=0.0, hi=1.0):
    return lo if v < lo else hi if v > hi else v


def smoothstep(e0, e1, x):
    t = clamp((x - e0) / (e1 - e0))
    return t * t * (3.0 - 2.0 * t)


class RingNoise:
    """Brightness along the radius: the turning marks. Fine grain plus a few wider bands."""

    def __init__(self, seed, radius, step=0.2):
        rng = random.Random(seed)
        self.step = step
        n = int(radius / step) + 4
        fine = [rng.uniform(-1.0, 1.0) for _ in range(n)]
        # light smoothing: marks about half a pixel to a pixel wide
        fine = [(fine[i - 1] + 2.0 * fine[i] + fine[(i + 1) % n]) / 4.0 for i in range(n)]
        bands = [rng.uniform(-1.0, 1.0) for _ in range(n // 20 + 2)]
        self.values = []
        for i in range(n):
            t = i / 20.0
            j = int(t)
            f = t - j
            f = f * f * (3 - 2 * f)
            band = bands[j] * (1 - f) + bands[j + 1] * f
            self.values.append(0.8 * fine[i] + 0.25 * band)

    def __call__(self, r):
        x = r / self.step
        i = int(x)
        f = x - i
        v = self.values
        if i + 1 >= len(v):
            return v[-1]
        return v[i] * (1 - f) + v[i + 1] * f


class AngleNoise:
    """Smooth periodic noise around the circle, so the rings are not perfect circles."""

    def __init__(self, seed, count=24):
        rng = random.Random(seed)
        self.v = [rng.uniform(-1.0, 1.0) for _ in range(count)]

    def __call__(self, theta):
        n = len(self.v)
        x = (theta / (2 * math.pi)) % 1.0 * n
        i = int(x)
        f = x - i
        f = f * f * (3 - 2 * f)
        return self.v[i % n] * (1 - f) + self.v[(i + 1) % n] * f


def face_shade(r, theta, rings, wobble):
    # base metal tone, slightly darker towards the rim of the face
    v = 0.66 - 0.07 * (r / FACE) ** 2
    # turning marks: brightness follows the radius, perturbed a little around the circle
    amp = smoothstep(0.0, 0.6 * FACE, r)
    rr = r + amp * (0.35 * wobble(theta) + 0.15 * wobble(theta * 3.0 + 1.0))
    v += 0.07 * rings(rr)
    # anisotropic sheen of concentric brushing: bright wedges along the light direction
    # (stronger on the lit side), dim across it
    c = math.cos(theta - LIGHT)
    lobe = (c * c) ** 2
    side = 0.72 + 0.28 * c
    radial = smoothstep(0.05 * FACE, 0.45 * FACE, r) * (1.0 - 0.35 * smoothstep(0.7 * FACE, FACE, r))
    v += 0.24 * lobe * side * radial
    v -= 0.05 * (1.0 - c * c) * radial
    # the rings catch the sheen more than the flat: modulate the marks inside the lobes
    v += 0.05 * lobe * rings(rr * 1.7 + 3.0) * radial
    return v


# centre of the soft broad highlight: up and to the left
HIGHLIGHT_X = CENTER - 0.38 * FACE
HIGHLIGHT_Y = CENTER - 0.42 * FACE


def shade(px, py, rings, rings2, wobble):
    """Brightness of the metal at a point (px, py) inside the disc."""
    dx = px - CENTER
    dy = py - CENTER
    r = math.hypot(dx, dy)
    theta = math.atan2(dy, dx)
    c = math.cos(theta - LIGHT)
    fr = min(r, FACE)
    v = face_shade(fr, theta, rings, wobble)
    # soft broad highlight from the top left (on the rim it continues from the face's edge)
    k = fr / max(r, 1e-9)
    d2 = (CENTER + dx * k - HIGHLIGHT_X) ** 2 + (CENTER + dy * k - HIGHLIGHT_Y) ** 2
    v += 0.12 * math.exp(-d2 / (0.55 * FACE) ** 2)
    # chamfered rim: a surface tilted outwards, lit by the light from the top left
    t = (r - FACE) / BEVEL  # 0 at the face edge, 1 at the outer edge
    rim = 0.47 + 0.36 * c + 0.04 * rings2(r * 3.0) - 0.10 * smoothstep(0.6, 1.0, t)
    # blend face and rim over a fraction of a pixel (the supersampling smooths the rest)
    w = smoothstep(-0.25, 0.25, r - FACE)
    v = v * (1.0 - w) + rim * w
    # a thin dark groove where the face meets the chamfer, and a light edge just inside it
    v -= 0.16 * math.exp(-((r - FACE - 0.3) / 0.7) ** 2)
    v += 0.06 * (0.5 + 0.5 * c) * math.exp(-((r - FACE + 1.3) / 0.6) ** 2)
    # the outermost edge darkens into the shadow under the cap
    v -= 0.18 * smoothstep(OUTER - 1.8, OUTER, r)
    return v


EDGE_RGB = bytes(int(round(255 * 0.30 * t)) for t in TINT)

SUB = 4  # subsamples per pixel and axis: the fine rings would alias without them


def render_cap():
    rings = RingNoise(1907, OUTER + 2, step=0.45)
    rings2 = RingNoise(2213, OUTER + 2, step=0.5)
    wobble = AngleNoise(77)
    grain = random.Random(4242)
    offsets = [(i + 0.5) / SUB - 0.5 for i in range(SUB)]
    rows = []
    # pixel centres of the written image, in the geometry's pixels
    at = [(i + 0.5) / RESOLUTION - 0.5 for i in range(SIZE * RESOLUTION)]
    offsets = [o / RESOLUTION for o in offsets]
    for y in at:
        row = bytearray()
        for x in at:
            r = math.hypot(x - CENTER, y - CENTER)
            coverage = clamp((OUTER - r) * RESOLUTION + 0.5)
            g = grain.random()
            if coverage <= 0.0:
                # fully transparent, but coloured like the rim's edge, so that a resampler
                # working on straight alpha does not pull a dark fringe into the edge
                row += EDGE_RGB + b"\x00"
                continue
            total = 0.0
            for oy in offsets:
                for ox in offsets:
                    total += shade(x + ox, y + oy, rings, rings2, wobble)
            v = total / (SUB * SUB)
            # very fine grain so the metal does not look like plastic
            v = clamp(v + 0.012 * (g - 0.5))
            row += bytes(
                (
                    int(round(255 * clamp(v * TINT[0]))),
                    int(round(255 * clamp(v * TINT[1]))),
                    int(round(255 * clamp(v * TINT[2]))),
                    int(round(255 * coverage)),
                )
            )
        rows.append(row)
    return rows


def render_fallback(size=16):
    rows = []
    for y in range(size):
        row = bytearray()
        for x in range(size):
            edge = x == 0 or y == 0 or x == size - 1 or y == size - 1
            g = 80 if edge else 128
            row += bytes((g, g, g, 255))
        rows.append(row)
    return rows


POINTER_RGB = (255, 164, 64)  # the layout's pointerColor
OUTLINE_RGB = (0, 0, 0)
ICON_SIZES = (16, 32, 48, 64, 256)


def scale_down(rows, size, n):
    """Area average of a size x size RGBA image into n x n, weighting colour by alpha."""
    out = []
    for y in range(n):
        y0, y1 = y * size // n, (y + 1) * size // n
        row = bytearray()
        for x in range(n):
            x0, x1 = x * size // n, (x + 1) * size // n
            r = g = b = a = 0
            for src in rows[y0:y1]:
                for i in range(x0 * 4, x1 * 4, 4):
                    w = src[i + 3]
                    r += src[i] * w
                    g += src[i + 1] * w
                    b += src[i + 2] * w
                    a += w
            count = (y1 - y0) * (x1 - x0)
            if a == 0:
                row += EDGE_RGB + b"\x00"
            else:
                row += bytes((r // a, g // a, b // a, (a + count // 2) // count))
        out.append(row)
    return out


def segment_distance(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    t = clamp(((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy))
    return math.hypot(px - ax - t * dx, py - ay - t * dy)


def draw_pointer(rows, n):
    """The pointer straight up from 0.3 to 0.82 of the cap's radius, with a thin dark outline,
    anti-aliased by 4 x 4 subsamples and laid over the cap."""
    radius = n / 2.0 * OUTER / (SIZE / 2.0)
    c = n / 2.0
    half = max(0.07 * radius, 1.1)
    outline = max(0.03 * radius, 0.35)
    offsets = [(i + 0.5) / SUB for i in range(SUB)]
    for y in range(n):
        row = rows[y]
        for x in range(n):
            body = edge = 0
            for oy in offsets:
                for ox in offsets:
                    d = segment_distance(x + ox, y + oy, c, c - 0.3 * radius, c, c - 0.82 * radius)
                    if d <= half:
                        body += 1
                    elif d <= half + outline:
                        edge += 1
            if body == 0 and edge == 0:
                continue
            i = x * 4
            a = row[i + 3] / 255.0
            for k in range(3):
                mixed = (body * POINTER_RGB[k] + edge * OUTLINE_RGB[k]) / (SUB * SUB)
                cover = (body + edge) / (SUB * SUB)
                row[i + k] = int(round(row[i + k] * (1.0 - cover) + mixed))
            row[i + 3] = int(round(255 * (a + (1.0 - a) * (body + edge) / (SUB * SUB))))


def knob(cap_rows, cap_size, n):
    """The cap at n x n pixels with the pointer at 0 ms: the icon's and the side picture's knob."""
    rows = [bytearray(r) for r in cap_rows] if n == cap_size else scale_down(cap_rows, cap_size, n)
    draw_pointer(rows, n)
    return rows


def icon_bytes(cap_rows, cap_size):
    """An .ico whose images are PNGs, as Windows has read them since Vista."""
    images = []
    for n in ICON_SIZES:
        images.append((n, png_bytes(n, n, knob(cap_rows, cap_size, n))))
    header = struct.pack("<HHH", 0, 1, len(images))
    offset = len(header) + 16 * len(images)
    entries = b""
    for n, data in images:
        # a width or height of 0 means 256
        entries += struct.pack("<BBBBHHII", n % 256, n % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return header + entries + b"".join(data for _, data in images)


SIDE_WIDTH, SIDE_HEIGHT = 164, 314
SIDE_KNOB = 120  # the knob's size in the picture
BACKGROUND_TOP = (50, 53, 59)  # the editor's background gradient (layout.json)
BACKGROUND_BOTTOM = (22, 23, 27)


def side_bitmap(cap_rows, cap_size):
    """A 24-bit bottom-up BMP, the only kind the installer's pages take."""
    n = SIDE_KNOB
    knob_rows = knob(cap_rows, cap_size, n)
    left = (SIDE_WIDTH - n) // 2
    top = 64
    centre_x, centre_y = left + n / 2.0, top + n / 2.0
    rows = []
    for y in range(SIDE_HEIGHT):
        t = y / (SIDE_HEIGHT - 1.0)
        ground = [a + (b - a) * t for a, b in zip(BACKGROUND_TOP, BACKGROUND_BOTTOM)]
        row = bytearray()
        for x in range(SIDE_WIDTH):
            # the shadow falls down and to the right, as in the editor
            d = math.hypot(x + 0.5 - centre_x - 5.0, y + 0.5 - centre_y - 5.0) - n / 2.0
            dark = 1.0 - 0.6 * (1.0 - smoothstep(-4.0, 9.0, d))
            pixel = [v * dark for v in ground]
            kx, ky = x - left, y - top
            if 0 <= kx < n and 0 <= ky < n:
                k = knob_rows[ky]
                a = k[kx * 4 + 3] / 255.0
                pixel = [k[kx * 4 + c] * a + pixel[c] * (1.0 - a) for c in range(3)]
            row += bytes(int(round(pixel[c])) for c in (2, 1, 0))
        row += bytes(-len(row) % 4)
        rows.append(bytes(row))
    pixels = b"".join(reversed(rows))
    header = struct.pack("<2sIHHI", b"BM", 54 + len(pixels), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, SIDE_WIDTH, SIDE_HEIGHT, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    return header + info + pixels


def main():
    os.makedirs(OUT, exist_ok=True)
    cap = render_cap()
    for name, size, rows in (
        ("knob-cap.png", SIZE * RESOLUTION, cap),
        ("fallback.png", 16, render_fallback()),
    ):
        path = os.path.join(OUT, name)
        n = write_png(path, size, size, rows)
        print("make_images: wrote %s (%d bytes)" % (os.path.relpath(path, ROOT), n))
    for name, data in (
        ("quenvale.ico", icon_bytes(cap, SIZE * RESOLUTION)),
        ("installer-side.bmp", side_bitmap(cap, SIZE * RESOLUTION)),
    ):
        path = os.path.join(ROOT, "packaging", name)
        with open(path, "wb") as f:
            f.write(data)
        print("make_images: wrote %s (%d bytes)" % (os.path.relpath(path, ROOT), len(data)))


if __name__ == "__main__":
    main()
