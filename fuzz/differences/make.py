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

for name, contents in FILES.items():
    with open(os.path.join(HERE, name + ".png"), "wb") as out:
        out.write(contents)
