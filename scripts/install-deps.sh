#!/usr/bin/env bash
# Installs the Debian packages the project builds, tests and benchmarks with.
# Idempotent: installs only what is missing, refreshing the package lists first when it must.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config ccache
  libsdl2-dev libvorbis-dev libogg-dev
  libfreetype-dev libfontconfig-dev fonts-ipafont-gothic fonts-ipafont-mincho
  libgtest-dev libgmock-dev libbenchmark-dev
  libpixman-1-dev zlib1g-dev liblua5.4-dev
  clang libclang-rt-14-dev
  xvfb x11-apps imagemagick xauth
  libimgui-dev
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "install-deps: installing ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
  sudo="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
