#!/usr/bin/env bash
# Installs what is missing, builds everything (the native platform-free
# modules under the sanitizers, the x86_64 and i686 Windows programs) and runs
# every test: natively, and the Windows tests in-process under Wine. The last
# line is ctest's summary.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

bash scripts/setup.sh

step() {  # step NAME COMMAND...: quiet on success, the whole log on failure
  local name=$1; shift
  local log="build/logs/$name.log"
  mkdir -p build/logs
  echo "== $name"
  if ! "$@" >"$log" 2>&1; then
    tail -n 80 "$log"
    echo "== $name failed (log: $log)"
    exit 1
  fi
}

for preset in native x86_64 i686 fuzz; do
  extra=()
  # Deterministic fuzzing here; scripts/fuzz.sh explores with random seeds.
  [ "$preset" = fuzz ] && extra=(-DMIRABO_FUZZ_MODE=gate)
  step "configure-$preset" cmake --preset "$preset" "${extra[@]}"
  step "build-$preset" cmake --build --preset "$preset"
done

# The release packages, which the packaging test checks and installs.
step package bash scripts/package.sh

# One ctest run over the test trees (the fuzz tree runs each parser's fuzzer
# for a fixed number of executions from a fixed seed), so one summary line
# counts them all.
printf 'subdirs("native" "x86_64" "fuzz")\n' >build/CTestTestfile.cmake

source scripts/wine-env.sh
mirabo_prepare_prefix
mirabo_ensure_display
mirabo_ensure_sound
# One wineserver for the whole run: each test program then starts in a
# fraction of the time. Wine's own background processes (services.exe and
# friends) start now, with no pipe of ctest's to inherit and hold open.
"$WINESERVER" -p </dev/null >/dev/null 2>&1 || true  # one may be running already
"$WINE" wineboot </dev/null >/dev/null 2>&1
cleanup() {
  "$WINESERVER" -k 2>/dev/null || true
  mirabo_stop_sound
  [ -n "${MIRABO_XVFB_PID:-}" ] && kill "$MIRABO_XVFB_PID" 2>/dev/null || true
}
trap cleanup EXIT

ctest --test-dir build --output-on-failure -j 2
