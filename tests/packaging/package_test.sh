#!/usr/bin/env bash
# package_test.sh ROOT START_AND_CLOSE.exe
# Checks what scripts/package.sh left in ROOT/dist: the zips' contents and
# the read-me's encoding, the installers' tables, and, under 64-bit Wine in a
# prefix of its own, the x64 installer's whole life: an older version
# installed and run, upgraded in place, the program started from its folder
# and closed, uninstalled. Exit 77 (skipped) when nothing has been packaged.
set -uo pipefail
root=$1 helper=$2
dist=$root/dist
version=$(sed -n 's/^project(mirabo VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
short=${version%.*}
if [ ! -f "$dist/mirabo-$short-x64.zip" ]; then
  echo "package_test: no packages in $dist (make them with: bash scripts/package.sh)"
  exit 77
fi

failures=0
has_utf16() {  # has_utf16 FILE TEXT: "yes" when FILE holds TEXT in UTF-16LE
  local re
  re=$(printf '%s' "$2" | iconv -f UTF-8 -t UTF-16LE | od -An -tx1 -v | tr -s ' \n' ' ' | sed 's/^ //; s/ $//; s/ /\\x/g; s/^/\\x/')
  LC_ALL=C grep -q -a -P "$re" "$1" && echo yes || echo no
}
check() {  # check WHAT ACTUAL EXPECTED
  if [ "$2" == "$3" ]; then
    echo "ok   $1"
  else
    printf 'FAIL %s\n  actual:   %s\n  expected: %s\n' "$1" "$2" "$3"
    failures=$((failures + 1))
  fi
}
work=$(mktemp -d)
cleanup() { rm -rf "$work"; }
trap cleanup EXIT

# --- The zips -----------------------------------------------------------------
for arch in x64 x86; do
  folder=mirabo-$short-$arch
  zip=$dist/$folder.zip
  ext=$([ $arch = x64 ] && echo sph || echo spi)
  expected="$folder/license.txt $folder/mirabo.exe $folder/mirabo_avif.$ext $folder/mirabo_heif.$ext $folder/mirabo_help/help.htm $folder/mirabo_png.$ext"
  [ $arch = x64 ] && expected="$expected $folder/mirabo_sph_host.exe $folder/mirabo_spi_host.exe"
  expected="$expected $folder/mirabo_webp.$ext"
  expected="$expected $folder/readme.txt"
  check "$arch zip: files" "$(unzip -Z1 "$zip" | LC_ALL=C sort | tr '\n' ' ' | sed 's/ $//')" "$expected"
  mkdir -p "$work/$arch" && unzip -q "$zip" -d "$work/$arch"
  dir=$work/$arch/$folder

  readme=$dir/readme.txt
  check "$arch readme: no byte-order mark" "$(head -c 3 "$readme" | od -An -tx1 | tr -d ' ' | sed 's/^efbbbf$/UTF-8 BOM/')" 4d6972
  iconv -f CP932 -t UTF-8 "$readme" >"$work/readme-$arch.utf8" 2>/dev/null
  check "$arch readme: reads as CP932" "$?" 0
  iconv -f UTF-8 -t UTF-8 "$readme" >/dev/null 2>&1
  check "$arch readme: is not UTF-8" "$?" 1
  for line in "■ インストール" "■ キー操作" "■ プラグイン" "■ 設定の保存場所" "■ アンインストール" \
      "mirabo.ini は消さずに残します" "%LOCALAPPDATA%\\Programs\\Mirabo" "mirabo-$short-$arch.zip"; do
    check "$arch readme: has \"$line\"" "$(grep -cF -- "$line" "$work/readme-$arch.utf8" | sed 's/^[1-9][0-9]*$/yes/')" yes
  done
  check "$arch readme: no placeholder left" "$(grep -c '@[A-Z_]*@' "$work/readme-$arch.utf8")" 0
  for f in readme.txt license.txt; do
    check "$arch $f: every line ends CR LF" \
      "$(LC_ALL=C awk '!/\r$/ { n++ } END { print n + 0 }' "$dir/$f") $(tail -c 2 "$dir/$f" | od -An -tx1 | tr -d ' ')" \
      "0 0d0a"
  done

  # Same bytes on every build: no link time stamp in the executables, and a
  # zip that does not depend on the files' order or times on disk.
  for exe in "$dir"/*.exe; do
    pe=$(od -An -tu4 -j 60 -N 4 "$exe" | tr -d ' ')
    check "$arch $(basename "$exe"): no link time stamp" "$(od -An -tu4 -j $((pe + 8)) -N 4 "$exe" | tr -d ' ')" 0
    for text in "ProductName" "Mirabo" "$version"; do
      check "$arch $(basename "$exe"): version resource has \"$text\"" \
        "$(has_utf16 "$exe" "$text")" yes
    done
  done
  check "$arch mirabo.exe: Japanese description" \
    "$(has_utf16 "$dir/mirabo.exe" 'Mirabo ファイル ビューア')" yes
  # The decoder plug-ins: one self-contained file each, the interface's
  # five calls under their plain names, listed in the readme.
  triple=$([ $arch = x64 ] && echo x86_64-w64-mingw32 || echo i686-w64-mingw32)
  for d in png webp heif avif; do
    plugin=$dir/mirabo_$d.$ext
    check "$arch mirabo_$d.$ext: needs only system DLLs" \
      "$(LC_ALL=C "$triple-objdump" -p "$plugin" | sed -n 's/^\tDLL Name: //p' | LC_ALL=C sort | tr '\n' ' ')" "KERNEL32.dll msvcrt.dll "
    check "$arch mirabo_$d.$ext: exports" \
      "$(LC_ALL=C "$triple-objdump" -p "$plugin" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | awk 'NR > 1 && NF { print $NF }' | tr '\n' ' ')" \
      "GetPicture GetPictureInfo GetPluginInfo GetPreview IsSupported "
    check "$arch readme: names mirabo_$d.$ext" "$(grep -c "mirabo_$d\.$ext" "$work/readme-$arch.utf8" | sed 's/^[1-9][0-9]*$/yes/')" yes
  done
  cp -r "$dir" "$work/again-$arch"
  touch -d '2001-02-03 04:05:06' "$work/again-$arch/readme.txt"
  bash "$root/scripts/make-zip.sh" "$work/$arch" "$folder" "$work/a.zip" 1700000000
  # The second copy made in the opposite order with other times.
  mkdir -p "$work/rev/$folder"
  for f in $(cd "$dir" && find . -type f | LC_ALL=C sort -r); do
    mkdir -p "$(dirname "$work/rev/$folder/$f")" && cp "$dir/$f" "$work/rev/$folder/$f"
  done
  bash "$root/scripts/make-zip.sh" "$work/rev" "$folder" "$work/b.zip" 1700000000
  cmp -s "$work/a.zip" "$work/b.zip"
  check "$arch zip: same bytes from files made in another order and time" "$?" 0
  rm -rf "$work/rev" "$work/a.zip" "$work/b.zip"
done

# --- The LGPL relink kit -------------------------------------------------------------
kit=mirabo-$short-lgpl
mkdir -p "$work/kit" && unzip -q "$dist/$kit.zip" -d "$work/kit"
check "lgpl kit: the libraries' sources" \
  "$(cd "$work/kit/$kit/src" && ls | grep -cE '^(libheif|libde265)_.*(\.dsc|orig\.tar\..*|debian\.tar\..*)$')" 6
check "lgpl kit: licence texts" "$(ls "$work/kit/$kit" | grep -c -- '-3.txt$')" 2
(cd "$work/kit/$kit" && sh relink.sh >/dev/null 2>&1)
check "lgpl kit: relink.sh links the plug-in again" "$?" 0
for arch in x64 x86; do
  ext=$([ $arch = x64 ] && echo sph || echo spi)
  triple=$([ $arch = x64 ] && echo x86_64-w64-mingw32 || echo i686-w64-mingw32)
  check "lgpl kit: relinked $arch mirabo_heif.$ext exports GetPicture" \
    "$(LC_ALL=C "$triple-objdump" -p "$work/kit/$kit/out/$arch/mirabo_heif.$ext" 2>/dev/null | grep -cw GetPicture)" 1
done

# --- The installers' tables -------------------------------------------------------
table() { msiinfo export "$1" "$2" | tail -n +4 | tr -d '\r'; }  # the rows, without the three header lines
for arch in x64 x86; do
  msi=$dist/mirabo-$short-$arch.msi
  template=$([ $arch = x64 ] && echo x64 || echo Intel)
  check "$arch msi: platform and language" "$(msiinfo suminfo "$msi" | sed -n 's/^Template: //p')" "$template;1041"
  # Word count 10: compressed (2) and no elevation needed (8).
  check "$arch msi: per-user, no elevation" "$(msiinfo suminfo "$msi" | sed -n 's/^Source: \([0-9]*\).*/\1/p')" 10
  files=$(table "$msi" File | cut -f3 | LC_ALL=C sort | tr '\n' ' ')
  ext=$([ $arch = x64 ] && echo sph || echo spi)
  expected="help.htm license.txt mirabo.exe mirabo_avif.$ext mirabo_heif.$ext mirabo_png.$ext "
  [ $arch = x64 ] && expected="${expected}mirabo_sph_host.exe mirabo_spi_host.exe "
  check "$arch msi: files" "$files" "${expected}mirabo_webp.$ext readme.txt "
  check "$arch msi: install folder" \
    "$(table "$msi" Directory | awk -F'\t' '{ print $1 "<" $2 ">" $3 }' | grep -E '^(INSTALLDIR|ProgramsDir)<' | LC_ALL=C sort | tr '\n' ' ')" \
    "INSTALLDIR<ProgramsDir>Mirabo ProgramsDir<LocalAppDataFolder>Programs "
  check "$arch msi: Start-menu shortcut" "$(table "$msi" Shortcut | awk -F'\t' '{ print $2 "|" $3 "|" $5 }')" \
    "ProgramMenuFolder|Mirabo|[INSTALLDIR]mirabo.exe"
  registry=$(table "$msi" Registry)
  check "$arch msi: only the user's registry" "$(printf '%s\n' "$registry" | cut -f2 | sort -u)" 1
  check "$arch msi: open command" \
    "$(printf '%s\n' "$registry" | awk -F'\t' '$3 == "Software\\Classes\\Applications\\mirabo.exe\\shell\\open\\command" { print $5 }')" \
    '"[INSTALLDIR]mirabo.exe" "%1"'
  check "$arch msi: no default taken over" \
    "$(printf '%s\n' "$registry" | awk -F'\t' '$3 ~ /^Software\\Classes\\\./ && $3 !~ /\\OpenWithProgids$/' | wc -l)" 0
  for t in .jpg .bmp .tif .htm .mp3 .txt; do
    check "$arch msi: offered for $t" \
      "$(printf '%s\n' "$registry" | awk -F'\t' -v t="$t" '($3 ~ /SupportedTypes$/ && $4 == t) || ($3 == "Software\\Classes\\" t "\\OpenWithProgids" && $4 == "Mirabo.File")' | wc -l)" 2
  done
  # One family: the same upgrade code for both, and the same version counts
  # as one to replace (512 version-max inclusive, with 1 migrate features).
  check "$arch msi: replaces older and same versions of either architecture" \
    "$(table "$msi" Upgrade | awk -F'\t' '$7 == "WIX_UPGRADE_DETECTED" { print $1, $3, $5 }')" \
    "{8D3B6E02-5C1A-4F1E-9A57-2B6C0E4D7A11} $version 513"
  check "$arch msi: refuses a downgrade in Japanese" \
    "$(table "$msi" LaunchCondition | cut -f2 | grep -c '^新しいバージョンの Mirabo がすでにインストールされています。')" 1
  check "$arch msi: a progress and a finish notice" \
    "$(table "$msi" InstallUISequence | awk -F'\t' '$1 ~ /Dlg$|Dialog$/ { print $1 "@" $3 }' | LC_ALL=C sort | tr '\n' ' ')" \
    "ExitDialog@-1 ProgressDlg@1299 "
done
check "x64 and x86 msi: different products" \
  "$(for a in x64 x86; do table "$dist/mirabo-$short-$a.msi" Property | awk -F'\t' '$1 == "ProductCode" { print $2 }'; done | sort -u | wc -l)" 2

# --- The x64 installer under Wine ---------------------------------------------------
export WINEPREFIX=$root/build/wineprefix-package
source "$root/scripts/wine-env.sh"
rm -rf "$WINEPREFIX"
mkdir -p "$WINEPREFIX"
[ -n "${DISPLAY:-}" ] || mirabo_ensure_display
cleanup() {
  "$WINESERVER" -k 2>/dev/null
  [ -n "${MIRABO_XVFB_PID:-}" ] && kill "$MIRABO_XVFB_PID" 2>/dev/null
  rm -rf "$work"
}
"$WINE" wineboot -i >/dev/null 2>&1
# Everything on a virtual desktop: without a window manager each window shown
# on the X display waits for events that never come.
printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Wine\\Explorer]\r\n"Desktop"="Package"\r\n\r\n[HKEY_CURRENT_USER\\Software\\Wine\\Explorer\\Desktops]\r\n"Package"="1024x768"\r\n' >"$work/desktop.reg"
"$WINE" regedit /S "$(winepath_w "$work/desktop.reg")" >/dev/null 2>&1
localappdata=$("$WINE" cmd /c 'echo %LOCALAPPDATA%' 2>/dev/null | tr -d '\r')
installed_w="$localappdata\\Programs\\Mirabo"
installed=$("$WINE" winepath -u "$installed_w" 2>/dev/null)
shortcut="$("$WINE" winepath -u "$("$WINE" cmd /c 'echo %APPDATA%' 2>/dev/null | tr -d '\r')" 2>/dev/null)/Microsoft/Windows/Start Menu/Programs/Mirabo.lnk"
listing() { (cd "$installed" 2>/dev/null && find . -mindepth 1 | LC_ALL=C sort | tr '\n' ' '); }
regvalue() {  # regvalue KEY [NAME]: "TYPE DATA" of the value (the default without NAME), or "(none)"
  local out
  if [ $# = 1 ]; then out=$("$WINE" reg query "$1" /ve 2>/dev/null); else out=$("$WINE" reg query "$1" /v "$2" 2>/dev/null); fi
  out=$(printf '%s\n' "$out" | tr -d '\r' | LC_ALL=C sed -n 's/^.*\(REG_[A-Z_]*\) *\(.*\)$/\1 \2/p' | sed 's/ *$//')
  printf '%s\n' "${out:-(none)}"
}
msiexec() { "$WINE" msiexec "$@" /qn >/dev/null 2>&1; }
# The family's products installed for the user, by the installer's own records.
products() {
  "$WINE" reg query 'HKCU\Software\Microsoft\Installer\UpgradeCodes\20E6B3D8A1C5E1F4A975B2C6E0D4A711' 2>/dev/null |
    tr -d '\r' | grep -E '^ +[0-9A-F]{32} ' || true
}
apps='HKCU\Software\Classes\Applications\mirabo.exe'

# An older version with a file the new one no longer has.
mkdir -p "$work/old"
cp -r "$work/x64/mirabo-$short-x64/." "$work/old/"
echo "old" >"$work/old/dropped-in-0.88.txt"
bash "$root/scripts/make-msi.sh" "$work/old" x64 0.88.0 "$work/old.msi" >"$work/old-msi.log" 2>&1
check "older installer made" "$?" 0
msiexec /i "$(winepath_w "$work/old.msi")"
check "older version installed" "$(listing | grep -c dropped-in-0.88.txt)" 1
"$WINE" "$(winepath_w "$helper")" "$installed_w\\mirabo.exe"
check "older version started and closed" "$?" 0
echo "user's settings" >>"$installed/mirabo.INI"

msiexec /i "$(winepath_w "$dist/mirabo-$short-x64.msi")"
check "upgrade: msiexec /i" "$?" 0
check "upgrade: installed files" "$(listing)" \
  "./license.txt ./mirabo.INI ./mirabo.exe ./mirabo_avif.sph ./mirabo_heif.sph ./mirabo_help ./mirabo_help/help.htm ./mirabo_png.sph ./mirabo_sph_host.exe ./mirabo_spi_host.exe ./mirabo_webp.sph ./readme.txt "
check "upgrade: the user's settings kept" "$(tail -n 1 "$installed/mirabo.INI")" "user's settings"
rm -f "$installed/mirabo.INI"
"$WINE" "$(winepath_w "$helper")" "$installed_w\\mirabo.exe"
check "installed program started from its folder and closed" "$?" 0
check "settings written beside the program" "$(test -s "$installed/mirabo.INI" && echo yes)" yes
check "Start-menu shortcut" "$(test -f "$shortcut" && echo yes)" yes
check "Open with: command" "$(regvalue "$apps\\shell\\open\\command")" \
  "REG_SZ \"$installed_w\\mirabo.exe\" \"%1\""
check "Open with: name" "$(regvalue "$apps" FriendlyAppName)" "REG_SZ Mirabo"
check "Open with: .jpg supported" "$(regvalue "$apps\\SupportedTypes" .jpg)" "REG_SZ"
check "Open with: .jpg submenu" "$(regvalue 'HKCU\Software\Classes\.jpg\OpenWithProgids' Mirabo.File)" "REG_SZ"

# A rebuild of the same version with other contents: a new product of the
# family that replaces the installed one (no "another version" refusal).
mkdir -p "$work/rebuilt"
cp -r "$work/x64/mirabo-$short-x64/." "$work/rebuilt/"
echo "rebuilt" >"$work/rebuilt/rebuilt.txt"
bash "$root/scripts/make-msi.sh" "$work/rebuilt" x64 "$version" "$work/rebuilt.msi" >"$work/rebuilt-msi.log" 2>&1
msiexec /i "$(winepath_w "$work/rebuilt.msi")"
check "same version rebuilt: installs over it" "$?" 0
check "same version rebuilt: its files" "$(listing | grep -c rebuilt.txt)" 1
msiexec /i "$(winepath_w "$dist/mirabo-$short-x64.msi")"
check "same version again: installs over the rebuild" "$?" 0
check "same version again: one product installed" "$(products | wc -l)" 1

# An older version is refused, in Japanese, and changes nothing. As a user
# would: a double-click, the full interface, the notice answered.
answer() {  # answer BUTTON MSI: install with the full interface, clicking BUTTON in what it shows
  "$WINE" "$(winepath_w "$helper")" /answer "$1" "msiexec /i $(winepath_w "$2")" 2>&1 | tr -d '\r'
}
refusal=$(answer OK "$work/old.msi"; echo "rc=${PIPESTATUS[0]}")
check "downgrade: refused with the Japanese reason" \
  "$(printf '%s\n' "$refusal" | grep -cxF '新しいバージョンの Mirabo がすでにインストールされています。古いバージョンをインストールするには、先に新しいバージョンをアンインストールしてください。')" 1
check "downgrade: nothing changed" "$(listing | grep -c dropped-in-0.88.txt) $(products | wc -l)" "0 1"

# The 32-bit package of the same version replaces the 64-bit one.
msiexec /i "$(winepath_w "$dist/mirabo-$short-x86.msi")"
check "x86 over x64: installs" "$?" 0
check "x86 over x64: one product installed" "$(products | wc -l)" 1
check "x86 over x64: the x86 files" "$(listing | grep -c mirabo_sph_host.exe)" 0
# And back with a double-click: a progress notice, then a finish notice
# that waits for its button.
finish=$(answer 完了 "$dist/mirabo-$short-x64.msi"; echo "rc=${PIPESTATUS[0]}")
check "x64 over x86 with the interface: the finish notice" \
  "$(printf '%s\n' "$finish" | grep -cxF -e 'Mirabo のセットアップ' -e 'Mirabo のセットアップが完了しました。' -e 'rc=0')" 3
check "x64 over x86: one product installed" "$(products | wc -l)" 1
check "x64 over x86: the x64 files" "$(listing | grep -c mirabo_sph_host.exe)" 1

msiexec /x "$(winepath_w "$dist/mirabo-$short-x64.msi")"
check "uninstall: msiexec /x" "$?" 0
check "uninstall: no product left" "$(products | wc -l)" 0
check "uninstall: only the user's settings left" "$(listing)" "./mirabo.INI "
check "uninstall: shortcut gone" "$(test -e "$shortcut" && echo present || echo gone)" gone
check "uninstall: Open with gone" "$(regvalue "$apps" FriendlyAppName) $(regvalue 'HKCU\Software\Classes\.jpg\OpenWithProgids' Mirabo.File)" \
  "(none) (none)"

echo "package_test: $failures failure(s)"
[ "$failures" = 0 ]
