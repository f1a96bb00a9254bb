#!/bin/sh
# Starts the viewer (on the virtual X display on_x_display.sh gives it) with
# a scratch settings store, waits for the window it should show and closes
# it as a user would, then checks how the program ended and what it left in
# the store.
#
#   on_x_display.sh brevant_under_x.sh BREVANT REGSVR X_WINDOW ENGINE_LIBRARY
#   on_x_display.sh brevant_under_x.sh BREVANT REGSVR X_WINDOW none
#
# With an engine library (registered first): the main window "Lumbra for
# Palm OS" appears, the program ends with status 0 and the window placement
# "Main Form" (44 bytes) is stored. With none: the error box appears, the
# program ends with status 1 and stores nothing.
set -u
brevant=$1 regsvr=$2 xwindow=$3 engine=$4
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
export XDG_CONFIG_HOME="$home"
store="$home/lumbra/registry"

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
