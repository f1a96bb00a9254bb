#!/usr/bin/env python3
"""vistrel-inspect writes stream data out in pieces.

Makes a small file whose streams decode to far more than the tool may hold
(160 MiB from 160 KB of Flate data), a short one, and two whose data breaks
off (after 8 MiB and at once), and checks that `streams --data`,
`streams --data --raw`, `stream` and `stream --raw` give exactly the records
and bytes they are documented to give while the process stays small.

Usage: inspect_stream_pieces_check.py VISTREL_INSPECT [MAX_RSS_KB]

MAX_RSS_KB: the resident size the tool may reach, 64 MiB by default (a
sanitizer build's own memory takes about 45 MiB more; holding the large
stream takes more than 160 MiB in either).
"""
import os
import subprocess
import sys
import tempfile
import zlib

LARGE = 160 << 20
BROKEN = 12 << 20
PERIOD = 251
# Resident size the tool may reach by default; holding the large stream takes
# more.
MAX_RSS_KB = 64 << 10
CUT_SHORT = b" failed: the stream data cannot be decoded past this point"

BLOCK = bytes(i % PERIOD for i in range(PERIOD * 4096))


def pattern(offset, n):
    """n bytes of the pattern i % 251 from offset on."""
    out = bytearray()
    while n > 0:
        start = offset % PERIOD
        take = min(n, len(BLOCK) - start)
        out += BLOCK[start:start + take]
        offset += take
        n -= take
    return bytes(out)


def compressed(n):
    c = zlib.compressobj(9)
    parts = [c.compress(pattern(at, min(len(BLOCK), n - at))) for at in range(0, n, len(BLOCK))]
    return b"".join(parts) + c.flush()


def make_file(path):
    large = compressed(LARGE)
    # Flate data spoilt two thirds in, and data that is no Flate data at all.
    broken = bytearray(compressed(BROKEN))
    broken[len(broken) * 2 // 3:len(broken) * 2 // 3 + 64] = b"\xff" * 64
    broken = bytes(broken)
    small_broken = b"x\x9c" + b"\xff" * 10
    streams = {
        4: (b"/Filter /FlateDecode", large),
        5: (b"", b"hello"),
        6: (b"/Filter /FlateDecode", broken),
        7: (b"/Filter /FlateDecode", small_broken),
    }
    objects = {
        1: b"<< /Type /Catalog /Pages 2 0 R >>",
        2: b"<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        3: b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 100 100] >>",
    }
    for number, (filters, data) in streams.items():
        objects[number] = (b"<< /Length %d %s >>\nstream\n" % (len(data), filters) + data +
                           b"\nendstream")
    out = bytearray(b"%PDF-1.4\n")
    offsets = {}
    for number in sorted(objects):
        offsets[number] = len(out)
        out += b"%d 0 obj\n" % number + objects[number] + b"\nendobj\n"
    xref = len(out)
    out += b"xref\n0 %d\n0000000000 65535 f \n" % (len(objects) + 1)
    for number in sorted(objects):
        out += b"%010d 00000 n \n" % offsets[number]
    out += b"trailer\n<< /Size %d /Root 1 0 R >>\nstartxref\n%d\n%%%%EOF\n" % (
        len(objects) + 1, xref)
    with open(path, "wb") as f:
        f.write(out)
    return streams


def peak_resident_kb(pid):
    """The process's peak resident size so far (0 once it has ended)."""
    try:
        with open("/proc/%d/status" % pid) as f:
            for line in f:
                if line.startswith("VmHWM:"):
                    return int(line.split()[1])
    except OSError:
        pass
    return 0


class Output:
    """The tool's standard output, read as it comes. While the tool waits for
    its output to be read, its peak resident size is taken every MiB; the
    tool holding data whole reaches its peak before it writes any."""

    def __init__(self, pipe, pid):
        self.pipe = pipe
        self.pid = pid
        self.count = 0
        self.peak_kb = 0

    def line(self):
        return self.pipe.readline()

    def read(self, n):
        data = self.pipe.read(n)
        if len(data) != n:
            raise AssertionError("output ends %d bytes early" % (n - len(data)))
        if (self.count + n) >> 20 != self.count >> 20:
            self.peak_kb = max(self.peak_kb, peak_resident_kb(self.pid))
        self.count += n
        return data

    def expect(self, want, what):
        """Compares the next len(want) bytes, a piece at a time."""
        for at in range(0, len(want), 1 << 20):
            piece = want[at:at + (1 << 20)]
            if self.read(len(piece)) != piece:
                raise AssertionError("%s: differs in the MiB from %d" % (what, at))

    def expect_pattern(self, n, what):
        for at in range(0, n, len(BLOCK)):
            take = min(len(BLOCK), n - at)
            if self.read(take) != pattern(at, take):
                raise AssertionError("%s: differs in the bytes from %d" % (what, at))


def run(inspect, args, check):
    """Runs the tool, hands its output to check; answers its peak resident KB
    (as far as it could be seen), its exit status and its standard error."""
    child = subprocess.Popen([inspect] + args, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    out = Output(child.stdout, child.pid)
    try:
        check(out)
        rest = child.stdout.read()
        if rest:
            raise AssertionError("%d bytes more than expected" % len(rest))
    finally:
        child.stdout.close()
        stderr = child.stderr.read()
        child.stderr.close()
        child.wait()
    return out.peak_kb, child.returncode, stderr


def main():
    inspect = sys.argv[1]
    max_rss_kb = int(sys.argv[2]) if len(sys.argv) > 2 else MAX_RSS_KB
    failures = []
    with tempfile.TemporaryDirectory() as folder:
        path = os.path.join(folder, "pieces.pdf")
        streams = make_file(path)
        decoded_broken = {}

        def streams_data(out):
            for number in (4, 5, 6, 7):
                header = out.line().rstrip(b"\n").split(b" ", 3)
                if header[:2] != [b"stream", b"%d" % number]:
                    raise AssertionError("record of stream %d: %r" % (number, header))
                length = int(header[2])
                failed = b" " + header[3] if len(header) > 3 else b""
                if number == 4:
                    if (length, failed) != (LARGE, b""):
                        raise AssertionError("stream 4: %d bytes%s" % (length, failed))
                    out.expect_pattern(length, "stream 4")
                elif number == 5:
                    if (length, failed) != (5, b""):
                        raise AssertionError("stream 5: %d bytes%s" % (length, failed))
                    out.expect(b"hello", "stream 5")
                else:
                    # What the data gives until it breaks off.
                    if failed != CUT_SHORT or length > (BROKEN if number == 6 else 0):
                        raise AssertionError("stream %d: %d bytes%s" % (number, length, failed))
                    if number == 6 and length <= 4 << 20:
                        raise AssertionError("stream 6 breaks off after only %d bytes" % length)
                    # Spoilt data decodes to bytes of its own before it breaks
                    # off: `stream` must give the same.
                    decoded_broken[number] = out.read(length)
                if out.read(1) != b"\n":
                    raise AssertionError("stream %d: no line feed after the data" % number)

        def streams_raw(out):
            for number in (4, 5, 6, 7):
                data = streams[number][1]
                if out.line() != b"stream %d %d\n" % (number, len(data)):
                    raise AssertionError("raw record of stream %d" % number)
                out.expect(data + b"\n", "raw stream %d" % number)

        cases = [
            ("streams --data", ["streams", path, "--data"], streams_data, 0),
            ("streams --data --raw", ["streams", path, "--data", "--raw"], streams_raw, 0),
            ("stream 4", ["stream", path, "4"], lambda out: out.expect_pattern(LARGE, "stream 4"),
             0),
            ("stream 4 --raw", ["stream", path, "4", "--raw"],
             lambda out: out.expect(streams[4][1], "raw stream 4"), 0),
            ("stream 6", ["stream", path, "6"],
             lambda out: out.expect(decoded_broken.get(6, b"?"), "stream 6"), 1),
        ]
        for name, args, check, status in cases:
            try:
                rss, code, stderr = run(inspect, args, check)
                if code != status:
                    raise AssertionError("exit status %d: %s" % (code, stderr.decode(errors="replace")))
                if rss > max_rss_kb:
                    raise AssertionError("peak resident size %d KB, more than %d KB" %
                                         (rss, max_rss_kb))
                print("%s: %d KB resident at most" % (name, rss) if rss else
                      "%s: too short to see its size" % name)
            except AssertionError as e:
                failures.append(name)
                print("FAIL %s: %s" % (name, e))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
