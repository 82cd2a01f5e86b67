#!/usr/bin/env bash
# A private PulseAudio server of two null devices for one Wine client: the
# sink "spk" (what the client plays) and the sink "mic" whose monitor is the
# client's microphone. Its files live in DIR: the server's process id
# DIR/pid, its log DIR/log, and the address its clients use, DIR/server
# ("unix:SOCKET", the value of PULSE_SERVER), also as a client configuration
# for PULSE_CLIENTCONFIG, DIR/client.conf.
# The socket itself lies in a private folder of the system's temporary
# folder (TMPDIR, else /tmp), made for the server and removed with it: a
# Unix socket's name holds at most 107 bytes, and a longer one is silently
# cut, so that servers of deep folders would share one socket. A name that
# would still be too long is refused.
#   pulse-server.sh start DIR   start it (ending one left in DIR before)
#   pulse-server.sh stop DIR    end it, by its process id
set -euo pipefail
cmd=$1
dir=$(mkdir -p "$2" && cd "$2" && pwd)
SOCKET_NAME_MAX=107

# Only a pulseaudio that was started for this folder is ever ended.
ours() {
  local pid=$1
  [ -n "$pid" ] && [ -r "/proc/$pid/cmdline" ] &&
    tr '\0' ' ' <"/proc/$pid/cmdline" | grep -q "pulseaudio .*-F $dir/server.pa"
}

# The socket's folder recorded in DIR, if it is one this script made.
socket_folder() {
  local server folder
  server=$(cat "$dir/server" 2>/dev/null || true)
  folder=${server#unix:}
  folder=${folder%/native}
  case ${folder##*/} in
    pelvane-pulse.??????) [ -d "$folder" ] && [ ! -L "$folder" ] && echo "$folder" ;;
  esac
  return 0
}

stop() {
  local pid folder
  pid=$(cat "$dir/pid" 2>/dev/null || true)
  if ours "$pid"; then
    kill "$pid" 2>/dev/null || true
    for _ in $(seq 50); do ours "$pid" || break; sleep 0.1; done
    ours "$pid" && kill -9 "$pid" 2>/dev/null || true
  fi
  folder=$(socket_folder)
  [ -n "$folder" ] && rm -rf "$folder"
  rm -f "$dir/pid" "$dir/server" "$dir/client.conf"
}

case $cmd in
start)
  stop
  rm -rf "$dir/native" "$dir/pulse" "$dir/.config"
  run=$(mktemp -d -t pelvane-pulse.XXXXXX)
  socket=$run/native
  bytes=$(printf %s "$socket" | wc -c)
  if [ "$bytes" -gt $SOCKET_NAME_MAX ]; then
    rmdir "$run"
    echo "pulse-server.sh: the sound server's socket $socket would be $bytes bytes long," \
      "more than a Unix socket's name holds ($SOCKET_NAME_MAX): set TMPDIR to a shorter folder" >&2
    exit 1
  fi
  echo "unix:$socket" >"$dir/server"
  printf 'default-server = unix:%s\nautospawn = no\n' "$socket" >"$dir/client.conf"
  cat >"$dir/server.pa" <<PA
load-module module-null-sink sink_name=spk rate=8000 channels=1
load-module module-null-sink sink_name=mic rate=8000 channels=1
set-default-sink spk
set-default-source mic.monitor
load-module module-native-protocol-unix socket=$socket auth-anonymous=1
PA
  # Whatever else the server puts in its runtime folder lies beside the socket.
  HOME=$dir XDG_RUNTIME_DIR=$run XDG_CONFIG_HOME=$dir/.config \
    pulseaudio -n -F "$dir/server.pa" --daemonize=no --exit-idle-time=-1 --use-pid-file=no \
    --disable-shm=yes --log-target=stderr >"$dir/log" 2>&1 </dev/null &
  echo $! >"$dir/pid"
  for _ in $(seq 100); do
    PULSE_SERVER=unix:$socket pactl info >/dev/null 2>&1 && exit 0
    sleep 0.1
  done
  echo "pulseaudio did not come up in $dir (socket $socket):" >&2
  cat "$dir/log" >&2
  stop
  exit 1
  ;;
stop) stop ;;
*) echo "usage: $0 start|stop DIR" >&2; exit 2 ;;
esac
