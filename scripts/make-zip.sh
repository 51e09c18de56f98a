#!/usr/bin/env bash
# make-zip.sh PARENT FOLDER OUT.zip EPOCH
# Zips PARENT/FOLDER so that the same files give the same bytes on any
# machine: names in byte order, every time stamp EPOCH (UTC), fixed modes,
# no extra fields, no directory entries.
set -euo pipefail
parent=$1 folder=$2 out=$3 epoch=$4
case $out in /*) ;; *) out="$PWD/$out" ;; esac
rm -f "$out"
find "$parent/$folder" -type d -exec chmod 755 {} + -exec touch -h -d "@$epoch" {} +
find "$parent/$folder" -type f -exec chmod 644 {} + -exec touch -h -d "@$epoch" {} +
(cd "$parent" && find "$folder" -type f | LC_ALL=C sort | TZ=UTC zip -X -D -q -9 "$out" -@)
