#!/usr/bin/env bash
# Installs every Debian package the build, the tool and the tests need.
# Safe to run again: apt-get skips what is already there.
set -euo pipefail
packages=(
  cmake ninja-build g++ pkg-config clang-format
  libasan8 libubsan1
  qt6-base-dev qt6-multimedia-dev libqt6svg6
  unixodbc-dev unixodbc tdsodbc freetds-bin
  libpugixml-dev libcurl4-openssl-dev zlib1g-dev libssl-dev openssl ca-certificates
  libgtest-dev libgmock-dev
  python3 python3-pyftpdlib curl
  binutils-mingw-w64-x86-64
  # The Windows build's tests run under Wine.
  wine wine64
  # The installer (makensis) and the window caption check of its run (xprop).
  nsis x11-utils
  xvfb xauth python3-xlib fonts-dejavu-core
  # Stand-ins for the families the windows name, of the same widths:
  # Arial, Calibri, Tahoma; Segoe UI has none, Open Sans comes closest.
  fontconfig fonts-liberation2 fonts-crosextra-carlito fonts-wine fonts-open-sans
  clang libclang-rt-14-dev
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get -o DPkg::Lock::Timeout=900 update -qq
  $SUDO apt-get -o DPkg::Lock::Timeout=900 install -y -qq --no-install-recommends "${missing[@]}"
fi
# Wine's Tahoma lies outside the folders the font configuration searches.
tahoma=/usr/local/share/fonts/korvex
if [ ! -e "$tahoma/tahoma.ttf" ]; then
  if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi
  $SUDO mkdir -p "$tahoma"
  $SUDO ln -sf /usr/share/wine/fonts/tahoma.ttf /usr/share/wine/fonts/tahomabd.ttf "$tahoma/"
  $SUDO fc-cache -f "$tahoma" >/dev/null
fi
# tdsodbc normally registers itself; make sure the driver name the build uses exists.
if ! odbcinst -q -d -n FreeTDS >/dev/null 2>&1; then
  if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi
  $SUDO odbcinst -i -d -f /usr/share/tdsodbc/odbcinst.ini >/dev/null
fi
