#!/usr/bin/env bash
# Installs what building and testing ZELK needs on Debian 12 (run as root).
# Only missing packages are installed, so a second run costs nothing.
# With arguments it installs those packages instead (the Windows build's own).
set -euo pipefail

packages=("$@")
((${#packages[@]})) || packages=(
  g++ cmake ninja-build pkg-config git ca-certificates
  libfmt-dev libpugixml-dev libcurl4-openssl-dev libsodium-dev libzip-dev zlib1g-dev
  nlohmann-json3-dev libmsgsl-dev libssl-dev
  libgtest-dev libgmock-dev libbenchmark-dev libcpp-httplib-dev
  python3 openssl clang-14 libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
