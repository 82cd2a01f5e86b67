#!/usr/bin/env bash
# Runs the test relay in the foreground on 127.0.0.1:20015 with the demo
# accounts (building it first when needed). Devices enrolled stay enrolled in
# build/relay/enrolled.txt; the decoded log is build/relay/relay.log. Extra
# arguments go to the relay (tests/relay/README.md); Ctrl-C ends it.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$ROOT"
bash scripts/setup.sh
cmake -S . -B build/native -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/native --target test_relay -j"$(nproc)" >/dev/null
mkdir -p build/relay
exec build/native/bin/test_relay --port 20015 --enrol-file build/relay/enrolled.txt \
  --log build/relay/relay.log --lifetime 28800 "$@"
