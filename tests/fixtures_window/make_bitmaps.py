#!/usr/bin/env python3
"""Writes the window tests' bitmaps: 8-bpp, one solid colour each.

usage: make_bitmaps.py OUTPUT_FOLDER
"""
import os
import struct
import sys

WIDTH, HEIGHT = 48, 36  # rows of 48 bytes need no padding
COLOURS = {
    "normal": (200, 40, 40),
    "selected": (40, 160, 40),
    "focus": (40, 40, 200),
    "disabled": (128, 128, 128),
    "hover": (240, 200, 0),
    "other": (0, 180, 180),
}


def bitmap(rgb):
    palette = bytes([rgb[2], rgb[1], rgb[0], 0]) + bytes(4 * 255)
    pixels = bytes(WIDTH * HEIGHT)  # every pixel is palette entry 0
    info = struct.pack("<IiiHHIIiiII", 40, WIDTH, HEIGHT, 1, 8, 0, len(pixels), 2835, 2835, 256, 0)
    offset = 14 + len(info) + len(palette)
    header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    return header + info + palette + pixels


def main():
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)
    for name, rgb in COLOURS.items():
        with open(os.path.join(folder, name + ".bmp"), "wb") as f:
            f.write(bitmap(rgb))


if __name__ == "__main__":
    main()
