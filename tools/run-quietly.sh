#!/bin/sh
# Runs a Windows build tool under Wine with its output in a file: the service
# processes the first Wine program starts inherit that output, and a pipe
# they hold would never close.
log=$1; shift
"$(dirname "$0")/../tests/wine-run.sh" "$@" >"$log" 2>&1 </dev/null
