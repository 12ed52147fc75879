#!/usr/bin/env python3
"""Draws the program's icon, a disc with an arrow into it, as a 32 x 32 16-colour .ico.

Run by hand when the drawing changes: tools/make_icon.py app/brenmira.ico
"""
import math
import struct
import sys

# The standard 16-colour palette, as (r, g, b).
PALETTE = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
           (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
           (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]
BLACK, NAVY, TEAL, SILVER, GRAY, BLUE, AQUA, WHITE = 0, 4, 6, 7, 8, 12, 14, 15
SIZE = 32


def draw():
    """Returns SIZE x SIZE palette indices, None where transparent."""
    pixels = [[None] * SIZE for _ in range(SIZE)]
    cx, cy, radius = 13.5, 18.5, 12.5
    for y in range(SIZE):
        for x in range(SIZE):
            dx, dy = x + 0.5 - cx, y + 0.5 - cy
            d = math.hypot(dx, dy)
            if d > radius or d < 2.5:
                continue  # outside the disc, or its hole
            if d > radius - 1.2 or d < 3.7:
                pixels[y][x] = GRAY  # rims
            elif 6 < d < 9 and dx < 0 < -dy:
                pixels[y][x] = AQUA if d < 7.5 else TEAL  # light on the surface
            elif d < 5:
                pixels[y][x] = WHITE
            else:
                pixels[y][x] = SILVER
    # An arrow pointing down into the disc, at the top right.
    for y in range(1, 19):
        half = 2 if y < 11 else 19 - y - 0.5
        for x in range(SIZE):
            dx = abs(x + 0.5 - 25)
            if dx <= half + 1 and (y < 18 or dx < 1):
                inner = dx <= half and 1 < y < 17
                pixels[y][x] = BLUE if inner else NAVY
    return pixels


def ico(pixels):
    xor = b''
    mask = b''
    for row in reversed(pixels):  # bottom-up
        xor += bytes(((row[x] or 0) << 4) | (row[x + 1] or 0) for x in range(0, SIZE, 2))
        bits = 0
        for x in range(SIZE):
            bits = (bits << 1) | (row[x] is None)
        mask += struct.pack('>I', bits)
    palette = b''.join(struct.pack('<BBBB', b, g, r, 0) for r, g, b in PALETTE)
    header = struct.pack('<IiiHHIIiiII', 40, SIZE, SIZE * 2, 1, 4, 0, len(xor) + len(mask), 0, 0,
                         16, 0)
    image = header + palette + xor + mask
    return struct.pack('<HHH', 0, 1, 1) + struct.pack('<BBBBHHII', SIZE, SIZE, 16, 0, 1, 4,
                                                      len(image), 22) + image


if __name__ == '__main__':
    with open(sys.argv[1], 'wb') as out:
        out.write(ico(draw()))
