#!/usr/bin/env bash
# make-msi.sh STAGE ARCH VERSION OUT.msi
# Makes the per-user installer of a staged program folder (what the zip
# holds) with wixl: everything into %LOCALAPPDATA%\Programs\Mirabo, a
# Start-menu shortcut, the program in Explorer's "Open with" list for the
# types it shows (never as their default), an upgrade of any other version
# in place. ARCH is x64 or x86.
#
# Both architectures are one product family: one upgrade code, so installing
# either replaces the other (they install into the same folder, with the
# same shortcut and keys) and uninstalling one never breaks the other. The
# product and package codes are derived from the architecture, the version
# and the staged files' contents: the same files give the same codes (a
# package made twice is the same package), any change gives a new product
# that replaces the installed one, even at the same version, where a kept
# product code with a new package would be refused (error 1638).
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

# The family's upgrade code: never change it. The 32-bit packages of 0.89
# had one of their own; it is still looked for, so they are replaced too.
upgrade_code=8D3B6E02-5C1A-4F1E-9A57-2B6C0E4D7A11
old_x86_upgrade_code=8D3B6E02-5C1A-4F1E-9A57-2B6C0E4D7A12
contents=$(cd "$stage" && find . -type f -print0 | LC_ALL=C sort -z | xargs -0 sha256sum | sha256sum | cut -c1-64)
product_code=$(guid "product|$arch|$version|$contents")
package_code=$(guid "package|$arch|$version|$contents")

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
    <!-- Its Japanese text and same-version upgrades are set below: wixl
         can write neither. -->
    <MajorUpgrade DowngradeErrorMessage="newer version installed"/>
    <Upgrade Id="$old_x86_upgrade_code">
      <UpgradeVersion Minimum="0.0.0" IncludeMinimum="yes" Maximum="$version" IncludeMaximum="yes" Property="OLDX86FOUND"/>
    </Upgrade>
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

# What wixl cannot write, written into its database: Japanese texts (the
# database's code page 932 first, so they are stored as Shift-JIS), the
# same-version upgrade, and the smallest user interface a double-click can
# show: a progress notice while installing, a finish notice after it.
sql() { msibuild "$out" -q "$1"; }
printf '\r\n\r\n932\t_ForceCodepage\r\n' >"$work/_ForceCodepage.idt"
msibuild "$out" -i "$work/_ForceCodepage.idt"
sql "UPDATE \`LaunchCondition\` SET \`Description\` = '新しいバージョンの Mirabo がすでにインストールされています。古いバージョンをインストールするには、先に新しいバージョンをアンインストールしてください。' WHERE \`Condition\` = 'NOT WIX_DOWNGRADE_DETECTED'"
# Version-max inclusive (512) with migrate features (1): the same version is
# replaced too (another build of it, or the other architecture).
# The attributes are part of the row's key: the row is made again.
sql "DELETE FROM \`Upgrade\` WHERE \`ActionProperty\` = 'WIX_UPGRADE_DETECTED'"
sql "INSERT INTO \`Upgrade\` (\`UpgradeCode\`, \`VersionMax\`, \`Attributes\`, \`ActionProperty\`) VALUES ('{$upgrade_code}', '$version', 513, 'WIX_UPGRADE_DETECTED')"
sql "CREATE TABLE \`TextStyle\` (\`TextStyle\` CHAR(72) NOT NULL, \`FaceName\` CHAR(32) NOT NULL, \`Size\` SHORT NOT NULL, \`Color\` LONG, \`StyleBits\` SHORT PRIMARY KEY \`TextStyle\`)"
sql "CREATE TABLE \`Dialog\` (\`Dialog\` CHAR(72) NOT NULL, \`HCentering\` SHORT NOT NULL, \`VCentering\` SHORT NOT NULL, \`Width\` SHORT NOT NULL, \`Height\` SHORT NOT NULL, \`Attributes\` LONG, \`Title\` CHAR(128) LOCALIZABLE, \`Control_First\` CHAR(50) NOT NULL, \`Control_Default\` CHAR(50), \`Control_Cancel\` CHAR(50) PRIMARY KEY \`Dialog\`)"
sql "CREATE TABLE \`Control\` (\`Dialog_\` CHAR(72) NOT NULL, \`Control\` CHAR(50) NOT NULL, \`Type\` CHAR(20) NOT NULL, \`X\` SHORT NOT NULL, \`Y\` SHORT NOT NULL, \`Width\` SHORT NOT NULL, \`Height\` SHORT NOT NULL, \`Attributes\` LONG, \`Property\` CHAR(72), \`Text\` LONGCHAR LOCALIZABLE, \`Control_Next\` CHAR(50), \`Help\` CHAR(50) LOCALIZABLE PRIMARY KEY \`Dialog_\`, \`Control\`)"
sql "CREATE TABLE \`ControlEvent\` (\`Dialog_\` CHAR(72) NOT NULL, \`Control_\` CHAR(50) NOT NULL, \`Event\` CHAR(50) NOT NULL, \`Argument\` CHAR(255) NOT NULL, \`Condition\` CHAR(255), \`Ordering\` SHORT PRIMARY KEY \`Dialog_\`, \`Control_\`, \`Event\`, \`Argument\`, \`Condition\`)"
sql "CREATE TABLE \`EventMapping\` (\`Dialog_\` CHAR(72) NOT NULL, \`Control_\` CHAR(50) NOT NULL, \`Event\` CHAR(50) NOT NULL, \`Attribute\` CHAR(50) NOT NULL PRIMARY KEY \`Dialog_\`, \`Control_\`, \`Event\`)"
sql "INSERT INTO \`TextStyle\` (\`TextStyle\`, \`FaceName\`, \`Size\`, \`StyleBits\`) VALUES ('MiraboUI', 'MS UI Gothic', 9, 0)"
sql "INSERT INTO \`Property\` (\`Property\`, \`Value\`) VALUES ('DefaultUIFont', 'MiraboUI')"
# Dialog attributes: 1 visible, 2 modal. Control attributes: 1 visible,
# 2 enabled, 65536 a progress bar of the system's own look.
sql "INSERT INTO \`Dialog\` (\`Dialog\`, \`HCentering\`, \`VCentering\`, \`Width\`, \`Height\`, \`Attributes\`, \`Title\`, \`Control_First\`, \`Control_Default\`, \`Control_Cancel\`) VALUES ('ProgressDlg', 50, 50, 260, 80, 1, 'Mirabo のセットアップ', 'Cancel', 'Cancel', 'Cancel')"
sql "INSERT INTO \`Dialog\` (\`Dialog\`, \`HCentering\`, \`VCentering\`, \`Width\`, \`Height\`, \`Attributes\`, \`Title\`, \`Control_First\`, \`Control_Default\`, \`Control_Cancel\`) VALUES ('ExitDialog', 50, 50, 260, 70, 3, 'Mirabo のセットアップ', 'Finish', 'Finish', 'Finish')"
sql "INSERT INTO \`Control\` (\`Dialog_\`, \`Control\`, \`Type\`, \`X\`, \`Y\`, \`Width\`, \`Height\`, \`Attributes\`, \`Text\`) VALUES ('ProgressDlg', 'Text', 'Text', 15, 12, 230, 12, 3, 'Mirabo をセットアップしています。しばらくお待ちください。')"
sql "INSERT INTO \`Control\` (\`Dialog_\`, \`Control\`, \`Type\`, \`X\`, \`Y\`, \`Width\`, \`Height\`, \`Attributes\`, \`Text\`) VALUES ('ProgressDlg', 'ProgressBar', 'ProgressBar', 15, 30, 230, 12, 65537, 'Progress done')"
sql "INSERT INTO \`Control\` (\`Dialog_\`, \`Control\`, \`Type\`, \`X\`, \`Y\`, \`Width\`, \`Height\`, \`Attributes\`, \`Text\`) VALUES ('ProgressDlg', 'Cancel', 'PushButton', 185, 52, 60, 17, 3, 'キャンセル')"
sql "INSERT INTO \`Control\` (\`Dialog_\`, \`Control\`, \`Type\`, \`X\`, \`Y\`, \`Width\`, \`Height\`, \`Attributes\`, \`Text\`) VALUES ('ExitDialog', 'Text', 'Text', 15, 12, 230, 24, 3, 'Mirabo のセットアップが完了しました。')"
sql "INSERT INTO \`Control\` (\`Dialog_\`, \`Control\`, \`Type\`, \`X\`, \`Y\`, \`Width\`, \`Height\`, \`Attributes\`, \`Text\`) VALUES ('ExitDialog', 'Finish', 'PushButton', 185, 42, 60, 17, 3, '完了')"
sql "INSERT INTO \`EventMapping\` (\`Dialog_\`, \`Control_\`, \`Event\`, \`Attribute\`) VALUES ('ProgressDlg', 'ProgressBar', 'SetProgress', 'Progress')"
sql "INSERT INTO \`ControlEvent\` (\`Dialog_\`, \`Control_\`, \`Event\`, \`Argument\`, \`Condition\`, \`Ordering\`) VALUES ('ProgressDlg', 'Cancel', 'EndDialog', 'Exit', '1', 1)"
sql "INSERT INTO \`ControlEvent\` (\`Dialog_\`, \`Control_\`, \`Event\`, \`Argument\`, \`Condition\`, \`Ordering\`) VALUES ('ExitDialog', 'Finish', 'EndDialog', 'Return', '1', 1)"
# The progress notice just before the work; the finish notice on success,
# but not after an uninstall.
sql "INSERT INTO \`InstallUISequence\` (\`Action\`, \`Condition\`, \`Sequence\`) VALUES ('ProgressDlg', '', 1299)"
sql "INSERT INTO \`InstallUISequence\` (\`Action\`, \`Condition\`, \`Sequence\`) VALUES ('ExitDialog', 'NOT (REMOVE ~= \"ALL\")', -1)"

# wixl writes every package as English (1033) with a random package code;
# the program and its texts are Japanese, and the same files make the same
# package.
msibuild "$out" -s "Mirabo $version ($arch)" "Mirabo" "$([ "$arch" = x64 ] && echo x64 || echo Intel);1041" "{$package_code}"
