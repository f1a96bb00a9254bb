#!/bin/sh
# Runs a program on a virtual X display of its own, Qt programs on xcb:
#
#   on_x_display.sh PROGRAM [ARGUMENTS...]
#
# The server picks a free display number itself, so that runs side by side
# never share a display; it is ended with the program, whose exit status is
# the script's.
set -u
folder=$(mktemp -d)
xvfb=
trap '[ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null; rm -rf "$folder"' EXIT
# Under the leak checker: the font configuration and message bus libraries
# Qt loads on a display keep allocations of their own to the end.
printf 'leak:libfontconfig.so\nleak:libdbus-1.so\n' > "$folder/leaks.supp"
export LSAN_OPTIONS="suppressions=$folder/leaks.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$folder/display" 2>/dev/null &
xvfb=$!
tries=0
while [ ! -s "$folder/display" ]; do
  tries=$((tries + 1))
  [ "$tries" -le 100 ] || { echo "Xvfb did not start"; exit 1; }
  sleep 0.1
done
export DISPLAY=":$(cat "$folder/display")"
export QT_QPA_PLATFORM=xcb
"$@"
status=$?
exit "$status"
