#!/usr/bin/env python3
"""Draws Quorvane's icon (a gold puzzle-piece emblem on a deep blue rounded tile) and writes
quorvane.ico with 32x32 and 16x16 images. Run once after changing the drawing; the .ico is committed."""
import struct
import sys


def draw(size):
    """Returns size*size BGRA pixels, top row first."""
    px = []
    r_tile = size * 0.2
    for y in range(size):
        for x in range(size):
            cx, cy = x + 0.5, y + 0.5
            # Rounded square tile.
            dx = max(r_tile - cx, 0, cx - (size - r_tile))
            dy = max(r_tile - cy, 0, cy - (size - r_tile))
            inside_tile = dx * dx + dy * dy <= r_tile * r_tile
            if not inside_tile:
                px.append((0, 0, 0, 0))
                continue
            # Vertical gradient of the tile: blue to darker blue.
            t = cy / size
            color = (int(170 - 60 * t), int(90 - 40 * t), int(30 - 10 * t), 255)
            # Puzzle piece: a square body with a round knob on top and on the right.
            u, v = cx / size, cy / size
            body = 0.22 <= u <= 0.70 and 0.34 <= v <= 0.82
            knob_top = (u - 0.46) ** 2 + (v - 0.28) ** 2 <= 0.09 ** 2
            knob_right = (u - 0.76) ** 2 + (v - 0.58) ** 2 <= 0.09 ** 2
            notch_left = (u - 0.22) ** 2 + (v - 0.58) ** 2 <= 0.07 ** 2
            if (body or knob_top or knob_right) and not notch_left:
                shade = 1.0 - 0.25 * v
                color = (int(40 * shade), int(190 * shade), int(250 * shade), 255)
            px.append(color)
    return px


def icon_bitmap(pixels, width, height):
    """One image of an .ico file: a 32-bit bitmap (stored bottom row first, at double height as icons
    are) followed by the AND mask, which marks the fully transparent pixels."""
    header = struct.pack('<IiiHHIIiiII', 40, width, height * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    rows = [pixels[y * width:(y + 1) * width] for y in range(height)]
    xor = b''.join(bytes(c) for row in reversed(rows) for c in row)
    mask_row_bytes = ((width + 31) // 32) * 4
    and_mask = b''
    for row in reversed(rows):
        out = bytearray(mask_row_bytes)
        for x, c in enumerate(row):
            if c[3] == 0:
                out[x // 8] |= 0x80 >> (x % 8)
        and_mask += bytes(out)
    return header + xor + and_mask


def write_ico(path, images):
    """Writes an .ico file of (width, height, icon_bitmap) images."""
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for width, height, data in images:
        out += struct.pack('<BBBBHHII', width % 256, height % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    out += b''.join(data for _, _, data in images)
    with open(path, 'wb') as f:
        f.write(out)


def main(path):
    write_ico(path, [(s, s, icon_bitmap(draw(s), s, s)) for s in (32, 16)])


if __name__ == '__main__':
    main(sys.argv[1] if len(sys.argv) > 1 else 'quorvane.ico')
