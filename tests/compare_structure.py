#!/usr/bin/env python3
"""Compares the page count, page sizes and outline titles vistrel-inspect
prints with what qpdf and pdfinfo show.

    compare_structure.py INSPECT FILE... [--corpus FOLDER]

For each file that vistrel-inspect opens (files it refuses must fail with a
one-line reason, never a crash or a hang):
  - `info` gives the page count, and `pages` the page objects in order,
    that `qpdf --show-pages` lists (qpdf walks the tree there; its
    --show-npages takes the root's /Count as it stands);
  - `pages` gives, per page, the size and rotation `pdfinfo -f 1 -l N`
    gives (pdfinfo prints the unrotated box with decimals: its width and
    height are rounded and swapped for 90 and 270 degrees);
  - `outline` gives the titles, in order and nesting, that `qpdf --json`
    lists under "outlines", and every page number it prints is qpdf's.
Files qpdf has to rebuild (damaged tables) are read differently on purpose
and skipped. A file whose name carries "U=word" is opened with that
password. Prints one line per difference; exits 1 when there is any.
"""

import json
import os
import re
import shutil
import subprocess
import sys


def run(args):
    p = subprocess.run(args, stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=120)
    return p.returncode, p.stdout.decode("utf-8", "replace"), p.stderr.decode("utf-8", "replace")


def password_of(path):
    m = re.search(r"U=([^,.]+)", os.path.basename(path))
    return m.group(1) if m else None


def qpdf_outline(items, depth, out, pages):
    for item in items:
        out.append((depth, item.get("title", "")))
        pages.append(item.get("destpageposfrom1"))
        qpdf_outline(item.get("kids", []), depth + 1, out, pages)


def ours_outline(text):
    out, pages = [], []
    for line in text.splitlines():
        stripped = line.lstrip(" ")
        m = re.search(r" -> page (\d+)(?:, .*)?$", stripped)
        title = stripped[:m.start()] if m else stripped
        out.append(((len(line) - len(stripped)) // 2, title))
        pages.append(int(m.group(1)) if m else None)
    return out, pages


def main(argv):
    if "--corpus" in argv:
        k = argv.index("--corpus")
        folder = argv[k + 1]
        argv = argv[:k] + argv[k + 2:]
        if os.path.isdir(folder):
            argv += sorted(os.path.join(folder, f) for f in os.listdir(folder)
                           if f.endswith(".pdf"))
    inspect, files = argv[1], argv[2:]
    have_pdfinfo = shutil.which("pdfinfo") is not None
    differences = 0
    checked = 0

    def differ(f, what):
        nonlocal differences
        differences += 1
        print("%s: %s" % (f, what))

    for f in files:
        pw = password_of(f)
        ipw = ["--password", pw] if pw else []
        qpw = ["--password=" + pw] if pw else []
        rc, out, err = run([inspect, "info", f] + ipw)
        if rc != 0:
            if rc < 0 or rc not in (1, 2) or len(err.strip().splitlines()) != 1:
                differ(f, "refused without a one-line reason (status %d): %r" % (rc, err))
            else:
                print("refused: %s: %s" % (f, err.strip()))
            continue
        _, _, qerr = run(["qpdf"] + qpw + ["--check", f])
        if "reconstruct" in qerr or "file is damaged" in qerr:
            print("damaged (qpdf rebuilds it): %s" % f)
            continue
        if re.search(r"Trailer keys:.*/XRefStm", out):
            print("hybrid (objects in a cross-reference stream): %s" % f)
            continue
        checked += 1

        m = re.search(r"^Pages: (\d+)$", out, re.M)
        _, qpages, _ = run(["qpdf"] + qpw + ["--show-pages", f])
        objects = re.findall(r"^page \d+: (\d+) \d+ R$", qpages, re.M)
        count = len(objects)
        if not m or int(m.group(1)) != count:
            differ(f, "page count %s, qpdf %d" % (m.group(1) if m else "unknown", count))
            continue

        rc, pages, err = run([inspect, "pages", f] + ipw)
        ours = re.findall(r"^page \d+: .*, object (\d+)$", pages, re.M)
        if rc != 0:
            differ(f, "pages failed: %s" % err.strip())
        elif ours != objects:
            differ(f, "page objects %s, qpdf %s" % (" ".join(ours[:8]), " ".join(objects[:8])))
        elif have_pdfinfo and count:
            _, info, _ = run(["pdfinfo"] + (["-upw", pw] if pw else []) +
                             ["-f", "1", "-l", str(count), f])
            sizes = dict((int(n), (float(w), float(h))) for n, w, h in re.findall(
                r"^Page\s+(\d+) size:\s+([\d.]+) x ([\d.]+)", info, re.M))
            rots = dict((int(n), int(r)) for n, r in
                        re.findall(r"^Page\s+(\d+) rot:\s+(-?\d+)", info, re.M))
            for n, w, h, r in re.findall(
                    r"^page (\d+): (\d+) x (\d+) pts, rotate (\d+)", pages, re.M):
                n, w, h, r = int(n), int(w), int(h), int(r)
                # Other angles swap width and height here by design.
                if n not in sizes or r % 90 != 0:
                    continue
                pw_, ph_ = sizes[n]
                if rots.get(n, 0) % 180 == 90:
                    pw_, ph_ = ph_, pw_
                if abs(w - pw_) > 1 or abs(h - ph_) > 1 or r != rots.get(n, 0) % 360:
                    differ(f, "page %d: %d x %d rotate %d, pdfinfo %s x %s rotate %s"
                           % (n, w, h, r, sizes[n][0], sizes[n][1], rots.get(n)))

        rc, outline, err = run([inspect, "outline", f] + ipw)
        if rc != 0:
            differ(f, "outline failed: %s" % err.strip())
            continue
        qrc, qjson, _ = run(["qpdf"] + qpw + ["--json", "--json-key=outlines", f])
        try:
            expected, expected_pages = [], []
            qpdf_outline(json.loads(qjson).get("outlines", []), 0, expected, expected_pages)
        except ValueError:
            continue
        ours, our_pages = ours_outline(outline)
        if ours != expected:
            differ(f, "outline differs:\n  ours: %r\n  qpdf: %r" % (ours[:8], expected[:8]))
            continue
        # A page number printed must be the one qpdf resolves.
        for (depth, title), page, qpage in zip(ours, our_pages, expected_pages):
            if page is not None and page != qpage:
                differ(f, "outline item %r: page %d, qpdf %r" % (title, page, qpage))
    print("%d files checked, %d differences" % (checked, differences))
    return 1 if differences else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
