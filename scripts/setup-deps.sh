#!/usr/bin/env bash
# Installs every Debian package that building, running and testing Corvanta
# needs. Does nothing when they are all present already, so it is cheap to
# call before every build.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libc-ares-dev libsqlite3-dev
  googletest libgtest-dev libgmock-dev
  clang libclang-rt-14-dev llvm
  dnsmasq iproute2 util-linux locales
  xvfb xauth fonts-dejavu-core
  g++-mingw-w64-x86-64-posix wine64
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

echo "Installing: ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
# dnsmasq's package starts a system-wide service; the tests run their own
# copies on loopback inside private namespaces and want no competitor.
if command -v systemctl >/dev/null 2>&1; then
  $SUDO systemctl disable --now dnsmasq >/dev/null 2>&1 || true
fi
