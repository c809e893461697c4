#!/usr/bin/env bash
# Starts or stops a private PulseAudio daemon for the audio-pulse tests.
#   pulse_fixture.sh start DIR   daemon with two null sinks: vl_in (22050 Hz mono, "VellomarIn")
#                                and vl_out ("VellomarOut"), and vl_mic ("VellomarMic"), the
#                                default source: a microphone that hears what is played into
#                                vl_in; DIR/ready holds its server address
#   pulse_fixture.sh stop DIR    stops it and removes its folder and DIR
# DIR is the build tree's meeting point with the tests. The daemon itself lives in a folder of its
# own, made fresh for each run under /tmp (short, since the socket path has to fit in 108 bytes),
# and DIR/daemon names it. No sound card is needed, and it runs as root too. Start always
# succeeds: when the daemon cannot run it writes the reason to DIR/unavailable, and the tests
# decide (fail under CI, skip elsewhere).
set -u
action=$1
meeting=$2
dir=
if [[ -f "$meeting/daemon" ]]; then dir=$(cat "$meeting/daemon"); fi

stop_daemon() {
  if [[ -n "$dir" && -f "$dir/pid" ]]; then
    pid=$(cat "$dir/pid")
    if kill -0 "$pid" 2>/dev/null; then
      kill "$pid" 2>/dev/null
      for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
      kill -9 "$pid" 2>/dev/null
    fi
  fi
}

unavailable() {
  echo "$1" >"$meeting/unavailable"
  echo "PulseAudio fixture: $1"
  stop_daemon
  exit 0
}

case "$action" in
start)
  # A daemon a run of this build tree left behind is stopped first.
  stop_daemon 2>/dev/null
  [[ -n "$dir" && "$dir" == /tmp/vlpa-* ]] && rm -rf "$dir"
  rm -rf "$meeting"
  mkdir -p "$meeting" || exit 1
  dir=$(mktemp -d /tmp/vlpa-XXXXXXXX) || exit 1
  echo "$dir" >"$meeting/daemon"
  mkdir -p "$dir/runtime" "$dir/state" "$dir/home" || exit 1
  chmod 700 "$dir" "$dir/runtime"
  command -v pulseaudio >/dev/null || unavailable "pulseaudio is not installed (package pulseaudio)"
  command -v pactl >/dev/null || unavailable "pactl is not installed (package pulseaudio-utils)"
  cat >"$dir/default.pa" <<PA
load-module module-native-protocol-unix socket=$dir/runtime/native auth-anonymous=1
load-module module-null-sink sink_name=vl_in rate=22050 channels=1 sink_properties=device.description=VellomarIn
load-module module-null-sink sink_name=vl_out rate=44100 channels=1 sink_properties=device.description=VellomarOut
load-module module-remap-source master=vl_in.monitor source_name=vl_mic source_properties=device.description=VellomarMic
set-default-sink vl_out
set-default-source vl_mic
PA
  # Its own home, runtime and state folders: nothing of a user's sound set-up is read or changed.
  # setsid and closed output: the daemon outlives this script without holding CTest's pipes.
  HOME="$dir/home" XDG_RUNTIME_DIR="$dir/runtime" PULSE_RUNTIME_PATH="$dir/runtime" \
    PULSE_STATE_PATH="$dir/state" setsid pulseaudio -n --daemonize=no --exit-idle-time=-1 \
    --disallow-exit --system=false --use-pid-file=no --disable-shm=yes \
    --log-target=file:"$dir/pulse.log" -F "$dir/default.pa" </dev/null >/dev/null 2>&1 &
  echo $! >"$dir/pid"
  for _ in $(seq 100); do
    if PULSE_SERVER="unix:$dir/runtime/native" HOME="$dir/home" pactl info >/dev/null 2>&1; then
      echo "unix:$dir/runtime/native" >"$meeting/ready"
      echo "PulseAudio fixture: ready at unix:$dir/runtime/native"
      exit 0
    fi
    kill -0 "$(cat "$dir/pid")" 2>/dev/null || break
    sleep 0.1
  done
  unavailable "the daemon did not answer: $(tail -n 5 "$dir/pulse.log" 2>/dev/null | tr '\n' ' ')"
  ;;
stop)
  stop_daemon
  [[ -n "$dir" && "$dir" == /tmp/vlpa-* ]] && rm -rf "$dir"
  rm -rf "$meeting"
  ;;
*)
  echo "usage: $0 start|stop DIR" >&2
  exit 2
  ;;
esac
