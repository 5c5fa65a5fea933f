#!/usr/bin/env python3
"""Writes the smallest file of each difference listed in ../DIFFERENCES.md, into this directory.
A file's name is the difference's name, and after "--" which of its cases it shows."""
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
SIGNATURE = b"\x89PNG\r\n\x1a\n"


def chunk(kind, body, crc=None):
    if crc is None:
        crc = zlib.crc32(kind + body)
    return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", crc)


def header(width=1, height=1, depth=8, colour=0, filter_method=0, extra=b""):
    return chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, depth, colour, 0, filter_method, 0) + extra)


def data(rows):
    return chunk(b"IDAT", zlib.compress(rows))


def incomplete_distance_code_stream(rows):
    """rows (bytes all zero) in one dynamic block whose distance code has lengths 3 and 1, which
    does not fill its code space: zlib refuses it as "invalid distances set"."""
    bits = []

    def put(value, count):  # header fields, least significant bit first
        bits.extend((value >> i) & 1 for i in range(count))

    def code(value, length):  # Huffman codes, most significant bit first
        bits.extend((value >> i) & 1 for i in reversed(range(length)))

    put(1, 1), put(2, 2)  # last block, dynamic codes
    put(0, 5), put(1, 5), put(14, 4)  # 257 literal/length codes, 2 distance codes, 18 lengths
    order = [16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1]
    lengths = {18: 1, 1: 2, 3: 2}
    for symbol in order:
        put(lengths.get(symbol, 0), 3)
    one, three, zeros = (0b10, 2), (0b11, 2), (0b0, 1)
    code(*one)  # literal 0: length 1
    code(*zeros), put(138 - 11, 7)  # literals 1..138: none
    code(*zeros), put(117 - 11, 7)  # literals 139..255: none
    code(*one)  # end of block: length 1
    code(*three), code(*one)  # distances 0 and 1: lengths 3 and 1
    for byte in rows:
        assert byte == 0
        code(0, 1)  # literal 0
    code(1, 1)  # end of block
    bits.extend([0] * (-len(bits) % 8))
    deflated = bytes(sum(bit << i for i, bit in enumerate(bits[at:at + 8])) for at in range(0, len(bits), 8))
    return b"\x78\x01" + deflated + struct.pack(">I", zlib.adler32(rows))


def png(*chunks):
    return SIGNATURE + b"".join(chunks) + chunk(b"IEND", b"")


FILES = {
    # We accept, libpng refuses.
    "filter-type-above-4": png(header(), data(b"\x05\x80")),
    "image-data-that-ends-early--before-the-last-row": png(header(height=2), data(b"\x00\x80")),
    "image-data-that-ends-early--before-the-check-value": png(
        header(), chunk(b"IDAT", zlib.compress(b"\x00\x80")[:-4])),
    "chunk-type-other-than-four-letters": png(header(), chunk(b"a1bc", b""), data(b"\x00\x80")),
    "repeated-or-misplaced-critical-chunk--second-header": png(header(), header(), data(b"\x00\x80")),
    "repeated-or-misplaced-critical-chunk--second-palette": png(
        header(colour=3), chunk(b"PLTE", b"\x00\x00\x00"), chunk(b"PLTE", b"\x00\x00\x00"),
        data(b"\x00\x00")),
    "palette-image-without-a-palette": png(header(colour=3), data(b"\x00\x00")),
    "header-libpng-refuses--filter-method": png(header(filter_method=1), data(b"\x00\x80")),
    "header-libpng-refuses--zero-width": png(header(width=0), data(b"")),
    "header-libpng-refuses--longer-body": png(header(extra=b"\x00"), data(b"\x00\x80")),
    "wrong-crc-of-an-idat-chunk-after-the-image-data": png(
        header(), data(b"\x00\x80"), chunk(b"IDAT", b"", crc=0)),
    "huffman-code-set-that-isa-l-takes": png(
        header(), chunk(b"IDAT", incomplete_distance_code_stream(b"\x00\x00"))),
    # We refuse, libpng accepts.
    "unknown-critical-chunk-after-the-image-data": png(header(), data(b"\x00\x80"), chunk(b"MDAT", b"")),
    "wrong-crc-of-an-ancillary-chunk": png(header(), chunk(b"tEXt", b"a\x00b", crc=0), data(b"\x00\x80")),
    "palette-or-transparency-table-of-an-impossible-size--palette": png(
        header(colour=2), chunk(b"PLTE", b"\x00"), data(b"\x00\x80\x80\x80")),
    "palette-or-transparency-table-of-an-impossible-size--transparency": png(
        header(colour=3), chunk(b"PLTE", b"\x00\x00\x00"), chunk(b"tRNS", b"\x00" * 257),
        data(b"\x00\x00")),
    "wider-or-taller-than-65535-pixels": png(header(width=65536), data(b"\x00" * 65537)),
}



def rle8_bitmap(width, height, codes):
    """An 8-bit run-length compressed Windows bitmap with a palette of black, red and green."""
    palette = bytes([0, 0, 0, 0, 0, 0, 255, 0, 0, 255, 0, 0])
    offset = 14 + 40 + len(palette)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 8, 1, len(codes), 0, 0, 3, 0)
    return b"BM" + struct.pack("<IHHI", offset + len(codes), 0, 0, offset) + info + palette + codes


def bitmap_listing(colours, bit_count, compression, pixels):
    """A palette bitmap of 1 x 1 pixel whose header lists the given colours (biClrUsed)."""
    palette = b"".join(bytes([blue, green, red, 0]) for red, green, blue in colours)
    offset = 14 + 40 + len(palette)
    info = struct.pack("<IiiHHIIiiII", 40, 1, 1, 1, bit_count, compression, len(pixels), 0, 0,
                       len(colours), 0)
    return b"BM" + struct.pack("<IHHI", offset + len(pixels), 0, 0, offset) + info + palette + pixels


# Pixels both readers take differently: against ImageMagick.
BITMAPS = {
    # One white colour listed, the pixel at index 1.
    "index-beyond-the-listed-colours--stored": bitmap_listing([(255, 255, 255)], 1, 0, bytes([0x80, 0, 0, 0])),
    # One white colour listed, a run of one pixel at index 1, the end of the bitmap.
    "index-beyond-the-listed-colours--rle": bitmap_listing([(255, 255, 255)], 8, 1, bytes([1, 1, 0, 1])),
    # A run of 8 red pixels in a row of 4, then green in the row above.
    "rle-pixels-past-the-right-edge--run": rle8_bitmap(4, 2, bytes([8, 1, 0, 0, 4, 2, 0, 1])),
    # 2 red pixels, a move 5 to the right, 1 green pixel there.
    "rle-pixels-past-the-right-edge--delta": rle8_bitmap(4, 2, bytes([2, 1, 0, 2, 5, 0, 1, 2, 0, 1])),
}

for extension, files in ((".png", FILES), (".bmp", BITMAPS)):
    for name, contents in files.items():
        with open(os.path.join(HERE, name + extension), "wb") as out:
            out.write(contents)
