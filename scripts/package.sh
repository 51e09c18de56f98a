#!/usr/bin/env bash
# Builds both programs in release mode and writes the packages to dist/:
#   mirabo-VERSION-x64.zip, mirabo-VERSION-x86.zip  unpack anywhere and run
#   mirabo-VERSION-x64.msi, mirabo-VERSION-x86.msi  per-user installers
# VERSION is the project's major.minor (CMakeLists.txt). The zips are
# byte-identical when made twice from the same commit.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/setup.sh >/dev/null

mkdir -p build/logs dist
for preset in x86_64-release i686-release; do
  { cmake --preset "$preset" && cmake --build --preset "$preset"; } >"build/logs/package-$preset.log" 2>&1 ||
    { tail -n 40 "build/logs/package-$preset.log"; echo "package: the $preset build failed" >&2; exit 1; }
done

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/release-x86_64/CMakeCache.txt)
short=${version%.*}
# Every time stamp in the zips: the commit's time, so a rebuild of the same
# commit gives the same bytes.
epoch=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || echo 1767225600)}

# license.txt: ours, then the notices of what is linked into the programs.
license() {
  local deps=build/_deps/src
  {
    cat LICENSE.txt
    printf '\n\n========================================================================\n'
    printf 'Mirabo includes the following third-party software.\n'
    section() {
      printf '\n\n========================================================================\n%s\n' "$1"
      printf '========================================================================\n\n'
      shift
      cat "$@"
    }
    section "libjpeg-turbo" "$(find $deps -maxdepth 2 -path '*libjpeg-turbo-*/LICENSE.md' | head -n 1)" \
      "$(find $deps -maxdepth 2 -path '*libjpeg-turbo-*/README.ijg' | head -n 1)"
    section "LibTIFF" "$(find $deps -maxdepth 2 -path '*tiff-*/LICENSE.md' | head -n 1)"
    section "libpng" "$(find $deps -maxdepth 2 -path '*libpng1.6-*/LICENSE' | head -n 1)"
    section "Little CMS" "$(find $deps -maxdepth 2 -path '*lcms2-*/COPYING' | head -n 1)"
    section "liblzma (XZ Utils)" "$(find $deps -maxdepth 2 -path '*xz-utils-*/COPYING' | head -n 1)"
    section "Zstandard" "$(find $deps -maxdepth 2 -path '*libzstd-*/LICENSE' | head -n 1)"
    section "libwebp" "$(find $deps -maxdepth 2 -path '*libwebp-*/COPYING' | head -n 1)" \
      "$(find $deps -maxdepth 2 -path '*libwebp-*/PATENTS' | head -n 1)"
    section "libheif (GNU LGPL 3 or later; see the note at the end)" \
      "$(find $deps -maxdepth 2 -path '*libheif-*/COPYING' | head -n 1)"
    section "libde265 (GNU LGPL 3 or later; see the note at the end)" \
      "$(find $deps -maxdepth 2 -path '*libde265-*/COPYING' | head -n 1)"
    section "libavif" "$(find $deps -maxdepth 2 -path '*libavif-*/LICENSE' | head -n 1)"
    section "dav1d" "$(find $deps -maxdepth 2 -path '*dav1d-*/COPYING' | head -n 1)"
    section "zlib" /usr/share/doc/libz-mingw-w64-dev/copyright
    section "MinGW-w64 runtime and winpthreads" /usr/share/doc/mingw-w64-common/copyright
    printf '\n\n========================================================================\n'
    printf 'The HEIF plug-in and the GNU LGPL\n'
    printf '========================================================================\n\n'
    printf '%s\n' "The HEIF plug-in (mirabo_heif) contains libheif and libde265, linked" \
      "statically. mirabo-$short-lgpl.zip, published with every release beside the" \
      "programs, holds the source of both libraries as built (Debian's source" \
      "packages), the plug-in's own object files and the other libraries it links," \
      "and relink.sh, which links the plug-in again: with a modified libheif or" \
      "libde265 you can make your own plug-in. The full text of" \
      "the GNU LGPL 3 and GPL 3 is in that archive, and at https://www.gnu.org/licenses/."
  } | sed 's/\r$//; s/$/\r/'
}

# readme.txt: Japanese, Shift-JIS (CP932), CR LF.
readme() {  # readme ARCH
  local arch=$1 arch_ja plugins hosts
  if [ "$arch" = x64 ]; then
    arch_ja="64 ビット版"
    plugins='64 ビット版は「*.sph」(64 ビットのプラグイン)と「*.spi」(32 ビットの
プラグイン)の両方を使えます。プラグインは Mirabo とは別のプロセスで動くので、
あるファイルでプラグインが異常終了しても、そのファイルが表示できないだけで
Mirabo は終了しません。読み込みを待っている間は Esc キーで中止できます。'
    hosts='  mirabo_sph_host.exe    64 ビットのプラグインを動かす補助プログラム
  mirabo_spi_host.exe    32 ビットのプラグインを動かす補助プログラム
'
  else
    arch_ja="32 ビット版"
    plugins='32 ビット版は「*.spi」のプラグインを使います。'
    hosts=''
  fi
  local ext=$([ "$arch" = x64 ] && echo sph || echo spi)
  local decoders="  PNG    (*.png)               mirabo_png.$ext   libpng による
  WebP   (*.webp)              mirabo_webp.$ext  libwebp による
  HEIC   (*.heic;*.heif;*.hif) mirabo_heif.$ext  libheif と libde265 による
  AVIF   (*.avif;*.avifs)      mirabo_avif.$ext  libavif と dav1d による"
  local decoder_files="  mirabo_png.$ext         PNG のプラグイン
  mirabo_webp.$ext        WebP のプラグイン
  mirabo_heif.$ext        HEIC/HEIF のプラグイン
  mirabo_avif.$ext        AVIF のプラグイン
"
  awk -v version="$version" -v short="$short" -v arch="$arch" -v arch_ja="$arch_ja" \
      -v plugins="$plugins" -v hosts="$hosts" -v decoders="$decoders" -v decoder_files="$decoder_files" '
    { gsub(/@VERSION@/, version); gsub(/@VERSION_SHORT@/, short); gsub(/@ARCH@/, arch); gsub(/@ARCH_JA@/, arch_ja) }
    /^@PLUGINS_JA@$/ { print plugins; next }
    /^@DECODERS_JA@$/ { print decoders; next }
    /^@HOSTS_JA@/ { sub(/^@HOSTS_JA@/, ""); printf "%s", hosts }
    /^@DECODER_FILES_JA@/ { sub(/^@DECODER_FILES_JA@/, ""); printf "%s", decoder_files }
    { print }' packaging/readme.txt |
    iconv -f UTF-8 -t CP932 | sed 's/$/\r/'
}

# ship TRIPLE EXE FOLDER ARCH: the executable without its symbols into the
# package folder; the symbols stay in build/symbols/ARCH, out of the packages,
# linked by name so a debugger beside them finds them.
ship() {
  local triple=$1 exe=$2 dir=$3 arch=$4 name
  name=$(basename "$exe")
  mkdir -p "build/symbols/$arch"
  # objcopy stamps the PE header with the time unless told a date: the
  # executables carry none, as linked.
  SOURCE_DATE_EPOCH=0 "$triple-objcopy" --only-keep-debug "$exe" "build/symbols/$arch/$name.debug"
  SOURCE_DATE_EPOCH=0 "$triple-objcopy" --strip-all --add-gnu-debuglink="build/symbols/$arch/$name.debug" "$exe" "$dir/$name"
}

stage() {  # stage ARCH BUILD_DIR FOLDER: the program folder of one package
  local arch=$1 build=$2 dir=build/package/$arch/$3 triple=x86_64-w64-mingw32
  [ "$arch" = x86 ] && triple=i686-w64-mingw32
  rm -rf "build/package/$arch" "build/symbols/$arch"
  mkdir -p "$dir"
  ship "$triple" "$build/app/mirabo.exe" "$dir" "$arch"
  cp -r app/res/mirabo_help "$dir/mirabo_help"
  local ext=sph
  [ "$arch" = x86 ] && ext=spi
  for d in png webp heif avif; do ship "$triple" "$build/app/mirabo_$d.$ext" "$dir" "$arch"; done
  if [ "$arch" = x64 ]; then
    ship x86_64-w64-mingw32 build/release-x86_64/app/mirabo_sph_host.exe "$dir" "$arch"
    ship i686-w64-mingw32 build/release-i686/app/mirabo_spi_host.exe "$dir" "$arch"
  fi
  readme "$arch" >"$dir/readme.txt"
  license >"$dir/license.txt"
}

for arch in x64 x86; do
  build=build/release-x86_64
  [ "$arch" = x86 ] && build=build/release-i686
  folder="mirabo-$short-$arch"
  stage "$arch" "$build" "$folder"
  bash scripts/make-zip.sh "build/package/$arch" "$folder" "dist/$folder.zip" "$epoch"
  bash scripts/make-msi.sh "build/package/$arch/$folder" "$arch" "$version" "dist/$folder.msi" \
    >"build/logs/package-msi-$arch.log" 2>&1 ||
    { cat "build/logs/package-msi-$arch.log"; echo "package: the $arch installer failed" >&2; exit 1; }
  echo "package: dist/$folder.zip dist/$folder.msi"
done

# The LGPL relink kit: libheif and libde265 are linked into the HEIF plug-in
# statically, so the release carries what the LGPL asks for relinking it: those libraries' source as built (Debian's source
# packages; the recipe is scripts/build-deps.sh), the plug-in's own object
# files, the other libraries it links, and the link command.
kit_name="mirabo-$short-lgpl"
kit=build/package/lgpl/$kit_name
rm -rf build/package/lgpl
mkdir -p "$kit/src"
for package in libheif libde265; do
  cp build/_deps/src/"$package"_*.dsc build/_deps/src/"$package"_*.orig.tar.* build/_deps/src/"$package"_*.debian.tar.* "$kit/src/"
done
cp scripts/build-deps.sh "$kit/src/"
cp /usr/share/common-licenses/LGPL-3 "$kit/LGPL-3.txt"
cp /usr/share/common-licenses/GPL-3 "$kit/GPL-3.txt"
for arch in x64 x86; do
  triple=x86_64-w64-mingw32 build=build/release-x86_64 ext=sph
  [ "$arch" = x86 ] && triple=i686-w64-mingw32 build=build/release-i686 ext=spi
  for part in heif_code susie; do
    mkdir -p "$kit/$arch/obj/$part"
    find "$build/plugins/decoders/CMakeFiles/mirabo_$part.dir" -name '*.obj' -exec cp {} "$kit/$arch/obj/$part/" \;
    "$triple-strip" --strip-debug "$kit/$arch/obj/$part"/*.obj
  done
  mkdir -p "$kit/$arch/lib"
  for lib in liblcms2 libheif libde265; do cp "build/_deps/$triple/lib/$lib.a" "$kit/$arch/lib/"; done
done
cat >"$kit/relink.sh" <<'RELINK'
#!/bin/sh
# Links Mirabo's HEIF plug-in again from its object files, with
# the libheif and libde265 in x64/lib and x86/lib (replace those with your
# own builds). Needs Debian's MinGW-w64 compilers (g++-mingw-w64-x86-64-posix,
# g++-mingw-w64-i686-posix). Writes out/x64/*.sph and out/x86/*.spi.
set -eu
cd "$(dirname "$0")"
for arch in x64 x86; do
  triple=x86_64-w64-mingw32 ext=sph
  [ "$arch" = x86 ] && triple=i686-w64-mingw32 ext=spi
  mkdir -p "out/$arch"
  "$triple-g++-posix" -shared -static -static-libgcc -static-libstdc++ -Wl,--kill-at -s \
    -o "out/$arch/mirabo_heif.$ext" "$arch"/obj/heif_code/*.obj "$arch"/obj/susie/*.obj \
    "$arch/lib/liblcms2.a" "$arch/lib/libheif.a" "$arch/lib/libde265.a"
done
echo "relink: out/x64 and out/x86"
RELINK
chmod +x "$kit/relink.sh"
printf '%s\r\n' "Mirabo $version: relinking the HEIF plug-in (GNU LGPL 3)" "" \
  "src/       libheif and libde265 as built (Debian source packages) and the recipe" \
  "x64/, x86/ the plug-ins' object files (obj/) and the libraries they link (lib/)" \
  "sh relink.sh  links mirabo_heif again; replace lib/libheif.a or" \
  "              lib/libde265.a with your own build of them first" >"$kit/README.txt"
bash scripts/make-zip.sh build/package/lgpl "$kit_name" "dist/$kit_name.zip" "$epoch"
echo "package: dist/$kit_name.zip"
