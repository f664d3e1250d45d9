#!/usr/bin/env bash
# Installs the dependencies, builds everything and runs every test: once in a release build and
# once under AddressSanitizer + UndefinedBehaviorSanitizer.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/scripts/setup.sh"

bash "$root/scripts/build.sh" "$root/build"
ctest --test-dir "$root/build" --output-on-failure --parallel "$(nproc)"

bash "$root/scripts/build.sh" "$root/build-asan" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DZEL_SANITIZE=address,undefined -DZEL_BUILD_BENCH=OFF
ctest --test-dir "$root/build-asan" --output-on-failure --parallel "$(nproc)"
