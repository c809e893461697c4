#!/usr/bin/env bash
# Nothing typed is lost when the program is killed, on a virtual screen, without a sound server:
#   0. a first start that ends normally (the example binder is then the one opened at start);
#   1. 300 characters typed into the example binder, then kill -9;
#   2. the next start gives them back with one message; they are saved; File > Close; 100
#      characters typed into the unnamed binder, then kill -9;
#   3. the next start opens the unnamed binder (the binder in use when the program was killed)
#      and gives its typing back with one message.
# Checks: the messages (in the trace), the binder holding the 300 characters, and the unnamed
# binder's 100 characters recovered.
#
# journal_e2e.sh VELLOMAR VLNOTES
# Needs xvfb-run and xdotool (scripts/setup.sh installs them).
set -euo pipefail
exe=$1
vlnotes=$2

fail() {
  echo "FAIL: $*" >&2
  exit 1
}
for tool in xvfb-run xdotool; do
  command -v "$tool" >/dev/null || fail "$tool is not installed (scripts/setup.sh installs it)"
done

work=$(mktemp -d /tmp/vl-journal-e2e-XXXXXXXX)
if [[ -z "${VL_E2E_KEEP:-}" ]]; then trap 'rm -rf "$work"' EXIT; else echo "keeping $work"; fi
mkdir -p "$work/home" "$work/runtime"
chmod 700 "$work/runtime"
# 300 characters: ten words of 29 letters and a space; 100: five of 19 and a space.
named=""
for i in $(seq 10); do named+="$(printf 'named%02dabcdefghijklmnopqrstuv' "$i") "; done
unnamed=""
for i in $(seq 5); do unnamed+="$(printf 'loose%02dabcdefghijkl' "$i") "; done

cat >"$work/drive.sh" <<'DRIVE'
#!/usr/bin/env bash
set -euo pipefail
work=$1 exe=$2 step=$3 named=$4 unnamed=$5
export HOME=$work/home XDG_RUNTIME_DIR=$work/runtime QT_QPA_PLATFORM=xcb
# No sound server: the program works as a notes program.
export PULSE_SERVER=unix:$work/no-such-server
trace=$HOME/Documents/Vellomar/Trace.txt

wait_until() {
  local tenths=$1
  shift
  for _ in $(seq "$tenths"); do
    if "$@" >/dev/null 2>&1; then return 0; fi
    sleep 0.1
  done
  return 1
}
key() { xdotool key --delay 120 "$@"; sleep 0.4; }
count() {
  local n
  n=$(grep -c "$1" "$trace" 2>/dev/null) || true
  echo "${n:-0}"
}
# The trace has more lines matching $1 than $2 (a function: waited for, it is asked again).
more_than() { test "$(count "$1")" -gt "$2"; }

started=$(count "Audio ready\|Audio start failed")
recovered=$(count "Recovered ")
"$exe" >"$work/out$step.txt" 2>&1 &
pid=$!
# A recovery message comes while the binder opens: it is answered first.
if [[ $step == 2 || $step == 3 ]]; then
  wait_until 600 more_than "Recovered " "$recovered" ||
    { echo "no recovery message" >&2; kill -9 $pid; exit 1; }
  sleep 1
  key Return
fi
wait_until 600 more_than "Audio ready\|Audio start failed" "$started" ||
  { echo "no start" >&2; kill -9 $pid; exit 1; }
sleep 1
xdotool mousemove 700 600 click 1
sleep 0.5
case $step in
0)
  key alt+f x
  wait_until 300 bash -c "! kill -0 $pid" || { echo "did not end" >&2; kill -9 $pid; exit 1; }
  ;;
1)
  key ctrl+End
  xdotool type --delay 12 "$named"
  sleep 1
  import -window root "$work/shot1.png" 2>/dev/null || true
  kill -9 $pid
  ;;
2)
  key ctrl+s
  sleep 1
  key alt+f c
  sleep 1
  xdotool mousemove 700 600 click 1
  sleep 0.3
  xdotool type --delay 12 "$unnamed"
  sleep 1
  import -window root "$work/shot2.png" 2>/dev/null || true
  kill -9 $pid
  ;;
3)
  sleep 0.5
  import -window root "$work/shot3.png" 2>/dev/null || true
  kill -9 $pid
  ;;
esac
wait $pid 2>/dev/null || true
DRIVE
chmod +x "$work/drive.sh"

for step in 0 1 2 3; do
  xvfb-run -a -s "-screen 0 1280x800x24" "$work/drive.sh" "$work" "$exe" "$step" "$named" \
    "$unnamed" || fail "run $step: $(cat "$work/out$step.txt")"
done

trace=$work/home/Documents/Vellomar/Trace.txt
binder=$work/home/Documents/Vellomar/Example.vl
first=$(grep -o "Recovered [0-9]* characters typed after the last save, up to [0-9:]*" "$trace" | head -1 || true)
[[ "$first" == "Recovered 300 characters typed after the last save"* ]] ||
  fail "the first recovery said: '$first' ($(grep Recovered "$trace" || true))"
"$vlnotes" text "$binder" | grep -q "${named% }" ||
  fail "the binder does not hold the 300 characters: $("$vlnotes" text "$binder" | tail -3)"
second=$(grep -o "Recovered [0-9]* characters typed in the unnamed binder" "$trace" | tail -1 || true)
[[ "$second" == "Recovered 100 characters typed in the unnamed binder" ]] ||
  fail "the unnamed recovery said: '$second'"
echo "typed 300 + 100 characters, killed twice; recovered: '$first'; '$second'"
