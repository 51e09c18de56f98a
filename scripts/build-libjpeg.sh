#!/usr/bin/env bash
# Builds libjpeg-turbo for one MinGW target from Debian's source package, with
# its SIMD (nasm), once: a later call finds the installed tree and returns.
# usage: build-libjpeg.sh TRIPLE DEPS_DIR   -> DEPS_DIR/TRIPLE/{include,lib}
set -euo pipefail
triple=$1
deps=$(realpath -m "$2")
prefix="$deps/$triple"
[ -f "$prefix/lib/libjpeg.a" ] && [ -f "$prefix/include/jpeglib.h" ] && exit 0

src_root="$deps/src"
mkdir -p "$src_root"
# Both targets may be configured at once; only one may fetch the source.
exec 9>"$src_root/.lock"
flock 9
src=$(find "$src_root" -maxdepth 1 -type d -name 'libjpeg-turbo-*' | head -n 1)
if [ -z "$src" ]; then
  (cd "$src_root" && apt-get source -qq libjpeg-turbo >/dev/null 2>&1) || {
    echo "build-libjpeg: 'apt-get source libjpeg-turbo' failed (run scripts/setup.sh first)" >&2
    exit 1
  }
  src=$(find "$src_root" -maxdepth 1 -type d -name 'libjpeg-turbo-*' | head -n 1)
fi
flock -u 9

here=$(cd "$(dirname "$0")/.." && pwd)
case $triple in
  x86_64-*) tc="$here/cmake/mingw-x86_64.cmake" ;;
  i686-*) tc="$here/cmake/mingw-i686.cmake" ;;
  *) echo "build-libjpeg: unknown target $triple" >&2; exit 1 ;;
esac

bld="$deps/build-$triple"
rm -rf "$bld"
cmake -S "$src" -B "$bld" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$tc" \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
  -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=ON -DWITH_SIMD=ON \
  -DREQUIRE_SIMD=ON -DWITH_ARITH_DEC=ON -DWITH_ARITH_ENC=ON \
  -DCMAKE_CROSSCOMPILING_EMULATOR= >"$bld.log" 2>&1 || { tail -n 30 "$bld.log" >&2; exit 1; }
cmake --build "$bld" --target install >>"$bld.log" 2>&1 || { tail -n 30 "$bld.log" >&2; exit 1; }
echo "build-libjpeg: $triple installed in $prefix ($(grep -o 'SIMD extensions: .*' "$bld.log" | head -n 1))"
