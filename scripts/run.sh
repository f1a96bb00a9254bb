#!/usr/bin/env bash
# Builds everything and runs the main job: the viewer Brevant on a PDF file
# (the first argument, or the bundled sample) with the engine registered in
# the user's store. Without a display the viewer runs under Xvfb for a few
# seconds; a screenshot of its window is saved as build/brevant.png and the
# viewer is ended.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
bash scripts/build.sh
build=${BUILD_DIR:-build}
"$build/bin/vistrel-regsvr" "$build/lib/libvistrel.so"
file=$(realpath "${1:-$build/sample/lumbra_sample.pdf}")
if [ -n "${DISPLAY:-}" ]; then
  exec "$build/bin/Brevant" "$file"
fi
shot="$(realpath "$build")/brevant.png"
xvfb-run -a -s "-screen 0 1024x768x24" sh -c '
  "$1" "$2" & pid=$!
  sleep 8
  import -window "Lumbra for Palm OS - $2" "$3" 2>/dev/null || import -window root "$3"
  kill "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null
  true' sh "$build/bin/Brevant" "$file" "$shot"
echo "Screenshot of the viewer's window: $shot"
