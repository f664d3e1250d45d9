#!/usr/bin/env bash
# Times the DNG reader against LibRaw's own dump tool on every mosaic sample DNG.
# Usage: bench/dng_read_vs_libraw.sh <build dir> [reads per file] [sample folder]
# The build needs -DZEL_BUILD_BENCH=ON (target zel_dng_timing). unprocessed_raw (Debian
# libraw-bin) writes its dump next to its input, so it works on copies in a temporary folder;
# its time includes starting the process and writing the TIFF dump.
set -euo pipefail

build=${1:?usage: $0 <build dir> [reads per file] [sample folder]}
reads=${2:-10}
data=${3:-$(cd "$(dirname "$0")/../../shared/testdata" && pwd)}
driver="$build/bin/zel_dng_timing"
[[ -x "$driver" ]] || { echo "no $driver: build target zel_dng_timing" >&2; exit 1; }
command -v unprocessed_raw >/dev/null || { echo "unprocessed_raw not installed" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Milliseconds per run of unprocessed_raw -T on a copy of the file.
libraw_ms() {
  local copy="$work/$(basename "$1")"
  cp "$1" "$copy"
  unprocessed_raw -T "$copy" >/dev/null
  local start end
  start=$(date +%s%N)
  for ((i = 0; i < reads; i++)); do unprocessed_raw -T "$copy" >/dev/null; done
  end=$(date +%s%N)
  rm -f "$copy" "$copy.tiff"
  awk -v ns=$((end - start)) -v n="$reads" 'BEGIN { printf "%.2f", ns / 1e6 / n }'
}

printf '%-42s %-10s %-5s %12s %12s %8s %14s %7s\n' file size grid "zel ms" "raw-only ms" "MP/s" \
  "unproc. ms" ratio
shopt -s nullglob
for file in "$data"/external/dng/*.dng "$data"/derived/dng/*.dng; do
  line=$("$driver" -n "$reads" "$file") || continue  # unreadable samples are not timed
  IFS=$'\t' read -r name size grid zel_ms raw_ms mps <<<"$line"
  [[ "$grid" == none ]] && continue  # linear DNGs: no mosaic to compare
  peer_ms=$(libraw_ms "$file")
  ratio=$(awk -v a="$zel_ms" -v b="$peer_ms" 'BEGIN { printf "%.2f", a / b }')
  printf '%-42s %-10s %-5s %12s %12s %8s %14s %7s\n' "$name" "$size" "$grid" "$zel_ms" "$raw_ms" \
    "$mps" "$peer_ms" "$ratio"
done
echo "ratio = zel ms (ReadRawImage) / unprocessed_raw ms; $reads reads per file"
