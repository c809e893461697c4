#!/usr/bin/env bash
# The program as a user meets it, on a virtual screen with the private PulseAudio daemon:
#   1. a first start with an empty home; recording starts from the Record menu while speech is
#      played into the daemon's microphone; a sentence is typed into the example notes; recording
#      then, while a click track with irregular gaps plays (vl_click_witness, which hears it
#      through a capture client of its own and writes down when each click sounded), capital
#      letters are typed, each in its own paragraph, at moments the typist takes right before
#      each key (another when the machine stalled at one); recording stops; closing the program
#      answers Yes to the save question, which saves the binder;
#   2. a second start reopens the binder and shows the audio controls; the caret goes to the
#      start of each letter, then of the sentence (deleted and given back by Ctrl+Z first), and
#      Play > Play from the Caret plays from there;
#      then Ctrl and the wheel over the historical track zoom it out, and the settings keep that;
#      a click on the recording's level band on that track plays the recording from there.
# Checks: the binder holds the sentence at a moment of today; the recording exists and is as long
# as the time it ran; the play starts in that recording within 50 ms of the sentence's moment.
# For each letter, what sounded at its key press is where its play starts: the play's start
# offset in the file (the player's start position less the file name's start, which is exact to
# the sample) lies after the last click before the key press, as found in the file's samples, by
# the time the key press came after that click's sounding, within 30 ms.
#
# program_e2e.sh VELLOMAR VLNOTES PULSE_MEETING_DIR CLICK_WITNESS
# Run by CTest under the audio_pulse fixture. Needs xvfb-run, xdotool, espeak-ng, paplay and
# python3 (scripts/setup.sh installs them).
set -euo pipefail
exe=$1
vlnotes=$2
meeting=$3
witness=${4:-}

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

if [[ -f "$meeting/unavailable" || ! -f "$meeting/ready" ]]; then
  if [[ "${CI:-}" == "true" ]]; then fail "no private PulseAudio daemon"; fi
  echo "skipped: no private PulseAudio daemon"
  exit 0
fi
for tool in xvfb-run xdotool espeak-ng paplay python3; do
  command -v "$tool" >/dev/null || fail "$tool is not installed (scripts/setup.sh installs it)"
done

export VL_E2E_TYPIST
VL_E2E_TYPIST="$(cd "$(dirname "$0")" && pwd)/e2e_typist.py"
work=$(mktemp -d /tmp/vl-e2e-XXXXXXXX)
if [[ -z "${VL_E2E_KEEP:-}" ]]; then trap 'rm -rf "$work"' EXIT; else echo "keeping $work"; fi
mkdir -p "$work/home" "$work/runtime"
chmod 700 "$work/runtime"
espeak-ng -w "$work/speech.wav" "The river carries sand down to the sea, and the sea keeps it."

# Everything that needs the screen runs inside one virtual X server.
cat >"$work/drive.sh" <<'DRIVE'
#!/usr/bin/env bash
set -euo pipefail
work=$1 exe=$2 step=$3 witness=$4
letters=(K M P R T W H N B D F G J L)
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
  speech=$!
  key ctrl+End Return
  xdotool type --delay 80 "The river carries sand"
  sleep 2.5
  wait "$speech"
  touch "$work/keys.txt"
  if [[ -n $witness ]]; then
    # The clicks, and a letter now and then while they sound: the moment before each key press,
    # and the one after the X server took it (a wide gap shows the machine stalled there), read
    # by one process that sends the keys itself (e2e_typist.py). A letter whose key took more
    # than 45 ms from one moment to the other was typed while the machine stalled: another one
    # is typed, up to 8 well-timed ones.
    "$witness" play "$work/clicks.txt" 16 2>"$work/witness.txt" &
    clicks=$!
    wait_until 100 test -f "$work/clicks.txt.playing" || { echo "no clicks" >&2; exit 1; }
    sleep 0.5
    python3 "$VL_E2E_TYPIST" "$work/keys.txt" 14 8 "${letters[@]}" ||
      { echo "the typist failed" >&2; exit 1; }
    wait "$clicks" || { echo "the witness failed: $(cat "$work/witness.txt")" >&2; exit 1; }
  fi
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
  sleep 0.5
  # Plays from the start of the paragraph $1 above the last one and adds the trace's line of the
  # play to the file $4 when the moment played from is within $3 seconds of $2 (seconds since
  # the epoch). Three tries: a key pressed while the window still settles can be lost, and the
  # caret then stays elsewhere.
  play_from() {
    local up=$1 near=$2 within=$3 plays line asked
    for _ in 1 2 3; do
      plays=$(grep -c "Play from" "$trace" || true)
      key ctrl+End
      for ((i = 0; i < up; ++i)); do xdotool key Up; done
      key Home
      key alt+p f
      wait_until 100 test "$(grep -c "Play from" "$trace")" -gt "$plays" || continue
      line=$(grep "Play from" "$trace" | tail -1)
      asked=${line#*Play from }
      asked=${asked%% at *}
      if awk -v a="$(date -d "$asked" +%s.%N)" -v n="$near" -v w="$within" \
        'BEGIN { exit !(a - n < w && n - a < w) }'; then
        echo "$line" >>"$4"
        sleep 0.3
        return 0
      fi
      echo "played from $asked, not near $near: again" >&2
    done
    return 1
  }
  # Each letter from its start (the letters are the last paragraphs), then the sentence.
  mapfile -t typed <"$work/keys.txt"
  for ((k = 0; k < ${#typed[@]}; ++k)); do
    read -r _ before _ <<<"${typed[k]}"
    play_from $((${#typed[@]} - 1 - k)) "$before" 1 "$work/letter-plays.txt" ||
      { echo "no play from letter $((k + 1))" >&2; exit 1; }
  done
  # The sentence deleted and given back by Ctrl+Z: it plays from its own moment again.
  key ctrl+End
  for ((i = 0; i < ${#typed[@]}; ++i)); do xdotool key Up; done
  key Home
  key shift+End Delete
  key ctrl+z
  play_from "${#typed[@]}" "$(date +%s)" 600 "$work/sentence-play.txt" ||
    { echo "nothing played" >&2; exit 1; }
  sleep 1
  import -window root "$work/shot2.png" 2>/dev/null || true
  # A click on the recording's level band (green in the historical track's black slot) plays
  # from there: the slot is the first black row down a column of the track, and the click goes
  # to the middle of the green the play slider leaves uncovered.
  import -window "$win" "$work/track.png"
  slot=$(convert "$work/track.png" -crop 1x200+600+40 +repage txt:- 2>/dev/null |
    awk -F'[,:() ]+' '/^[0-9]/ && !f && $3 == 0 && $4 == 0 && $5 == 0 { f = 1; print $2 + 40 }')
  [[ -n "$slot" ]] || { echo "no track slot found" >&2; exit 1; }
  row=$((slot + 7))
  band=$(convert "$work/track.png" -crop 780x1+72+"$row" +repage txt:- 2>/dev/null |
    awk -F'[,:() ]+' '/^[0-9]/ { if ($3 < 100 && $4 > 150 && $5 < 100) x[n++] = $1 }
      END { if (n) print x[int(n / 2)] }')
  [[ -n "$band" ]] || { echo "no recording drawn on the historical track" >&2; exit 1; }
  plays=$(grep -c "Play from" "$trace" || true)
  xdotool mousemove --window "$win" $((72 + band)) "$row" click 1
  wait_until 100 test "$(grep -c "Play from" "$trace")" -gt "$plays" ||
    { echo "a click on the recording's band played nothing" >&2; exit 1; }
  grep "Play from" "$trace" | tail -1 >"$work/band-play.txt"
  # Ctrl and the wheel over the historical track zoom it out about the pointer; the level shown
  # is the one kept at close.
  xdotool mousemove --window "$win" 600 "$row"
  sleep 0.3
  xdotool keydown ctrl click 5 click 5 click 5 keyup ctrl
  sleep 1.5
  import -window root "$work/shot3.png" 2>/dev/null || true
  sleep 0.5
  # The deletion and its undo are changes: the save question is answered Yes, and the binder
  # then shows whether the sentence came back with its moment.
  before=$(visible_windows)
  key alt+f x
  wait_until 100 test "$(visible_windows)" -gt "$before" || { echo "no save question" >&2; exit 1; }
  sleep 0.3
  key y
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

xvfb-run -a -s "-screen 0 1280x800x24" "$work/drive.sh" "$work" "$exe" 1 "$witness" ||
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

settings=$work/home/.config/Vellomar/2009.ini
zoom_of() { sed -n 's/^ReopenZoom=//p' "$settings" | head -1; }
zoom1=$(zoom_of)
xvfb-run -a -s "-screen 0 1280x800x24" "$work/drive.sh" "$work" "$exe" 2 "$witness" ||
  fail "second run: $(cat "$work/out2.txt")"
# Zoomed out: more time per column than the first run kept.
zoom2=$(zoom_of)
awk -v a="${zoom1:-0}" -v b="${zoom2:-0}" 'BEGIN { exit !(b > a) }' ||
  fail "Ctrl+wheel over the historical track did not zoom it out: ReopenZoom $zoom1, then $zoom2"
echo "second run: Ctrl+wheel zoomed the historical track from $zoom1 to $zoom2 s per column"
again=$("$vlnotes" text "$binder" | grep "The river carries sand" || true)
[[ "$again" == "$line" ]] ||
  fail "the sentence deleted and undone is not back as it was: '$again', before '$line'"
band=$(cat "$work/band-play.txt" 2>/dev/null || true)
[[ "$band" == *"$(basename "$recording")"* ]] ||
  fail "a click on the recording's band did not play the recording: $band"
echo "second run: a click on the recording's band: $band"
play=$(cat "$work/sentence-play.txt" 2>/dev/null || true)
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

# The letters: each played from where it sounded, in the order they were typed.
if [[ -z $witness ]]; then
  echo "letters: not typed (no click witness given)"
  exit 0
fi
[[ -s "$work/keys.txt" && -s "$work/clicks.txt" ]] || fail "no letters or no clicks witnessed"
name=$(basename "$recording")
start=$(date -d "${name:0:10} ${name:11:2}:${name:14:2}:${name:17:2}.${name:20:1}" +%s.%N)
mapfile -t lines <"$work/letter-plays.txt"
letter_count=$(wc -l <"$work/keys.txt")
((${#lines[@]} == letter_count)) || fail "${#lines[@]} plays for $letter_count letters"
: >"$work/plays.txt"
for ((k = 0; k < letter_count; ++k)); do
  play=${lines[k]}
  asked=${play#*Play from }
  asked=${asked%% at *}
  [[ "$play" == *"$name"* ]] || fail "letter $((k + 1)) played another file: $play"
  echo "$(date -d "$asked" +%s.%N) $(date -d "${play##* at }" +%s.%N)" >>"$work/plays.txt"
done
"$witness" onsets "$recording" >"$work/onsets.txt" || fail "cannot read $recording"
"$vlnotes" text "$binder" >"$work/text.txt"
# The letters are in the binder, each its own paragraph.
while read -r letter _; do
  grep -q "  $letter\$" "$work/text.txt" || fail "no paragraph '$letter' in the binder"
done <"$work/keys.txt"
# awk: the clicks as the witness heard them (wall seconds) and as the file holds them (ms; the
# speech before them adds onsets of its own).
awk -v start="$start" -v clicks="$work/clicks.txt" -v onsets="$work/onsets.txt" \
  -v plays="$work/plays.txt" '
  # The onset within 5 ms of ms, or "".
  function nearest(ms,   i, d) {
    for (i = 1; i <= nf; ++i) { d = f[i] - ms; if (d <= 5 && d >= -5) return f[i] }
    return ""
  }
  BEGIN {
    while ((getline line < clicks) > 0) w[++nw] = line
    while ((getline line < onsets) > 0) f[++nf] = line
    while ((getline line < plays) > 0) { split(line, p, " "); asked[++np] = p[1]; at[np] = p[2] }
    # The clicks in the file: the witnessed ones laid over the onsets found where all fall within
    # 5 ms of one, by their gaps alone.
    for (j = 1; j <= nf; ++j) {
      count = 0
      for (i = 1; i <= nw; ++i) if (nearest(f[j] + (w[i] - w[1]) * 1000) != "") ++count
      if (count > best) { best = count; anchor = j }
    }
    if (best < nw) { print "FAIL: the file holds " best " of the " nw " clicks witnessed"; exit 1 }
    for (i = 1; i <= nw; ++i) inFileAt[i] = nearest(f[anchor] + (w[i] - w[1]) * 1000)
    printf "letter  click  key after click  play after click in file  error  key to moment  date to key\n"
  }
  {
    k = NR; letter = $1; before = $2; after = $3
    last = 0
    for (i = 1; i <= nw; ++i) if (w[i] <= before) last = i
    latency = (asked[k] - before) * 1000
    stall = (after - before) * 1000
    if (last == 0) { printf "%s: typed before the first click, skipped\n", letter; next }
    phase = (before - w[last]) * 1000
    offset = (at[k] - start) * 1000
    inFile = offset - inFileAt[last]
    error = inFile - phase
    printf "%-6s  %5d  %12.1f ms  %21.1f ms  %+5.1f  %10.1f ms  %8.1f ms", letter, last, phase,
      inFile, error, latency, stall
    if (stall > 45) { printf "  retaken: the machine stalled at the key\n"; ++skipped; next }
    if (latency > 100) { printf "  skipped: the machine stalled\n"; ++skipped; next }
    printf "\n"
    ++checked
    if (error > 30 || error < -30) ++bad
  }
  END {
    if (best < nw) exit 1
    printf "%d letters checked, %d skipped, %d more than 30 ms away\n", checked, skipped, bad
    if (bad > 0 || checked < 5) exit 1
  }' "$work/keys.txt" || fail "letters do not play from what sounded when they were typed"
