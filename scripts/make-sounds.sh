#!/usr/bin/env bash
# Generates the six event sounds in resources/sounds with sox. The output is
# the same on every run (no dither, fixed random numbers), so the committed
# files can be checked against a fresh run.
#   make-sounds.sh [output folder]
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
OUT=${1:-$ROOT/resources/sounds}
mkdir -p "$OUT"
TMP=$(mktemp -d)
trap 'rm -rf "$TMP"' EXIT
RATE=22050

# note NAME SECONDS FREQ... : one soft tone (the frequencies sounded together)
# with a quick attack and a gentle decay.
note() {
  local name=$1 len=$2; shift 2
  local tones=() f
  for f in "$@"; do tones+=(sine "$f"); done
  sox -R -D -r $RATE -c $# -n -b 16 -c 1 "$TMP/$name.wav" synth "$len" "${tones[@]}" \
    remix - fade q 0.008 "$len" "$(awk "BEGIN { print $len * 0.7 }")" gain -n -9
}
rest() { sox -R -D -n -r $RATE -b 16 -c 1 "$TMP/$1.wav" trim 0 "$2"; }
# join OUTPUT PARTS... : the parts one after the other.
join() {
  local out=$1 parts=() p; shift
  for p in "$@"; do parts+=("$TMP/$p.wav"); done
  sox -R -D "${parts[@]}" "$OUT/$out"
}

# Dialling: a rising three-note figure, played once.
note d1 0.14 523.25 1046.5; note d2 0.14 659.25 1318.5; note d3 0.30 783.99 1568.0
join CallerDialing.wav d1 d2 d3

# Ringback heard by the caller: a soft chord, then quiet, for looping.
note rb 1.0 440 554.37; rest rb_rest 2.0
join CallerRing.wav rb rb_rest

# End of call: a falling pair.
note e1 0.18 783.99; note e2 0.40 523.25
join BothEndOfCall.wav e1 e2

# Incoming ring: a bright trill of two alternating tones, then quiet, for looping.
note t1 0.08 880 1318.5; note t2 0.08 1108.7 1661.2
join RecipientRing.wav t1 t2 t1 t2 t1 t2 t1 t2 t1 t2 t1 t2 rb_rest

# Call started: a rising fifth.
note s1 0.12 523.25; note s2 0.30 783.99 1174.7
join BothCallStarted.wav s1 s2

# Incoming message: one short high ping.
note m1 0.35 1318.5 2637.0
join message.wav m1
