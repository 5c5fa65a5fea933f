#!/usr/bin/env python3
"""Writes run-length compressed bitmaps whose codes all stay inside their rows, as seeds for the
bitmap fuzz targets (the fixtures' encoder codes each row's padding too, past its right edge)."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def bitmap(width, height, bits, codes, colours):
    palette = b"".join(bytes([(37 * i) % 256, (91 * i) % 256, 255 - 16 * (i % 16), 0]) for i in range(colours))
    offset = 14 + 40 + len(palette)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 1 if bits == 8 else 2, len(codes), 0, 0,
                       colours, 0)
    return b"BM" + struct.pack("<IHHI", offset + len(codes), 0, 0, offset) + info + palette + codes


EOL, EOB = b"\x00\x00", b"\x00\x01"
# Runs, absolute runs, a move, a row ended early; the top row complete, as ImageMagick wants it.
RLE8 = (bytes([5, 1, 10, 2, 5, 3]) + EOL
        + bytes([0, 4, 7, 8, 9, 10, 3, 11]) + bytes([0, 2, 6, 1, 3, 12]) + EOL
        + bytes([20, 13]) + EOL
        + bytes([0, 5, 1, 2, 3, 4, 5, 0, 15, 6]) + EOB)
RLE4 = (bytes([6, 0x12, 10, 0x34]) + EOL
        + bytes([0, 5, 0x56, 0x78, 0x90, 0]) + bytes([0, 2, 3, 0]) + bytes([8, 0xAB]) + EOL
        + bytes([16, 0xCD]) + EOL + bytes([0, 3, 0xEF, 0x10, 13, 0x23]) + EOB)

# The 8-bit one lists only the 14 colours its pixels index.
for name, contents in (("rle8.bmp", bitmap(20, 5, 8, RLE8, 14)), ("rle4.bmp", bitmap(16, 4, 4, RLE4, 16))):
    with open(os.path.join(HERE, name), "wb") as out:
        out.write(contents)
