#!/usr/bin/env bash
# Installs every Debian package Quirebind needs to build, test and run.
# This is the one list of them. Quiet and quick when everything is present.
#
#   scripts/install-deps.sh          build, run and test
#   scripts/install-deps.sh --fuzz   also the clang toolchain for the fuzz targets
set -euo pipefail

packages=(
  build-essential cmake pkg-config git clang-format
  zlib1g-dev libdeflate-dev libpng-dev libjpeg-dev libpugixml-dev libuchardet-dev libcli11-dev
  libpcre2-dev libcld2-dev libopencc-dev libopencc-data
  libcairo2-dev libpango1.0-dev libharfbuzz-dev fonts-noto-cjk fonts-dejavu-core
  fonts-noto-color-emoji
  libharfbuzz-bin pango1.0-tools
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libgtest-dev libgmock-dev googletest locales
  fonts-liberation fontconfig
  xvfb xauth x11-apps
  epubcheck default-jre-headless unzip zip time
  help2man dpkg-dev appstream desktop-file-utils python3-markdown
)
if [[ "${1:-}" == "--fuzz" ]]; then
  packages+=(clang libclang-rt-dev)
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
echo "install-deps: installing ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
