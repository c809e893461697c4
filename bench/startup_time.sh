#!/usr/bin/env bash
# Start-up time of the whole program: from starting the process to the main window shown and the
# staged audio start ended, with --quit-after-start, offscreen, in a private home folder. The first
# start (which sets up the folders) is a warm-up and not counted.
#
# Prints min/median/max of: process start to the program's "Start-up:" line (printed when the audio
# start has ended), the whole process (start to exit, closing included), the moments the window
# was shown and the audio start ended as the program measures them from its own clock (which
# starts after the libraries are loaded), and the audio start's share (ended minus shown).
#
# Usage: bench/startup_time.sh [PROGRAM] [RUNS]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
program=${1:-$root/build/release/app/vellomar}
runs=${2:-15}

home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
mkdir -m 700 "$home/runtime"
export HOME=$home XDG_CONFIG_HOME=$home/config XDG_DATA_HOME=$home/data XDG_CACHE_HOME=$home/cache
export XDG_RUNTIME_DIR=$home/runtime QT_QPA_PLATFORM=offscreen
unset VELLOMAR_QUIT_AFTER_START

"$program" --quit-after-start >/dev/null 2>&1

started=() whole=() shown=() ready=() audio=()
for ((i = 0; i < runs; i++)); do
  t0=$(date +%s%N)
  exec 3< <("$program" --quit-after-start 2>/dev/null)
  line=
  while read -r out <&3; do
    if [[ $out == Start-up:* ]]; then
      line=$out
      break
    fi
  done
  t1=$(date +%s%N)
  cat <&3 >/dev/null
  exec 3<&-
  wait
  t2=$(date +%s%N)
  # "Start-up: window shown after 71 ms, audio failed after 297 ms"
  s=$(sed -E 's/.*shown after ([0-9]+) ms.*/\1/' <<<"$line")
  r=$(sed -E 's/.*audio [a-z]+ after ([0-9]+) ms.*/\1/' <<<"$line")
  started+=($(((t1 - t0) / 1000000)))
  whole+=($(((t2 - t0) / 1000000)))
  shown+=("$s")
  ready+=("$r")
  audio+=($((r - s)))
done

stats() {
  printf '%s\n' "${@:2}" | sort -n | awk -v name="$1" '
    { v[NR] = $1 }
    END {
      median = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
      printf "%-38s min %5d ms   median %7.1f ms   max %5d ms\n", name, v[1], median, v[NR]
    }'
}
echo "Vellomar start-up, $runs runs ($(grep -o '^Start-up: .*audio [a-z]*' <<<"$line" | sed -E 's/.*audio //') audio)"
stats "process start to audio start ended" "${started[@]}"
stats "process start to exit" "${whole[@]}"
stats "window shown (program's clock)" "${shown[@]}"
stats "audio start ended (program's clock)" "${ready[@]}"
stats "audio start alone (ended - shown)" "${audio[@]}"
