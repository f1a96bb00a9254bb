#!/usr/bin/env bash
# Builds everything, runs the whole test suite, then the static checks of
# .clang-tidy when clang-tidy is installed (VISTREL_TIDY=0 skips them).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
bash scripts/build.sh "$@"
ctest --test-dir "${BUILD_DIR:-build}" -j "${JOBS:-$(nproc)}" --output-on-failure --timeout 300
if [ "${VISTREL_TIDY:-1}" != 0 ]; then
  bash scripts/clang_tidy.sh
fi
