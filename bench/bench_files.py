"""What the whole-process benchmarks and the pixel guard share: where the
build's programs are, the engine registered for vistrel-host and the viewer,
and the documents they read (the shared corpus and the generated documents).

Not a program of its own; render-speed, pixel-guard, viewer-speed and
compare_mutool.py import it from beside them.
"""

import os
import re
import shutil
import subprocess
import sys
import tempfile
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
DEFAULT_CORPUS = os.path.join(HERE, "..", "..", "..", "shared", "corpus")


def bin_dir(build=None):
    """The build's bin folder: BUILD/bin when a build folder is given, else
    $VISTREL_BIN_DIR, else ../build/bin beside this script."""
    if build:
        return os.path.join(os.path.abspath(build), "bin")
    env = os.environ.get("VISTREL_BIN_DIR")
    if env:
        return os.path.abspath(env)
    return os.path.join(HERE, "..", "build", "bin")


def default_corpus():
    """The shared corpus: $VISTREL_CORPUS, else /work/shared/corpus, else the
    shared folder two levels above the source tree."""
    for candidate in (os.environ.get("VISTREL_CORPUS"), "/work/shared/corpus", DEFAULT_CORPUS):
        if candidate and os.path.isdir(candidate):
            return candidate
    return DEFAULT_CORPUS


def scratch_root():
    """A tmpfs folder when there is one, so that writing costs no disk."""
    for candidate in ("/dev/shm", os.environ.get("XDG_RUNTIME_DIR") or ""):
        if candidate and os.path.isdir(candidate) and os.access(candidate, os.W_OK):
            return candidate
    return None


def project_python():
    """The system's Python, which has the Python packages the project
    installs (fontTools for the generated TrueType documents); else this one."""
    return "/usr/bin/python3" if os.path.exists("/usr/bin/python3") else sys.executable


def register_engine(bins):
    """Registers the build's engine into a scratch configuration folder and
    points XDG_CONFIG_HOME there (for vistrel-host and the viewer, which
    create the engine by class id). Returns the folder (the caller removes
    it), or None when the registration failed."""
    config = tempfile.mkdtemp(prefix="vistrel-bench-config-")
    os.environ["XDG_CONFIG_HOME"] = config
    library = os.path.join(bins, "..", "lib", "libvistrel.so")
    result = subprocess.run([os.path.join(bins, "vistrel-regsvr"), library],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    if result.returncode != 0:
        shutil.rmtree(config, ignore_errors=True)
        return None
    return config


def page_count(inspect, pdf, password=""):
    """The page count vistrel-inspect pages lists; 0 when it cannot open."""
    args = [inspect, "pages", pdf] + (["--password", password] if password else [])
    out = subprocess.run(args, capture_output=True, text=True).stdout
    return sum(1 for line in out.splitlines() if line.startswith("page "))


def corpus_documents(inspect, corpus, scratch):
    """The corpus files the engine opens, as (name, path): those it opens as
    they are, and those it opens only after qpdf rewrote them without object
    and cross-reference streams (into scratch, deterministically), named
    "NAME (qpdf)". Sorted by name."""
    found = []
    if not os.path.isdir(corpus):
        return found
    for name in sorted(os.listdir(corpus)):
        if not name.lower().endswith(".pdf"):
            continue
        path = os.path.join(corpus, name)
        if page_count(inspect, path):
            found.append((name, path))
            continue
        if not shutil.which("qpdf"):
            continue
        plain = os.path.join(scratch, name)
        subprocess.run(["qpdf", "--object-streams=disable", "--static-id", path, plain],
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if os.path.exists(plain) and page_count(inspect, plain):
            found.append(("%s (qpdf)" % name, plain))
    return found


def generated_documents(folder):
    """The generated documents render-speed times (make_documents.py
    --rendering), made in folder when they are not there yet, as (name,
    path)."""
    subprocess.run([project_python(), os.path.join(HERE, "make_documents.py"), folder,
                    "--rendering"], check=True)
    names = ("content-113.pdf", "photos-6.pdf", "truetype-sizes-40.pdf", "mixed-1000.pdf",
             "tex-pages-12.pdf", "specimen-8.pdf", "type3-bitmap-12.pdf")
    return [(name, os.path.join(folder, name)) for name in names]


def null_outputs(folder, prefix, pages, extension):
    """Names PREFIX1.EXT ... PREFIXn.EXT in folder that lead to /dev/null, so
    that a program writing one image file a page formats every image and
    writes it, without the files filling a memory disk. Returns the name
    pattern with %d."""
    for page in range(1, pages + 1):
        os.symlink(os.devnull, os.path.join(folder, "%s%d.%s" % (prefix, page, extension)))
    return os.path.join(folder, "%s%%d.%s" % (prefix, extension))


def machine_load():
    """The load averages of `uptime` and the number of processors, as text."""
    try:
        with open("/proc/loadavg") as f:
            one, five, fifteen = f.read().split()[:3]
    except OSError:
        return "load unknown"
    return "load %s %s %s on %d processors" % (one, five, fifteen, os.cpu_count() or 0)


def measure(args, stdout=subprocess.DEVNULL, limit=None):
    """Runs a program to its end: (wall seconds, peak resident size in KiB,
    exit status). A program still running after limit seconds is killed
    (exit status -9)."""
    start = time.perf_counter()
    process = subprocess.Popen(args, stdout=stdout, stderr=subprocess.DEVNULL)
    timer = threading.Timer(limit, process.kill) if limit else None
    if timer:
        timer.start()
    _, status, usage = os.wait4(process.pid, 0)
    elapsed = time.perf_counter() - start
    if timer:
        timer.cancel()
    process.returncode = os.waitstatus_to_exitcode(status)
    return elapsed, usage.ru_maxrss, process.returncode


def geometric_mean(values):
    values = [v for v in values if v and v > 0]
    if not values:
        return None
    product = 1.0
    for v in values:
        product *= v ** (1.0 / len(values))
    return product


def page_numbers(listing):
    """Page numbers of a vistrel-inspect pages listing."""
    return [int(m.group(1)) for m in re.finditer(r"^page (\d+):", listing, re.M)]
