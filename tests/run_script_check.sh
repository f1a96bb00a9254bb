#!/bin/sh
# The main job, scripts/run.sh, as it runs without a display, over the
# build's programs: a copy of the script in a scratch tree whose install and
# build steps are stand-ins that note they ran, with a scratch settings store.
#
#   run_script_check.sh SOURCE_DIR BUILD_DIR missing|damaged|sample
#
# missing: a path that does not exist is reported before anything is built.
# damaged: a file the viewer cannot open ends with a screenshot of the
#   viewer's top window (its error box) and the output saying the file did
#   not open. sample: the sample document opens, its window shot.
set -u
source_dir=$1 build_dir=$2 case=$3
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
mkdir "$tree/scripts" "$tree/build" "$tree/config"
cp "$source_dir/scripts/run.sh" "$tree/scripts/"
echo ': > deps-ran' > "$tree/scripts/deps.sh"
echo ': > build-ran' > "$tree/scripts/build.sh"
for part in bin lib sample; do
  ln -s "$build_dir/$part" "$tree/build/$part"
done
export XDG_CONFIG_HOME="$tree/config"
unset DISPLAY BUILD_DIR

fail() {
  echo "$case: $1"
  sed 's/^/  /' "$tree/out"
  exit 1
}

case $case in
  missing)
    file="$tree/no such.pdf" ;;
  damaged)
    file="$tree/damaged.pdf"
    printf '%%PDF-1.4\nnot a document\n' > "$file" ;;
  sample)
    file="$build_dir/sample/lumbra_sample.pdf" ;;
  *)
    echo "unknown case $case"; exit 2 ;;
esac

bash "$tree/scripts/run.sh" "$file" > "$tree/out" 2>&1
status=$?
shot="$tree/build/brevant.png"
case $case in
  missing)
    [ "$status" -eq 1 ] || fail "status $status, expected 1"
    grep -qF "run.sh: $file: no such file" "$tree/out" || fail "the missing file is not named"
    [ ! -e "$tree/deps-ran" ] && [ ! -e "$tree/build-ran" ] || fail "the build ran"
    [ ! -e "$shot" ] || fail "a screenshot was taken"
    ;;
  damaged|sample)
    [ -e "$tree/build-ran" ] || fail "the build did not run"
    [ -s "$shot" ] || fail "no screenshot"
    grep -qF "Screenshot of the viewer's window: $shot" "$tree/out" || fail "the screenshot is not named"
    # The viewer's top window, not the whole screen.
    size=$(identify -format '%wx%h' "$shot" 2>/dev/null)
    [ -n "$size" ] && [ "$size" != 1024x768 ] || fail "the screenshot is $size"
    if [ "$case" = damaged ]; then
      [ "$status" -eq 1 ] || fail "status $status, expected 1"
      grep -qF "The viewer did not open $file" "$tree/out" || fail "no word that the file did not open"
    else
      [ "$status" -eq 0 ] || fail "status $status, expected 0"
      ! grep -q "did not open" "$tree/out" || fail "the sample did not open"
    fi
    ;;
esac
echo ok
