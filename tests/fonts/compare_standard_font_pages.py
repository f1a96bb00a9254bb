#!/usr/bin/env python3
"""Compares the real-world pages whose text is in standard fonts that are
not embedded with the reference renderers, through compare-references.

    compare_standard_font_pages.py COMPARE-REFERENCES --corpus DIR

The files are those of the shared corpus listed below; a file that is not
there is left out (with a line saying so). Every page of every file present
must pass at zoom 1 and 2. Exit status: 0 when they do, 1 otherwise.
"""

import os
import subprocess
import sys

# Pages of text in Helvetica and Helvetica-Bold without a font program,
# in WinAnsi, MacRoman and the standard encoding, some rotated.
FILES = [
    "annotated_pdf.pdf",
    "enc-R2,V1.pdf",
    "hello_world_rotated.pdf",
    "hybrid-xref.pdf",
    "incremental-2.pdf",
    "jpeg-qstream.pdf",
    "nested_outline.pdf",
    "stream-data.pdf",
]


def main(argv):
    if len(argv) != 4 or argv[2] != "--corpus":
        sys.stderr.write(__doc__)
        return 2
    compare, corpus = argv[1], argv[3]
    failed = False
    for name in FILES:
        path = os.path.join(corpus, name)
        if not os.path.exists(path):
            print("%s: not in the corpus, left out" % name)
            continue
        for zoom in ("1", "2"):
            result = subprocess.run([sys.executable, compare, path, "all", zoom],
                                    capture_output=True, text=True)
            for line in result.stdout.splitlines():
                print("%s at %s: %s" % (name, zoom, line))
            if result.returncode != 0:
                sys.stdout.write(result.stderr)
                failed = True
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
