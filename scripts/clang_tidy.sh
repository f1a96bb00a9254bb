#!/usr/bin/env bash
# Runs the checks of .clang-tidy over every C++ source of the folders below in
# the build's compilation database (build/ or $BUILD_DIR); fails on any
# finding. Does nothing when clang-tidy is not installed. A folder joins the
# list once it has no findings.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}
runner=$(command -v run-clang-tidy || command -v run-clang-tidy-14 || true)
if [ -z "$runner" ] || ! command -v clang-tidy >/dev/null; then
  echo "clang-tidy is not installed: the static checks were not run"
  exit 0
fi
if [ ! -f "$build/compile_commands.json" ]; then
  echo "no $build/compile_commands.json: build first" >&2
  exit 1
fi
folders=(engine platform tools tests viewer fuzz bench)
pattern="$PWD/($(IFS='|'; echo "${folders[*]}"))/.*\.cpp$"
log=$(mktemp)
trap 'rm -f "$log"' EXIT
"$runner" -p "$build" -j "${JOBS:-$(nproc)}" -quiet \
  "$pattern" >"$log" 2>&1 || true
findings=$(sed 's/\x1b\[[0-9;]*m//g' "$log" | grep -E '^/.*: (warning|error): ' | sort -u || true)
if [ -n "$findings" ]; then
  echo "$findings"
  echo "clang-tidy: $(echo "$findings" | wc -l) findings"
  exit 1
fi
echo "clang-tidy: no findings"
