#!/usr/bin/env bash
# Frames per second of a directory of raw mosaics: `zelconv -d --raw` (exact at these level
# counts) against the same frames through lossless JPEG XL (cjxl -d 0 -e 1) and ImageMagick's
# 16-bit PNG, each run two at a time with GNU parallel, against `zelconv -i --raw` one file at a
# time, and with --verify. The frames: ZEL_BENCH_FRAMES (default 16) generated 4000 x 3000
# 10-bit RGGB mosaics with at most 250 levels per plane. The peers get 16-bit PGM copies made before the clock
# starts (cjxl reads no TIFF). Also checks that the restored frames are exact.
#
# Usage: bench/zelconv_dir_vs_peers.sh [bin-dir]   (default install/bin, else build/bin)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bin="${1:-$root/install/bin}"
[ -x "$bin/zelconv" ] || bin="$root/build/bin"
frames="${ZEL_BENCH_FRAMES:-16}"
work="$(mktemp -d "${TMPDIR:-/tmp}/zelconv_dir_vs_peers.XXXXXX")"
trap 'rm -rf "$work"' EXIT
have() { command -v "$1" > /dev/null 2>&1; }

"$bin/zel_samples" bench-mosaics "$work/frames" "$frames" > /dev/null
for f in "$work"/frames/*.tif; do
  if have convert; then convert "$f" -depth 16 "$work/$(basename "$f" .tif).pgm"; fi
done

# Seconds of wall time of a command; fails when the command fails.
seconds() {
  local start end
  start=$(date +%s.%N)
  "$@" > /dev/null 2>&1
  end=$(date +%s.%N)
  awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", b - a }'
}
bytes() { du -cb "$@" | tail -n 1 | cut -f 1; }
row() {  # tool seconds bytes
  awk -v t="$1" -v s="$2" -v b="$3" -v n="$frames" -v base="$base_fps" -v jxl="$jxl_bytes" \
    'BEGIN { fps = n / s; printf "  %-30s %8.3f %8.2f %9s %8.2f %8s\n", t, s, fps,
             (base > 0 ? sprintf("%.2f", fps / base) : "-"), b / 1e6,
             (jxl > 0 ? sprintf("%.2f", b / jxl) : "-") }'
}

base_fps=0
jxl_bytes=0
echo "zelconv -d --raw against its peers: $(date -u '+%Y-%m-%d %H:%M UTC'), $(nproc) cores," \
  "$frames frames of 4000 x 3000, load average $(cut -d ' ' -f 1-3 /proc/loadavg)"
printf '  %-30s %8s %8s %9s %8s %8s\n' tool "time s" "frames/s" "x cjxl" MB "/ jxl"
if have cjxl && have parallel; then
  mkdir -p "$work/jxl"
  t=$(seconds parallel -j 2 cjxl -d 0 -e 1 {} "$work/jxl/{/.}.jxl" ::: "$work"/*.pgm)
  jxl_bytes=$(bytes "$work"/jxl/*.jxl)
  base_fps=$(awk -v n="$frames" -v s="$t" 'BEGIN { print n / s }')
  row "cjxl -d 0 -e 1 (parallel -j 2)" "$t" "$jxl_bytes"
fi
if have convert && have parallel; then
  mkdir -p "$work/png16"
  t=$(seconds parallel -j 2 convert {} -depth 16 "$work/png16/{/.}.png" ::: "$work"/*.pgm)
  row "ImageMagick PNG16 (parallel -j 2)" "$t" "$(bytes "$work"/png16/*.png)"
fi
t=$(seconds "$bin/zelconv" -d "$work/frames" --raw -b rggb --bits 10)
row "zelconv -d --raw" "$t" "$(bytes "$work"/frames/ZEL/*.zel.png)"
plain=$t
# The same run again, each image read back, restored in memory and compared with its source.
t=$(seconds "$bin/zelconv" -d "$work/frames" --raw -b rggb --bits 10 --verify)
row "zelconv -d --raw --verify" "$t" "$(bytes "$work"/frames/ZEL/*.zel.png)"
verify_cost=$(awk -v a="$t" -v b="$plain" 'BEGIN { printf "%.2f", a / b }')
mkdir -p "$work/one"
one_by_one() {
  for f in "$work"/frames/*.tif; do
    "$bin/zelconv" -i "$f" -o "$work/one/$(basename "$f" .tif).zel.png" --raw -b rggb --bits 10
  done
}
t=$(seconds one_by_one)
row "zelconv -i --raw, one by one" "$t" "$(bytes "$work"/one/*.zel.png)"
t=$(seconds "$bin/zelconv" -r -d "$work/frames/ZEL" -o "$work/back")
row "zelconv -r -d (to PNG)" "$t" "$(bytes "$work"/back/*)"
exact=0
for f in "$work"/frames/*.tif; do
  result=$("$bin/zel_samples" compare "$f" "$work/back/$(basename "$f" .tif).dezel.png" 2> /dev/null)
  [ "$result" = exact ] && exact=$((exact + 1))
done
echo "  restored exactly: $exact of $frames frames; --verify takes ${verify_cost} x the plain run"
