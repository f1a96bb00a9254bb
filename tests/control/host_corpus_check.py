#!/usr/bin/env python3
"""vistrel-host over the real-world corpus: every file opens or fails
cleanly (S_FALSE, or E_ACCESSDENIED only where a password is needed and not
known), and every page of the files that open renders within seconds, with
the same pixels through the PNG property, through draw into the host's own
context, and through vistrel-inspect's render of the same page and zoom.

    host_corpus_check.py HOST REGSVR LIBRARY INSPECT CORPUS [--zoom Z]

Prints one line per problem and a summary; exits 1 when there is any, 77
(reported as skipped) when there is no corpus.
"""

import os
import subprocess
import sys
import tempfile
import time

from PIL import Image

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from qpdf_objects import passwords  # noqa: E402

SECONDS_PER_PAGE = 20
# The exit status CTest reports as skipped.
SKIPPED = 77


def same_pixels(a, b):
    with Image.open(a) as x, Image.open(b) as y:
        return x.size == y.size and x.convert("RGB").tobytes() == y.convert("RGB").tobytes()


def check_file(host, inspect, path, password, zoom, scratch, problems):
    name = os.path.basename(path)
    for old in os.listdir(scratch):
        os.remove(os.path.join(scratch, old))
    pw = ["--password", password] if password is not None else []
    opened = subprocess.run([host, "open", path] + pw, capture_output=True, text=True,
                            timeout=60)
    first = opened.stdout.splitlines()[:1]
    if opened.returncode < 0:
        problems.append("%s: open crashed (signal %d)" % (name, -opened.returncode))
        return 0
    if first == ["open S_FALSE"] and opened.returncode == 1:
        return 0
    if first == ["open E_ACCESSDENIED"] and opened.returncode == 2:
        if password is not None:
            problems.append("%s: the known password is refused" % name)
        return 0
    pages = [l for l in opened.stdout.splitlines() if l.startswith("pages ")]
    if opened.returncode != 0 or not pages:
        problems.append("%s: open: exit %d %r" % (name, opened.returncode, opened.stdout[:80]))
        return 0
    count = int(pages[0].split()[1])
    started = time.monotonic()
    try:
        done = subprocess.run([host, "render", path, "--pages", "all", "--zoom", zoom,
                               "--png", os.path.join(scratch, "png%d.png"),
                               "--draw", os.path.join(scratch, "draw%d.png")] + pw,
                              capture_output=True, text=True,
                              timeout=SECONDS_PER_PAGE * max(count, 1) + 30)
    except subprocess.TimeoutExpired:
        problems.append("%s: %d pages not rendered within %d s each" % (name, count,
                                                                        SECONDS_PER_PAGE))
        return 0
    elapsed = time.monotonic() - started
    if done.returncode != 0:
        problems.append("%s: render: exit %d: %s" % (name, done.returncode,
                                                     done.stderr.strip()[:200]))
    rendered = [l.split() for l in done.stdout.splitlines() if l.startswith("page ")]
    for _, page, _, width, _, height in rendered:
        png = os.path.join(scratch, "png%s.png" % page)
        drawn = os.path.join(scratch, "draw%s.png" % page)
        if not same_pixels(png, drawn):
            problems.append("%s page %s: the PNG property and draw differ" % (name, page))
        with Image.open(png) as image:
            if image.size != (int(width), int(height)):
                problems.append("%s page %s: PNG of %r, bitmap %sx%s" % (name, page, image.size,
                                                                         width, height))
        if inspect:
            tool = os.path.join(scratch, "inspect%s.png" % page)
            subprocess.run([inspect, "render", path, page, "--zoom", zoom, "--out", tool] + pw,
                           capture_output=True, timeout=SECONDS_PER_PAGE + 30)
            if not os.path.exists(tool) or not same_pixels(png, tool):
                problems.append("%s page %s: vistrel-inspect render differs" % (name, page))
    print("%s: %d of %d pages, %.2f s" % (name, len(rendered), count, elapsed))
    return len(rendered)


def main(argv):
    if len(argv) not in (6, 8):
        sys.stderr.write(__doc__)
        return 2
    host, regsvr, library, inspect, corpus = argv[1:6]
    zoom = argv[7] if len(argv) == 8 else "1"
    if not os.path.isdir(corpus):
        print("no corpus at %s: skipped" % corpus)
        return SKIPPED
    # The comparison with the inspection tool needs its render command.
    usage = subprocess.run([inspect], capture_output=True, text=True)
    if "render" not in usage.stderr + usage.stdout:
        inspect = None
    known = passwords(corpus)
    problems = []
    pages = 0
    with tempfile.TemporaryDirectory(prefix="vistrel-corpus-") as scratch:
        os.environ["XDG_CONFIG_HOME"] = os.path.join(scratch, "config")
        subprocess.run([regsvr, library], check=True)
        images = os.path.join(scratch, "images")
        os.mkdir(images)
        for name in sorted(os.listdir(corpus)):
            if name.endswith(".pdf"):
                pages += check_file(host, inspect, os.path.join(corpus, name), known.get(name),
                                    zoom, images, problems)
    for p in problems:
        print(p)
    print("%d pages rendered, %d problems" % (pages, len(problems)))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
