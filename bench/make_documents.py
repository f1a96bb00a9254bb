#!/usr/bin/env python3
"""Writes the large documents the whole-process benchmarks read.

    make_documents.py FOLDER [SIZE...] [--report-only | --rendering]

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

With --report-only only the report is written. With --rendering the
documents render-speed times are written instead, each only when it is not
in FOLDER yet:
  content-113.pdf       the report above
  photos-6.pdf          6 pages, each one full-page photograph: a DCT image
                        of 1600 x 2100 pixels (made with cjpeg) drawn on a
                        612 x 792 page, so smaller than its pixels at 72 and
                        150 dpi
  truetype-sizes-40.pdf 40 pages of text in two embedded TrueType subsets
                        (Liberation Serif and Sans, made with pyftsubset),
                        every line in a size of its own from 4 to 34 points
  mixed-1000.pdf        1000 pages in a balanced tree: text in standard fonts
                        that are not embedded and in an embedded TrueType
                        subset, bar charts of filled and stroked paths and
                        curves, a small Flate image on every page and a small
                        DCT image on every third
  tex-pages-12.pdf      12 pages in the shape of pdflatex's: justified lines
                        in embedded Type 1 faces (subsets of Nimbus Roman of
                        the URW fonts) as kerned TJ arrays, bold,
                        italic and raised small figures within the lines,
                        headings, tables of ruled cells and filled boxes
  specimen-8.pdf        8 pages of a type specimen in two embedded Type 1
                        faces (Nimbus Roman and Sans) and an embedded CFF
                        face (C059, FontFile3): lines of the faces'
                        letters, figures and signs, each once a line, every
                        line in a size no other line has (5 to 35 points),
                        so that every glyph shown is scan-converted
  type3-bitmap-12.pdf   12 pages in the shape of a TeX document set in PK
                        bitmap fonts: Type 3 fonts of 8, 10 and 14.4 points
                        whose glyph procedures draw 600 dpi image masks
The files are made at benchmark time and never committed.
"""
import io
import math
import os
import random
import re
import subprocess
import sys
import zlib


class Writer:
    """Numbered objects, written with one classic cross-reference table."""

    def __init__(self):
        self.objects = {}

    def put(self, number, body):
        self.objects[number] = body if isinstance(body, bytes) else body.encode("latin-1")

    def stream(self, number, dictionary, data, flate=True):
        """A stream object; with flate false the data is stored as it is (its
        filter, if any, named in the dictionary)."""
        if flate:
            data = zlib.compress(data, 6)
            dictionary += " /Filter /FlateDecode"
        self.put(number, ("<< %s /Length %d >>\nstream\n" %
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


def fixture_helpers():
    """The TrueType and JPEG helpers of the test fixtures (fontTools,
    pyftsubset, the plain-Python JPEG encoder)."""
    fixtures = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "fixtures")
    if fixtures not in sys.path:
        sys.path.insert(0, fixtures)
    import jpeg_encoder
    import make_truetype_fixtures
    return make_truetype_fixtures, jpeg_encoder


def embed_truetype(w, number, path, name):
    """An embedded TrueType subset (printable ASCII) of the face at path as
    font number, its descriptor number + 1 and program number + 2."""
    truetype, _ = fixture_helpers()
    program = truetype.subset(path)
    face = truetype.TTFont(io.BytesIO(program))
    w.put(number, truetype.font_dict(name, number + 1, truetype.widths_of(face)))
    w.put(number + 1, truetype.descriptor(face, name, 32, number + 2))
    w.stream(number + 2, "/Length1 %d" % len(program), program)


def photo_samples(width, height, seed):
    """Rows of red, green, blue bytes like a photograph's: a smooth scene of
    slow waves, with grain."""
    rng = random.Random(seed)
    # Warm grain: red high, green middle, blue low.
    grain = bytes(rng.randrange(128) + (128, 64, 0)[k % 3] for k in range(6 * width))
    rows = []
    for y in range(height):
        # A brightness curve per row: the scene's light changes slowly down
        # the page, the grain gives the coefficients a photo's spread.
        lift = int(60 * math.sin(y / (37.0 + seed)) + 40 * math.cos(y / 211.0))
        table = bytes(min(255, max(0, (v >> 1) + 64 + lift)) for v in range(256))
        offset = 3 * ((y * 37 + seed * 101) % width)
        rows.append(grain[offset:offset + 3 * width].translate(table))
    return b"".join(rows)


def jpeg_file(width, height, samples, quality=85):
    """The samples as a baseline JPEG file, made with libjpeg's cjpeg."""
    ppm = b"P6\n%d %d\n255\n" % (width, height) + samples
    return subprocess.run(["cjpeg", "-quality", str(quality)], input=ppm, check=True,
                          capture_output=True).stdout


def photo_document(path, page_count=6, width=1600, height=2100):
    """Every page one full-page photograph (DCT, larger than the page at 150
    dpi, so drawn smaller); two pictures, each page its own image object."""
    w = Writer()
    pictures = [jpeg_file(width, height, photo_samples(width, height, seed)) for seed in (1, 2)]
    images = 10

    def page(parent, i):
        return ("<< /Type /Page /Parent %d 0 R /MediaBox [0 0 612 792] /Contents %d 0 R "
                "/Resources << /XObject << /Im1 %d 0 R >> >> >>"
                % (parent, images + 2 * i + 1, images + 2 * i))

    root, _, _ = page_tree(w, page_count, 2, page, None)
    for i in range(page_count):
        w.stream(images + 2 * i, "/Type /XObject /Subtype /Image /Width %d /Height %d "
                 "/ColorSpace /DeviceRGB /BitsPerComponent 8 /Filter /DCTDecode" % (width, height),
                 pictures[i % 2], flate=False)
        w.stream(images + 2 * i + 1, "", b"q 612 0 0 792 0 0 cm /Im1 Do Q")
    w.put(1, "<< /Type /Catalog /Pages %d 0 R >>" % root)
    w.save(path, 1)


LIBERATION = "/usr/share/fonts/truetype/liberation"


def words_line(rng, count):
    return " ".join(rng.choice(WORDS) for _ in range(count))


def truetype_sizes_document(path, page_count=40):
    """Pages of text in two embedded TrueType subsets, every line in a size
    of its own (4 to 34 points in tenths), the sizes differing from page to
    page."""
    rng = random.Random(40)
    w = Writer()
    serif, sans, contents = 3, 6, 1000
    embed_truetype(w, serif, LIBERATION + "/LiberationSerif-Regular.ttf", b"AAAAAA+LiberationSerif")
    embed_truetype(w, sans, LIBERATION + "/LiberationSans-Regular.ttf", b"BBBBBB+LiberationSans")

    def page(parent, i):
        return ("<< /Type /Page /Parent %d 0 R /MediaBox [0 0 612 792] /Contents %d 0 R "
                "/Resources << /Font << /F1 %d 0 R /F2 %d 0 R >> >> >>"
                % (parent, contents + i, serif, sans))

    root, _, _ = page_tree(w, page_count, 10, page, 10)
    for i in range(page_count):
        lines, y, row = [], 760.0, 0
        while True:
            size = 4 + ((i * 61 + row * 7) % 301) / 10.0
            y -= size * 1.15
            if y < 30:
                break
            lines.append("BT /F%d %.1f Tf 36 %.2f Td (%s) Tj ET" % (
                1 + row % 2, size, y, words_line(rng, max(2, int(540 / (size * 2.6))))))
            row += 1
        w.stream(contents + i, "", "\n".join(lines).encode("latin-1"))
    w.put(1, "<< /Type /Catalog /Pages %d 0 R >>" % root)
    w.save(path, 1)


URW = "/usr/share/fonts/type1/urw-base35"


def afm_metrics(path):
    """The widths by code (of the encoded glyphs) and the kerning pairs by
    code pair of an AFM file, in thousandths of an em."""
    widths, codes, kerns = {}, {}, {}
    with open(path, encoding="latin-1") as f:
        for line in f:
            m = re.match(r"C (\d+) ; WX (\d+) ; N (\S+)", line)
            if m:
                widths[int(m.group(1))] = int(m.group(2))
                codes[m.group(3)] = int(m.group(1))
                continue
            m = re.match(r"KPX (\S+) (\S+) (-?\d+)", line)
            if m and m.group(1) in codes and m.group(2) in codes:
                kerns[codes[m.group(1)], codes[m.group(2)]] = int(m.group(3))
    return widths, kerns


def eexec(data, decrypt):
    """Type 1 eexec encryption (key 55665) of data, or its decryption."""
    r, out = 55665, bytearray()
    for c in data:
        p = c ^ (r >> 8)
        out.append(p)
        r = ((c if decrypt else p) + r) * 52845 + 22719 & 0xFFFF
    return bytes(out)


def type1_subset(program, names):
    """A Type 1 program (clear text, binary eexec part, trailer of zeros)
    holding only the named glyphs of its /CharStrings and .notdef, as
    pdflatex embeds subsets; (the program, the length of the clear text,
    the length of the binary part)."""
    clear = program.index(b"eexec") + len(b"eexec") + 1
    trailer = program.rindex(b"cleartomark")
    while program[trailer - 1:trailer] in (b"0", b"\n", b"\r"):
        trailer -= 1
    private = eexec(program[clear:trailer], True)
    start = private.index(b"/CharStrings")
    at = private.index(b"begin", start) + len(b"begin")
    kept, count = bytearray(), 0
    while True:
        m = re.compile(rb"\s*/(\S+) (\d+) (RD|-\|) ").match(private, at)
        if not m:
            break
        end = m.end() + int(m.group(2))
        close = re.compile(rb" ?(ND|\|-)").match(private, end)
        if m.group(1).decode("latin-1") in names or m.group(1) == b".notdef":
            kept += private[at:close.end()]
            count += 1
        at = close.end()
    opening = private.index(b"begin", start) + len(b"begin")
    head = re.sub(rb"/CharStrings \d+", b"/CharStrings %d" % count, private[:opening])
    binary = eexec(head + kept + private[at:], False)
    return program[:clear] + binary + program[trailer:], clear, len(binary)


def embed_type1(w, number, name):
    """A subset of the URW face name (printable ASCII) as an embedded Type 1
    font in its built-in encoding at number, its descriptor at number + 1
    and its program at number + 2; the face's metrics."""
    with open(os.path.join(URW, name + ".t1"), "rb") as f:
        whole = f.read()
    names = set()
    with open(os.path.join(URW, name + ".afm"), encoding="latin-1") as f:
        for line in f:
            m = re.match(r"C (\d+) ; WX \d+ ; N (\S+)", line)
            if m and 32 <= int(m.group(1)) <= 126:
                names.add(m.group(2))
    program, clear, binary = type1_subset(whole, names)
    trailer = clear + binary
    widths, kerns = afm_metrics(os.path.join(URW, name + ".afm"))
    w.put(number, "<< /Type /Font /Subtype /Type1 /BaseFont /%s /FirstChar 32 /LastChar 126 "
          "/Widths [%s] /FontDescriptor %d 0 R >>"
          % (name, " ".join(str(widths.get(c, 0)) for c in range(32, 127)), number + 1))
    w.put(number + 1, "<< /Type /FontDescriptor /FontName /%s /Flags 6 /FontBBox [-168 -281 1000 "
          "1053] /ItalicAngle 0 /Ascent 694 /Descent -194 /CapHeight 662 /StemV 80 "
          "/FontFile %d 0 R >>" % (name, number + 2))
    w.stream(number + 2, "/Length1 %d /Length2 %d /Length3 %d"
             % (clear, trailer - clear, len(program) - trailer), program)
    return widths, kerns


def tex_document(path, page_count=12):
    """Pages in the shape of pdflatex's: justified lines of an article's 10
    points in embedded Type 1 faces, each line one TJ array of kerned pieces
    with the spaces written as numbers, words in bold and italic and small
    raised figures in the lines, section headings, tables of ruled cells
    (each rule stroked in a q/cm/Q group of its own) and filled boxes."""
    rng = random.Random(12)
    w = Writer()
    faces = {}
    for font, name in ((3, "NimbusRoman-Regular"), (6, "NimbusRoman-Bold"),
                       (9, "NimbusRoman-Italic")):
        faces[font] = embed_type1(w, font, name)
    regular, bold, italic, contents = 3, 6, 9, 100
    resource = {regular: "F8", bold: "F11", italic: "F14"}
    left, measure, skip = 133.768, 345.0, 11.955

    def width(font, text, size):
        widths, kerns = faces[font]
        codes = [ord(c) for c in text]
        units = sum(widths.get(c, 0) for c in codes)
        units += sum(kerns.get(pair, 0) for pair in zip(codes, codes[1:]))
        return units * size / 1000.0

    def kerned(font, text):
        # "(W)83(e)": a piece ends where a pair kerns.
        _, kerns = faces[font]
        out, piece = [], text[0]
        for a, b in zip(text, text[1:]):
            k = kerns.get((ord(a), ord(b)), 0)
            if k:
                out.append("(%s)%d" % (piece, -k))
                piece = ""
            piece += b
        return "".join(out) + "(%s)" % piece

    class Page:
        def __init__(self):
            self.ops, self.at = [], (0.0, 0.0)

        def text(self, font, size, x, y, array):
            self.ops.append("/%s %.4f Tf %.3f %.3f Td [%s]TJ" % (
                resource[font], size, x - self.at[0], y - self.at[1], array))
            self.at = (x, y)

        def graphics(self, ops):
            self.ops.append("ET")
            self.ops.extend(ops)
            self.ops.append("BT")
            self.at = (0.0, 0.0)

    def paragraph_line(page, y, size=9.9626):
        words, used = [], 0.0
        while used + 3.3 * len(words) < measure - 20:
            word = rng.choice(WORDS)
            if rng.random() < 0.08:
                word = word.capitalize()
            font = italic if rng.random() < 0.04 else bold if rng.random() < 0.02 else regular
            figure = str(rng.randrange(1, 10)) if rng.random() < 0.03 else ""
            words.append((font, word, figure))
            used += width(font, word, size)
            if figure:
                used += width(regular, figure, 6.9738) + 0.5
        gap = (measure - used) / (len(words) - 1)
        x, run, start, runfont = left, [], left, words[0][0]
        for font, word, figure in words:
            if font != runfont:
                page.text(runfont, size, start, y, "".join(run))
                run, start, runfont = [], x, font
            elif run:
                run.append("%d" % -round(gap * 1000 / size))
            run.append(kerned(font, word))
            x += width(font, word, size)
            if figure:
                page.text(runfont, size, start, y, "".join(run))
                page.text(regular, 6.9738, x + 0.5, y + 3.959, kerned(regular, figure))
                x += width(regular, figure, 6.9738) + 0.5
                run, start = [], x + gap
            x += gap
        if run:
            page.text(runfont, size, start, y, "".join(run))

    def rule(x, y, dx, dy):
        return ("q 1 0 0 1 %.3f %.3f cm []0 d 0 J 0.398 w 0 0 m %.3f %.3f l S Q"
                % (x, y, dx, dy))

    def table(page, y, rows=4, columns=3):
        cell, height = 70.0, 13.549
        ops = []
        for r in range(rows + 1):
            ops.append(rule(left, y - r * height, cell * columns, 0))
        for c in range(columns + 1):
            ops.append(rule(left + c * cell, y - rows * height, 0, rows * height))
        page.graphics(ops)
        for r in range(rows):
            for c in range(columns):
                word = rng.choice(WORDS) if c == 0 else "%d.%d" % (rng.randrange(100),
                                                                   rng.randrange(10))
                page.text(regular, 9.9626, left + c * cell + 5.978, y - (r + 1) * height + 4.065,
                          kerned(regular, word))
        return y - rows * height - skip

    def page(parent, i):
        return ("<< /Type /Page /Parent %d 0 R /MediaBox [0 0 612 792] /Contents %d 0 R "
                "/Resources << /Font << /F8 %d 0 R /F11 %d 0 R /F14 %d 0 R >> "
                "/ProcSet [/PDF /Text] >> >>" % (parent, contents + i, regular, bold, italic))

    root, _, _ = page_tree(w, page_count, 20, page, None)
    section = 0
    for i in range(page_count):
        pg = Page()
        y = 707.0
        while y > 140:
            choice = rng.random()
            if choice < 0.08:
                section += 1
                title = "%d %s" % (section, " ".join(rng.choice(WORDS).capitalize()
                                                     for _ in range(3)))
                y -= 8
                pg.text(bold, 14.3462, left, y, kerned(bold, title))
                y -= 20
            elif choice < 0.14:
                y = table(pg, y)
            elif choice < 0.18:
                # A filled bar and a stroked box, as rules and proof ends.
                pg.graphics(["%.3f %.3f %.3f %.3f re f" % (left, y, measure, 0.4),
                             "q 0.398 w %.3f %.3f 6.974 6.974 re S Q"
                             % (left + measure - 6.974, y - 10)])
                y -= skip + 4
            for _ in range(rng.randrange(4, 9)):
                if y <= 140:
                    break
                paragraph_line(pg, y)
                y -= skip
            y -= 4
        pg.text(regular, 9.9626, 303.509, 90.0, kerned(regular, str(i + 1)))
        w.stream(contents + i, "", ("BT\n" + "\n".join(pg.ops) + "\nET").encode("latin-1"))
    w.put(1, "<< /Type /Catalog /Pages %d 0 R >>" % root)
    w.save(path, 1)


def mixed_document(path, page_count=1000):
    """Pages of everything at once: text in standard fonts that are not
    embedded and in an embedded TrueType subset, filled and stroked paths
    and curves, and small images (Flate and DCT)."""
    rng = random.Random(1000)
    _, jpeg = fixture_helpers()
    w = Writer()
    helvetica, times, bold, truetype, logo, photo, contents = 3, 4, 5, 6, 9, 10, 20
    w.put(helvetica, "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica "
          "/Encoding /WinAnsiEncoding >>")
    w.put(times, "<< /Type /Font /Subtype /Type1 /BaseFont /Times-Roman "
          "/Encoding /WinAnsiEncoding >>")
    w.put(bold, "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica-Bold >>")
    embed_truetype(w, truetype, LIBERATION + "/LiberationSans-Regular.ttf",
                   b"CCCCCC+LiberationSans")
    pixels = bytes((x * 5 + y * 3 + rng.randrange(24)) & 255 for y in range(48) for x in range(192))
    w.stream(logo, "/Type /XObject /Subtype /Image /Width 64 /Height 48 /ColorSpace /DeviceRGB "
             "/BitsPerComponent 8", pixels)
    grey = bytes((x * x + y * 7 + rng.randrange(32)) & 255 for y in range(60) for x in range(80))
    w.stream(photo, "/Type /XObject /Subtype /Image /Width 80 /Height 60 /ColorSpace /DeviceGray "
             "/BitsPerComponent 8 /Filter /DCTDecode", jpeg.encode(80, 60, 1, grey, 80), flate=False)

    def page(parent, i):
        return ("<< /Type /Page /Parent %d 0 R /MediaBox [0 0 612 792] /Contents %d 0 R "
                "/Resources << /Font << /F1 %d 0 R /F2 %d 0 R /F3 %d 0 R /F4 %d 0 R >> "
                "/XObject << /Im1 %d 0 R /Im2 %d 0 R >> >> >>"
                % (parent, contents + i, helvetica, times, bold, truetype, logo, photo))

    root, _, _ = page_tree(w, page_count, contents + page_count, page, 10)
    for i in range(page_count):
        lines = ["BT /F3 16 Tf 72 740 Td (Chapter %d) Tj ET" % (i + 1)]
        y = 716
        for block in range(3):
            font, size = ((2, 10), (4, 9), (1, 9.5))[(i + block) % 3]
            for _ in range(8):
                lines.append("BT /F%d %g Tf 72 %d Td (%s) Tj ET" % (
                    font, size, y, words_line(rng, 13)))
                y -= 12
            y -= 10
        # A chart: filled bars, a stroked curve and its frame.
        lines.append("q 0.5 w 0 0 0 RG 72 120 300 140 re S")
        for bar in range(8):
            lines.append("%.2f %.2f %.2f rg %d 120 24 %d re f" % (
                rng.random(), rng.random(), rng.random(), 84 + 36 * bar, rng.randrange(10, 130)))
        lines.append("1 0 0 RG 1.5 w 72 %d m 150 %d 250 %d 372 %d c S Q" % tuple(
            rng.randrange(130, 250) for _ in range(4)))
        lines.append("q 64 0 0 48 420 200 cm /Im1 Do Q")
        if i % 3 == 0:
            lines.append("q 120 0 0 90 420 90 cm /Im2 Do Q")
        w.stream(contents + i, "", "\n".join(lines).encode("latin-1"))
    w.put(1, "<< /Type /Catalog /Pages %d 0 R >>" % root)
    w.save(path, 1)


def embed_cff(w, number, path, name):
    """A subset (printable ASCII) of the OpenType face at path as an embedded
    bare CFF font (FontFile3 /Type1C) in WinAnsi encoding at number, its
    descriptor at number + 1 and its program at number + 2."""
    truetype, _ = fixture_helpers()
    face = truetype.TTFont(io.BytesIO(truetype.subset(path)))
    program = face.reader["CFF "]
    cmap, advances = face.getBestCmap(), face["hmtx"].metrics
    scale = 1000.0 / face["head"].unitsPerEm
    widths = [round(advances[cmap[c]][0] * scale) if c in cmap else 0 for c in range(32, 127)]
    w.put(number, "<< /Type /Font /Subtype /Type1 /BaseFont /%s /FirstChar 32 /LastChar 126 "
          "/Widths [%s] /Encoding /WinAnsiEncoding /FontDescriptor %d 0 R >>"
          % (name, " ".join(map(str, widths)), number + 1))
    w.put(number + 1, "<< /Type /FontDescriptor /FontName /%s /Flags 6 /FontBBox [-200 -300 1100 "
          "1000] /ItalicAngle 0 /Ascent 720 /Descent -220 /CapHeight 700 /StemV 80 "
          "/FontFile3 %d 0 R >>" % (name, number + 2))
    w.stream(number + 2, "/Subtype /Type1C", program)
    return dict(zip(range(32, 127), widths))


def specimen_document(path, page_count=8):
    """Pages of a type specimen: the letters, figures and signs of two
    embedded Type 1 faces and one embedded CFF face, every line of the
    document in a size no other line has (5 to 35 points in tenths) and no
    character twice in a line, so that no glyph is drawn twice at one
    size."""
    charset = ("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"
               "&?!.,;:-()[]/*@$%")
    w = Writer()
    widths = [embed_type1(w, 3, "NimbusRoman-Regular")[0],
              embed_type1(w, 6, "NimbusSans-Regular")[0],
              embed_cff(w, 9, "/usr/share/fonts/opentype/urw-base35/C059-Roman.otf",
                        "CCCCCC+C059-Roman")]
    contents, line = 100, 0

    def page(parent, i):
        return ("<< /Type /Page /Parent %d 0 R /MediaBox [0 0 612 792] /Contents %d 0 R "
                "/Resources << /Font << /F1 3 0 R /F2 6 0 R /F3 9 0 R >> >> >>"
                % (parent, contents + i))

    root, _, _ = page_tree(w, page_count, 10, page, 10)
    for i in range(page_count):
        lines, y, above = [], 780.0, 0.0
        while True:
            # 301 sizes visited in a scattered order, each once.
            size = 5 + (line * 97 % 301) / 10.0
            if y - above - size < 20:
                break
            y -= above + size
            above = size * 0.3
            # As many characters as fit the line, from a place of their own
            # in the set.
            start = line * 7 % len(charset)
            text, used = "", 0.0
            for c in charset[start:] + charset[:start]:
                used += widths[line % 3].get(ord(c), 0) * size / 1000.0
                if used > 550:
                    break
                text += c
            text = text.replace("\\", "\\\\").replace("(", "\\(").replace(")", "\\)")
            lines.append("BT /F%d %.1f Tf 30 %.2f Td (%s) Tj ET" % (1 + line % 3, size, y, text))
            line += 1
        w.stream(contents + i, "", "\n".join(lines).encode("latin-1"))
    w.put(1, "<< /Type /Catalog /Pages %d 0 R >>" % root)
    w.save(path, 1)


def bitmap_font(w, number, face, size, resolution=600):
    """A Type 3 font at number, in the shape of a PK font as dvips and pdfTeX
    write them: the printable ASCII glyphs of the OpenType face drawn at
    size points and resolution dots an inch, each glyph procedure a d1
    followed by a 1-bit image mask in line; the glyph space is the pixel
    grid. The advance widths in text space units by code."""
    from PIL import Image, ImageDraw, ImageFont
    ppem = size * resolution / 72.0
    font = ImageFont.truetype(face, round(ppem))
    procs, names, widths, advances = {}, [], [], {}
    box = [0, 0, 0, 0]
    for code in range(32, 127):
        char, name = chr(code), "a%d" % code
        advance = round(font.getlength(char))
        advances[code] = advance / ppem
        widths.append(str(advance))
        side = int(ppem * 3)
        image = Image.new("1", (side, side), 0)
        ImageDraw.Draw(image).text((side // 3, 2 * side // 3), char, fill=1, font=font, anchor="ls")
        bbox = image.getbbox()
        if not bbox:
            data = b"%d 0 0 0 0 0 d1" % advance
        else:
            mask = image.crop(bbox)
            llx, lly = bbox[0] - side // 3, 2 * side // 3 - bbox[3]
            urx, ury = bbox[2] - side // 3, 2 * side // 3 - bbox[1]
            box = [min(box[0], llx), min(box[1], lly), max(box[2], urx), max(box[3], ury)]
            data = (b"%d 0 %d %d %d %d d1\nq\n%d 0 0 %d %d %d cm\nBI\n/W %d\n/H %d\n/IM true\n"
                    b"/BPC 1\n/D [1 0]\nID " % (advance, llx, lly, urx, ury, mask.width,
                                               mask.height, llx, lly, mask.width, mask.height)
                    + mask.tobytes() + b"\nEI\nQ")
        w.stream(number + 1 + len(names), "", data)
        procs[name] = number + 1 + len(names)
        names.append(name)
    charprocs = number + 1 + len(names)
    w.put(charprocs, "<< %s >>" % " ".join("/%s %d 0 R" % (n, procs[n]) for n in names))
    w.put(number, "<< /Type /Font /Subtype /Type3 /FontBBox [%d %d %d %d] "
          "/FontMatrix [%.8f 0 0 %.8f 0 0] /Resources << >> /CharProcs %d 0 R "
          "/Encoding << /Type /Encoding /Differences [32 %s] >> /FirstChar 32 /LastChar 126 "
          "/Widths [%s] >>" % (tuple(box) + (1 / ppem, 1 / ppem, charprocs,
                               " ".join("/" + n for n in names), " ".join(widths))))
    return advances


def type3_bitmap_document(path, page_count=12):
    """Pages of a TeX document set in bitmap fonts, as dvips and pdfTeX
    write PK fonts: justified lines of 10 points with headings of 14 and
    notes of 8, in Type 3 fonts whose glyphs are 600 dpi image masks; each
    line one TJ array with the spaces written as numbers."""
    rng = random.Random(3)
    w = Writer()
    serif = "/usr/share/fonts/opentype/urw-base35/NimbusRoman-Regular.otf"
    bold = "/usr/share/fonts/opentype/urw-base35/NimbusRoman-Bold.otf"
    fonts = {"F1": (10.0, serif, 1000), "F2": (14.4, bold, 2000), "F3": (8.0, serif, 3000),
             "F4": (10.0, bold, 4000)}
    advances = {key: bitmap_font(w, number, face, size)
                for key, (size, face, number) in fonts.items()}
    contents = 100
    left, measure = 72.0, 468.0

    def page(parent, i):
        return ("<< /Type /Page /Parent %d 0 R /MediaBox [0 0 612 792] /Contents %d 0 R "
                "/Resources << /Font << %s >> >> >>" % (parent, contents + i, " ".join(
                    "/%s %d 0 R" % (key, number) for key, (_, _, number) in fonts.items())))

    def justified(key, y, words):
        size = fonts[key][0]
        natural = sum(advances[key][ord(c)] for c in "".join(words)) * size
        space = (measure - natural) / max(1, len(words) - 1) / size * 1000
        return "BT /%s %.4f Tf %.3f %.3f Td [%s] TJ ET" % (
            key, size, left, y, ("%d" % -space).join("(%s)" % word for word in words))

    def words_fitting(key, limit):
        size, words, used = fonts[key][0], [], 0.0
        while True:
            word = rng.choice(WORDS)
            extra = (sum(advances[key][ord(c)] for c in word) + advances[key][32]) * size
            if used + extra > limit:
                return words
            words.append(word)
            used += extra

    root, _, _ = page_tree(w, page_count, 10, page, 10)
    for i in range(page_count):
        lines, y = [], 740.0
        while y > 80:
            if rng.random() < 0.04:
                y -= 10
                lines.append("BT /F2 14.4 Tf %.3f %.3f Td (%d %s) Tj ET" % (
                    left, y, i + 1, words_line(rng, 3)))
                y -= 20
                continue
            words = words_fitting("F1", measure)
            if rng.random() < 0.2:
                words[rng.randrange(len(words))] = rng.choice(WORDS)
                lines.append(justified("F4" if rng.random() < 0.3 else "F1", y, words))
            else:
                lines.append(justified("F1", y, words))
            y -= 12.0
        for _ in range(3):
            lines.append(justified("F3", y, words_fitting("F3", measure)))
            y -= 9.5
        w.stream(contents + i, "", "\n".join(lines).encode("latin-1"))
    w.put(1, "<< /Type /Catalog /Pages %d 0 R >>" % root)
    w.save(path, 1)


def rendering_documents(folder):
    """The generated documents render-speed times, written into folder when
    they are not there yet; their paths."""
    makers = [("content-113.pdf", content_document),
              ("photos-6.pdf", photo_document),
              ("truetype-sizes-40.pdf", truetype_sizes_document),
              ("mixed-1000.pdf", mixed_document),
              ("tex-pages-12.pdf", tex_document),
              ("specimen-8.pdf", specimen_document),
              ("type3-bitmap-12.pdf", type3_bitmap_document)]
    os.makedirs(folder, exist_ok=True)
    paths = []
    for name, maker in makers:
        path = os.path.join(folder, name)
        if not os.path.exists(path):
            maker(path + ".part")
            os.replace(path + ".part", path)
        paths.append(path)
    return paths


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    folder = sys.argv[1]
    flags = [a for a in sys.argv[2:] if a.startswith("--")]
    report_only, rendering = "--report-only" in flags, "--rendering" in flags
    sizes = [int(s) for s in sys.argv[2:] if not s.startswith("--")] or [10000, 100000]
    os.makedirs(folder, exist_ok=True)
    if rendering:
        rendering_documents(folder)
        return
    for n in [] if report_only else sizes:
        pages_document(os.path.join(folder, "pages-flat-%d.pdf" % n), n, None)
        pages_document(os.path.join(folder, "pages-balanced-%d.pdf" % n), n, 10)
        outline_document(os.path.join(folder, "outline-%d.pdf" % n), n)
        outline_document(os.path.join(folder, "outline-flat-%d.pdf" % n), n, n, None)
    content_document(os.path.join(folder, "content-113.pdf"))


if __name__ == "__main__":
    main()
