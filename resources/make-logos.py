#!/usr/bin/env python3
"""Writes the pixel-art logo image (korvel-logo.png) and the tray icon (resources/images/tray, at the sizes panels ask
for) into resources/images, and the application icon (the coloured logo at 48, 128 and 256 pixels, and as SVG) into
resources/icons/hicolor.

The mark is a 16 x 16 grid scaled to 64 x 64: a rounded block with a K cut out of it. The coloured logo is the
cobalt block with a light K. The tray icon is the same silhouette in white inside a dark outline one cell wide, so
that it reads on light panels as well as on dark ones. The images scale the grid by whole numbers only, so every
cell stays a crisp square.
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


def png(path, pixel, scale=SCALE, grid=MARK, size=None):
    cells = len(grid)
    size = size or cells * scale
    pad = (size - cells * scale) // 2
    rows = []
    for y in range(size):
        row = bytearray([0])
        for x in range(size):
            cx, cy = (x - pad) // scale, (y - pad) // scale
            inside = 0 <= x - pad < cells * scale and 0 <= y - pad < cells * scale
            row += bytes(pixel(grid[cy][cx], cx, cy) if inside else (0, 0, 0, 0))
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


def outlined(grid):
    # The mark with a border of one cell, and "o" on every empty cell that touches the mark (diagonals too).
    cells = len(grid) + 2
    padded = ["." * cells] + ["." + row + "." for row in grid] + ["." * cells]

    def touches(x, y):
        return any(0 <= x + dx < cells and 0 <= y + dy < cells and padded[y + dy][x + dx] == "#"
                   for dx in (-1, 0, 1) for dy in (-1, 0, 1))

    return ["".join(c if c == "#" else ("o" if touches(x, y) else ".") for x, c in enumerate(row))
            for y, row in enumerate(padded)]


def tray(cell, x, y):
    return {"#": (255, 255, 255, 255), "o": (24, 26, 30, 255)}.get(cell, (0, 0, 0, 0))


def svg(path, pixel):
    # One rectangle per run of equal cells in a row; crispEdges keeps the cells sharp at any size.
    cells = len(MARK)
    rects = []
    for y in range(cells):
        x = 0
        while x < cells:
            colour = pixel(MARK[y][x], x, y)
            end = x
            while end + 1 < cells and pixel(MARK[y][end + 1], end + 1, y) == colour:
                end += 1
            if colour[3]:
                rects.append('<rect x="%d" y="%d" width="%d" height="1" fill="#%02X%02X%02X"/>'
                             % (x, y, end - x + 1, *colour[:3]))
            x = end + 1
    with open(path, "w") as out:
        out.write('<svg xmlns="http://www.w3.org/2000/svg" width="256" height="256" viewBox="0 0 %d %d" '
                  'shape-rendering="crispEdges">\n' % (cells, cells))
        out.write("\n".join(rects) + "\n</svg>\n")


resources = os.path.dirname(os.path.abspath(__file__))
here = os.path.join(resources, "images")
png(os.path.join(here, "korvel-logo.png"), coloured)
tray_folder = os.path.join(here, "tray")
os.makedirs(tray_folder, exist_ok=True)
for size, scale in ((18, 1), (24, 1), (36, 2), (48, 2), (72, 4)):
    png(os.path.join(tray_folder, "korvel-tray-%d.png" % size), tray, scale, outlined(MARK), size)

icons = os.path.join(resources, "icons", "hicolor")
for size in (48, 128, 256):
    folder = os.path.join(icons, "%dx%d" % (size, size), "apps")
    os.makedirs(folder, exist_ok=True)
    png(os.path.join(folder, "korvel.png"), coloured, size // len(MARK))
scalable = os.path.join(icons, "scalable", "apps")
os.makedirs(scalable, exist_ok=True)
svg(os.path.join(scalable, "korvel.svg"), coloured)
