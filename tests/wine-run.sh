#!/usr/bin/env bash
# Runs a Windows executable under Wine with the project's prefix.
ROOT=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX=${WINEPREFIX:-$ROOT/build/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
# No debugger on a crash: a crashed test fails at once instead of waiting
# for its time-out.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=;winedbg.exe=d}

# A fault in the program comes back as an exit code. Under heavy load Wine's
# own process teardown occasionally dies of a Unix signal after the program
# has finished; that is Wine's fault, not the program's, so run it once more.
wine "$@"
rc=$?
if [ $rc -gt 128 ] && [ $rc -ne 130 ] && [ $rc -ne 143 ] && [ -z "${PELVANE_NO_RERUN:-}" ]; then
  echo "wine-run: wine died of signal $((rc - 128)); running once more" >&2
  wine "$@"
  rc=$?
fi
exit $rc
