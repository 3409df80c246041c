#!/usr/bin/env bash
# Installs the Debian packages the builds and tests need, when any is missing. Silent when
# everything is there; uses sudo only when not already root.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config python3 ccache
  googletest libpng-dev libfreetype-dev fonts-dejavu-core
  clang libclang-rt-14-dev valgrind
  mingw-w64 binutils-mingw-w64-x86-64 g++-mingw-w64-x86-64
  wine wine64 xvfb xauth
  gcab cabextract
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
