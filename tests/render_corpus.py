#!/usr/bin/env python3
"""Renders every page of the given files and of the real-world corpus.

    render_corpus.py INSPECT [FILE...] [--corpus FOLDER]

Each page is rendered on its own by `vistrel-inspect render FILE N --zoom 2`
into a temporary PPM file and must either render (exit status 0, an image of
the page's size written) or fail cleanly (exit status 1 or 2 with a one-line
reason) within 20 seconds; a file the tool cannot open must fail cleanly too.
Prints one line per problem and exits 1 when there is any.
"""

import os
import re
import subprocess
import sys
import tempfile

LIMIT = 20


def clean_failure(result):
    lines = result.stderr.strip().splitlines()
    return result.returncode in (1, 2) and len(lines) == 1


def main(argv):
    args = argv[1:]
    files = []
    if "--corpus" in args:
        at = args.index("--corpus")
        folder = args[at + 1]
        args = args[:at] + args[at + 2:]
        if os.path.isdir(folder):
            files += sorted(os.path.join(folder, n) for n in os.listdir(folder)
                            if n.lower().endswith(".pdf"))
    if not args:
        sys.stderr.write(__doc__)
        return 2
    inspect, files = args[0], args[1:] + files
    problems = 0
    rendered = 0
    with tempfile.TemporaryDirectory(prefix="render-corpus-") as tmp:
        out = os.path.join(tmp, "page.ppm")
        for pdf in files:
            name = os.path.basename(pdf)
            listing = subprocess.run([inspect, "pages", pdf], capture_output=True, text=True,
                                     timeout=LIMIT)
            if listing.returncode != 0:
                if not clean_failure(listing):
                    print("%s: not opened, and not cleanly: %r" % (name, listing.stderr))
                    problems += 1
                continue
            for m in re.finditer(r"^page (\d+):", listing.stdout, re.M):
                page = m.group(1)
                try:
                    result = subprocess.run(
                        [inspect, "render", pdf, page, "--zoom", "2", "--out", out],
                        capture_output=True, text=True, timeout=LIMIT)
                except subprocess.TimeoutExpired:
                    print("%s page %s: not rendered within %d s" % (name, page, LIMIT))
                    problems += 1
                    continue
                if result.returncode == 0:
                    rendered += 1
                elif not clean_failure(result):
                    print("%s page %s: exit status %d: %r"
                          % (name, page, result.returncode, result.stderr))
                    problems += 1
    print("%d pages rendered, %d problems" % (rendered, problems))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
