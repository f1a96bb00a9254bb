#!/usr/bin/env python3
"""Stores a tree into copies of PDF files and checks the result.

For every file vistrel-inspect can open (and qpdf finds sound): store-tree on
a copy, then read-tree must print the sample tree, qpdf --check must not
report more than before, and every page must render in pdftoppm exactly as before.

usage: store_tree_check.py VISTREL_INSPECT FILE... [--corpus DIR]

Without qpdf, or without the corpus folder (after checking the files given),
it exits with 77, which CTest reports as skipped.
"""
import hashlib
import os
import shutil
import subprocess
import sys
import tempfile

# The exit status CTest reports as skipped.
SKIPPED = 77

# Owner passwords first: they permit modification.
PASSWORDS = ["master", "owner", "", "view", "user"]


def run(args, **kw):
    return subprocess.run(args, stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=120, **kw)


def qpdf_status(path, password):
    """qpdf --check's exit status: 0 sound, 3 warnings only, 2 errors."""
    args = ["qpdf", "--check", path]
    if password:
        args.insert(2, "--password=" + password)
    return run(args).returncode


def renders(path, password, out_dir):
    if not shutil.which("pdftoppm"):
        return None
    prefix = os.path.join(out_dir, "page")
    for name in os.listdir(out_dir):
        os.remove(os.path.join(out_dir, name))
    args = ["pdftoppm", "-r", "24", "-png", path, prefix]
    if password:
        args[1:1] = ["-opw", password, "-upw", password]
    if run(args).returncode != 0:
        return None
    return sorted(hashlib.md5(open(os.path.join(out_dir, n), "rb").read()).hexdigest()
                  for n in os.listdir(out_dir))


def main():
    argv = sys.argv[1:]
    if not argv or not shutil.which("qpdf"):
        print("qpdf or arguments missing: skipped")
        return SKIPPED
    inspect = argv.pop(0)
    files = []
    corpus_missing = None
    while argv:
        a = argv.pop(0)
        if a == "--corpus":
            d = argv.pop(0)
            if os.path.isdir(d):
                files += [os.path.join(d, n) for n in sorted(os.listdir(d)) if n.endswith(".pdf")]
            else:
                corpus_missing = d
        else:
            files.append(a)
    failures = 0
    checked = 0
    with tempfile.TemporaryDirectory() as tmp:
        pages = os.path.join(tmp, "pages")
        os.mkdir(pages)
        for source in files:
            name = os.path.basename(source)
            copy = os.path.join(tmp, "copy.pdf")
            shutil.copyfile(source, copy)
            password = None
            for pw in PASSWORDS:
                args = [inspect, "info", copy] + (["--password", pw] if pw else [])
                if run(args).returncode == 0:
                    password = pw
                    break
            if password is None:
                continue
            status = qpdf_status(copy, password)
            if status not in (0, 3):
                continue
            before = renders(copy, password, pages)
            pw_args = ["--password", password] if password else []
            stored = run([inspect, "store-tree", copy, "Check"] + pw_args)
            if stored.returncode != 0:
                # Documents that forbid modification are left alone.
                if b"nothing written" in stored.stderr:
                    continue
                print("FAIL store-tree %s: %s" % (name, stored.stderr.decode(errors="replace")))
                failures += 1
                continue
            checked += 1
            read = run([inspect, "read-tree", copy, "Check"] + pw_args)
            if read.returncode != 0 or not read.stdout.startswith(b"Sample tree\n"):
                print("FAIL read-tree %s" % name)
                failures += 1
            if qpdf_status(copy, password) not in (0, status):
                print("FAIL qpdf --check %s" % name)
                failures += 1
            after = renders(copy, password, pages)
            print("checked %s" % name)
            if before != after:
                print("FAIL pdftoppm %s renders differently" % name)
                failures += 1
    print("%d files stored and checked, %d failures" % (checked, failures))
    if failures:
        return 1
    if corpus_missing:
        print("no corpus at %s: the real files were not checked (skipped)" % corpus_missing)
        return SKIPPED
    return 0


if __name__ == "__main__":
    sys.exit(main())
