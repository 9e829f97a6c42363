#!/usr/bin/env bash
# Installs every Debian package that the build, the tests and the tools need.
# Safe to run again: apt-get skips what is already there.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git ccache
  juce-modules-source
  libasound2-dev libfreetype-dev libpng-dev libjpeg-dev zlib1g-dev libflac-dev
  libx11-dev libxext-dev libxinerama-dev libxrandr-dev libxcursor-dev libgl-dev libxtst-dev
  libcurl4-gnutls-dev libgtk-3-dev
  lv2-dev lilv-utils liblilv-dev sordi
  libexpat1-dev
  libebur128-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth fonts-dejavu-core fonts-liberation2
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "setup: all packages present"
  exit 0
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi

echo "setup: installing ${missing[*]}"
$sudo apt-get update -q
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
