#!/usr/bin/env bash
# Times the directory conversion against converting the same frames one by one, for 4 and 16
# generated 4000 x 3000 grey TIFF frames (the two frames of `zel_samples bench-frames`, taken in
# turn), each count and mode in a process of its own so that its peak memory is its own.
# Prints: frames, mode, frames converted, seconds, frames per second, peak resident MiB.
#
# Usage: bench/dir_conversion_timing.sh [bin-dir]   (default build/bin)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bin="${1:-$root/build/bin}"
for program in "$bin/zel_dir_timing" "$bin/zel_samples"; do
  [ -x "$program" ] || { echo "missing $program: build it first" >&2; exit 1; }
done
work="$(mktemp -d "${TMPDIR:-/tmp}/zel_dir_timing.XXXXXX")"
trap 'rm -rf "$work"' EXIT

"$bin/zel_samples" bench-frames "$work/seed" > /dev/null
seeds=("$work"/seed/*.tif)
printf 'frames\tmode\tconverted\tseconds\tframes/s\tpeak MiB\n'
for count in 4 16; do
  for mode in dir files; do
    folder="$work/$count-$mode"
    mkdir -p "$folder"
    for ((i = 0; i < count; ++i)); do
      ln "${seeds[i % ${#seeds[@]}]}" "$folder/frame_$(printf %02d "$i").tif"
    done
    printf '%s\t' "$count"
    "$bin/zel_dir_timing" "$mode" "$folder" 2> /dev/null
  done
done
