#!/usr/bin/env bash
# Builds the libraries the program links statically for one MinGW target from
# Debian's source packages, once: libjpeg-turbo with its SIMD (nasm), then
# libtiff against that libjpeg-turbo and the MinGW zlib (Deflate and
# JPEG-in-TIFF) and the codec libraries Debian's own libtiff has: liblzma,
# libzstd and libwebp; libpng. A later call finds the installed tree and returns.
# usage: build-deps.sh TRIPLE DEPS_DIR   -> DEPS_DIR/TRIPLE/{include,lib}
#        build-deps.sh --fetch DEPS_DIR  only fetches every source package
set -euo pipefail
triple=$1
deps=$(realpath -m "$2")
prefix="$deps/$triple"
here=$(cd "$(dirname "$0")/.." && pwd)
fetch_only=0
case $triple in
  x86_64-*) tc="$here/cmake/mingw-x86_64.cmake" ;;
  i686-*) tc="$here/cmake/mingw-i686.cmake" ;;
  --fetch) fetch_only=1 ;;
  *) echo "build-deps: unknown target $triple" >&2; exit 1 ;;
esac
src_root="$deps/src"
mkdir -p "$src_root"

# fetch PACKAGE DIR_GLOB: the unpacked source tree of a Debian source package
# (Debian's own patches applied). Both targets may be configured at once;
# only one may fetch.
fetch() {
  local package=$1 glob=$2 src
  exec 9>"$src_root/.lock"
  flock 9
  src=$(find "$src_root" -maxdepth 1 -type d -name "$glob" | head -n 1)
  if [ -z "$src" ]; then
    (cd "$src_root" && apt-get source -qq "$package" >/dev/null 2>&1) || {
      echo "build-deps: 'apt-get source $package' failed (run scripts/setup.sh first)" >&2
      exit 1
    }
    src=$(find "$src_root" -maxdepth 1 -type d -name "$glob" | head -n 1)
  fi
  flock -u 9
  printf '%s' "$src"
}

# fetch_pool PACKAGE VERSION DSC_SHA256: the unpacked source tree of a Debian
# source package taken from the archive's pool by its pinned description,
# for a package whose bookworm sources the mirror no longer serves; every
# file is checked against that description.
fetch_pool() {
  local package=$1 version=$2 sum=$3 src dsc pool file
  exec 9>"$src_root/.lock"
  flock 9
  src="$src_root/$package-${version%-*}"
  if [ ! -d "$src" ]; then
    pool="http://deb.debian.org/debian/pool/main/${package:0:4}/$package"
    [ "${package:0:3}" = lib ] || pool="http://deb.debian.org/debian/pool/main/${package:0:1}/$package"
    dsc="${package}_$version.dsc"
    (cd "$src_root" && curl -sfO "$pool/$dsc" && echo "$sum  $dsc" | sha256check &&
      for file in $(awk '/^Checksums-Sha256:/{p=1;next} /^[^ ]/{p=0} p{print $3}' "$dsc"); do
        curl -sfO "$pool/$file" || exit 1
      done &&
      awk '/^Checksums-Sha256:/{p=1;next} /^[^ ]/{p=0} p{print $1"  "$3}' "$dsc" | sha256check &&
      dpkg-source -q -x "$dsc" >/dev/null 2>&1) || {
      echo "build-deps: the $package $version source package could not be fetched or checked" >&2
      exit 1
    }
  fi
  flock -u 9
  printf '%s' "$src"
}
sha256check() { sha256sum --quiet -c -; }

# begin NAME SOURCE RECIPE: what both ways of building share. Sets $bld,
# $epoch and $maps; false when this very recipe is installed already (or
# only sources are fetched). RECIPE may name $maps as @MAPS@.
begin() {
  local name=$1 src=$2
  [ "$fetch_only" = 1 ] && return 1
  bld="$deps/build-$name-$triple"
  epoch=$(dpkg-parsechangelog -l "$src/debian/changelog" -STimestamp)
  maps="-ffile-prefix-map=$src=/usr/src/$name -ffile-prefix-map=$bld=/usr/src/$name-build"
  recipe=${3//@MAPS@/"$maps"}
  if [ -f "$prefix/.built-$name" ] && [ "$(cat "$prefix/.built-$name")" = "$recipe" ]; then
    return 1
  fi
  rm -rf "$bld"
}

# finish NAME: the recipe noted as installed.
finish() {
  printf '%s' "$recipe" >"$prefix/.built-$1"
  echo "build-deps: $1 for $triple installed in $prefix"
}

# build NAME SOURCE CMAKE_ARGS...: configure, build and install into $prefix,
# unless this very recipe was installed there before (a changed recipe builds
# again). Reproducibly: the source and build folders are mapped away in what
# the compiler records, and the libraries' own build dates (libjpeg-turbo
# prints one in its version text) are the Debian source package's date, not
# today's. $subdir: where in the source the project's CMakeLists.txt is;
# $cflags: C flags the recipe adds.
build() {
  local name=$1 src=$2; shift 2
  local bld epoch maps recipe
  local extra="${cflags:+ $cflags}"
  begin "$name" "$src" "$name $(basename "$src")${subdir:+/$subdir} @MAPS@$extra $*" || return 0
  local flags="$maps$extra"
  SOURCE_DATE_EPOCH=$epoch cmake -S "$src${subdir:+/$subdir}" -B "$bld" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$tc" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" \
    -DCMAKE_CROSSCOMPILING_EMULATOR= "$@" >"$bld.log" 2>&1 || { tail -n 30 "$bld.log" >&2; exit 1; }
  SOURCE_DATE_EPOCH=$epoch cmake --build "$bld" --target install >>"$bld.log" 2>&1 || { tail -n 30 "$bld.log" >&2; exit 1; }
  finish "$name"
}

# build_autotools NAME SOURCE CONFIGURE_ARGS...: the same for a library
# built with its configure script, in a folder of its own (the source tree
# is shared by both targets).
build_autotools() {
  local name=$1 src=$2; shift 2
  local bld epoch maps recipe
  begin "$name" "$src" "$name $(basename "$src") autotools @MAPS@ $*" || return 0
  mkdir -p "$bld"
  (cd "$bld" && SOURCE_DATE_EPOCH=$epoch CFLAGS="-O2 $maps" "$src/configure" --host="$triple" --prefix="$prefix" \
    --disable-shared --enable-static "$@" && SOURCE_DATE_EPOCH=$epoch make -j"$(nproc)" && make install) \
    >"$bld.log" 2>&1 || { tail -n 30 "$bld.log" >&2; exit 1; }
  finish "$name"
}

# build_meson NAME SOURCE MESON_ARGS...: the same for a library built with
# Meson, through a cross file for the target.
build_meson() {
  local name=$1 src=$2; shift 2
  local bld epoch maps recipe cpu family cross
  begin "$name" "$src" "$name $(basename "$src") meson nasm-reproducible @MAPS@ $*" || return 0
  case $triple in
    x86_64-*) cpu=x86_64 family=x86_64 ;;
    *) cpu=i686 family=x86 ;;
  esac
  cross="$deps/cross-$triple.ini"
  # nasm stamps each object with the clock unless told not to; the relink
  # kit ships these objects, so they must not depend on the day.
  cat >"$cross" <<CROSS
[binaries]
c = '$triple-gcc-posix'
cpp = '$triple-g++-posix'
ar = '$triple-ar'
strip = '$triple-strip'
windres = '$triple-windres'
nasm = ['nasm', '--reproducible']
[built-in options]
c_args = [$(printf "'%s', " $maps)'-O2']
[host_machine]
system = 'windows'
cpu_family = '$family'
cpu = '$cpu'
endian = 'little'
CROSS
  (SOURCE_DATE_EPOCH=$epoch meson setup "$bld" "$src" --cross-file "$cross" --prefix "$prefix" --libdir lib \
    --buildtype release --default-library static "$@" &&
    SOURCE_DATE_EPOCH=$epoch ninja -C "$bld" install) >"$bld.log" 2>&1 || { tail -n 30 "$bld.log" >&2; exit 1; }
  finish "$name"
}

[ "$fetch_only" = 1 ] || mkdir -p "$prefix"
build libjpeg-turbo "$(fetch libjpeg-turbo 'libjpeg-turbo-*')" \
  -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=ON -DWITH_SIMD=ON \
  -DREQUIRE_SIMD=ON -DWITH_ARITH_DEC=ON -DWITH_ARITH_ENC=ON

# The codecs of today's TIFF files beside the classic ones: LZMA, Zstandard
# and WebP-in-TIFF (libwebp also decodes the program's WebP pictures).
build_autotools xz "$(fetch xz-utils 'xz-utils-*')" --disable-xz --disable-xzdec --disable-lzmadec \
  --disable-lzmainfo --disable-lzma-links --disable-scripts --disable-doc --disable-nls --enable-threads=vista
subdir=build/cmake build zstd "$(fetch libzstd 'libzstd-*')" \
  -DZSTD_BUILD_STATIC=ON -DZSTD_BUILD_SHARED=OFF -DZSTD_BUILD_PROGRAMS=OFF -DZSTD_BUILD_TESTS=OFF \
  -DZSTD_MULTITHREAD_SUPPORT=OFF -DZSTD_LEGACY_SUPPORT=OFF
build libwebp "$(fetch libwebp 'libwebp-*')" \
  -DBUILD_SHARED_LIBS=OFF -DWEBP_BUILD_ANIM_UTILS=OFF -DWEBP_BUILD_CWEBP=OFF -DWEBP_BUILD_DWEBP=OFF \
  -DWEBP_BUILD_GIF2WEBP=OFF -DWEBP_BUILD_IMG2WEBP=OFF -DWEBP_BUILD_VWEBP=OFF -DWEBP_BUILD_WEBPINFO=OFF \
  -DWEBP_BUILD_WEBPMUX=OFF -DWEBP_BUILD_EXTRAS=OFF

# libpng: PNG pixels inside bitmap files.
build libpng "$(fetch libpng1.6 'libpng1.6-*')" \
  -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_EXECUTABLES=OFF -DPNG_TESTS=OFF \
  -DZLIB_INCLUDE_DIR="/usr/$triple/include" -DZLIB_LIBRARY="/usr/$triple/lib/libz.a"

# Every codec Debian's libtiff has but JBIG (jbigkit is GPL) and LERC;
# nothing else may be found on the build machine by accident. The static
# liblzma is declared so (its header would import it from a DLL).
cflags=-DLZMA_API_STATIC build libtiff "$(fetch tiff 'tiff-*')" \
  -DBUILD_SHARED_LIBS=OFF -Dtiff-tools=OFF -Dtiff-tests=OFF -Dtiff-contrib=OFF \
  -Dtiff-docs=OFF -Dcxx=OFF -Dtiff-opengl=OFF -Dwin32-io=ON \
  -Dzlib=ON -Djpeg=ON -Dold-jpeg=ON -Djbig=OFF -Dlzma=ON -Dzstd=ON -Dwebp=ON \
  -Dlerc=OFF -Dlibdeflate=OFF -Dpixarlog=ON -Djpeg12=OFF \
  -DZLIB_USE_STATIC_LIBS=ON -DZLIB_INCLUDE_DIR="/usr/$triple/include" \
  -DZLIB_LIBRARY="/usr/$triple/lib/libz.a" \
  -DJPEG_INCLUDE_DIR="$prefix/include" -DJPEG_LIBRARY="$prefix/lib/libjpeg.a" \
  -DLIBLZMA_INCLUDE_DIR="$prefix/include" -DLIBLZMA_LIBRARY="$prefix/lib/liblzma.a" \
  -DZSTD_INCLUDE_DIR="$prefix/include" -DZSTD_LIBRARY="$prefix/lib/libzstd.a" \
  -DWebP_INCLUDE_DIR="$prefix/include" -DWebP_LIBRARY="$prefix/lib/libwebp.a"

# Little CMS 2: colour management of photos (their embedded profiles).
build_autotools lcms2 "$(fetch lcms2 'lcms2-*')" --without-jpeg --without-tiff --without-zlib

# The HEIF plug-in: libheif with its HEVC decoder libde265, nothing else: no
# encoders, no plug-in loading. libheif and libde265 are LGPL: the packages
# carry what relinking the plug-in needs (scripts/package.sh).
cflags=-DLIBDE265_STATIC_BUILD build libde265 "$(fetch libde265 'libde265-*')" \
  -DBUILD_SHARED_LIBS=OFF -DENABLE_SDL=OFF -DENABLE_DECODER=OFF -DENABLE_ENCODER=OFF
cflags=-DLIBDE265_STATIC_BUILD build libheif "$(fetch libheif 'libheif-*')" \
  -DBUILD_SHARED_LIBS=OFF -DENABLE_PLUGIN_LOADING=OFF -DWITH_EXAMPLES=OFF -DBUILD_TESTING=OFF \
  -DWITH_GDK_PIXBUF=OFF -DWITH_FUZZERS=OFF -DWITH_X265=OFF -DWITH_AOM_ENCODER=OFF -DWITH_AOM_DECODER=OFF \
  -DWITH_RAV1E=OFF -DWITH_SvtEnc=OFF -DWITH_JPEG_DECODER=OFF -DWITH_JPEG_ENCODER=OFF \
  -DWITH_OpenJPEG_DECODER=OFF -DWITH_OpenJPEG_ENCODER=OFF -DWITH_LIBDE265=ON -DWITH_DAV1D=OFF \
  -DLIBDE265_INCLUDE_DIR="$prefix/include" -DLIBDE265_LIBRARY="$prefix/lib/libde265.a" \
  -DPKG_CONFIG_EXECUTABLE=/bin/false

# The AVIF plug-in: libavif with the AV1 decoder dav1d (with its assembly,
# nasm), nothing else: no encoders, no libyuv. The mirror serves libavif's
# source only in the version of Debian's development branch.
build_meson dav1d "$(fetch dav1d 'dav1d-*')" -Denable_tools=false -Denable_tests=false \
  -Denable_examples=false -Denable_docs=false -Denable_asm=true -Dbitdepths=8,16 -Dlogging=false
build libavif "$(fetch_pool libavif 1.4.2-1 8ca9c8483159e7ca05d23df8ad625408e725303a5e57f1785dd6b76262001a7a)" \
  -DBUILD_SHARED_LIBS=OFF -DAVIF_CODEC_DAV1D=SYSTEM -DAVIF_CODEC_AOM=OFF -DAVIF_LIBYUV=OFF \
  -DAVIF_LIBSHARPYUV=OFF -DAVIF_LIBXML2=OFF -DAVIF_ZLIBPNG=OFF -DAVIF_JPEG=OFF -DAVIF_BUILD_APPS=OFF \
  -DAVIF_BUILD_TESTS=OFF -DAVIF_BUILD_EXAMPLES=OFF \
  -DDAV1D_INCLUDE_DIR="$prefix/include" -DDAV1D_LIBRARY="$prefix/lib/libdav1d.a" \
  -DPKG_CONFIG_EXECUTABLE=/bin/false
