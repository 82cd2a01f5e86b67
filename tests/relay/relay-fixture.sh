#!/usr/bin/env bash
# Starts a test relay in the background, or stops one, for tests that cannot
# start a Linux program themselves (CTest fixtures of Wine tests).
#   relay-fixture.sh start DIR [relay options]   DIR/info: tcp=, udp=, control=, pid=
#   relay-fixture.sh stop DIR
set -euo pipefail
[ $# -ge 2 ] || { echo "usage: $0 start|stop DIR [relay options]" >&2; exit 2; }
action=$1 dir=$2
shift 2
case "$action" in
start)
  mkdir -p "$dir"
  rm -f "$dir/info"
  "$(dirname "$0")/test_relay" --port 0 --udp-port 0 --control-port 0 --lifetime 600 \
    --info "$dir/info" --log "$dir/relay.log" "$@" </dev/null >/dev/null 2>"$dir/relay.err" &
  for _ in $(seq 100); do
    [ -f "$dir/info" ] && { cat "$dir/info"; exit 0; }
    kill -0 $! 2>/dev/null || { cat "$dir/relay.err" >&2; exit 1; }
    sleep 0.05
  done
  echo "the relay did not start" >&2
  exit 1
  ;;
stop)
  pid=$(sed -n 's/^pid=//p' "$dir/info" 2>/dev/null || true)
  [ -n "$pid" ] && kill "$pid" 2>/dev/null || true
  ;;
*)
  echo "usage: $0 start|stop DIR [relay options]" >&2
  exit 2
  ;;
esac
