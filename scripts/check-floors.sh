#!/usr/bin/env bash
# bash scripts/check-floors.sh [ROOT]
# The program is built in floors: each folder may include its own floor and
# the floors below it, never one above. This walks every #include "..." of
# the product code (tests and benchmarks stand outside the floors and may
# include anything) and lists each include that climbs; it fails when there
# is one. The last line sums up: folders, floors, includes, includes up.
set -euo pipefail
root=${1:-$(cd "$(dirname "$0")/.." && pwd)}
cd "$root"

# The floors, from the ground up. A folder not named here takes the floor of
# the nearest folder above it that is.
declare -A floor=([base]=0 [text]=1 [viewers]=2 [plugins]=2 [components]=3 [settings]=4 [app]=5)
floor_of() {  # floor_of PATH: sets $f to the floor of the folder the file lies in, "" outside the floors
  local dir=${1%/*}
  f=
  while :; do
    if [ -n "${floor[$dir]+set}" ]; then f=${floor[$dir]}; return; fi
    [ "$dir" = "${dir%/*}" ] && return
    dir=${dir%/*}
  done
}

up=0 includes=0
declare -A seen_folders=()
while IFS= read -r file; do
  floor_of "$file"
  from=$f
  [ -n "$from" ] || continue
  seen_folders[${file%/*}]=1
  while IFS= read -r target; do
    includes=$((includes + 1))
    floor_of "$target"
    to=$f
    [ -n "$to" ] || continue
    if [ "$to" -gt "$from" ]; then
      echo "up: $file (floor $from) includes $target (floor $to)"
      up=$((up + 1))
    fi
  done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$file")
done < <(find base text viewers plugins components settings app -type f \( -name '*.cpp' -o -name '*.h' -o -name '*.c' \) 2>/dev/null | LC_ALL=C sort)

levels=$(printf '%s\n' "${floor[@]}" | sort -u | wc -l)
echo "floors: ${#seen_folders[@]} folders on $levels floors, $includes includes, $up running up"
[ "$up" = 0 ]
