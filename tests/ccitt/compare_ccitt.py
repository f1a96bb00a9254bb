#!/usr/bin/env python3
"""Compares the CCITT fax images vistrel-inspect decodes with mutool's.

    compare_ccitt.py INSPECT FILE... [--corpus FOLDER]

For every image XObject of each file whose last filter is /CCITTFaxDecode
(/CCF), the rows `vistrel-inspect streams FILE` writes for it (8 pixels a byte,
each row starting on a byte boundary) must show the same pixels as the image
`mutool extract FILE NUM` writes. mutool writes image masks as coverage
(painted pixels 1) and applies /Decode, so those flip the expected values.
Objects are found with qpdf; files vistrel-inspect refuses to open are listed
and skipped. Passwords come from the corpus's SOURCES.md.
Prints one line per image and exits 1 when any differs. Standard library only.
"""

import os
import struct
import subprocess
import sys
import tempfile
import zlib

CCITT = {"/CCITTFaxDecode", "/CCF"}
READ = CCITT | {"/FlateDecode", "/Fl", "/LZWDecode", "/LZW", "/ASCIIHexDecode", "/AHx",
                "/ASCII85Decode", "/A85", "/RunLengthDecode", "/RL"}


sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from qpdf_objects import as_list, inspect_records, passwords, stream_dicts  # noqa: E402


def ccitt_images(path, password):
    """(number, width, height, flipped) of each CCITT image XObject."""
    for num, d, filters in stream_dicts(path, password):
        if not filters or filters[-1] not in CCITT or any(f not in READ for f in filters):
            continue
        width, height = d.get("/Width"), d.get("/Height")
        if not isinstance(width, int) or not isinstance(height, int):
            continue
        decode = d.get("/Decode")
        flipped = isinstance(decode, list) and len(decode) == 2 and decode[0] == 1
        if d.get("/ImageMask") is True:
            flipped = not flipped
        yield num, width, height, flipped


def png_pixels(path):
    """Grey levels (0 to 255) of a non-interlaced grey or palette PNG."""
    data = open(path, "rb").read()
    pos, idat, plte, ihdr = 8, b"", b"", None
    while pos < len(data):
        length, kind = struct.unpack_from(">I4s", data, pos)
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            ihdr = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        elif kind == b"PLTE":
            plte = body
        pos += 12 + length
    width, height, depth, ctype, _, _, interlace = ihdr
    channels = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}[ctype]
    if interlace or depth > 8:
        raise ValueError("unsupported PNG layout")
    bpp = max(1, channels * depth // 8)
    stride = (width * channels * depth + 7) // 8
    raw = zlib.decompress(idat)
    prev = bytearray(stride)
    levels = []
    for y in range(height):
        kind = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - bpp] if i >= bpp else 0
            b = prev[i]
            c = prev[i - bpp] if i >= bpp else 0
            if kind == 1:
                line[i] = (line[i] + a) & 255
            elif kind == 2:
                line[i] = (line[i] + b) & 255
            elif kind == 3:
                line[i] = (line[i] + (a + b) // 2) & 255
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        prev = line
        row = []
        for x in range(width):
            if depth == 8:
                v = line[x * channels]
            else:
                bit = x * depth
                v = (line[bit // 8] >> (8 - depth - bit % 8)) & ((1 << depth) - 1)
                v = v * 255 // ((1 << depth) - 1) if ctype != 3 else v
            if ctype == 3:
                v = plte[3 * v]
            row.append(v)
        levels.append(row)
    return width, height, levels


def main(argv):
    inspect, files, corpus = argv[1], [], None
    i = 2
    while i < len(argv):
        if argv[i] == "--corpus":
            corpus = argv[i + 1]
            i += 2
        else:
            files.append(argv[i])
            i += 1
    known = {}
    if corpus and os.path.isdir(corpus):
        known = passwords(corpus)
        files += sorted(os.path.join(corpus, f) for f in os.listdir(corpus) if f.endswith(".pdf"))

    compared = differences = 0
    for path in files:
        name = os.path.basename(path)
        password = known.get(name)
        pw_args = ["--password", password] if password is not None else []
        images = list(ccitt_images(path, password))
        if not images:
            continue
        probe = subprocess.run([inspect, "info", path] + pw_args, capture_output=True, timeout=60)
        if probe.returncode != 0:
            print("skipped %s: %s" % (name, probe.stderr.decode(errors="replace").strip()))
            continue
        _, ours_all, _ = inspect_records(inspect, path, password, "streams")
        for num, width, height, flipped in images:
            status, data = ours_all.get(num, ("not listed", b""))
            with tempfile.TemporaryDirectory() as tmp:
                mp = ["-p", password] if password is not None else []
                subprocess.run(["mutool", "extract"] + mp + [os.path.abspath(path), str(num)],
                               cwd=tmp, capture_output=True, timeout=120)
                written = [f for f in os.listdir(tmp) if f.endswith(".png")]
                if not written:
                    print("%s %d: mutool wrote no image; skipped" % (name, num))
                    continue
                mw, mh, levels = png_pixels(os.path.join(tmp, written[0]))
            compared += 1
            stride = (width + 7) // 8
            problem = None
            if status is not None:
                problem = "vistrel-inspect failed: " + status
            elif (mw, mh) != (width, height):
                problem = "mutool wrote %dx%d" % (mw, mh)
            elif len(data) < stride * height:
                problem = "%d bytes, expected at least %d" % (len(data), stride * height)
            else:
                wrong = 0
                for y in range(height):
                    for x in range(width):
                        white = (data[y * stride + x // 8] >> (7 - x % 8)) & 1
                        if flipped:
                            white ^= 1
                        if bool(white) != (levels[y][x] >= 128):
                            wrong += 1
                if wrong:
                    problem = "%d of %d pixels differ" % (wrong, width * height)
            if problem:
                differences += 1
                print("%s %d (%dx%d): %s" % (name, num, width, height, problem))
            else:
                print("%s %d (%dx%d): same pixels" % (name, num, width, height))
    print("%d CCITT images compared, %d differ" % (compared, differences))
    return 1 if differences else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
