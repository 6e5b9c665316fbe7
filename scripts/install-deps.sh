#!/usr/bin/env bash
# The one list of system packages ZEPHOR needs to build, test and run on Debian 12.
# Installs only what is missing; runs apt-get update at most once; works as root or through sudo.
set -euo pipefail

PACKAGES=(
  # compilers and build tools (clang and its runtimes, libFuzzer among them, for the sanitizer
  # build and the fuzz targets)
  g++ clang libclang-rt-14-dev cmake ninja-build ccache pkg-config git file locales
  # GUI library
  qt6-base-dev qt6-base-dev-tools libgl-dev
  # OpenGL through EGL on Mesa
  libegl-dev libgl1-mesa-dri libegl-mesa0 libglu1-mesa-dev khronos-api
  # image codecs and colour management
  zlib1g-dev libpng-dev libjpeg62-turbo-dev libopenjp2-7-dev libraw-dev liblcms2-dev libjxr-dev
  # XML, network, devices
  libpugixml-dev libcurl4-openssl-dev libspnav-dev libsane-dev
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev
  # fonts standing in for Arial and Tahoma, and a virtual display for the end-to-end test
  fonts-liberation fonts-dejavu-core xvfb xauth
  # independent checkers used by the tests
  imagemagick python3-pil assimp-utils libxml2-utils qhull-bin liblcms2-utils
  # a CMYK colour profile (Artifex CMYK SWOP, AGPL-3+) read at run time by the image I/O
  libgs-common
  # only the resampling benchmark's comparison script (bench/rastova_proc/compare.sh) uses it
  libvips-tools
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "install-deps: need root or sudo to install: ${missing[*]}" >&2; exit 1; }
  SUDO="sudo"
fi
echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
