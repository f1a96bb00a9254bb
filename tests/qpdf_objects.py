"""Helpers the comparison scripts share: corpus passwords, the objects qpdf
lists for a file, and the records of vistrel-inspect's `objects` and `streams`
commands. Standard library only."""

import json
import os
import re
import subprocess


def passwords(corpus):
    """File name -> user password, from the corpus's SOURCES.md."""
    found = {}
    try:
        with open(os.path.join(corpus, "SOURCES.md"), encoding="utf-8") as f:
            for line in f:
                m = re.match(r"\| `([^`]+)` \|.*user password \"([^\"]*)\"", line)
                if m:
                    found[m.group(1)] = m.group(2)
    except OSError:
        pass
    return found


def as_list(value):
    if value is None:
        return []
    return value if isinstance(value, list) else [value]


def qpdf_objects(path, password, *extra):
    """(number, generation) -> qpdf's JSON (version 2) entry of each object it
    lists, {"value": ...} or {"stream": {"dict": ...}}; {} when qpdf cannot say.
    qpdf also lists objects that are only referred to, with a null value."""
    args = ["qpdf", "--json=2", "--json-key=qpdf"] + list(extra)
    if password is not None:
        args.append("--password=" + password)
    run = subprocess.run(args + [path], capture_output=True, timeout=300)
    try:
        listed = json.loads(run.stdout)["qpdf"][1]
    except (ValueError, KeyError, IndexError):
        return {}
    objects = {}
    for key, value in listed.items():
        m = re.match(r"obj:(\d+) (\d+) R$", key)
        if m and isinstance(value, dict):
            objects[int(m.group(1)), int(m.group(2))] = value
    return objects


def stream_dicts(path, password):
    """(object number, stream dictionary, filters) of every stream qpdf lists."""
    for (num, _), value in sorted(qpdf_objects(path, password).items()):
        if "stream" in value:
            d = value["stream"]["dict"]
            yield num, d, as_list(d.get("/Filter"))


def inspect_records(inspect, path, password, command, *extra):
    """Runs `vistrel-inspect objects` or `streams` on a file once.

    Returns (exit status, {number: (failure or None, bytes)}, standard error)."""
    if command == "streams":
        extra = ("--data",) + tuple(extra)  # the data, not the summary line
    args = [inspect, command, path] + list(extra)
    if password is not None:
        args += ["--password", password]
    run = subprocess.run(args, capture_output=True, timeout=600)
    records, data, pos = {}, run.stdout, 0
    while pos < len(data):
        end = data.index(b"\n", pos)
        header = data[pos:end].decode("latin-1")
        pos = end + 1
        m = re.match(r"(?:object|stream) (\d+) (?:failed$|(\d+)(?: failed: (.*))?$)", header)
        if not m:
            raise ValueError("unexpected record header %r" % header)
        if m.group(2) is None:
            records[int(m.group(1))] = ("failed", b"")
            continue
        length = int(m.group(2))
        records[int(m.group(1))] = (m.group(3), data[pos:pos + length])
        pos += length + 1
    return run.returncode, records, run.stderr.decode(errors="replace")
