#!/usr/bin/env bash
# Builds the Windows side and runs the benchmarks under Wine, on the Windows
# build this machine runs (see scripts/env.sh).
#   scripts/bench.sh [key generation runs, default 40]   every benchmark
#   scripts/bench.sh media                               the media pipeline only
#   scripts/bench.sh calls                               calls and file transfer only
#   scripts/bench.sh chat [largest uncut text in MiB]    showing chat texts only
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$ROOT"
bash scripts/setup.sh >/dev/null
source scripts/env.sh
pelvane_wine_start
trap pelvane_wine_stop EXIT
# The call benchmark runs two clients through the native test relay.
cmake -S . -B build/native -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/native -j"$(nproc)" --target test_relay >/dev/null
pelvane_configure_win
cmake --build "$PELVANE_WIN_BUILD" -j"$(nproc)" --target crypto_bench media_bench chat_bench session_driver >/dev/null
BUILD=$PELVANE_WIN_BUILD
# Output to a file first: see the Wine trap in scripts/env.sh.
out=$BUILD/bench.txt
echo "measured: $PELVANE_BUILD_NAME ($PELVANE_ARCH_REASON)" >"$out"
echo >>"$out"
mode=${1:-all}
case "$mode" in
  media | calls | chat) shift ;;
  *) mode=all ;;
esac
if [ "$mode" = all ]; then
  ./tests/wine-run.sh "$BUILD/bin/crypto_bench.exe" "$@" >>"$out" 2>&1 </dev/null
  echo >>"$out"
  set --
fi
# A chat page on the test display, showing texts as a user's window does.
if [ "$mode" = all ] || [ "$mode" = chat ]; then
  ./tests/wine-run.sh "$BUILD/bin/chat_bench.exe" "$@" >>"$out" 2>&1 </dev/null
  echo >>"$out"
fi
if [ "$mode" = all ] || [ "$mode" = media ]; then
  # The media pipeline codes speech, as a call would.
  speech=$BUILD/bench/speech.raw
  if [ ! -s "$speech" ]; then
    # Through its output: espeak-ng cuts the name given to -w at 199 bytes.
    espeak-ng -v en -s 150 --stdout \
      "The benchmark codes this sentence again and again, as a call would, sixteen frames at a time." \
      >"$BUILD/bench/speech.wav"
    sox -R -D "$BUILD/bench/speech.wav" -r 8000 -c 1 -b 16 -e signed-integer -t raw "$speech" norm -3
  fi
  ./tests/wine-run.sh "$BUILD/bin/media_bench.exe" "$(./tests/wine-run.sh winepath -w "$speech")" >>"$out" 2>&1 </dev/null
  echo >>"$out"
fi
# Call set-up, mouth-to-ear delay and file transfer time on loopback.
if [ "$mode" = all ] || [ "$mode" = calls ]; then
  python3 bench/call_bench.py --relay build/native/bin/test_relay --bin "$BUILD/bin" \
    --work "$BUILD/bench-calls" >>"$out" 2>&1 </dev/null
fi
cat "$out"
