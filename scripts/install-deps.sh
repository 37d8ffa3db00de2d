#!/usr/bin/env bash
# Installs, from Debian 12 packages, whatever the build, the tests and the benchmarks need.
# Does nothing when everything is already present.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  libavformat-dev libavcodec-dev libavutil-dev libswscale-dev libswresample-dev
  ffmpeg
  qt6-base-dev qt6-base-dev-tools libqt6opengl6-dev libgl-dev
  libsdl2-dev
  libgtest-dev googletest
  fonts-wqy-zenhei
  xvfb xauth
  xdotool imagemagick
  desktop-file-utils file
  vorbis-tools
  qt6-translations-l10n
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}" >&2
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
