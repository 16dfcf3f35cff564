#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what building, running and testing ZIRCALO needs on Debian 12.
# Packages already present are not fetched again.
set -euo pipefail

packages=(
  build-essential cmake ninja-build lld pkg-config git
  qt6-base-dev qt6-serialport-dev libgl-dev
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  python3 python3-fonttools fonts-dejavu-core fonts-liberation
  fonts-noto-color-emoji qt6-translations-l10n libqt6svg6
  xvfb xauth dbus-daemon
  desktop-file-utils appstream dpkg-dev
  clang clang-format libclang-rt-14-dev
  gammu
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then
  sudo="sudo"
fi
echo "Installing: ${missing[*]}"
$sudo apt-get update -q
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
