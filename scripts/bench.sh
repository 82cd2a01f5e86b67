#!/usr/bin/env bash
# Builds the Windows side and runs the benchmarks under Wine.
#   scripts/bench.sh [key generation runs, default 40]   every benchmark
#   scripts/bench.sh media                               the media pipeline only
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$ROOT"
bash scripts/setup.sh >/dev/null
source scripts/env.sh
pelvane_wine_start
trap pelvane_wine_stop EXIT
cmake -S . -B build/win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake >/dev/null
cmake --build build/win -j"$(nproc)" --target crypto_bench media_bench >/dev/null
# Output to a file first: see the Wine trap in scripts/env.sh.
out=build/win/bench.txt
: >"$out"
if [ "${1:-}" = media ]; then
  shift
else
  ./tests/wine-run.sh build/win/bin/crypto_bench.exe "$@" >>"$out" 2>&1 </dev/null
  echo >>"$out"
fi
# The media pipeline codes speech, as a call would.
speech=build/win/bench/speech.raw
if [ ! -s "$speech" ]; then
  espeak-ng -v en -s 150 -w build/win/bench/speech.wav \
    "The benchmark codes this sentence again and again, as a call would, sixteen frames at a time."
  sox -R -D build/win/bench/speech.wav -r 8000 -c 1 -b 16 -e signed-integer -t raw "$speech" norm -3
fi
./tests/wine-run.sh build/win/bin/media_bench.exe "$(winepath -w "$speech")" >>"$out" 2>&1 </dev/null
cat "$out"
