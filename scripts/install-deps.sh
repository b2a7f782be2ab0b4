#!/usr/bin/env bash
# Installs what Plauderdeck needs, with apt-get, when it is missing. Safe to run again: it only
# asks apt for packages that are not installed yet.
#   scripts/install-deps.sh            building and running
#   scripts/install-deps.sh --test     and testing: test frameworks, the sanitizer and fuzzing
#                                      compiler, valgrind, the validators of the installed desktop
#                                      files and of the Debian package, and the screen readers'
#                                      view of the windows (AT-SPI on a virtual display), and
#                                      the daemons two copies find each other through
#   scripts/install-deps.sh --package  and making the .deb (dpkg-shlibdeps reads its dependencies)
#   scripts/install-deps.sh --desktop  and looking at the program on a virtual display, two-host trials
# Options combine.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins libgl-dev
  libjpeg62-turbo-dev libgif-dev
  fonts-dejavu-core qt6-translations-l10n
)
for option in "$@"; do
  case "$option" in
    --test)
      packages+=(libgtest-dev libgmock-dev googletest libbenchmark-dev clang libclang-rt-14-dev valgrind ccache
                 desktop-file-utils appstream lintian dpkg-dev file
                 xvfb xauth dbus at-spi2-core python3-dbus python3-gi
                 avahi-daemon avahi-utils libnss-mdns iproute2 util-linux) ;;
    --package) packages+=(dpkg-dev file) ;;
    --desktop) packages+=(xvfb x11-utils imagemagick iproute2 python3) ;;
    *) echo "unknown option: $option" >&2; exit 2 ;;
  esac
done

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
