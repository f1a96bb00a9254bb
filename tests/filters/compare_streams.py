#!/usr/bin/env python3
"""Compares the decoded stream data vistrel-inspect writes with qpdf and djpeg.

    compare_streams.py INSPECT FILE... [--corpus FOLDER]

For every stream of each file whose filters the engine reads (Flate, LZW,
ASCIIHex, ASCII85, RunLength and DCT, with their predictors), `vistrel-inspect streams`
must write what qpdf writes as the stream's data decoded at its specialized
level; a stream that ends in DCTDecode must give the samples `djpeg -pnm`
gives for the same JPEG data. The summary line of `vistrel-inspect streams`
(decoding in large blocks) must count the streams, the complete ones and the
bytes its --data records hold. Each tool reads each file once more at most.
Passwords come from the corpus's SOURCES.md ('user password "..."').
Files vistrel-inspect refuses to open, and objects that only a cross-reference
stream lists, are listed and skipped. Prints one line
per difference and exits 1 when there is any. Standard library only.
"""

import base64
import os
import re
import subprocess
import sys
import tempfile
import zlib

READ = {"/FlateDecode", "/Fl", "/LZWDecode", "/LZW", "/ASCIIHexDecode", "/AHx",
        "/ASCII85Decode", "/A85", "/RunLengthDecode", "/RL", "/DCTDecode", "/DCT"}


sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from qpdf_objects import inspect_records, passwords, qpdf_objects, stream_dicts  # noqa: E402


def streams(path, password):
    for num, d, filters in stream_dicts(path, password):
        if not filters or any(not isinstance(f, str) or f not in READ for f in filters):
            continue
        yield num, filters


def undo(filters, data):
    """Decodes the links in front of a DCT link (Flate, ASCIIHex, ASCII85)."""
    for f in filters:
        if f in ("/FlateDecode", "/Fl"):
            data = zlib.decompressobj().decompress(data)
        elif f in ("/ASCIIHexDecode", "/AHx"):
            digits = re.sub(rb"[^0-9A-Fa-f]", b"", data.split(b">")[0])
            data = bytes.fromhex((digits + b"0" * (len(digits) % 2)).decode())
        elif f in ("/ASCII85Decode", "/A85"):
            data = base64.a85decode(data.split(b"~>")[0], ignorechars=b" \t\r\n")
        else:
            return None
    return data


def djpeg_samples(jpeg, tmp):
    src = os.path.join(tmp, "in.jpg")
    with open(src, "wb") as f:
        f.write(jpeg)
    run = subprocess.run(["djpeg", "-pnm", src], capture_output=True)
    if run.returncode not in (0, 2) or not run.stdout:
        return None
    return run.stdout.split(b"\n", 3)[3]


def main(argv):
    inspect, files, corpus = argv[1], [], None
    i = 2
    while i < len(argv):
        if argv[i] == "--corpus":
            corpus = argv[i + 1]
            i += 2
        else:
            files.append(argv[i])
            i += 1
    known = {}
    if corpus and os.path.isdir(corpus):
        known = passwords(corpus)
        files += sorted(os.path.join(corpus, f) for f in os.listdir(corpus) if f.endswith(".pdf"))

    differences = compared = 0
    with tempfile.TemporaryDirectory() as tmp:
        for path in files:
            password = known.get(os.path.basename(path))
            pw_args = ["--password", password] if password is not None else []
            probe = subprocess.run([inspect, "info", path] + pw_args, capture_output=True, timeout=60)
            if probe.returncode != 0:
                print("skipped %s: %s" % (os.path.basename(path), probe.stderr.decode(errors="replace").strip()))
                continue
            wanted = list(streams(path, password))
            rc, ours_all, err = inspect_records(inspect, path, password, "streams")
            if rc != 0:
                differences += 1
                print("%s: vistrel-inspect streams failed: %s" % (os.path.basename(path), err.strip()))
                continue
            summary = subprocess.run([inspect, "streams", path] + pw_args, capture_output=True,
                                     timeout=600).stdout.decode(errors="replace").strip()
            expected_summary = "%d streams, %d decoded, %d bytes" % (
                len(ours_all), sum(1 for why, _ in ours_all.values() if why is None),
                sum(len(data) for _, data in ours_all.values()))
            if summary != expected_summary:
                differences += 1
                print("%s: summary %r, the records give %r" % (os.path.basename(path), summary,
                                                              expected_summary))
            if not wanted:
                continue
            # qpdf writes every stream's data to a file of its own, decoded where
            # its specialized level can (the dictionary then loses /Filter).
            prefix = os.path.join(tmp, "data")
            decoded = qpdf_objects(path, password, "--json-stream-data=file",
                                   "--json-stream-prefix=" + prefix, "--decode-level=specialized")
            for num, filters in wanted:
                status, ours = ours_all.get(num, ("not listed", b""))
                if num not in ours_all and status == "not listed":
                    # Only a cross-reference stream lists it (a hybrid file).
                    print("skipped %s %d: not in the cross-reference table" % (os.path.basename(path), num))
                    continue
                entry = next((v["stream"] for (n, _), v in decoded.items()
                              if n == num and "stream" in v), None)
                data = None
                if entry is not None and "datafile" in entry:
                    with open(entry["datafile"], "rb") as f:
                        data = f.read()
                    os.unlink(entry["datafile"])
                still_filtered = entry is None or "/Filter" in entry.get("dict", {})
                if filters[-1] in ("/DCTDecode", "/DCT"):
                    data = undo(filters[:-1], data) if still_filtered and data is not None else None
                    if data is None:
                        continue  # a link before DCT that this script cannot undo
                    expected = djpeg_samples(data, tmp)
                elif still_filtered:
                    # qpdf gave up on the chain (damaged data): what it decodes
                    # before the fault is what ours must give too.
                    qpw = ["--password=" + password] if password is not None else []
                    expected = subprocess.run(["qpdf", "--show-object=%d" % num, "--filtered-stream-data",
                                               "--decode-level=specialized"] + qpw + [path],
                                              capture_output=True).stdout
                else:
                    expected = data
                compared += 1
                if os.environ.get("VERBOSE"):
                    print("compared %s %d %s" % (os.path.basename(path), num, " ".join(filters)))
                if expected is None or ours != expected:
                    differences += 1
                    print("%s %d %s: %d bytes, expected %s (%s)" % (
                        os.path.basename(path), num, " ".join(filters), len(ours),
                        "none" if expected is None else len(expected), status or "complete"))
    print("%d streams compared, %d differences" % (compared, differences))
    return 1 if differences else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
