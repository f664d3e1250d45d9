#!/usr/bin/env bash
# Installs the dependencies, builds everything and runs every test: once in a release build and
# once under AddressSanitizer + UndefinedBehaviorSanitizer (LeakSanitizer included); then runs
# every fuzz target for 15 seconds.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/scripts/setup.sh"

bash "$root/scripts/build.sh" "$root/build"
ctest --test-dir "$root/build" --output-on-failure --parallel "$(nproc)"

bash "$root/scripts/build.sh" "$root/build-asan" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DZEL_SANITIZE=address,undefined -DZEL_BUILD_BENCH=OFF
ctest --test-dir "$root/build-asan" --output-on-failure --parallel "$(nproc)"

# Every reader fuzzed for a short time over its seeds and the inputs that once broke it.
bash "$root/scripts/fuzz.sh" all 15
