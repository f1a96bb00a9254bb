#!/usr/bin/env python3
"""Checks the operator trace of `vistrel-inspect ops` against the page content
qpdf extracts and the content grammar.

    compare_ops.py INSPECT FILE... [--corpus FOLDER]

For every page of every file that vistrel-inspect opens (a file it refuses
must fail with a one-line reason, never a crash or a hang), the page's
content streams are decoded by qpdf and joined, their operators are read
with a tokenizer of this script's own, and the parser states are followed
through the grammar below (a page whose own /ProcSet lacks /Text starts with
the page-level table without BT, which stays current until the first change
of state). The trace's lines at depth 0 must name the same operators in the
same order, with the same state before each and "dropped" exactly where the
grammar drops the operator. Pages with inline images, and files qpdf reads
only with warnings, are left out. Prints one line per difference; exits 1
when there is any.
"""

import json
import os
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from qpdf_objects import passwords  # noqa: E402

# Operators by the parser states that accept them, and the state a handled
# operator leaves (None: unchanged).
GRAMMAR = [
    ("d gs i j J M ri w", {1, 2}, None),
    ("q Q cm", {1}, None),
    ("g G k K rg RG sc SC scn SCN cs CS", {1, 2, 3}, None),
    ("BMC BDC EMC MP DP", {1, 2}, None),
    ("sh Do PS", {1}, None),
    ("BI", {1}, 4),
    ("BT", {1}, 2),
    ("c h l m re v y", {1, 3}, 3),
    ("Tc TL Tr Ts Tw Tz Td TD Tm T* Tf Tj TJ ' \"", {2}, None),
    ("ET", {2}, 1),
    ("f F f* n s S b b* B B*", {3}, 1),
    ("W W*", {3}, None),
    ("ID", {4}, None),
    ("EI", {4}, 1),
]
OPERATORS = {}
for words, states, to in GRAMMAR:
    for w in words.split():
        OPERATORS[w] = (states, to)

WHITE = b" \t\n\r\f"
DELIMITERS = WHITE + b"%<~>[]{}()/"


def tokens(data):
    """(kind, text) tokens: 'operand', 'operator', 'open' ([ or <<), 'close'
    (any closer, a brace or a lone tilde: the object parser ends there)."""
    i, n = 0, len(data)
    while i < n:
        c = data[i:i + 1]
        if c in WHITE:
            i += 1
        elif c == b"%":
            while i < n and data[i:i + 1] not in b"\r\n":
                i += 1
        elif c == b"(":
            depth, i = 1, i + 1
            while i < n and depth:
                ch = data[i:i + 1]
                if ch == b"\\":
                    i += 1
                elif ch == b"(":
                    depth += 1
                elif ch == b")":
                    depth -= 1
                i += 1
            yield "operand", "(string)"
        elif data.startswith(b"<<", i):
            i += 2
            yield "open", "<<"
        elif data.startswith(b"<~", i):
            end = data.find(b"~>", i + 2)
            i = n if end < 0 else end + 2
            yield "operand", "(string)"
        elif c == b"<":
            end = data.find(b">", i + 1)
            i = n if end < 0 else end + 1
            yield "operand", "(string)"
        elif data.startswith(b">>", i):
            i += 2
            yield "close", ">>"
        elif c in (b">", b")"):
            i += 1
        elif c == b"[":
            i += 1
            yield "open", "["
        elif c in (b"]", b"{", b"}", b"~"):
            i += 1
            yield "close", c.decode()
        else:
            j = i + 1
            while j < n and data[j:j + 1] not in DELIMITERS:
                j += 1
            word = data[i:j].decode("latin-1")
            i = j
            if c == b"/" or c in b"+-.0123456789" or word in ("true", "false", "null"):
                yield "operand", word
            else:
                yield "operator", word


def operators(data):
    """The operators of content as the loop meets them; stops where the
    object parser yields no object (a closer outside any container)."""
    depth = 0
    for kind, text in tokens(data):
        if kind == "open":
            depth += 1
        elif kind == "close":
            if depth == 0:
                return
            depth -= 1
        elif kind == "operator" and depth == 0:
            yield text


def expected_trace(data, reduced):
    lines, state, table_reduced = [], 1, reduced
    for op in operators(data):
        states, to = OPERATORS.get(op, (set(), None))
        accepted = state in states and not (table_reduced and state == 1 and op == "BT")
        lines.append((state, op, accepted))
        if accepted and to is not None:
            state, table_reduced = to, False
    return lines


def our_trace(text):
    lines = []
    for line in text.splitlines():
        depth, state, rest = line.split(" ", 2)
        if depth != "0":
            continue
        op, outcome = rest.rsplit(" ", 1)
        if outcome.isdigit():  # "status N"
            op = op.rsplit(" ", 1)[0]
        lines.append((int(state), op, outcome != "dropped"))
    return lines


def qpdf(args, password):
    full = ["qpdf"] + (["--password=" + password] if password else []) + args
    return subprocess.run(full, capture_output=True, timeout=120)


def resolve(objects, value):
    if isinstance(value, str) and value.endswith(" R"):
        entry = objects.get("obj:" + value, {})
        return entry.get("value", entry.get("stream", {}).get("dict"))
    return value


def reduced_map(objects, page_ref):
    page = resolve(objects, page_ref) or {}
    resources = resolve(objects, page.get("/Resources"))
    if not isinstance(resources, dict):
        return False
    procset = resolve(objects, resources.get("/ProcSet"))
    return isinstance(procset, list) and "/Text" not in procset


def check_file(inspect, path, password, problems):
    name = os.path.basename(path)
    base = [inspect, "info", path] + (["--password", password] if password else [])
    info = subprocess.run(base, capture_output=True, timeout=60)
    if info.returncode not in (0, 1, 2):
        problems.append("%s: info crashed (exit %d)" % (name, info.returncode))
        return 0
    if info.returncode != 0:
        return 0
    listing = qpdf(["--json=2", "--json-key=pages", "--json-key=qpdf", path], password)
    if listing.returncode != 0:
        return 0  # qpdf repaired or refused the file: read differently on purpose
    doc = json.loads(listing.stdout)
    objects = doc["qpdf"][1]
    checked = 0
    for page in doc["pages"]:
        number = page["pageposfrom1"]
        data = b""
        for ref in page["contents"]:
            got = qpdf(["--show-object=" + ref.split()[0], "--filtered-stream-data", path],
                       password)
            if got.returncode != 0:
                data = None
                break
            data += got.stdout
        if data is None or any(op == "BI" for op in operators(data)):
            continue
        args = [inspect, "ops", path, str(number)] + (["--password", password] if password else [])
        run = subprocess.run(args, capture_output=True, timeout=60)
        if run.returncode != 0:
            problems.append("%s page %d: ops failed: %s" % (name, number, run.stderr.decode(
                "utf-8", "replace").strip()))
            continue
        ours = our_trace(run.stdout.decode("latin-1"))
        want = expected_trace(data, reduced_map(objects, page["object"]))
        if ours != want:
            at = next((i for i, (a, b) in enumerate(zip(ours, want)) if a != b),
                      min(len(ours), len(want)))
            problems.append("%s page %d: operator %d: ours %s, expected %s (%d and %d operators)"
                            % (name, number, at + 1, ours[at] if at < len(ours) else "none",
                               want[at] if at < len(want) else "none", len(ours), len(want)))
        checked += 1
    return checked


def main(argv):
    corpus = None
    if "--corpus" in argv:
        k = argv.index("--corpus")
        corpus = argv[k + 1]
        argv = argv[:k] + argv[k + 2:]
    inspect, files = argv[1], list(argv[2:])
    known = {}
    if corpus and os.path.isdir(corpus):
        known = passwords(corpus)
        files += sorted(os.path.join(corpus, f) for f in os.listdir(corpus) if f.endswith(".pdf"))
    problems, pages = [], 0
    for path in files:
        pages += check_file(inspect, path, known.get(os.path.basename(path)), problems)
    for p in problems:
        print(p)
    print("%d pages checked, %d differences" % (pages, len(problems)))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
