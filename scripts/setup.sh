#!/usr/bin/env bash
# Shared set-up of run.sh and test.sh: install the Debian packages the project needs when they
# are missing, configure and build into build/, and stage the installation tree in build/stage.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="$root/build"

packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev qt6-serialport-dev
  libqscintilla2-qt6-dev libzip-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  gputils gpsim gpsim-dev libglib2.0-dev poppler-utils
  adwaita-icon-theme tango-icon-theme fonts-dejavu-core
  shared-mime-info desktop-file-utils libglib2.0-bin
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "Some packages are missing. Run this as root, then start again:"
    echo "  apt-get install -y ${missing[*]}"
    exit 1
  fi
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE="${KIV_BUILD_TYPE:-RelWithDebInfo}" >/dev/null
cmake --build "$build" -j "$(nproc)"
