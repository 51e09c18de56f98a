#!/usr/bin/env bash
# Runs one Windows program under 64-bit Wine; ctest's emulator for the tests.
set -euo pipefail
source "$(dirname "$0")/wine-env.sh"
mirabo_prepare_prefix
own_sound=0
if ! pactl info >/dev/null 2>&1; then
  mirabo_ensure_sound && own_sound=1
fi
if [ -z "${DISPLAY:-}" ]; then
  mirabo_ensure_display
fi
trap '[ -n "${MIRABO_XVFB_PID:-}" ] && kill "$MIRABO_XVFB_PID" 2>/dev/null; [ $own_sound = 1 ] && mirabo_stop_sound' EXIT
set +e
"$WINE" "$@"
rc=$?
exit $rc
