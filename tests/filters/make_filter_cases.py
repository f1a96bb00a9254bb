#!/usr/bin/python3
"""Writes filter_cases.txt: encoded/decoded byte pairs made by encoders that
do not share code with the engine's decoders (Python's base64/ASCII85 and
zlib, plain-Python RunLength and LZW encoders, libjpeg's cjpeg/djpeg).

Each line: FILTER INPUT-HEX EXPECTED-HEX. Run from anywhere:
    /usr/bin/python3 tests/filters/make_filter_cases.py
"""
import base64
import os
import subprocess
import tempfile
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))


def lcg_bytes(n, seed):
    out = bytearray()
    x = seed
    for _ in range(n):
        x = (x * 1103515245 + 12345) & 0x7FFFFFFF
        out.append((x >> 16) & 0xFF)
    return bytes(out)


def text_bytes(n):
    words = [b"stream", b"endobj", b"BT", b"ET", b"/F1", b"12", b"Tf", b"0", b"g", b"re", b"f\n"]
    out = bytearray()
    i = 0
    while len(out) < n:
        out += words[(i * 7 + i // 3) % len(words)] + b" "
        i += 1
    return bytes(out[:n])


PAYLOADS = [
    b"",
    b"A",
    b"Hello, world!",
    bytes(range(256)),
    b"\0\0\0\0\0\0\0\0ab\0\0\0\0",
    b"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaab",
    text_bytes(1200),
    lcg_bytes(700, 7),
]


def ascii85(data):
    text = base64.a85encode(data, adobe=True, wrapcol=40)
    return text[2:]  # PDF data has no "<~" prefix


def run_length(data):
    out = bytearray()
    i = 0
    n = len(data)
    while i < n:
        j = i
        while j + 1 < n and data[j + 1] == data[i] and j - i < 127:
            j += 1
        run = j - i + 1
        if run >= 2:
            out += bytes([257 - run, data[i]])
            i = j + 1
            continue
        start = i
        i += 1
        while i < n and i - start < 128 and not (i + 1 < n and data[i + 1] == data[i]):
            i += 1
        out += bytes([i - start - 1]) + data[start:i]
    out.append(128)
    return bytes(out)


class BitWriter:
    def __init__(self):
        self.out = bytearray()
        self.acc = 0
        self.n = 0

    def write(self, code, width):
        self.acc = (self.acc << width) | code
        self.n += width
        while self.n >= 8:
            self.n -= 8
            self.out.append((self.acc >> self.n) & 0xFF)
        self.acc &= (1 << self.n) - 1

    def done(self):
        if self.n:
            self.out.append((self.acc << (8 - self.n)) & 0xFF)
        return bytes(self.out)


def lzw(data, eod=True, first_clear=True):
    """LZW as PDF uses it, with early change: the decoder widens its codes one
    code before the encoder's table would need it."""
    bits = BitWriter()
    width = 9

    def reset():
        return {bytes([i]): i for i in range(256)}, 258, 9

    table, nxt, width = reset()
    if first_clear:
        bits.write(256, width)
    w = b""
    for c in data:
        wc = w + bytes([c])
        if wc in table:
            w = wc
            continue
        bits.write(table[w], width)
        table[wc] = nxt
        nxt += 1
        if nxt == 4096:
            bits.write(256, width)
            table, nxt, width = reset()
        elif nxt == (1 << width):
            width += 1
        w = bytes([c])
    if w:
        bits.write(table[w], width)
        nxt += 1
        if nxt == (1 << width) and width < 12:
            width += 1
    if eod:
        bits.write(257, width)
    return bits.done()


def dct_cases():
    """cjpeg-made images and what djpeg decodes them to (library defaults)."""
    cases = []
    with tempfile.TemporaryDirectory() as tmp:
        def ppm(path, w, h, gray):
            pix = bytearray()
            for y in range(h):
                for x in range(w):
                    if gray:
                        pix.append((x * 37 + y * 11) & 0xFF)
                    else:
                        pix += bytes([(x * 19) & 0xFF, (y * 29) & 0xFF, ((x + y) * 13) & 0xFF])
            with open(path, "wb") as f:
                f.write(b"%s\n%d %d\n255\n" % (b"P5" if gray else b"P6", w, h) + pix)

        def djpeg(data):
            src = os.path.join(tmp, "in.jpg")
            with open(src, "wb") as f:
                f.write(data)
            # Exit status 2 means warnings only (a truncated file, for one).
            run = subprocess.run(["djpeg", "-pnm", src], capture_output=True)
            if run.returncode not in (0, 2):
                raise RuntimeError("djpeg failed: %r" % run.stderr)
            out = run.stdout
            # Skip the three header lines of the PNM output.
            parts = out.split(b"\n", 3)
            return parts[3]

        images = [
            ("rgb-baseline", 13, 7, False, []),
            ("rgb-progressive", 9, 11, False, ["-progressive"]),
            ("gray-baseline", 10, 6, True, ["-grayscale"]),
            ("rgb-restart", 17, 17, False, ["-restart", "1"]),
            ("rgb-large", 48, 40, False, []),
        ]
        for name, w, h, gray, opts in images:
            src = os.path.join(tmp, name + (".pgm" if gray else ".ppm"))
            ppm(src, w, h, gray)
            jpg = subprocess.run(["cjpeg", "-quality", "80"] + opts + [src], check=True,
                                 capture_output=True).stdout
            cases.append(("DCT:" + name, jpg, djpeg(jpg)))
            if name == "rgb-large":
                # Cut in the middle of the scan data, behind the header.
                cut = jpg[: len(jpg) - (len(jpg) - 700) // 2]
                cases.append(("DCT:truncated", cut, djpeg(cut)))
    return cases


def main():
    lines = ["# Generated by make_filter_cases.py; do not edit."]

    def add(name, enc, dec):
        lines.append("%s %s %s" % (name, enc.hex() or "-", dec.hex() or "-"))

    for p in PAYLOADS:
        add("ASCIIHex", p.hex().upper().encode() + b">", p)
        add("ASCII85", ascii85(p), p)
        add("RunLength", run_length(p), p)
        add("Base64", base64.encodebytes(p), p)
        add("LZW", lzw(p), p)
        add("Flate", zlib.compress(p, 9), p)
    big = text_bytes(4000) + lcg_bytes(6000, 3)  # fills the table at least once
    add("LZW", lzw(big), big)
    add("LZW:no-eod", lzw(b"abcabcabcabcabcabc", eod=False), b"abcabcabcabcabcabc")
    add("LZW:no-clear", lzw(b"abababababab", first_clear=False), b"abababababab")
    for name, enc, dec in dct_cases():
        add(name, enc, dec)
    with open(os.path.join(HERE, "filter_cases.txt"), "w") as f:
        f.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
