#!/usr/bin/env bash
# Sets up, builds and runs every test:
#   0. a formatting check: clang-format (the repository's .clang-format) must leave every C++
#      file as it is;
#   1. a Release build with warnings as errors, all tests (widget tests offscreen, audio tests
#      against a private PulseAudio daemon the tests start themselves, and against PipeWire's
#      PulseAudio server started the same way when PipeWire is installed);
#   2. the libraries without widgets under AddressSanitizer and UndefinedBehaviorSanitizer
#      (with clang, which also builds the fuzz targets, run briefly), and their tests.
# Each documented CTest label must select at least one test, so a label that goes missing is
# noticed. A test runs once: a failure is a failure. The soak (label "soak", scripts/soak.sh) is
# left out. Benchmarks are built in step 1 but never run here.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"

jobs=$(nproc)

# Fails when a label selects no test in the build tree $1.
check_labels() {
  local tree=$1 label count
  shift
  for label in "$@"; do
    count=$(cd "$tree" && ctest -N -L "^${label}\$" | sed -n 's/^Total Tests: //p')
    if [[ "${count:-0}" -eq 0 ]]; then
      echo "the CTest label '$label' selects no test in $tree" >&2
      exit 1
    fi
  done
}

echo "== Formatting"
mapfile -t sources < <(cd "$root" && git ls-files -- '*.cpp' '*.h')
if [[ ${#sources[@]} -eq 0 ]]; then
  mapfile -t sources < <(cd "$root" && find app bench fuzz src tests tools -name '*.cpp' -o -name '*.h')
fi
(cd "$root" && clang-format --dry-run --Werror "${sources[@]}") || {
  echo "files above are not formatted: run clang-format -i on them" >&2
  exit 1
}
export CTEST_OUTPUT_ON_FAILURE=1
export QT_QPA_PLATFORM=offscreen

echo "== Release build and tests"
"$root/scripts/build.sh" "$root/build/release" -DCMAKE_BUILD_TYPE=Release -DVL_TESTS=ON -DVL_BENCH=ON
release_labels=(base formats document shell audio audio-pulse widgets events editor timeline export soak)
if command -v pipewire-pulse >/dev/null; then release_labels+=(audio-pipewire); fi
check_labels "$root/build/release" "${release_labels[@]}"
(cd "$root/build/release" && ctest --parallel "$jobs" --timeout 600 -LE '^soak$')

echo "== Sanitizer build (address, undefined) and tests of the libraries without widgets"
sanitizer_compiler=()
if command -v clang++ >/dev/null; then
  sanitizer_compiler=(-DCMAKE_CXX_COMPILER=clang++ -DVL_FUZZ=ON)
fi
"$root/scripts/build.sh" "$root/build/sanitize" -DCMAKE_BUILD_TYPE=Debug -DVL_WIDGETS=OFF \
  -DVL_SANITIZE=ON -DVL_TESTS=ON -DVL_BENCH=OFF "${sanitizer_compiler[@]}"
export ASAN_OPTIONS=halt_on_error=1:detect_leaks=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
labels=(base formats document shell audio audio-pulse events editor timeline export)
if command -v clang++ >/dev/null; then labels+=(fuzz); fi
check_labels "$root/build/sanitize" "${labels[@]}"
(cd "$root/build/sanitize" && ctest --parallel "$jobs" --timeout 900 -LE '^soak$')
