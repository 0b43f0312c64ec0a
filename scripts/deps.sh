#!/usr/bin/env bash
# Installs the Debian packages the build needs, only those that are missing.
set -euo pipefail
packages=(cmake g++ make pkg-config qt6-base-dev qt6-charts-dev libcli11-dev nlohmann-json3-dev libgtest-dev libgmock-dev
          libbenchmark-dev librsvg2-dev ccache ninja-build)
if [ "${TORVIX_WITH_X:-0}" = 1 ]; then packages+=(xvfb xauth); fi
if [ "${TORVIX_WITH_FUZZ:-0}" = 1 ]; then packages+=(clang libclang-rt-14-dev); fi
# The checks of scripts/test.sh beyond the unit tests: the Clang build, the
# manual pages, the desktop entry, the Debian package's dependencies.
if [ "${TORVIX_WITH_RELEASE_CHECKS:-0}" = 1 ]; then
  packages+=(clang help2man desktop-file-utils dpkg-dev file)
fi
# The Windows programs, cross-built and run under wine (scripts/windows-check.sh),
# packaged (scripts/windows-package.sh: Qt's host tools, zip, NSIS) and the
# installed window driven on Xvfb (scripts/windows-window-check.sh).
if [ "${TORVIX_WITH_WINDOWS:-0}" = 1 ]; then
  packages+=(g++-mingw-w64-x86-64 wine wine64 python3 ninja-build qt6-base-dev-tools zip nsis xvfb xauth xdotool
             imagemagick)
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  echo "Installing: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
fi
