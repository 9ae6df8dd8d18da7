#!/usr/bin/env python3
"""Draws the Windows program's pictures: the donation picture (62 x 31), the clear-log picture (10 x 10) and the
program icon (16 x 16 and 32 x 32), as the BMP and ICO files the resource script takes in.
Usage: scripts/make_win32_images.py OUTPUT_FOLDER"""
import struct
import sys
from pathlib import Path


def heart(x, y, cx, cy, r):
    # Two circles and a triangle pointing down.
    left = (x - (cx - r * 0.5)) ** 2 + (y - cy) ** 2 <= (r * 0.55) ** 2
    right = (x - (cx + r * 0.5)) ** 2 + (y - cy) ** 2 <= (r * 0.55) ** 2
    below = y >= cy and abs(x - cx) <= (r * 1.05) * (1 - (y - cy) / (r * 1.15))
    return left or right or below


def donate(x, y, w, h):
    if x in (0, w - 1) or y in (0, h - 1):
        return (128, 96, 32)
    if heart(x + 0.5, y + 0.5, 15.5, 13, 8.5):
        return (200, 30, 45)
    # A warm gold, lighter at the top.
    shade = int(40 * y / h)
    base = (250 - shade, 214 - shade, 90 - shade // 2)
    # Three coins at the right.
    for cx, cy in ((40, 20), (47, 14), (53, 20)):
        d = (x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2
        if d <= 30:
            return (140, 100, 20) if d > 20 else (255, 236, 150)
    return base


def clear_log(x, y, w, h):
    # A red cross on white: what the button does to the log.
    if abs(x - y) <= 0 or abs(x - (w - 1 - y)) <= 0:
        return (200, 30, 30)
    if abs(x - y) == 1 or abs(x - (w - 1 - y)) == 1:
        return (235, 150, 150)
    return (255, 255, 255)


def icon(x, y, size):
    # A blue tile with a white envelope and a paper clip: mails and their attachments.
    s = size / 32
    if x < 1 * s or y < 1 * s or x >= size - 1 * s or y >= size - 1 * s:
        return (0, 0, 0, 0)
    r, g, b = 30, 90, 170
    ex0, ey0, ex1, ey1 = 5 * s, 9 * s, 27 * s, 25 * s
    if ex0 <= x < ex1 and ey0 <= y < ey1:
        r, g, b = 250, 250, 250
        # The flap: two lines from the top corners to the middle.
        mid = (ex0 + ex1) / 2
        t = (y - ey0) / (ey1 - ey0) * 1.7
        if abs(abs(x - mid) - (mid - ex0) * (1 - t)) < 1.2 * s and t <= 1:
            r, g, b = 30, 90, 170
    if 21 * s <= x < 24 * s and 4 * s <= y < 16 * s and not (22 * s <= x < 23 * s and 5 * s <= y < 15 * s):
        r, g, b = 230, 180, 40
    return (r, g, b, 255)


def bmp24(width, height, pixel):
    row = bytearray()
    rows = []
    for y in range(height - 1, -1, -1):
        row = bytearray()
        for x in range(width):
            r, g, b = pixel(x, y, width, height)
            row += bytes((b, g, r))
        row += b"\0" * ((4 - len(row) % 4) % 4)
        rows.append(bytes(row))
    data = b"".join(rows)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(data), 0, 0, 14 + len(info))
    return header + info + data


def icon_image(size):
    pixels = bytearray()
    for y in range(size - 1, -1, -1):
        for x in range(size):
            r, g, b, a = icon(x, y, size)
            pixels += bytes((b, g, r, a))
    mask = b"\0" * (((size + 31) // 32) * 4 * size)
    info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(pixels) + len(mask), 0, 0, 0, 0)
    return info + bytes(pixels) + mask


def ico(sizes):
    images = [icon_image(size) for size in sizes]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, image in zip(sizes, images):
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    return out + b"".join(images)


def main():
    folder = Path(sys.argv[1])
    (folder / "donate.bmp").write_bytes(bmp24(62, 31, donate))
    (folder / "clear_log.bmp").write_bytes(bmp24(10, 10, clear_log))
    (folder / "zendrel.ico").write_bytes(ico([16, 32]))


if __name__ == "__main__":
    main()
