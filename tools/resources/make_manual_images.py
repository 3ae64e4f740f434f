#!/usr/bin/env python3
"""Remakes the manual's picture (Python 3 standard library only).

    python3 tools/resources/make_manual_images.py

Writes resources/manual/images/timeline.png: the same drum hit on three tracks of a timeline.
The top track is unchanged (badge "0"); the middle one, with a positive delay (badge "+"),
plays later; the bottom one, with a negative delay (badge "-") that the host's delay
compensation turns into an earlier start, plays earlier. A dashed red line marks where the hit
was, arrows show the shift. The picture has no words, so both language versions of the manual
share it; the pages' captions explain it. Everything is drawn with analytic anti-aliasing, and
the output is the same bytes on every run.
"""

import math
import os
import sys

sys.dont_write_bytecode = True  # keep tools/resources free of __pycache__
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from pngwrite import write_png  # noqa: E402

ROOT = os.path.abspath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
OUT = os.path.join(ROOT, "resources", "manual", "images")

W, H = 640, 236
BG = (255, 255, 255)
GRID = (222, 224, 228)
GRID_STRONG = (196, 199, 205)
AXIS = (120, 124, 132)
REF = (200, 60, 60)
ROWS = [
    # badge kind, clip start x, fill, outline/wave, arrow colour
    ("zero", 250, (214, 222, 234), (92, 110, 138), None),
    ("plus", 330, (248, 222, 190), (196, 110, 28), (196, 110, 28)),
    ("minus", 170, (196, 232, 226), (28, 128, 116), (28, 128, 116)),
]
ROW_TOP = 14
ROW_H = 66
CLIP_W = 250
CLIP_H = 34
LEFT = 72  # start of the timeline, right of the badges
RIGHT = W - 12
REF_X = 250


class Canvas:
    def __init__(self, w, h, color):
        self.w = w
        self.h = h
        self.px = [list(color) for _ in range(w * h)]

    def blend(self, x, y, color, a):
        if a <= 0.0 or x < 0 or y < 0 or x >= self.w or y >= self.h:
            return
        a = min(a, 1.0)
        p = self.px[y * self.w + x]
        for i in range(3):
            p[i] = p[i] * (1.0 - a) + color[i] * a

    def shape(self, bbox, sdf, color, alpha=1.0):
        """Fills the set where sdf(x, y) < 0, anti-aliased over one pixel."""
        x0, y0, x1, y1 = (int(math.floor(bbox[0])) - 1, int(math.floor(bbox[1])) - 1,
                          int(math.ceil(bbox[2])) + 1, int(math.ceil(bbox[3])) + 1)
        for y in range(max(0, y0), min(self.h, y1 + 1)):
            for x in range(max(0, x0), min(self.w, x1 + 1)):
                d = sdf(x + 0.5, y + 0.5)
                cov = 0.5 - d
                if cov > 0.0:
                    self.blend(x, y, color, alpha * min(cov, 1.0))

    def rows(self):
        out = []
        for y in range(self.h):
            row = bytearray()
            for x in range(self.w):
                p = self.px[y * self.w + x]
                row += bytes(max(0, min(255, int(round(c)))) for c in p)
            out.append(row)
        return out


def sd_round_rect(cx, cy, hw, hh, r):
    def f(x, y):
        qx = abs(x - cx) - hw + r
        qy = abs(y - cy) - hh + r
        outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
        return outside + min(max(qx, qy), 0.0) - r
    return f


def sd_segment(ax, ay, bx, by, half_width):
    def f(x, y):
        px, py = x - ax, y - ay
        dx, dy = bx - ax, by - ay
        t = max(0.0, min(1.0, (px * dx + py * dy) / (dx * dx + dy * dy)))
        return math.hypot(px - dx * t, py - dy * t) - half_width
    return f


def sd_circle(cx, cy, r):
    return lambda x, y: math.hypot(x - cx, y - cy) - r


def sd_ring(cx, cy, r, half_width):
    return lambda x, y: abs(math.hypot(x - cx, y - cy) - r) - half_width


def sd_ellipse_ring(cx, cy, rx, ry, half_width):
    # first-order distance to an ellipse: the implicit function over its gradient's length
    def f(x, y):
        u, v = (x - cx) / rx, (y - cy) / ry
        n = math.hypot(u, v)
        if n < 1e-9:
            return min(rx, ry) - half_width
        g = math.hypot(u / rx, v / ry) / n
        return abs(n - 1.0) / g - half_width
    return f


def sd_triangle(p0, p1, p2):
    pts = [p0, p1, p2]

    def f(x, y):
        d = float("inf")
        sign = 0
        for i in range(3):
            ax, ay = pts[i]
            bx, by = pts[(i + 1) % 3]
            ex, ey = bx - ax, by - ay
            wx, wy = x - ax, y - ay
            t = max(0.0, min(1.0, (wx * ex + wy * ey) / (ex * ex + ey * ey)))
            d = min(d, math.hypot(wx - ex * t, wy - ey * t))
            cross = ex * wy - ey * wx
            sign += 1 if cross > 0 else -1
        inside = abs(sign) == 3
        return -d if inside else d
    return f


def draw_dashed_vline(cv, x, y0, y1, color, dash=6, gap=4, width=1.5):
    y = y0
    while y < y1:
        e = min(y + dash, y1)
        cv.shape((x - 2, y - 1, x + 2, e + 1), sd_segment(x, y, x, e, width / 2), color)
        y += dash + gap


def waveform(t):
    """A drum hit and a softer second hit: amplitude (0 ... 1) at t pixels after the onset."""
    if t < 0:
        return 0.0
    a = math.exp(-t / 38.0) * (0.55 + 0.45 * abs(math.sin(t * 0.55)))
    if t < 2.0:
        a *= t / 2.0
    t2 = t - 125.0
    if t2 >= 0:
        b = 0.55 * math.exp(-t2 / 30.0) * (0.55 + 0.45 * abs(math.sin(t2 * 0.6 + 1.0)))
        if t2 < 2.0:
            b *= t2 / 2.0
        a = max(a, b)
    return a


def draw_clip(cv, x0, cy, fill, ink):
    x1 = x0 + CLIP_W
    hw, hh = CLIP_W / 2.0, CLIP_H / 2.0
    cx = x0 + hw
    cv.shape((x0, cy - hh, x1, cy + hh), sd_round_rect(cx, cy, hw, hh, 5), ink)
    cv.shape((x0, cy - hh, x1, cy + hh), sd_round_rect(cx, cy, hw - 1.2, hh - 1.2, 4), fill)
    # waveform: one column per pixel, symmetric about the clip's centre line
    amp = hh - 4.0
    for x in range(int(x0) + 2, int(x1) - 2):
        a = waveform(x + 0.5 - x0 - 3.0) * amp
        a = max(a, 0.35)
        top, bottom = cy - a, cy + a
        for y in range(int(math.floor(top)), int(math.ceil(bottom)) + 1):
            cov = min(y + 1.0, bottom) - max(float(y), top)
            if cov > 0:
                cv.blend(x, y, ink, cov)


def draw_arrow(cv, xa, xb, y, color):
    direction = 1 if xb > xa else -1
    head = 9.0
    shaft_end = xb - direction * (head - 1.0)
    cv.shape((min(xa, shaft_end) - 2, y - 2, max(xa, shaft_end) + 2, y + 2),
             sd_segment(xa, y, shaft_end, y, 1.25), color)
    tip = (xb, y)
    back = xb - direction * head
    cv.shape((min(back, xb) - 1, y - 6, max(back, xb) + 1, y + 6),
             sd_triangle(tip, (back, y - 5.5), (back, y + 5.5)), color)
    # a short stub at the start, on the original onset
    cv.shape((xa - 2, y - 6, xa + 2, y + 6), sd_segment(xa, y - 5, xa, y + 5, 1.0), color)


def draw_badge(cv, kind, cx, cy, color):
    cv.shape((cx - 16, cy - 16, cx + 16, cy + 16), sd_circle(cx, cy, 14.5), color)
    white = (255, 255, 255)
    if kind == "zero":
        cv.shape((cx - 10, cy - 10, cx + 10, cy + 10), sd_ellipse_ring(cx, cy, 4.6, 7.2, 1.5), white)
    else:
        cv.shape((cx - 9, cy - 3, cx + 9, cy + 3), sd_segment(cx - 7.5, cy, cx + 7.5, cy, 1.6), white)
        if kind == "plus":
            cv.shape((cx - 3, cy - 9, cx + 3, cy + 9), sd_segment(cx, cy - 7.5, cx, cy + 7.5, 1.6), white)


def render():
    cv = Canvas(W, H, BG)
    bottom = ROW_TOP + ROW_H * len(ROWS)
    # track lanes, alternating shade
    for i in range(len(ROWS)):
        y0 = ROW_TOP + i * ROW_H
        if i % 2 == 1:
            for y in range(y0, y0 + ROW_H):
                for x in range(LEFT, RIGHT):
                    cv.blend(x, y, (240, 242, 245), 1.0)
    # beat grid: a strong line every 160 px, a light one every 40 px
    x = LEFT + 10
    k = 0
    while x < RIGHT:
        color = GRID_STRONG if k % 4 == 0 else GRID
        for y in range(ROW_TOP, bottom):
            cv.blend(x, y, color, 1.0)
        x += 40
        k += 1
    # time axis with ticks and an arrowhead pointing to the right (time runs left to right)
    axis_y = bottom + 12
    cv.shape((LEFT, axis_y - 2, RIGHT, axis_y + 2), sd_segment(LEFT, axis_y, RIGHT - 8, axis_y, 0.9), AXIS)
    cv.shape((RIGHT - 12, axis_y - 6, RIGHT, axis_y + 6),
             sd_triangle((RIGHT, axis_y), (RIGHT - 10, axis_y - 4.5), (RIGHT - 10, axis_y + 4.5)), AXIS)
    x = LEFT + 10
    k = 0
    while x < RIGHT - 14:
        h = 5 if k % 4 == 0 else 3
        cv.shape((x - 2, axis_y - h - 1, x + 2, axis_y + 1), sd_segment(x, axis_y - h, x, axis_y, 0.7), AXIS)
        x += 40
        k += 1
    # clips, badges, arrows
    for i, (kind, start, fill, ink, arrow) in enumerate(ROWS):
        y0 = ROW_TOP + i * ROW_H
        clip_cy = y0 + ROW_H - 6 - CLIP_H / 2.0
        draw_badge(cv, kind, 34, y0 + ROW_H / 2.0, ink)
        draw_clip(cv, start, clip_cy, fill, ink)
        if arrow is not None:
            draw_arrow(cv, REF_X, start, y0 + 12, arrow)
    # where the hit was: a dashed red line over all three lanes
    draw_dashed_vline(cv, REF_X, ROW_TOP + 2, bottom + 4, REF, width=1.6)
    return cv


def main():
    os.makedirs(OUT, exist_ok=True)
    cv = render()
    path = os.path.join(OUT, "timeline.png")
    n = write_png(path, W, H, cv.rows(), alpha=False)
    print("make_manual_images: wrote %s (%d bytes)" % (os.path.relpath(path, ROOT), n))


if __name__ == "__main__":
    main()
