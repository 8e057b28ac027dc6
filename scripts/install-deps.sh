#!/usr/bin/env bash
# Installs the Debian packages that Framecatch needs to build, test and run, when missing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config clang-format git
  qt6-base-dev qt6-multimedia-dev qt6-image-formats-plugins libqt6svg6
  libavformat-dev libavcodec-dev libavutil-dev libswscale-dev libswresample-dev
  libjpeg62-turbo-dev libpng-dev zlib1g-dev libgif-dev libimagequant-dev libmagick++-6.q16-dev
  libwebp-dev dbus-daemon
  libgtest-dev libgmock-dev libbenchmark-dev
  fonts-wine fonts-dejavu-core
  ffmpeg
  xvfb xauth x11-apps
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
