#!/usr/bin/env python3
"""Writes the two pixel-art logo images (korvel-logo.png, korvel-logo-white.png) into resources/images.

The mark is a 16 x 16 grid scaled to 64 x 64: a rounded block with a K cut out of it. The coloured logo is the
cobalt block with a light K; the white one is the same silhouette in white on transparency, for the tray.
Run it again only to change the mark; the images are committed.
"""
import os
import struct
import zlib

MARK = [
    "..############..",
    ".##############.",
    "################",
    "################",
    "####..####..####",
    "####..###..#####",
    "####..##..######",
    "####.....#######",
    "####....########",
    "####..#..#######",
    "####..##..######",
    "####..###..#####",
    "####..####..####",
    "################",
    ".##############.",
    "..############..",
]
SCALE = 4


def png(path, pixel):
    size = len(MARK) * SCALE
    rows = []
    for y in range(size):
        row = bytearray([0])
        for x in range(size):
            row += bytes(pixel(MARK[y // SCALE][x // SCALE], x // SCALE, y // SCALE))
        rows.append(bytes(row))
    raw = zlib.compress(b"".join(rows), 9)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    with open(path, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", raw) + chunk(b"IEND", b""))


def coloured(cell, x, y):
    inside = 4 <= x <= 11 and 4 <= y <= 12
    if cell == "#":
        return (47, 95, 208, 255) if y >= 13 or x >= 14 else (61, 123, 240, 255)
    return (244, 245, 242, 255) if inside else (0, 0, 0, 0)


def white(cell, x, y):
    return (255, 255, 255, 255) if cell == "#" else (0, 0, 0, 0)


here = os.path.join(os.path.dirname(os.path.abspath(__file__)), "images")
png(os.path.join(here, "korvel-logo.png"), coloured)
png(os.path.join(here, "korvel-logo-white.png"), white)
