#!/usr/bin/env bash
# Sets up, builds and runs every test:
#   1. a Release build with warnings as errors, all tests (widget tests offscreen, audio tests
#      against a private PulseAudio daemon the tests start themselves);
#   2. the libraries without widgets under AddressSanitizer and UndefinedBehaviorSanitizer
#      (with clang, which also builds the fuzz targets, run briefly), and their tests.
# Benchmarks are built in step 1 but never run here.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"

jobs=$(nproc)
export CTEST_OUTPUT_ON_FAILURE=1
export QT_QPA_PLATFORM=offscreen

echo "== Release build and tests"
"$root/scripts/build.sh" "$root/build/release" -DCMAKE_BUILD_TYPE=Release -DVL_TESTS=ON -DVL_BENCH=ON
(cd "$root/build/release" && ctest --parallel "$jobs" --timeout 600)

echo "== Sanitizer build (address, undefined) and tests of the libraries without widgets"
sanitizer_compiler=()
if command -v clang++ >/dev/null; then
  sanitizer_compiler=(-DCMAKE_CXX_COMPILER=clang++ -DVL_FUZZ=ON)
fi
"$root/scripts/build.sh" "$root/build/sanitize" -DCMAKE_BUILD_TYPE=Debug -DVL_WIDGETS=OFF \
  -DVL_SANITIZE=ON -DVL_TESTS=ON -DVL_BENCH=OFF "${sanitizer_compiler[@]}"
export ASAN_OPTIONS=halt_on_error=1:detect_leaks=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
(cd "$root/build/sanitize" && ctest --parallel "$jobs" --timeout 900)
