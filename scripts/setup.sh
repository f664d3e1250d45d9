#!/usr/bin/env bash
# Installs every Debian package the whole system needs to build, test and run.
# Safe to run more than once: apt-get skips what is already there.
set -euo pipefail

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

PACKAGES=(
  # toolchain
  build-essential cmake ninja-build pkg-config
  # Qt 5 (Core, Gui, Widgets, Xml) and lrelease
  qtbase5-dev qttools5-dev-tools qttools5-dev
  # image libraries
  libfreeimage-dev libfreeimageplus-dev libtiff-dev libraw-dev
  libmatio-dev libhdf5-dev libdeflate-dev libisal-dev libpng-dev
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev
  # independent peers used by tests and benchmarks
  imagemagick libjxl-tools pngcheck libraw-bin libimage-exiftool-perl parallel
  python3-astropy python3-h5py hdf5-tools
  # fuzzing (scripts/fuzz.sh)
  clang-14 libfuzzer-14-dev
  # headless desktop runs and screenshots
  xvfb x11-apps x11-utils
  # Qt's own Czech texts (message box buttons) for the desktop program
  qttranslations5-l10n
)

export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends "${PACKAGES[@]}"
