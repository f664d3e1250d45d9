#!/usr/bin/env bash
# The tests that run threads (the PNG encoder and decoder, the demosaicing bands, the plug-in's
# row workers, the progress and protocol records, the conversion worker), built and run under
# ThreadSanitizer. Any report fails the run.
#
# Usage: scripts/tsan_tests.sh [build-dir]   (default build-tsan/)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build-tsan}"
tests=(urcore_tests urs_core_tests zel_plugin_cpu_tests zel_worker_tests)
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZEL_SANITIZE=thread \
  -DZEL_BUILD_BENCH=OFF
cmake --build "$build" --parallel "$(nproc)" --target "${tests[@]}" zel_plugin_cpu urpimage_formats
for t in "${tests[@]}"; do
  echo "== $t"
  QT_QPA_PLATFORM=offscreen TSAN_OPTIONS="halt_on_error=1 exitcode=66" "$build/bin/$t" \
    --gtest_brief=1
done
