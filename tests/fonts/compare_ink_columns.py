#!/usr/bin/env python3
"""Compares where the ink of a row of glyphs lies across the page with
pdftoppm's rendering.

    compare_ink_columns.py INSPECT FILE PAGE ZOOM TOP BOTTOM

Renders PAGE of FILE at ZOOM with `vistrel-inspect render` and with pdftoppm
at the engine's pixel size, takes the pixel rows between TOP and BOTTOM
points from the top of the page, and finds in each rendering the runs of
columns that hold ink there (a pixel darker than middle grey). The runs must
pair up, every edge of the engine's within one pixel of pdftoppm's. Prints
the runs of both; exits 1 on a difference, 2 for a wrong command line.
"""

import os
import re
import subprocess
import sys
import tempfile


def read_ppm(path):
    with open(path, "rb") as f:
        data = f.read()
    m = re.match(rb"P6\s+(\d+)\s+(\d+)\s+255\s", data)
    return int(m.group(1)), int(m.group(2)), data[m.end():]


def ink_runs(path, zoom, top, bottom):
    """(first, last) column of each run of columns with ink in the band."""
    width, height, pixels = read_ppm(path)
    inked = [False] * width
    for y in range(max(0, int(top * zoom)), min(height, int(bottom * zoom) + 1)):
        row = pixels[y * width * 3:(y + 1) * width * 3]
        for x in range(width):
            if not inked[x] and sum(row[3 * x:3 * x + 3]) < 3 * 128:
                inked[x] = True
    runs, start = [], None
    for x, ink in enumerate(inked + [False]):
        if ink and start is None:
            start = x
        elif not ink and start is not None:
            runs.append((start, x - 1))
            start = None
    return runs


def main(argv):
    if len(argv) != 7:
        sys.stderr.write(__doc__)
        return 2
    inspect, pdf, page = argv[1], argv[2], argv[3]
    zoom, top, bottom = float(argv[4]), float(argv[5]), float(argv[6])
    with tempfile.TemporaryDirectory() as tmp:
        ours = os.path.join(tmp, "ours.ppm")
        subprocess.run([inspect, "render", pdf, page, "--zoom", argv[4], "--out", ours],
                       check=True)
        width, height, _ = read_ppm(ours)
        subprocess.run(["pdftoppm", "-f", page, "-l", page, "-scale-to-x", str(width),
                        "-scale-to-y", str(height), "-singlefile", pdf,
                        os.path.join(tmp, "theirs")], check=True)
        engine = ink_runs(ours, zoom, top, bottom)
        reference = ink_runs(os.path.join(tmp, "theirs.ppm"), zoom, top, bottom)
    print("engine:   %s" % engine)
    print("pdftoppm: %s" % reference)
    same = len(engine) == len(reference) and all(
        abs(a[0] - b[0]) <= 1 and abs(a[1] - b[1]) <= 1 for a, b in zip(engine, reference))
    print("pass" if same else "FAIL: the ink lies elsewhere")
    return 0 if same else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
