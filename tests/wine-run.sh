#!/usr/bin/env bash
# Runs a Windows executable under Wine with the project's prefix and the
# loader of the Windows build this machine runs.
source "$(dirname "$0")/../scripts/env.sh"

# A fault in the program comes back as an exit code. Under heavy load Wine's
# own process teardown occasionally dies of a Unix signal after the program
# has finished; that is Wine's fault, not the program's, so run it once more.
"$PELVANE_WINE" "$@"
rc=$?
if [ $rc -gt 128 ] && [ $rc -ne 130 ] && [ $rc -ne 143 ] && [ -z "${PELVANE_NO_RERUN:-}" ]; then
  echo "wine-run: wine died of signal $((rc - 128)); running once more" >&2
  "$PELVANE_WINE" "$@"
  rc=$?
fi
exit $rc
