#!/usr/bin/env bash
# Builds the Windows side and runs the benchmarks under Wine.
#   scripts/bench.sh [key generation runs, default 40]
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$ROOT"
bash scripts/setup.sh >/dev/null
source scripts/env.sh
pelvane_wine_start
trap pelvane_wine_stop EXIT
cmake -S . -B build/win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake >/dev/null
cmake --build build/win -j"$(nproc)" --target crypto_bench >/dev/null
# Output to a file first: see the Wine trap in scripts/env.sh.
out=build/win/bench.txt
./tests/wine-run.sh build/win/bin/crypto_bench.exe "$@" >"$out" 2>&1 </dev/null
cat "$out"
