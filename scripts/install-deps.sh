#!/usr/bin/env bash
# Installs what building, running and testing Plauderdeck needs, with apt-get, when it is
# missing. Safe to run again: it only asks apt for packages that are not installed yet.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins libgl-dev
  libjpeg62-turbo-dev libgif-dev
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  fonts-dejavu-core
  clang libclang-rt-14-dev
)
# Only needed to look at the program on a virtual display and for two-host trials.
if [[ "${1:-}" == "--desktop" ]]; then
  packages+=(xvfb x11-utils imagemagick iproute2 python3)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

sudo=""
if [[ $(id -u) -ne 0 ]]; then sudo="sudo"; fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
