#!/usr/bin/env bash
# floor_test.sh ROOT: the include-floor check passes on the tree as it is,
# and fails, naming the include, on a copy with one upward include planted
# in the ground floor.
set -uo pipefail
root=$1
check=$root/scripts/check-floors.sh
bash "$check" "$root" || { echo "FAIL the tree has includes running up"; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for d in base text viewers plugins components settings app; do cp -r "$root/$d" "$work/"; done
printf '#include "app/unit1.h"\n' >>"$work/base/paths.h"
out=$(bash "$check" "$work")
status=$?
printf '%s\n' "$out" | tail -n 2
if [ "$status" = 0 ]; then echo "FAIL a planted upward include passed"; exit 1; fi
if ! printf '%s\n' "$out" | grep -qF 'up: base/paths.h (floor 0) includes app/unit1.h (floor 5)'; then
  echo "FAIL the planted include was not named"
  exit 1
fi
echo "ok: the planted include is caught"
