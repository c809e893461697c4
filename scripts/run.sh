#!/usr/bin/env bash
# Sets up, builds (Release) and starts Vellomar. Arguments go to the program (for example
# --quit-after-start). A build tree that is already configured keeps its options (tests and
# benchmarks stay as the developer chose them); only the program is brought up to date.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build/release
"$root/scripts/setup.sh"
if [[ -f "$build/CMakeCache.txt" ]]; then
  cmake --build "$build" --target vellomar --parallel "$(nproc)"
else
  "$root/scripts/build.sh" "$build" -DCMAKE_BUILD_TYPE=Release -DVL_TESTS=OFF -DVL_BENCH=OFF
fi
exec "$build/app/vellomar" "$@"
