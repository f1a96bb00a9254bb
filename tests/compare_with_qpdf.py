#!/usr/bin/env python3
"""Compares every object vistrel-inspect prints with what qpdf shows.

    compare_with_qpdf.py INSPECT FILE... [--corpus FOLDER] [--password PW]

For each file that vistrel-inspect opens, every object number of its
cross-reference table is printed by `vistrel-inspect objects` and listed by
qpdf's JSON, both in one run per file; the printed objects are parsed back
into values (dictionaries compared by key, numbers by value, strings as text)
and compared. Streams are compared by their dictionaries. Prints one line per
difference and exits 1 when there is any; files that vistrel-inspect refuses,
and damaged files that qpdf rebuilds, are listed and skipped. Standard library only.
"""

import os
import re
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from qpdf_objects import inspect_records, qpdf_objects  # noqa: E402

DELIMS = b"()<>[]{}/%"
WS = b" \t\r\n\f\0"


class Name(str):
    pass


class Keyword(str):
    pass


class Ref(tuple):
    pass


def tokenize(data):
    i, n = 0, len(data)
    while i < n:
        c = data[i:i + 1]
        if c in (b" ", b"\t", b"\r", b"\n", b"\f", b"\0"):
            i += 1
        elif c == b"%":
            while i < n and data[i:i + 1] not in (b"\r", b"\n"):
                i += 1
        elif data.startswith(b"<<", i):
            yield ("<<",)
            i += 2
        elif data.startswith(b">>", i):
            yield (">>",)
            i += 2
        elif c in (b"[", b"]"):
            yield (c.decode(),)
            i += 1
        elif c == b"<":
            j = data.index(b">", i)
            hexdigits = re.sub(rb"[^0-9a-fA-F]", b"", data[i + 1:j])
            if len(hexdigits) % 2:
                hexdigits += b"0"
            yield ("str", bytes.fromhex(hexdigits.decode()))
            i = j + 1
        elif c == b"(":
            out = bytearray()
            depth, i = 1, i + 1
            while i < n:
                ch = data[i]
                if ch == 0x5C:
                    i += 1
                    e = data[i:i + 1]
                    esc = {b"n": 10, b"r": 13, b"t": 9, b"b": 8, b"f": 12}
                    if e in esc:
                        out.append(esc[e])
                        i += 1
                    elif e in (b"\r", b"\n"):
                        i += 1
                        if e == b"\r" and data[i:i + 1] == b"\n":
                            i += 1
                    elif e.isdigit() and int(e) < 8:
                        m = re.match(rb"[0-7]{1,3}", data[i:i + 3])
                        out.append(int(m.group(0), 8) & 255)
                        i += len(m.group(0))
                    else:
                        out += e
                        i += 1
                    continue
                if ch == 0x28:
                    depth += 1
                elif ch == 0x29:
                    depth -= 1
                    if depth == 0:
                        i += 1
                        break
                out.append(ch)
                i += 1
            yield ("str", bytes(out))
        else:
            j = i + 1 if c == b"/" else i
            while j < n and data[j:j + 1] not in DELIMS and data[j:j + 1] not in WS:
                j += 1
            word = data[i:j]
            i = j
            if word.startswith(b"/"):
                name = re.sub(rb"#([0-9a-fA-F]{2})", lambda m: bytes([int(m.group(1), 16)]), word)
                yield ("name", name)
            elif re.fullmatch(rb"[+-]?(\d+\.?\d*|\.\d+)", word):
                yield ("num", float(word))
            else:
                yield ("kw", word)


def parse(tokens):
    stack = [[]]
    for tok in tokens:
        kind = tok[0]
        if kind in ("[", "<<"):
            stack.append([kind])
        elif kind in ("]", ">>"):
            if len(stack) < 2:
                continue
            items = stack.pop()
            opener, items = items[0], items[1:]
            items = fold_refs(items)
            if opener == "[":
                stack[-1].append(items)
            else:
                d = {}
                for k in range(0, len(items) - 1, 2):
                    key = items[k] if isinstance(items[k], str) else repr(items[k])
                    d[key] = items[k + 1]
                if len(items) % 2:
                    d[repr(items[-1])] = None
                stack[-1].append(d)
        elif kind == "str":
            stack[-1].append(("str", tok[1]))
        elif kind == "name":
            stack[-1].append(Name(tok[1].decode("latin-1")))
        elif kind == "num":
            stack[-1].append(tok[1])
        else:
            w = tok[1].decode("latin-1")
            stack[-1].append({"true": True, "false": False, "null": None}.get(w, Keyword(w)))
    return fold_refs(stack[0])


def fold_refs(items):
    out = []
    for it in items:
        if isinstance(it, Keyword) and it == "R" and len(out) >= 2 and \
                isinstance(out[-1], float) and isinstance(out[-2], float):
            g, n = out.pop(), out.pop()
            out.append(Ref((int(n), int(g))))
        else:
            out.append(it)
    return out


def from_json(v):
    """A value of qpdf's JSON (version 2) in the form parse() gives."""
    if isinstance(v, bool) or v is None:
        return v
    if isinstance(v, (int, float)):
        return float(v)
    if isinstance(v, list):
        return [from_json(x) for x in v]
    if isinstance(v, dict):
        return {json_name(k): from_json(x) for k, x in v.items()}
    m = re.match(r"(\d+) (\d+) R$", v)
    if m:
        return Ref((int(m.group(1)), int(m.group(2))))
    if v.startswith("/") or v.startswith("n:/"):
        return json_name(v)
    if v.startswith("u:"):
        return ("text", v[2:])
    if v.startswith("b:"):
        return ("str", bytes.fromhex(v[2:]))
    return Keyword(v)


def json_name(text):
    """A JSON name: UTF-8 text, or after "n:" with #xx escapes for other bytes."""
    if text.startswith("n:"):
        raw = re.sub(rb"#([0-9a-fA-F]{2})", lambda m: bytes([int(m.group(1), 16)]),
                     text[2:].encode("latin-1"))
        return Name(raw.decode("latin-1"))
    return Name(text.encode("utf-8").decode("latin-1"))


# The characters PDFDocEncoding puts where Latin-1 has controls.
PDFDOC = dict(zip(range(0x18, 0x20), "\u02d8\u02c7\u02c6\u02d9\u02dd\u02db\u02da\u02dc"))
PDFDOC.update(zip(range(0x80, 0x9f),
                  "\u2022\u2020\u2021\u2026\u2014\u2013\u0192\u2044\u2039\u203a\u2212"
                  "\u2030\u201e\u201c\u201d\u2018\u2019\u201a\u2122\ufb01\ufb02\u0141"
                  "\u0152\u0160\u0178\u017d\u0131\u0142\u0153\u0161\u017e"))
PDFDOC[0xa0] = "\u20ac"


def normal(v):
    """Dictionaries without null values (a null value is an absent key)."""
    if isinstance(v, dict):
        return {k: normal(x) for k, x in v.items() if x is not None}
    if isinstance(v, list):
        return [normal(x) for x in v]
    if isinstance(v, Ref):
        return ("ref", v[0])  # generations are compared nowhere
    if isinstance(v, tuple) and v[0] == "text":
        return ("str", v[1])
    if isinstance(v, tuple) and v[0] == "str":
        # Strings compare as text: the FE FF form is UTF-16BE, the others
        # PDFDocEncoding (as qpdf shows them).
        b = v[1]
        if b.startswith(b"\xfe\xff"):
            return ("str", b[2:2 + (len(b) - 2) // 2 * 2].decode("utf-16-be", "replace"))
        return ("str", "".join(PDFDOC.get(c, chr(c)) for c in b))
    return v


def same(a, b):
    if isinstance(a, float) and isinstance(b, float):
        return abs(a - b) <= 1e-5 * max(1.0, abs(a))
    if isinstance(a, dict) and isinstance(b, dict):
        return a.keys() == b.keys() and all(same(a[k], b[k]) for k in a)
    if isinstance(a, list) and isinstance(b, list):
        return len(a) == len(b) and all(same(x, y) for x, y in zip(a, b))
    return a == b


def run(args):
    p = subprocess.run(args, stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=60)
    return p.returncode, p.stdout


def main(argv):
    password = None
    if "--password" in argv:
        k = argv.index("--password")
        password = argv[k + 1]
        argv = argv[:k] + argv[k + 2:]
    if "--corpus" in argv:
        # Every PDF file of a folder, when the folder is there.
        k = argv.index("--corpus")
        folder = argv[k + 1]
        argv = argv[:k] + argv[k + 2:]
        if os.path.isdir(folder):
            argv += sorted(os.path.join(folder, f) for f in os.listdir(folder)
                           if f.endswith(".pdf"))
    inspect, files = argv[1], argv[2:]
    pw = ["--password", password] if password is not None else []
    differences = 0
    compared = 0
    for f in files:
        rc, out = run([inspect, "info", f] + pw)
        if rc != 0:
            print("refused: %s" % f)
            continue
        # A file qpdf has to rebuild is read differently on purpose: qpdf
        # reconstructs its table, this reader follows the chain it finds.
        qpw = ["--password=" + password] if password is not None else []
        p = subprocess.run(["qpdf"] + qpw + ["--check", f], stdout=subprocess.PIPE,
                           stderr=subprocess.PIPE, timeout=60)
        if b"reconstruct" in p.stderr or b"file is damaged" in p.stderr:
            print("damaged (qpdf rebuilds it): %s" % f)
            continue
        # A hybrid file's cross-reference stream holds objects only qpdf reads.
        if re.search(rb"Trailer keys:.*/XRefStm", out):
            print("hybrid (objects in a cross-reference stream): %s" % f)
            continue
        m = re.search(rb"Cross-reference entries: (\d+)", out)
        count = int(m.group(1))
        # The generation of each number's newest entry, as qpdf sees it.
        generations = {}
        _, xref = run(["qpdf"] + qpw + ["--show-xref", f])
        for line in xref.decode("latin-1").splitlines():
            g = re.match(r"(\d+)/(\d+):", line)
            if g:
                generations[int(g.group(1))] = int(g.group(2))
        theirs_all = qpdf_objects(f, password)
        rc, ours_all, err = inspect_records(inspect, f, password, "objects")
        if rc != 0:
            print("%s: vistrel-inspect objects failed: %s" % (f, err.strip()))
            differences += 1
            continue
        for num in range(1, count):
            status, ours = ours_all.get(num, ("missing", b""))
            if status is not None:
                print("%s %d: vistrel-inspect %s" % (f, num, status))
                differences += 1
                continue
            entry = theirs_all.get((num, generations.get(num, 0)), {})
            theirs = entry["stream"]["dict"] if "stream" in entry else entry.get("value")
            a = normal(parse(tokenize(ours)))
            b = normal([from_json(theirs)])
            compared += 1
            if not same(a, b):
                differences += 1
                print("%s %d differs:\n  ours:  %r\n  qpdf:  %r" % (f, num, a, b))
    print("%d objects compared, %d differences" % (compared, differences))
    return 1 if differences else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
