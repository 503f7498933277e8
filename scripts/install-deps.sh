#!/usr/bin/env bash
# Installs the Debian packages the project builds, tests and runs with.
# Idempotent: packages already present are skipped, so a second run costs nothing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins libqt6dbus6 libqt6network6
  libgl-dev libxcb1-dev libx11-xcb-dev libxcb-xtest0-dev libxcb-xkb-dev
  fonts-dejavu-core fonts-dejavu-extra unifont
  xvfb xauth x11-utils xdotool imagemagick
  dbus dbus-bin libglib2.0-bin
  clang libclang-rt-14-dev
  desktop-file-utils dpkg-dev file man-db groff-base librsvg2-bin
  python3 python3-jeepney python3-pytest
  linux-perf
  openbox metacity xfwm4 weston qt6-wayland xcompmgr lintian appstream gzip
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
