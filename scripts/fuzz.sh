#!/usr/bin/env bash
# Runs one fuzz target under libFuzzer:
#
#   bash scripts/fuzz.sh TARGET [SECONDS] [libFuzzer options...]
#
# Builds the targets of fuzz/ with clang (installed when missing),
# -fsanitize=fuzzer,address,undefined and the pools routed to malloc into
# build-fuzz/ (or $FUZZ_BUILD_DIR), then runs TARGET for SECONDS (600 by
# default) over a working corpus seeded from fuzz/seeds/TARGET/, with the
# token dictionary fuzz/pdf.dict. Inputs that crash, hang, leak or run out of
# memory are kept in fuzz/findings/TARGET/; once the fault is mended, move
# each into fuzz/seeds/TARGET/ so that CTest replays it from then on. The
# run's log, with libFuzzer's executions per second and coverage, is
# build-fuzz/logs/TARGET.log.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ $# -lt 1 ]; then
  echo "usage: scripts/fuzz.sh TARGET [SECONDS] [libFuzzer options...]" >&2
  exit 2
fi
target=$1
seconds=${2:-600}
shift $(( $# >= 2 ? 2 : 1 ))
if [ ! -f "fuzz/$target.cpp" ]; then
  echo "scripts/fuzz.sh: no target fuzz/$target.cpp" >&2
  exit 2
fi

bash scripts/deps.sh
sudo_cmd=""
[ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
if ! command -v clang++ >/dev/null; then
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq clang
fi
# libFuzzer's run-time library comes with the clang version's runtime package.
if [ ! -f "$(clang++ -print-file-name=libclang_rt.fuzzer-x86_64.a)" ]; then
  version=$(clang++ -dumpversion | cut -d. -f1)
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq "libclang-rt-$version-dev"
fi

build=${FUZZ_BUILD_DIR:-build-fuzz}
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DVISTREL_LIBFUZZER=ON \
  -DVISTREL_SANITIZE=ON -DVISTREL_MALLOC_POOLS=ON -DVISTREL_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j "${JOBS:-4}" --target "fuzz_$target"

corpus=$build/corpus/$target
findings=fuzz/findings/$target
mkdir -p "$corpus" "$findings" "$build/logs"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:allocator_may_return_null=1}
# The font configuration library keeps the configuration it loads (for the
# system fonts a page falls back to) until the process ends.
printf 'leak:libfontconfig.so\n' > "$build/leaks.supp"
export LSAN_OPTIONS="suppressions=$(realpath "$build")/leaks.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
"$build/bin/fuzz_$target" -dict=fuzz/pdf.dict -max_total_time="$seconds" \
  -artifact_prefix="$findings/" -print_final_stats=1 -timeout=30 -rss_limit_mb=2560 \
  "$@" "$corpus" "fuzz/seeds/$target" 2>&1 | tee "$build/logs/$target.log"
status=${PIPESTATUS[0]}
if [ -n "$(ls -A "$findings")" ]; then
  echo "scripts/fuzz.sh: findings kept in $findings:" >&2
  ls -l "$findings" >&2
fi
exit "$status"
