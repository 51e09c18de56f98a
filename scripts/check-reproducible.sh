#!/usr/bin/env bash
# bash scripts/check-reproducible.sh [COMMIT]
# Shows that the packages depend on nothing but the commit: two clean clones
# at two different paths build everything (dependencies included) and make
# their packages, the second under a clock three days and five hours ahead;
# their zips must be byte-identical. Takes two full builds (about 20 min);
# not part of the test command.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
commit=${1:-HEAD}
bash "$root/scripts/setup.sh" >/dev/null
command -v faketime >/dev/null || DEBIAN_FRONTEND=noninteractive apt-get install -y -qq faketime >/dev/null

work=$(mktemp -d /tmp/mirabo-reproducible.XXXXXX)
trap 'rm -rf "$work"' EXIT
build() {  # build FOLDER [CLOCK-PREFIX...]
  local dir=$1; shift
  git clone -q "$root" "$dir"
  git -C "$dir" checkout -q "$commit"
  # The sources come first, on the real clock: the package tools check their
  # signatures' dates.
  bash "$dir/scripts/build-deps.sh" --fetch "$dir/build/_deps"
  (cd "$dir" && "$@" bash scripts/package.sh) >"$dir.log" 2>&1 || { tail -n 30 "$dir.log"; exit 1; }
}
echo "reproducible: building $(git -C "$root" rev-parse --short "$commit") in $work/a"
build "$work/a"
echo "reproducible: building it again in $work/elsewhere/b, three days ahead"
mkdir -p "$work/elsewhere"
build "$work/elsewhere/b" faketime -f '+3d5h'
status=0
for zip in "$work"/a/dist/*.zip; do
  name=$(basename "$zip")
  if cmp -s "$zip" "$work/elsewhere/b/dist/$name"; then
    echo "same bytes: $name ($(sha256sum <"$zip" | cut -c1-16))"
  else
    echo "DIFFERENT: $name"
    status=1
  fi
done
if [ "$status" != 0 ]; then
  # Both builds stay for a look at what differs (diffoscope, cmp -l).
  trap - EXIT
  echo "reproducible: both builds kept in $work/a and $work/elsewhere/b"
fi
exit "$status"
