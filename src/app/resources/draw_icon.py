#!/usr/bin/env python3
"""Draws the program's icon (a play mark on a rounded tile, under a small link arc) as PNG files.

Run once after changing the drawing; the PNGs are committed. Standard library only.
"""
import struct
import sys
import zlib

SAMPLES = 4  # per pixel and axis, for smooth edges


def inside_rounded(x, y, size, radius):
    cx = min(max(x, radius), size - radius)
    cy = min(max(y, radius), size - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


def inside_triangle(x, y, size):
    # A play mark pointing right, a little right of centre so that it looks centred.
    ax, ay = 0.38 * size, 0.30 * size
    bx, by = 0.38 * size, 0.78 * size
    cx, cy = 0.76 * size, 0.54 * size

    def side(px, py, qx, qy):
        return (qx - px) * (y - py) - (qy - py) * (x - px)

    d1, d2, d3 = side(ax, ay, bx, by), side(bx, by, cx, cy), side(cx, cy, ax, ay)
    return (d1 >= 0 and d2 >= 0 and d3 >= 0) or (d1 <= 0 and d2 <= 0 and d3 <= 0)


def inside_arc(x, y, size):
    # A flat arc over the play mark, like a link's chain.
    cx, cy, r = 0.5 * size, 0.62 * size, 0.44 * size
    d = ((x - cx) ** 2 + (y - cy) ** 2) ** 0.5
    return y < 0.26 * size and abs(d - r) < 0.035 * size


def pixel(px, py, size):
    rgba = [0.0, 0.0, 0.0, 0.0]
    for sy in range(SAMPLES):
        for sx in range(SAMPLES):
            x = px + (sx + 0.5) / SAMPLES
            y = py + (sy + 0.5) / SAMPLES
            if not inside_rounded(x, y, size, 0.2 * size):
                continue
            if inside_triangle(x, y, size) or inside_arc(x, y, size):
                colour = (255, 255, 255)
            else:
                t = y / size  # teal to deep blue from top to bottom
                colour = (int(20 + 10 * t), int(160 - 90 * t), int(170 - 20 * t))
            for i in range(3):
                rgba[i] += colour[i]
            rgba[3] += 255
    n = SAMPLES * SAMPLES
    alpha = rgba[3] / n
    if alpha == 0:
        return bytes(4)
    covered = rgba[3] / 255
    return bytes([int(rgba[0] / covered), int(rgba[1] / covered), int(rgba[2] / covered),
                  int(alpha)])


def png(size):
    rows = b"".join(b"\0" + b"".join(pixel(x, y, size) for x in range(size)) for y in range(size))

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))

    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b""))


if __name__ == "__main__":
    for size in map(int, sys.argv[1:] or ["128"]):
        with open(f"morvane_{size}.png", "wb") as f:
            f.write(png(size))
