#!/usr/bin/env python3
"""Compares the fonts `vistrel-inspect fonts` lists for each page with what
`pdffonts` shows for the same page.

    compare_fonts.py INSPECT FILE... [--corpus FOLDER] [--max-pages N]

For each file vistrel-inspect opens (files it refuses must fail with a
one-line reason, never a crash or a hang), every font dictionary a page
lists must appear in pdffonts' list of that page (matched by object number)
with
  - a font made through the font registry as "Tf" makes it (--load): a
    Type 3 font always;
  - the same base font name ("[none]" when /BaseFont is missing);
  - a font type that agrees with the /Subtype and the embedded program
    vistrel-inspect reports (for a Type 0 font, its descendant's program);
  - the same answer to whether a program is embedded (Type 3 fonts count as
    embedded, as pdffonts counts them).
Where the engine reads less than pdffonts on purpose, the line says why and
counts as no difference: a descriptor that lacks a required number is no
descriptor (so the font has no program), and a /FontFile3 program of
another /Subtype than /Type1C or /CIDFontType0C (such as /OpenType) is of
no kind the engine takes. Prints one line per difference; exits 1 when
there is any.
"""

import json
import os
import re
import shutil
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from qpdf_objects import passwords  # noqa: E402

PDFFONTS_ROW = re.compile(
    r"^(?P<name>.*?)\s+(?P<type>Type 1C \(OT\)|Type 1C|Type 1|Type 3|TrueType \(OT\)|TrueType|"
    r"CID Type 0C \(OT\)|CID Type 0C|CID Type 0|CID TrueType \(OT\)|CID TrueType|unknown)\s+"
    r"(?P<encoding>\S+)\s+(?P<emb>yes|no)\s+(?P<sub>yes|no)\s+(?P<uni>yes|no)\s+"
    r"(?P<num>-?\d+)\s+(?P<gen>-?\d+)\s*$")


def run(args):
    p = subprocess.run(args, stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=120)
    return p.returncode, p.stdout.decode("latin-1"), p.stderr.decode("latin-1")


def password_of(path, known):
    m = re.search(r"U=([^,.]+)", os.path.basename(path))
    if m:
        return m.group(1)
    return known.get(os.path.basename(path))


def ours_fonts(text):
    fonts = []
    for line in text.splitlines():
        fields = line.split("\t")
        entry = {"resource": fields[0]}
        for field in fields[1:]:
            key, _, value = field.partition("=")
            entry[key] = value
        fonts.append(entry)
    return fonts


def pdffonts_rows(text):
    rows = {}
    for line in text.splitlines()[2:]:
        m = PDFFONTS_ROW.match(line)
        if m:
            rows[int(m.group("num"))] = m.groupdict()
    return rows


# The pdffonts type for a subtype and the program vistrel-inspect names.
PROGRAM_TYPES = {
    ("/Type1", "Type 1"): "Type 1", ("/Type1", "Type 1C"): "Type 1C",
    ("/MMType1", "Type 1"): "Type 1", ("/MMType1", "Type 1C"): "Type 1C",
    ("/TrueType", "TrueType"): "TrueType", ("/Type3", "none"): "Type 3",
    ("/Type0", "Type 1"): "CID Type 0", ("/Type0", "Type 1C"): "CID Type 0C",
    ("/Type0", "CIDFontType0C"): "CID Type 0C", ("/Type0", "TrueType"): "CID TrueType",
}
# Without a program the family is all that is known.
FAMILIES = {"/Type1": "Type 1", "/MMType1": "Type 1", "/TrueType": "TrueType",
            "/Type0": "CID "}


# The numbers a font descriptor must hold.
REQUIRED = ("/Ascent", "/CapHeight", "/Descent", "/Flags", "/ItalicAngle", "/StemV")


def descriptor_facts(path, password, number):
    """Whether a font's descriptor (its descendant's for a Type 0 font), as
    qpdf reads it, lacks one of its required numbers, and the /Subtype of
    its /FontFile3 program (or None)."""
    args = ["qpdf", "--json=2", "--json-key=qpdf"]
    if password:
        args.append("--password=" + password)
    rc, out, _ = run(args + [path])
    try:
        objects = json.loads(out)["qpdf"][1]
    except (ValueError, KeyError, IndexError):
        return False, None

    def get(ref):
        if isinstance(ref, str) and ref.endswith(" R"):
            value = objects.get("obj:" + ref, {}).get("value")
            return value if value is not None else objects.get("obj:" + ref, {}).get("stream")
        return ref

    def is_number(value):
        return isinstance(value, (int, float)) and not isinstance(value, bool)

    font = get("%d 0 R" % number) or {}
    if font.get("/Subtype") == "/Type0":
        descendants = get(font.get("/DescendantFonts")) or []
        font = get(descendants[0]) if descendants else {}
    descriptor = get(font.get("/FontDescriptor"))
    if not isinstance(descriptor, dict):
        descriptor = {}
    lacking = not all(is_number(get(descriptor.get(key))) for key in REQUIRED)
    program = get(descriptor.get("/FontFile3"))
    kind = program.get("dict", {}).get("/Subtype") if isinstance(program, dict) else None
    return lacking, kind


def main(argv):
    max_pages = 40
    corpus = None
    if "--max-pages" in argv:
        k = argv.index("--max-pages")
        max_pages = int(argv[k + 1])
        argv = argv[:k] + argv[k + 2:]
    if "--corpus" in argv:
        k = argv.index("--corpus")
        corpus = argv[k + 1]
        argv = argv[:k] + argv[k + 2:]
        if os.path.isdir(corpus):
            argv += sorted(os.path.join(corpus, f) for f in os.listdir(corpus)
                           if f.endswith(".pdf"))
    inspect, files = argv[1], argv[2:]
    if not shutil.which("pdffonts"):
        print("pdffonts is not installed")
        return 1
    known = passwords(corpus) if corpus else {}
    differences = 0
    compared = 0

    def differ(f, what):
        nonlocal differences
        differences += 1
        print("%s: %s" % (f, what))

    for f in files:
        pw = password_of(f, known)
        ipw = ["--password", pw] if pw else []
        rc, out, err = run([inspect, "pages", f] + ipw)
        if rc != 0:
            if rc < 0 or rc not in (1, 2) or len(err.strip().splitlines()) != 1:
                differ(f, "refused without a one-line reason (status %d): %r" % (rc, err))
            else:
                print("refused: %s: %s" % (f, err.strip()))
            continue
        pages = len(re.findall(r"^page \d+:", out, re.M))
        for page in range(1, min(pages, max_pages) + 1):
            rc, out, err = run([inspect, "fonts", f, str(page), "--load"] + ipw)
            if rc != 0:
                if rc < 0 or len(err.strip().splitlines()) != 1:
                    differ(f, "page %d: fonts failed (status %d): %r" % (page, rc, err))
                else:
                    print("page fails cleanly: %s page %d: %s" % (f, page, err.strip()))
                continue
            _, listed, _ = run(["pdffonts"] + (["-upw", pw] if pw else []) +
                               ["-f", str(page), "-l", str(page), f])
            rows = pdffonts_rows(listed)
            for font in ours_fonts(out):
                where = "page %d %s" % (page, font["resource"])
                if "subtype" not in font or font.get("object") == "direct":
                    continue
                row = rows.get(int(font["object"]))
                if row is None:
                    differ(f, "%s: object %s is not in pdffonts' list" % (where, font["object"]))
                    continue
                compared += 1
                loaded = font.get("loaded")
                if loaded is None or (font["subtype"] == "/Type3" and loaded != "Type3 font"):
                    differ(f, "%s: made through the registry: %r" % (where, loaded))
                name = font["basefont"][1:] if font["basefont"] else "[none]"
                if name != row["name"]:
                    differ(f, "%s: name %s, pdffonts %s" % (where, name, row["name"]))
                subtype, program = font["subtype"], font["program"]
                embedded = program != "none" or subtype == "/Type3"
                reason = None
                if not embedded and row["emb"] == "yes":
                    lacking, kind = descriptor_facts(f, pw, int(font["object"]))
                    if font["flags"] == "no descriptor" and subtype != "/Type0" and lacking:
                        reason = "the descriptor lacks a required number"
                    elif kind not in (None, "/Type1C", "/CIDFontType0C"):
                        reason = "a /FontFile3 program of /Subtype %s" % kind
                    if reason is None:
                        differ(f, "%s: no program, pdffonts says embedded" % where)
                    else:
                        print("%s: %s: no program: %s" % (f, where, reason))
                elif embedded and row["emb"] == "no":
                    differ(f, "%s: program %s, pdffonts says not embedded" % (where, program))
                expected = PROGRAM_TYPES.get((subtype, program))
                if expected and embedded:
                    if row["type"] != expected:
                        differ(f, "%s: type %s, pdffonts %s" % (where, expected, row["type"]))
                elif not row["type"].startswith(FAMILIES.get(subtype, "?")):
                    differ(f, "%s: %s font, pdffonts %s" % (where, subtype, row["type"]))
    print("%d fonts compared, %d differences" % (compared, differences))
    return 1 if differences else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
