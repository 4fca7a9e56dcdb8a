#!/usr/bin/env bash
# Installs everything Quarn needs to build, test and run on Debian 12.
set -euo pipefail
SUDO=""
if [ "$(id -u)" != 0 ]; then SUDO=sudo; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends \
  build-essential cmake ccache pkg-config \
  qt6-base-dev qt6-base-dev-tools qt6-base-private-dev libgl-dev libsdl2-dev \
  libgtest-dev libgmock-dev googletest libbenchmark-dev libavahi-client-dev \
  clang libclang-rt-14-dev lld \
  xvfb xauth imagemagick xdotool fonts-dejavu-core qt6-translations-l10n \
  dpkg-dev lintian desktop-file-utils appstream \
  > /dev/null
