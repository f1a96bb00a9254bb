#!/bin/sh
# Starts the viewer on a virtual X display of its own with a scratch
# settings store, waits for the window it should show and closes it as a
# user would, then checks how the program ended and what it left in the
# store.
#
#   brevant_under_x.sh BREVANT REGSVR X_WINDOW ENGINE_LIBRARY
#   brevant_under_x.sh BREVANT REGSVR X_WINDOW none
#
# With an engine library (registered first): the main window "Lumbra for
# Palm OS" appears, the program ends with status 0 and the window placement
# "Main Form" (44 bytes) is stored. With none: the error box appears, the
# program ends with status 1 and stores nothing.
set -u
brevant=$1 regsvr=$2 xwindow=$3 engine=$4
home=$(mktemp -d)
xvfb=
trap '[ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null; rm -rf "$home"' EXIT
export XDG_CONFIG_HOME="$home"
store="$home/lumbra/registry"
# Under the leak checker: the font configuration and message bus libraries
# Qt loads on a display keep allocations of their own to the end.
printf 'leak:libfontconfig.so\nleak:libdbus-1.so\n' > "$home/leaks.supp"
export LSAN_OPTIONS="suppressions=$home/leaks.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"

# The server picks a free display number itself, so that runs side by side
# never share a display.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$home/display" 2>/dev/null &
xvfb=$!
tries=0
while [ ! -s "$home/display" ]; do
  tries=$((tries + 1))
  [ "$tries" -le 100 ] || { echo "Xvfb did not start"; exit 1; }
  sleep 0.1
done
export DISPLAY=":$(cat "$home/display")"
export QT_QPA_PLATFORM=xcb

if [ "$engine" != none ]; then
  "$regsvr" "$engine" || { echo "cannot register $engine"; exit 1; }
  window="Lumbra for Palm OS" expected=0
else
  window="Error" expected=1
fi

timeout 60 "$brevant" &
pid=$!
if ! "$xwindow" close "$window" 20; then
  kill "$pid" 2>/dev/null
  exit 1
fi
wait "$pid"
status=$?
if [ "$status" -ne "$expected" ]; then
  echo "Brevant ended with status $status, expected $expected"
  exit 1
fi
if [ "$engine" != none ]; then
  grep -q '^"Main Form"=hex:2c,00,00,00' "$store" || { echo "no \"Main Form\" stored"; exit 1; }
else
  ! grep -q 'Main Form' "$store" 2>/dev/null || { echo "\"Main Form\" stored"; exit 1; }
fi
echo ok
