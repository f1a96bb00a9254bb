#!/usr/bin/env bash
# Builds everything and runs the main job: the viewer Brevant on a PDF file
# (the first argument, or the bundled sample) with the engine registered in
# the user's store. Without a display the viewer runs under Xvfb for a few
# seconds; a screenshot of its top window (its main window, or the error box
# of a file it cannot open) is saved as build/brevant.png, the viewer is
# ended, and the output says when the file did not open (exit status 1).
set -euo pipefail
# A file that does not exist is reported before anything is built; a
# relative path is taken from where the script was started.
file=
if [ $# -gt 0 ]; then
  if [ ! -e "$1" ]; then
    echo "run.sh: $1: no such file" >&2
    exit 1
  fi
  file=$(realpath -- "$1")
fi
cd "$(dirname "$0")/.."
bash scripts/deps.sh
bash scripts/build.sh
build=${BUILD_DIR:-build}
"$build/bin/vistrel-regsvr" "$build/lib/libvistrel.so"
file=${file:-$(realpath "$build/sample/lumbra_sample.pdf")}
if [ -n "${DISPLAY:-}" ]; then
  exec "$build/bin/Brevant" "$file"
fi
shot="$(realpath "$build")/brevant.png"
rm -f "$shot"
# On the virtual display: the viewer gets 8 seconds, then its top window
# (the first viewable one in stacking order, top first), else the root
# window, is shot within 10 seconds. Exit status 3 when no window carries the
# title of an open document.
shoot='
  "$1" "$2" & pid=$!
  sleep 8
  top=root
  for w in $(xwininfo -root -children | sed -n "s/^ *\(0x[0-9a-f]*\) .*/\1/p"); do
    if xwininfo -id "$w" | grep -q "Map State: IsViewable"; then
      top=$w
      break
    fi
  done
  timeout 10 import -window "$top" "$3" || timeout 10 import -window root "$3" || true
  opened=0
  xwininfo -root -children | grep -qF "\"Lumbra for Palm OS - " && opened=1
  kill "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null
  [ "$opened" = 1 ] || exit 3'
status=0
timeout -k 5 60 xvfb-run -a -s "-screen 0 1024x768x24" \
  sh -c "$shoot" sh "$build/bin/Brevant" "$file" "$shot" || status=$?
if [ -s "$shot" ]; then
  echo "Screenshot of the viewer's window: $shot"
else
  echo "No screenshot was taken"
fi
case $status in
  0) ;;
  3) echo "The viewer did not open $file"; exit 1 ;;
  124) echo "The viewer did not end within the time limit"; exit 1 ;;
  *) echo "The viewer could not be run under Xvfb (status $status)"; exit 1 ;;
esac
