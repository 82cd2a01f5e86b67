#!/usr/bin/env bash
# Builds everything and runs every test: native (relay, sanitizers) and
# Windows (under Wine, with a display on Xvfb), on the Windows build this
# machine runs (see scripts/env.sh; PELVANE_WIN_ARCH=x64 chooses the PE32+
# build anywhere).
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$ROOT"
bash scripts/setup.sh
source scripts/env.sh
echo "[test] the Windows tests run on $PELVANE_BUILD_NAME: $PELVANE_ARCH_REASON"
JOBS=$(nproc)

# Wine first: the build itself may run Windows tools.
pelvane_wine_start
trap pelvane_wine_stop EXIT

cmake -S . -B build/native -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/native -j"$JOBS"
pelvane_configure_win
cmake --build "$PELVANE_WIN_BUILD" -j"$JOBS"
pelvane_build_product

# On a first build the desktop keeper exists only now.
pelvane_keep_desktop

status=0
ctest --test-dir build/native --output-on-failure -j"$JOBS" || status=1
ctest --test-dir "$PELVANE_WIN_BUILD" --output-on-failure -j"$JOBS" --timeout 600 || status=1
exit $status
