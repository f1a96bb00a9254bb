#!/usr/bin/env python3
"""vistrel-host end to end: the engine registered into a scratch
configuration folder, created by class id and driven through COM alone; the
images it hands out decoded with the Python imaging library.

    host_check.py HOST REGSVR LIBRARY FIXTURES TREE_FIXTURES

Prints one line per problem; exits 1 when there is any.
"""

import os
import shutil
import subprocess
import sys
import tempfile

from PIL import Image

# IVistrel's members and dispatch ids.
DISPIDS = [("open", 1), ("close", 2), ("root", 3), ("State", 4), ("render", 5), ("draw", 6),
           ("width", 7), ("height", 8), ("pages", 9), ("setVisibleRect", 10), ("filename", 11),
           ("writePDB", 12), ("mouseClick", 13), ("writeJPG", 14), ("JPG", 15), ("info", 16),
           ("infoInStr", 17), ("PNG", 18), ("actualWidth", 19), ("actualHeight", 20),
           ("SecurityInfo", 21), ("securityInfoInStr", 22), ("writeMode", 23)]


class Checker:
    def __init__(self, host, fixtures, scratch):
        self.host = host
        self.fixtures = fixtures
        self.scratch = scratch
        self.problems = []

    def fixture(self, name):
        return os.path.join(self.fixtures, name)

    def out(self, name):
        return os.path.join(self.scratch, name)

    def run(self, *args, status=0):
        done = subprocess.run([self.host] + list(args), capture_output=True, text=True, timeout=120)
        if done.returncode != status:
            self.problem("%s: exit %d, not %d (%s)" % (" ".join(args), done.returncode, status,
                                                       done.stderr.strip()))
        return done.stdout.splitlines()

    def problem(self, text):
        self.problems.append(text)

    def expect(self, what, got, wanted):
        if got != wanted:
            self.problem("%s: %r, not %r" % (what, got, wanted))


def pixels(path):
    with Image.open(path) as image:
        return image.size, list(image.convert("RGB").getdata())


def check_members_and_open(c):
    c.expect("dispids", c.run("dispids"), ["%s %d" % m for m in DISPIDS])
    pages = c.fixture("pages.pdf")
    c.expect("open", c.run("open", pages),
             ["open S_OK", "pages 11", "filename " + pages, "state 0,0,1,1.000000,4,4,0"])
    c.expect("open of a missing file", c.run("open", c.out("missing.pdf"), status=1),
             ["open S_FALSE"])
    encrypted = c.fixture("rc4_pages.pdf")
    if os.path.exists(encrypted):
        c.expect("open without the password", c.run("open", encrypted, status=2),
                 ["open E_ACCESSDENIED"])
        c.expect("open with the password", c.run("open", encrypted, "--password", "user")[0],
                 "open S_OK")


def check_images(c):
    """Every road out of the page gives the same pixels: the PNG property,
    draw into the host's own context, the JPEG property and file."""
    for name, size, colour in (("red.pdf", (20, 10), (255, 0, 0)),
                               ("narrow.pdf", (1, 30), (0, 0, 255))):
        base = os.path.splitext(name)[0]
        png, drawn = c.out(base + ".png"), c.out(base + "-draw.png")
        jpg, jpg_file = c.out(base + ".jpg"), c.out(base + "-file.jpg")
        c.expect(name, c.run("render", c.fixture(name), "--png", png, "--jpg", jpg,
                             "--jpg-file", jpg_file, "--draw", drawn),
                 ["open S_OK", "page 1 width %d height %d" % size])
        got_size, got = pixels(png)
        c.expect(name + " PNG size", got_size, size)
        c.expect(name + " PNG colours", set(got), {colour})
        c.expect(name + " drawn pixels", pixels(drawn), (got_size, got))
        with open(jpg, "rb") as a, open(jpg_file, "rb") as b:
            if a.read() != b.read():
                c.problem(name + ": the JPG property and writeJPG differ")
        jpeg_size, decoded = pixels(jpg)
        c.expect(name + " JPEG size", jpeg_size, size)
        if any(abs(p[i] - colour[i]) > 2 for p in decoded for i in range(3)):
            c.problem("%s: JPEG colours %r" % (name, sorted(set(decoded))[:4]))


def check_rotations(c):
    """At zoom 0.5 the PNG is the box times the zoom, truncated, turned for
    /Rotate 90 and 270, with the box's corner square where the turn puts it."""
    lines = c.run("render", c.fixture("pages.pdf"), "--pages", "1-6", "--zoom", "0.5",
                  "--png", c.out("page%d.png"))
    sizes = [(306, 396), (396, 306), (306, 396), (396, 306), (396, 306), (100, 150)]
    c.expect("rotated pages", lines[1:],
             ["page %d width %d height %d" % (i + 1, w, h) for i, (w, h) in enumerate(sizes)])
    corners = ["bottom-left", "top-left", "top-right", "bottom-right", "top-left", "bottom-left"]
    for i, corner in enumerate(corners):
        with Image.open(c.out("page%d.png" % (i + 1))) as image:
            w, h = image.size
            x = 2 if "left" in corner else w - 3
            y = 2 if "top" in corner else h - 3
            c.expect("page %d %s" % (i + 1, corner), image.convert("RGB").getpixel((x, y)),
                     (0, 0, 0))
            c.expect("page %d opposite corner" % (i + 1),
                     image.convert("RGB").getpixel((w - 1 - x, h - 1 - y)), (255, 255, 255))


def check_events(c):
    links = c.fixture("links.pdf")
    c.expect("click", c.run("click", links, "--page", "1", "35", "67", "--events")[-5:],
             ["event changePage 2", "event changeZoom 2", "event changeOffset 200 184",
              "click S_OK", "state 200,184,2,2.000000,4,4,0"])
    lines = c.run("render", links, "--pages", "all", "--zoom", "2", "--events")
    c.expect("events of a render", [l for l in lines if "Progress" not in l],
             ["open S_OK", "event changeZoom 2", "page 1 width 1224 height 1584",
              "event changePage 2", "page 2 width 1224 height 1584",
              "event changePage 3", "page 3 width 1224 height 1584"])
    if "event startProgressIndicator" not in lines:
        c.problem("render: no progress events")


# The sample tree store-tree writes, as tree prints it.
SAMPLE_TREE = ["State\tSample \"tree\"\t0,0,1,1.000000,4,4,0",
               "  State\tCaf\u00e9 \"one\"\t10,20,2,1.500000,3,2,16",
               "    State\t\u0417\u0430\u043a\u043b\u0430\u0434\u043a\u0430\t0,0,1,2.000000,4,4,4",
               "  State\t\u03a9 two\t5,6,1,0.750000,4,4,17"]


def check_trees(c, trees):
    """tree, goto, info and store-tree over the tree fixtures."""
    outline = os.path.join(trees, "outline.pdf")
    lines = c.run("tree", outline, "TOC")
    c.expect("TOC", lines[:4], ["open S_OK", "root S_OK", "TOC\tPage 0--100%\t",
                                "  TOC\tChapter 1\t"])
    c.expect("TOC of a page with none", c.run("tree", os.path.join(trees, "plain.pdf"), "TOC",
                                              status=1), ["open S_OK", "root S_FALSE"])
    c.expect("goto", c.run("goto", outline, "3", "--events"),
             ["open S_OK", "event changePage 2", "event startProgressIndicator",
              "event stopProgressIndicator", "event changeOffset 50 732", "goto S_OK",
              "state 50,732,2,1.000000,4,4,0"])
    lines = c.run("tree", os.path.join(trees, "annots.pdf"), "ANNOTATIONS", "--render")
    c.expect("an annotation's text on one line", lines[3],
             "  Annotation\tPage 1--100%\t10,42,50,50,10526880,\"Alice\","
             "\"Line one\\r\\nline two, with \"\"quotes\"\"\",0")
    c.expect("info", c.run("info", os.path.join(trees, "info_title.pdf")),
             ["open S_OK", "info \"Say \"\"hi\"\", twice\",\"\",\"\",\"\",\"\",\"\",\"\",\"\"",
              "security 0,0,0,0,0,0,0,0"])
    c.expect("info without /Info", c.run("info", os.path.join(trees, "plain.pdf"), status=1),
             ["open S_OK", "info S_FALSE", "security 0,0,0,0,0,0,0,0"])
    # Stored, then read back from the reopened file: the earlier bytes stay
    # and qpdf finds the file sound.
    stored = c.out("stored.pdf")
    shutil.copyfile(outline, stored)
    with open(stored, "rb") as f:
        before = f.read()
    for name in ("BookMarks", "A name/with (delimiters) #1"):
        c.expect("store-tree " + name, c.run("store-tree", stored, name),
                 ["open S_OK", "root put S_OK"])
        c.expect("tree " + name, c.run("tree", stored, name)[2:], SAMPLE_TREE)
    with open(stored, "rb") as f:
        after = f.read()
    if not after.startswith(before) or len(after) <= len(before):
        c.problem("store-tree: the earlier bytes of the file changed")
    if shutil.which("qpdf"):
        check = subprocess.run(["qpdf", "--check", stored], capture_output=True, text=True)
        if check.returncode != 0:
            c.problem("store-tree: qpdf --check: " + check.stdout.strip())
    c.expect("store-tree of a built-in tree", c.run("store-tree", stored, "TOC", status=1),
             ["open S_OK", "root put E_ACCESSDENIED"])


def main(argv):
    if len(argv) != 6:
        sys.stderr.write(__doc__)
        return 2
    host, regsvr, library, fixtures, trees = argv[1:]
    with tempfile.TemporaryDirectory(prefix="vistrel-host-") as scratch:
        os.environ["XDG_CONFIG_HOME"] = os.path.join(scratch, "config")
        subprocess.run([regsvr, library], check=True)
        c = Checker(host, fixtures, scratch)
        check_members_and_open(c)
        check_images(c)
        check_rotations(c)
        check_events(c)
        check_trees(c, trees)
    for p in c.problems:
        print(p)
    return 1 if c.problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
