#!/usr/bin/env bash
# The program as a user meets it, on a virtual screen with the private PulseAudio daemon:
#   1. a first start with an empty home; recording starts from the Record menu while speech is
#      played into the daemon's microphone; a sentence is typed into the example notes; recording
#      stops; closing the program answers Yes to the save question, which saves the binder;
#   2. a second start reopens the binder and shows the audio controls; the caret goes to the
#      start of the sentence and Play > Play from the Caret plays from there.
# Checks: the binder holds the sentence at a moment of today; the recording exists and is as long
# as the time it ran; the play starts in that recording within 50 ms of the sentence's moment.
#
# program_e2e.sh VELLOMAR VLNOTES PULSE_MEETING_DIR
# Run by CTest under the audio_pulse fixture. Needs xvfb-run, xdotool, espeak-ng and paplay
# (scripts/setup.sh installs them).
set -euo pipefail
exe=$1
vlnotes=$2
meeting=$3

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

if [[ -f "$meeting/unavailable" || ! -f "$meeting/ready" ]]; then
  if [[ "${CI:-}" == "true" ]]; then fail "no private PulseAudio daemon"; fi
  echo "skipped: no private PulseAudio daemon"
  exit 0
fi
for tool in xvfb-run xdotool espeak-ng paplay; do
  command -v "$tool" >/dev/null || fail "$tool is not installed (scripts/setup.sh installs it)"
done

work=$(mktemp -d /tmp/vl-e2e-XXXXXXXX)
if [[ -z "${VL_E2E_KEEP:-}" ]]; then trap 'rm -rf "$work"' EXIT; else echo "keeping $work"; fi
mkdir -p "$work/home" "$work/runtime"
chmod 700 "$work/runtime"
espeak-ng -w "$work/speech.wav" "The river carries sand down to the sea, and the sea keeps it."

# Everything that needs the screen runs inside one virtual X server.
cat >"$work/drive.sh" <<'DRIVE'
#!/usr/bin/env bash
set -euo pipefail
work=$1 exe=$2 step=$3
# The real X platform on the virtual screen, whatever the tests around chose.
export HOME=$work/home XDG_RUNTIME_DIR=$work/runtime QT_QPA_PLATFORM=xcb
trace=$HOME/Documents/Vellomar/Trace.txt

month=$HOME/.local/share/Vellomar/Audio/$(date +%Y-%m)

# Waits up to $1 tenths of a second for the command after it to succeed.
wait_until() {
  local tenths=$1
  shift
  for _ in $(seq "$tenths"); do
    if "$@" >/dev/null 2>&1; then return 0; fi
    sleep 0.1
  done
  return 1
}
visible_windows() { xdotool search --onlyvisible --name '.' 2>/dev/null | wc -l; }
key() { xdotool key --delay 120 "$@"; sleep 0.4; }

"$exe" >"$work/out$step.txt" 2>&1 &
pid=$!
# The main window is up and its audio start has ended; the splash has gone a little later.
wait_until 600 grep -q "Audio ready\|Audio start failed" "$trace" || { echo "no start" >&2; exit 1; }
sleep 1
# No window manager: the window is given the keyboard through X, without a click into the text.
# The program has put the keyboard into the notes itself, so typing goes there at once.
win=$(xdotool search --onlyvisible --class vellomar 2>/dev/null | tail -1)
[[ -n "$win" ]] || { echo "no window to give the keyboard to" >&2; exit 1; }
xdotool windowfocus --sync "$win"
sleep 0.5
if [[ $step == 1 ]]; then
  key alt+r s
  wait_until 100 compgen -G "$month/*.wav" || { echo "no recording started" >&2; exit 1; }
  (sleep 0.3; paplay -d vl_in "$work/speech.wav") &
  key ctrl+End Return
  xdotool type --delay 80 "The river carries sand"
  sleep 2.5
  key alt+r s
  # A finished recording's name carries its length.
  wait_until 100 compgen -G "$month/*).wav" || { echo "the recording did not stop" >&2; exit 1; }
  import -window root "$work/shot1.png" 2>/dev/null || true
  before=$(visible_windows)
  key alt+f x
  # The save question: Yes saves the binder under its name.
  wait_until 100 test "$(visible_windows)" -gt "$before" || { echo "no save question" >&2; exit 1; }
  sleep 0.3
  key y
else
  key alt+t a
  key ctrl+End Home
  key alt+p f
  wait_until 100 grep -q "Play from" "$trace" || { echo "nothing played" >&2; exit 1; }
  sleep 1
  import -window root "$work/shot2.png" 2>/dev/null || true
  key alt+f x
fi
wait_until 300 bash -c "! kill -0 $pid" || {
  echo "the program did not end" >&2
  kill -9 "$pid"
  exit 1
}
wait "$pid"
DRIVE
chmod +x "$work/drive.sh"

export PULSE_SERVER
PULSE_SERVER=$(cat "$meeting/ready")
binder=$work/home/Documents/Vellomar/Example.vl

xvfb-run -a -s "-screen 0 1280x800x24" "$work/drive.sh" "$work" "$exe" 1 ||
  fail "first run: $(cat "$work/out1.txt")"
[[ -f "$binder" ]] || fail "no binder at $binder"
line=$("$vlnotes" text "$binder" | grep "The river carries sand" || true)
[[ -n "$line" ]] || fail "the sentence is not in the binder: $("$vlnotes" text "$binder")"
today=$(date +%Y-%m-%d)
[[ "$line" == "$today "* ]] || fail "the sentence's moment is not today: $line"
moment=${line%%  *}
recording=$(find "$work/home/.local/share/Vellomar/Audio/$(date +%Y-%m)" -name '*.wav' | head -1)
[[ -n "$recording" ]] || fail "no recording"
echo "first run: '$line' recorded in $(basename "$recording")"

xvfb-run -a -s "-screen 0 1280x800x24" "$work/drive.sh" "$work" "$exe" 2 ||
  fail "second run: $(cat "$work/out2.txt")"
play=$(grep "Play from" "$work/home/Documents/Vellomar/Trace.txt" | tail -1 || true)
[[ -n "$play" ]] || fail "nothing played: $(tail -20 "$work/home/Documents/Vellomar/Trace.txt")"
echo "second run: $play"
[[ "$play" == *"$(basename "$recording")"* ]] || fail "played another file than the recording"
# The moment asked for is the sentence's (vlnotes gives it to the second), and the position the
# player reported when it started is that moment within 50 ms.
asked=${play#*Play from }
asked=${asked%% at *}
reported=${play##* at }
# Milliseconds since the epoch of a local "YYYY-MM-DD HH:MM:SS[.zzz]".
msecs() { date -d "$1" +%s%3N; }
sentence_ms=$(msecs "$moment")
asked_ms=$(msecs "$asked")
reported_ms=$(msecs "$reported")
((asked_ms / 1000 == sentence_ms / 1000)) ||
  fail "played from $asked, not from the sentence at $moment"
off=$((reported_ms - asked_ms))
((off < 0)) && off=$((-off))
echo "play starts $off ms from the sentence's moment"
((off <= 50)) || fail "the play started $off ms away from the sentence's moment"
