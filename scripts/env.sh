# Sourced by the scripts: the Wine prefix, a persistent wineserver and a display.
PELVANE_ROOT=${PELVANE_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}
export WINEPREFIX=${WINEPREFIX:-$PELVANE_ROOT/build/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
# No debugger on a crash: a crashed test fails at once instead of waiting
# for its time-out.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=;winedbg.exe=d}

_pelvane_xvfb_pid=
_pelvane_keeper_pid=
pelvane_wine_start() {
  if [ -z "${DISPLAY:-}" ]; then
    local n=90
    while [ -e /tmp/.X$n-lock ] || [ -e /tmp/.X11-unix/X$n ]; do n=$((n + 1)); done
    Xvfb :$n -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    _pelvane_xvfb_pid=$!
    export DISPLAY=:$n
    for _ in $(seq 50); do [ -e /tmp/.X11-unix/X$n ] && break; sleep 0.1; done
  fi
  # The first Wine program starts service processes that inherit its output;
  # start them now with output nowhere, so that later piped runs can end.
  wineserver -p 2>/dev/null || true  # already running for this prefix is fine
  wineboot >/dev/null 2>&1 </dev/null || true
  pelvane_keep_desktop
}

# Wine ends its desktop soon after the last program on it ends; the next
# program that needs one starts a new desktop with that program's output,
# which a test run then waits on for as long as the desktop lives. The
# built keeper holds one desktop up with its output nowhere until the Wine
# server ends. Nothing before the first build.
pelvane_keep_desktop() {
  local keeper=$PELVANE_ROOT/build/win/bin/desktop_keeper.exe log=$PELVANE_ROOT/build/win/desktop_keeper.log
  [ -n "$_pelvane_keeper_pid" ] && kill -0 "$_pelvane_keeper_pid" 2>/dev/null && return 0
  [ -f "$keeper" ] || return 0
  rm -f "$log"
  wine "$keeper" >"$log" 2>/dev/null </dev/null &
  _pelvane_keeper_pid=$!
  for _ in $(seq 300); do grep -q ready "$log" 2>/dev/null && return 0; sleep 0.1; done
  echo "warning: the desktop keeper did not start" >&2
}

pelvane_wine_stop() {
  wineserver -k >/dev/null 2>&1 || true  # the desktop keeper with it
  _pelvane_keeper_pid=
  [ -n "$_pelvane_xvfb_pid" ] && kill "$_pelvane_xvfb_pid" 2>/dev/null || true
}
