#!/usr/bin/env bash
# Installs what building, running and testing need on Debian 12, and nothing
# when it is all there already (a second run costs a second, not minutes).
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
  binutils-mingw-w64-x86-64 binutils-mingw-w64-i686
  nasm dpkg-dev curl
  googletest libjpeg62-turbo-dev libjpeg-turbo-progs libtiff-dev liblcms2-dev libpng-dev libz-mingw-w64-dev
  libwebp-dev libavif-dev libheif-dev meson
  wine64 libwine
  locales fonts-ipafont-gothic fonts-ipafont-mincho
  xvfb x11-utils xdotool imagemagick
  pulseaudio pulseaudio-utils
  zip unzip wixl msitools
  clang libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"

# libjpeg-turbo and libtiff for the MinGW targets are built from Debian's own
# source packages.
need_src=0
if ! grep -rqsE '^Types:.*deb-src|^deb-src ' /etc/apt/sources.list /etc/apt/sources.list.d/; then
  need_src=1
  echo "setup: enabling deb-src entries for bookworm"
  $sudo tee /etc/apt/sources.list.d/mirabo-deb-src.sources >/dev/null <<'SRC'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
fi

if [ ${#missing[@]} -gt 0 ] || [ $need_src -eq 1 ]; then
  echo "setup: installing ${missing[*]:-(source lists only)}"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  if [ ${#missing[@]} -gt 0 ]; then
    $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  fi
fi

# Wine must see code page 932, which it only does with the locale generated.
if ! locale -a 2>/dev/null | grep -qiE '^ja_JP\.utf-?8$'; then
  echo "setup: generating ja_JP.UTF-8"
  $sudo sed -i 's/^# *\(ja_JP.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' | $sudo tee -a /etc/locale.gen >/dev/null
  $sudo locale-gen >/dev/null
fi
echo "setup: system packages ready"
