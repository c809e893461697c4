#!/usr/bin/env bash
# Sets up, builds (Release) and starts Vellomar.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh" "$root/build/release" -DCMAKE_BUILD_TYPE=Release -DVL_TESTS=OFF -DVL_BENCH=OFF
exec "$root/build/release/app/vellomar" "$@"
