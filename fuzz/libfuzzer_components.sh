#!/usr/bin/env bash
# Builds the viewer components' fuzz targets (the picture and cursor readers,
# which need no Qt) for libFuzzer with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs one of them.
#
#   fuzz/libfuzzer_components.sh TARGET [SECONDS]
#
# TARGET is gif_image, animated_cursor or icon_list. The corpus grows in
# build-fuzz/corpus/TARGET, seeded from fuzz/seeds/TARGET; findings land in
# build-fuzz/findings/TARGET.
set -euo pipefail
cd "$(dirname "$0")/.."
target=$1
seconds=${2:-600}
out=build-fuzz
mkdir -p "$out/corpus/$target" "$out/findings/$target"
sources=(byte_io graphic_errors message_service bitmap colour_reduction gif_lzw gif_image
         icon icon_list animated_cursor)
clang++ -std=c++20 -O1 -g -fno-omit-frame-pointer -fsanitize=fuzzer,address,undefined \
    -fno-sanitize-recover=undefined -I. -o "$out/$target" "fuzz/$target.cpp" \
    $(printf 'viewer/components/%s.cpp ' "${sources[@]}")
cp -n "fuzz/seeds/$target"/* "$out/corpus/$target/" 2>/dev/null || true
"$out/$target" -max_total_time="$seconds" -rss_limit_mb=2048 \
    -artifact_prefix="$out/findings/$target/" "$out/corpus/$target"
