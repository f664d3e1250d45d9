#!/usr/bin/env bash
# Times zelconv against what a user would run instead, in one run on one machine:
#   - two generated 4000 x 3000 grey TIFFs (10-bit with about 200 levels, where ZEL is lossless,
#     and 12-bit with about 3500 levels);
#   - every CFA DNG of the shared sample folders (external/dng and derived/dng).
# Peers: ImageMagick writing a 16-bit PNG (default and compression level 1) and lossless JPEG XL
# (cjxl -d 0 -e 1). cjxl does not read TIFF or DNG, so it and ImageMagick get a 16-bit PGM of the
# same samples (made from the TIFF by ImageMagick, from the DNG's raw image by LibRaw's
# unprocessed_raw), made before the clock starts. Each tool is timed best of ZEL_BENCH_RUNS runs
# (default 3); sizes are fractions of ImageMagick's default 16-bit PNG.
#
# Usage: bench/zelconv_vs_peers.sh [bin-dir]   (default install/bin, else build/bin)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bin="${1:-$root/install/bin}"
[ -x "$bin/zelconv" ] || bin="$root/build/bin"
for program in "$bin/zelconv" "$bin/zel_samples"; do
  [ -x "$program" ] || { echo "missing $program: build or install first" >&2; exit 1; }
done
testdata="${ZEL_TESTDATA:-$root/../shared/testdata}"
runs="${ZEL_BENCH_RUNS:-3}"
work="$(mktemp -d "${TMPDIR:-/tmp}/zelconv_vs_peers.XXXXXX")"
trap 'rm -rf "$work"' EXIT

have() { command -v "$1" > /dev/null 2>&1; }

# Runs a command $runs times; best_real and best_cpu (user + system) are those of the fastest
# run, in seconds. Fails when the command fails.
best_of() {
  best_real=""
  best_cpu=""
  local i out real user sys
  for ((i = 0; i < runs; i++)); do
    out="$( { TIMEFORMAT='%3R %3U %3S'; time "$@" > /dev/null 2>&1; } 2>&1 )" || return 1
    read -r real user sys <<< "$out"
    if [ -z "$best_real" ] || awk -v a="$real" -v b="$best_real" 'BEGIN { exit !(a < b) }'; then
      best_real="$real"
      best_cpu="$(awk -v u="$user" -v s="$sys" 'BEGIN { printf "%.3f", u + s }')"
    fi
  done
}

# Rows of one input: "tool|seconds|cpu seconds|bytes", filled by the time_* helpers.
rows=()
time_tool() {  # time_tool <label> <output> <command...>
  local label="$1" output="$2"
  shift 2
  rm -f "$output"
  # zelconv ends with status 0 even when it fails: the output file tells.
  if best_of "$@" && [ -s "$output" ]; then
    rows+=("$label|$best_real|$best_cpu|$(stat -c %s "$output")")
  else
    rows+=("$label|failed||")
  fi
}

print_rows() {  # print_rows <input label>
  local reference="" jxl="" row label real cpu bytes
  for row in "${rows[@]}"; do
    IFS='|' read -r label real cpu bytes <<< "$row"
    [ "$label" = "ImageMagick PNG16" ] && reference="$bytes"
    [ "$label" = "cjxl -d 0 -e 1" ] && jxl="$real"
  done
  echo
  echo "$1"
  for row in "${rows[@]}"; do
    IFS='|' read -r label real cpu bytes <<< "$row"
    if [ "$real" = "failed" ]; then
      printf '  %-26s %s\n' "$label" "failed"
      continue
    fi
    awk -v l="$label" -v r="$real" -v c="$cpu" -v b="$bytes" -v j="$jxl" -v p="$reference" \
      'BEGIN { printf "  %-26s %8.3f %8.3f %9s %9.2f %9s\n", l, r, c,
                 (j > 0 ? sprintf("%.2f", r / j) : "n/a"), b / 1e6,
                 (p > 0 ? sprintf("%.3f", b / p) : "n/a") }'
  done
  rows=()
}

# Times every tool on one input. source: what zelconv reads; pgm: the same samples for the
# peers (empty: zelconv only).
bench_input() {  # bench_input <label> <source> <pgm> [zelconv options...]
  local label="$1" source="$2" pgm="$3" name
  shift 3
  name="$(basename "$source")"
  name="${name%.*}"
  time_tool "zelconv" "$work/$name.zel.png" \
    "$bin/zelconv" -i "$source" -o "$work/$name.zel.png" "$@"
  # A file zelconv refuses (a truncated DNG) is not timed further.
  [ -s "$work/$name.zel.png" ] || pgm=""
  if [ -n "$pgm" ] && have convert; then
    time_tool "ImageMagick PNG16" "$work/$name.16.png" convert "$pgm" "$work/$name.16.png"
    time_tool "ImageMagick PNG16 level 1" "$work/$name.16l1.png" \
      convert "$pgm" -define png:compression-level=1 "$work/$name.16l1.png"
  fi
  if [ -n "$pgm" ] && have cjxl; then
    time_tool "cjxl -d 0 -e 1" "$work/$name.jxl" cjxl -d 0 -e 1 --quiet "$pgm" "$work/$name.jxl"
  fi
  print_rows "$label"
}

echo "zelconv against its peers: $(date -u '+%Y-%m-%d %H:%M UTC'), $(nproc) cores," \
  "load average $(cut -d' ' -f1-3 /proc/loadavg), best of $runs runs"
if ldd "$bin/liburcore.so" 2> /dev/null | grep -q libisal; then
  echo "ZEL PNGs are deflated with ISA-L"
else
  echo "ZEL PNGs are deflated with libdeflate (ISA-L not found at build time)"
fi
have convert || echo "ImageMagick's convert is missing: its columns are left out"
have cjxl || echo "cjxl (libjxl-tools) is missing: its column is left out"
echo
printf '  %-26s %8s %8s %9s %9s %9s\n' "tool" "time s" "cpu s" "x cjxl" "MB" "/ PNG16"

"$bin/zel_samples" bench-frames "$work" > /dev/null 2>&1
for frame in bench_grey10_200_levels bench_grey12_3500_levels; do
  pgm=""
  if have convert; then
    pgm="$work/$frame.pgm"
    convert "$work/$frame.tif" "$pgm"
  fi
  bench_input "$frame.tif (4000 x 3000)" "$work/$frame.tif" "$pgm"
  "$bin/zelconv" -r -i "$work/$frame.zel.png" -o "$work/$frame.back.tif" > /dev/null 2>&1 || true
  echo "  zelconv round trip: $("$bin/zel_samples" compare "$work/$frame.tif" \
    "$work/$frame.back.tif" 2> /dev/null || echo "not possible")"
  rm -f "$work/$frame".*
done

for folder in "$testdata/external/dng" "$testdata/derived/dng"; do
  [ -d "$folder" ] || { echo; echo "no DNG folder $folder"; continue; }
  for dng in "$folder"/*.dng; do
    [ -e "$dng" ] || continue
    # Only Bayer (CFA) DNGs: LibRaw reports their filter pattern.
    raw-identify -v "$dng" 2> /dev/null | grep -q '^Filter pattern:' || continue
    name="$(basename "$dng")"
    pgm=""
    if have unprocessed_raw; then
      # unprocessed_raw writes its PGM beside its input: give it a link in the work folder.
      ln -sf "$dng" "$work/$name"
      if (cd "$work" && unprocessed_raw "$name" > /dev/null 2>&1) && [ -s "$work/$name.pgm" ]; then
        pgm="$work/$name.pgm"
      fi
    fi
    size="$(raw-identify -v "$dng" 2> /dev/null | sed -n 's/^Full size: *//p')"
    bench_input "${folder#"$testdata"/}/$name (${size:-unknown size})" "$dng" "$pgm"
    rm -f "$work/${name%.*}".* "$work/$name" "$work/$name.pgm"
  done
done
echo
echo "load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
