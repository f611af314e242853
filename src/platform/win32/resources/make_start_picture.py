#!/usr/bin/env python3
"""Draws the start-game button's picture (a crimson plaque with a gold rim, a gold disc holding a play
triangle, and three gold chevrons pointing on) and writes start_game.ico, one 176x48 image with an
alpha channel. No text: the picture says "go". Run once after changing the drawing; the .ico is
committed."""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from make_icon import icon_bitmap, write_ico  # noqa: E402

WIDTH, HEIGHT = 176, 48
SAMPLES = 4  # per axis, for smooth edges


def inside_rounded(x, y, left, top, right, bottom, radius):
    dx = max(left + radius - x, 0, x - (right - radius))
    dy = max(top + radius - y, 0, y - (bottom - radius))
    return dx * dx + dy * dy <= radius * radius


def inside_triangle(x, y, a, b, c):
    def side(p, q):
        return (q[0] - p[0]) * (y - p[1]) - (q[1] - p[1]) * (x - p[0])
    s1, s2, s3 = side(a, b), side(b, c), side(c, a)
    return (s1 >= 0 and s2 >= 0 and s3 >= 0) or (s1 <= 0 and s2 <= 0 and s3 <= 0)


def inside_chevron(x, y, tip_x, mid_y, depth, half_height, thickness):
    """A ">" of the given thickness whose point lies at (tip_x, mid_y)."""
    dy = abs(y - mid_y)
    if dy > half_height:
        return False
    back = tip_x - depth * dy / half_height
    return back - thickness <= x <= back


def sample(x, y):
    """Colour (r, g, b, a) at a point, before averaging."""
    gold = (236, 190, 74)
    if not inside_rounded(x, y, 0, 0, WIDTH, HEIGHT, 10):
        return (0, 0, 0, 0)
    if not inside_rounded(x, y, 2, 2, WIDTH - 2, HEIGHT - 2, 8.5):
        return gold + (255,)
    t = y / HEIGHT
    plaque = (int(176 - 70 * t), int(32 - 14 * t), int(36 - 12 * t), 255)
    cx, cy, r = 30, HEIGHT / 2, 16
    if (x - cx) ** 2 + (y - cy) ** 2 <= r * r:
        if inside_triangle(x, y, (24, cy - 9), (24, cy + 9), (40, cy)):
            return (120, 18, 24, 255)
        shade = 1.0 - 0.2 * (y - (cy - r)) / (2 * r)
        return (int(gold[0] * shade), int(gold[1] * shade), int(gold[2] * shade), 255)
    for i, alpha in enumerate((255, 200, 140)):
        if inside_chevron(x, y, 92 + 26 * i, cy, 12, 13, 7):
            # Fainter towards the far end, blended onto the plaque.
            a = alpha / 255
            return tuple(int(gold[k] * a + plaque[k] * (1 - a)) for k in range(3)) + (255,)
    return plaque


def draw():
    """Returns WIDTH*HEIGHT BGRA pixels, top row first."""
    px = []
    for y in range(HEIGHT):
        for x in range(WIDTH):
            acc = [0, 0, 0, 0]
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    r, g, b, a = sample(x + (sx + 0.5) / SAMPLES, y + (sy + 0.5) / SAMPLES)
                    acc[0] += r * a
                    acc[1] += g * a
                    acc[2] += b * a
                    acc[3] += a
            n = SAMPLES * SAMPLES
            alpha = acc[3] / n
            if alpha == 0:
                px.append((0, 0, 0, 0))
            else:
                # Straight (not premultiplied) colour, as icons keep it.
                px.append((int(acc[2] / acc[3]), int(acc[1] / acc[3]), int(acc[0] / acc[3]), int(alpha)))
    return px


def main(path):
    write_ico(path, [(WIDTH, HEIGHT, icon_bitmap(draw(), WIDTH, HEIGHT))])


if __name__ == '__main__':
    main(sys.argv[1] if len(sys.argv) > 1 else 'start_game.ico')
