#!/usr/bin/env bash
# Installs everything the project needs on a Debian 12 machine (run as root).
# Does nothing when every package is already there, so a second run is fast.
set -euo pipefail

PACKAGES=(
  cmake ninja-build g++ pkg-config clang libclang-rt-14-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libcurl4-openssl-dev libicu-dev
  qt6-base-dev
  fonts-wqy-microhei
  xvfb xauth xdotool x11-utils imagemagick
  python3 openssl nginx
)

missing=()
for package in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "setup: installing ${missing[*]}"
if [ "$(id -u)" -ne 0 ]; then
  SUDO=sudo
else
  SUDO=
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
