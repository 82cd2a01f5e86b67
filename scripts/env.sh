# Sourced by the scripts: which Windows build this machine runs and with
# which Wine loader, the Wine prefix, a persistent wineserver and a display.
PELVANE_ROOT=${PELVANE_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}

# Some machines run no 32-bit x86 code at all: there the 32-bit loader
# fails with "Exec format error" and the PE32 build cannot run, so the tests
# and the program run the PE32+ build under the 64-bit loader.
# PELVANE_WIN_ARCH=x64 asks for that path on any machine.
pelvane_choose_arch() {
  local out
  case "${PELVANE_WIN_ARCH:-}" in
    x64) PELVANE_ARCH_REASON="PELVANE_WIN_ARCH=x64 asks for it"; return;;
    x86) PELVANE_ARCH_REASON="PELVANE_WIN_ARCH=x86 asks for it"; return;;
    '') ;;
    *) echo "PELVANE_WIN_ARCH is x86 or x64, not '$PELVANE_WIN_ARCH'" >&2; return 1;;
  esac
  if out=$(/usr/lib/wine/wine --version 2>&1 </dev/null); then
    PELVANE_WIN_ARCH=x86
    PELVANE_ARCH_REASON="this machine runs 32-bit code (/usr/lib/wine/wine --version: $out)"
  else
    out=${out%%$'\n'*}
    PELVANE_WIN_ARCH=x64
    PELVANE_ARCH_REASON="this machine runs no 32-bit code (/usr/lib/wine/wine --version: ${out##*: })"
  fi
}
pelvane_choose_arch || return 1 2>/dev/null || exit 1
export PELVANE_WIN_ARCH PELVANE_ARCH_REASON
if [ "$PELVANE_WIN_ARCH" = x64 ]; then
  # Debian's wine command takes the 32-bit loader whenever wine32 is
  # installed; the 64-bit one is named, and the programs it starts use it too.
  export PELVANE_WINE=/usr/lib/wine/wine64 WINELOADER=/usr/lib/wine/wine64
  export PELVANE_WIN_BUILD=$PELVANE_ROOT/build/win64 PELVANE_TRIPLET=x86_64-w64-mingw32
  PELVANE_TOOLCHAIN=$PELVANE_ROOT/cmake/mingw-x86_64.cmake
  PELVANE_BUILD_NAME="the PE32+ build (build/win64) under wine64"
  _pelvane_prefix=$PELVANE_ROOT/build/wineprefix64
else
  export PELVANE_WINE=wine
  export PELVANE_WIN_BUILD=$PELVANE_ROOT/build/win PELVANE_TRIPLET=i686-w64-mingw32
  PELVANE_TOOLCHAIN=$PELVANE_ROOT/cmake/mingw-i686.cmake
  PELVANE_BUILD_NAME="the PE32 build (build/win) under 32-bit Wine"
  _pelvane_prefix=$PELVANE_ROOT/build/wineprefix
fi
export WINEPREFIX=${WINEPREFIX:-$_pelvane_prefix}
export WINEDEBUG=${WINEDEBUG:--all}
# No debugger on a crash: a crashed test fails at once instead of waiting
# for its time-out.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=;winedbg.exe=d}

# The CMake configuration of the Windows build this machine runs, with the
# native build's test relay. The PE32 product is built and checked on either
# path: on the 64-bit one it is a build of its own, made after this one.
pelvane_configure_win() {
  local product=()
  [ "$PELVANE_WIN_ARCH" = x64 ] && product=(-DPELVANE_PRODUCT_BIN="$PELVANE_ROOT/build/win/bin")
  cmake -S "$PELVANE_ROOT" -B "$PELVANE_WIN_BUILD" -DCMAKE_TOOLCHAIN_FILE="$PELVANE_TOOLCHAIN" \
    -DPELVANE_NATIVE_BIN="$PELVANE_ROOT/build/native" -DPELVANE_TOOL_BIN= "${product[@]}" >/dev/null
}

# The PE32 product where its own build tools cannot run: the language files
# come from the PE32+ build's encryptor, so that build comes first.
pelvane_build_product() {
  [ "$PELVANE_WIN_ARCH" = x64 ] || return 0
  cmake -S "$PELVANE_ROOT" -B "$PELVANE_ROOT/build/win" -DCMAKE_TOOLCHAIN_FILE="$PELVANE_ROOT/cmake/mingw-i686.cmake" \
    -DPELVANE_TOOL_BIN="$PELVANE_WIN_BUILD/bin" >/dev/null
  cmake --build "$PELVANE_ROOT/build/win" --target Pelvane -j"$(nproc)"
}

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
  "$PELVANE_WINE" wineboot >/dev/null 2>&1 </dev/null || true
  pelvane_keep_desktop
}

# Wine ends its desktop soon after the last program on it ends; the next
# program that needs one starts a new desktop with that program's output,
# which a test run then waits on for as long as the desktop lives. The
# built keeper holds one desktop up with its output nowhere until the Wine
# server ends. Nothing before the first build.
pelvane_keep_desktop() {
  local keeper=$PELVANE_WIN_BUILD/bin/desktop_keeper.exe log=$PELVANE_WIN_BUILD/desktop_keeper.log
  [ -n "$_pelvane_keeper_pid" ] && kill -0 "$_pelvane_keeper_pid" 2>/dev/null && return 0
  [ -f "$keeper" ] || return 0
  rm -f "$log"
  "$PELVANE_WINE" "$keeper" >"$log" 2>/dev/null </dev/null &
  _pelvane_keeper_pid=$!
  for _ in $(seq 300); do grep -q ready "$log" 2>/dev/null && return 0; sleep 0.1; done
  echo "warning: the desktop keeper did not start" >&2
}

pelvane_wine_stop() {
  wineserver -k >/dev/null 2>&1 || true  # the desktop keeper with it
  _pelvane_keeper_pid=
  [ -n "$_pelvane_xvfb_pid" ] && kill "$_pelvane_xvfb_pid" 2>/dev/null || true
}
