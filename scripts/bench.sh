#!/usr/bin/env bash
# Builds the x86_64 benchmarks and runs them under Wine; prints ratios
# against references measured in the same run.
# usage: bench.sh [photo|document|metafile|media|text|plugins|decoders]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/setup.sh >/dev/null
mkdir -p build
{ cmake --preset native-bench && cmake --build --preset native-bench &&
  cmake --preset x86_64 && cmake --build --preset x86_64 --target mirabo_bench; } >build/bench-build.log 2>&1 ||
  { tail -n 40 build/bench-build.log; exit 1; }
build/native-bench/bench/mirabo_core_bench
# The decoder benchmark's HEIC and AVIF need encoders only the native build has.
export MIRABO_BENCH_PICTURES="$root/build/bench-pictures"
build/native-bench/bench/make_bench_pictures "$MIRABO_BENCH_PICTURES"
source scripts/wine-env.sh
mirabo_prepare_prefix
mirabo_ensure_sound
if [ -z "${DISPLAY:-}" ]; then
  mirabo_ensure_display
fi
trap '[ -n "${MIRABO_XVFB_PID:-}" ] && kill "$MIRABO_XVFB_PID" 2>/dev/null; mirabo_stop_sound' EXIT
"$WINE" build/x86_64/bench/mirabo_bench.exe "$@"
