#!/usr/bin/env python3
"""Draws the installer's icon, a 32 x 32 tachometer dial in the standard
16-colour VGA palette, as a plain .ico with one 4-bit image and its
transparency mask, as Windows 95 expects.

    scripts/make-icon.py [OUTPUT]      (default: resources/tachinst.ico)
"""
import math
import os
import struct
import sys

# The standard 16-colour palette (R, G, B).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, DARK_BLUE, GREY, RED, YELLOW, WHITE = 0, 4, 8, 9, 11, 15
SIZE = 32


def draw():
    """Returns rows of (colour index or None for transparent), top first."""
    cx = cy = 15.5
    # The dial: a white face in a dark blue rim, transparent outside.
    pixels = [[None if r > 15.5 else DARK_BLUE if r > 13.5 else WHITE
               for r in (math.hypot(x - cx, y - cy) for x in range(SIZE))] for y in range(SIZE)]
    # Ticks from 7 o'clock round to 5 o'clock, the last three in red.
    for i in range(11):
        angle = math.radians(225 - i * 27)
        colour = RED if i >= 8 else BLACK
        for step in range(10, 14):
            x = int(round(cx + step * math.cos(angle) - 0.5))
            y = int(round(cy - step * math.sin(angle) - 0.5))
            pixels[y][x] = colour  # steps 10-13 from the centre stay inside
    # The needle, pointing high up the scale.
    angle = math.radians(30)
    for t in range(120):
        x = int(cx + t / 10 * math.cos(angle))
        y = int(cy - t / 10 * math.sin(angle))
        pixels[y][x] = pixels[y][x + 1] = RED  # two pixels wide
    # The hub.
    for y in range(14, 18):
        for x in range(14, 18):
            pixels[y][x] = YELLOW if (x in (15, 16) and y in (15, 16)) else GREY
    return pixels


def ico_bytes(pixels):
    xor = bytearray()
    mask = bytearray()
    for row in reversed(pixels):  # bottom-up
        colours = [value or 0 for value in row]  # transparent: colour 0 under the mask
        xor += bytes(colours[x] << 4 | colours[x + 1] for x in range(0, SIZE, 2))
        # Rows of 32 bits, already 4-aligned.
        mask += struct.pack(">I", sum(1 << (31 - x) for x, v in enumerate(row) if v is None))
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 4, 0,
                         len(xor) + len(mask), 0, 0, 16, 0)
    image = header + palette + bytes(xor) + bytes(mask)
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 16, 0, 1, 4, len(image), 6 + 16)
    return directory + entry + image


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(root, "resources", "tachinst.ico")
    with open(out, "wb") as f:
        f.write(ico_bytes(draw()))


if __name__ == "__main__":
    main()
