#!/usr/bin/env bash
# Builds the test relay and the console client, then times sign-in on
# loopback under Wine: launch to signed-in, and the processor time used. It
# measures the Windows build this machine runs (see scripts/env.sh).
#   scripts/bench-sign-in.sh [runs, default 10]
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$ROOT"
bash scripts/setup.sh >/dev/null
source scripts/env.sh
pelvane_wine_start
trap pelvane_wine_stop EXIT
cmake -S . -B build/native -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/native -j"$(nproc)" --target test_relay >/dev/null
pelvane_configure_win
cmake --build "$PELVANE_WIN_BUILD" -j"$(nproc)" --target session_driver >/dev/null
# Output to a file first: see the Wine trap in scripts/env.sh.
out=$PELVANE_WIN_BUILD/bench-sign-in.txt
echo "measured: $PELVANE_BUILD_NAME ($PELVANE_ARCH_REASON)" >"$out"
python3 bench/sign_in_bench.py --relay build/native/bin/test_relay --bin "$PELVANE_WIN_BUILD/bin" \
  --work "$PELVANE_WIN_BUILD/bench-sign-in" --runs "${1:-10}" >>"$out" 2>&1 </dev/null
cat "$out"
