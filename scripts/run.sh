#!/usr/bin/env bash
# Builds everything and runs the main job: the inspection tool over a PDF file
# (the first argument, or the bundled sample): information, pages, outline.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
bash scripts/build.sh
inspect="${BUILD_DIR:-build}/bin/vistrel-inspect"
file=${1:-tests/fixtures/sample.pdf}
"$inspect" info "$file"
"$inspect" pages "$file"
"$inspect" outline "$file"
