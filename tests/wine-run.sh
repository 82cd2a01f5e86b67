#!/usr/bin/env bash
# Runs a Windows executable under Wine with the project's prefix.
ROOT=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX=${WINEPREFIX:-$ROOT/build/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
# No debugger on a crash: a crashed test fails at once instead of waiting
# for its time-out.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=;winedbg.exe=d}
exec wine "$@"
