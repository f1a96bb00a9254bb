#!/usr/bin/env python3
"""Writes the large documents the whole-process benchmarks read.

    make_documents.py FOLDER [SIZE...] [--report-only]

For every SIZE (default 10000 and 100000) it writes into FOLDER:
  pages-flat-N.pdf      N pages listed in one /Kids array of the root
  pages-balanced-N.pdf  N pages under a tree of pages nodes, 10 kids a node
  outline-N.pdf         an outline of N items (chapters of ten sections of ten
                        subsections), each with a /Dest to one of 1000 pages
  outline-flat-N.pdf    the same outline, item i leading to page i of N pages
                        listed in one /Kids array
and once:
  content-113.pdf       113 pages of Flate-compressed text content with two
                        shared fonts and a compressed picture, in the shape of
                        a typical report

With --report-only only the report is written. The files are made at
benchmark time and never committed.
"""
import os
import random
import sys
import zlib


class Writer:
    """Numbered objects, written with one classic cross-reference table."""

    def __init__(self):
        self.objects = {}

    def put(self, number, body):
        self.objects[number] = body if isinstance(body, bytes) else body.encode("latin-1")

    def stream(self, number, dictionary, data):
        data = zlib.compress(data, 6)
        self.put(number, ("<< %s /Filter /FlateDecode /Length %d >>\nstream\n" %
                          (dictionary, len(data))).encode("latin-1") + data + b"\nendstream")

    def save(self, path, root, info=None):
        size = max(self.objects) + 1
        out = bytearray(b"%PDF-1.4\n%\xe2\xe3\xcf\xd3\n")
        offsets = {}
        for number in sorted(self.objects):
            offsets[number] = len(out)
            out += b"%d 0 obj\n" % number + self.objects[number] + b"\nendobj\n"
        xref = len(out)
        out += b"xref\n0 %d\n0000000000 65535 f \n" % size
        for number in range(1, size):
            if number in offsets:
                out += b"%010d 00000 n \n" % offsets[number]
            else:
                out += b"0000000000 00000 f \n"
        trailer = "<< /Size %d /Root %d 0 R" % (size, root)
        if info:
            trailer += " /Info %d 0 R" % info
        out += ("trailer\n%s >>\nstartxref\n%d\n%%%%EOF\n" % (trailer, xref)).encode()
        with open(path, "wb") as f:
            f.write(out)


def plain_page(parent, i):
    rotate = " /Rotate 90" if i % 7 == 3 else ""
    return "<< /Type /Page /Parent %d 0 R /MediaBox [0 0 %d 792]%s >>" % (parent, 595 + i % 3, rotate)


def page_tree(w, n, first, page_maker, fanout):
    """Writes n pages numbered from `first` and, when fanout is given, a
    balanced tree of pages nodes above them (else one root listing them all).
    Returns the root's number, the page numbers in order and the next free
    number."""
    pages = list(range(first, first + n))
    number = first + n
    parent = {}
    count = dict.fromkeys(pages, 1)
    level = pages
    while True:
        width = fanout or len(level)
        upper = []
        for start in range(0, len(level), width):
            kids = level[start:start + width]
            for k in kids:
                parent[k] = number
            count[number] = sum(count[k] for k in kids)
            upper.append((number, kids))
            number += 1
        for node, kids in upper:
            w.put(node, "<< /Type /Pages /Count %d /Kids [%s]" % (
                count[node], " ".join("%d 0 R" % k for k in kids)))
        level = [node for node, _ in upper]
        if len(level) == 1:
            break
    for node in count:
        if node >= first + n:
            up = " /Parent %d 0 R" % parent[node] if node in parent else ""
            w.objects[node] += (up + " >>").encode()
    for i, p in enumerate(pages):
        w.put(p, page_maker(parent[p], i))
    return level[0], pages, number


def pages_document(path, n, fanout):
    w = Writer()
    root, _, _ = page_tree(w, n, 2, plain_page, fanout)
    w.put(1, "<< /Type /Catalog /Pages %d 0 R >>" % root)
    w.save(path, 1)


def outline_document(path, n, page_count=1000, fanout=10):
    w = Writer()
    root, pages, number = page_tree(w, page_count, 2, plain_page, fanout)
    outlines = number
    number += 1
    order = []  # item numbers in reading order
    kids = {outlines: []}
    parent = {}
    depth = {}

    def add(up, level):
        nonlocal number
        item = number
        number += 1
        order.append(item)
        kids[up].append(item)
        kids[item] = []
        parent[item] = up
        depth[item] = level
        return item

    while len(order) < n:
        chapter = add(outlines, 0)
        for _ in range(10):
            if len(order) >= n:
                break
            section = add(chapter, 1)
            for _ in range(10):
                if len(order) >= n:
                    break
                add(section, 2)
    total = {}
    for item in reversed(order):
        total[item] = sum(1 + total[k] for k in kids[item])
    place = {item: at for siblings in kids.values() for at, item in enumerate(siblings)}
    for index, item in enumerate(order):
        siblings = kids[parent[item]]
        at = place[item]
        body = "<< /Title (Item %d level %d) /Parent %d 0 R /Dest [%d 0 R /XYZ 0 792 0]" % (
            index + 1, depth[item], parent[item], pages[index % len(pages)])
        if at > 0:
            body += " /Prev %d 0 R" % siblings[at - 1]
        if at + 1 < len(siblings):
            body += " /Next %d 0 R" % siblings[at + 1]
        if kids[item]:
            # Chapters open, sections closed.
            shown = total[item] if depth[item] == 0 else -len(kids[item])
            body += " /First %d 0 R /Last %d 0 R /Count %d" % (kids[item][0], kids[item][-1], shown)
        w.put(item, body + " >>")
    top = kids[outlines]
    w.put(outlines, "<< /Type /Outlines /First %d 0 R /Last %d 0 R /Count %d >>" % (
        top[0], top[-1], len(top) + sum(total[c] for c in top)))
    w.put(1, "<< /Type /Catalog /Pages %d 0 R /Outlines %d 0 R /PageMode /UseOutlines >>" %
          (root, outlines))
    w.save(path, 1)


WORDS = ("the of and to in is that for it as was with be by on not he this are or his from "
         "at which but have an they you were her she there been one all we their has would "
         "when if so no will more can out up into do any your what about time only").split()


def content_document(path, page_count=113):
    rng = random.Random(113)
    w = Writer()
    font, bold, image, contents = 3, 4, 5, 1000
    w.put(font, "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>")
    w.put(bold, "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica-Bold >>")
    pixels = bytes((x * 3 + y * 5 + rng.randrange(16)) & 255 for y in range(200) for x in range(600))
    w.stream(image, "/Type /XObject /Subtype /Image /Width 200 /Height 200 /ColorSpace /DeviceRGB "
             "/BitsPerComponent 8", pixels)

    def page(parent, i):
        return ("<< /Type /Page /Parent %d 0 R /MediaBox [0 0 612 792] /Contents %d 0 R "
                "/Resources << /Font << /F1 %d 0 R /F2 %d 0 R >> /XObject << /Im1 %d 0 R >> >> >>"
                % (parent, contents + i, font, bold, image))

    root, _, _ = page_tree(w, page_count, 10, page, 6)
    for i in range(page_count):
        lines = ["BT /F2 14 Tf 72 740 Td (Section %d) Tj ET" % (i + 1)]
        for row in range(48):
            text = " ".join(rng.choice(WORDS) for _ in range(14))
            lines.append("BT /F1 10 Tf 72 %d Td (%s) Tj ET" % (720 - 13 * row, text))
        lines.append("0.5 w 72 60 m 540 60 l S")
        if i % 10 == 0:
            lines.append("q 200 0 0 200 206 300 cm /Im1 Do Q")
        w.stream(contents + i, "", "\n".join(lines).encode("latin-1"))
    w.put(2, "<< /Title (Generated report) /Producer (make_documents.py) >>")
    w.put(1, "<< /Type /Catalog /Pages %d 0 R >>" % root)
    w.save(path, 1, info=2)


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    folder = sys.argv[1]
    report_only = "--report-only" in sys.argv[2:]
    sizes = [int(s) for s in sys.argv[2:] if s != "--report-only"] or [10000, 100000]
    os.makedirs(folder, exist_ok=True)
    for n in [] if report_only else sizes:
        pages_document(os.path.join(folder, "pages-flat-%d.pdf" % n), n, None)
        pages_document(os.path.join(folder, "pages-balanced-%d.pdf" % n), n, 10)
        outline_document(os.path.join(folder, "outline-%d.pdf" % n), n)
        outline_document(os.path.join(folder, "outline-flat-%d.pdf" % n), n, n, None)
    content_document(os.path.join(folder, "content-113.pdf"))


if __name__ == "__main__":
    main()
