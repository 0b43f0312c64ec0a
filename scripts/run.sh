#!/usr/bin/env bash
# Builds Torvix and runs it: the window where a display is available,
# otherwise the command-line program on the sample track shipped in samples/.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTORVIX_BUILD_TESTS=OFF -DTORVIX_BUILD_BENCH=OFF >/dev/null
cmake --build build/release -j "$(nproc)"

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -x build/release/src/app/torvix ]; then
  exec build/release/src/app/torvix
fi

echo "No display found: running the command-line program on samples/sample.nltrack instead of the window."
out=build/release/sample_Torvix.nltrack
build/release/src/cli/torvix-cli heartline samples/sample.nltrack -o "$out"
echo
echo "The new track, read back from $out:"
build/release/src/cli/torvix-cli info "$out"
