#!/usr/bin/env python3
"""GIF files written by the viewer components decode, with the imaging
library and with giflib's giftext, to the pictures they were made from.

    check_written_gifs.py GIF_TOOL GIFTEXT PICTURE_DIR WORK_DIR

Bitmaps of 1, 4, 8 and 24 bits are encoded (the 8-bit noise is large enough
to make the encoder reset its table), several bitmaps make an animation, and
the GIF fixtures are read and written again.
"""

import os
import random
import struct
import subprocess
import sys

from PIL import Image


def bmp(path, w, h, bpp, palette, pixels):
    """A bottom-up Windows bitmap of 1, 4, 8 (indexes) or 24 bits (RGB)."""
    stride = (w * bpp + 31) // 32 * 4
    rows = []
    for y in reversed(range(h)):
        row = bytearray(stride)
        for x in range(w):
            v = pixels[y * w + x]
            if bpp == 1:
                row[x >> 3] |= v << (7 - (x & 7))
            elif bpp == 4:
                row[x >> 1] |= v << (4 if x % 2 == 0 else 0)
            elif bpp == 8:
                row[x] = v
            else:
                row[3 * x:3 * x + 3] = bytes((v[2], v[1], v[0]))
        rows.append(bytes(row))
    table = b"".join(bytes((b, g, r, 0)) for r, g, b in palette)
    offset = 14 + 40 + len(table)
    data = b"".join(rows)
    with open(path, "wb") as f:
        f.write(b"BM" + struct.pack("<IHHI", offset + len(data), 0, 0, offset))
        f.write(struct.pack("<IiiHHIIiiII", 40, w, h, 1, bpp, 0, len(data), 0, 0, 0, 0))
        f.write(table + data)


def make_bitmaps(work):
    rnd = random.Random(42)
    made = {}
    for name, (w, h, bpp, colours) in {
            "bw": (37, 23, 1, 2), "c16": (41, 19, 4, 16), "noise": (150, 120, 8, 256),
            "rgb": (64, 48, 24, 200), "f1": (20, 10, 4, 16), "f2": (20, 10, 4, 16),
            "f3": (20, 10, 4, 16)}.items():
        palette = [tuple(rnd.randrange(256) for _ in range(3)) for _ in range(colours)]
        if bpp == 24:
            pixels = [palette[rnd.randrange(colours)] for _ in range(w * h)]
            palette = []
        else:
            pixels = [rnd.randrange(colours) for _ in range(w * h)]
        path = os.path.join(work, name + ".bmp")
        bmp(path, w, h, bpp, palette, pixels)
        made[name] = path
    return made


def rgb_of(path, frame=0):
    with Image.open(path) as im:
        im.seek(frame)
        return im.size, im.convert("RGB").tobytes()


def giftext(tool, path):
    run = subprocess.run([tool, path], capture_output=True, text=True, errors="replace")
    return run.returncode, run.stdout + run.stderr


def main():
    gif_tool, giftext_tool, pictures, work = sys.argv[1:5]
    os.makedirs(work, exist_ok=True)
    failures = []

    def check(ok, what):
        if not ok:
            failures.append(what)

    def readable(path):
        code, text = giftext(giftext_tool, path)
        check(code == 0 and "Image #1" in text, "giftext cannot read %s: %s" % (path, text[-300:]))
        return text

    bitmaps = make_bitmaps(work)
    for name in ("bw", "c16", "noise", "rgb"):
        out = os.path.join(work, name + ".gif")
        subprocess.run([gif_tool, "encode", out, bitmaps[name]], check=True)
        check(rgb_of(out) == rgb_of(bitmaps[name]), "%s: pixels differ" % name)
        readable(out)

    anim = os.path.join(work, "anim.gif")
    frames = [bitmaps[n] for n in ("f1", "f2", "f3")]
    subprocess.run([gif_tool, "encode", anim] + frames, check=True)
    with Image.open(anim) as im:
        check(im.n_frames == 3, "animation: %d frames" % im.n_frames)
        check(im.info.get("loop") == 7, "animation: loop %r" % im.info.get("loop"))
        for i in range(3):
            im.seek(i)
            check(im.info.get("duration") == (i + 1) * 100,
                  "animation: frame %d waits %r" % (i, im.info.get("duration")))
    for i in (1, 2):
        check(rgb_of(anim, i) == rgb_of(frames[i]), "animation: frame %d pixels differ" % i)
    text = readable(anim)
    check(text.count("Image #") == 3, "giftext: not three images")
    check("Transparency on: yes" in text, "giftext: no transparency")
    # The picture's comment follows the last frame, where the imaging library
    # does not look.
    check("written by the c" in text, "giftext: no comment")  # it shows 16 characters

    for name in ("c2", "c16", "c32", "c256", "interlaced3", "interlaced21", "anim"):
        src = os.path.join(pictures, name + ".gif")
        out = os.path.join(work, "resaved_" + name + ".gif")
        subprocess.run([gif_tool, "resave", src, out], check=True)
        check(rgb_of(out) == rgb_of(src), "%s resaved: pixels differ" % name)
        readable(out)

    for f in failures:
        print("FAIL:", f)
    print("%d failures" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
