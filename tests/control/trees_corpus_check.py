#!/usr/bin/env python3
"""vistrel-host's document trees and information over the real-world corpus,
compared with qpdf, pdffonts and pdftotext. For every file that opens:

- `tree TOC`: titles and nesting equal the outline qpdf --json lists (an item
  without a title is named Page 0--100%);
- `info`: each text equals the /Info string qpdf shows, the dates in the
  readable form;
- `tree LINKS` of every page: one entry per Link annotation whose destination
  (the /D of a GoTo action, else /Dest; names through /Dests and the /Dests
  name tree) is a page of the document;
- `tree ANNOTATIONS` of every rendered page: one entry per Text annotation
  up to the first without a rectangle;
- `tree FONTINFO` and `TEXT` of every rendered page: no crash, no hang; the
  fonts pdffonts lists for the page that FONTINFO names (Type 0 and CID
  fonts, which the tree leaves out, aside; a font that the page's content
  never selects is not loaded) and the share of pdftotext's words of the
  page found among the TEXT words (all, and those of four or more letters)
  are counted.

A file whose objects lie in object streams (which the engine does not read)
is compared through a copy qpdf writes without them; the original is still
run for crashes and hangs.

    trees_corpus_check.py HOST REGSVR LIBRARY CORPUS

Prints the figures and one line per problem; exits 1 when there is any, 77
(reported as skipped) when there is no corpus or a tool is missing.
"""

import collections
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from qpdf_objects import passwords  # noqa: E402

SECONDS_PER_PAGE = 20
# Share of pdftotext's words the TEXT trees must hold over the whole corpus.
MIN_WORD_SHARE = 0.8
# The exit status CTest reports as skipped.
SKIPPED = 77

MONTHS = "Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec".split()


def readable_date(text):
    """A PDF date in the form info shows; the text as it is when it is none."""
    rest = text
    if len(rest) < 2:
        return text
    if rest[0] == "D":
        rest = rest[2:]
    fields = []
    if len(rest) < 4 or not rest[:4].isdigit():
        return text
    fields.append(int(rest[:4]))
    rest = rest[4:]
    limits = [(1, 12), (1, 31), (0, 23), (0, 59), (0, 59)]
    for low, high in limits:
        if not rest:
            break
        if len(rest) == 1 or not ("0" <= rest[0] <= "9" and "0" <= rest[1] <= "9"):
            return text
        value = int(rest[:2])
        if not low <= value <= high:
            return text
        fields.append(value)
        rest = rest[2:]
    zone = ""
    if len(fields) == 6 and rest:
        if rest[0] not in "+-Z":
            return text
        sign, rest = rest[0], rest[1:]
        hours = minutes = None
        if rest:
            if len(rest) < 3 or rest[0] != "0" or not rest[1].isdigit():
                return text
            hours, rest = int(rest[:2]), rest[3:]
        if rest:
            if len(rest) < 3 or rest[0] != "0" or not rest[1].isdigit():
                return text
            minutes, rest = int(rest[:2]), rest[3:]
            if rest:
                return text
        if sign in "+-" and hours is not None:
            zone = "GMT%s%02d" % (sign, hours) + (":%02d" % minutes if minutes is not None else "")
    elif len(fields) < 6 and rest:
        return text
    parts = [""] * 6
    parts[0] = str(fields[0])
    if len(fields) > 1:
        parts[1] = MONTHS[fields[1] - 1]
    if len(fields) > 2:
        parts[2] = "%02d" % fields[2]
    if len(fields) > 3:
        parts[3] = "%02d" % fields[3]
    if len(fields) > 4:
        parts[4] = ":%02d" % fields[4]
    if len(fields) > 5:
        parts[5] = ":%02d" % fields[5]
    return "%s %s %s %s%s%s %s" % (parts[2], parts[1], parts[0], parts[3], parts[4], parts[5],
                                    zone)


def run(args, timeout=120):
    return subprocess.run(args, capture_output=True, timeout=timeout)


def lines_of(done):
    return done.stdout.decode("utf-8", "replace").splitlines()


def unescape(text):
    return re.sub(r"\\(x[0-9A-F]{2}|.)", lambda m: {"t": "\t", "n": "\n", "r": "\r",
                                                     "\\": "\\"}.get(m.group(1),
                                                                     chr(int(m.group(1)[1:], 16))
                                                                     if m.group(1)[0] == "x"
                                                                     else m.group(1)), text)


def parse_trees(lines):
    """page -> (result, [(depth, type, name, record), ...]) of `tree` output."""
    trees = {}
    page = 1
    for line in lines:
        if line.startswith("page "):
            page = int(line.split()[1])
        elif line.startswith("root "):
            trees[page] = (line.split()[1], [])
        elif page in trees and "\t" in line:
            body = line.lstrip(" ")
            kind, name, record = (body.split("\t") + ["", ""])[:3]
            trees[page][1].append(((len(line) - len(body)) // 2, kind, unescape(name),
                                   unescape(record)))
    return trees


def nested(nodes):
    """(name, kids) lists of the root's kids from depth-first nodes."""
    root = []
    stack = [(0, root)]
    for depth, _, name, _ in nodes[1:]:
        while stack[-1][0] >= depth:
            stack.pop()
        kids = []
        stack[-1][1].append((name, kids))
        stack.append((depth, kids))
    return root


def qpdf_outline(items):
    return [(item.get("title") or "Page 0--100%", qpdf_outline(item.get("kids", [])))
            for item in items]


def record_fields(record):
    out, field, quoted, i = [], "", False, 0
    while i < len(record):
        c = record[i]
        if c == '"' and quoted and i + 1 < len(record) and record[i + 1] == '"':
            field += c
            i += 1
        elif c == '"':
            quoted = not quoted
        elif c == "," and not quoted:
            out.append(field)
            field = ""
        else:
            field += c
        i += 1
    return out + [field]


class Document:
    """What qpdf tells of a file: objects, pages, outline."""

    def __init__(self, path, password):
        args = ["qpdf", "--json=2", "--json-key=qpdf", "--json-key=pages",
                "--json-key=outlines"]
        if password is not None:
            args.append("--password=" + password)
        done = run(args + [path], timeout=300)
        self.ok = done.returncode in (0, 3)
        try:
            data = json.loads(done.stdout)
        except ValueError:
            self.ok = False
            return
        listed = data["qpdf"][1]
        self.objects = {k[4:]: v.get("value", v.get("stream", {}).get("dict"))
                        for k, v in listed.items() if k.startswith("obj:")}
        self.trailer = listed.get("trailer", {}).get("value", {})
        self.pages = [p["object"] for p in data.get("pages", [])]
        self.annots = [self.get((self.get(p) or {}).get("/Annots")) or [] for p in self.pages]
        self.outline = qpdf_outline(data.get("outlines", []))

    def get(self, value):
        """A value with references followed."""
        seen = 0
        while isinstance(value, str) and re.match(r"^\d+ \d+ R$", value) and seen < 32:
            value = self.objects.get(value)
            seen += 1
        return value

    def text(self, value):
        value = self.get(value)
        return value[2:] if isinstance(value, str) and value.startswith("u:") else None

    def named(self, name):
        root = self.get(self.trailer.get("/Root")) or {}
        if name.startswith("/"):
            dests = self.get(root.get("/Dests")) or {}
            return self.get(dests.get(name))
        tree = self.get((self.get(root.get("/Names")) or {}).get("/Dests"))
        return self.in_name_tree(tree, name, 0)

    def in_name_tree(self, node, key, depth):
        node = self.get(node)
        if not isinstance(node, dict) or depth > 32:
            return None
        names = self.get(node.get("/Names")) or []
        for i in range(0, len(names) - 1, 2):
            if self.text(names[i]) == key:
                return self.get(names[i + 1])
        for kid in self.get(node.get("/Kids")) or []:
            found = self.in_name_tree(kid, key, depth + 1)
            if found is not None:
                return found
        return None

    def text_annotations(self, annots):
        """Text annotations up to the first without a four-number /Rect."""
        n = 0
        for annot in annots:
            a = self.get(annot)
            if not isinstance(a, dict) or a.get("/Subtype") != "/Text":
                continue
            rect = self.get(a.get("/Rect"))
            if not (isinstance(rect, list) and len(rect) == 4 and
                    all(isinstance(self.get(v), (int, float)) for v in rect)):
                break
            n += 1
        return n

    def link_qualifies(self, annot):
        a = self.get(annot)
        if not isinstance(a, dict) or a.get("/Subtype") != "/Link":
            return False
        rect = self.get(a.get("/Rect"))
        if not (isinstance(rect, list) and len(rect) == 4 and
                all(isinstance(self.get(v), (int, float)) for v in rect)):
            return False
        action = self.get(a.get("/A"))
        target = a.get("/Dest")
        if isinstance(action, dict):
            typed_goto = action.get("/Type") == "/Action" and action.get("/S") == "/GoTo"
            if typed_goto or "/D" in action and "/S" in action:
                target = action.get("/D")
        for _ in range(32):
            target = self.get(target)
            if isinstance(target, dict):
                target = target.get("/D")
            elif isinstance(target, str) and target.startswith("/"):
                target = self.named(target)
            elif isinstance(target, str) and target.startswith("u:"):
                target = self.named(target[2:])
            else:
                break
        return isinstance(target, list) and len(target) > 0 and target[0] in self.pages


def pdffonts(path, page, password):
    args = ["pdffonts", "-f", str(page), "-l", str(page)]
    if password:
        args[1:1] = ["-upw", password]
    done = run(args + [path])
    fonts = []
    for line in lines_of(done)[2:]:
        m = re.match(r"(\S+)\s+(Type 1C|Type 1|Type 3|TrueType|CID \S+|Type 0\S*|\S+)\s", line)
        if m:
            fonts.append((m.group(1), m.group(2)))
    return fonts


def pdftotext_words(path, page, password):
    args = ["pdftotext", "-q", "-f", str(page), "-l", str(page)]
    if password:
        args[1:1] = ["-upw", password]
    return run(args + [path, "-"]).stdout.decode("utf-8", "replace").split()


class Check:
    def __init__(self, host):
        self.host = host
        self.problems = []
        self.notes = []
        self.figures = collections.Counter()

    def host_run(self, name, args, pages):
        try:
            done = run([self.host] + args, timeout=SECONDS_PER_PAGE * max(pages, 1) + 30)
        except subprocess.TimeoutExpired:
            self.problems.append("%s: %s did not end in time" % (name, " ".join(args[:1] +
                                                                             args[2:])))
            return None
        # A sanitizer report ends the process with status 1 too.
        report = re.search(rb"(ERROR: \w+Sanitizer|runtime error:).*", done.stderr)
        if done.returncode < 0 or done.returncode > 2 or report:
            self.problems.append("%s: %s ended with %d %s" % (
                name, " ".join(args[:1] + args[2:]), done.returncode,
                report.group(0).decode("latin-1") if report else ""))
            return None
        return done

    def file(self, path, password, scratch):
        name = os.path.basename(path)
        args = ["qpdf", "--show-xref", path]
        if password is not None:
            args.insert(1, "--password=" + password)
        if not re.search(r"^\d+/\d+: compressed;", run(args).stdout.decode("latin-1"), re.M):
            self.compare(name, path, password)
            return
        # Run for crashes and hangs only; compared through a copy.
        self.compare(name, path, password, compare=False)
        copy = os.path.join(scratch, name)
        args = ["qpdf", "--object-streams=disable", "--decrypt", path, copy]
        if password is not None:
            args.insert(1, "--password=" + password)
        if run(args).returncode in (0, 3) and os.path.exists(copy):
            self.compare(name + " (rewritten by qpdf)", copy, None)

    def compare(self, name, path, password, compare=True):
        pw = ["--password", password] if password is not None else []
        opened = self.host_run(name, ["open", path] + pw, 1)
        if not opened or lines_of(opened)[:1] != ["open S_OK"]:
            return
        count = int([l for l in lines_of(opened) if l.startswith("pages ")][0].split()[1])
        if not compare:
            for tree in ("TOC", "LINKS", "ANNOTATIONS", "FONTINFO", "TEXT"):
                self.host_run(name, ["tree", path, tree, "--pages", "all", "--render"] + pw,
                              count)
            self.host_run(name, ["info", path] + pw, 1)
            return
        self.figures["files"] += 1
        self.figures["pages"] += count
        qpdf = Document(path, password)

        done = self.host_run(name, ["tree", path, "TOC"] + pw, 1)
        if done and qpdf.ok:
            result, nodes = parse_trees(lines_of(done)).get(1, ("S_FALSE", []))
            ours = nested(nodes) if result == "S_OK" else []
            if qpdf.outline or ours:
                self.figures["outlines"] += 1
                if ours == qpdf.outline:
                    self.figures["outlines equal"] += 1
                else:
                    self.problems.append("%s: TOC %r, qpdf %r" % (name, ours[:3], qpdf.outline[:3]))

        done = self.host_run(name, ["info", path] + pw, 1)
        if done and qpdf.ok:
            shown = [l for l in lines_of(done) if l.startswith("info ")][0][5:]
            info = qpdf.get(qpdf.trailer.get("/Info"))
            keys = ["/Title", "/Subject", "/Author", "/Keywords", "/Creator", "/Producer",
                    "/CreationDate", "/ModDate"]
            if re.match(r"^\d+ \d+ R$", str(qpdf.trailer.get("/Info"))) and isinstance(info, dict):
                wanted = []
                for i, key in enumerate(keys):
                    text = qpdf.text(info.get(key)) or ""
                    wanted.append(readable_date(text) if i >= 6 and text else text)
                self.figures["information dictionaries"] += 1
                got = record_fields(unescape(shown))
                if got == wanted:
                    self.figures["information equal"] += 1
                else:
                    self.problems.append("%s: info %r, qpdf %r" % (name, got, wanted))

        done = self.host_run(name, ["tree", path, "LINKS", "--pages", "all"] + pw, count)
        if done and qpdf.ok and len(qpdf.annots) == count:
            trees = parse_trees(lines_of(done))
            for page in range(1, count + 1):
                result, nodes = trees.get(page, ("S_FALSE", []))
                ours = len(nodes) - 1 if result == "S_OK" else 0
                theirs = sum(1 for a in qpdf.annots[page - 1] if qpdf.link_qualifies(a))
                self.figures["links"] += theirs
                if ours == theirs:
                    self.figures["links equal"] += theirs
                else:
                    self.problems.append("%s page %d: %d links, %d qualify" % (name, page, ours,
                                                                               theirs))

        done = self.host_run(name, ["tree", path, "ANNOTATIONS", "--pages", "all", "--render"] + pw,
                             count)
        if done and qpdf.ok and len(qpdf.annots) == count:
            trees = parse_trees(lines_of(done))
            for page in range(1, count + 1):
                result, nodes = trees.get(page, ("S_FALSE", []))
                ours = sum(1 for n in nodes if n[0] == 1) if result == "S_OK" else 0
                theirs = qpdf.text_annotations(qpdf.annots[page - 1])
                self.figures["text annotations"] += theirs
                if ours == theirs:
                    self.figures["text annotations equal"] += theirs
                else:
                    self.problems.append("%s page %d: %d text annotations, %d listed by qpdf"
                                         % (name, page, ours, theirs))
        done = self.host_run(name, ["tree", path, "FONTINFO", "--pages", "all", "--render"] + pw,
                             count)
        if done:
            trees = parse_trees(lines_of(done))
            for page in range(1, count + 1):
                result, nodes = trees.get(page, ("S_FALSE", []))
                fields = [record_fields(n[3]) for n in nodes[1:]]
                names = {f[1].lstrip(" ") for f in fields if len(f) == 5}
                type3 = sum(1 for f in fields if len(f) == 5 and f[0] == "3")
                listed = pdffonts(path, page, password)
                wanted = [(n.split("+", 1)[-1], t) for n, t in listed
                          if t in ("Type 1", "Type 1C", "TrueType")]
                self.figures["fonts"] += len(wanted) + sum(1 for _, t in listed if t == "Type 3")
                found = sum(1 for n, _ in wanted if n in names)
                listed3 = sum(1 for _, t in listed if t == "Type 3")
                found += min(type3, listed3)
                if type3 < listed3:
                    self.notes.append("%s page %d: FONTINFO names %d Type 3 fonts of %d"
                                      % (name, page, type3, listed3))
                self.figures["fonts named"] += found
                for n, t in wanted:
                    if n not in names:
                        self.notes.append("%s page %d: FONTINFO does not name %s (%s)"
                                          % (name, page, n, t))
        done = self.host_run(name, ["tree", path, "TEXT", "--pages", "all", "--render"] + pw,
                             count)
        if done:
            trees = parse_trees(lines_of(done))
            for page in range(1, count + 1):
                result, nodes = trees.get(page, ("S_FALSE", []))
                ours = collections.Counter(n[2] for n in nodes[1:])
                theirs = collections.Counter(pdftotext_words(path, page, password))
                self.figures["words"] += sum(theirs.values())
                self.figures["words found"] += sum((theirs & ours).values())
                long = collections.Counter({w: n for w, n in theirs.items()
                                            if sum(c.isalpha() for c in w) >= 4})
                self.figures["long words"] += sum(long.values())
                self.figures["long words found"] += sum((long & ours).values())
        print("%s: %d pages" % (name, count), flush=True)


def main(argv):
    if len(argv) != 5:
        sys.stderr.write(__doc__)
        return 2
    host, regsvr, library, corpus = argv[1:]
    if not os.path.isdir(corpus):
        print("no corpus at %s: skipped" % corpus)
        return SKIPPED
    for tool in ("qpdf", "pdffonts", "pdftotext"):
        if not shutil.which(tool):
            print("%s is not installed: skipped" % tool)
            return SKIPPED
    known = passwords(corpus)
    check = Check(host)
    with tempfile.TemporaryDirectory(prefix="vistrel-trees-") as scratch:
        os.environ["XDG_CONFIG_HOME"] = os.path.join(scratch, "config")
        subprocess.run([regsvr, library], check=True)
        copies = os.path.join(scratch, "copies")
        os.mkdir(copies)
        for name in sorted(os.listdir(corpus)):
            if name.endswith(".pdf"):
                check.file(os.path.join(corpus, name), known.get(name), copies)
    f = check.figures
    print("%d files opened, %d pages" % (f["files"], f["pages"]))
    print("outlines equal to qpdf's: %d of %d" % (f["outlines equal"], f["outlines"]))
    print("information equal to qpdf's: %d of %d" % (f["information equal"],
                                                     f["information dictionaries"]))
    print("links listed as qpdf resolves them: %d of %d" % (f["links equal"], f["links"]))
    print("text annotations listed: %d of %d" % (f["text annotations equal"],
                                                 f["text annotations"]))
    print("fonts of pdffonts named in FONTINFO: %d of %d" % (f["fonts named"], f["fonts"]))
    share = f["words found"] / f["words"] if f["words"] else 1.0
    print("words of pdftotext in TEXT: %d of %d (%.1f %%)" % (f["words found"], f["words"],
                                                              100 * share))
    print("of them of four or more letters: %d of %d" % (f["long words found"], f["long words"]))
    if share < MIN_WORD_SHARE:
        check.problems.append("only %.1f %% of pdftotext's words are in the TEXT trees"
                              % (100 * share))
    for n in check.notes:
        print("note: " + n)
    for p in check.problems:
        print(p)
    return 1 if check.problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
