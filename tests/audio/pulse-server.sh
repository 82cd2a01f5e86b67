#!/usr/bin/env bash
# A private PulseAudio server of two null devices for one Wine client: the
# sink "spk" (what the client plays) and the sink "mic" whose monitor is the
# client's microphone. Everything lives in DIR: the socket DIR/native, the
# server's process id DIR/pid, its log DIR/log.
#   pulse-server.sh start DIR   start it (ending one left in DIR before)
#   pulse-server.sh stop DIR    end it, by its process id
set -euo pipefail
cmd=$1
dir=$(mkdir -p "$2" && cd "$2" && pwd)

# Only a pulseaudio that was started for this folder is ever ended.
ours() {
  local pid=$1
  [ -n "$pid" ] && [ -r "/proc/$pid/cmdline" ] &&
    tr '\0' ' ' <"/proc/$pid/cmdline" | grep -q "pulseaudio .*-F $dir/server.pa"
}

stop() {
  local pid
  pid=$(cat "$dir/pid" 2>/dev/null || true)
  if ours "$pid"; then
    kill "$pid" 2>/dev/null || true
    for _ in $(seq 50); do ours "$pid" || break; sleep 0.1; done
    ours "$pid" && kill -9 "$pid" 2>/dev/null || true
  fi
  rm -f "$dir/pid"
}

case $cmd in
start)
  stop
  rm -rf "$dir/native" "$dir/pulse" "$dir/.config"
  cat >"$dir/server.pa" <<PA
load-module module-null-sink sink_name=spk rate=8000 channels=1
load-module module-null-sink sink_name=mic rate=8000 channels=1
set-default-sink spk
set-default-source mic.monitor
load-module module-native-protocol-unix socket=$dir/native auth-anonymous=1
PA
  HOME=$dir XDG_RUNTIME_DIR=$dir XDG_CONFIG_HOME=$dir/.config \
    pulseaudio -n -F "$dir/server.pa" --daemonize=no --exit-idle-time=-1 --use-pid-file=no \
    --disable-shm=yes --log-target=stderr >"$dir/log" 2>&1 </dev/null &
  echo $! >"$dir/pid"
  for _ in $(seq 100); do
    PULSE_SERVER=unix:$dir/native pactl info >/dev/null 2>&1 && exit 0
    sleep 0.1
  done
  echo "pulseaudio did not come up in $dir:" >&2
  cat "$dir/log" >&2
  stop
  exit 1
  ;;
stop) stop ;;
*) echo "usage: $0 start|stop DIR" >&2; exit 2 ;;
esac
