#!/usr/bin/env bash
# bash scripts/fuzz.sh [SECONDS]
# Builds the libFuzzer targets (preset fuzz: clang, AddressSanitizer, UBSan)
# and runs each for SECONDS (default 60) from a random seed, as many at once
# as there are cores. Corpora grow in build/fuzz/fuzzing/corpus between
# runs; a finding is saved in build/fuzz/fuzzing/artifacts and fails the run:
# fix it and copy the input into tests/fuzz/regressions/TARGET/, where the
# test command's deterministic runs replay it for good. Ends with each
# target's executions over every run recorded so far.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
seconds=${1:-60}
bash scripts/setup.sh >/dev/null
mkdir -p build/logs
{ cmake --preset fuzz -DMIRABO_FUZZ_MODE=explore -DMIRABO_FUZZ_SECONDS="$seconds" && cmake --build --preset fuzz; } >build/logs/fuzz-build.log 2>&1 ||
  { tail -n 40 build/logs/fuzz-build.log; echo "fuzz: the build failed" >&2; exit 1; }
status=0
ctest --test-dir build/fuzz -j "$(nproc)" --output-on-failure || status=$?
echo
echo "Executions recorded per target (all runs, build/fuzz/fuzzing/record.tsv):"
awk -F'\t' '{ e[$1] += $2; s[$1] += $3; f[$1] += $4 }
  END { for (t in e) printf "  %-20s %12d executions  %7d s  %d finding(s)\n", t, e[t], s[t], f[t] }' \
  build/fuzz/fuzzing/record.tsv | sort
# Back to the test command's deterministic runs.
cmake --preset fuzz -DMIRABO_FUZZ_MODE=gate >/dev/null
exit "$status"
