#!/usr/bin/env bash
# Two starts on a virtual X screen, as a file manager makes them: the program runs; a second
# `vellomar B.vl`, started from another folder with a relative name, hands B to it and ends at
# once with status 0 and a line on standard error, without a window of its own; the first opens
# B (its trace and its window title say so) and keeps running.
#
# second_start_test.sh VELLOMAR SAMPLES_DIR
# Needs xvfb-run and xdotool (scripts/setup.sh installs them).
set -euo pipefail
exe=$(realpath "$1")
samples=$(realpath "$2")

fail() {
  echo "FAIL: $*" >&2
  exit 1
}
for tool in xvfb-run xdotool; do
  if ! command -v "$tool" >/dev/null; then
    if [[ "${CI:-}" == "true" ]]; then fail "$tool is not installed (scripts/setup.sh installs it)"; fi
    echo "skipped: $tool is not installed (scripts/setup.sh installs it)"
    exit 0
  fi
done
[[ -f "$samples/Example.vl" ]] || fail "no sample binder in $samples"

work=$(mktemp -d /tmp/vl-second-XXXXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/home/runtime" "$work/elsewhere"
chmod 700 "$work/home/runtime"
cp "$samples/Example.vl" "$work/elsewhere/B.vl"

cat >"$work/drive.sh" <<'DRIVE'
#!/usr/bin/env bash
set -euo pipefail
work=$1 exe=$2
export HOME=$work/home XDG_RUNTIME_DIR=$work/home/runtime QT_QPA_PLATFORM=xcb
export XDG_CONFIG_HOME=$HOME/config XDG_DATA_HOME=$HOME/data XDG_CACHE_HOME=$HOME/cache
unset VELLOMAR_QUIT_AFTER_START
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
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

"$exe" >"$work/first.out" 2>"$work/first.err" &
first=$!
trap 'kill "$first" 2>/dev/null || true' EXIT
# Running once its audio start has ended (no sound server here) and its window shows.
wait_until 900 grep -Eq "Audio start failed|Audio ready" "$trace" || fail "the first start did not come up"
wait_until 300 xdotool search --onlyvisible --name "Vellomar" || fail "no window"

cd "$work/elsewhere"
set +e
timeout 60 "$exe" B.vl >"$work/second.out" 2>"$work/second.err"
status=$?
set -e
[[ $status -eq 0 ]] || fail "the second start ended with $status: $(cat "$work/second.err")"
grep -q "This application is already running." "$work/second.err" ||
  fail "the second start said: $(cat "$work/second.err")"
wait_until 300 grep -q "Given binder opened; the window's title: .*B.vl" "$trace" ||
  fail "B was not opened: $(grep -i 'given\|later start' "$trace")"
grep -q "asked this window to come forward and to open $work/elsewhere/B.vl" "$trace" ||
  fail "the path handed over is not B's absolute path"
wait_until 100 xdotool search --onlyvisible --name "B\.vl" || fail "no window titled with B.vl"
kill -0 "$first" || fail "the first program ended"
kill -TERM "$first"
wait "$first" || fail "the first program ended with $?"
trap - EXIT
DRIVE
chmod +x "$work/drive.sh"
xvfb-run -a -s "-screen 0 1280x800x24" "$work/drive.sh" "$work" "$exe"
echo "the second start handed B.vl to the first, which opened it"
