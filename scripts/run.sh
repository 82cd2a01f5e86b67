#!/usr/bin/env bash
# Runs Pelvane under Wine against a local test relay with the demo accounts
# (alice@pelvane.test, bob@pelvane.test, carol@pelvane.test, dave@pelvane.test;
# every password is "demo"). Installs and builds whatever is missing first.
#
#   scripts/run.sh [NAME]
#
# NAME (default "first") is the installation: its own folder under build/run
# and its own Wine prefix, so its own settings, pad and device identity. Run
# the script again with another name, while the first runs, for a second
# user on the same relay. The relay is started on 127.0.0.1:20015 unless one
# is already listening there; the first script that started it ends it.
# Without a DISPLAY the program runs on a virtual display of its own.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$ROOT"
NAME=${1:-first}
case "$NAME" in *[!A-Za-z0-9_-]*|'') echo "run.sh: NAME takes letters, digits, - and _ only" >&2; exit 2;; esac

bash scripts/setup.sh
# The build this machine runs: the PE32 product where 32-bit code runs, else
# the PE32+ build of the same sources. A crash of the program may bring up
# Wine's debugger here.
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
source scripts/env.sh
BASE_PREFIX=$WINEPREFIX
cmake -S . -B build/native -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/native --target test_relay -j"$(nproc)" >/dev/null
pelvane_configure_win
cmake --build "$PELVANE_WIN_BUILD" --target Pelvane install_config -j"$(nproc)" >/dev/null
echo "[run] $PELVANE_BUILD_NAME: $PELVANE_ARCH_REASON"

RUN=$ROOT/build/run
INSTALL=$RUN/$NAME/install
mkdir -p "$INSTALL" "$RUN/relay"
BIN=$PELVANE_WIN_BUILD/bin
# Without its debugging symbols: a quarter of the size.
"$PELVANE_TRIPLET-strip" -o "$INSTALL/Pelvane.exe" "$BIN/Pelvane.exe"
for d in dat sounds pics; do mkdir -p "$INSTALL/$d"; cp -r "$BIN/$d/." "$INSTALL/$d/"; done

export WINEPREFIX=$RUN/$NAME/prefix
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  # A prefix of its own: its own machine GUID, so its own device identity.
  python3 -c "import sys; sys.path.insert(0, '$ROOT/tests/integration'); from harness import make_prefix; make_prefix('$BASE_PREFIX', '$WINEPREFIX')"
fi

cleanup() {
  pelvane_wine_stop
  [ -n "${relay:-}" ] && kill "$relay" 2>/dev/null || true
}
trap cleanup EXIT

if ! (exec 3<>/dev/tcp/127.0.0.1/20015) 2>/dev/null; then
  build/native/bin/test_relay --port 20015 --enrol-file "$RUN/relay/enrolled.txt" \
    --log "$RUN/relay/relay.log" --lifetime 28800 >/dev/null &
  relay=$!
  for _ in $(seq 50); do (exec 3<>/dev/tcp/127.0.0.1/20015) 2>/dev/null && break; sleep 0.1; done
  echo "[run] test relay on 127.0.0.1:20015 (log: $RUN/relay/relay.log)"
fi

pelvane_wine_start
if [ -n "$_pelvane_xvfb_pid" ]; then
  echo "[run] no display: Pelvane runs on the virtual display $DISPLAY" \
       "(a picture of it: DISPLAY=$DISPLAY import -window root shot.png)"
fi

cd "$INSTALL"
# A new installation signs in to the local relay, on a media port of its own.
if [ ! -f pvconf.dat ]; then
  cp "$BIN/install_config.exe" .
  "$PELVANE_WINE" install_config.exe --host 127.0.0.1 --udp-port $((11500 + $(ls "$RUN" | wc -l) * 10)) </dev/null
  rm -f install_config.exe
fi
echo "[run] installation $INSTALL; sign in as alice@pelvane.test, bob@pelvane.test," \
     "carol@pelvane.test or dave@pelvane.test, password demo"
"$PELVANE_WINE" Pelvane.exe </dev/null
