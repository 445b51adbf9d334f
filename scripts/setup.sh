#!/usr/bin/env bash
# Installs what Lumbrik needs to build, run and test on Debian 12, with apt-get, when missing.
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config
  qt6-base-dev qt6-svg-dev libwmf-dev libjpeg62-turbo-dev libseccomp-dev
  fonts-dejavu-core
  # colour profiles the picture tests tag their samples with
  icc-profiles-free libgs-common
  # real-window tests, install check and benchmarks
  python3 xvfb xauth openbox xdotool wmctrl x11-utils imagemagick libjpeg-turbo-progs desktop-file-utils
  # the Debian package (CPack's dependency list) and its checks
  dpkg-dev file appstream lintian
)

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
    missing+=("$package")
done
if ((${#missing[@]})); then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  echo "Installing: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
