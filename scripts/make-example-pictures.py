#!/usr/bin/env python3
"""Writes the pictures the example landscapes and the tests read (PNG, no dependencies).

examples/pictures/chart.png      a 64 x 64 test chart: four coloured quadrants (red top
                                 left, green top right, blue bottom left, yellow bottom
                                 right) on a grid, so that position, turn and mirroring
                                 show in a render
examples/pictures/road-mask.png  a 128 x 128 grey mask: a white winding road on black
tests/host/data/quadrants.png    2 x 2 colour: red, green / blue, yellow
"""
import math
import os
import struct
import zlib


def write_png(path, width, height, rows, grey):
    """rows: top to bottom, each a bytes object of width samples (grey) or width * 3 (RGB)."""
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", width, height, 8, 0 if grey else 2, 0, 0, 0)
    raw = b"".join(b"\0" + bytes(row) for row in rows)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9)) +
                chunk(b"IEND", b""))


def chart():
    size = 64
    quadrants = {(0, 0): (220, 40, 40), (1, 0): (40, 180, 60), (0, 1): (40, 70, 220), (1, 1): (230, 210, 40)}
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            colour = quadrants[(x * 2 // size, y * 2 // size)]
            if x % 8 == 0 or y % 8 == 0:
                colour = tuple(c // 2 for c in colour)  # grid lines
            if x < 2 or y < 2 or x >= size - 2 or y >= size - 2:
                colour = (255, 255, 255)  # border
            row.extend(colour)
        rows.append(row)
    return size, size, rows


def road_mask():
    size = 128
    rows = []
    for y in range(size):
        row = []
        centre = size / 2 + size * 0.28 * math.sin(y / size * 2 * math.pi)
        for x in range(size):
            d = abs(x - centre)
            # Wraps from edge to edge (the picture repeats): the road is periodic in y.
            value = max(0.0, min(1.0, (14 - d) / 6))
            row.append(int(round(255 * value)))
        rows.append(row)
    return size, size, rows


def quadrants():
    return 2, 2, [[255, 0, 0, 0, 255, 0], [0, 0, 255, 255, 255, 0]]


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    width, height, rows = chart()
    write_png(os.path.join(root, "examples/pictures/chart.png"), width, height, rows, grey=False)
    width, height, rows = road_mask()
    write_png(os.path.join(root, "examples/pictures/road-mask.png"), width, height, rows, grey=True)
    width, height, rows = quadrants()
    write_png(os.path.join(root, "tests/host/data/quadrants.png"), width, height, rows, grey=False)


if __name__ == "__main__":
    main()
