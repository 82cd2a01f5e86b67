#!/usr/bin/env bash
# The real audio path: two engines in two Wine processes, each with its own
# sound server of null devices. The caller's microphone gets speech made by
# espeak-ng; the callee's speaker is recorded. For every codec type of the
# set, what the callee played is compared with the same speech passed
# through the codec offline (correlation after aligning the delay), and the
# delay is measured against the caller's microphone.
#   run-audio-test.sh BIN COMPARE ARTIFACTS
# BIN: the folder of audio_peer.exe; COMPARE: the native audio_compare tool;
# ARTIFACTS: where the recordings, spectrograms and the report are kept.
# Every server and recorder this starts is ended by its process id.
set -euo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)
BIN=$1 COMPARE=$2 OUT=$3
WINE_RUN=$HERE/../wine-run.sh
mkdir -p "$OUT"
OUT=$(cd "$OUT" && pwd)
REPORT=$OUT/report.txt

pids=()
servers=()
cleanup() {
  local p s
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  for p in "${pids[@]}"; do wait "$p" 2>/dev/null || true; done
  for s in "${servers[@]}"; do "$HERE/pulse-server.sh" stop "$s" || true; done
}
trap cleanup EXIT

# Speech, 8 kHz 16-bit mono, after a second of silence. Through espeak-ng's
# output: it cuts the name given to -w at 199 bytes.
espeak-ng -v en -s 150 --stdout \
  "Pelvane carries the voice of a call between two peers. Every packet holds sixteen frames of speech, and the other side plays them in order." \
  >"$OUT/espeak.wav"
sox -R -D "$OUT/espeak.wav" -r 8000 -c 1 -b 16 -e signed-integer "$OUT/speech.wav" norm -3
sox -R -D "$OUT/speech.wav" -t raw "$OUT/speech.raw"
rm -f "$OUT/espeak.wav"

wait_for() { # file seconds
  local i
  for i in $(seq $(( $2 * 10 ))); do [ -e "$1" ] && return 0; sleep 0.1; done
  return 1
}

declare -A NAMES=([2]=speex [4]=amr-mode1 [8]=amr-mode7)
# Speex and AMR mode 7 keep the waveform closer than AMR at 5.15 kbit/s.
declare -A MIN_CORRELATION=([2]=0.8 [4]=0.75 [8]=0.8)
status=0
: >"$REPORT"
for codec in 4 8 2; do
  name=${NAMES[$codec]}
  dir=$OUT/$name
  rm -rf "$dir"
  mkdir -p "$dir/A" "$dir/B" "$dir/exchange"
  cp "$BIN/audio_peer.exe" "$dir/A/"
  cp "$BIN/audio_peer.exe" "$dir/B/"
  "$HERE/pulse-server.sh" start "$dir/pulseA"; servers+=("$dir/pulseA")
  "$HERE/pulse-server.sh" start "$dir/pulseB"; servers+=("$dir/pulseB")
  A=$(cat "$dir/pulseA/server") B=$(cat "$dir/pulseB/server")

  # Recorders take their audio in 100 ms pieces; feeders keep half a second
  # of buffer, so that a busy machine does not break up the speech before the
  # engine even sees it.
  # A null sink runs, and its monitor delivers a continuous timeline, only
  # while something plays into it: keep silence playing into both recorded
  # sinks, and wait until their monitors deliver at once.
  PULSE_SERVER=$A pacat --playback --device=mic --rate=8000 --channels=1 --format=s16le \
    --latency-msec=500 /dev/zero 2>/dev/null & keep_a=$!
  PULSE_SERVER=$B pacat --playback --device=spk --rate=8000 --channels=1 --format=s16le \
    --latency-msec=500 /dev/zero 2>/dev/null & keep_b=$!
  pids+=("$keep_a" "$keep_b")
  for server in "$A mic" "$B spk"; do
    set -- $server
    for _ in $(seq 20); do
      got=$(PULSE_SERVER=$1 timeout 0.5 parec --device=$2.monitor --rate=8000 --channels=1 \
        --format=s16le --latency-msec=100 2>/dev/null | wc -c || true)
      [ "$got" -gt 4000 ] && break
    done
  done

  # The recorders' common start is the delay's origin. They start apart, by
  # as much as a busy machine makes it; their sizes at one instant tell by
  # how much, to within one 20 ms piece.
  PULSE_SERVER=$A parec --device=mic.monitor --rate=8000 --channels=1 --format=s16le \
    --latency-msec=20 >"$dir/mic.raw" 2>/dev/null & rec_a=$!
  PULSE_SERVER=$B parec --device=spk.monitor --rate=8000 --channels=1 --format=s16le \
    --latency-msec=20 >"$dir/played.raw" 2>/dev/null & rec_b=$!
  pids+=("$rec_a" "$rec_b")
  for _ in $(seq 100); do
    [ "$(stat -c %s "$dir/mic.raw")" -gt 4000 ] && [ "$(stat -c %s "$dir/played.raw")" -gt 4000 ] && break
    sleep 0.05
  done
  skew=$(( $(stat -c %s "$dir/mic.raw") - $(stat -c %s "$dir/played.raw") ))

  port=$(( 30000 + RANDOM % 20000 ))
  PULSE_SERVER=$B "$WINE_RUN" "$dir/B/audio_peer.exe" call answer "$("$WINE_RUN" winepath -w "$dir/exchange")" \
    $codec $((port + 1)) $port >"$dir/B.log" 2>&1 </dev/null & peer_b=$!
  PULSE_SERVER=$A "$WINE_RUN" "$dir/A/audio_peer.exe" call offer "$("$WINE_RUN" winepath -w "$dir/exchange")" \
    $codec $port $((port + 1)) >"$dir/A.log" 2>&1 </dev/null & peer_a=$!
  pids+=("$peer_a" "$peer_b")
  started=1
  for log in A B; do
    for _ in $(seq 300); do grep -q started "$dir/$log.log" 2>/dev/null && break; sleep 0.1; done
    grep -q started "$dir/$log.log" || started=0
  done

  if [ $started = 1 ]; then
    # Let the capture devices settle, feed the speech, wait for its tail.
    sleep 1.5
    PULSE_SERVER=$A pacat --playback --device=mic --rate=8000 --channels=1 --format=s16le \
      --latency-msec=500 "$OUT/speech.raw"
    sleep 3
  fi
  touch "$dir/exchange/stop"
  wait "$peer_a" || true
  wait "$peer_b" || true
  kill "$rec_a" "$rec_b" "$keep_a" "$keep_b" 2>/dev/null || true
  wait "$rec_a" "$rec_b" "$keep_a" "$keep_b" 2>/dev/null || true
  # Ended and reaped: their ids may now belong to someone else.
  pids=()
  "$HERE/pulse-server.sh" stop "$dir/pulseA"
  "$HERE/pulse-server.sh" stop "$dir/pulseB"
  servers=()
  # Cut the earlier recording's head, so that both start at one instant.
  if [ "$skew" -gt 0 ]; then early=$dir/mic.raw cut=$skew; else early=$dir/played.raw cut=$(( -skew )); fi
  tail -c +$(( cut / 2 * 2 + 1 )) "$early" >"$early.cut" && mv "$early.cut" "$early"

  {
    echo "== $name (codec type $codec)"
    if [ $started = 0 ]; then
      echo "FAIL: the peers did not start"; cat "$dir/A.log" "$dir/B.log"
    fi
    code_a=$(sed -n 's/^verification //p' "$dir/A.log" | tr -d '\r')
    code_b=$(sed -n 's/^verification //p' "$dir/B.log" | tr -d '\r')
    echo "verification codes: caller $code_a, callee $code_b"
  } >>"$REPORT"
  [ $started = 1 ] || { status=1; continue; }
  if [ -z "$code_a" ] || [ "$code_a" != "$code_b" ]; then
    echo "FAIL: the two sides do not share a session key" >>"$REPORT"; status=1
  fi

  "$WINE_RUN" "$dir/A/audio_peer.exe" code $codec "$("$WINE_RUN" winepath -w "$OUT/speech.raw")" \
    "$("$WINE_RUN" winepath -w "$dir/coded.raw")" >/dev/null 2>&1 </dev/null
  # The playback thread starts 200 ms in, packets carry 320 ms and the
  # queue holds at most one second: the delay lies between 320 ms and that
  # plus the sound servers' own buffering. The floor allows for the
  # recorders' skew being known only to within a piece or two.
  if ! "$COMPARE" "$OUT/speech.raw" "$dir/coded.raw" "$dir/mic.raw" "$dir/played.raw" \
      "$dir/aligned.raw" --min-correlation "${MIN_CORRELATION[$codec]}" \
      --min-delay 280 --max-delay 2000 >>"$REPORT"; then
    status=1
  fi
  for f in coded mic played aligned; do
    sox -R -D -t raw -r 8000 -c 1 -b 16 -e signed-integer "$dir/$f.raw" "$dir/$f.wav"
    rm -f "$dir/$f.raw"
  done
  # One picture: the coded speech where it was found (top), what was played (bottom).
  sox -R -D -M "$dir/aligned.wav" "$dir/played.wav" -n spectrogram -x 1200 -y 257 \
    -t "$name: coded speech aligned (top), played by the callee (bottom)" -o "$dir/compare.png"
  rm -rf "$dir/A" "$dir/B" "$dir/exchange" "$dir/pulseA" "$dir/pulseB"
done
rm -f "$OUT/speech.raw"
cat "$REPORT"
exit $status
