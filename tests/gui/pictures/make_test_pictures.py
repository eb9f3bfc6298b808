#!/usr/bin/python3
"""Writes the small BMP resources of the GUI tests beside this script; the outputs are committed.

Every picture follows a rule the tests compute for themselves:
- depth<N>.bmp, N in 1, 4, 8, 16, 24, 32: 8 x 4 pixels; pixel (x, y), y counted from the top,
  has colour index (x + 2 * y) mod (number of colours) in the palette pictures and
  RGB(30 * x, 60 * y, 200) in the others (16 bits: each channel keeps its top 5 bits).
  Palette entry i is RGB(i, 255 - i, (7 * i) mod 256), or black/white for 1 bit.
- pattern.bmp: 50 x 40, 24 bits, RGB(5 * x, 6 * y, 77).
- active.bmp, normal.bmp, disabled.bmp (the image button's): 20 x 18, 24 bits, a 4-pixel frame
  in the key colour RGB(1, 53, 103) around a solid core of 12 x 10 pixels whose colour tells
  the picture apart: active RGB(0, 200, 0), normal RGB(0, 0, 200), disabled RGB(200, 0, 200).
"""

import os
import struct

OUT = os.path.dirname(os.path.abspath(__file__))
KEY = (1, 53, 103)


def palette(bits):
    if bits == 1:
        return [(0, 0, 0), (255, 255, 255)]
    return [(i, 255 - i, (7 * i) % 256) for i in range(1 << bits)]


def write(name, width, height, bits, pixel):
    """pixel(x, y) gives an index (palette pictures) or an (r, g, b) triple."""
    pal = palette(bits) if bits <= 8 else []
    stride = (width * bits + 31) // 32 * 4
    rows = b""
    for y in reversed(range(height)):  # bottom-up
        row = bytearray(stride)
        for x in range(width):
            v = pixel(x, y)
            if bits <= 8:
                per = 8 // bits
                shift = 8 - bits * (x % per + 1)
                row[x // per] |= v << shift
            elif bits == 16:
                r, g, b = v
                w = ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3)
                row[2 * x:2 * x + 2] = struct.pack("<H", w)
            elif bits == 24:
                row[3 * x:3 * x + 3] = bytes((v[2], v[1], v[0]))
            else:
                row[4 * x:4 * x + 4] = bytes((v[2], v[1], v[0], 0))
        rows += bytes(row)
    table = b"".join(bytes((b, g, r, 0)) for r, g, b in pal)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0, len(rows), 2835, 2835, 0, 0)
    offset = 14 + len(info) + len(table)
    head = struct.pack("<HIHHI", 0x4D42, offset + len(rows), 0, 0, offset)
    with open(os.path.join(OUT, name), "wb") as f:
        f.write(head + info + table + rows)


def button_image(core, width=20, height=18, frame=4):
    def pixel(x, y):
        inside = frame <= x < width - frame and frame <= y < height - frame
        return core if inside else KEY
    return pixel


def main():
    for bits in (1, 4, 8):
        n = 1 << bits
        write("depth%d.bmp" % bits, 8, 4, bits, lambda x, y, n=n: (x + 2 * y) % n)
    for bits in (16, 24, 32):
        write("depth%d.bmp" % bits, 8, 4, bits, lambda x, y: (30 * x, 60 * y, 200))
    write("pattern.bmp", 50, 40, 24, lambda x, y: (5 * x, 6 * y, 77))
    write("active.bmp", 20, 18, 24, button_image((0, 200, 0)))
    write("normal.bmp", 20, 18, 24, button_image((0, 0, 200)))
    write("disabled.bmp", 20, 18, 24, button_image((200, 0, 200)))


if __name__ == "__main__":
    main()
