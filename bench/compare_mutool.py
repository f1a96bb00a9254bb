#!/usr/bin/env python3
"""Whole-process timings of vistrel-inspect against mutool, as ratios measured
in one run.

    compare_mutool.py INSPECT [--baseline OLD_INSPECT] [--repeat N]
                      [--folder DIR] [--corpus DIR] [--only TEXT]

Generates the large documents (make_documents.py) into DIR (a temporary
folder by default), then times, alternating the programs within every
repetition:
  pages      vistrel-inspect pages FILE    against  mutool pages FILE
  outline    vistrel-inspect outline FILE  against  mutool show FILE outline
  streams    vistrel-inspect streams FILE  against  mutool clean -d FILE OUT
             (OUT in /dev/shm when there is one), and against PyMuPDF
             opening FILE and decoding every stream object, timed inside
             its process (without the start of Python) when a Python with
             PyMuPDF is found
  last page  vistrel-inspect render FILE N --zoom 1 --out OUT.ppm  against
             mutool draw -q -r 72 -c rgb -o OUT.ppm FILE N
             (opening the file and drawing its last page N, written as PPM
             into /dev/shm)
  last page host  vistrel-host render FILE --page N --zoom 1  against
             mutool draw -q -r 72 -c rgb FILE N
             (the same through the control object, the engine registered in
             a scratch configuration folder: the document opened, its page
             count asked and page N rendered into the control's bitmap;
             mutool draws into a pixmap in memory; neither writes a file)
on the generated page trees (flat and balanced, 10,000 and 100,000 pages;
the last page of the balanced ones),
outlines (10,000 and 100,000 items, leading into a balanced tree of 1000
pages, or into a flat tree of as many pages as items), the generated report
and the three largest files of the corpus folder that vistrel-inspect opens. Prints the
median time of each program and the median of the per-repetition ratios
(vistrel / mutool, and vistrel / PyMuPDF; below 1 is faster), and for the
generated sizes how the time grows from 10,000 to 100,000. A run of over 20
seconds is not repeated. With --baseline an older vistrel-inspect runs in the
same repetitions and its ratios are shown beside. --only runs the cases
whose name holds TEXT ("memory" for the peak memory alone, "palm" for the
Palm export alone).

Then the peak resident size (the kernel's figure for the process and its
waited-for children, through wait4) of rendering every page of the
generated 1000 mixed pages (make_documents.py --rendering) at 72 dpi, once
each: vistrel-inspect render ... --out E%d.ppm, vistrel-host render (through
the control object, the engine registered in a scratch configuration
folder; nothing written) and mutool draw -r 72 -c rgb -o M%d.ppm (the PPM
names lead to /dev/null), with the ratios engine/mutool and host/mutool.

Then the Palm export against rendering the same pages, both through the
control object (the engine registered in a scratch configuration folder):
vistrel-host pdb FILE OUT.pdb --views all (every page at zoom 1 in format 4,
each with its overview; OUT, and through TMPDIR the folder the export spills
its pages into, in /dev/shm when there is one) against
vistrel-host render FILE --pages all --zoom 1, alternating within every
repetition, on the generated report, photos and TrueType sizes
(make_documents.py --rendering; not the 1000 mixed pages, whose export stops
at the database's record limit). Prints the median times and the median of
the per-repetition ratios export / render, with --baseline also the older
build's.

With --document-bench DOCUMENT_BENCH and PyMuPDF found, decode-all is also
compared inside the processes, where the start of a process does not drown
the time of a small file: the BM_DecodeAll figures of document_bench (its
largest corpus document and the generated report) against PyMuPDF opening
and decoding the same files in a loop, alternating within every repetition.
"""
import argparse
import json
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
# Marks the argument tails of the cases run by vistrel-host.
HOST = "vistrel-host"
sys.path.insert(0, HERE)
import bench_files  # noqa: E402


def timed(args, env=None):
    start = time.perf_counter()
    run = subprocess.run(args, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, env=env)
    elapsed = time.perf_counter() - start
    if run.returncode != 0:
        raise RuntimeError("%s failed: %s" % (" ".join(args), run.stderr.decode(errors="replace")))
    return elapsed


# Opens the file named by the first argument and decodes every stream object;
# prints the seconds that took.
PYMUPDF_DECODE = """
import sys, time
import fitz
start = time.perf_counter()
doc = fitz.open(sys.argv[1])
for xref in range(1, doc.xref_length()):
    if doc.xref_is_stream(xref):
        doc.xref_stream(xref)
print(time.perf_counter() - start)
"""

# The same in a loop for at least the seconds of the second argument; prints
# the mean seconds of one pass.
PYMUPDF_DECODE_LOOP = """
import sys, time
import fitz
passes, start = 0, time.perf_counter()
while time.perf_counter() - start < float(sys.argv[2]):
    doc = fitz.open(sys.argv[1])
    for xref in range(1, doc.xref_length()):
        if doc.xref_is_stream(xref):
            doc.xref_stream(xref)
    doc.close()
    passes += 1
print((time.perf_counter() - start) / passes)
"""


def find_pymupdf():
    """A Python that imports PyMuPDF, or None."""
    for python in (sys.executable, "/usr/bin/python3"):
        if os.path.exists(python) and subprocess.run(
                [python, "-c", "import fitz"], capture_output=True).returncode == 0:
            return python
    return None


def pymupdf_timed(python, path):
    run = subprocess.run([python, "-c", PYMUPDF_DECODE, path], capture_output=True, text=True)
    if run.returncode != 0:
        raise RuntimeError("PyMuPDF failed on %s: %s" % (path, run.stderr))
    return float(run.stdout.split()[-1])


def in_process(bench, python, folder, corpus, repeat):
    """Prints decode-all of document_bench against PyMuPDF, both in-process."""
    times = {}  # document name: {"vistrel": [...], "pymupdf": [...]}
    for _ in range(repeat):
        run = subprocess.run([bench, "--benchmark_filter=BM_DecodeAll/",
                              "--benchmark_format=json", "--benchmark_min_time=0.5"],
                             capture_output=True, text=True, check=True)
        for record in json.loads(run.stdout)["benchmarks"]:
            label, name = record["name"].split("/", 1)[1].split(":", 1)
            scale = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}[record["time_unit"]]
            path = os.path.join(corpus if label == "corpus" else folder, name)
            loop = subprocess.run([python, "-c", PYMUPDF_DECODE_LOOP, path, "0.5"],
                                  capture_output=True, text=True, check=True)
            entry = times.setdefault(name, {"vistrel": [], "pymupdf": []})
            entry["vistrel"].append(record["real_time"] * scale)
            entry["pymupdf"].append(float(loop.stdout.split()[-1]))
    for name, entry in times.items():
        print("decode-all in-process %-20s PyMuPDF %8.3f ms   vistrel %8.3f ms / PyMuPDF %5.2f" % (
            name, statistics.median(entry["pymupdf"]) * 1e3,
            statistics.median(entry["vistrel"]) * 1e3,
            statistics.median([a / b for a, b in zip(entry["vistrel"], entry["pymupdf"])])),
            flush=True)


def opens(inspect, path):
    run = subprocess.run([inspect, "pages", path], capture_output=True)
    return run.returncode == 0


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("inspect")
    parser.add_argument("--baseline")
    parser.add_argument("--repeat", type=int, default=5)
    parser.add_argument("--folder")
    parser.add_argument("--corpus", default=bench_files.default_corpus())
    parser.add_argument("--only", help="run only the cases whose name holds this text")
    parser.add_argument("--document-bench", help="document_bench, for decode-all in-process")
    options = parser.parse_args()

    folder = options.folder or tempfile.mkdtemp(prefix="vistrel-bench-")
    if not os.path.exists(os.path.join(folder, "outline-flat-100000.pdf")):
        subprocess.run([sys.executable, os.path.join(HERE, "make_documents.py"), folder], check=True)
    memory = "/dev/shm" if os.path.isdir("/dev/shm") else tempfile.gettempdir()
    out = os.path.join(memory, "vistrel-bench-clean-%d.pdf" % os.getpid())

    # (name, ours as a list of argument tails, mutool arguments); the tails
    # of HOST cases are vistrel-host's, the others vistrel-inspect's.
    cases = []
    for shape in ("flat", "balanced"):
        for n in (10000, 100000):
            f = os.path.join(folder, "pages-%s-%d.pdf" % (shape, n))
            cases.append(("pages %s %d" % (shape, n), ["pages", f], ["mutool", "pages", f]))
    for shape in ("", "flat"):
        for n in (10000, 100000):
            f = os.path.join(folder, "outline-%s%d.pdf" % (shape + "-" if shape else "", n))
            cases.append((" ".join(filter(None, ("outline", shape, str(n)))), ["outline", f],
                          ["mutool", "show", f, "outline"]))
    real = []
    if os.path.isdir(options.corpus):
        files = [os.path.join(options.corpus, name) for name in os.listdir(options.corpus)
                 if name.endswith(".pdf")]
        files.sort(key=os.path.getsize, reverse=True)
        real = [f for f in files if opens(options.inspect, f)][:3]
    for f in [os.path.join(folder, "content-113.pdf")] + real:
        cases.append(("streams %s" % os.path.basename(f), ["streams", f],
                      ["mutool", "clean", "-d", f, out]))
    drawn = os.path.join(memory, "vistrel-bench-page-%d.ppm" % os.getpid())
    for n in (10000, 100000):
        f = os.path.join(folder, "pages-balanced-%d.pdf" % n)
        cases.append(("last page balanced %d" % n,
                      ["render", f, str(n), "--zoom", "1", "--out", drawn],
                      ["mutool", "draw", "-q", "-r", "72", "-c", "rgb", "-o", drawn, f, str(n)]))
        cases.append(("last page host balanced %d" % n,
                      [HOST, "render", f, "--page", str(n), "--zoom", "1"],
                      ["mutool", "draw", "-q", "-r", "72", "-c", "rgb", f, str(n)]))
    if options.only:
        cases = [c for c in cases if options.only in c[0]]

    programs = [("new", options.inspect)]
    if options.baseline:
        programs.append(("old", options.baseline))
    # Each build's vistrel-host and the configuration folder its engine is
    # registered in, for the HOST cases; none when the registration failed.
    hosts = {}
    if any(tail[0] == HOST for _, tail, _ in cases):
        for label, program in programs:
            bins = os.path.dirname(os.path.abspath(program))
            config = bench_files.register_engine(bins)
            if config:
                hosts[label] = (os.path.join(bins, "vistrel-host"),
                                dict(os.environ, XDG_CONFIG_HOME=config))
    python = find_pymupdf()
    results = {}
    for name, tail, mutool in cases:
        if tail[0] == HOST and len(hosts) < len(programs):
            print("%-28s skipped: the engine could not be registered" % name, flush=True)
            continue
        # Every timing of a case, by who ran: "mutool", "pymupdf" and the
        # labels of the programs.
        runs = {"mutool": lambda: timed(mutool)}
        for label, program in programs:
            if tail[0] == HOST:
                host, env = hosts[label]
                runs[label] = lambda host=host, env=env: timed([host] + tail[1:], env)
            else:
                runs[label] = lambda program=program: timed([program] + tail)
        if python and tail[0] == "streams":
            runs["pymupdf"] = lambda: pymupdf_timed(python, tail[1])
        times = {who: [] for who in runs}
        for _ in range(options.repeat):
            for who, run in runs.items():
                # mutool lists a flat tree of 100,000 pages in minutes: one
                # run of that length stands for all.
                slow = times[who] and times[who][0] > 20
                times[who].append(times[who][0] if slow else run())
        results[name] = times
        line = "%-28s mutool %8.3f s" % (name, statistics.median(times["mutool"]))
        if "pymupdf" in times:
            line += "  PyMuPDF %6.3f s" % statistics.median(times["pymupdf"])
        for label, _ in programs:
            line += "   %s %8.3f s / mutool %5.2f" % (
                label, statistics.median(times[label]),
                statistics.median([a / b for a, b in zip(times[label], times["mutool"])]))
            if "pymupdf" in times:
                line += " / PyMuPDF %5.2f" % statistics.median(
                    [a / b for a, b in zip(times[label], times["pymupdf"])])
        print(line, flush=True)
    if options.document_bench and python:
        in_process(options.document_bench, python, folder, options.corpus, options.repeat)
    for label, _ in programs:
        for prefix in ("pages flat", "pages balanced", "outline", "outline flat",
                       "last page balanced", "last page host balanced"):
            small, large = results.get(prefix + " 10000"), results.get(prefix + " 100000")
            if small and large:
                print("%s: %s grows x%.1f from 10,000 to 100,000 (mutool x%.1f)" % (
                    label, prefix, statistics.median(large[label]) / statistics.median(small[label]),
                    statistics.median(large["mutool"]) / statistics.median(small["mutool"])))
    for path in (out, drawn):
        if os.path.exists(path):
            os.unlink(path)
    for _, env in hosts.values():
        shutil.rmtree(env["XDG_CONFIG_HOME"], ignore_errors=True)
    if not options.only or options.only in "peak memory":
        peak_memory(options.inspect, folder)
    if not options.only or options.only in "palm export":
        palm_export(programs, folder, options.repeat)


def peak_memory(inspect, folder):
    """Prints the peak resident sizes of rendering the 1000 mixed pages."""
    pdf = dict(bench_files.generated_documents(folder))["mixed-1000.pdf"]
    bins = os.path.dirname(os.path.abspath(inspect))
    config = bench_files.register_engine(bins)
    out = tempfile.mkdtemp(prefix="vistrel-bench-memory-", dir=bench_files.scratch_root())
    try:
        pages = bench_files.page_count(inspect, pdf)
        runs = {
            "engine": [inspect, "render", pdf, "all", "--zoom", "1", "--out",
                       bench_files.null_outputs(out, "e", pages, "ppm")],
            "host": [os.path.join(bins, "vistrel-host"), "render", pdf, "--pages", "all"],
            "mutool": ["mutool", "draw", "-q", "-r", "72", "-c", "rgb", "-o",
                       bench_files.null_outputs(out, "m", pages, "ppm"), pdf],
        }
        peak = {}
        for label, args in runs.items():
            if label == "host" and config is None:
                continue
            elapsed, peak[label], status = bench_files.measure(args)
            print("peak memory mixed-1000 %-6s %8d KiB in %6.2f s%s" % (
                label, peak[label], elapsed, "" if status == 0 else " (failed)"), flush=True)
        for label in ("engine", "host"):
            if label in peak:
                print("peak memory mixed-1000 %s / mutool %5.2f" % (
                    label, peak[label] / peak["mutool"]))
    finally:
        shutil.rmtree(out, ignore_errors=True)
        if config:
            shutil.rmtree(config, ignore_errors=True)


def palm_export(programs, folder, repeat):
    """Prints the Palm export's time against rendering the same pages, per
    build of programs ((label, vistrel-inspect) pairs)."""
    documents = dict(bench_files.generated_documents(folder))
    out = tempfile.mkdtemp(prefix="vistrel-bench-pdb-", dir=bench_files.scratch_root())
    configs = {}
    try:
        hosts = {}
        for label, inspect in programs:
            bins = os.path.dirname(os.path.abspath(inspect))
            configs[label] = bench_files.register_engine(bins)
            if configs[label]:
                hosts[label] = os.path.join(bins, "vistrel-host")
        pdb = os.path.join(out, "out.pdb")
        for name in ("content-113.pdf", "photos-6.pdf", "truetype-sizes-40.pdf"):
            path = documents[name]
            times = {}  # (label, "export" or "render"): [seconds]
            for _ in range(repeat):
                for label, host in hosts.items():
                    env = dict(os.environ, XDG_CONFIG_HOME=configs[label], TMPDIR=out)
                    for kind, args in (
                            ("export", [host, "pdb", path, pdb, "--views", "all"]),
                            ("render", [host, "render", path, "--pages", "all", "--zoom", "1"])):
                        times.setdefault((label, kind), []).append(timed(args, env))
            line = "palm export %-22s" % name
            for label in hosts:
                export, render = times[(label, "export")], times[(label, "render")]
                line += "   %s export %6.3f s render %6.3f s export/render %5.2f" % (
                    label, statistics.median(export), statistics.median(render),
                    statistics.median([a / b for a, b in zip(export, render)]))
            print(line, flush=True)
    finally:
        shutil.rmtree(out, ignore_errors=True)
        for config in configs.values():
            if config:
                shutil.rmtree(config, ignore_errors=True)


if __name__ == "__main__":
    main()
