#!/usr/bin/env python3
"""Packs a grid of palette indexes and its palette into an 8-bit indexed PNG
(colour type 3), with the standard library only.

Usage: pack_indexed_png.py INDEXES.pgm PALETTE.ppm OUT.png
INDEXES.pgm: binary greymap (P5, maxval 255), one palette index per pixel.
PALETTE.ppm: binary pixmap (P6, maxval 255), one colour per pixel, at most 256.
The PNG carries no time stamp or other varying chunk, so the same input
gives the same bytes.
"""
import struct
import sys
import zlib


def read_netpbm(path, magic):
    with open(path, "rb") as f:
        data = f.read()
    fields, pos = [], 0
    while len(fields) < 4:
        while data[pos:pos + 1].isspace():
            pos += 1
        if data[pos:pos + 1] == b"#":
            pos = data.index(b"\n", pos)
            continue
        start = pos
        while not data[pos:pos + 1].isspace():
            pos += 1
        fields.append(data[start:pos])
    if fields[0] != magic or fields[3] != b"255":
        sys.exit(f"{path}: not a binary {magic.decode()} file with maxval 255")
    width, height = int(fields[1]), int(fields[2])
    pixels = data[pos + 1:]
    size = width * height * (3 if magic == b"P6" else 1)
    if len(pixels) < size:
        sys.exit(f"{path}: {len(pixels)} bytes of pixels, {size} expected")
    return width, height, pixels[:size]


def chunk(kind, body):
    return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF)


def main():
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    width, height, indexes = read_netpbm(sys.argv[1], b"P5")
    colours, rows, palette = read_netpbm(sys.argv[2], b"P6")
    count = colours * rows
    if not 1 <= count <= 256:
        sys.exit(f"{sys.argv[2]}: {count} colours; a PNG palette holds 1 to 256")
    if max(indexes) >= count:
        sys.exit(f"{sys.argv[1]}: index {max(indexes)} past the palette's {count} colours")
    # Each row starts with filter type 0 (none).
    raw = b"".join(b"\0" + indexes[y * width:(y + 1) * width] for y in range(height))
    png = (b"\x89PNG\r\n\x1a\n"
           + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 3, 0, 0, 0))
           + chunk(b"PLTE", palette)
           + chunk(b"IDAT", zlib.compress(raw, 9))
           + chunk(b"IEND", b""))
    with open(sys.argv[3], "wb") as f:
        f.write(png)


if __name__ == "__main__":
    main()
