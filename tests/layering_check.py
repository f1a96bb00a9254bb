#!/usr/bin/env python3
"""Checks that every folder library includes only what lies below it.

    layering_check.py SOURCE_DIR LAYERS [--plant FILE=INCLUDE ...]

LAYERS is the file the configure step writes: one line per folder library,
"folder: dependency folders...", as each folder's CMakeLists declares them.
A file of a folder may include headers of its own folder and of the folders
its dependencies reach. Test files (*_test.cpp, *_test_util.h, test_main.cpp)
may also use tests/support. The outside libraries' headers belong to the folder that links
them (and the tests of the folders above it). --plant adds an include line to a file before checking, so the check
itself can be shown to catch an upward include.
"""

import re
import sys
from pathlib import Path

INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^">]+)[">]', re.M)

# Headers of outside libraries and the folders that may include them.
OUTSIDE = {
    "zlib.h": {"engine/codec"},
    "jpeglib.h": {"engine/codec", "engine/export"},
    "jerror.h": {"engine/codec", "engine/export"},
    "png.h": {"engine/codec", "engine/export"},
    "ft2build.h": {"platform/gdi"},
    "fontconfig/fontconfig.h": {"platform/gdi"},
}
TEST_SUPPORT = "tests/support"


def read_layers(path):
    deps = {}
    for line in Path(path).read_text().splitlines():
        if ":" not in line:
            continue
        folder, rest = line.split(":", 1)
        deps[folder.strip()] = rest.split()
    return deps


def reach(deps):
    """Each folder with every folder its dependencies reach."""
    closure = {}

    def visit(folder, trail):
        if folder in closure:
            return closure[folder]
        if folder in trail:
            sys.exit(f"layering: dependency cycle through {folder}")
        below = set()
        for d in deps.get(folder, []):
            below.add(d)
            below |= visit(d, trail | {folder})
        closure[folder] = below
        return below

    for folder in deps:
        visit(folder, frozenset())
    return closure


def is_test_file(name):
    """Tests, their main and the helper headers only tests include (*_test_util.h)."""
    return name.endswith(("_test.cpp", "_test_util.h")) or name == "test_main.cpp"


def check(source, deps, planted):
    closure = reach(deps)
    faults = []
    for folder in sorted(deps):
        allowed = {folder} | closure[folder]
        for path in sorted((source / folder).iterdir()):
            if path.suffix not in (".h", ".cpp"):
                continue
            rel = f"{folder}/{path.name}"
            text = path.read_text(errors="replace")
            text += "".join(f'\n#include "{inc}"' for inc in planted.get(rel, []))
            for kind, inc in INCLUDE.findall(text):
                if kind == "<":
                    owners = OUTSIDE.get(inc)
                    # Tests may also use the outside libraries their layer links.
                    users = allowed if is_test_file(path.name) else {folder}
                    if owners is not None and not owners & users:
                        faults.append(f"{rel}: includes <{inc}>, which only "
                                      f"{', '.join(sorted(owners))} may use")
                    continue
                if "/" not in inc:
                    target = folder
                else:
                    target = inc.rsplit("/", 1)[0]
                ok = target in allowed
                if not ok and is_test_file(path.name) and target == TEST_SUPPORT:
                    ok = True
                if not ok:
                    faults.append(f"{rel}: includes {inc}, outside what {folder} depends on "
                                  f"({', '.join(sorted(closure[folder])) or 'nothing'})")
    return faults


def main(argv):
    if len(argv) < 3:
        sys.exit(__doc__)
    source = Path(argv[1])
    deps = read_layers(argv[2])
    planted = {}
    rest = argv[3:]
    while rest:
        if rest[0] != "--plant" or len(rest) < 2 or "=" not in rest[1]:
            sys.exit(__doc__)
        where, inc = rest[1].split("=", 1)
        planted.setdefault(where, []).append(inc)
        rest = rest[2:]
    for folder in deps:
        if not (source / folder).is_dir():
            sys.exit(f"layering: {folder} is not a folder")
    faults = check(source, deps, planted)
    for f in faults:
        print(f)
    print(f"layering: {len(deps)} folders, {len(faults)} upward includes")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
