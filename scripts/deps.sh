#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need (the tools the
# comparison tests compare with among them); does nothing
# when they are all present already.
set -euo pipefail
pkgs=(cmake ninja-build g++ pkg-config libgtest-dev libgmock-dev libbenchmark-dev
      zlib1g-dev libpng-dev libjpeg62-turbo-dev python3
      qpdf mupdf-tools libjpeg-turbo-progs poppler-utils
      libfreetype-dev libfontconfig-dev fonts-liberation fonts-urw-base35 fonts-dejavu-core
      python3-fonttools fonttools
      qt6-base-dev libxcb1-dev xvfb xauth x11-utils python3-pil imagemagick giflib-tools)
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo_cmd=""
  [ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq "${missing[@]}"
fi
