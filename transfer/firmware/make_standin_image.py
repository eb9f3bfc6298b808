#!/usr/bin/python3
"""Writes the stand-in firmware image for version 3.3 until the release image is supplied.

The controller's firmware download takes 39 records of 2,060 bytes. Each stand-in record is
recognisable on its own, so a test or a person reading a simulator's capture can tell which
record arrived, whether it is whole and whether its bytes were changed on the way:

  offset  size  field
  0       8     marker b"CVSTANDN"
  8       2     record number, 0 to 38, little-endian
  10      2     record count, 39, little-endian
  12      1     firmware major version, 3
  13      1     firmware minor version, 3
  14      2042  filler: a byte stream seeded by the record number (no two records alike)
  2056    4     CRC-32 (zlib polynomial) of bytes 0 to 2055, little-endian

The output is the same on every run and every machine: only the standard library is used.
Usage: make_standin_image.py [output path]   (default: corvane-3.3-standin.bin beside it)
"""

import binascii
import os
import struct
import sys

RECORD_SIZE = 2060
RECORD_COUNT = 39
MARKER = b"CVSTANDN"
VERSION = (3, 3)


def filler(record, length):
    # A 32-bit xorshift stream; deterministic and different for every record.
    state = (0x9E3779B9 ^ (record * 0x01000193)) & 0xFFFFFFFF or 1
    out = bytearray()
    while len(out) < length:
        state ^= (state << 13) & 0xFFFFFFFF
        state ^= state >> 17
        state ^= (state << 5) & 0xFFFFFFFF
        out.append(state & 0xFF)
    return bytes(out)


def record_bytes(record):
    head = MARKER + struct.pack("<HHBB", record, RECORD_COUNT, *VERSION)
    body = head + filler(record, RECORD_SIZE - 4 - len(head))
    crc = binascii.crc32(body) & 0xFFFFFFFF
    data = body + struct.pack("<I", crc)
    assert len(data) == RECORD_SIZE
    return data


def image_bytes():
    return b"".join(record_bytes(r) for r in range(RECORD_COUNT))


def main(argv):
    here = os.path.dirname(os.path.abspath(__file__))
    path = argv[1] if len(argv) > 1 else os.path.join(here, "corvane-3.3-standin.bin")
    data = image_bytes()
    with open(path, "wb") as f:
        f.write(data)
    print("%s: %d bytes, %d records" % (path, len(data), RECORD_COUNT))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
