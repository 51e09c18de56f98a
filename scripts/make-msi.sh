#!/usr/bin/env bash
# make-msi.sh STAGE ARCH VERSION OUT.msi
# Makes the per-user installer of a staged program folder (what the zip
# holds) with wixl: everything into %LOCALAPPDATA%\Programs\Mirabo, a
# Start-menu shortcut, the program in Explorer's "Open with" list for the
# types it shows (never as their default), an upgrade of any older version
# in place. ARCH is x64 or x86. Every GUID but the upgrade code is derived
# from ARCH and VERSION, so a package made twice has the same codes.
set -euo pipefail
stage=$1 arch=$2 version=$3 out=$4

case $arch in
  x64) wixl_arch=x64 win64=yes ;;
  x86) wixl_arch=x86 win64=no ;;
  *) echo "make-msi: unknown architecture $arch" >&2; exit 2 ;;
esac

# A name-based GUID (SHA-1, version 5 layout).
guid() {
  local h
  h=$(printf 'mirabo|%s' "$1" | sha1sum | cut -c1-32)
  printf '%s-%s-5%s-%x%s-%s' "${h:0:8}" "${h:8:4}" "${h:13:3}" $(( (0x${h:16:1} & 0x3) | 0x8 )) "${h:17:3}" "${h:20:12}" |
    tr 'a-f' 'A-F'
}

# One upgrade code for every version of one architecture: it is what lets a
# new version find and replace the old one. Never change these.
case $arch in
  x64) upgrade_code=8D3B6E02-5C1A-4F1E-9A57-2B6C0E4D7A11 ;;
  x86) upgrade_code=8D3B6E02-5C1A-4F1E-9A57-2B6C0E4D7A12 ;;
esac
product_code=$(guid "product|$arch|$version")

# The types the program shows with a viewer of its own, and text.
open_with_types=(.jpg .jpeg .bmp .dib .ico .wmf .emf .tif .tiff .pcx .htm .html .mht .gif .png
  .wav .mid .rmi .mp3 .wma .wmv .asf .avi .mpg .mpeg .aif .aiff .au .snd .txt)

xml_escape() { sed -e 's/&/\&amp;/g' -e 's/</\&lt;/g' -e 's/>/\&gt;/g' -e 's/"/\&quot;/g'; }

# wixl takes sources relative to the .wxs file only, so the description goes
# into a scratch folder beside links to the staged folder and the icon.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
wxs=$work/mirabo.wxs
ln -s "$(cd "$stage" && pwd)" "$work/stage"
cp "$(dirname "$0")/../app/res/mirabo.ico" "$work/mirabo.ico"
stage_abs=$work/stage
n=0
component() {  # component ID: the registry value that is its key path (per-user rule)
  printf '          <RegistryValue Root="HKCU" Key="Software\\Mirabo\\Installer" Name="%s" Value="1" Type="string" KeyPath="yes"/>\n' "$1"
}
{
  cat <<HEAD
<?xml version="1.0" encoding="utf-8"?>
<Wix xmlns="http://schemas.microsoft.com/wix/2006/wi">
  <Product Id="$product_code" Name="Mirabo" Language="1041" Version="$version" Manufacturer="Mirabo"
           UpgradeCode="$upgrade_code">
    <Package InstallerVersion="500" Compressed="yes" InstallScope="perUser" Languages="1041" Description="Mirabo $version ($arch)"
             Comments="Mirabo file viewer"/>
    <MajorUpgrade DowngradeErrorMessage="A newer version of Mirabo is already installed."/>
    <Media Id="1" Cabinet="mirabo.cab" EmbedCab="yes"/>
    <Icon Id="mirabo.ico" SourceFile="mirabo.ico"/>
    <Property Id="ARPPRODUCTICON" Value="mirabo.ico"/>
    <Property Id="ARPNOMODIFY" Value="1"/>
    <Directory Id="TARGETDIR" Name="SourceDir">
      <Directory Id="ProgramMenuFolder"/>
      <Directory Id="LocalAppDataFolder">
        <Directory Id="ProgramsDir" Name="Programs">
          <!-- Programs is shared with other per-user programs: removed only when empty. -->
          <Component Id="ProgramsFolder" Guid="$(guid "component|$arch|ProgramsFolder")" Win64="$win64">
$(component ProgramsFolder)
            <RemoveFolder Id="RemoveProgramsDir" On="uninstall"/>
          </Component>
          <Directory Id="INSTALLDIR" Name="Mirabo">
        <Component Id="Program" Guid="$(guid "component|$arch|Program")" Win64="$win64">
          <File Id="mirabo.exe" Name="mirabo.exe" Source="stage/mirabo.exe"/>
$(component Program)
          <RemoveFolder Id="RemoveInstallDir" On="uninstall"/>
        </Component>
        <Component Id="StartMenu" Guid="$(guid "component|$arch|StartMenu")" Win64="$win64">
          <Shortcut Id="StartMenuShortcut" Directory="ProgramMenuFolder" Name="Mirabo" Description="Mirabo"
                    Target="[INSTALLDIR]mirabo.exe" WorkingDirectory="INSTALLDIR"/>
$(component StartMenu)
        </Component>
        <Component Id="OpenWith" Guid="$(guid "component|$arch|OpenWith")" Win64="$win64">
$(component OpenWith)
          <RegistryValue Root="HKCU" Key="Software\\Classes\\Applications\\mirabo.exe" Name="FriendlyAppName" Value="Mirabo" Type="string"/>
          <RegistryValue Root="HKCU" Key="Software\\Classes\\Applications\\mirabo.exe\\shell\\open\\command" Value="&quot;[INSTALLDIR]mirabo.exe&quot; &quot;%1&quot;" Type="string"/>
          <RegistryValue Root="HKCU" Key="Software\\Classes\\Mirabo.File" Value="Mirabo" Type="string"/>
          <RegistryValue Root="HKCU" Key="Software\\Classes\\Mirabo.File\\DefaultIcon" Value="[INSTALLDIR]mirabo.exe,0" Type="string"/>
          <RegistryValue Root="HKCU" Key="Software\\Classes\\Mirabo.File\\shell\\open\\command" Value="&quot;[INSTALLDIR]mirabo.exe&quot; &quot;%1&quot;" Type="string"/>
HEAD
  # SupportedTypes puts the program in the dialog's list for these types;
  # OpenWithProgids puts it in the Open with submenu itself. Neither touches
  # the type's own default value, so no association is taken over.
  for t in "${open_with_types[@]}"; do
    printf '          <RegistryValue Root="HKCU" Key="Software\\Classes\\Applications\\mirabo.exe\\SupportedTypes" Name="%s" Value="" Type="string"/>\n' "$t"
    printf '          <RegistryValue Root="HKCU" Key="Software\\Classes\\%s\\OpenWithProgids" Name="Mirabo.File" Value="" Type="string"/>\n' "$t"
  done
  echo '        </Component>'
  # Every other staged file, folders as they are staged.
  refs="ProgramsFolder Program StartMenu OpenWith"
  emit_dir() {  # emit_dir RELATIVE_DIR (its components go in the Directory element open around them)
    local rel=$1 f name sub
    while IFS= read -r f; do
      name=$(basename "$f")
      [ "$rel" = "" ] && [ "$name" = mirabo.exe ] && continue
      n=$((n + 1))
      printf '        <Component Id="File%d" Guid="%s" Win64="%s">\n' "$n" \
        "$(guid "component|$arch|${rel}${name}")" "$win64"
      printf '          <File Id="File%d" Name="%s" Source="%s"/>\n' "$n" "$(printf '%s' "$name" | xml_escape)" \
        "$(printf 'stage/%s' "${f#"$stage_abs/"}" | xml_escape)"
      component "File$n"
      echo '        </Component>'
      refs="$refs File$n"
    done < <(find "$stage_abs/$rel" -mindepth 1 -maxdepth 1 -type f | LC_ALL=C sort)
    while IFS= read -r sub; do
      name=$(basename "$sub")
      n=$((n + 1))
      printf '        <Directory Id="Dir%d" Name="%s">\n' "$n" "$(printf '%s' "$name" | xml_escape)"
      n=$((n + 1))
      printf '        <Component Id="RemoveDir%d" Guid="%s" Win64="%s">\n' "$n" "$(guid "component|$arch|dir|${rel}${name}")" "$win64"
      component "RemoveDir$n"
      printf '          <RemoveFolder Id="RemoveDir%d" On="uninstall"/>\n' "$n"
      echo '        </Component>'
      refs="$refs RemoveDir$n"
      emit_dir "${rel}${name}/"
      echo '        </Directory>'
    done < <(find "$stage_abs/$rel" -mindepth 1 -maxdepth 1 -type d | LC_ALL=C sort)
  }
  emit_dir ""
  cat <<TAIL
          </Directory>
        </Directory>
      </Directory>
    </Directory>
    <Feature Id="Main" Title="Mirabo" Level="1">
TAIL
  for r in $refs; do printf '      <ComponentRef Id="%s"/>\n' "$r"; done
  cat <<TAIL
    </Feature>
  </Product>
</Wix>
TAIL
} >"$wxs"
wixl -a "$wixl_arch" -o "$out" "$wxs"
# wixl writes every package as English (1033); the program and its texts are
# Japanese. Everything else in the summary, the package code too, is kept.
package_code=$(msiinfo suminfo "$out" | sed -n 's/^Revision number (UUID): //p')
msibuild "$out" -s "Mirabo $version ($arch)" "Mirabo" "$([ "$arch" = x64 ] && echo x64 || echo Intel);1041" "$package_code"
