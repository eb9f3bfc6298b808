#!/usr/bin/python3
"""Writes the button images of the skinned-control GUI tests; the outputs are committed.

Each picture is 20 x 18 pixels, 24 bits: a 4-pixel frame in the key colour RGB(1, 53, 103)
around a solid core of 12 x 10 pixels whose colour tells the picture apart:
active RGB(0, 200, 0), normal RGB(0, 0, 200), disabled RGB(200, 0, 200).
"""

import os
import struct

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "pictures")
KEY = (1, 53, 103)
WIDTH, HEIGHT, FRAME = 20, 18, 4


def write(name, core):
    stride = (WIDTH * 3 + 3) // 4 * 4
    rows = b""
    for y in reversed(range(HEIGHT)):  # bottom-up
        row = bytearray(stride)
        for x in range(WIDTH):
            inside = FRAME <= x < WIDTH - FRAME and FRAME <= y < HEIGHT - FRAME
            r, g, b = core if inside else KEY
            row[3 * x:3 * x + 3] = bytes((b, g, r))
        rows += bytes(row)
    header = struct.pack("<IiiHHIIiiII", 40, WIDTH, HEIGHT, 1, 24, 0, len(rows), 2835, 2835, 0, 0)
    offset = 14 + len(header)
    with open(os.path.join(OUT, name), "wb") as out:
        out.write(struct.pack("<2sIHHI", b"BM", offset + len(rows), 0, 0, offset))
        out.write(header)
        out.write(rows)


os.makedirs(OUT, exist_ok=True)
write("active.bmp", (0, 200, 0))
write("normal.bmp", (0, 0, 200))
write("disabled.bmp", (200, 0, 200))
