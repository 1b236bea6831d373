#!/usr/bin/env python3
"""Draws Varnholt's icon, a pair of square brackets around three phrase lines on a blue tile,
as a 16-colour .ico holding a 16x16 and a 32x32 image. Run it to regenerate varnholt.ico."""
import os
import struct

# The standard 16-colour palette, as (blue, green, red, 0) for the DIB colour table.
PALETTE = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
           (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
           (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]
TRANSPARENT, NAVY, BLUE, WHITE, YELLOW = None, 4, 12, 15, 11


def draw(size):
    """Returns rows (top first) of palette indices, None where the icon is transparent."""
    s = size / 32.0
    pixels = [[TRANSPARENT] * size for _ in range(size)]

    def fill(x0, y0, x1, y1, colour):
        for y in range(int(y0 * s), max(int(y0 * s) + 1, int(y1 * s))):
            for x in range(int(x0 * s), max(int(x0 * s) + 1, int(x1 * s))):
                pixels[y][x] = colour

    fill(1, 1, 31, 31, NAVY)     # the tile's border
    fill(2, 2, 30, 30, BLUE)     # the tile
    for x0, x1 in ((5, 7), (25, 27)):           # bracket stems
        fill(x0, 6, x1, 26, WHITE)
    fill(5, 6, 10, 8, WHITE)     # "[" serifs
    fill(5, 24, 10, 26, WHITE)
    fill(22, 6, 27, 8, WHITE)    # "]" serifs
    fill(22, 24, 27, 26, WHITE)
    for y in (10, 15, 20):       # the phrases between them
        fill(11, y, 21, y + 2, YELLOW)
    for corner_x, corner_y in ((1, 1), (30, 1), (1, 30), (30, 30)):
        fill(corner_x, corner_y, corner_x + 1, corner_y + 1, TRANSPARENT)
    return pixels


def dib(size):
    pixels = draw(size)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    colours = b''.join(struct.pack('<BBBB', b, g, r, 0) for (r, g, b) in PALETTE)
    xor_rows, and_rows = [], []
    for row in reversed(pixels):  # DIBs are stored bottom-up
        nibbles = [0 if p is None else p for p in row]
        packed = bytes((nibbles[i] << 4) | nibbles[i + 1] for i in range(0, size, 2))
        xor_rows.append(packed + b'\0' * (-len(packed) % 4))
        bits = 0
        for p in row:
            bits = (bits << 1) | (1 if p is None else 0)
        mask = bits.to_bytes(size // 8, 'big')
        and_rows.append(mask + b'\0' * (-len(mask) % 4))
    return header + colours + b''.join(xor_rows) + b''.join(and_rows)


def icon_file(sizes):
    images = [dib(size) for size in sizes]
    offset = 6 + 16 * len(images)
    directory = struct.pack('<HHH', 0, 1, len(images))
    for size, image in zip(sizes, images):
        directory += struct.pack('<BBBBHHII', size, size, 16, 0, 1, 4, len(image), offset)
        offset += len(image)
    return directory + b''.join(images)


if __name__ == '__main__':
    here = os.path.dirname(os.path.abspath(__file__))
    with open(os.path.join(here, 'varnholt.ico'), 'wb') as out:
        out.write(icon_file([16, 32]))
