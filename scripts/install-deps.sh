#!/usr/bin/env bash
# The one list of system packages ZEPHOR needs to build, test and run on Debian 12.
# Installs only what is missing; runs apt-get update at most once; works as root or through sudo.
set -euo pipefail

PACKAGES=(
  # compilers and build tools (clang and its runtimes, libFuzzer among them, for the sanitizer
  # build and the fuzz targets)
  g++ clang libclang-rt-14-dev lld cmake ninja-build ccache pkg-config git file locales
  # GUI library
  qt6-base-dev qt6-base-dev-tools libgl-dev
  # OpenGL through EGL on Mesa
  libegl-dev libgl1-mesa-dri libegl-mesa0 libglu1-mesa-dev khronos-api
  # image codecs and colour management
  zlib1g-dev libdeflate-dev libpng-dev libjpeg62-turbo-dev libopenjp2-7-dev libraw-dev liblcms2-dev libjxr-dev
  # XML, network, devices
  libpugixml-dev libcurl4-openssl-dev libsane-dev
  # the 3D mouse: libspnav is a static library that carries the daemon's X11 protocol too
  libspnav-dev libx11-dev
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev
  # fonts standing in for Arial and Tahoma, and a virtual display for the end-to-end test
  fonts-liberation fonts-dejavu-core xvfb xauth
  # independent checkers used by the tests
  imagemagick python3-pil python3-numpy assimp-utils libxml2-utils qhull-bin liblcms2-utils
  # the scanner listing (scanimage -L) and the test certificate of the HTTPS download tests
  sane-utils openssl
  # TIFF checkers (tiffcp, tiffinfo, tiffdump) and the TIFF benchmark's baseline library
  libtiff-tools libtiff-dev
  # JPEG 2000 and DICOM fixture makers and checkers (run as black boxes by the codec tests)
  libopenjp2-tools dcmtk python3-pydicom
  # GIF, PNM and WBMP checkers (run as black boxes by the codec tests), and giflib, linked only
  # into the GIF decoding benchmark as its baseline
  netpbm gifsicle giflib-tools libgif-dev
  # EXIF, HD Photo and camera raw checkers
  libimage-exiftool-perl libjxr-tools libraw-bin
  # PostScript and PDF checkers (gs renders, qpdf checks the structure, pdftoppm and pdfinfo render and read)
  ghostscript qpdf poppler-utils
  # a CMYK colour profile (Artifex CMYK SWOP, AGPL-3+) read at run time by the image I/O
  libgs-common
  # metafile records (EMF, EMF+, WMF) for the image I/O's metafile player
  libuemf-dev
  # video files: FFmpeg's libraries decode compressed AVI frames; the ffmpeg tool makes the
  # tests' AVI fixtures
  libavformat-dev libavcodec-dev libavutil-dev libswscale-dev ffmpeg
  # only the resampling benchmark's comparison script (bench/rastova_proc/compare.sh) uses it
  libvips-tools
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

# A comma-decimal locale, so that the tests which check that number text ignores the locale run
# everywhere. Only `locale -a` tells whether it is generated (the package alone is not enough).
COMMA_LOCALE=de_DE.UTF-8
have_comma_locale() { [[ "$(locale -a 2>/dev/null || true)" =~ (^|$'\n')de_DE\.(utf8|UTF-8)($'\n'|$) ]]; }
locale_missing=0
have_comma_locale || locale_missing=1

[ ${#missing[@]} -eq 0 ] && [ $locale_missing -eq 0 ] && exit 0

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null; then
    SUDO="sudo"
  elif [ ${#missing[@]} -gt 0 ]; then
    echo "install-deps: need root or sudo to install: ${missing[*]}" >&2
    exit 1
  else
    echo "install-deps: need root or sudo to generate the locale ${COMMA_LOCALE};" \
      "the tests that need it build a private copy" >&2
    exit 0
  fi
fi
if [ ${#missing[@]} -gt 0 ]; then
  echo "install-deps: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -q
  $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
if [ $locale_missing -eq 1 ]; then
  echo "install-deps: generating the locale ${COMMA_LOCALE}"
  # Listed in /etc/locale.gen, it survives later runs of locale-gen.
  if grep -q "^# *${COMMA_LOCALE} UTF-8" /etc/locale.gen 2>/dev/null; then
    $SUDO sed -i "s/^# *${COMMA_LOCALE} UTF-8/${COMMA_LOCALE} UTF-8/" /etc/locale.gen
  elif ! grep -q "^${COMMA_LOCALE} UTF-8" /etc/locale.gen 2>/dev/null; then
    echo "${COMMA_LOCALE} UTF-8" | $SUDO tee -a /etc/locale.gen >/dev/null
  fi
  $SUDO locale-gen >/dev/null
  have_comma_locale || echo "install-deps: the locale ${COMMA_LOCALE} could not be generated" >&2
fi
