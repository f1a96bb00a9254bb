#!/usr/bin/env bash
# Builds everything and runs the main job: the inspection tool over a PDF file
# (the first argument, or the bundled sample).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
bash scripts/build.sh
file=${1:-tests/fixtures/sample.pdf}
if [ -x build/bin/vistrel-inspect ] && [ -f "$file" ]; then
  build/bin/vistrel-inspect info "$file"
else
  echo "built: $(ls build/bin build/lib 2>/dev/null | tr '\n' ' ')"
fi
