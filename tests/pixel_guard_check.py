#!/usr/bin/env python3
"""Checks the pixel guard on one small fixture: its record holds every
checksum of the page, two records of one build compare identical, and a
difference planted into one record is named by page and item.

    pixel_guard_check.py PIXEL_GUARD BUILD

Prints what went wrong and exits 1 on any fault.
"""

import os
import subprocess
import sys
import tempfile

DOCUMENT = "fixtures/render/fills.pdf"
ITEMS = ["input", "pages", "pdb"] + ["p1 %s z%s" % (kind, zoom)
                                     for kind in ("render", "host", "text") for zoom in "12"]
# (what is planted, the line compare must print)
PLANTS = [
    ("p1 host z2", DOCUMENT + " page 1: host z2"),
    ("pdb", DOCUMENT + ": pdb"),
]


def run(args):
    return subprocess.run([sys.executable] + args, capture_output=True, text=True)


def main(argv):
    if len(argv) != 3:
        sys.stderr.write(__doc__)
        return 2
    guard, build = argv[1], argv[2]
    faults = []
    with tempfile.TemporaryDirectory() as scratch:
        records = [os.path.join(scratch, name) for name in ("a.txt", "b.txt")]
        for record in records:
            made = run([guard, "record", build, record, "--only", DOCUMENT, "--no-generated",
                        "--corpus", scratch, "--jobs", "2"])
            if made.returncode != 0:
                print("record failed: %s%s" % (made.stdout, made.stderr))
                return 1
        with open(records[0]) as f:
            lines = [line for line in f if not line.startswith("#")]
        labels = [line.split("\t")[1] for line in lines]
        for item in ITEMS:
            if item not in labels:
                faults.append("the record has no %s of %s" % (item, DOCUMENT))
        same = run([guard, "compare"] + records)
        if same.returncode != 0 or "identical" not in same.stdout:
            faults.append("two records of one build differ:\n" + same.stdout)
        for item, expected in PLANTS:
            planted = os.path.join(scratch, "planted.txt")
            with open(planted, "w") as f:
                for line in lines:
                    name, label, value = line.rstrip("\n").split("\t", 2)
                    f.write("%s\t%s\t%s\n" % (name, label, "planted " + value if label == item
                                              else value))
            found = run([guard, "compare", records[0], planted])
            if found.returncode != 1 or expected not in found.stdout.splitlines():
                faults.append("a planted %s was not named as %r:\n%s"
                              % (item, expected, found.stdout))
    for fault in faults:
        print(fault)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
