#!/usr/bin/env bash
# Runs one fuzz target (or all of them) with libFuzzer under AddressSanitizer and
# UndefinedBehaviorSanitizer.
#
# Usage: scripts/fuzz.sh TARGET|all [SECONDS]     (default 60 seconds per target)
#   TARGET: xml_record legacy_record mapping_string text_matrix matlab dng tiff_loader
#           png_loader fits_loader hdf5_loader png_decoder zel_image
#
# The fuzz build lives in build-fuzz/ (clang-14, made when missing). The growing corpus is kept
# outside the repository in ${ZEL_FUZZ_WORK:-~/.cache/zel-fuzz}/corpus/TARGET, seeded from the
# shared sample files, fuzz/seeds/ and fuzz/regressions/; an input that crashes, hangs, leaks or
# exhausts memory is saved in .../findings/TARGET/ and the run fails. Once the fault is fixed,
# copy the input into fuzz/regressions/TARGET/: the ordinary test suite replays it from then on.
#
# ZEL_FUZZ_SEED and ZEL_FUZZ_RUNS make a run repeatable (libFuzzer's -seed and -runs, SECONDS
# still bounding it): the test command uses them, so that it fails only on inputs that fail
# here too.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
testdata="$root/../shared/testdata"
target="${1:?usage: scripts/fuzz.sh TARGET|all [SECONDS]}"
seconds="${2:-60}"
work="${ZEL_FUZZ_WORK:-$HOME/.cache/zel-fuzz}"
build="$root/build-fuzz"
all=(xml_record legacy_record mapping_string text_matrix matlab dng tiff_loader png_loader
     fits_loader hdf5_loader png_decoder zel_image)

if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 \
    -DZEL_FUZZ=ON -DZEL_SANITIZE=address,undefined -DBUILD_TESTING=OFF -DZEL_BUILD_BENCH=OFF
fi
targets=("$target")
[ "$target" = all ] && targets=("${all[@]}")
cmake --build "$build" --parallel "$(nproc)" --target "${targets[@]/#/fuzz_}"

# The shared samples a target starts from, by suffix.
seed_files() {
  case "$1" in
    matlab) ls "$testdata"/external/mat/*.mat ;;
    dng) ls "$testdata"/external/dng/*.dng "$testdata"/derived/dng/*.dng ;;
    tiff_loader) ls "$testdata"/external/tiff/* ;;
    png_loader | png_decoder) ls "$testdata"/external/png/*.png ;;
    fits_loader) ls "$testdata"/external/fits/*.fits "$testdata"/external/fits/*.fit ;;
    hdf5_loader) ls "$work"/h5i-seeds/*.h5i ;;
    zel_image) ls "$work"/zel-seeds/*.zel.png ;;
  esac 2> /dev/null || true
}

# ZEL images to start from, written once by the release build's zelconv when there is one.
make_zel_seeds() {
  local zelconv="$root/build/bin/zelconv"
  [ -x "$zelconv" ] && [ ! -d "$work/zel-seeds" ] || return 0
  mkdir -p "$work/zel-seeds"
  for f in "$testdata"/external/png/*.png "$testdata"/derived/dng/d550_bggr_8bit.dng; do
    "$zelconv" -i "$f" -o "$work/zel-seeds/$(basename "${f%.*}").zel.png" -a id \
      > /dev/null 2>&1 || true
  done
}

# HDF5 image files to start from, written once through the release build's format plug-in, and
# (with h5repack) the same in the original file format, whose structures carry no checksums.
make_h5i_seeds() {
  local samples="$root/build/bin/zel_samples"
  [ -x "$samples" ] && [ ! -d "$work/h5i-seeds" ] || return 0
  mkdir -p "$work/h5i-seeds"
  for f in "$testdata"/external/png/*.png "$testdata"/external/tiff/*.tif*; do
    local seed="$work/h5i-seeds/$(basename "${f%.*}")"
    "$samples" copy "$f" "$seed.h5i" > /dev/null 2>&1 || continue
    if command -v h5repack > /dev/null; then
      h5repack --low=0 --high=1 -f GZIP=6 "$seed.h5i" "${seed}_legacy.h5i" > /dev/null 2>&1 || true
    fi
  done
}

failed=0
for t in "${targets[@]}"; do
  corpus="$work/corpus/$t"
  findings="$work/findings/$t"
  mkdir -p "$corpus" "$findings"
  [ "$t" = zel_image ] && make_zel_seeds
  [ "$t" = hdf5_loader ] && make_h5i_seeds
  leaks=""
  # The HDF5 library loses blocks of its own on the error paths of damaged files; matio reads
  # HDF5-based MATLAB files through it.
  case "$t" in
    hdf5_loader | matlab) leaks=":suppressions=$root/urphdf5_format/tests/lsan_hdf5.supp" ;;
  esac
  for f in $(seed_files "$t"); do cp -n "$f" "$corpus/" 2> /dev/null || true; done
  dirs=("$corpus")
  for extra in "$root/fuzz/seeds/$t" "$root/fuzz/regressions/$t"; do
    [ -d "$extra" ] && dirs+=("$extra")
  done
  options=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1
           -artifact_prefix="$findings/")
  [ -f "$root/fuzz/dict/$t.dict" ] && options+=(-dict="$root/fuzz/dict/$t.dict")
  [ -n "${ZEL_FUZZ_SEED:-}" ] && options+=(-seed="$ZEL_FUZZ_SEED")
  [ -n "${ZEL_FUZZ_RUNS:-}" ] && options+=(-runs="$ZEL_FUZZ_RUNS")
  echo "== $t: $seconds s, corpus $corpus"
  mkdir -p "$work/logs"
  log="$work/logs/$t.log"
  # New inputs go into the first folder only: the repository's folders stay as they are.
  if ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1 LSAN_OPTIONS="${leaks#:}" \
    "$build/bin/fuzz_$t" "${options[@]}" "${dirs[@]}" > "$log" 2>&1; then
    # The last status line gives the coverage and the corpus; the statistics follow it.
    grep -E '^#[0-9]+' "$log" | tail -n 1
    grep -E '^stat::' "$log"
  else
    grep -v -E '^#[0-9]+|^ *"|^INFO:' "$log" | tail -n 40
    echo "== $t: finding saved in $findings (whole output in $log)"
    failed=1
  fi
done
exit "$failed"
