#!/usr/bin/env python3
"""Writes the font fixtures, byte for byte.

    make_font_fixtures.py OUTDIR

fonts.pdf: one page whose resources hold one font of each kind the font code
tells apart. The program streams hold placeholder bytes: only their
dictionaries are read.
  /T1C  Type 1, descriptor flags 0x40002, /FontFile3 /Type1C
  /T1   Type 1, /FontFile, an encoding dictionary with /Differences
  /TT   TrueType, /FontFile2, /Widths
  /T3   Type 3 with two glyph procedures
  /T0   Type 0 over a /CIDFontType2 descendant with /FontFile2
  /NS   Type 1 whose descriptor lacks /StemV (so it has none), /FontFile
  /OT   TrueType with a /FontFile3 /OpenType program (of no kind the engine takes)
  /MM   MMType1 without a descriptor
  /H    Type 1 Helvetica without a descriptor, /Encoding /StandardEncoding
"""

import os
import sys

FLAGS_REQUIRED = b"/Ascent 718 /CapHeight 718 /Descent -207 /ItalicAngle 0 /StemV 88"


class Pdf:
    def __init__(self):
        self.data = bytearray(b"%PDF-1.4\n%\xe2\xe3\xcf\xd3\n")
        self.offsets = {}

    def obj(self, num, body):
        self.offsets[num] = len(self.data)
        self.data += b"%d 0 obj\n" % num + body + b"\nendobj\n"

    def stream(self, num, payload, extra=b""):
        self.obj(num, b"<< /Length %d%s >>\nstream\n" % (len(payload), extra)
                 + payload + b"\nendstream")

    def finish(self, trailer):
        size = max(self.offsets) + 1
        at = len(self.data)
        self.data += b"xref\n0 %d\n0000000000 65535 f \n" % size
        for n in range(1, size):
            if n in self.offsets:
                self.data += b"%010d 00000 n \n" % self.offsets[n]
            else:
                self.data += b"0000000000 00001 f \n"
        self.data += b"trailer\n<< /Size %d %s >>\nstartxref\n%d\n%%%%EOF\n" % (size, trailer, at)
        return bytes(self.data)


def descriptor(name, flags, program=b"", required=FLAGS_REQUIRED):
    return (b"<< /Type /FontDescriptor /FontName /%s /Flags %d %s /FontBBox [0 0 1000 1000] %s >>"
            % (name, flags, required, program))


def fonts():
    pdf = Pdf()
    pdf.obj(1, b"<< /Type /Catalog /Pages 2 0 R >>")
    pdf.obj(2, b"<< /Type /Pages /Kids [3 0 R] /Count 1 >>")
    pdf.obj(3, b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] /Contents 4 0 R "
               b"/Resources << /Font << /T1C 10 0 R /T1 11 0 R /TT 12 0 R /T3 13 0 R "
               b"/T0 14 0 R /NS 15 0 R /OT 16 0 R /MM 17 0 R /H 18 0 R >> >> >>")
    pdf.stream(4, b"BT /T1C 12 Tf 10 10 Td (A) Tj ET")

    pdf.obj(10, b"<< /Type /Font /Subtype /Type1 /BaseFont /ABCDEF+Helvetica-Bold "
                b"/FirstChar 65 /LastChar 66 /Widths [722 722] /FontDescriptor 20 0 R >>")
    pdf.obj(20, descriptor(b"ABCDEF+Helvetica-Bold", 0x40002, b"/FontFile3 30 0 R"))
    pdf.stream(30, b"compact font program", b" /Subtype /Type1C")

    pdf.obj(11, b"<< /Type /Font /Subtype /Type1 /BaseFont /Times-Italic /FontDescriptor 21 0 R "
                b"/Encoding << /Type /Encoding /BaseEncoding /WinAnsiEncoding "
                b"/Differences [65 /Aacute /Lcedilla 300 /x] >> >>")
    pdf.obj(21, descriptor(b"Times-Italic", 0x62, b"/FontFile 31 0 R"))
    pdf.stream(31, b"type 1 font program", b" /Length1 19 /Length2 0 /Length3 0")

    pdf.obj(12, b"<< /Type /Font /Subtype /TrueType /BaseFont /Arial,Bold /FirstChar 32 "
                b"/LastChar 34 /Widths [278 278 355] /FontDescriptor 22 0 R >>")
    pdf.obj(22, descriptor(b"Arial,Bold", 0x20, b"/FontFile2 32 0 R /AvgWidth 479"))
    pdf.stream(32, b"truetype font program", b" /Length1 21")

    pdf.obj(13, b"<< /Type /Font /Subtype /Type3 /FontBBox [0 0 750 750] "
                b"/FontMatrix [0.001 0 0 0.001 0 0] /CharProcs << /a 33 0 R /b 33 0 R >> "
                b"/Encoding << /Type /Encoding /Differences [97 /a /b] >> "
                b"/FirstChar 97 /LastChar 98 /Widths [1000 1000] >>")
    pdf.stream(33, b"1000 0 0 0 750 750 d1 0 0 750 750 re f")

    pdf.obj(14, b"<< /Type /Font /Subtype /Type0 /BaseFont /GHIJKL+MSMincho "
                b"/Encoding /Identity-H /DescendantFonts [24 0 R] >>")
    pdf.obj(24, b"<< /Type /Font /Subtype /CIDFontType2 /BaseFont /GHIJKL+MSMincho "
                b"/CIDSystemInfo << /Registry (Adobe) /Ordering (Identity) /Supplement 0 >> "
                b"/FontDescriptor 25 0 R /CIDToGIDMap /Identity >>")
    pdf.obj(25, descriptor(b"GHIJKL+MSMincho", 0x4, b"/FontFile2 34 0 R"))
    pdf.stream(34, b"truetype font program", b" /Length1 21")

    pdf.obj(15, b"<< /Type /Font /Subtype /Type1 /BaseFont /NoStem /FontDescriptor 26 0 R >>")
    pdf.obj(26, descriptor(b"NoStem", 0x20, b"/FontFile 35 0 R",
                           b"/Ascent 718 /CapHeight 718 /Descent -207 /ItalicAngle 0"))
    pdf.stream(35, b"type 1 font program", b" /Length1 19 /Length2 0 /Length3 0")

    pdf.obj(16, b"<< /Type /Font /Subtype /TrueType /BaseFont /OpenSans /FontDescriptor 27 0 R >>")
    pdf.obj(27, descriptor(b"OpenSans", 0x20, b"/FontFile3 36 0 R"))
    pdf.stream(36, b"OTTO open type font program", b" /Subtype /OpenType")

    pdf.obj(17, b"<< /Type /Font /Subtype /MMType1 /BaseFont /MyriadMM >>")
    pdf.obj(18, b"<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica "
                b"/Encoding /StandardEncoding >>")
    return pdf.finish(b"/Root 1 0 R")


def main(argv):
    outdir = argv[1]
    os.makedirs(outdir, exist_ok=True)
    with open(os.path.join(outdir, "fonts.pdf"), "wb") as f:
        f.write(fonts())
    with open(os.path.join(outdir, "stamp"), "w") as f:
        f.write("")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
