#!/usr/bin/env python3
"""Compares where the ink of glyphs lies on the page with pdftoppm's
rendering.

    compare_ink_runs.py INSPECT FILE PAGE ZOOM columns|rows FROM TO [render options]

Renders PAGE of FILE at ZOOM with `vistrel-inspect render` (the render
options, such as --set, go to it) and with pdftoppm at the engine's pixel
size. With `columns` it takes the pixel rows between FROM and TO points from
the top of the page and finds in each rendering the runs of columns that
hold ink there (a pixel darker than middle grey); with `rows`, the pixel
columns between FROM and TO points from the left and the runs of rows. The
runs must pair up, every edge of the engine's within one pixel of
pdftoppm's. Prints the runs of both; exits 1 on a difference, 2 for a wrong
command line.
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


def ink_runs(path, zoom, columns, start, end):
    """(first, last) of each run of columns (or rows) with ink in the band
    from start to end points."""
    width, height, pixels = read_ppm(path)
    length, across = (width, height) if columns else (height, width)
    inked = [False] * length
    for b in range(max(0, int(start * zoom)), min(across, int(end * zoom) + 1)):
        for a in range(length):
            x, y = (a, b) if columns else (b, a)
            at = 3 * (y * width + x)
            if not inked[a] and sum(pixels[at:at + 3]) < 3 * 128:
                inked[a] = True
    runs, first = [], None
    for a, ink in enumerate(inked + [False]):
        if ink and first is None:
            first = a
        elif not ink and first is not None:
            runs.append((first, a - 1))
            first = None
    return runs


def main(argv):
    if len(argv) < 8 or argv[5] not in ("columns", "rows"):
        sys.stderr.write(__doc__)
        return 2
    inspect, pdf, page, zoom = argv[1], argv[2], argv[3], argv[4]
    columns, start, end, options = argv[5] == "columns", float(argv[6]), float(argv[7]), argv[8:]
    with tempfile.TemporaryDirectory() as tmp:
        ours = os.path.join(tmp, "ours.ppm")
        subprocess.run([inspect, "render", pdf, page, "--zoom", zoom, "--out", ours] + options,
                       check=True)
        width, height, _ = read_ppm(ours)
        subprocess.run(["pdftoppm", "-f", page, "-l", page, "-scale-to-x", str(width),
                        "-scale-to-y", str(height), "-singlefile", pdf,
                        os.path.join(tmp, "theirs")], check=True)
        engine = ink_runs(ours, float(zoom), columns, start, end)
        reference = ink_runs(os.path.join(tmp, "theirs.ppm"), float(zoom), columns, start, end)
    print("engine:   %s" % engine)
    print("pdftoppm: %s" % reference)
    same = len(engine) == len(reference) and all(
        abs(a[0] - b[0]) <= 1 and abs(a[1] - b[1]) <= 1 for a, b in zip(engine, reference))
    print("pass" if same else "FAIL: the ink lies elsewhere")
    return 0 if same else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
