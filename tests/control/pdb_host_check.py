#!/usr/bin/env python3
"""vistrel-host's Palm export end to end: the engine registered into a
scratch configuration folder, `vistrel-host pdb` writing databases that the
reference reader (tests/palm_database_check.py) accepts, every page record
decoding to the device preview that `vistrel-host render --format F --png`
shows for the same view (each overview at the zoom that fits 160 x 160).

    pdb_host_check.py HOST REGSVR LIBRARY FIXTURES
    pdb_host_check.py HOST REGSVR LIBRARY --corpus DIR

With --corpus every file of DIR is exported (its first page in format 4 at
zoom 1, its middle page in format 17 at zoom 0.5, its last page in format 16
at zoom 2): the host exits cleanly within its time, without a sanitizer
report, and every database it writes passes the same checks.

Prints one line per problem; exits 1 when there is any, 77 (reported as
skipped) when the corpus is missing.
"""

import json
import os
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
READER = os.path.join(HERE, "..", "palm_database_check.py")
sys.path.insert(0, os.path.join(HERE, ".."))
from qpdf_objects import passwords  # noqa: E402

SANITIZER_REPORTS = ("ERROR: AddressSanitizer", "ERROR: LeakSanitizer", "runtime error:")
# The exit status CTest reports as skipped.
SKIPPED = 77


class Checker:
    def __init__(self, host, scratch):
        self.host = host
        self.scratch = scratch
        self.problems = []

    def out(self, name):
        return os.path.join(self.scratch, name)

    def problem(self, text):
        self.problems.append(text)

    def host_run(self, what, args, timeout=300):
        """Runs the host; (exit status, output lines), or None after a
        crash, a hang or a sanitizer report (each noted as a problem)."""
        try:
            done = subprocess.run([self.host] + args, capture_output=True, text=True,
                                  timeout=timeout)
        except subprocess.TimeoutExpired:
            self.problem("%s: no answer within %d s" % (what, timeout))
            return None
        if done.returncode < 0:
            self.problem("%s: killed by signal %d" % (what, -done.returncode))
            return None
        if any(r in done.stderr for r in SANITIZER_REPORTS):
            self.problem("%s: sanitizer report: %s" % (what, done.stderr.strip()[:300]))
            return None
        return done.returncode, done.stdout.splitlines()

    def preview(self, what, path, page, zoom, fmt, pw, name):
        """Renders a view with its device format; the PNG and the bitmap
        size, or None."""
        png = self.out(name)
        ran = self.host_run(what, ["render", path, "--page", str(page), "--zoom", repr(zoom),
                                   "--format", str(fmt), "--png", png] + pw)
        if not ran or ran[0] != 0:
            self.problem("%s: render of page %d at %r failed" % (what, page, zoom))
            return None
        fields = [l.split() for l in ran[1] if l.startswith("page ")][0]
        return png, int(fields[3]), int(fields[5])

    def reader(self, what, database, views=None, previews=()):
        """The reader's dump, or None (noted) when it refuses the file."""
        args = [sys.executable, READER, database, "--dump"]
        if views is not None:
            args += ["--views", str(views)]
        for i, png in enumerate(previews):
            args += ["--preview", "%d=%s" % (i + 1, png)]
        done = subprocess.run(args, capture_output=True, text=True, timeout=600)
        if done.returncode != 0:
            self.problem("%s: the reader refuses the database: %s" % (what, done.stdout.strip()))
            return None
        return done.stdout.splitlines()

    def export(self, what, path, views, pw, extra=()):
        """Exports the views (page, zoom, format) and checks the database
        against the previews; the host's exit status and output, the dump."""
        database = self.out("out.pdb")
        if os.path.exists(database):
            os.remove(database)
        spec = ",".join("%d:%r:%d" % v for v in views)
        ran = self.host_run(what, ["pdb", path, database, "--views", spec] + pw + list(extra))
        if not ran:
            return None, None
        if not os.path.exists(database):
            return ran, None
        previews = []
        for i, (page, zoom, fmt) in enumerate(views):
            fmt = fmt or 4
            shown = self.preview(what, path, page, zoom, fmt, pw, "view%d.png" % i)
            if not shown:
                return ran, None
            png, width, height = shown
            # The zoom that fits 160 x 160, brought down when the page's
            # truncated size made it too large.
            overview = min(zoom * 160.0 / width, zoom * 160.0 / height)
            for _ in range(5):
                small = self.preview(what, path, page, overview, fmt, pw, "overview%d.png" % i)
                if not small or max(small[1:]) <= 160:
                    break
                overview = overview * 160.0 / max(small[1:])
            if not small:
                return ran, None
            previews += [png, small[0]]
        return ran, self.reader(what, database, len(views), previews)


def info_fields(text):
    """The fields of an infoInStr text: quoted, quotes doubled, commas
    between."""
    fields, at = [], 0
    while at < len(text) and text[at] == '"':
        at += 1
        value = ""
        while at < len(text):
            if text[at] == '"':
                if text[at + 1:at + 2] == '"':
                    value += '"'
                    at += 2
                    continue
                at += 1
                break
            value += text[at]
            at += 1
        fields.append(value)
        at += 1  # the comma
    return fields


def unescape(line):
    r"""Undoes the host's one-line escapes (\\, \t, \r, \n, \xHH)."""
    out, at = "", 0
    while at < len(line):
        if line[at] == "\\" and at + 1 < len(line):
            kind = line[at + 1]
            if kind == "x":
                out += chr(int(line[at + 2:at + 4], 16))
                at += 4
                continue
            out += {"t": "\t", "r": "\r", "n": "\n"}.get(kind, kind)
            at += 2
            continue
        out += line[at]
        at += 1
    return out


def dumped_texts(line):
    """The JSON texts of a dump line after its first word."""
    decoder, at, texts = json.JSONDecoder(), line.index(" "), []
    while at < len(line):
        while line[at] == " ":
            at += 1
        text, at = decoder.raw_decode(line, at)
        texts.append(text)
    return texts


def check_fixtures(c, fixtures):
    path = os.path.join(fixtures, "export.pdf")
    what = "export.pdf, three views"
    ran, dump = c.export(what, path, [(1, 1.0, 0), (2, 0.5, 16), (3, 1.5, 17)], [],
                         ["--events"])
    if not ran or ran[1][-1:] != ["pdb S_OK"] or not dump:
        c.problem("%s: %r" % (what, ran))
        return
    progress = [l for l in ran[1] if l.startswith("event setProgressIndicator")]
    for percent in (33, 66, 100):
        if "event setProgressIndicator %d" % percent not in progress:
            c.problem("%s: no progress %d" % (what, percent))
    bpp = [l.split()[4] for l in dump if l.startswith("page ")]
    if bpp != ["2", "2", "4", "4", "4", "4"]:
        c.problem("%s: bits per pixel %s" % (what, bpp))
    # The information record holds infoInStr's fields, every CR an LF.
    info = c.host_run("info", ["info", path])
    texts = [dumped_texts(l) for l in dump if l.startswith("info ")]
    if info and texts:
        fields = info_fields(unescape(info[1][1][5:]))
        if [f.replace("\r", "\n") for f in fields] != texts[0]:
            c.problem("%s: information %r, infoInStr %r" % (what, texts[0], fields))

    # Past the record limit, as the viewer answers it and with the modes.
    for what, extra, result, counts in (
            ("all pages, the limit answered Normal", ["--on-limit", "normal", "--events"],
             "pdb S_OK", "records 332"),
            ("all pages, CutOdd", [], "pdb S_OK", "records 255"),
            ("all pages, NotWrite", ["--write-mode", "2"], "pdb S_OK", None),
            ("all pages, Split", ["--write-mode", "4"], "pdb E_NOTIMPL", None)):
        database = c.out("all.pdb")
        if os.path.exists(database):
            os.remove(database)
        ran = c.host_run(what, ["pdb", path, database, "--views", "all"] + extra)
        if not ran:
            continue
        if result not in ran[1]:
            c.problem("%s: %r" % (what, ran[1][-3:]))
        if "--events" in extra and ran[1].count("event pdbRecordsLimitExceeded") != 1:
            c.problem("%s: the limit event not fired once" % what)
        if counts is None:
            if os.path.exists(database):
                c.problem("%s: a file was written" % what)
            continue
        dump = c.reader(what, database)
        if dump and counts not in dump:
            c.problem("%s: %s" % (what, dump[1]))


def check_corpus(c, corpus):
    known = passwords(corpus)
    for name in sorted(os.listdir(corpus)):
        if not name.endswith(".pdf"):
            continue
        path = os.path.join(corpus, name)
        pw = ["--password", known[name]] if name in known else []
        opened = c.host_run(name, ["open", path] + pw, timeout=60)
        pages = [int(l.split()[1]) for l in (opened[1] if opened else []) if l.startswith("pages ")]
        if not pages or pages[0] < 1:
            continue
        n = pages[0]
        views = [(1, 1.0, 4), ((n + 1) // 2, 0.5, 17), (n, 2.0, 16)]
        ran, dump = c.export(name, path, views, pw)
        if not ran:
            continue
        if ran[0] == 0 and not dump:
            c.problem("%s: pdb S_OK without a sound database" % name)
        print("%s: %s%s" % (name, ran[1][-1] if ran[1] else "no answer",
                            ", %s" % dump[1] if dump else ""))


def main(argv):
    if len(argv) == 6 and argv[4] == "--corpus":
        host, regsvr, library, _, corpus = argv[1:]
        fixtures = None
        if not os.path.isdir(corpus):
            print("no corpus at %s: skipped" % corpus)
            return SKIPPED
    elif len(argv) == 5:
        host, regsvr, library, fixtures = argv[1:]
    else:
        sys.stderr.write(__doc__)
        return 2
    with tempfile.TemporaryDirectory(prefix="vistrel-pdb-host-") as scratch:
        os.environ["XDG_CONFIG_HOME"] = os.path.join(scratch, "config")
        # Spill folders of the exports go here too.
        os.environ["TMPDIR"] = os.path.join(scratch, "spill")
        os.mkdir(os.environ["TMPDIR"])
        subprocess.run([regsvr, library], check=True)
        c = Checker(host, scratch)
        if fixtures:
            check_fixtures(c, fixtures)
        else:
            check_corpus(c, corpus)
        if os.listdir(os.environ["TMPDIR"]):
            c.problem("spill folders left behind: %s" % os.listdir(os.environ["TMPDIR"]))
    for p in c.problems:
        print(p)
    return 1 if c.problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
