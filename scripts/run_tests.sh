#!/usr/bin/env bash
# Installs the dependencies, builds everything and runs every test: once in a release build and
# once under AddressSanitizer + UndefinedBehaviorSanitizer (LeakSanitizer included); then the
# tests that run threads under ThreadSanitizer, and every fuzz target over 1000 inputs (at most
# 30 seconds each).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/scripts/setup.sh"

bash "$root/scripts/build.sh" "$root/build"
ctest --test-dir "$root/build" --output-on-failure --parallel "$(nproc)"

bash "$root/scripts/build.sh" "$root/build-asan" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DZEL_SANITIZE=address,undefined -DZEL_BUILD_BENCH=OFF
ctest --test-dir "$root/build-asan" --output-on-failure --parallel "$(nproc)"

# The tests that run threads, under ThreadSanitizer.
bash "$root/scripts/tsan_tests.sh" "$root/build-tsan"

# Every reader fuzzed for a short time over its seeds and the inputs that once broke it: a fixed
# number of inputs from a fixed seed, with a fresh corpus, so that the run is repeatable.
ZEL_FUZZ_WORK="$root/build-fuzz/work" ZEL_FUZZ_SEED=1 ZEL_FUZZ_RUNS=1000 \
  bash "$root/scripts/fuzz.sh" all 30
