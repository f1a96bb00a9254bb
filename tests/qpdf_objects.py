"""Helpers the comparison scripts share: corpus passwords and the stream
objects qpdf lists for a file. Standard library only."""

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


def stream_dicts(path, password):
    """(object number, stream dictionary, filters) of every stream qpdf lists."""
    args = ["qpdf", "--json=2", "--json-key=qpdf"]
    if password is not None:
        args.append("--password=" + password)
    run = subprocess.run(args + [path], capture_output=True)
    try:
        objects = json.loads(run.stdout)["qpdf"][1]
    except (ValueError, KeyError, IndexError):
        return
    for key, value in objects.items():
        if not key.startswith("obj:") or not isinstance(value, dict) or "stream" not in value:
            continue
        d = value["stream"]["dict"]
        yield int(key.split(":")[1].split()[0]), d, as_list(d.get("/Filter"))
