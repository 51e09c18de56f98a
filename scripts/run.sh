#!/usr/bin/env bash
# Installs what is missing, builds the x86_64 program and runs it under Wine
# on the named file (the bundled sample when none is named). Without a display
# it runs on a virtual one, waits for the main window, saves a screenshot,
# prints its path and closes the program.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
file=${1:-$root/samples/sample.jpg}
[ -e "$file" ] || { echo "run: no such file: $file" >&2; exit 1; }
file=$(realpath "$file")
cd "$root"

bash scripts/setup.sh
mkdir -p build/logs
echo "== building the x86_64 program"
{ cmake --preset x86_64 && cmake --build --preset x86_64 --target mirabo; } >build/logs/run-build.log 2>&1 ||
  { tail -n 60 build/logs/run-build.log; exit 1; }
exe=$root/build/x86_64/app/mirabo.exe

source scripts/wine-env.sh
mirabo_prepare_prefix
mirabo_ensure_sound || true  # media files then play into nothing

if [ -n "${DISPLAY:-}" ]; then
  exec "$WINE" "$exe" "$(winepath_w "$file")"
fi

mirabo_ensure_display
"$WINESERVER" -p </dev/null >/dev/null 2>&1 || true  # one may be running already
cleanup() {
  "$WINESERVER" -k 2>/dev/null || true
  mirabo_stop_sound
  [ -n "${MIRABO_XVFB_PID:-}" ] && kill "$MIRABO_XVFB_PID" 2>/dev/null || true
}
trap cleanup EXIT

"$WINE" "$exe" "$(winepath_w "$file")" </dev/null >build/logs/run-wine.log 2>&1 &
# The main window's title is the application's.
wid=""
for _ in $(seq 1 600); do
  wid=$(xdotool search --onlyvisible --name '^Mirabo$' 2>/dev/null | head -n 1 || true)
  [ -n "$wid" ] && break
  sleep 0.1
done
if [ -z "$wid" ]; then
  echo "run: the main window did not appear within 60 s (log: build/logs/run-wine.log)" >&2
  exit 1
fi
sleep 1  # let the first paint finish
shot="$root/build/screenshots/mirabo-$(date +%Y%m%d-%H%M%S).png"
mkdir -p "$(dirname "$shot")"
import -display "$DISPLAY" -window "$wid" "$shot"
echo "Screenshot: $shot"
