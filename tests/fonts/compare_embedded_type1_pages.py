#!/usr/bin/env python3
"""Compares the real-world pages typeset in embedded Type 1 fonts with the
reference renderers, through compare-references.

    compare_embedded_type1_pages.py COMPARE-REFERENCES --corpus DIR

The files are those of the shared corpus listed below; a file that is not
there is left out (with a line saying so). The engine reads cross-reference
tables only, so each file is first rewritten by qpdf without object and
cross-reference streams into a scratch folder. Every page must pass at zoom
1 and 2. Exit status: 0 when they do, 1 otherwise.
"""

import os
import shutil
import subprocess
import sys
import tempfile

# TeX documents whose text is in embedded Computer Modern subsets.
FILES = [
    "pagelabels.pdf",
]


def main(argv):
    if len(argv) != 4 or argv[2] != "--corpus":
        sys.stderr.write(__doc__)
        return 2
    compare, corpus = argv[1], argv[3]
    if not shutil.which("qpdf"):
        print("qpdf is not installed: nothing compared")
        return 0
    failed = False
    with tempfile.TemporaryDirectory() as scratch:
        for name in FILES:
            path = os.path.join(corpus, name)
            if not os.path.exists(path):
                print("%s: not in the corpus, left out" % name)
                continue
            plain = os.path.join(scratch, name)
            subprocess.run(["qpdf", "--object-streams=disable", path, plain], check=False)
            for zoom in ("1", "2"):
                result = subprocess.run([sys.executable, compare, plain, "all", zoom],
                                        capture_output=True, text=True)
                for line in result.stdout.splitlines():
                    print("%s at %s: %s" % (name, zoom, line))
                if result.returncode != 0:
                    sys.stdout.write(result.stderr)
                    failed = True
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
