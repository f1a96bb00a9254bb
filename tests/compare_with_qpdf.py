#!/usr/bin/env python3
"""Compares every object vistrel-inspect prints with what qpdf shows.

    compare_with_qpdf.py INSPECT FILE... [--corpus FOLDER] [--password PW]

For each file that vistrel-inspect opens, every object number of its
cross-reference table is printed by both tools, parsed back into values
(dictionaries compared by key, numbers by value, strings by their bytes) and
compared. Streams are compared by their dictionaries. Prints one line per
difference and exits 1 when there is any; files that vistrel-inspect refuses,
and damaged files that qpdf rebuilds, are listed and skipped. Standard library only.
"""

import os
import re
import subprocess
import sys

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


def normal(v):
    """Dictionaries without null values (a null value is an absent key)."""
    if isinstance(v, dict):
        return {k: normal(x) for k, x in v.items() if x is not None}
    if isinstance(v, list):
        return [normal(x) for x in v]
    if isinstance(v, Ref):
        return ("ref", v[0])  # generations are compared nowhere
    if isinstance(v, tuple) and v[0] == "str":
        # Strings compare as text: the FE FF form is UTF-16BE.
        b = v[1]
        if b.startswith(b"\xfe\xff"):
            return ("str", b[2:2 + (len(b) - 2) // 2 * 2].decode("utf-16-be", "replace"))
        return ("str", b.decode("latin-1"))
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
        for num in range(1, count):
            rc, ours = run([inspect, "object", f, str(num)] + pw)
            qrc, theirs = run(["qpdf"] + qpw +
                              ["--show-object=%d,%d" % (num, generations.get(num, 0)), f])
            if qrc not in (0, 3) or rc != 0:
                if rc != 0:
                    print("%s %d: vistrel-inspect failed" % (f, num))
                    differences += 1
                continue
            theirs = theirs.replace(b"Object is stream.  Dictionary:", b"")
            a = normal(parse(tokenize(ours)))
            b = normal(parse(tokenize(theirs)))
            compared += 1
            if not same(a, b):
                differences += 1
                print("%s %d differs:\n  ours:  %r\n  qpdf:  %r" % (f, num, a, b))
    print("%d objects compared, %d differences" % (compared, differences))
    return 1 if differences else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
