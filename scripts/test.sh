#!/usr/bin/env bash
# Builds everything and runs the whole test suite.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
bash scripts/build.sh "$@"
ctest --test-dir "${BUILD_DIR:-build}" -j "${JOBS:-$(nproc)}" --output-on-failure --timeout 300
