#!/usr/bin/env python3
"""Draws the viewer's splash picture (200 x 200) and about-box logo
(111 x 40) and stores them as GIF files. Standard library only.

Usage: make_pictures.py <output folder>
"""
import os
import struct
import sys

# 5 x 7 letters of the two pictures' texts.
FONT = {
    "L": ["10000", "10000", "10000", "10000", "10000", "10000", "11111"],
    "U": ["10001", "10001", "10001", "10001", "10001", "10001", "01110"],
    "M": ["10001", "11011", "10101", "10101", "10001", "10001", "10001"],
    "B": ["11110", "10001", "10001", "11110", "10001", "10001", "11110"],
    "R": ["11110", "10001", "10001", "11110", "10100", "10010", "10001"],
    "A": ["01110", "10001", "10001", "11111", "10001", "10001", "10001"],
    "F": ["11111", "10000", "10000", "11110", "10000", "10000", "10000"],
    "O": ["01110", "10001", "10001", "10001", "10001", "10001", "01110"],
    "P": ["11110", "10001", "10001", "11110", "10000", "10000", "10000"],
    "S": ["01111", "10000", "10000", "01110", "00001", "00001", "11110"],
    " ": ["00000"] * 7,
}

PALETTE = [
    (0, 0, 0), (255, 255, 255), (24, 52, 92), (99, 140, 123),
    (230, 236, 242), (200, 120, 40), (60, 96, 150), (160, 180, 200),
]
# Shades from dark blue to the device green for backgrounds.
for i in range(32):
    t = i / 31
    PALETTE.append((int(24 + t * (99 - 24)), int(52 + t * (140 - 52)), int(92 + t * (123 - 92))))
PALETTE += [(0, 0, 0)] * (256 - len(PALETTE))
SHADE = 8


def canvas(width, height, colour):
    return [[colour] * width for _ in range(height)]


def fill(pixels, x0, y0, x1, y1, colour):
    for y in range(max(y0, 0), min(y1, len(pixels))):
        for x in range(max(x0, 0), min(x1, len(pixels[0]))):
            pixels[y][x] = colour


def text(pixels, x, y, words, colour, scale):
    for letter in words:
        for row, bits in enumerate(FONT[letter]):
            for col, bit in enumerate(bits):
                if bit == "1":
                    fill(pixels, x + col * scale, y + row * scale,
                         x + (col + 1) * scale, y + (row + 1) * scale, colour)
        x += 6 * scale


def page_icon(pixels, x, y, w, h):
    """A page with a folded corner and lines of text."""
    fill(pixels, x + 3, y + 3, x + w + 3, y + h + 3, 0)
    fill(pixels, x, y, x + w, y + h, 1)
    fold = w // 4
    for i in range(fold):
        fill(pixels, x + w - fold + i, y, x + w, y + i + 1, 7)
    for line in range(y + fold + 6, y + h - 6, 7):
        fill(pixels, x + 6, line, x + w - 6, line + 2, 6)


def splash():
    width = height = 200
    pixels = canvas(width, height, 2)
    for y in range(height):
        fill(pixels, 0, y, width, y + 1, SHADE + y * 32 // height)
    page_icon(pixels, 62, 24, 60, 78)
    # The handheld's screen in front of the page.
    fill(pixels, 104, 66, 148, 122, 0)
    fill(pixels, 108, 70, 144, 112, 3)
    fill(pixels, 122, 114, 130, 120, 7)
    text(pixels, 28, 140, "LUMBRA", 1, 4)
    text(pixels, 67, 180, "FOR PALM OS", 1, 1)
    return width, height, pixels


def logo():
    width, height = 111, 40
    pixels = canvas(width, height, 4)
    page_icon(pixels, 4, 4, 24, 31)
    text(pixels, 36, 6, "LUMBRA", 2, 2)
    text(pixels, 36, 26, "FOR PALM OS", 5, 1)
    return width, height, pixels


def lzw_literal(indices):
    """LZW codes of 9 bits: a clear code, then literals only, cleared again
    before the table would need 10-bit codes."""
    clear, end = 256, 257
    codes = []
    for start in range(0, len(indices), 250):
        codes.append(clear)
        codes.extend(indices[start:start + 250])
    codes.append(end)
    out = bytearray()
    acc = bits = 0
    for code in codes:
        acc |= code << bits
        bits += 9
        while bits >= 8:
            out.append(acc & 0xFF)
            acc >>= 8
            bits -= 8
    if bits:
        out.append(acc & 0xFF)
    return bytes(out)


def gif(width, height, pixels, palette=PALETTE, transparent=None):
    """A GIF file of the pixels (256 colours); the colour `transparent`, when
    given, is marked transparent in a graphic control extension."""
    data = bytearray(b"GIF89a")
    data += struct.pack("<HHBBB", width, height, 0xF7, 0, 0)
    for r, g, b in palette:
        data += bytes((r, g, b))
    if transparent is not None:
        data += struct.pack("<BBBBHBB", 0x21, 0xF9, 4, 1, 0, transparent, 0)
    data += struct.pack("<BHHHHB", 0x2C, 0, 0, width, height, 0)
    data.append(8)
    stream = lzw_literal([p for row in pixels for p in row])
    for start in range(0, len(stream), 255):
        block = stream[start:start + 255]
        data.append(len(block))
        data += block
    data += b"\x00;"
    return bytes(data)


def main():
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)
    for name, picture in (("splash.gif", splash()), ("logo.gif", logo())):
        with open(os.path.join(folder, name), "wb") as out:
            out.write(gif(*picture))


if __name__ == "__main__":
    main()
