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

# On a first build the desktop keeper exists only now.
pelvane_keep_desktop

status=0
ctest --test-dir build/native --output-on-failure -j"$JOBS" || status=1
ctest --test-dir build/win --output-on-failure -j"$JOBS" --timeout 600 || status=1
exit $status
