#!/usr/bin/env bash
# Installs the Debian packages the project builds, tests and benchmarks with.
# Idempotent: installs only what is missing, refreshing the package lists first when it must.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config ccache clang-format clang-tidy
  libsdl2-dev libvorbis-dev libogg-dev
  libfreetype-dev libfontconfig-dev libharfbuzz-dev fonts-ipafont-gothic fonts-ipafont-mincho
  libgtest-dev libgmock-dev libbenchmark-dev
  libpixman-1-dev libpng-dev liblua5.4-dev
  clang lld
  xvfb x11-apps imagemagick xauth xdotool
  matchbox-window-manager
  libimgui-dev
  libavformat-dev libavcodec-dev libswscale-dev libswresample-dev
  locales
)

is_installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'
}

updated=0
install() {
  local missing=()
  for p in "$@"; do
    is_installed "$p" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  local sudo=()
  if [ "$(id -u)" -ne 0 ]; then
    if ! command -v sudo >/dev/null 2>&1; then
      echo "install-deps: these packages are missing: ${missing[*]}" >&2
      echo "install-deps: run as root: apt-get update && apt-get install -y --no-install-recommends ${missing[*]}" >&2
      exit 1
    fi
    sudo=(sudo)
  fi
  echo "install-deps: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  if [ "$updated" -eq 0 ]; then
    "${sudo[@]}" apt-get -o DPkg::Lock::Timeout=600 update -qq
    updated=1
  fi
  "${sudo[@]}" apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends "${missing[@]}"
}

install "${packages[@]}"

# The fuzzers and the leak checker need the runtime of the clang that is installed, whatever its
# version.
clang_major=$(clang --version | sed -n 's/.*clang version \([0-9]*\).*/\1/p' | head -n 1)
if [ -z "$clang_major" ]; then
  echo "install-deps: cannot tell the version of the installed clang" >&2
  exit 1
fi
install "libclang-rt-${clang_major}-dev"
