#!/usr/bin/env bash
# The committed pictures are exactly what resources/make_art.py draws.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
python3 "$ROOT/resources/make_art.py" "$out"
diff <(cd "$ROOT/resources/art" && ls) <(cd "$out" && ls)
for f in "$out"/*; do
  cmp "$f" "$ROOT/resources/art/$(basename "$f")"
done
echo "art matches its script"
