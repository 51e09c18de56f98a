#!/usr/bin/env bash
# Runs one Windows program under 64-bit Wine; ctest's emulator for the tests.
set -euo pipefail
source "$(dirname "$0")/wine-env.sh"
mirabo_prepare_prefix
if [ -z "${DISPLAY:-}" ]; then
  mirabo_ensure_display
  trap '[ -n "${MIRABO_XVFB_PID:-}" ] && kill "$MIRABO_XVFB_PID" 2>/dev/null' EXIT
fi
set +e
"$WINE" "$@"
rc=$?
exit $rc
