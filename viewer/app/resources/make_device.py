#!/usr/bin/env python3
"""Draws the body of the handheld for the device preview (239 x 361, the
outside transparent) as a GIF file, and writes the window outline made of
its opaque pixels as the preview form's "Mask2" data: a 32-bit byte count,
then the region data as GetRegionData gives it (a 32-byte header, then the
rectangles band by band). Standard library only.

Usage: make_device.py <output folder>
"""
import os
import struct
import sys

sys.dont_write_bytecode = True
from make_pictures import fill, gif, text  # noqa: E402

WIDTH, HEIGHT = 239, 361
# The body's bounds (right and bottom exclusive) and corner radius.
LEFT, TOP, RIGHT, BOTTOM, RADIUS = 4, 3, 237, 360, 20

CLEAR, OUTLINE, EDGE, BEZEL, SCREEN, PAD, INK, KEY, KEY_LIGHT, LETTER, SLOT = range(11)
PALETTE = [
    (255, 0, 255), (28, 32, 36), (132, 140, 150), (38, 42, 48), (123, 140, 99),
    (176, 184, 160), (60, 70, 50), (52, 58, 66), (130, 138, 148), (210, 214, 220),
    (30, 34, 38),
]
BODY = len(PALETTE)
# The body's shades, light at the top to darker at the bottom.
SHADES = 24
for i in range(SHADES):
    t = i / (SHADES - 1)
    PALETTE.append((int(96 - t * 30), int(104 - t * 30), int(114 - t * 30)))
PALETTE += [(0, 0, 0)] * (256 - len(PALETTE))


def inside_round_rect(x, y, left, top, right, bottom, radius):
    """Whether the pixel's centre lies in the rectangle with round corners."""
    cx = min(max(x + 0.5, left + radius), right - radius)
    cy = min(max(y + 0.5, top + radius), bottom - radius)
    dx, dy = x + 0.5 - cx, y + 0.5 - cy
    return left <= x < right and top <= y < bottom and dx * dx + dy * dy <= radius * radius


def round_rect(pixels, left, top, right, bottom, radius, colour):
    for y in range(top, bottom):
        for x in range(left, right):
            if inside_round_rect(x, y, left, top, right, bottom, radius):
                pixels[y][x] = colour


def disc(pixels, cx, cy, radius, colour):
    round_rect(pixels, cx - radius, cy - radius, cx + radius, cy + radius, radius, colour)


def body():
    pixels = [[CLEAR] * WIDTH for _ in range(HEIGHT)]
    round_rect(pixels, LEFT, TOP, RIGHT, BOTTOM, RADIUS, OUTLINE)
    round_rect(pixels, LEFT + 1, TOP + 1, RIGHT - 1, BOTTOM - 1, RADIUS - 1, EDGE)
    for y in range(TOP + 2, BOTTOM - 2):
        shade = BODY + (y - TOP) * SHADES // (BOTTOM - TOP)
        for x in range(LEFT + 2, RIGHT - 2):
            if inside_round_rect(x, y, LEFT + 2, TOP + 2, RIGHT - 2, BOTTOM - 2, RADIUS - 2):
                pixels[y][x] = shade
    # Name plate, speaker slots and the frame round the 160 x 160 screen.
    text(pixels, 20, 18, "LUMBRA", LETTER, 1)
    for slot in range(5):
        fill(pixels, 100 + slot * 8, 22, 104 + slot * 8, 30, SLOT)
    round_rect(pixels, 34, 40, 214, 220, 6, OUTLINE)
    fill(pixels, 36, 42, 212, 218, BEZEL)
    fill(pixels, 44, 50, 204, 210, SCREEN)
    # The writing area below the screen, its two halves and four icons.
    round_rect(pixels, 42, 228, 206, 288, 4, OUTLINE)
    fill(pixels, 44, 230, 204, 286, PAD)
    fill(pixels, 123, 234, 125, 282, INK)
    for x, y in ((50, 236), (50, 268), (190, 236), (190, 268)):
        disc(pixels, x + 4, y + 5, 5, INK)
        disc(pixels, x + 4, y + 5, 2, PAD)
    # Four application keys and the scroll rocker between them.
    for cx in (36, 80, 159, 203):
        disc(pixels, cx, 322, 15, OUTLINE)
        disc(pixels, cx, 322, 13, KEY_LIGHT)
        disc(pixels, cx + 1, 323, 12, KEY)
    round_rect(pixels, 106, 298, 133, 347, 8, OUTLINE)
    round_rect(pixels, 107, 299, 132, 346, 7, KEY)
    fill(pixels, 108, 322, 131, 323, OUTLINE)
    for y, step in ((308, 1), (337, -1)):
        for i in range(5):
            fill(pixels, 119 - i, y + step * i, 121 + i, y + step * i + 1, KEY_LIGHT)
    return pixels


def region(pixels):
    """The opaque pixels as rectangles in banded form: each row's runs, rows
    with equal runs joined into one band."""
    bands = []
    for y, row in enumerate(pixels):
        runs = []
        x = 0
        while x < WIDTH:
            if row[x] == CLEAR:
                x += 1
                continue
            start = x
            while x < WIDTH and row[x] != CLEAR:
                x += 1
            runs.append((start, x))
        if not runs:
            continue
        if bands and bands[-1][1] == y and bands[-1][2] == runs:
            bands[-1][1] = y + 1
        else:
            bands.append([y, y + 1, runs])
    rects = [(l, top, r, bottom) for top, bottom, runs in bands for l, r in runs]
    bound = (min(r[0] for r in rects), bands[0][0], max(r[2] for r in rects), bands[-1][1])
    data = struct.pack("<IIII4i", 32, 1, len(rects), 16 * len(rects), *bound)
    for rect in rects:
        data += struct.pack("<4i", *rect)
    return struct.pack("<i", len(data)) + data


def main():
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)
    pixels = body()
    with open(os.path.join(folder, "device.gif"), "wb") as out:
        out.write(gif(WIDTH, HEIGHT, pixels, PALETTE, CLEAR))
    with open(os.path.join(folder, "device.rgn"), "wb") as out:
        out.write(region(pixels))


if __name__ == "__main__":
    main()
