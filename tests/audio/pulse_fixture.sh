#!/usr/bin/env bash
# Starts or stops a private sound server for the audio-pulse tests.
#   pulse_fixture.sh start DIR [SERVER]
#                                server with two null sinks: vl_in (22050 Hz mono, "VellomarIn")
#                                and vl_out ("VellomarOut"), and vl_mic ("VellomarMic"), the
#                                default source: a microphone that hears what is played into
#                                vl_in; DIR/ready holds its server address. SERVER is
#                                "pulseaudio" (the default: the PulseAudio daemon) or "pipewire"
#                                (PipeWire with WirePlumber and its PulseAudio server, on a
#                                session bus of its own, as current desktops run it).
#   pulse_fixture.sh stop DIR    stops it and removes its folder and DIR
# DIR is the build tree's meeting point with the tests. The daemon itself lives in a folder of its
# own, made fresh for each run under /tmp (short, since the socket path has to fit in 108 bytes),
# and DIR/daemon names it. No sound card is needed, and it runs as root too. Start always
# succeeds: when the daemon cannot run it writes the reason to DIR/unavailable, and the tests
# decide (fail under CI, skip elsewhere).
set -u
action=$1
meeting=$2
server=${3:-pulseaudio}
dir=
if [[ -f "$meeting/daemon" ]]; then dir=$(cat "$meeting/daemon"); fi

# Every process the fixture started has its id in a file "pid" or "pid.N-NAME" of its folder
# (N in the order of starting). All are asked to end at once, the last started first; one that
# has not ended after 5 s is killed.
stop_daemon() {
  [[ -n "$dir" && -d "$dir" ]] || return 0
  local file pid
  local -a pids=()
  for file in $(ls -r "$dir"/pid "$dir"/pid.* 2>/dev/null); do
    pid=$(cat "$file")
    [[ -n "$pid" ]] && kill -0 "$pid" 2>/dev/null && kill "$pid" 2>/dev/null && pids+=("$pid")
  done
  for pid in "${pids[@]}"; do
    for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -9 "$pid" 2>/dev/null
  done
}

# The sinks and the microphone the tests use, made through the server's PulseAudio protocol.
load_modules() {
  local address=$1
  local -a pactl=(env PULSE_SERVER="$address" HOME="$dir/home" pactl)
  "${pactl[@]}" load-module module-null-sink sink_name=vl_in rate=22050 channels=1 \
    sink_properties=device.description=VellomarIn >/dev/null || return 1
  "${pactl[@]}" load-module module-null-sink sink_name=vl_out rate=44100 channels=1 \
    sink_properties=device.description=VellomarOut >/dev/null || return 1
  "${pactl[@]}" load-module module-remap-source master=vl_in.monitor source_name=vl_mic \
    source_properties=device.description=VellomarMic >/dev/null || return 1
  # The server makes its nodes a moment after answering.
  for _ in $(seq 50); do
    if "${pactl[@]}" list short sources 2>/dev/null | grep -q "vl_mic" &&
      "${pactl[@]}" list short sinks 2>/dev/null | grep -q "vl_out"; then
      "${pactl[@]}" set-default-sink vl_out && "${pactl[@]}" set-default-source vl_mic
      return $?
    fi
    sleep 0.1
  done
  return 1
}

start_pipewire() {
  local program
  for program in pipewire pipewire-pulse wireplumber dbus-daemon pactl; do
    command -v "$program" >/dev/null ||
      unavailable "$program is not installed (packages pipewire pipewire-pulse wireplumber dbus pulseaudio-utils)"
  done
  local runtime="$dir/runtime"
  local -a environment=(env HOME="$dir/home" XDG_RUNTIME_DIR="$runtime"
    XDG_CONFIG_HOME="$dir/home/.config" XDG_STATE_HOME="$dir/state" XDG_DATA_HOME="$dir/home/.local/share"
    DBUS_SESSION_BUS_ADDRESS="unix:path=$runtime/bus" PIPEWIRE_RUNTIME_DIR="$runtime"
    PULSE_RUNTIME_PATH="$runtime/pulse" DISPLAY= WAYLAND_DISPLAY=)
  # WirePlumber needs a session bus; without one it ends and every stream waits in vain.
  "${environment[@]}" dbus-daemon --session --fork --address="unix:path=$runtime/bus" \
    --print-pid=1 </dev/null >"$dir/pid.1-dbus" 2>"$dir/dbus.log" ||
    unavailable "the session bus did not start: $(cat "$dir/dbus.log")"
  "${environment[@]}" setsid pipewire </dev/null >"$dir/pipewire.log" 2>&1 &
  echo $! >"$dir/pid.2-pipewire"
  for _ in $(seq 100); do [[ -S "$runtime/pipewire-0" ]] && break; sleep 0.1; done
  [[ -S "$runtime/pipewire-0" ]] ||
    unavailable "pipewire did not start: $(tail -n 5 "$dir/pipewire.log" | tr '\n' ' ')"
  "${environment[@]}" setsid wireplumber </dev/null >"$dir/wireplumber.log" 2>&1 &
  echo $! >"$dir/pid.3-wireplumber"
  "${environment[@]}" setsid pipewire-pulse </dev/null >"$dir/pipewire-pulse.log" 2>&1 &
  echo $! >"$dir/pid.4-pipewire-pulse"
  local address="unix:$runtime/pulse/native"
  for _ in $(seq 100); do
    if PULSE_SERVER="$address" HOME="$dir/home" pactl info >/dev/null 2>&1; then
      load_modules "$address" || unavailable "the server refused the test's sinks"
      echo "$address" >"$meeting/ready"
      echo "PipeWire fixture: ready at $address"
      exit 0
    fi
    sleep 0.1
  done
  unavailable "pipewire-pulse did not answer: $(tail -n 5 "$dir/pipewire-pulse.log" | tr '\n' ' ')"
}

unavailable() {
  echo "$1" >"$meeting/unavailable"
  echo "Sound server fixture ($server): $1"
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
  [[ "$server" == pipewire ]] && start_pipewire
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
  echo "usage: $0 start DIR [pulseaudio|pipewire] | stop DIR" >&2
  exit 2
  ;;
esac
