#!/usr/bin/env python3
"""vistrel-host over documents with TrueType fonts at every quality: the
TrueType fixtures and the corpus files pdffonts finds TrueType fonts in
(every corpus file when pdffonts is missing).

    embedded_fonts_host_check.py HOST REGSVR LIBRARY FIXTURES CORPUS

Each run renders every page from a read-only current folder, with a
read-only home and a temporary folder of its own ($TMPDIR). It must end
within its time (or fail to open cleanly), and afterwards nothing may be
left in the temporary folder, and the current folder and the home must be
as they were: embedded programs are written into a private folder under
$TMPDIR while they are used, and go with the process's fonts.

Prints one line per problem and a summary; exits 1 when there is any.
"""

import os
import shutil
import stat
import subprocess
import sys
import tempfile

QUALITIES = range(6)
SECONDS = 60


def truetype_files(corpus):
    if not os.path.isdir(corpus):
        return []
    names = sorted(n for n in os.listdir(corpus) if n.endswith(".pdf"))
    if not shutil.which("pdffonts"):
        return [os.path.join(corpus, n) for n in names]
    found = []
    for name in names:
        path = os.path.join(corpus, name)
        listed = subprocess.run(["pdffonts", path], capture_output=True, text=True).stdout
        if "TrueType" in listed:
            found.append(path)
    return found


def listing(folder):
    out = []
    for root, dirs, files in os.walk(folder):
        for n in dirs + files:
            out.append(os.path.relpath(os.path.join(root, n), folder))
    return sorted(out)


def read_only(folder):
    for root, dirs, files in os.walk(folder):
        for n in files:
            os.chmod(os.path.join(root, n), stat.S_IRUSR)
        os.chmod(root, stat.S_IRUSR | stat.S_IXUSR)


def writable(folder):
    for root, dirs, files in os.walk(folder):
        os.chmod(root, stat.S_IRWXU)
        for n in files:
            os.chmod(os.path.join(root, n), stat.S_IRUSR | stat.S_IWUSR)


def main(argv):
    if len(argv) != 6:
        sys.stderr.write(__doc__)
        return 2
    host, regsvr, library, fixtures, corpus = argv[1:6]
    files = [os.path.join(fixtures, n) for n in ("truetype.pdf", "same-a.pdf", "same-b.pdf",
                                                  "same-both.pdf")]
    files += truetype_files(corpus)
    problems = []
    runs = 0
    scratch = tempfile.mkdtemp(prefix="vistrel-embedded-")
    try:
        home = os.path.join(scratch, "home")
        here = os.path.join(scratch, "here")
        tmp = os.path.join(scratch, "tmp")
        out = os.path.join(scratch, "out")
        for d in (home, here, tmp, out):
            os.mkdir(d)
        env = dict(os.environ, HOME=home, TMPDIR=tmp,
                   XDG_CONFIG_HOME=os.path.join(home, ".config"))
        subprocess.run([regsvr, library], check=True, env=env)
        read_only(home)
        read_only(here)
        before = (listing(home), listing(here))
        for path in files:
            name = os.path.basename(path)
            for quality in QUALITIES:
                runs += 1
                try:
                    done = subprocess.run(
                        [host, "render", path, "--pages", "all", "--zoom", "1.5", "--quality",
                         str(quality), "--png", os.path.join(out, "page%d.png")],
                        cwd=here, env=env, capture_output=True, text=True, timeout=SECONDS)
                except subprocess.TimeoutExpired:
                    problems.append("%s quality %d: not done within %d s" % (name, quality,
                                                                             SECONDS))
                    continue
                if done.returncode < 0:
                    problems.append("%s quality %d: signal %d" % (name, quality,
                                                                 -done.returncode))
                elif done.returncode != 0 and "open S_FALSE" not in done.stdout and \
                        "open E_ACCESSDENIED" not in done.stdout:
                    problems.append("%s quality %d: exit %d: %s" % (
                        name, quality, done.returncode, done.stderr.strip()[:300]))
                left = listing(tmp)
                if left:
                    problems.append("%s quality %d: left in $TMPDIR: %s" % (name, quality,
                                                                            left[:5]))
                    writable(tmp)
                    shutil.rmtree(tmp)
                    os.mkdir(tmp)
                if (listing(home), listing(here)) != before:
                    problems.append("%s quality %d: the home or the current folder changed" %
                                    (name, quality))
                for old in os.listdir(out):
                    os.remove(os.path.join(out, old))
    finally:
        writable(scratch)
        shutil.rmtree(scratch)
    for p in problems:
        print(p)
    print("%d runs over %d files, %d problems" % (runs, len(files), len(problems)))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
