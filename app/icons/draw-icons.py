#!/usr/bin/env python3
"""Draws Quenvar's window icons, quenvar-16.png and quenvar-32.png, next to this script.

The icon shows the two displays Quenvar works with: the operator's small monitor on the left with
the control window's buttons, and the audience's big screen on the right running the show. The
same shapes are in quenvar.svg; here they are laid out by hand on each pixel grid, so that the
small sizes stay crisp instead of being a blurred scale-down, and written as palette PNGs of at
most 16 colours, as the window icon is meant to be. Only the standard library is needed:
    python3 app/icons/draw-icons.py
"""
import os
import struct
import zlib

PALETTE = [
    (0, 0, 0, 0),  # transparent
    (0x26, 0x32, 0x38, 255),  # display frames
    (0x4F, 0xC3, 0xF7, 255),  # operator's screen
    (0xFF, 0xFF, 0xFF, 255),  # audience's screen
    (0xFF, 0x70, 0x43, 255),  # the show's play mark
    (0xE1, 0xF5, 0xFE, 255),  # control window buttons
    (0x54, 0x6E, 0x7A, 255),  # stands
]

# Each shape: (colour, kind, coordinates), drawn in order. Rectangles are inclusive pixel ranges
# x0, y0, x1, y1; a triangle is three corners in pixel units, filled where a pixel's centre is in.
SHAPES = {
    32: [
        (1, "rect", (1, 10, 12, 19)),
        (2, "rect", (2, 11, 11, 18)),
        (5, "rect", (4, 12, 9, 13)),
        (5, "rect", (4, 15, 9, 16)),
        (6, "rect", (6, 20, 7, 21)),
        (6, "rect", (3, 22, 10, 23)),
        (1, "rect", (14, 4, 30, 19)),
        (3, "rect", (15, 5, 29, 18)),
        (4, "tri", ((19.5, 7.5), (19.5, 16.5), (26.5, 12.0))),
        (6, "rect", (21, 20, 23, 24)),
        (6, "rect", (17, 25, 27, 26)),
    ],
    16: [
        (1, "rect", (0, 5, 5, 10)),
        (2, "rect", (1, 6, 4, 9)),
        (5, "rect", (2, 7, 3, 7)),
        (6, "rect", (2, 11, 3, 11)),
        (6, "rect", (1, 12, 4, 12)),
        (1, "rect", (7, 2, 15, 10)),
        (3, "rect", (8, 3, 14, 9)),
        (4, "tri", ((10.0, 3.8), (10.0, 9.2), (13.0, 6.5))),
        (6, "rect", (11, 11, 11, 12)),
        (6, "rect", (9, 13, 13, 13)),
    ],
}


def inside_triangle(px, py, a, b, c):
    def side(p, q):
        return (q[0] - p[0]) * (py - p[1]) - (q[1] - p[1]) * (px - p[0])

    s1, s2, s3 = side(a, b), side(b, c), side(c, a)
    return (s1 >= 0 and s2 >= 0 and s3 >= 0) or (s1 <= 0 and s2 <= 0 and s3 <= 0)


def draw(size):
    pixels = [[0] * size for _ in range(size)]
    for colour, kind, coords in SHAPES[size]:
        if kind == "rect":
            x0, y0, x1, y1 = coords
            for y in range(y0, y1 + 1):
                for x in range(x0, x1 + 1):
                    pixels[y][x] = colour
        else:
            for y in range(size):
                for x in range(size):
                    if inside_triangle(x + 0.5, y + 0.5, *coords):
                        pixels[y][x] = colour
    return pixels


def png(pixels):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    size = len(pixels)
    header = struct.pack(">IIBBBBB", size, size, 8, 3, 0, 0, 0)
    plte = b"".join(bytes(rgba[:3]) for rgba in PALETTE)
    trns = bytes(rgba[3] for rgba in PALETTE)
    raw = b"".join(b"\0" + bytes(row) for row in pixels)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"PLTE", plte)
            + chunk(b"tRNS", trns) + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


if __name__ == "__main__":
    here = os.path.dirname(os.path.abspath(__file__))
    for size in SHAPES:
        with open(os.path.join(here, f"quenvar-{size}.png"), "wb") as out:
            out.write(png(draw(size)))
