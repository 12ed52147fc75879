#!/usr/bin/env python3
"""Draws the program's icon, a disc with an arrow into it, into an .ico of four sizes.

16, 32 and 48 pixels as 32-bit bitmaps with an alpha channel (which Windows XP reads) and 256
pixels as a PNG (which Vista and later read; XP passes it over for the smaller ones). The same
drawing at every size, in a 32-unit square, each pixel the average of 4 x 4 samples.

Run by hand when the drawing changes: tools/make_icon.py app/brenmira.ico
"""
import math
import struct
import sys
import zlib

NAVY, TEAL, SILVER = (0, 0, 128), (0, 128, 128), (192, 192, 192)
GRAY, BLUE, AQUA, WHITE = (128, 128, 128), (0, 0, 255), (0, 255, 255), (255, 255, 255)
SIZES = (16, 32, 48, 256)
SAMPLES = 4  # per pixel, in each direction


def colour_at(x, y):
    """The drawing's colour at (x, y) in units of a 32-unit square, None where transparent."""
    # An arrow pointing down into the disc, at the top right: a shaft, then its head.
    if 1 <= y < 19:
        half = 2 if y < 11.5 else 19 - y
        dx = abs(x - 25)
        if dx <= half + 1:
            return BLUE if dx <= half and 2 <= y < 17 else NAVY
    cx, cy, radius = 13.5, 18.5, 12.5
    dx, dy = x - cx, y - cy
    d = math.hypot(dx, dy)
    if d > radius or d < 2.5:
        return None  # outside the disc, or its hole
    if d > radius - 1.2 or d < 3.7:
        return GRAY  # rims
    if 6 < d < 9 and dx < 0 < -dy:
        return AQUA if d < 7.5 else TEAL  # light on the surface
    return WHITE if d < 5 else SILVER


def draw(size):
    """Returns size x size (r, g, b, a) pixels, top row first."""
    unit = 32 / size / SAMPLES
    rows = []
    for row in range(size):
        pixels = []
        for column in range(size):
            seen = [colour_at((column * SAMPLES + i + 0.5) * unit, (row * SAMPLES + j + 0.5) * unit)
                    for j in range(SAMPLES) for i in range(SAMPLES)]
            solid = [c for c in seen if c is not None]
            if not solid:
                pixels.append((0, 0, 0, 0))
                continue
            # Colours averaged over the covered samples only, so that edges do not darken.
            r, g, b = (round(sum(c[k] for c in solid) / len(solid)) for k in range(3))
            pixels.append((r, g, b, round(255 * len(solid) / len(seen))))
        rows.append(pixels)
    return rows


def bitmap(rows):
    """A 32-bit icon image: header, BGRA pixels bottom-up, and the mask of transparent pixels."""
    size = len(rows)
    xor = b''.join(bytes(v for r, g, b, a in row for v in (b, g, r, a)) for row in reversed(rows))
    stride = (size + 31) // 32 * 4
    mask = b''
    for row in reversed(rows):
        bits = 0
        for r, g, b, a in row:
            bits = (bits << 1) | (a == 0)
        mask += (bits << (stride * 8 - size)).to_bytes(stride, 'big')
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, len(xor) + len(mask), 0, 0,
                         0, 0)
    return header + xor + mask


def png(rows):
    size = len(rows)
    raw = b''.join(b'\0' + bytes(v for pixel in row for v in pixel) for row in rows)

    def chunk(kind, data):
        return (struct.pack('>I', len(data)) + kind + data +
                struct.pack('>I', zlib.crc32(kind + data)))
    return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', size, size, 8, 6, 0, 0, 0))
            + chunk(b'IDAT', zlib.compress(raw, 9)) + chunk(b'IEND', b''))


def ico():
    images = [png(draw(size)) if size == 256 else bitmap(draw(size)) for size in SIZES]
    directory = struct.pack('<HHH', 0, 1, len(images))
    offset = len(directory) + 16 * len(images)
    for size, image in zip(SIZES, images):
        directory += struct.pack('<BBBBHHII', size % 256, size % 256, 0, 0, 1, 32, len(image),
                                 offset)
        offset += len(image)
    return directory + b''.join(images)


if __name__ == '__main__':
    with open(sys.argv[1], 'wb') as out:
        out.write(ico())
