#!/usr/bin/env bash
# Builds everything and runs every test: native (relay, sanitizers) and
# Windows (under Wine, with a display on Xvfb).
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$ROOT"
bash scripts/setup.sh
source scripts/env.sh
JOBS=$(nproc)

# Wine first: the build itself may run Windows tools.
pelvane_wine_start
trap pelvane_wine_stop EXIT

cmake -S . -B build/native -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/native -j"$JOBS"
cmake -S . -B build/win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake \
  -DPELVANE_NATIVE_BIN="$ROOT/build/native" >/dev/null
cmake --build build/win -j"$JOBS"

# Wine ends its desktop soon after the last program on it ends; the next
# program to need one starts a new desktop that keeps that test's output
# open, and CTest waits for it. Keep one desktop up for the whole run.
keeper_log=build/win/desktop_keeper.log
rm -f "$keeper_log"
wine build/win/bin/desktop_keeper.exe >"$keeper_log" 2>/dev/null </dev/null &
for _ in $(seq 300); do grep -q ready "$keeper_log" 2>/dev/null && break; sleep 0.1; done
grep -q ready "$keeper_log" || echo "warning: the desktop keeper did not start" >&2

status=0
ctest --test-dir build/native --output-on-failure -j"$JOBS" || status=1
ctest --test-dir build/win --output-on-failure -j"$JOBS" --timeout 600 || status=1
exit $status
