#!/usr/bin/env bash
# Runs the soak: three simulated hours of recording on the simulated sound server while typing
# and setting bookmarks, in the whole program (tests/shell/SoakTest.cpp). It builds the Release
# tree's soak test when needed and prints the soak's figures. The test command leaves it out.
#   scripts/soak.sh [BUILD_TREE]    (default: build/release)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
tree=${1:-$root/build/release}
if [[ ! -f "$tree/CMakeCache.txt" ]]; then
  "$root/scripts/setup.sh"
  cmake -S "$root" -B "$tree" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVL_TESTS=ON
fi
cmake --build "$tree" --target test_shell_soak
cd "$tree"
QT_QPA_PLATFORM=offscreen ctest -L '^soak$' --output-on-failure --verbose
